// The first step of the radix-4 and split-radix butterflies: four samples a
// quarter span q apart, x0 … x3, combined in pairs q apart (x0 with x1, x2
// with x3), not 2q apart.
#pragma once

#include "simd/lanes.h"

namespace fftplug::FFTPLUG_PATH_NS {

template <typename T>
struct FourPoint {
    T sum01, sum23;  // x0 + x1, x2 + x3
    T p, r;          // D0 − i·D1, D0 + i·D1 with D0 = x0 − x1, D1 = x2 − x3
};

template <typename Lane>
inline auto combineFourPoint(Lane lane, const Complex* x, uint32_t q) {
    const auto x0 = load(lane, x), x1 = load(lane, x + q), x2 = load(lane, x + 2 * q), x3 = load(lane, x + 3 * q);
    const auto d0 = sub(x0, x1), d1 = sub(x2, x3);
    return FourPoint<decltype(x0)>{add(x0, x1), add(x2, x3), subTimesI(d0, d1), addTimesI(d0, d1)};
}

}  // namespace fftplug::FFTPLUG_PATH_NS
