// The pieces shared by the split-radix entries: the offset sets O(q), the
// general butterfly with its two factors per block, and the closing pass.
#pragma once

#include "../plugin/four_point.h"

namespace fftplug::FFTPLUG_PATH_NS::splitradix {

// O(q), the L-shaped subset of a block with quarter span q that a stage
// visits: the runs q − t <= j < q − t/2 for t = q, q/4, q/16, … while t >= 1,
// in that order, each ascending. It has (2q + 1)/3 members. The walk hands
// each run to `run(first, count)`, so that the innermost loops stay unit-stride.
template <typename Run>
inline void forEachOffsetRun(uint32_t q, Run&& run) {
    for (uint32_t t = q; t >= 1; t /= 4) run(q - t, t - t / 2);
}


// f1 = table[2k], f3 = f1·table[k], formed once per block.
struct BlockFactors {
    Complex f1, f3;
};

inline BlockFactors blockFactors(const Complex* table, uint32_t k) {
    const Complex f1 = table[2 * k];
    return {f1, mul(f1, table[k])};
}

// Runs body(lane, j) over O(q), on pairs of offsets within each run.
template <typename Body>
inline void forEachOffsetLane(uint32_t q, Body&& body) {
    forEachOffsetRun(q, [&](uint32_t first, uint32_t count) {
        forEachLane(count, [&](auto lane, uint32_t i) { body(lane, first + i); });
    });
}

// The butterfly with the difference terms multiplied by `onP` and `onR`: the
// two sums stay in place unmultiplied, 2q apart, for the next stage to pair.
template <typename Lane, typename OnP, typename OnR>
inline void butterfly(Lane lane, Complex* x, uint32_t q, OnP&& onP, OnR&& onR) {
    const auto t = combineFourPoint(lane, x, q);
    store(x, t.sum01);
    store(x + 2 * q, t.sum23);
    store(x + q, onP(t.p));
    store(x + 3 * q, onR(t.r));
}

// The butterflies of the general block at s, over O(q): (D0 − i·D1)·f1 at q
// and (D0 + i·D1)·f3 at 3q.
inline void generalBlock(Complex* a, uint32_t s, uint32_t q, const BlockFactors& f) {
    forEachOffsetLane(q, [&](auto lane, uint32_t j) {
        const auto f1 = factor(lane, f.f1), f3 = factor(lane, f.f3);
        butterfly(lane, a + s + j, q, [&](auto p) { return mul(p, f1); }, [&](auto r) { return mul(r, f3); });
    });
}

// The twiddle-free radix-2 pass over pairs half the array apart, on O(N/2).
inline void closingPass(Complex* a, uint32_t n) {
    if (n < 2) return;
    const uint32_t half = n / 2;
    forEachOffsetLane(half, [&](auto lane, uint32_t j) {
        const auto x = load(lane, a + j), y = load(lane, a + j + half);
        store(a + j, add(x, y));
        store(a + j + half, sub(x, y));
    });
}

}  // namespace fftplug::FFTPLUG_PATH_NS::splitradix
