// The AVX2 lane: four neighbouring samples in one 256-bit register,
// [re0, im0, re1, im1, re2, im2, re3, im3]. Each operation performs the float
// operations of its Complex counterpart in scalar.h: no fused multiply-add
// (this code is built with -mavx2 and without -mfma) and no reassociation.
#pragma once

#include <immintrin.h>

#include "sse2.h"

namespace fftplug::FFTPLUG_PATH_NS {

struct Four {
    static constexpr uint32_t width = 4;
};

struct Quad {
    __m256 v;
};
struct QuadFactor {
    __m256 re, im;
};

namespace avx {
inline __m256 swapParts(__m256 a) { return _mm256_permute_ps(a, _MM_SHUFFLE(2, 3, 0, 1)); }
inline __m256 signs(float re, float im) { return _mm256_setr_ps(re, im, re, im, re, im, re, im); }
inline __m256 flip(__m256 a, __m256 mask) { return _mm256_xor_ps(a, mask); }
inline QuadFactor split(__m256 w) { return {_mm256_moveldup_ps(w), _mm256_movehdup_ps(w)}; }
}  // namespace avx

inline Quad load(Four, const Complex* p) { return {_mm256_loadu_ps(&p->re)}; }
inline void store(Complex* p, Quad v) { _mm256_storeu_ps(&p->re, v.v); }
inline QuadFactor factor(Four, Complex w) { return {_mm256_set1_ps(w.re), _mm256_set1_ps(w.im)}; }
inline QuadFactor factors(Four, const Complex* w) { return avx::split(_mm256_loadu_ps(&w->re)); }
inline QuadFactor factorsStrided(Four, const Complex* w, uint32_t stride) {
    const __m128 lo = _mm_movelh_ps(sse::loadSample(w), sse::loadSample(w + stride));
    const __m128 hi = _mm_movelh_ps(sse::loadSample(w + 2 * stride), sse::loadSample(w + 3 * stride));
    return avx::split(_mm256_insertf128_ps(_mm256_castps128_ps256(lo), hi, 1));
}

inline Quad add(Quad a, Quad b) { return {_mm256_add_ps(a.v, b.v)}; }
inline Quad sub(Quad a, Quad b) { return {_mm256_sub_ps(a.v, b.v)}; }
inline Quad scale(Quad a, float c) { return {_mm256_mul_ps(a.v, _mm256_set1_ps(c))}; }

// a·w: re = a.re·w.re − a.im·w.im, im = a.im·w.re + a.re·w.im; addsub
// subtracts in the real lanes and adds in the imaginary ones.
inline Quad mul(Quad a, QuadFactor w) {
    const __m256 straight = _mm256_mul_ps(a.v, w.re);
    const __m256 crossed = _mm256_mul_ps(avx::swapParts(a.v), w.im);
    return {_mm256_addsub_ps(straight, crossed)};
}

// d·(−i) = (d.im, −d.re)
inline Quad timesMinusI(Quad d) { return {avx::flip(avx::swapParts(d.v), avx::signs(0.0f, -0.0f))}; }
// d0 − i·d1 = (d0.re + d1.im, d0.im − d1.re)
inline Quad subTimesI(Quad d0, Quad d1) { return add(d0, timesMinusI(d1)); }
// d0 + i·d1 = (d0.re − d1.im, d0.im + d1.re)
inline Quad addTimesI(Quad d0, Quad d1) { return {_mm256_addsub_ps(d0.v, avx::swapParts(d1.v))}; }

}  // namespace fftplug::FFTPLUG_PATH_NS
