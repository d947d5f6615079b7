// The pieces shared by the radix-4 entries: the general butterfly, the
// per-block factors, the first stage (one butterfly per block, adjacent
// blocks side by side) and the stages of wider span (adjacent butterflies of
// one block side by side). The closing radix-2 pass is plugin/closing_pass.h.
#pragma once

#include "../plugin/closing_pass.h"
#include "../plugin/lane_phase.h"

namespace fftplug::FFTPLUG_PATH_NS::radix4 {

// The three factors of block k: f2 = table[k] for the quarter at 2q, f1 =
// table[2k] for the quarter at q, f3 = f2·f1 for the quarter at 3q. The fixed
// −i of the butterfly stands in for table[2k + 1], which is never used.
struct BlockFactors {
    Complex f1, f2, f3;
};

inline BlockFactors blockFactors(const Complex* table, uint32_t k) {
    FFTPLUG_TABLE_READ(table + k);
    FFTPLUG_TABLE_READ(table + 2 * k);
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
    forEachLaneUnrolled<Widest, kFourPointLanesPerStep>(q, [&](auto lane, uint32_t j, auto unroll) {
        butterflies<decltype(unroll)::count>(lane, x + j, q, kind);
    });
}

// All q butterflies of the general block at s, each lane with the block's
// factors spread over it (the widest lane's spread once).
inline void generalBlock(Complex* a, uint32_t s, uint32_t q, const BlockFactors& f) {
    const Spread f1{f.f1}, f2{f.f2}, f3{f.f3};
    block(a + s, q, [&](auto lane, const auto& v, auto& y) {
        butterfly(v, LaneFactors<decltype(f1(lane))>{f1(lane), f2(lane), f3(lane)}, y);
    });
}

// The first stage's layout of W adjacent blocks on a lane of W samples: the
// load across the blocks, the store back, and the lane-wise factors f2 =
// w[0 … W − 1] and f1 = w[0], w[2] … w[2W − 2] in the same order. A path may
// order the blocks otherwise (a cheaper transpose) and give all four in that
// order; holdsSpecialBlocks then says that its lane can also take blocks 0
// and 1 with the general ones (difRadix4Special), which needs laneOf(block),
// the lane holding a block, and replaceSample. Here: block l in lane l.
template <typename Lane>
struct FirstStageLayout {
    using V = Samples<Lane>;
    static constexpr bool holdsSpecialBlocks = false;
    static void load(const Complex* p, V (&x)[4]) { loadAcrossBlocks(Lane{}, p, x); }
    static void store(Complex* p, const V (&y)[4]) { storeAcrossBlocks(p, y); }
    static auto factors(const Complex* w) { return ::fftplug::FFTPLUG_PATH_NS::factors(Lane{}, w); }
    static auto factorsEven(const Complex* w) { return ::fftplug::FFTPLUG_PATH_NS::factorsEven(Lane{}, w); }
};

// Two general blocks of quarter span `quarter` side by side on one lane, one
// to a half (the butterflies' span narrower than the lane): where available,
// load and store move the pair, factors(w, stride) gives w[0] over the first
// half and w[stride] over the second, joinHalves(first, second) the first
// half of one lane and the second half of another. Not available here: the
// blocks run one at a time.
template <typename Lane>
struct BlockPairs {
    static constexpr bool available = false;
};

// A block's three factors over every sample of the lane, formed on the lane
// (onLane): the parts of table[k] and table[2k] each spread, f3 = f2·f1 as
// the product of the two lane factors, which rounds as the Complex product
// does; a lane of one sample takes the Complex factors as they are. A path
// may form them with fewer shuffles (radix4/<path>.h). generalBlocks runs
// the stages whose quarter span fills whole lanes (q a multiple of W, where
// the blocks do not pair on a lane) on the widest lane alone with these.
template <typename Lane>
struct BlockLaneFactors {
    static constexpr bool onLane = Lane::width > 1;
    static auto of(const Complex* table, uint32_t k) {
        FFTPLUG_TABLE_READ(table + k);
        FFTPLUG_TABLE_READ(table + 2 * k);
        const auto f2 = factor(Lane{}, table[k]), f1 = factor(Lane{}, table[2 * k]);
        return LaneFactors<decltype(f1)>{f1, f2, mul(f2, f1)};
    }
};

}  // namespace fftplug::FFTPLUG_PATH_NS::radix4

#if __has_include(FFTPLUG_PATH_HEADER)  // radix4/<path>.h, if the path has one
#include FFTPLUG_PATH_HEADER
#endif

namespace fftplug::FFTPLUG_PATH_NS::radix4 {

// Two general blocks k and k + 1 of quarter span BlockPairs<Lane>::quarter
// at s and s + 4q, one to a half of the lane, each half with its own block's
// factors: f2 = table[k], table[k + 1]; f1 = table[2k], table[2k + 2]; f3 = f2·f1.
// U pairs side by side (blocks k … k + 2U − 1 at s, s + 8q …): all their
// loads, then the butterflies pair by pair, then all their stores.
template <int U, typename Lane>
FFTPLUG_ALWAYS_INLINE inline void generalBlockPairs(Lane, Complex* a, uint32_t s, const Complex* table, uint32_t k) {
    using Pairs = BlockPairs<Lane>;
    using V = Samples<Lane>;
    constexpr uint32_t pairSize = 8 * Pairs::quarter;
    V x[U][4], y[U][4];
    for (int u = 0; u < U; ++u) Pairs::load(a + s + u * pairSize, x[u]);
    for (int u = 0; u < U; ++u) {
        const uint32_t first = k + 2 * u;
        const auto f2 = Pairs::factors(table + first, 1);
        const auto f1 = Pairs::factors(table + 2 * first, 2);
        const LaneFactors<decltype(f1)> f{f1, f2, mul(f2, f1)};
        butterfly(combineFourPoint(x[u][0], x[u][1], x[u][2], x[u][3]), f, y[u]);
    }
    for (int u = 0; u < U; ++u) Pairs::store(a + s + u * pairSize, y[u]);
}

// The general blocks first … last − 1 of a stage whose quarter span q is a
// multiple of the lane, on the widest lane alone, with each block's factors
// formed on the lane: U lanes a step.
template <int U, typename Lane>
inline void wideGeneralBlocksBy(Lane lane, Complex* a, const Complex* table, uint32_t first, uint32_t last,
                                uint32_t q) {
    for (uint32_t k = first; k < last; ++k) {
        const auto f = BlockLaneFactors<Lane>::of(table, k);
        Complex* x = a + 4 * q * k;
        for (uint32_t j = 0; j < q; j += U * Lane::width)
            butterflies<U>(lane, x + j, q, [&](auto, const auto& v, auto& y) { butterfly(v, f, y); });
    }
}
// Two lanes a step where q holds two and the registers hold them, else one.
template <typename Lane>
inline void wideGeneralBlocks(Lane lane, Complex* a, const Complex* table, uint32_t first, uint32_t last, uint32_t q) {
    if constexpr (kFourPointLanesPerStep == 2) {
        if (q % (2 * Lane::width) == 0) return wideGeneralBlocksBy<2>(lane, a, table, first, last, q);
    }
    wideGeneralBlocksBy<1>(lane, a, table, first, last, q);
}

// Whether the stage of quarter span q runs two blocks a lane.
template <typename Lane = Widest>
constexpr bool pairsBlocks(uint32_t q) {
    if constexpr (BlockPairs<Lane>::available) return q == BlockPairs<Lane>::quarter;
    else return false;
}

// The general blocks first … last − 1 of the stage of quarter span q, in
// order: two at a time where pairsBlocks(q), else on the widest lane with
// factors formed on it where the path does so and q is a multiple of a lane,
// otherwise (and for an odd one left) one at a time.
inline void generalBlocks(Complex* a, const Complex* table, uint32_t first, uint32_t last, uint32_t q) {
    uint32_t k = first;
    if constexpr (BlockLaneFactors<Widest>::onLane) {
        if (q % Widest::width == 0 && !pairsBlocks(q)) return wideGeneralBlocks(Widest{}, a, table, first, last, q);
    }
    if constexpr (BlockPairs<Widest>::available) {
        if (pairsBlocks(q)) {
            // two pairs a step where the registers hold them, both loaded before either is stored
            if constexpr (kTwoButterflyLanes)
                for (; k + 4 <= last; k += 4) generalBlockPairs<2>(Widest{}, a, 4 * q * k, table, k);
            for (; k + 2 <= last; k += 2) generalBlockPairs<1>(Widest{}, a, 4 * q * k, table, k);
        }
    }
    for (; k < last; ++k) generalBlock(a, 4 * q * k, q, blockFactors(table, k));
}

// First stage (q = 1) general blocks first … last − 1: a lane of W adjacent
// blocks at a time, taken across the blocks in the order of the lane's
// FirstStageLayout, each sample with its own block's factors: f2 =
// table[k … k + W − 1], f1 the even entries of table[2k … 2k + 2W − 1],
// f3 = f2·f1 formed sample by sample.
// U lanes side by side (blocks k … k + U·W − 1): all their loads, the
// butterflies lane by lane, then all their stores.
template <int U, typename Lane>
FFTPLUG_ALWAYS_INLINE inline void firstStageLanes(Lane, Complex* a, const Complex* table, uint32_t k) {
    using Layout = FirstStageLayout<Lane>;
    using V = Samples<Lane>;
    constexpr uint32_t W = Lane::width;
    V x[U][4], y[U][4];
    for (int u = 0; u < U; ++u) Layout::load(a + 4 * (k + u * W), x[u]);
    for (int u = 0; u < U; ++u) {
        const auto f2 = Layout::factors(table + k + u * W);
        const auto f1 = Layout::factorsEven(table + 2 * (k + u * W));
        butterfly(combineFourPoint(x[u][0], x[u][1], x[u][2], x[u][3]), LaneFactors<decltype(f1)>{f1, f2, mul(f2, f1)},
                  y[u]);
    }
    for (int u = 0; u < U; ++u) Layout::store(a + 4 * (k + u * W), y[u]);
}
// From a first block on a lane boundary, two widest lanes a step while they
// fit (where the registers hold them), so that one lane's loads run ahead
// of the other's shuffles; the rest lane by lane.
inline void firstStage(Complex* a, const Complex* table, uint32_t first, uint32_t last) {
    constexpr uint32_t W = Widest::width;
    if constexpr (kTwoButterflyLanes) {
        if (first % W == 0)
            for (; first + 2 * W <= last; first += 2 * W) firstStageLanes<2>(Widest{}, a, table, first);
    }
    forEachBlockLane(first, last, [&](auto lane, uint32_t k) { firstStageLanes<1>(lane, a, table, k); });
}

// Runs of blocks on arrays off a line, in phase (a PhaseWalk over the
// stage's blocks of quarter span q): the general blocks first … last − 1,
// each with its factors formed as the widest lane's stages form them
// (BlockLaneFactors), and the blocks of a fixed kind(lane, fourPoint,
// outputs).
template <typename Walk>
FFTPLUG_ALWAYS_INLINE inline void generalBlocksInPhase(Walk& walk, const Complex* table, uint32_t first,
                                                       uint32_t last) {
    walk.blocks(last - first, [table, first](uint32_t b) {
        return [f = BlockLaneFactors<Widest>::of(table, first + b)](auto& v) {
            std::remove_reference_t<decltype(v[0])> y[4];
            butterfly(combineFourPoint(v[0], v[1], v[2], v[3]), f, y);
            for (int i = 0; i < 4; ++i) v[i] = y[i];
        };
    });
}
template <typename Walk, typename Kind>
FFTPLUG_ALWAYS_INLINE inline void kindBlocksInPhase(Walk& walk, uint32_t count, Kind kind) {
    walk.blocks(count, [kind](uint32_t) {
        return [kind](auto& v) {
            std::remove_reference_t<decltype(v[0])> y[4];
            kind(Widest{}, combineFourPoint(v[0], v[1], v[2], v[3]), y);
            for (int i = 0; i < 4; ++i) v[i] = y[i];
        };
    });
}

}  // namespace fftplug::FFTPLUG_PATH_NS::radix4
