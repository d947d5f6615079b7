#include "model/fewest_misses.h"

#include <algorithm>

namespace fftbench {

namespace {

constexpr uint32_t kNever = UINT32_MAX;  // a line not touched again

// One cache under Belady's rule. The lines held are kept in a max-heap by
// the time of their next touch; a hit pushes the line again with its new
// time and leaves the old entry behind, which a later eviction skips, and
// the heap is rebuilt from the lines held when stale entries outgrow them.
class BeladyCache {
   public:
    BeladyCache(uint64_t capacity, size_t lines) : capacity_(capacity), next_(lines, 0), held_(lines, -1) {}

    // Touches `line`, next touched at `next`; true on a miss counted: a line
    // not held while the cache is full (until it fills, the cache is taken
    // to hold the first lines touched).
    bool touch(uint32_t line, uint32_t next) {
        const bool hit = held_[line] >= 0;
        bool counted = false;
        if (!hit) {
            if (capacity_ == 0) return true;
            if (order_.size() == capacity_) {
                evictFurthest();
                counted = true;
            }
            held_[line] = static_cast<int64_t>(order_.size());
            order_.push_back(line);
        }
        next_[line] = next;
        push(next, line);
        if (heap_.size() > 2 * order_.size() + 64) rebuild();
        return counted;
    }

   private:
    static uint64_t key(uint32_t next, uint32_t line) { return uint64_t{next} << 32 | line; }
    void push(uint32_t next, uint32_t line) {
        heap_.push_back(key(next, line));
        std::push_heap(heap_.begin(), heap_.end());
    }
    void evictFurthest() {
        for (;;) {
            const uint64_t top = heap_.front();
            std::pop_heap(heap_.begin(), heap_.end());
            heap_.pop_back();
            const auto line = static_cast<uint32_t>(top);
            if (held_[line] >= 0 && next_[line] == static_cast<uint32_t>(top >> 32)) {
                // Out of the list of lines held: the last one takes its place.
                const auto slot = static_cast<size_t>(held_[line]);
                order_[slot] = order_.back();
                held_[order_[slot]] = static_cast<int64_t>(slot);
                order_.pop_back();
                held_[line] = -1;
                return;
            }
        }
    }
    void rebuild() {
        heap_.clear();
        for (uint32_t line : order_) heap_.push_back(key(next_[line], line));
        std::make_heap(heap_.begin(), heap_.end());
    }

    uint64_t capacity_;
    std::vector<uint32_t> next_;  // per line held: the time of its next touch
    std::vector<int64_t> held_;   // per line: its place in order_, −1 not held
    std::vector<uint32_t> order_;  // the lines held
    std::vector<uint64_t> heap_;   // (next touch, line), stale entries among them
};

}  // namespace

std::vector<std::vector<FewestMisses>> fewestMissesByPart(const LineTouches& sequence,
                                                          const std::vector<uint64_t>& capacities) {
    const std::vector<uint32_t>& touches = sequence.touches;
    uint32_t lines = 0;
    for (uint32_t t : touches) lines = std::max(lines, (t & ~LineTouches::kStore) + 1);
    // The time of each touch's next touch of its line, from the back.
    std::vector<uint32_t> next(touches.size());
    {
        std::vector<uint32_t> seen(lines, kNever);
        for (size_t i = touches.size(); i-- > 0;) {
            const uint32_t line = touches[i] & ~LineTouches::kStore;
            next[i] = seen[line];
            seen[line] = static_cast<uint32_t>(i);
        }
    }
    const size_t parts = sequence.parts.size() + 1;
    std::vector<std::vector<FewestMisses>> misses(capacities.size(), std::vector<FewestMisses>(parts));
    for (size_t c = 0; c < capacities.size(); ++c) {
        BeladyCache cache(capacities[c], lines);
        size_t part = 0;
        for (size_t i = 0; i < touches.size(); ++i) {
            while (part < sequence.parts.size() && sequence.parts[part] <= i) ++part;
            const uint32_t line = touches[i] & ~LineTouches::kStore;
            if (cache.touch(line, next[i]))
                ++((touches[i] & LineTouches::kStore) ? misses[c][part].stores : misses[c][part].loads);
        }
    }
    return misses;
}

std::vector<FewestMisses> fewestMisses(const LineTouches& touches, const std::vector<uint64_t>& capacities) {
    std::vector<FewestMisses> total(capacities.size());
    const auto byPart = fewestMissesByPart(touches, capacities);
    for (size_t c = 0; c < capacities.size(); ++c)
        for (const FewestMisses& part : byPart[c]) {
            total[c].loads += part.loads;
            total[c].stores += part.stores;
        }
    return total;
}

}  // namespace fftbench
