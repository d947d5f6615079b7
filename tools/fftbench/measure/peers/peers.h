// The peers built into this fftbench, in the order they are timed. FFTW in
// single precision and KissFFT, each where the build found it (never on
// Windows); the first one listed is the reference of bench's comparisons
// unless another is chosen.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "measure/peers/peer.h"

// The list: one line per peer, its name (the implementation of its rows,
// what bench's --reference takes) and the function of its file that opens it
// (a PeerOpener).
#define FFTBENCH_FOR_EACH_PEER(X) \
    X("fftwf", openFftwPeer)      \
    X("kissfft", openKissfftPeer)

namespace fftbench {

#define FFTBENCH_DECLARE_PEER(name, opener) std::unique_ptr<Peer> opener(const std::string&, const std::string&);
FFTBENCH_FOR_EACH_PEER(FFTBENCH_DECLARE_PEER)
#undef FFTBENCH_DECLARE_PEER

// The peers' names as listed, whether this build has them or not.
std::vector<std::string> peerNames();
// The first of them: the reference unless another is chosen.
std::string defaultReferencePeer();

// Libraries to load for a peer in place of the one the build found, by the
// peer's name (bench's --fftw PATH gives {"fftwf", PATH}). Several for one
// peer are timed side by side, in their order: the first under the peer's
// name, the k-th under the name with "-k" ("fftwf-2").
using PeerLibraries = std::multimap<std::string, std::string>;

// The peers this build has and whose libraries load, in the list's order,
// each peer's libraries together. PeerError where a library named for a peer
// cannot serve it, or names no peer of the list.
std::vector<std::unique_ptr<Peer>> openPeers(const PeerLibraries& libraries = {});
// The name of the k-th library timed for the peer `name` (from 1): `name`
// for the first, "name-k" for the others.
std::string sideBySideName(const std::string& name, int k);
// The listed peer a name of that form belongs to ("fftwf" for "fftwf" and
// "fftwf-2"); empty when it names none.
std::string peerOfSideBySideName(const std::string& name);
// Their contenders, in the same order.
std::vector<Contender> peerContenders(const PeerLibraries& libraries = {});
// The peers that count the operations of their own plans, for profile.
std::vector<CountedPeer> countingPeers();

}  // namespace fftbench
