// A small vocabulary for two complex samples at once, so that the unit-stride
// loops of the entries are written once and run on one sample or on a pair.
//
// Lanes: `One` is a single Complex; `Two` is a Pair, the samples p[i] and
// p[i + 1] side by side ([re0, im0, re1, im1] in one SSE2 register where the
// compiler targets SSE2, two Complex otherwise). Every Pair operation performs
// exactly the float operations of its Complex counterpart (nothing fused, the
// same products summed), so a loop gives the same bits on either lane.
#pragma once

#include <cstdint>

#include "complex_math.h"

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define FFTPLUG_SSE2 1
#include <emmintrin.h>
#endif

namespace fftplug {

struct One {};
struct Two {};

inline Complex load(One, const Complex* p) { return *p; }
inline void store(Complex* p, Complex v) { *p = v; }
inline Complex factor(One, Complex w) { return w; }
inline Complex scale(Complex a, float c) { return {a.re * c, a.im * c}; }

#if defined(FFTPLUG_SSE2)

struct Pair {
    __m128 v;
};
// A factor spread over both samples: its real part and its imaginary part.
struct PairFactor {
    __m128 re, im;
};

namespace simd {
inline __m128 swapParts(__m128 a) { return _mm_shuffle_ps(a, a, _MM_SHUFFLE(2, 3, 0, 1)); }
inline __m128 signs(float re, float im) { return _mm_setr_ps(re, im, re, im); }
// Flips the sign bit where the mask holds −0.
inline __m128 flip(__m128 a, __m128 mask) { return _mm_xor_ps(a, mask); }
}  // namespace simd

inline Pair load(Two, const Complex* p) { return {_mm_loadu_ps(&p->re)}; }
inline void store(Complex* p, Pair v) { _mm_storeu_ps(&p->re, v.v); }
inline PairFactor factor(Two, Complex w) { return {_mm_set1_ps(w.re), _mm_set1_ps(w.im)}; }

inline Pair add(Pair a, Pair b) { return {_mm_add_ps(a.v, b.v)}; }
inline Pair sub(Pair a, Pair b) { return {_mm_sub_ps(a.v, b.v)}; }
inline Pair scale(Pair a, float c) { return {_mm_mul_ps(a.v, _mm_set1_ps(c))}; }

// a·w: re = a.re·w.re + (−(a.im·w.im)), im = a.im·w.re + a.re·w.im.
inline Pair mul(Pair a, PairFactor w) {
    const __m128 straight = _mm_mul_ps(a.v, w.re);
    const __m128 crossed = _mm_mul_ps(simd::swapParts(a.v), w.im);
    return {_mm_add_ps(straight, simd::flip(crossed, simd::signs(-0.0f, 0.0f)))};
}

// d·(−i) = (d.im, −d.re)
inline Pair timesMinusI(Pair d) { return {simd::flip(simd::swapParts(d.v), simd::signs(0.0f, -0.0f))}; }
// d0 − i·d1 = (d0.re + d1.im, d0.im − d1.re)
inline Pair subTimesI(Pair d0, Pair d1) { return add(d0, timesMinusI(d1)); }
// d0 + i·d1 = (d0.re − d1.im, d0.im + d1.re)
inline Pair addTimesI(Pair d0, Pair d1) { return sub(d0, timesMinusI(d1)); }

#else

struct Pair {
    Complex a, b;
};
using PairFactor = Complex;

inline Pair load(Two, const Complex* p) { return {p[0], p[1]}; }
inline void store(Complex* p, Pair v) {
    p[0] = v.a;
    p[1] = v.b;
}
inline PairFactor factor(Two, Complex w) { return w; }
inline Pair add(Pair x, Pair y) { return {add(x.a, y.a), add(x.b, y.b)}; }
inline Pair sub(Pair x, Pair y) { return {sub(x.a, y.a), sub(x.b, y.b)}; }
inline Pair scale(Pair x, float c) { return {scale(x.a, c), scale(x.b, c)}; }
inline Pair mul(Pair x, PairFactor w) { return {mul(x.a, w), mul(x.b, w)}; }
inline Pair timesMinusI(Pair d) { return {timesMinusI(d.a), timesMinusI(d.b)}; }
inline Pair subTimesI(Pair x, Pair y) { return {subTimesI(x.a, y.a), subTimesI(x.b, y.b)}; }
inline Pair addTimesI(Pair x, Pair y) { return {addTimesI(x.a, y.a), addTimesI(x.b, y.b)}; }

#endif

// d·(1 − i)·c = ((d.re + d.im)·c, (d.im − d.re)·c), the factor W(8, 1)
inline Pair timesW8(Pair d) { return scale(add(d, timesMinusI(d)), kSqrtHalf); }
// d·(−1 − i)·c = ((d.im − d.re)·c, (−d.re − d.im)·c), the factor W(8, 3)
inline Pair timesW8Cubed(Pair d) { return scale(sub(timesMinusI(d), d), kSqrtHalf); }

// Runs body(lane, i) for i = 0, 1, …, count − 1: two indices at a time on
// the Two lane while two are left, then the last one on the One lane.
template <typename Body>
inline void forEachLane(uint32_t count, Body&& body) {
    uint32_t i = 0;
    for (; i + 2 <= count; i += 2) body(Two{}, i);
    if (i < count) body(One{}, i);
}

}  // namespace fftplug
