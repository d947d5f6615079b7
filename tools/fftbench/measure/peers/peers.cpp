#include "measure/peers/peers.h"

#include <algorithm>

namespace fftbench {

namespace {

struct Listed {
    const char* name;
    PeerOpener open;
};

#define FFTBENCH_LIST_PEER(name, opener) Listed{name, opener},
const Listed kPeers[] = {FFTBENCH_FOR_EACH_PEER(FFTBENCH_LIST_PEER)};
#undef FFTBENCH_LIST_PEER

}  // namespace

std::vector<std::string> peerNames() {
    std::vector<std::string> names;
    for (const Listed& peer : kPeers) names.emplace_back(peer.name);
    return names;
}

std::string defaultReferencePeer() { return kPeers[0].name; }

std::vector<std::unique_ptr<Peer>> openPeers(const PeerLibraries& libraries) {
    for (const auto& [name, library] : libraries)
        if (std::none_of(std::begin(kPeers), std::end(kPeers), [&](const Listed& peer) { return name == peer.name; }))
            throw PeerError(library, "no peer is called " + name);
    std::vector<std::unique_ptr<Peer>> peers;
    for (const Listed& listed : kPeers) {
        const auto named = libraries.find(listed.name);
        if (auto peer = listed.open(listed.name, named == libraries.end() ? std::string() : named->second))
            peers.push_back(std::move(peer));
    }
    return peers;
}

std::vector<Contender> peerContenders(const PeerLibraries& libraries) {
    std::vector<Contender> contenders;
    for (const auto& peer : openPeers(libraries)) {
        contenders.push_back(peer->contender());
        contenders.back().header = peer->headerLabel();
        contenders.back().countedNote = peer->countedNote();
    }
    return contenders;
}

std::vector<CountedPeer> countingPeers() {
    std::vector<CountedPeer> counted;
    for (const auto& peer : openPeers())
        if (auto count = peer->counted()) counted.push_back(std::move(*count));
    return counted;
}

}  // namespace fftbench
