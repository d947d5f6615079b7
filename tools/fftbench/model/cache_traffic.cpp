#include "model/cache_traffic.h"

#include <algorithm>

#include "subject/instrumented_build.h"

namespace fftbench {

// ---- one call's traffic ----------------------------------------------------------

CacheTraffic measureCacheTraffic(const InstrumentedLibrary& instrumented, uint32_t index, uint32_t N,
                                 const std::vector<CacheLevel>& caches,
                                 const std::function<void(uint64_t accesses)>& progress) {
    CacheTraffic traffic;
    traffic.caches = caches;
    traffic.loadMisses.assign(caches.size(), 0);
    traffic.storeMisses.assign(caches.size(), 0);
    std::vector<uint64_t> capacity;  // lines
    for (const CacheLevel& cache : caches) capacity.push_back(cache.bytes / kLineBytes);

    // The lines of the three arrays, one after another: work, input, table.
    constexpr uint32_t kPerLine = kLineBytes / kSampleBytes;
    const uint32_t arrayLines = (N + kPerLine - 1) / kPerLine;
    const uint32_t inputBase = arrayLines, tableBase = 2 * arrayLines;

    // The first call leaves the time of each line's last touch; the second
    // is counted.
    std::vector<uint64_t> lastTouch(3 * size_t{arrayLines}, 0);
    LruStack stack;
    bool counted = false;
    uint64_t traced = 0;
    auto visit = [&](uint32_t line, bool store) {
        ++traced;
        if (!counted) {
            if (line >= lastTouch.size()) lastTouch.resize(std::max<size_t>(size_t{line} + 1, 2 * lastTouch.size()), 0);
            lastTouch[line] = traced;
            return;
        }
        const uint64_t distance = stack.touch(line);
        (store ? traffic.stores : traffic.loads) += 1;
        std::vector<uint64_t>& misses = store ? traffic.storeMisses : traffic.loadMisses;
        for (size_t c = 0; c < capacity.size(); ++c)
            if (distance >= capacity[c]) ++misses[c];
    };
    const uint32_t mask = (1u << FFTPLUG_EVENT_LOAD) | (1u << FFTPLUG_EVENT_STORE) | (1u << FFTPLUG_EVENT_TABLE);
    for (int call = 0; call < 2; ++call) {
        if (call == 1) {
            stack.settle(lastTouch);
            lastTouch = std::vector<uint64_t>();
            counted = true;
        }
        for (uint32_t i = 0; i < N; ++i) {
            visit(inputBase + i / kPerLine, false);
            visit(i / kPerLine, true);
        }
        instrumented.record(index, N, mask, [&](const FftplugEvent* events, size_t count) {
            for (size_t k = 0; k < count; ++k) {
                const FftplugEvent& e = events[k];
                switch (e.what) {
                    case FFTPLUG_EVENT_LOAD:
                        if (e.value < N) visit(e.value / kPerLine, false);
                        break;
                    case FFTPLUG_EVENT_STORE:
                        if (e.value < N) visit(e.value / kPerLine, true);
                        break;
                    case FFTPLUG_EVENT_TABLE: visit(tableBase + e.value / kPerLine, false); break;
                    default: break;
                }
            }
            if (progress) progress(traced);
        });
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
