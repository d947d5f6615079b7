// The pieces shared by the split-radix entries: the offset sets O(q), the
// general butterfly with its two factors per block, the first stage (one
// butterfly per block, adjacent blocks side by side) and the closing pass
// over the runs of O(N/2).
//
// The data movement that only this family uses comes first, each set of
// moves that must agree as one trait over the lane: a generic version built
// from the core, which every path can use, and the path's own version in
// splitradix/<path>.h where it has one. The kernels below call the trait;
// the path decides.
#pragma once

#include <type_traits>

#include "../plugin/closing_pass.h"

namespace fftplug::FFTPLUG_PATH_NS::splitradix {

// The samples of a lane that a step touches: sample l where bit l is set.
// The others are neither read nor written; they hold zeros in between.
template <uint32_t Bits>
struct Members {
    static constexpr uint32_t bits = Bits;
};

// Loads and stores of the members alone of a lane, for the walk over O(q)
// with partly filled lanes (forEachOffsetLane): load<Bits>(p, Members<Bits>)
// and store<Bits>(p, Members<Bits>, v). A lane without them takes O(q) a run
// at a time instead.
template <typename Lane>
struct MemberMoves {
    static constexpr bool available = false;
};

// The lanes of the stages with one butterfly per block (quarter span q = 1
// or 2): `Lane::width` adjacent blocks of 4q samples at p, across the
// blocks, x[i] holding sample i·q of every block (lane l: p[4q·l + i·q]),
// and back. Only those samples are read or written (with q = 2 the odd
// ones belong to no butterfly of the stage). Lane l holds block l, so that
// the lane-wise factors come in table order.
template <uint32_t q, typename Lane>
struct AcrossBlocks {
    template <typename V>
    static void load(const Complex* p, V (&x)[4]) {
        if constexpr (q == 1) {
            loadAcrossBlocks(Lane{}, p, x);
        } else {
            for (int i = 0; i < 4; ++i) x[i] = loadStrided(Lane{}, p + i * q, 4 * q);
        }
    }
    template <typename V>
    static void store(Complex* p, const V (&y)[4]) {
        if constexpr (q == 1) {
            storeAcrossBlocks(p, y);
        } else {
            for (int i = 0; i < 4; ++i) storeStrided(p + i * q, 4 * q, y[i]);
        }
    }
};

// Two blocks of quarter span 4 on one lane, quarter i of each in one half of
// x[i] (samples 0, 1, 3 of each quarter, the members of O(4), alone read and
// written): load(p, x), store(p, y) for the blocks at p and p + 16, and
// their factors, factors(first, second) over the two halves and
// factors(f, h) from the lane-wise factors f of four blocks on the narrower
// lane, blocks 2h and 2h + 1. Not available in general: the halves of a
// lane are not part of the core.
template <typename Lane>
struct BlockPairs {
    static constexpr bool available = false;
};

// Entry 9's first lane across the blocks of a stage of one butterfly per
// block, blocks 0 and 1 (the special kinds) in samples 0 and 1:
// pickFirstTwo(first, second, rest), sample 0 from `first`, 1 from
// `second`, the others from `rest`; factorsPastTwo(w) and
// factorsEvenPastTwo(w), the lane-wise factors w[l] and w[2l] for the
// samples l >= 2 (the general blocks), zeros for samples 0 and 1, whose
// entries are never read. Not available in general: picking samples from
// several lanes is not part of the core.
template <typename Lane>
struct FromBlockZero {
    static constexpr bool available = false;
};

}  // namespace fftplug::FFTPLUG_PATH_NS::splitradix

#if __has_include(FFTPLUG_PATH_HEADER)  // splitradix/<path>.h, if the path has one
#include FFTPLUG_PATH_HEADER
#endif

namespace fftplug::FFTPLUG_PATH_NS::splitradix {

// O(q), the L-shaped subset of a block with quarter span q that a stage
// visits: the runs q − t <= j < q − t/2 for t = q, q/4, q/16, … while t >= 1,
// in that order, each ascending. It has (2q + 1)/3 members. The walk hands
// each run to `run(first, count)`, so that the innermost loops stay
// unit-stride; it runs inline, so that a block's factors stay in registers
// over the runs.
// With `from` (q, q/4 …), the runs from t = from on alone.
template <typename Run>
FFTPLUG_ALWAYS_INLINE inline void forEachOffsetRun(uint32_t q, Run&& run, uint32_t from = 0) {
    for (uint32_t t = from != 0 ? from : q; t >= 1; t /= 4) run(q - t, t - t / 2);
}

// The members of O(q) as bits (offset j as bit j), for q <= 16.
constexpr uint32_t offsetBits(uint32_t q) {
    uint32_t bits = 0;
    for (uint32_t t = q; t >= 1; t /= 4)
        for (uint32_t j = q - t; j < q - t / 2; ++j) bits |= 1u << j;
    return bits;
}

// Every sample of a lane, or only the members of a partly filled one.
struct AllSamples {};
template <typename Lane>
inline auto loadSome(Lane lane, const Complex* p, AllSamples) {
    return load(lane, p);
}
template <typename Lane, typename V>
inline void storeSome(Lane, Complex* p, AllSamples, V v) {
    store(p, v);
}
template <typename Lane, uint32_t Bits>
inline auto loadSome(Lane, const Complex* p, Members<Bits> members) {
    return MemberMoves<Lane>::load(p, members);
}
template <typename Lane, typename V, uint32_t Bits>
inline void storeSome(Lane, Complex* p, Members<Bits> members, V v) {
    MemberMoves<Lane>::store(p, members, v);
}

// The walk over O(q) on lanes of width W that have member moves, for q >= W:
// the runs of W or more offsets (t/2 >= W, multiples of W) on whole lanes,
// then what is left, the runs of fewer than W offsets, all within the last W
// offsets q − W … q − 1: one partly filled lane over them, whose members are
// those of O(W) (when the runs reach t = W) or those of O(W/2) in its upper
// half (t = W/2). body(lane, at, lanes, which): `lanes` (Unroll<1> or <2>;
// only Unroll<1> with kMostLanes = 1) lanes at offset `at`, every sample or
// Members<…>. The lane is the widest one that q fills; false, and nothing
// done, when that lane has no member moves. With `from` (q, q/4 …, at
// least the lane's width), the runs from t = from on alone.
template <typename Lane = Widest, int kMostLanes = 2, typename Body>
FFTPLUG_ALWAYS_INLINE inline bool forEachOffsetLane(uint32_t q, Body&& body, uint32_t from = 0) {
    constexpr uint32_t W = Lane::width;
    if constexpr (MemberMoves<Lane>::available) {
        if (q < W) return forEachOffsetLane<Narrower<Lane>, kMostLanes>(q, body);
        uint32_t t = from != 0 ? from : q;
        for (; t / 2 >= W; t /= 4) {
            const uint32_t first = q - t, count = t / 2;
            uint32_t i = 0;
            if constexpr (kMostLanes >= 2) {
                for (; i + 2 * W <= count; i += 2 * W) body(Lane{}, first + i, Unroll<2>{}, AllSamples{});
                if (i < count) body(Lane{}, first + i, Unroll<1>{}, AllSamples{});
            } else {
                for (; i < count; i += W) body(Lane{}, first + i, Unroll<1>{}, AllSamples{});
            }
        }
        if (t == W) body(Lane{}, q - W, Unroll<1>{}, Members<offsetBits(W)>{});
        else body(Lane{}, q - W, Unroll<1>{}, Members<(offsetBits(W / 2) << (W / 2))>{});
        return true;
    } else {
        return false;
    }
}

// f1 = table[2k], f3 = f1·table[k], formed once per block.
struct BlockFactors {
    Complex f1, f3;
};

inline BlockFactors blockFactors(const Complex* table, uint32_t k) {
    FFTPLUG_TABLE_READ(table + 2 * k);
    FFTPLUG_TABLE_READ(table + k);
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

// U lanes of butterflies at x, x + W, …: all loads, then all stores.
template <int U, typename Lane, typename Which, typename Kind>
FFTPLUG_ALWAYS_INLINE inline void butterflies(Lane lane, Complex* x, uint32_t q, Which which, Kind& kind) {
    constexpr uint32_t W = Lane::width;
    using V = Samples<Lane>;
    FourPoint<V> v[U];
    for (int u = 0; u < U; ++u) {
        const Complex* at = x + u * W;
        v[u] = combineFourPoint(loadSome(lane, at, which), loadSome(lane, at + q, which),
                                loadSome(lane, at + 2 * q, which), loadSome(lane, at + 3 * q, which));
    }
    for (int u = 0; u < U; ++u) {
        V y[4];
        kind(lane, v[u], y);
        for (int k = 0; k < 4; ++k) storeSome(lane, x + u * W + k * q, which, y[k]);
    }
}

// The butterflies of the block at x over O(q): kind(lane, fourPoint,
// outputs). Whole lanes and one partly filled lane (forEachOffsetLane) where
// q fills a lane with member moves; otherwise a run at a time,
// U lanes of adjacent offsets a step within each run.
template <typename Kind>
FFTPLUG_ALWAYS_INLINE inline void block(Complex* x, uint32_t q, Kind&& kind) {
    if (forEachOffsetLane<Widest, kFourPointLanesPerStep>(
            q, [&](auto lane, uint32_t first, auto unroll, auto which) FFTPLUG_ALWAYS_INLINE {
                butterflies<decltype(unroll)::count>(lane, x + first, q, which, kind);
            }))
        return;
    forEachOffsetRun(q, [&](uint32_t first, uint32_t count) {
        forEachLaneUnrolled<Widest, kFourPointLanesPerStep>(count, [&](auto lane, uint32_t i, auto unroll) {
            butterflies<decltype(unroll)::count>(lane, x + first + i, q, AllSamples{}, kind);
        });
    });
}

// block() for arrays off a line: the runs of O(q) long enough for fromLine
// (the first ones, t/2 from kFromLineLanes widest lanes) from their first
// lane boundary on, the rest as block() walks them. Every run starts a
// multiple of the lane from x, so one test serves all. Out of line, with the
// kind passed on through a lambda of its own: only a transform off a line
// runs it.
template <typename Kind>
FFTPLUG_ALWAYS_INLINE inline void walkBlockFromLine(Complex* x, uint32_t q, const Kind& kind) {
    const auto own = [&](auto lane, const auto& v, auto& y) { kind(lane, v, y); };
    uint32_t t = q;
    for (; t / 2 >= kFromLineLanes * Widest::width; t /= 4) {
        Complex* run = x + (q - t);
        forEachLaneFromLine<kFourPointLanesPerStep>(run, t / 2, [&](auto lane, uint32_t i, auto unroll) {
            butterflies<decltype(unroll)::count>(lane, run + i, q, AllSamples{}, own);
        });
    }
    if (forEachOffsetLane<Widest, kFourPointLanesPerStep>(
            q,
            [&](auto lane, uint32_t first, auto unroll, auto which) {
                butterflies<decltype(unroll)::count>(lane, x + first, q, which, own);
            },
            t))
        return;
    forEachOffsetRun(
        q,
        [&](uint32_t first, uint32_t count) {
            forEachLaneUnrolled<Widest, kFourPointLanesPerStep>(count, [&](auto lane, uint32_t i, auto unroll) {
                butterflies<decltype(unroll)::count>(lane, x + first + i, q, AllSamples{}, own);
            });
        },
        t);
}
template <typename Kind>
__attribute__((noinline)) void blockFromLine(Complex* x, uint32_t q, Kind kind) {
    walkBlockFromLine(x, q, kind);
}

// The general butterfly's kind with the block's factors f1 and f3 spread.
struct GeneralKind {
    Spread f1, f3;
    explicit GeneralKind(const BlockFactors& f) : f1{f.f1}, f3{f.f3} {}
    template <typename Lane, typename V>
    void operator()(Lane lane, const FourPoint<V>& v, V (&y)[4]) const {
        butterfly(v, y, [&](auto p) { return mul(p, f1(lane)); }, [&](auto r) { return mul(r, f3(lane)); });
    }
};

// The butterflies of the general block at s, over O(q): (D0 − i·D1)·f1 at q
// and (D0 + i·D1)·f3 at 3q.
FFTPLUG_ALWAYS_INLINE inline void generalBlock(Complex* a, uint32_t s, uint32_t q, const BlockFactors& f) {
    block(a + s, q, GeneralKind(f));
}

// The general blocks first … last − 1 of a stage for arrays off a line whose
// first run of O(q) is long enough (fromLine(a, q / 2)): each block as
// blockFromLine walks it.
inline __attribute__((noinline)) void generalBlocksFromLine(Complex* a, const Complex* table, uint32_t q,
                                                            uint32_t first, uint32_t last) {
    for (uint32_t k = first; k < last; ++k) walkBlockFromLine(a + 4 * q * k, q, GeneralKind(blockFactors(table, k)));
}

// The stage of quarter span 4 on a lane that holds two blocks (BlockPairs):
// four blocks a step with their factors formed side by side on the narrower
// lane (f1 the even entries of table[2k … 2k + 6], f3 = f1·table[k … k + 3]
// sample by sample), a remaining pair with factors formed block by block, a
// last single block on its own.
template <typename Lane>
FFTPLUG_ALWAYS_INLINE inline void twoBlockStage(Complex* a, const Complex* table, uint32_t first, uint32_t last) {
    using V = Samples<Lane>;
    using Pairs = BlockPairs<Lane>;
    const auto twoBlocks = [&](Complex* at, const auto& f1, const auto& f3) {
        V x[4], y[4];
        Pairs::load(at, x);
        butterfly(combineFourPoint(x[0], x[1], x[2], x[3]), y, [&](V p) { return mul(p, f1); },
                  [&](V r) { return mul(r, f3); });
        Pairs::store(at, y);
    };
    uint32_t k = first;
    for (; k + 4 <= last; k += 4) {
        const auto f1 = factorsEven(Narrower<Lane>{}, table + 2 * k);
        const auto f3 = mul(f1, factors(Narrower<Lane>{}, table + k));
        twoBlocks(a + 16 * k, Pairs::factors(f1, 0), Pairs::factors(f3, 0));
        twoBlocks(a + 16 * k + 32, Pairs::factors(f1, 1), Pairs::factors(f3, 1));
    }
    for (; k + 2 <= last; k += 2) {
        const BlockFactors f = blockFactors(table, k), g = blockFactors(table, k + 1);
        twoBlocks(a + 16 * k, Pairs::factors(f.f1, g.f1), Pairs::factors(f.f3, g.f3));
    }
    if (k < last) generalBlock(a, 16 * k, 4, blockFactors(table, k));
}

// The general blocks first … last − 1 of the stage of quarter span q >= 4.
// The stages of small quarter span, where a block is a few lanes, take the
// span as a constant, so that the walk over O(q) unfolds and each block runs
// inline with its factors in registers (the walk and the butterflies are
// forced inline for that).
template <uint32_t q>
inline void generalBlocksOfSpan(Complex* a, const Complex* table, uint32_t first, uint32_t last) {
    for (uint32_t k = first; k < last; ++k) generalBlock(a, 4 * q * k, q, blockFactors(table, k));
}

inline void generalBlocks(Complex* a, const Complex* table, uint32_t q, uint32_t first, uint32_t last) {
    if constexpr (BlockPairs<Widest>::available) {
        if (q == 4) {
            twoBlockStage<Widest>(a, table, first, last);
            return;
        }
    }
    if (q == 4) return generalBlocksOfSpan<4>(a, table, first, last);
    if (q == 8) return generalBlocksOfSpan<8>(a, table, first, last);
    if (q == 16) return generalBlocksOfSpan<16>(a, table, first, last);
    if (q == 32) return generalBlocksOfSpan<32>(a, table, first, last);
    if (q == 64) return generalBlocksOfSpan<64>(a, table, first, last);
    for (uint32_t k = first; k < last; ++k) generalBlock(a, 4 * q * k, q, blockFactors(table, k));
}

// The stages with one butterfly per block (q = 1 and q = 2, where O(q) =
// {0}), general blocks first … last − 1: a lane of W adjacent blocks at a
// time, taken across the blocks, each sample with its own block's factors:
// f1 the even entries of table[2k … 2k + 2W − 1], f3 = f1·table[k … k + W − 1]
// formed sample by sample. With q = 2 only positions 0, 2, 4, 6 of each
// block of 8 are touched (AcrossBlocks).
// U lanes side by side (blocks k … k + U·W − 1): all their loads, the
// butterflies lane by lane, then all their stores.
template <uint32_t q, int U, typename Lane>
FFTPLUG_ALWAYS_INLINE inline void narrowLanes(Lane lane, Complex* a, const Complex* table, uint32_t k) {
    using V = Samples<Lane>;
    constexpr uint32_t W = Lane::width;
    V x[U][4], y[U][4];
    for (int u = 0; u < U; ++u) AcrossBlocks<q, Lane>::load(a + 4 * q * (k + u * W), x[u]);
    for (int u = 0; u < U; ++u) {
        const auto f1 = factorsEven(lane, table + 2 * (k + u * W));
        const auto f3 = mul(f1, factors(lane, table + k + u * W));
        butterfly(combineFourPoint(x[u][0], x[u][1], x[u][2], x[u][3]), y[u], [&](auto p) { return mul(p, f1); },
                  [&](auto r) { return mul(r, f3); });
    }
    for (int u = 0; u < U; ++u) AcrossBlocks<q, Lane>::store(a + 4 * q * (k + u * W), y[u]);
}
template <uint32_t q>
inline void narrowStage(Complex* a, const Complex* table, uint32_t first, uint32_t last) {
    constexpr uint32_t W = Widest::width;
    if constexpr (kTwoButterflyLanes) {  // from a lane boundary, two widest lanes a step while they fit
        if (first % W == 0)
            for (; first + 2 * W <= last; first += 2 * W) narrowLanes<q, 2>(Widest{}, a, table, first);
    }
    forEachBlockLane(first, last, [&](auto lane, uint32_t k) FFTPLUG_ALWAYS_INLINE {
        narrowLanes<q, 1>(lane, a, table, k);
    });
}

// Entry 9's stages of quarter span q = 1 or 2 with `count` >= 2 blocks
// (blocks 0 and 1 of the special kinds `free` and `one`, 2 … count − 1
// general), on a path whose lanes have FromBlockZero: the first W blocks
// (W = count when that is narrower) on one lane across the blocks, where
// each kind's butterfly gives the samples of its own blocks and the general
// one takes its factors from entries past those of blocks 0 and 1, which
// stay unread; then the rest as narrowStage.
template <uint32_t q, typename Lane = Widest, typename Free, typename One_>
inline void narrowStageFromBlockZero(Complex* a, const Complex* table, uint32_t count, const Free& free,
                                     const One_& one) {
    using Zero = FromBlockZero<Lane>;
    static_assert(Zero::available, "blocks 0 and 1 side by side on a lane without FromBlockZero");
    constexpr uint32_t W = Lane::width;
    // blocks 0 and 1 fill a lane of two, which count >= 2 always fills
    if constexpr (W > 2) {
        if (count < W) return narrowStageFromBlockZero<q, Narrower<Lane>>(a, table, count, free, one);
    }
    using V = Samples<Lane>;
    const Lane lane{};
    V x[4], y[4], special[4];
    AcrossBlocks<q, Lane>::load(a, x);
    const FourPoint<V> v = combineFourPoint(x[0], x[1], x[2], x[3]);
    free(lane, v, y);
    one(lane, v, special);
    if constexpr (W > 2) {
        // samples 2 … W − 1: general blocks
        V general[4];
        const auto f1 = Zero::factorsEvenPastTwo(table);
        const auto f3 = mul(f1, Zero::factorsPastTwo(table));
        butterfly(v, general, [&](V p) { return mul(p, f1); }, [&](V r) { return mul(r, f3); });
        y[1] = Zero::pickFirstTwo(y[1], special[1], general[1]);
        y[3] = Zero::pickFirstTwo(y[3], special[3], general[3]);
    } else {
        y[1] = Zero::pickFirstTwo(y[1], special[1], special[1]);
        y[3] = Zero::pickFirstTwo(y[3], special[3], special[3]);
    }
    // the sums, the same in every kind, are y[0] and y[2] as they stand
    AcrossBlocks<q, Lane>::store(a, y);
    if (W < count) narrowStage<q>(a, table, W, count);
}

// The twiddle-free radix-2 pass over pairs half the array apart, on O(N/2),
// the runs from t = from on (t = half, half/4 …; 0: all of them).
inline void closingPass(Complex* a, uint32_t n, uint32_t from = 0) {
    if (n < 2) return;
    const uint32_t half = n / 2;
    if (forEachOffsetLane(
            half,
            [&](auto lane, uint32_t first, auto unroll, auto which) {
                if constexpr (std::is_same_v<decltype(which), AllSamples>) {
                    closingRun(a, first, decltype(unroll)::count * decltype(lane)::width, half);
                } else {
                    using Moves = MemberMoves<decltype(lane)>;
                    const auto u = Moves::load(a + first, which);
                    const auto v = Moves::load(a + first + half, which);
                    Moves::store(a + first, which, add(u, v));
                    Moves::store(a + first + half, which, sub(u, v));
                }
            },
            from))
        return;
    forEachOffsetRun(half, [&](uint32_t first, uint32_t count) { closingRun(a, first, count, half); }, from);
}

// closingPass for arrays off a line: the runs long enough for fromLine from
// their first lane boundary on, the rest as closingPass takes them. Out of
// line, as only a transform off a line runs it.
inline __attribute__((noinline)) void closingPassOffLine(Complex* a, uint32_t n) {
    const uint32_t half = n / 2;
    uint32_t from = half;
    for (; from / 2 >= kFromLineLanes * Widest::width; from /= 4) closingRunOffLine(a, half - from, from / 2, half);
    closingPass(a, n, from);
}

// The closing pass of a transform's stage loop on arrays on a line or
// (kOffLine) off one.
template <bool kOffLine>
inline void closingPassOnOrOffLine(Complex* a, uint32_t n) {
    if constexpr (kOffLine) closingPassOffLine(a, n);
    else closingPass(a, n);
}

}  // namespace fftplug::FFTPLUG_PATH_NS::splitradix
