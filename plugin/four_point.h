// The first step of the radix-4 and split-radix butterflies: four samples a
// quarter span q apart, x0 … x3, combined in pairs q apart (x0 with x1, x2
// with x3), not 2q apart. Also the loops that run these butterflies several
// lanes a step.
#pragma once

#include "simd/lanes.h"

namespace fftplug::FFTPLUG_PATH_NS {

template <typename T>
struct FourPoint {
    T sum01, sum23;  // x0 + x1, x2 + x3
    T p, r;          // D0 − i·D1, D0 + i·D1 with D0 = x0 − x1, D1 = x2 − x3
};

template <typename V>
inline FourPoint<V> combineFourPoint(V x0, V x1, V x2, V x3) {
    const V d0 = sub(x0, x1), d1 = sub(x2, x3);
    return {add(x0, x1), add(x2, x3), subTimesI(d0, d1), addTimesI(d0, d1)};
}

template <typename Lane>
inline auto combineFourPoint(Lane lane, const Complex* x, uint32_t q) {
    return combineFourPoint(load(lane, x), load(lane, x + q), load(lane, x + 2 * q), load(lane, x + 3 * q));
}

// Runs body(lane, k) over the blocks k = first … last − 1 of a stage whose
// butterflies span one block each: `Lane`-wide groups of adjacent blocks
// from the first multiple of the width on, narrower lanes before it and at
// the end.
template <typename Lane = Widest, typename Body>
inline void forEachBlockLane(uint32_t first, uint32_t last, Body&& body) {
    constexpr uint32_t width = Lane::width;
    if constexpr (width > 1) {
        uint32_t aligned = (first + width - 1) / width * width;
        if (aligned > last) aligned = last;
        if (first < aligned) forEachBlockLane<Narrower<Lane>>(first, aligned, body);
        first = aligned;
    }
    for (; first + width <= last; first += width) body(Lane{}, first);
    if constexpr (width > 1) {
        if (first < last) forEachBlockLane<Narrower<Lane>>(first, last, body);
    }
}

}  // namespace fftplug::FFTPLUG_PATH_NS
