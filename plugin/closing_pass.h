// The closing pass of the radix-4 and split-radix entries: the twiddle-free
// radix-2 step over pairs half the array apart, (a[j], a[j + half]) becoming
// (a[j] + a[j + half], a[j] − a[j + half]), on a run of adjacent offsets j.
// Radix-4 runs it over all N/2 pairs, split radix over the runs of O(N/2).
#pragma once

#include "four_point.h"

namespace fftplug::FFTPLUG_PATH_NS {

inline void closingRun(Complex* a, uint32_t first, uint32_t count, uint32_t half) {
    Complex* x = a + first;
    forEachLaneUnrolled(count, [&](auto lane, uint32_t i, auto unroll) {
        constexpr int U = decltype(unroll)::count;
        constexpr uint32_t W = decltype(lane)::width;
        Samples<decltype(lane)> u[U], v[U];
        for (int k = 0; k < U; ++k) {
            u[k] = load(lane, x + i + k * W);
            v[k] = load(lane, x + i + k * W + half);
        }
        for (int k = 0; k < U; ++k) {
            store(x + i + k * W, add(u[k], v[k]));
            store(x + i + k * W + half, sub(u[k], v[k]));
        }
    });
}

}  // namespace fftplug::FFTPLUG_PATH_NS
