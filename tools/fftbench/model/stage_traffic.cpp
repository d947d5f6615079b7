#include "model/stage_traffic.h"

#include <algorithm>

#include "model/access_trace.h"
#include "model/lru_stack.h"
#include "subject/recording_build.h"

namespace fftbench {

StageMisses measureStageMisses(const RecordingLibrary& recording, uint32_t index, uint32_t N,
                               const std::vector<CacheLevel>& caches) {
    StageMisses misses;
    std::vector<uint64_t> capacity;  // lines
    for (const CacheLevel& cache : caches) capacity.push_back(cache.bytes / kLineBytes);
    constexpr uint32_t kPerLine = kLineBytes / kSampleBytes;
    const uint32_t arrayLines = (N + kPerLine - 1) / kPerLine;
    const uint32_t inputBase = arrayLines, tableBase = 2 * arrayLines;

    std::vector<uint64_t> lastTouch(3 * size_t{arrayLines}, 0);
    LruStack stack;
    bool counted = false;
    uint64_t traced = 0;
    size_t stage = 0;  // 0: the copy
    auto bucket = [&](std::vector<std::vector<uint64_t>>& of) -> std::vector<uint64_t>& {
        while (of.size() <= stage) of.emplace_back(caches.size(), 0);
        return of[stage];
    };
    auto visit = [&](uint32_t line, bool store) {
        ++traced;
        if (!counted) {
            if (line >= lastTouch.size()) lastTouch.resize(std::max<size_t>(size_t{line} + 1, 2 * lastTouch.size()), 0);
            lastTouch[line] = traced;
            return;
        }
        const uint64_t distance = stack.touch(line);
        std::vector<uint64_t>& to = bucket(store ? misses.storeMisses : misses.loadMisses);
        for (size_t c = 0; c < capacity.size(); ++c)
            if (distance >= capacity[c]) ++to[c];
    };
    const uint32_t mask = (1u << FFTPLUG_EVENT_LOAD) | (1u << FFTPLUG_EVENT_STORE) | (1u << FFTPLUG_EVENT_TABLE) |
                          (1u << FFTPLUG_EVENT_STAGE);
    for (int call = 0; call < 2; ++call) {
        if (call == 1) {
            stack.settle(lastTouch);
            lastTouch = std::vector<uint64_t>();
            counted = true;
        }
        stage = 0;
        for (uint32_t i = 0; i < N; ++i) {
            visit(inputBase + i / kPerLine, false);
            visit(i / kPerLine, true);
        }
        recording.record(index, N, mask, [&](const FftplugEvent* events, size_t count) {
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
                    case FFTPLUG_EVENT_STAGE: ++stage; break;
                    default: break;
                }
            }
        });
    }
    if (counted) {  // every stage has its buckets, touched or not
        bucket(misses.loadMisses);
        bucket(misses.storeMisses);
    }
    return misses;
}

}  // namespace fftbench
