// The fewest misses any cache of a given number of lines can have on a
// sequence of line touches: Belady's rule, which on a miss gives up the line
// whose next touch lies furthest ahead, misses least of all replacement
// rules, and a fully associative cache misses no more often than a cache of
// the same size that maps lines to sets. So the misses counted here bound
// every real cache's from below, whatever its associativity, replacement
// and prefetching (a prefetched line still crosses from the level beyond).
//
// The cache starts with whatever suits the sequence best (the first lines it
// touches), so that a call counted this way never misses more than it would
// after any call before it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace fftbench {

// One touch: a line (below 2^31) and whether it is a store.
struct LineTouches {
    static constexpr uint32_t kStore = 1u << 31;
    std::vector<uint32_t> touches;  // line | kStore for a store
    uint64_t loads = 0, stores = 0;  // every touch, also those not kept
    // Where each part after the first begins (a place in `touches`), for
    // misses counted part by part.
    std::vector<size_t> parts;
    void beginPart() { parts.push_back(touches.size()); }
    // Adds a touch. A touch of the line touched just before hits in any
    // cache and changes no choice Belady's rule makes: it is counted but not
    // kept.
    void add(uint32_t line, bool store) {
        (store ? stores : loads) += 1;
        if (last_ == line) return;
        last_ = line;
        touches.push_back(store ? line | kStore : line);
    }

   private:
    uint32_t last_ = UINT32_MAX;
};

struct FewestMisses {
    uint64_t loads = 0, stores = 0;  // touches of a line the cache does not hold
};

// For each capacity, in lines, the fewest misses of the touches.
std::vector<FewestMisses> fewestMisses(const LineTouches& touches, const std::vector<uint64_t>& capacities);
// The same misses, [capacity][part]: those of the one replacement that
// misses least over all the touches, counted in the part where they fall
// (touches.parts.size() + 1 parts).
std::vector<std::vector<FewestMisses>> fewestMissesByPart(const LineTouches& touches,
                                                          const std::vector<uint64_t>& capacities);

}  // namespace fftbench
