// Radix-2 butterflies and stage loops shared by the entries of this family,
// written once over the lanes of plugin/simd/lanes.h.
#pragma once

#include <cstddef>

#include "../plugin/lane_phase.h"
#include "../plugin/simd/lanes.h"

namespace fftplug::FFTPLUG_PATH_NS::radix2 {

// Decimation in time on values: q' = q + w·p, p' = q − w·p.
template <typename V, typename Factor>
inline void dit(V& q, V& p, const Factor& w) {
    const V t = mul(p, w);
    p = sub(q, t);
    q = add(q, t);
}

// Decimation in frequency on values: x' = x + y, y' = (x − y)·w; only the
// difference is multiplied.
template <typename V, typename Factor>
inline void dif(V& x, V& y, const Factor& w) {
    const V d = sub(x, y);
    x = add(x, y);
    y = mul(d, w);
}

// U lanes of butterflies side by side, x + u·W with y + u·W for u < U, the
// lane u with factor w(u): all loads (the x side, then the y side), the
// butterflies, then all stores in the same order.
template <int U, typename Lane, typename Factors, typename Butterfly>
inline void butterflyLanes(Lane lane, Complex* x, Complex* y, Factors&& w, Butterfly&& butterfly) {
    constexpr uint32_t W = Lane::width;
    Samples<Lane> p[U], q[U];
    for (int u = 0; u < U; ++u) p[u] = load(lane, x + u * W);
    for (int u = 0; u < U; ++u) q[u] = load(lane, y + u * W);
    for (int u = 0; u < U; ++u) butterfly(p[u], q[u], w(u));
    for (int u = 0; u < U; ++u) store(x + u * W, p[u]);
    for (int u = 0; u < U; ++u) store(y + u * W, q[u]);
}

// The butterflies of one block: x[i] with y[i] for i < h, one factor; h is
// a power of two, so the block is whole steps of two widest lanes, or
// narrower than two.
FFTPLUG_ALWAYS_INLINE inline void difBlockSteps(Complex* x, Complex* y, uint32_t h, const Complex& w) {
    const auto dif = [](auto& p, auto& q, const auto& f) { radix2::dif(p, q, f); };
    constexpr uint32_t step = 2 * Widest::width;
    if (Widest::width > 1 && h >= step) {
        const auto wide = factor(Widest{}, w);
        for (std::size_t i = 0; i < h; i += step)
            butterflyLanes<2>(Widest{}, x + i, y + i, [wide](int) { return wide; }, dif);
        return;
    }
    forEachLane(h, [&](auto lane, uint32_t i) {
        butterflyLanes<1>(lane, x + i, y + i, [f = factor(lane, w)](int) { return f; }, dif);
    });
}

inline void difBlock(Complex* x, Complex* y, uint32_t h, const Complex& w) { difBlockSteps(x, y, h, w); }

// The blocks of half-span h in a + c … a + c + M, block by block from the
// factor at w on.
inline void difBlocks(Complex* a, uint32_t c, uint32_t M, uint32_t h, const Complex* w) {
    for (uint32_t p = c; p < c + M; p += 2 * h, ++w) difBlock(a + p, a + p + h, h, twiddle(w));
}

// difBlocks with each block's steps always in the loop. In 64-bit code GCC
// inlines difBlock into a stage loop by itself; in 32-bit code it keeps it
// out of line, and each block then pays a call (arguments on the stack, the
// stack realigned for the vectors, vzeroupper), which at half-spans of one
// or two lanes costs more than the block's butterflies.
FFTPLUG_ALWAYS_INLINE inline void difBlocksInline(Complex* a, uint32_t c, uint32_t M, uint32_t h,
                                                  const Complex* w) {
    for (uint32_t p = c; p < c + M; p += 2 * h, ++w) difBlockSteps(a + p, a + p + h, h, twiddle(w));
}

// difBlocks for arrays off a line: the blocks in phase (blocksInPhase: every
// lane loaded from a lane boundary, halves being whole widest lanes), each
// with its factor on every lane. Out of line, as only a transform off a line
// runs it.
inline __attribute__((noinline)) void difBlocksOffLine(Complex* a, uint32_t c, uint32_t M, uint32_t h,
                                                       const Complex* w) {
    const auto dif = [](auto& p, auto& q, const auto& f) { radix2::dif(p, q, f); };
    if (!inPhase(a + c, h)) {  // off by part of a sample
        for (uint32_t p = c; p < c + M; p += 2 * h, ++w) {
            forEachLaneUnrolled(h, [&, f = twiddle(w)](auto lane, uint32_t i, auto unroll) {
                butterflyLanes<decltype(unroll)::count>(lane, a + p + i, a + p + h + i,
                                                        [g = factor(lane, f)](int) { return g; }, dif);
            });
        }
        return;
    }
    blocksInPhase<2>(a + c, M / (2 * h), h, [w](uint32_t b) {
        return [f = factor(Widest{}, twiddle(w + b))](auto& v) { radix2::dif(v[0], v[1], f); };
    });
}

// The same blocks with the lane steps in the loop over the blocks itself,
// for a caller whose stage loop would otherwise run difBlock once per
// block (entry 5's general blocks, behind its four fixed ones): where a
// block's halves are whole steps of two widest lanes, the steps run inline,
// the block's factor spread once; where each half is one widest lane, two
// blocks a step, their four lanes loaded before any is stored, as a
// two-lane step does. The bit-reversed-table entry's stage loop, where the
// compiler already inlines difBlocks and the per-block calls cost little,
// measured no faster with it and keeps difBlocks.
FFTPLUG_ALWAYS_INLINE inline void difBlocksInSteps(Complex* a, uint32_t c, uint32_t M, uint32_t h,
                                                   const Complex* w) {
    constexpr uint32_t W = Widest::width;
    if constexpr (W >= 4) {  // SSE2's lanes of two measured no faster with it at large N
        const auto dif = [](auto& p, auto& q, const auto& f) { radix2::dif(p, q, f); };
        if (h >= 2 * W) {
            for (uint32_t p = c; p < c + M; p += 2 * h, ++w) {
                const auto f = factor(Widest{}, twiddle(w));
                for (uint32_t i = 0; i < h; i += 2 * W)
                    butterflyLanes<2>(Widest{}, a + p + i, a + p + h + i, [f](int) { return f; }, dif);
            }
            return;
        }
        if (h == W && M >= 4 * h) {
            for (uint32_t p = c; p < c + M; p += 4 * h, w += 2) {
                const auto f0 = factor(Widest{}, twiddle(w));
                const auto f1 = factor(Widest{}, twiddle(w + 1));
                Samples<Widest> x0 = load(Widest{}, a + p), y0 = load(Widest{}, a + p + h);
                Samples<Widest> x1 = load(Widest{}, a + p + 2 * h), y1 = load(Widest{}, a + p + 3 * h);
                dif(x0, y0, f0);
                dif(x1, y1, f1);
                store(a + p, x0);
                store(a + p + h, y0);
                store(a + p + 2 * h, x1);
                store(a + p + 3 * h, y1);
            }
            return;
        }
    }
    difBlocks(a, c, M, h, w);
}

// The factor w[b] of each block b >= first of a group of half-span H,
// reading none of w[0 … first − 1]; the blocks before `first` get zeros,
// which pickBlocks drops. A path may give its lanes a version of its own
// (radix2/<path>.h).
template <typename Lane, uint32_t H>
inline auto blockFactorsFrom(Lane lane, Span<H> span, const Complex* w, uint32_t first) {
    constexpr uint32_t blocks = Lane::width / H;
    Complex from[blocks];
    for (uint32_t b = 0; b < blocks; ++b) from[b] = b < first ? Complex{0.0f, 0.0f} : w[b];
    return blockFactors(lane, span, from);
}

// The half-spans narrower than the lane L, Span<1>, Span<2> … up to L's
// width / 2, ascending (growing spans) or descending (shrinking ones); none
// for the scalar lane.
template <typename L, uint32_t H = 1, typename Body>
inline void forEachNarrowSpan(Body&& body) {
    if constexpr (H < L::width) {
        body(Span<H>{});
        forEachNarrowSpan<L, 2 * H>(body);
    }
}
template <typename L, uint32_t H = L::width / 2, typename Body>
inline void forEachNarrowSpanDown(Body&& body) {
    if constexpr (H >= 1) {
        body(Span<H>{});
        forEachNarrowSpanDown<L, H / 2>(body);
    }
}

// How many widest lanes a strided stage's half-span must hold before its
// twiddles start from a lane boundary. Every twiddle walks the whole array,
// so each lane's walk gains alike, and the narrower lanes of the head and
// tail are paid for from four widest lanes on (entries 0 to 2 at 16 bytes
// off a line, timed on Zen 4: 2-5 % faster than from 16 lanes, as radix 4's
// blocks need; nothing more from two).
inline constexpr uint32_t kStridedFromLineLanes = 4;

// How many widest lanes a transform of a twiddle-outer entry must hold
// before its strided stages run in phase. Each such stage has a cost of its
// own beside its butterflies (the call, the gathered factors, the walk's
// set-up and its two masked ends), which a small transform pays in every
// stage. Timed on Zen 4 at 16 bytes off a line, entries 0 to 2 in phase took
// 0.95-0.97x their time from the rows' boundaries from 2^13 points on, and
// up to 1.4x at 2^8.
inline constexpr uint32_t kStridedInPhaseLanes = 1024;

// stridedStage on arrays off a line whose half-span is whole widest lanes,
// in phase: the twiddles whose lanes lie whole inside the rows (from the
// rows' first lane boundary on) walk the array two lanes a step, and those
// at the rows' starts, a row's last s below the phase s and its first
// W − s above, walk it in phase (PhaseWalk::boundaries), their factors
// gathered one by one into a lane as the scalar lane reads them: the same
// factor and butterfly for every sample. Out of line, as only a transform
// off a line runs it; everything the walks use is its own, so that they
// keep it in registers.
template <typename Lane = Widest, typename Twiddles, typename Butterfly>
__attribute__((noinline)) void stridedStageInPhase(Complex* a, uint32_t n, uint32_t h, Twiddles twiddles,
                                                   Butterfly butterfly) {
    if constexpr (HasLanePhase<Lane>::value) {
        constexpr uint32_t W = Lane::width;
        const uint32_t s = lanePhase(a), span = 2 * h;
        Complex* const end = a + n;
        uint32_t j = W - s;
        for (; j + 2 * W <= h; j += 2 * W) {
            const auto w0 = twiddles(Lane{}, j), w1 = twiddles(Lane{}, j + W);
            for (Complex* x = a + j; x < end; x += span)
                butterflyLanes<2>(Lane{}, x, x + h, [w0, w1](int u) { return u == 0 ? w0 : w1; }, butterfly);
        }
        if (j + W <= h) {
            const auto w0 = twiddles(Lane{}, j);
            for (Complex* x = a + j; x < end; x += span)
                butterflyLanes<1>(Lane{}, x, x + h, [w0](int) { return w0; }, butterfly);
        }
        Complex gathered[W];
        for (uint32_t l = 0; l < W; ++l) gathered[l] = twiddles(One{}, l < s ? h - s + l : l - s);
        const auto w = factors(Lane{}, gathered);
        PhaseWalk<2, 1, Lane>(a, n / span, h).boundaries(n / span, [w, butterfly](uint32_t) {
            return [w, butterfly](auto& v) { butterfly(v[0], v[1], w); };
        });
    }
}

// One stage of a twiddle-outer entry (0 to 2) with half-span h at least the
// lane width: the twiddle loop outside, the butterflies of each twiddle down
// the array with stride 2h inside. Adjacent twiddles j … j + U·W − 1 (two
// lanes where h allows: one 64-byte line of samples at each strided step on
// the widest path) walk the array together; each is read once, by
// twiddles(lane, j), the factors of j … j + W − 1.
// kOffLine (a transform on arrays off a line): in a transform of
// kStridedInPhaseLanes widest lanes or more, the stage runs in phase
// (stridedStageInPhase); in a smaller one, where the half-span holds
// kStridedFromLineLanes widest lanes, the twiddles from the first lane
// boundary of a's rows on ride the widest lanes and those before it narrower
// ones. Every row of the stage starts a multiple of 2h from a, so all of
// them meet the lines alike. Each twiddle's factor and butterflies stay as
// they were.
template <bool kOffLine = false, typename Twiddles, typename Butterfly>
inline void stridedStage(Complex* a, uint32_t n, uint32_t h, Twiddles&& twiddles, Butterfly&& butterfly) {
    const uint32_t span = 2 * h;
    const auto walk = [&](auto lane, uint32_t j, auto unroll) {
        constexpr int U = decltype(unroll)::count;
        constexpr uint32_t W = decltype(lane)::width;
        decltype(twiddles(lane, j)) w[U];
        for (int u = 0; u < U; ++u) w[u] = twiddles(lane, j + u * W);
        for (Complex* x = a + j; x < a + n; x += span)
            butterflyLanes<U>(lane, x, x + h, [&](int u) { return w[u]; }, butterfly);
    };
    if constexpr (kOffLine) {
        if (n >= kStridedInPhaseLanes * Widest::width && inPhase(a, h))
            return stridedStageInPhase(a, n, h, twiddles, butterfly);
        if (fromLine(a, h, kStridedFromLineLanes)) return forEachLaneFromLine(a, h, walk);
    }
    forEachLaneUnrolled(h, walk);
}

// One stage of a twiddle-outer entry with half-span H narrower than the lane:
// its H twiddles, factors offsetFactors(lane, span, …) read once, serve
// every group of adjacent blocks, 2W samples at a time.
template <typename Lane, uint32_t H, typename Factor, typename Butterfly>
inline void narrowStridedStage(Lane lane, Span<H> span, Complex* a, uint32_t n, const Factor& w,
                               Butterfly&& butterfly) {
    for (Complex* p = a; p < a + n; p += 2 * Lane::width) {
        auto halves = loadHalves(lane, span, p);
        butterfly(halves.x, halves.y, w);
        storeHalves(p, span, halves.x, halves.y);
    }
}

// The stages of growing span confined to the block of M points at c, with one
// factor per sub-block read from the prepared table: the sub-block of size 2h
// that starts at position p is number p/(2h) in the whole array, and its factor
// is table[p/(2h)]. Shared by the bit-reversed-table entry (one block, the
// whole array) and by the leaves of the recursive one, so the two compute
// every butterfly identically.
void difStagesOnBlock(Complex* a, const Complex* table, uint32_t M, uint32_t c);
// The same on arrays off a line, the stages of whole widest lanes a half in
// phase (difBlocksOffLine).
void difStagesOnBlockOffLine(Complex* a, const Complex* table, uint32_t M, uint32_t c);

}  // namespace fftplug::FFTPLUG_PATH_NS::radix2

#if __has_include(FFTPLUG_PATH_HEADER)  // radix2/<path>.h, the moves this path gives the family
#include FFTPLUG_PATH_HEADER
#endif
