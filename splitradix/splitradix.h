// The pieces shared by the split-radix entries: the offset sets O(q), the
// general butterfly with its two factors per block, the first stage (one
// butterfly per block, adjacent blocks side by side) and the closing pass
// over the runs of O(N/2).
#pragma once

#include <type_traits>

#include "../plugin/closing_pass.h"
#include "lanes.h"

namespace fftplug::FFTPLUG_PATH_NS::splitradix {

// O(q), the L-shaped subset of a block with quarter span q that a stage
// visits: the runs q − t <= j < q − t/2 for t = q, q/4, q/16, … while t >= 1,
// in that order, each ascending. It has (2q + 1)/3 members. The walk hands
// each run to `run(first, count)`, so that the innermost loops stay unit-stride.
template <typename Run>
inline void forEachOffsetRun(uint32_t q, Run&& run) {
    for (uint32_t t = q; t >= 1; t /= 4) run(q - t, t - t / 2);
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
template <typename V>
inline void storeSome(Complex* p, AllSamples, V v) {
    store(p, v);
}
template <typename Lane, uint32_t Bits>
inline auto loadSome(Lane lane, const Complex* p, Members<Bits> members) {
    return loadMembers(lane, p, members);
}
template <typename V, uint32_t Bits>
inline void storeSome(Complex* p, Members<Bits> members, V v) {
    storeMembers(p, members, v);
}

// The walk over O(q) on lanes of width W >= 4, for q >= W: the runs of W or
// more offsets (t/2 >= W, multiples of W) on whole lanes, then what is left,
// the runs of fewer than W offsets, all within the last W offsets
// q − W … q − 1: one partly filled lane over them, whose members are those
// of O(W) (when the runs reach t = W) or those of O(W/2) in its upper half
// (t = W/2). body(lane, at, lanes, which): `lanes` (Unroll<1> or <2>) lanes
// at offset `at`, every sample or Members<…>. The lane is the widest one
// that q fills; false, and nothing done, when it would be narrower than 4.
template <typename Lane = Widest, typename Body>
FFTPLUG_ALWAYS_INLINE inline bool forEachOffsetLane(uint32_t q, Body&& body) {
    constexpr uint32_t W = Lane::width;
    if constexpr (W >= 4) {
        if (q < W) return forEachOffsetLane<Narrower<Lane>>(q, body);
        uint32_t t = q;
        for (; t / 2 >= W; t /= 4) {
            const uint32_t first = q - t, count = t / 2;
            uint32_t i = 0;
            for (; i + 2 * W <= count; i += 2 * W) body(Lane{}, first + i, Unroll<2>{}, AllSamples{});
            if (i < count) body(Lane{}, first + i, Unroll<1>{}, AllSamples{});
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
        for (int k = 0; k < 4; ++k) storeSome(x + u * W + k * q, which, y[k]);
    }
}

// The butterflies of the block at x over O(q): kind(lane, fourPoint,
// outputs). From q = 4 on, whole lanes and one partly filled lane
// (forEachOffsetLane); below, and on the narrower paths, a run at a time,
// U lanes of adjacent offsets a step within each run.
template <typename Kind>
FFTPLUG_ALWAYS_INLINE inline void block(Complex* x, uint32_t q, Kind&& kind) {
    if (forEachOffsetLane(q, [&](auto lane, uint32_t first, auto unroll, auto which) FFTPLUG_ALWAYS_INLINE {
            butterflies<decltype(unroll)::count>(lane, x + first, q, which, kind);
        }))
        return;
    forEachOffsetRun(q, [&](uint32_t first, uint32_t count) {
        forEachLaneUnrolled(count, [&](auto lane, uint32_t i, auto unroll) {
            butterflies<decltype(unroll)::count>(lane, x + first + i, q, AllSamples{}, kind);
        });
    });
}

// The butterflies of the general block at s, over O(q): (D0 − i·D1)·f1 at q
// and (D0 + i·D1)·f3 at 3q.
FFTPLUG_ALWAYS_INLINE inline void generalBlock(Complex* a, uint32_t s, uint32_t q, const BlockFactors& f) {
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

// The stage of quarter span 4 on eight-sample lanes: two blocks a lane
// (loadQuartersOfTwoBlocksMasked, storeQuartersOfTwoBlocks), four blocks a
// step with their factors formed side by side (f1 the even entries of table[2k … 2k + 6], f3 = f1·table[k …
// k + 3] sample by sample), a remaining pair with factors formed block by
// block, a last single block on its own.
template <typename Lane>
inline void twoBlockStage(Lane lane, Complex* a, const Complex* table, uint32_t first, uint32_t last) {
    using V = Samples<Lane>;
    const auto twoBlocks = [&](Complex* at, const auto& f1, const auto& f3) {
        V x[4], y[4];
        loadQuartersOfTwoBlocksMasked(at, x);
        butterfly(combineFourPoint(x[0], x[1], x[2], x[3]), y, [&](V p) { return mul(p, f1); },
                  [&](V r) { return mul(r, f3); });
        storeQuartersOfTwoBlocks(at, y);
    };
    uint32_t k = first;
    for (; k + 4 <= last; k += 4) {
        const auto f1 = factorsEven(Narrower<Lane>{}, table + 2 * k);
        const auto f3 = mul(f1, factors(Narrower<Lane>{}, table + k));
        twoBlocks(a + 16 * k, factorsOfTwoBlocks(lane, f1, 0), factorsOfTwoBlocks(lane, f3, 0));
        twoBlocks(a + 16 * k + 32, factorsOfTwoBlocks(lane, f1, 1), factorsOfTwoBlocks(lane, f3, 1));
    }
    for (; k + 2 <= last; k += 2) {
        const BlockFactors f = blockFactors(table, k), g = blockFactors(table, k + 1);
        twoBlocks(a + 16 * k, factorsOfTwoBlocks(lane, f.f1, g.f1), factorsOfTwoBlocks(lane, f.f3, g.f3));
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
    if constexpr (Widest::width == 8) {
        if (q == 4) {
            twoBlockStage(Widest{}, a, table, first, last);
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
// block of 8 are written (the eight-sample lane reads each block whole,
// see loadEvenOfEightBlocks).
template <uint32_t q>
inline void narrowStage(Complex* a, const Complex* table, uint32_t first, uint32_t last) {
    forEachBlockLane(first, last, [&](auto lane, uint32_t k) {
        using V = Samples<decltype(lane)>;
        V x[4], y[4];
        Complex* at = a + 4 * q * k;
        if constexpr (q == 1) {
            loadAcrossBlocks(lane, at, x);
        } else if constexpr (decltype(lane)::width == 8) {
            loadEvenOfEightBlocks(at, x);
        } else {
            for (int i = 0; i < 4; ++i) x[i] = loadStrided(lane, at + i * q, 4 * q);
        }
        const auto f1 = factorsEven(lane, table + 2 * k);
        const auto f3 = mul(f1, factors(lane, table + k));
        butterfly(combineFourPoint(x[0], x[1], x[2], x[3]), y, [&](auto p) { return mul(p, f1); },
                  [&](auto r) { return mul(r, f3); });
        if constexpr (q == 1) {
            storeAcrossBlocks(at, y);
        } else if constexpr (decltype(lane)::width == 8) {
            storeEvenOfEightBlocks(at, y);
        } else {
            for (int i = 0; i < 4; ++i) storeStrided(at + i * q, 4 * q, y[i]);
        }
    });
}

// Entry 9's stages of quarter span q = 1 or 2 with `count` >= 2 blocks
// (blocks 0 and 1 of the special kinds `free` and `one`, 2 … count − 1
// general): the first W blocks (W = count when that is narrower) on one lane
// across the blocks, where each kind's butterfly gives the samples of its
// own blocks (pickFirstTwo) and the general one takes its factors from
// entries past those of blocks 0 and 1, which stay unread; then the rest as
// narrowStage.
template <uint32_t q, typename Lane = Widest, typename Free, typename One_>
inline void narrowStageFromBlockZero(Complex* a, const Complex* table, uint32_t count, const Free& free,
                                     const One_& one) {
    constexpr uint32_t W = Lane::width;
    if constexpr (W > 2) {
        if (count < W) return narrowStageFromBlockZero<q, Narrower<Lane>>(a, table, count, free, one);
    }
    using V = Samples<Lane>;
    const Lane lane{};
    V x[4], y[4], special[4];
    if constexpr (q == 1) {
        loadAcrossBlocks(lane, a, x);
    } else if constexpr (W == 8) {
        loadEvenOfEightBlocks(a, x);
    } else {
        for (int i = 0; i < 4; ++i) x[i] = loadStrided(lane, a + i * q, 4 * q);
    }
    const FourPoint<V> v = combineFourPoint(x[0], x[1], x[2], x[3]);
    free(lane, v, y);
    one(lane, v, special);
    if constexpr (W > 2) {
        V general[4];
        const auto f1 = factorsEvenPastTwo(lane, table);
        const auto f3 = mul(f1, factorsPastTwo(lane, table));
        butterfly(v, general, [&](V p) { return mul(p, f1); }, [&](V r) { return mul(r, f3); });
        y[1] = pickFirstTwo(y[1], special[1], general[1]);
        y[3] = pickFirstTwo(y[3], special[3], general[3]);
    } else {
        y[1] = pickFirstTwo(y[1], special[1], special[1]);
        y[3] = pickFirstTwo(y[3], special[3], special[3]);
    }
    // the sums, the same in every kind, are y[0] and y[2] as they stand
    if constexpr (q == 1) {
        storeAcrossBlocks(a, y);
    } else if constexpr (W == 8) {
        storeEvenOfEightBlocks(a, y);
    } else {
        for (int i = 0; i < 4; ++i) storeStrided(a + i * q, 4 * q, y[i]);
    }
    if (W < count) narrowStage<q>(a, table, W, count);
}

// The twiddle-free radix-2 pass over pairs half the array apart, on O(N/2).
inline void closingPass(Complex* a, uint32_t n) {
    if (n < 2) return;
    const uint32_t half = n / 2;
    if (forEachOffsetLane(half, [&](auto lane, uint32_t first, auto unroll, auto which) {
            if constexpr (std::is_same_v<decltype(which), AllSamples>) {
                closingRun(a, first, decltype(unroll)::count * decltype(lane)::width, half);
            } else {
                const auto u = loadMembers(lane, a + first, which);
                const auto v = loadMembers(lane, a + first + half, which);
                storeMembers(a + first, which, add(u, v));
                storeMembers(a + first + half, which, sub(u, v));
            }
        }))
        return;
    forEachOffsetRun(half, [&](uint32_t first, uint32_t count) { closingRun(a, first, count, half); });
}

}  // namespace fftplug::FFTPLUG_PATH_NS::splitradix
