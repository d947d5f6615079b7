// The pieces shared by the radix-4 entries: the general butterfly, the
// per-block factors and the closing radix-2 pass, on one sample or a pair of
// neighbouring samples (see plugin/simd/lanes.h).
#pragma once

#include "../plugin/four_point.h"

namespace fftplug::FFTPLUG_PATH_NS::radix4 {

// The three factors of block k: f2 = table[k] for the quarter at 2q, f1 =
// table[2k] for the quarter at q, f3 = f2·f1 for the quarter at 3q. The fixed
// −i of the butterfly stands in for table[2k + 1], which is never read.
struct BlockFactors {
    Complex f1, f2, f3;
};

inline BlockFactors blockFactors(const Complex* table, uint32_t k) {
    const Complex f2 = table[k];
    const Complex f1 = table[2 * k];
    return {f1, f2, mul(f2, f1)};
}

// The general butterfly: S0 + S1 at 0, (S0 − S1)·f2 at 2q, (D0 − i·D1)·f1 at
// q, (D0 + i·D1)·f3 at 3q.
template <typename Lane>
inline void butterfly(Lane lane, Complex* x, uint32_t q, const BlockFactors& f) {
    const auto v = combineFourPoint(lane, x, q);
    store(x, add(v.sum01, v.sum23));
    store(x + 2 * q, mul(sub(v.sum01, v.sum23), factor(lane, f.f2)));
    store(x + q, mul(v.p, factor(lane, f.f1)));
    store(x + 3 * q, mul(v.r, factor(lane, f.f3)));
}

// All q butterflies of the general block at s.
inline void generalBlock(Complex* a, uint32_t s, uint32_t q, const BlockFactors& f) {
    forEachLane(q, [&](auto lane, uint32_t j) { butterfly(lane, a + s + j, q, f); });
}

// The twiddle-free radix-2 pass over pairs half the array apart that finishes
// a transform whose log2 N is odd.
inline void closingPass(Complex* a, uint32_t n) {
    const uint32_t half = n / 2;
    forEachLane(half, [&](auto lane, uint32_t j) {
        const auto x = load(lane, a + j), y = load(lane, a + j + half);
        store(a + j, add(x, y));
        store(a + j + half, sub(x, y));
    });
}

}  // namespace fftplug::FFTPLUG_PATH_NS::radix4
