// Radix-2 butterflies shared by the entries of this family, on one sample or
// on a pair of neighbouring samples (see plugin/simd/lanes.h).
#pragma once

#include "../plugin/simd/lanes.h"

namespace fftplug::FFTPLUG_PATH_NS::radix2 {

// Decimation in time: q' = q + w·p, p' = q − w·p.
template <typename Lane, typename Factor>
inline void ditButterfly(Lane lane, Complex* q, Complex* p, const Factor& w) {
    const auto a = load(lane, q);
    const auto t = mul(load(lane, p), w);
    store(p, sub(a, t));
    store(q, add(a, t));
}

// Decimation in frequency: x' = x + y, y' = (x − y)·w; only the difference is
// multiplied.
template <typename Lane, typename Factor>
inline void difButterfly(Lane lane, Complex* x, Complex* y, const Factor& w) {
    const auto a = load(lane, x), b = load(lane, y);
    store(x, add(a, b));
    store(y, mul(sub(a, b), w));
}

// The butterflies of one block: x[i] with y[i] for i < h, one factor.
inline void difBlock(Complex* x, Complex* y, uint32_t h, Complex w) {
    forEachLane(h, [&](auto lane, uint32_t i) { difButterfly(lane, x + i, y + i, factor(lane, w)); });
}

// The stages of growing span confined to the block of M points at c, with one
// factor per sub-block read from the prepared table: the sub-block of size 2h
// that starts at position p is number p/(2h) in the whole array, and its factor
// is table[p/(2h)]. Shared by the bit-reversed-table entry (one block, the
// whole array) and by the leaves of the recursive one, so the two compute
// every butterfly identically.
void difStagesOnBlock(Complex* a, const Complex* table, uint32_t M, uint32_t c);

}  // namespace fftplug::FFTPLUG_PATH_NS::radix2
