#include "model/operation_counts.h"

#include <fmt/format.h>

#include "host/bit_reversal.h"
#include "subject/names.h"

namespace fftbench {

using fftplug::host::CatalogueEntry;

double ProfileRow::flopsPerNLog2N() const { return log2N == 0 ? 0.0 : flops() / (double(N) * log2N); }

ProfileRun runProfile(const InstrumentedLibrary& instrumented, const std::vector<CatalogueEntry>& entries,
                      const std::vector<uint32_t>& sizes, const std::vector<CountedPeer>& peers) {
    ProfileRun run;
    run.instrumentedPath = instrumented.path();
    run.sizes = sizes;
    for (const CatalogueEntry& entry : entries) {
        run.entries.push_back(entry.index);
        for (const uint32_t N : sizes) {
            ProfileRow row;
            row.implementation = fmt::format("entry {}", entry.index);
            row.entry = entry.index;
            row.name = displayName(entry);
            row.label = shortLabel(entry);
            row.N = N;
            row.log2N = fftplug::host::log2Exact(N);
            const FftplugCounts counts = instrumented.count(entry.index, N);
            row.additions = static_cast<double>(counts.additions);
            row.multiplications = static_cast<double>(counts.multiplications);
            row.counts = counts;
            run.rows.push_back(std::move(row));
        }
    }
    for (const CountedPeer& peer : peers) {
        run.peers.push_back(peer);
        for (const uint32_t N : sizes) {
            const auto count = peer.count(N);
            if (!count) continue;
            ProfileRow row;
            row.implementation = peer.name;
            row.name = peer.description;
            row.label = peer.label;
            row.N = N;
            row.log2N = fftplug::host::log2Exact(N);
            row.additions = count->additions;
            row.multiplications = count->multiplications;
            row.fusedMultiplyAdds = count->fusedMultiplyAdds;
            run.rows.push_back(std::move(row));
        }
    }
    return run;
}

}  // namespace fftbench
