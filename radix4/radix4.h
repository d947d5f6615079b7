// The pieces shared by the radix-4 entries: the general butterfly, the
// per-block factors, the first stage (one butterfly per block, adjacent
// blocks side by side) and the stages of wider span (adjacent butterflies of
// one block side by side). The closing radix-2 pass is plugin/closing_pass.h.
#pragma once

#include "../plugin/closing_pass.h"

namespace fftplug::FFTPLUG_PATH_NS::radix4 {

// The three factors of block k: f2 = table[k] for the quarter at 2q, f1 =
// table[2k] for the quarter at q, f3 = f2·f1 for the quarter at 3q. The fixed
// −i of the butterfly stands in for table[2k + 1], which is never used.
struct BlockFactors {
    Complex f1, f2, f3;
};

inline BlockFactors blockFactors(const Complex* table, uint32_t k) {
    FFTPLUG_COUNT_TABLE_READ(table + k);
    FFTPLUG_COUNT_TABLE_READ(table + 2 * k);
    const Complex f2 = table[k];
    const Complex f1 = table[2 * k];
    return {f1, f2, mul(f2, f1)};
}

// The factors of a butterfly spread over a lane: one block's broadcast, or
// one block per sample in the first stage.
template <typename F>
struct LaneFactors {
    F f1, f2, f3;
};

// The general butterfly on values: S0 + S1 at 0, (D0 − i·D1)·f1 at q,
// (S0 − S1)·f2 at 2q, (D0 + i·D1)·f3 at 3q.
template <typename V, typename F>
inline void butterfly(const FourPoint<V>& v, const LaneFactors<F>& f, V (&y)[4]) {
    y[0] = add(v.sum01, v.sum23);
    y[1] = mul(v.p, f.f1);
    y[2] = mul(sub(v.sum01, v.sum23), f.f2);
    y[3] = mul(v.r, f.f3);
}

// U lanes of adjacent butterflies at x, x + W, …: all loads, then all stores.
template <int U, typename Lane, typename Kind>
inline void butterflies(Lane lane, Complex* x, uint32_t q, Kind&& kind) {
    constexpr uint32_t W = Lane::width;
    using V = Samples<Lane>;
    FourPoint<V> v[U];
    for (int u = 0; u < U; ++u) v[u] = combineFourPoint(lane, x + u * W, q);
    for (int u = 0; u < U; ++u) {
        V y[4];
        kind(lane, v[u], y);
        for (int i = 0; i < 4; ++i) store(x + u * W + i * q, y[i]);
    }
}

// All q butterflies of the block at x, with kind(lane, fourPoint, outputs).
template <typename Kind>
inline void block(Complex* x, uint32_t q, Kind&& kind) {
    forEachLaneUnrolled(q, [&](auto lane, uint32_t j, auto unroll) {
        butterflies<decltype(unroll)::count>(lane, x + j, q, kind);
    });
}

// All q butterflies of the general block at s.
inline void generalBlock(Complex* a, uint32_t s, uint32_t q, const BlockFactors& f) {
    const auto wide = LaneFactors<decltype(factor(Widest{}, f.f1))>{
        factor(Widest{}, f.f1), factor(Widest{}, f.f2), factor(Widest{}, f.f3)};
    block(a + s, q, [&](auto lane, const auto& v, auto& y) {
        if constexpr (decltype(lane)::width == Widest::width) {
            butterfly(v, wide, y);
        } else {
            butterfly(v, LaneFactors<decltype(factor(lane, f.f1))>{factor(lane, f.f1), factor(lane, f.f2),
                                                                   factor(lane, f.f3)}, y);
        }
    });
}

// Two general blocks of quarter span 4 side by side, k and k + 1 at s and
// s + 16, one to a half of the eight-sample lane (the butterflies' span is
// narrower than the lane); each half has its own block's factors:
// f2 = table[k], table[k + 1]; f1 = table[2k], table[2k + 2]; f3 = f2·f1.
template <typename Lane>
FFTPLUG_ALWAYS_INLINE inline void generalBlockPair(Lane lane, Complex* a, uint32_t s, const Complex* table, uint32_t k) {
    using V = Samples<Lane>;
    V x[4], y[4];
    loadBlockPair(lane, a + s, x);
    const auto f2 = pairFactors(lane, table + k, 1);
    const auto f1 = pairFactors(lane, table + 2 * k, 2);
    const LaneFactors<decltype(f1)> f{f1, f2, mul(f2, f1)};
    butterfly(combineFourPoint(x[0], x[1], x[2], x[3]), f, y);
    storeBlockPair(a + s, y);
}

#if defined(FFTPLUG_PATH_AVX512)
// The general blocks first … last − 1 of a stage whose quarter span q is a
// multiple of 16, on the eight-sample lane alone, with each block's factors
// formed on the lane: the parts of table[k] and table[2k] spread straight
// from memory (a load, no shuffle), f3 = f2·f1 as the lane product of f2
// (both parts, spread as one sample) by f1, whose imaginary parts round as
// those of the Complex product do (a sum of the same two products), then
// split. Scalar factors would take a spread for each of the six parts and
// as many FP operations again for f3; the stage with q = 16 has one step
// of butterflies a block, against which that set-up counts.
inline void wideGeneralBlocks(Complex* a, const Complex* table, uint32_t first, uint32_t last, uint32_t q) {
    for (uint32_t k = first; k < last; ++k) {
        FFTPLUG_COUNT_TABLE_READ(table + k);
        FFTPLUG_COUNT_TABLE_READ(table + 2 * k);
        const OctFactor f2 = factor(Eight{}, table[k]), f1 = factor(Eight{}, table[2 * k]);
        const OctFactorSigned f1Signed = signedFactor(f1);
        const OctFactor f3 = avx512::split(mul(broadcastSample(Eight{}, table + k), f1Signed).v);
        const LaneFactors<OctFactorSigned> f{f1Signed, signedFactor(f2), signedFactor(f3)};
        Complex* x = a + 4 * q * k;
        for (uint32_t j = 0; j < q; j += 2 * Eight::width)
            butterflies<2>(Eight{}, x + j, q, [&](auto, const auto& v, auto& y) { butterfly(v, f, y); });
    }
}
#endif

// Whether the stage of quarter span q runs two blocks a lane: q = 4 on the
// eight-sample lane.
constexpr bool pairsBlocks(uint32_t q) { return Widest::width == 8 && q == 4; }

// The general blocks first … last − 1 of the stage of quarter span q, in
// order: on the eight-sample lane with factors formed on it where q is a
// multiple of 16, two at a time where pairsBlocks(q), otherwise (and for an
// odd one left) one at a time.
inline void generalBlocks(Complex* a, const Complex* table, uint32_t first, uint32_t last, uint32_t q) {
    uint32_t k = first;
#if defined(FFTPLUG_PATH_AVX512)
    if (q % 16 == 0) return wideGeneralBlocks(a, table, first, last, q);
    if (pairsBlocks(q))
        for (; k + 2 <= last; k += 2) generalBlockPair(Widest{}, a, 16 * k, table, k);
#endif
    for (; k < last; ++k) generalBlock(a, 4 * q * k, q, blockFactors(table, k));
}

// First stage (q = 1) general blocks first … last − 1: a lane of W adjacent
// blocks at a time, taken across the blocks, each sample with its own
// block's factors: f2 = table[k … k + W − 1], f1 the even entries of
// table[2k … 2k + 2W − 1], f3 = f2·f1 formed sample by sample. The
// eight-sample lane holds its blocks in the interleaved order of
// loadAcrossBlocksInterleaved.
template <typename Lane>
inline void firstStageLane(Lane lane, Complex* a, const Complex* table, uint32_t k) {
    using V = Samples<Lane>;
    V x[4], y[4];
    if constexpr (Lane::width == 8) {  // the blocks in the lanes' interleaved order
        loadAcrossBlocksInterleaved(lane, a + 4 * k, x);
        const auto f2 = factorsInterleaved(lane, table + k);
        const auto f1 = factorsEvenInterleaved(lane, table + 2 * k);
        butterfly(combineFourPoint(x[0], x[1], x[2], x[3]), LaneFactors<decltype(f1)>{f1, f2, mul(f2, f1)}, y);
        storeAcrossBlocksInterleaved(a + 4 * k, y);
    } else {
        loadAcrossBlocks(lane, a + 4 * k, x);
        const auto f2 = factors(lane, table + k);
        const auto f1 = factorsEven(lane, table + 2 * k);
        butterfly(combineFourPoint(x[0], x[1], x[2], x[3]), LaneFactors<decltype(f1)>{f1, f2, mul(f2, f1)}, y);
        storeAcrossBlocks(a + 4 * k, y);
    }
}
inline void firstStage(Complex* a, const Complex* table, uint32_t first, uint32_t last) {
    forEachBlockLane(first, last, [&](auto lane, uint32_t k) { firstStageLane(lane, a, table, k); });
}

}  // namespace fftplug::FFTPLUG_PATH_NS::radix4
