#include "model/cache_traffic.h"

#include <algorithm>

#include "subject/instrumented_build.h"

namespace fftbench {

// ---- one call's traffic ----------------------------------------------------------

LineTouches callTouches(const InstrumentedLibrary& instrumented, uint32_t index, uint32_t N, bool partByStage,
                        const std::function<void(uint64_t accesses)>& progress) {
    // The lines of the three arrays, one after another: work, input, table.
    constexpr uint32_t kPerLine = kLineBytes / kSampleBytes;
    const uint32_t arrayLines = (N + kPerLine - 1) / kPerLine;
    const uint32_t inputBase = arrayLines, tableBase = 2 * arrayLines;

    LineTouches touches;
    for (uint32_t i = 0; i < N; ++i) {
        touches.add(inputBase + i / kPerLine, false);
        touches.add(i / kPerLine, true);
    }
    uint32_t mask = (1u << FFTPLUG_EVENT_LOAD) | (1u << FFTPLUG_EVENT_STORE) | (1u << FFTPLUG_EVENT_TABLE);
    if (partByStage) mask |= 1u << FFTPLUG_EVENT_STAGE;
    instrumented.record(index, N, mask, [&](const FftplugEvent* events, size_t count) {
        for (size_t k = 0; k < count; ++k) {
            const FftplugEvent& e = events[k];
            switch (e.what) {
                case FFTPLUG_EVENT_LOAD:
                    if (e.value < N) touches.add(e.value / kPerLine, false);
                    break;
                case FFTPLUG_EVENT_STORE:
                    if (e.value < N) touches.add(e.value / kPerLine, true);
                    break;
                case FFTPLUG_EVENT_TABLE: touches.add(tableBase + e.value / kPerLine, false); break;
                case FFTPLUG_EVENT_STAGE: touches.beginPart(); break;
                default: break;
            }
        }
        if (progress) progress(touches.loads + touches.stores);
    });
    return touches;
}

std::vector<uint64_t> cacheCapacities(const std::vector<CacheLevel>& caches) {
    // Level c misses a line that none of the levels up to it holds: the
    // lines they hold together, whether a level keeps copies of the one
    // before it or not, are at most their sizes added up.
    std::vector<uint64_t> capacities;
    uint64_t together = 0;
    for (const CacheLevel& cache : caches) capacities.push_back((together += cache.bytes) / kLineBytes);
    return capacities;
}

CacheTraffic measureCacheTraffic(const InstrumentedLibrary& instrumented, uint32_t index, uint32_t N,
                                 const std::vector<CacheLevel>& caches,
                                 const std::function<void(uint64_t accesses)>& progress) {
    const LineTouches touches = callTouches(instrumented, index, N, false, progress);
    CacheTraffic traffic;
    traffic.caches = caches;
    traffic.loads = touches.loads;
    traffic.stores = touches.stores;
    for (const FewestMisses& misses : fewestMisses(touches, cacheCapacities(caches))) {
        traffic.loadMisses.push_back(misses.loads);
        traffic.storeMisses.push_back(misses.stores);
    }
    return traffic;
}

const CacheTraffic& TrafficCache::of(uint32_t index, uint32_t N) {
    const auto key = std::pair{index, N};
    auto found = cache_.find(key);
    if (found == cache_.end()) {
        std::function<void(uint64_t)> progress;
        if (progress_) progress = [&](uint64_t accesses) { progress_(index, N, accesses); };
        found = cache_.emplace(key, measureCacheTraffic(instrumented_, index, N, caches_, progress)).first;
    }
    return found->second;
}

}  // namespace fftbench
