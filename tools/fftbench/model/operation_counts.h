// What each entry does, counted rather than timed (`fftbench profile`): the
// instrumented build (subject/instrumented_build.h) runs each entry once and reports
// its real additions and multiplications, table reads, loads and stores of
// work samples and stages; a peer that counts its own plan's operations
// (FFTW's fftwf_flops) gives its count beside them.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "host/plugin_library.h"
#include "plugin/instrument/instrumented.h"
#include "subject/instrumented_build.h"

namespace fftbench {

// A peer's own count of the real operations of its plan for N points.
struct OperationCount {
    double additions = 0, multiplications = 0, fusedMultiplyAdds = 0;
    double flops() const { return additions + multiplications + 2 * fusedMultiplyAdds; }
};

// A peer that counts the operations of its own plans (measure/peers/peer.h).
struct CountedPeer {
    std::string name;         // its rows' implementation ("fftwf")
    std::string label;        // for the plot legend
    std::string description;  // the plan counted and how, in words
    std::string headerLabel;  // its key in profile's JSON ("fftw")
    // Its count at N; nullopt where it has none.
    std::function<std::optional<OperationCount>(uint32_t N)> count;
};

// flops = additions + multiplications + 2 · fused multiply-adds.
struct ProfileRow {
    std::string implementation;     // "entry 3", or the peer's name
    std::optional<uint32_t> entry;  // nullopt for a peer
    std::string name;               // catalogue name (UTF-8) or the peer's description
    std::string label;              // for the plot legend
    uint32_t N = 0;
    unsigned log2N = 0;
    double additions = 0, multiplications = 0, fusedMultiplyAdds = 0;
    std::optional<FftplugCounts> counts;  // the entries' further counts; nullopt for a peer

    double flops() const { return additions + multiplications + 2 * fusedMultiplyAdds; }
    // flops / (N · log2 N); 0 for N = 1.
    double flopsPerNLog2N() const;
};

struct ProfileRun {
    std::string instrumentedPath;
    std::vector<CountedPeer> peers;  // those whose rows follow the entries'
    std::vector<uint32_t> sizes;
    std::vector<uint32_t> entries;
    std::vector<ProfileRow> rows;  // entries in order, then the peers, each by N
};

// Each of `entries` counted once at each of `sizes` on the instrumented build,
// then each of `peers` (countingPeers(), or none) by its own count.
ProfileRun runProfile(const InstrumentedLibrary& instrumented, const std::vector<fftplug::host::CatalogueEntry>& entries,
                      const std::vector<uint32_t>& sizes, const std::vector<CountedPeer>& peers);

}  // namespace fftbench
