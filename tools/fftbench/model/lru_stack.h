// The LRU stack distance of a sequence of cache-line touches, shared by the
// limit model (cache_traffic.h, limit.h) and the access traces (access_trace.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace fftbench {

// The stack distance of LRU replacement: how many other lines were touched
// since a line's last touch. A fully associative LRU cache of L lines holds
// the line for this touch exactly when the distance is below L.
//
// The top of the stack, the kTop lines touched last, is a small list in
// order: most touches of a butterfly find their line there. Below it, a
// Fenwick tree over the times the lines left the top counts the lines above
// any one of them.
class LruStack {
   public:
    static constexpr uint64_t kFirstTouch = UINT64_MAX;
    static constexpr size_t kTop = 16;
    // Touches `line` and returns its distance, kFirstTouch when never touched.
    uint64_t touch(uint32_t line);
    // Makes the stack what touches whose last touch of line L came at time
    // lastTouch[L] leave (0: never touched), without working their distances out.
    void settle(const std::vector<uint64_t>& lastTouch);
    uint64_t lines() const { return below_ + topSize_; }  // distinct lines touched

   private:
    void sink(uint32_t line);  // puts a line leaving the top at the head of those below it
    void compact();
    uint32_t top_[kTop] = {};
    size_t topSize_ = 0;
    // Per line: the time it left the top, −1 never touched, −2 in the top.
    std::vector<int64_t> last_;
    std::vector<uint32_t> lineAt_;  // the line that left the top at each time
    std::vector<int32_t> tree_;     // Fenwick tree over times: 1 where a line below the top left it
    int64_t now_ = 0;
    uint64_t below_ = 0;  // lines below the top
};

}  // namespace fftbench
