// The closing pass of the radix-4 and split-radix entries: the twiddle-free
// radix-2 step over pairs half the array apart, (a[j], a[j + half]) becoming
// (a[j] + a[j + half], a[j] − a[j + half]), on a run of adjacent offsets j.
// Radix-4 runs it over all N/2 pairs, split radix over the runs of O(N/2).
#pragma once

#include "four_point.h"

namespace fftplug::FFTPLUG_PATH_NS {

// U lanes of the step at x and x + half: all loads, then all stores.
template <int U, typename Lane>
inline void closingLanes(Lane lane, Complex* x, uint32_t half) {
    constexpr uint32_t W = Lane::width;
    Samples<Lane> u[U], v[U];
    for (int k = 0; k < U; ++k) {
        u[k] = load(lane, x + k * W);
        v[k] = load(lane, x + k * W + half);
    }
    for (int k = 0; k < U; ++k) {
        store(x + k * W, add(u[k], v[k]));
        store(x + k * W + half, sub(u[k], v[k]));
    }
}

inline void closingRun(Complex* a, uint32_t first, uint32_t count, uint32_t half) {
    Complex* x = a + first;
    forEachLaneUnrolled(count, [&](auto lane, uint32_t i, auto unroll) {
        closingLanes<decltype(unroll)::count>(lane, x + i, half);
    });
}

// closingRun for arrays off a line, where the run is long enough (fromLine):
// from the run's first lane boundary on (both halves of the step sit alike
// on the lines, half being a multiple of the lane). Out of line, as only a
// transform off a line runs it, so that closingRun keeps its code.
inline __attribute__((noinline)) void closingRunOffLine(Complex* a, uint32_t first, uint32_t count, uint32_t half) {
    Complex* x = a + first;
    const auto lanes = [&](auto lane, uint32_t i, auto unroll) {
        closingLanes<decltype(unroll)::count>(lane, x + i, half);
    };
    if (fromLine(x, count)) forEachLaneFromLine(x, count, lanes);
    else forEachLaneUnrolled(count, lanes);
}

// Radix 4's closing pass, over all N/2 pairs, in a stage loop on arrays on a
// line or (kOffLine) off one.
template <bool kOffLine>
inline void closingRunsOnOrOffLine(Complex* a, uint32_t half) {
    if constexpr (kOffLine) closingRunOffLine(a, 0, half, half);
    else closingRun(a, 0, half, half);
}

}  // namespace fftplug::FFTPLUG_PATH_NS
