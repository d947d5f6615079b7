#include "model/stage_traffic.h"

#include "model/cache_traffic.h"

namespace fftbench {

StageMisses measureStageMisses(const InstrumentedLibrary& instrumented, uint32_t index, uint32_t N,
                               const std::vector<CacheLevel>& caches) {
    const auto byPart = fewestMissesByPart(callTouches(instrumented, index, N, true), cacheCapacities(caches));
    StageMisses misses;
    const size_t parts = byPart.empty() ? 0 : byPart[0].size();
    misses.loadMisses.assign(parts, std::vector<uint64_t>(caches.size(), 0));
    misses.storeMisses.assign(parts, std::vector<uint64_t>(caches.size(), 0));
    for (size_t c = 0; c < caches.size(); ++c)
        for (size_t part = 0; part < parts; ++part) {
            misses.loadMisses[part][c] = byPart[c][part].loads;
            misses.storeMisses[part][c] = byPart[c][part].stores;
        }
    return misses;
}

}  // namespace fftbench
