// Radix-2 butterflies and stage loops shared by the entries of this family,
// written once over the lanes of plugin/simd/lanes.h.
#pragma once

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

template <typename Lane, typename Factor>
inline void difButterfly(Lane lane, Complex* x, Complex* y, const Factor& w) {
    auto a = load(lane, x), b = load(lane, y);
    dif(a, b, w);
    store(x, a);
    store(y, b);
}

// The butterflies of one block: x[i] with y[i] for i < h, one factor; two
// lanes a step where h allows.
inline void difBlock(Complex* x, Complex* y, uint32_t h, const Complex& w) {
    constexpr uint32_t W = Widest::width;
    if constexpr (W > 1) {
        if (h >= 2 * W) {
            const Widest lane;
            const auto f = factor(lane, w);
            for (const Complex* end = x + h; x < end; x += 2 * W, y += 2 * W) {
                auto x0 = load(lane, x), x1 = load(lane, x + W);
                auto y0 = load(lane, y), y1 = load(lane, y + W);
                dif(x0, y0, f);
                dif(x1, y1, f);
                store(x, x0);
                store(x + W, x1);
                store(y, y0);
                store(y + W, y1);
            }
            return;
        }
    }
    forEachLane(h, [&](auto lane, uint32_t i) { difButterfly(lane, x + i, y + i, factor(lane, w)); });
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

// One stage of a twiddle-outer entry (0 to 2) with half-span h at least the
// lane width: the twiddle loop outside, the butterflies of each twiddle down
// the array with stride 2h inside. Adjacent twiddles j … j + 2W − 1 (two lanes:
// one 64-byte line of samples at each strided step) walk the array together;
// each is read once, by twiddles(lane, j), the factors of j … j + W − 1.
// Narrow spans and the scalar path walk one lane at a time.
template <typename Twiddles, typename Butterfly>
inline void stridedStage(Complex* a, uint32_t n, uint32_t h, Twiddles&& twiddles, Butterfly&& butterfly) {
    const uint32_t span = 2 * h;
    constexpr uint32_t W = Widest::width;
    if constexpr (W > 1) {
        if (h >= 2 * W) {
            const Widest lane;
            for (uint32_t j = 0; j < h; j += 2 * W) {
                const auto w0 = twiddles(lane, j), w1 = twiddles(lane, j + W);
                for (Complex* x = a + j; x < a + n; x += span) {
                    auto x0 = load(lane, x), x1 = load(lane, x + W);
                    auto y0 = load(lane, x + h), y1 = load(lane, x + h + W);
                    butterfly(x0, y0, w0);
                    butterfly(x1, y1, w1);
                    store(x, x0);
                    store(x + W, x1);
                    store(x + h, y0);
                    store(x + h + W, y1);
                }
            }
            return;
        }
    }
    forEachLane(h, [&](auto lane, uint32_t j) {
        const auto w = twiddles(lane, j);
        for (Complex* x = a + j; x < a + n; x += span) {
            auto p = load(lane, x), q = load(lane, x + h);
            butterfly(p, q, w);
            store(x, p);
            store(x + h, q);
        }
    });
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

}  // namespace fftplug::FFTPLUG_PATH_NS::radix2
