#include "cache_traffic.h"

#include <algorithm>

#include "recording.h"

namespace fftbench {

// ---- LRU stack distance -------------------------------------------------------

uint64_t LruStack::touch(uint32_t line) {
    for (size_t p = 0; p < topSize_; ++p)
        if (top_[p] == line) {
            for (size_t q = p; q > 0; --q) top_[q] = top_[q - 1];
            top_[0] = line;
            return p;
        }
    if (line >= last_.size()) last_.resize(std::max<size_t>(size_t{line} + 1, 2 * last_.size()), -1);
    const int64_t last = last_[line];
    uint64_t distance = kFirstTouch;
    if (last >= 0) {
        // Above it: the whole top, and the lines below the top that left it later.
        int64_t atOrBefore = 0;
        for (int64_t i = last + 1; i > 0; i -= i & -i) atOrBefore += tree_[static_cast<size_t>(i)];
        distance = topSize_ + below_ - static_cast<uint64_t>(atOrBefore);
        for (int64_t i = last + 1; i < static_cast<int64_t>(tree_.size()); i += i & -i) tree_[static_cast<size_t>(i)] -= 1;
        --below_;
    }
    last_[line] = -2;
    if (topSize_ == kTop) {
        sink(top_[kTop - 1]);
        --topSize_;
    }
    for (size_t q = topSize_; q > 0; --q) top_[q] = top_[q - 1];
    top_[0] = line;
    ++topSize_;
    return distance;
}

void LruStack::settle(const std::vector<uint64_t>& lastTouch) {
    std::vector<std::pair<uint64_t, uint32_t>> order;
    for (uint32_t line = 0; line < lastTouch.size(); ++line)
        if (lastTouch[line] != 0) order.emplace_back(lastTouch[line], line);
    std::sort(order.begin(), order.end());
    *this = LruStack();
    for (const auto& [time, line] : order) touch(line);  // every one a first touch: no distance to work out
}

void LruStack::sink(uint32_t line) {
    if (static_cast<uint64_t>(now_) == lineAt_.size()) compact();
    for (int64_t i = now_ + 1; i < static_cast<int64_t>(tree_.size()); i += i & -i) tree_[static_cast<size_t>(i)] += 1;
    last_[line] = now_;
    lineAt_[static_cast<size_t>(now_)] = line;
    ++now_;
    ++below_;
}

// Renumbers the times of the lines below the top 0, 1, … in order, with
// room for more than as many again before the next renumbering.
void LruStack::compact() {
    const size_t capacity = std::max<size_t>({4096, 4 * last_.size(), 2 * static_cast<size_t>(below_) + 1});
    std::vector<uint32_t> order;
    order.reserve(static_cast<size_t>(below_));
    for (int64_t t = 0; t < now_; ++t) {
        const uint32_t line = lineAt_[static_cast<size_t>(t)];
        if (last_[line] == t) order.push_back(line);
    }
    lineAt_.assign(capacity, 0);
    tree_.assign(capacity + 1, 0);
    for (size_t t = 0; t < order.size(); ++t) {
        last_[order[t]] = static_cast<int64_t>(t);
        lineAt_[t] = order[t];
    }
    // A Fenwick tree of ones at 0 … order.size() − 1, built in place.
    for (size_t i = 1; i < tree_.size(); ++i) {
        if (i <= order.size()) tree_[i] += 1;
        const size_t parent = i + (i & (~i + 1));
        if (parent < tree_.size()) tree_[parent] += tree_[i];
    }
    now_ = static_cast<int64_t>(order.size());
}

// ---- one call's traffic ----------------------------------------------------------

CacheTraffic measureCacheTraffic(const RecordingLibrary& recording, uint32_t index, uint32_t N,
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
        found = cache_.emplace(key, measureCacheTraffic(recording_, index, N, caches_, progress)).first;
    }
    return found->second;
}

}  // namespace fftbench
