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

std::string sideBySideName(const std::string& name, int k) {
    return k <= 1 ? name : name + "-" + std::to_string(k);
}

std::string peerOfSideBySideName(const std::string& name) {
    const size_t dash = name.rfind('-');
    const bool numbered = dash == std::string::npos ||
                          (dash + 1 < name.size() && name.find_first_not_of("0123456789", dash + 1) == std::string::npos);
    const std::string base = dash == std::string::npos ? name : name.substr(0, dash);
    const bool listed =
        std::any_of(std::begin(kPeers), std::end(kPeers), [&](const Listed& peer) { return base == peer.name; });
    return numbered && listed ? base : std::string();
}

namespace {

// Opens the peers as openPeers does, handing each to use(peer, k), k its
// place among its peer's libraries (1: the first, or the one the build found).
template <typename Use>
void forEachOpened(const PeerLibraries& libraries, Use&& use) {
    for (const auto& [name, library] : libraries)
        if (std::none_of(std::begin(kPeers), std::end(kPeers), [&](const Listed& peer) { return name == peer.name; }))
            throw PeerError(library, "no peer is called " + name);
    for (const Listed& listed : kPeers) {
        const auto [first, last] = libraries.equal_range(listed.name);
        if (first == last) {
            if (auto peer = listed.open(listed.name, std::string())) use(std::move(peer), 1);
            continue;
        }
        int k = 0;
        for (auto named = first; named != last; ++named) {
            ++k;
            if (auto peer = listed.open(sideBySideName(listed.name, k), named->second)) use(std::move(peer), k);
        }
    }
}

}  // namespace

std::vector<std::unique_ptr<Peer>> openPeers(const PeerLibraries& libraries) {
    std::vector<std::unique_ptr<Peer>> peers;
    forEachOpened(libraries, [&](std::unique_ptr<Peer> peer, int) { peers.push_back(std::move(peer)); });
    return peers;
}

std::vector<Contender> peerContenders(const PeerLibraries& libraries) {
    std::vector<Contender> contenders;
    forEachOpened(libraries, [&](std::unique_ptr<Peer> peer, int k) {
        contenders.push_back(peer->contender());
        const std::string label = peer->headerLabel();  // "fftw", "fftw-2" beside it
        contenders.back().header = label.empty() ? label : sideBySideName(label, k);
        contenders.back().countedNote = peer->countedNote();
    });
    return contenders;
}

std::vector<CountedPeer> countingPeers() {
    std::vector<CountedPeer> counted;
    for (const auto& peer : openPeers())
        if (auto count = peer->counted()) counted.push_back(std::move(*count));
    return counted;
}

}  // namespace fftbench
