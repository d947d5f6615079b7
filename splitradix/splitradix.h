// The pieces shared by the split-radix entries: the offset sets O(q), the
// general butterfly with its two factors per block, the first stage (one
// butterfly per block, adjacent blocks side by side) and the closing pass
// over the runs of O(N/2).
#pragma once

#include "../plugin/closing_pass.h"

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
    FFTPLUG_COUNT_TABLE_READ(table + 2 * k);
    FFTPLUG_COUNT_TABLE_READ(table + k);
    const Complex f1 = table[2 * k];
    return {f1, mul(f1, table[k])};
}

// The butterfly on values, with the difference terms multiplied by `onP` and
// `onR`: the two sums stay in place unmultiplied, 2q apart, for the next
// stage to pair.
template <typename V, typename OnP, typename OnR>
inline void butterfly(const FourPoint<V>& v, V (&y)[4], OnP&& onP, OnR&& onR) {
    y[0] = v.sum01;
    y[1] = onP(v.p);
    y[2] = v.sum23;
    y[3] = onR(v.r);
}

// The butterflies of the block at x over O(q), U lanes of adjacent offsets a
// step within each run: kind(lane, fourPoint, outputs).
template <typename Kind>
inline void block(Complex* x, uint32_t q, Kind&& kind) {
    forEachOffsetRun(q, [&](uint32_t first, uint32_t count) {
        forEachLaneUnrolled(count, [&](auto lane, uint32_t i, auto unroll) {
            constexpr int U = decltype(unroll)::count;
            constexpr uint32_t W = decltype(lane)::width;
            using V = Samples<decltype(lane)>;
            Complex* at = x + first + i;
            FourPoint<V> v[U];
            for (int u = 0; u < U; ++u) v[u] = combineFourPoint(lane, at + u * W, q);
            for (int u = 0; u < U; ++u) {
                V y[4];
                kind(lane, v[u], y);
                for (int k = 0; k < 4; ++k) store(at + u * W + k * q, y[k]);
            }
        });
    });
}

// The butterflies of the general block at s, over O(q): (D0 − i·D1)·f1 at q
// and (D0 + i·D1)·f3 at 3q.
inline void generalBlock(Complex* a, uint32_t s, uint32_t q, const BlockFactors& f) {
    const auto f1 = factor(Widest{}, f.f1), f3 = factor(Widest{}, f.f3);
    block(a + s, q, [&](auto lane, const auto& v, auto& y) {
        if constexpr (decltype(lane)::width == Widest::width) {
            butterfly(v, y, [&](auto p) { return mul(p, f1); }, [&](auto r) { return mul(r, f3); });
        } else {
            const auto g1 = factor(lane, f.f1), g3 = factor(lane, f.f3);
            butterfly(v, y, [&](auto p) { return mul(p, g1); }, [&](auto r) { return mul(r, g3); });
        }
    });
}

// The stages with one butterfly per block (q = 1 and q = 2, where O(q) =
// {0}), general blocks first … last − 1: a lane of W adjacent blocks at a
// time, taken across the blocks, each sample with its own block's factors:
// f1 the even entries of table[2k … 2k + 2W − 1], f3 = f1·table[k … k + W − 1]
// formed sample by sample. With q = 2 only positions 0, 2, 4, 6 of each
// block of 8 are read and written.
template <uint32_t q>
inline void narrowStage(Complex* a, const Complex* table, uint32_t first, uint32_t last) {
    forEachBlockLane(first, last, [&](auto lane, uint32_t k) {
        using V = Samples<decltype(lane)>;
        V x[4], y[4];
        Complex* at = a + 4 * q * k;
        if constexpr (q == 1) {
            loadAcrossBlocks(lane, at, x);
        } else {
            for (int i = 0; i < 4; ++i) x[i] = loadStrided(lane, at + i * q, 4 * q);
        }
        const auto f1 = factorsEven(lane, table + 2 * k);
        const auto f3 = mul(f1, factors(lane, table + k));
        butterfly(combineFourPoint(x[0], x[1], x[2], x[3]), y, [&](auto p) { return mul(p, f1); },
                  [&](auto r) { return mul(r, f3); });
        if constexpr (q == 1) {
            storeAcrossBlocks(at, y);
        } else {
            for (int i = 0; i < 4; ++i) storeStrided(at + i * q, 4 * q, y[i]);
        }
    });
}

// The twiddle-free radix-2 pass over pairs half the array apart, on O(N/2).
inline void closingPass(Complex* a, uint32_t n) {
    if (n < 2) return;
    const uint32_t half = n / 2;
    forEachOffsetRun(half, [&](uint32_t first, uint32_t count) { closingRun(a, first, count, half); });
}

}  // namespace fftplug::FFTPLUG_PATH_NS::splitradix
