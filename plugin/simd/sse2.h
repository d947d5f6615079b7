// The SSE2 lane: two neighbouring samples in one 128-bit register,
// [re0, im0, re1, im1]. Each operation performs the float operations of its
// Complex counterpart in scalar.h (nothing fused, the same products summed,
// a − b written as a + (−b) where that saves a shuffle: the same bits).
#pragma once

#include <emmintrin.h>

#include "scalar.h"

namespace fftplug::FFTPLUG_PATH_NS {

struct Two {
    static constexpr uint32_t width = 2;
    using narrower = One;
};

struct Pair {
    __m128 v;
};
// Factors spread over the lane: the real parts and the imaginary parts, each
// repeated for both floats of its sample.
struct PairFactor {
    __m128 re, im;
    static constexpr bool laneFactor = true;  // mul(factor, factor) in lanes.h
};

namespace sse {
inline __m128 swapParts(__m128 a) { return _mm_shuffle_ps(a, a, _MM_SHUFFLE(2, 3, 0, 1)); }
inline __m128 signs(float re, float im) { return _mm_setr_ps(re, im, re, im); }
// Flips the sign bit where the mask holds −0.
inline __m128 flip(__m128 a, __m128 mask) { return _mm_xor_ps(a, mask); }
inline __m128 realParts(__m128 w) { return _mm_shuffle_ps(w, w, _MM_SHUFFLE(2, 2, 0, 0)); }
inline __m128 imagParts(__m128 w) { return _mm_shuffle_ps(w, w, _MM_SHUFFLE(3, 3, 1, 1)); }
// One sample's 64 bits into the low half, the high half zero: a double read
// as _mm_load_sd reads it, but through a type that asks only the 4-byte
// alignment a Complex has (_mm_load_sd's double* asks for 8).
typedef double SampleBits __attribute__((aligned(4), may_alias));
inline __m128 loadSample(const Complex* p) {
    return _mm_castpd_ps(_mm_set_sd(*reinterpret_cast<const SampleBits*>(p)));
}
}  // namespace sse

inline Pair load(Two, const Complex* p) { return {_mm_loadu_ps(&p->re)}; }
inline void store(Complex* p, Pair v) { _mm_storeu_ps(&p->re, v.v); }
inline PairFactor factor(Two, Complex w) { return {_mm_set1_ps(w.re), _mm_set1_ps(w.im)}; }
inline PairFactor factors(Two, const Complex* w) {
    const __m128 v = _mm_loadu_ps(&w->re);
    return {sse::realParts(v), sse::imagParts(v)};
}
inline PairFactor factorsStrided(Two, const Complex* w, uint32_t stride) {
    const __m128 v = _mm_movelh_ps(sse::loadSample(w), sse::loadSample(w + stride));
    return {sse::realParts(v), sse::imagParts(v)};
}

inline Pair add(Pair a, Pair b) { return {_mm_add_ps(a.v, b.v)}; }
inline Pair sub(Pair a, Pair b) { return {_mm_sub_ps(a.v, b.v)}; }
inline Pair scale(Pair a, float c) { return {_mm_mul_ps(a.v, _mm_set1_ps(c))}; }

// a·w: re = a.re·w.re + (−(a.im·w.im)), im = a.im·w.re + a.re·w.im.
inline Pair mul(Pair a, PairFactor w) {
    const __m128 straight = _mm_mul_ps(a.v, w.re);
    const __m128 crossed = _mm_mul_ps(sse::swapParts(a.v), w.im);
    return {_mm_add_ps(straight, sse::flip(crossed, sse::signs(-0.0f, 0.0f)))};
}

// d·(−i) = (d.im, −d.re)
inline Pair timesMinusI(Pair d) { return {sse::flip(sse::swapParts(d.v), sse::signs(0.0f, -0.0f))}; }
// d0 − i·d1 = (d0.re + d1.im, d0.im − d1.re)
inline Pair subTimesI(Pair d0, Pair d1) { return add(d0, timesMinusI(d1)); }
// d0 + i·d1 = (d0.re − d1.im, d0.im + d1.re)
inline Pair addTimesI(Pair d0, Pair d1) { return sub(d0, timesMinusI(d1)); }

// ---- Rows off a lane boundary (see plugin/lane_phase.h) ----
// A row of samples one sample past a boundary (the only way a sample can
// miss one): the lane at the boundary before it holds the previous row's
// last sample below and the row's first above.
struct TwoPhase {};
inline TwoPhase lanePhaseMask(Two, uint32_t) { return {}; }
inline Pair blend(TwoPhase, Pair below, Pair above) { return {_mm_shuffle_ps(below.v, above.v, _MM_SHUFFLE(3, 2, 1, 0))}; }
inline Pair loadAbove(Two, const Complex* lane, TwoPhase) {
    return {_mm_loadh_pi(_mm_setzero_ps(), reinterpret_cast<const __m64*>(lane + 1))};
}
inline Pair loadBelow(Two, const Complex* lane, TwoPhase) { return {sse::loadSample(lane)}; }
inline void storeAbove(Complex* lane, Pair v, TwoPhase) { _mm_storeh_pi(reinterpret_cast<__m64*>(lane + 1), v.v); }
inline void storeBelow(Complex* lane, Pair v, TwoPhase) { _mm_storel_pi(reinterpret_cast<__m64*>(lane), v.v); }

// ---- Narrow radix-2 stages (see Span in scalar.h) ----
// Half-span 1: the group [a0 a1 a2 a3] holds the blocks (a0, a1) and
// (a2, a3); x = [a0 a2], y = [a1 a3], block b of the group in sample b.
inline Halves<Pair> loadHalves(Two, Span<1>, const Complex* p) {
    const __m128 lo = _mm_loadu_ps(&p->re), hi = _mm_loadu_ps(&p[2].re);
    return {{_mm_movelh_ps(lo, hi)}, {_mm_movehl_ps(hi, lo)}};
}
inline void storeHalves(Complex* p, Span<1>, Pair x, Pair y) {
    _mm_storeu_ps(&p->re, _mm_movelh_ps(x.v, y.v));
    _mm_storeu_ps(&p[2].re, _mm_movehl_ps(y.v, x.v));
}
// The factor of each block of the group, w[b] for block b.
inline PairFactor blockFactors(Two, Span<1>, const Complex* w) { return factors(Two{}, w); }
// The factor of each offset j < H within a block, w[j·stride]: one for H = 1.
inline PairFactor offsetFactors(Two, Span<1>, const Complex* w, uint32_t) { return factor(Two{}, *w); }
// Block b's samples taken from perBlock[b].
inline Pair pickBlocks(Two, Span<1>, const Pair* perBlock) {
    return {_mm_castpd_ps(_mm_move_sd(_mm_castps_pd(perBlock[1].v), _mm_castps_pd(perBlock[0].v)))};
}


// ---- Radix-4 and split-radix narrow stages (one butterfly per block) ----
// Two blocks of four samples at p, across the blocks: x[i] = [p[i], p[4 + i]].
inline void loadAcrossBlocks(Two, const Complex* p, Pair (&x)[4]) {
    const __m128 r0 = _mm_loadu_ps(&p[0].re), r1 = _mm_loadu_ps(&p[2].re);
    const __m128 r2 = _mm_loadu_ps(&p[4].re), r3 = _mm_loadu_ps(&p[6].re);
    x[0] = {_mm_movelh_ps(r0, r2)};
    x[1] = {_mm_movehl_ps(r2, r0)};
    x[2] = {_mm_movelh_ps(r1, r3)};
    x[3] = {_mm_movehl_ps(r3, r1)};
}
inline void storeAcrossBlocks(Complex* p, const Pair (&y)[4]) {
    _mm_storeu_ps(&p[0].re, _mm_movelh_ps(y[0].v, y[1].v));
    _mm_storeu_ps(&p[2].re, _mm_movelh_ps(y[2].v, y[3].v));
    _mm_storeu_ps(&p[4].re, _mm_movehl_ps(y[1].v, y[0].v));
    _mm_storeu_ps(&p[6].re, _mm_movehl_ps(y[3].v, y[2].v));
}
// Lane-wise factors from the even entries: sample l multiplied by w[2l]
// (w[3], past the last one, is never touched).
inline PairFactor factorsEven(Two, const Complex* w) {
    const __m128 v = _mm_movelh_ps(_mm_loadu_ps(&w[0].re), sse::loadSample(w + 2));
    return {sse::realParts(v), sse::imagParts(v)};
}
// The samples p[0], p[stride] of a lane, one to a sample, and back.
inline Pair loadStrided(Two, const Complex* p, uint32_t stride) {
    return {_mm_loadh_pi(sse::loadSample(p), reinterpret_cast<const __m64*>(p + stride))};
}
inline void storeStrided(Complex* p, uint32_t stride, Pair v) {
    _mm_storel_pi(reinterpret_cast<__m64*>(p), v.v);
    _mm_storeh_pi(reinterpret_cast<__m64*>(p + stride), v.v);
}
// ---- end of radix-4 and split-radix section ----

}  // namespace fftplug::FFTPLUG_PATH_NS
