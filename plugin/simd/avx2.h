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
    using narrower = Two;
};

struct Quad {
    __m256 v;
};
struct QuadFactor {
    __m256 re, im;
    static constexpr bool laneFactor = true;  // mul(factor, factor) in lanes.h
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

// ---- Rows off a lane boundary (see plugin/lane_phase.h) ----
// A row s samples past a boundary: the lane at the boundary before it holds
// the previous row's last s samples below s and the row's first ones above.
// The masks select floats (two a sample).
struct FourPhase {
    __m256i below, above;
};
inline FourPhase lanePhaseMask(Four, uint32_t s) {
    const __m256i below =
        _mm256_cmpgt_epi32(_mm256_set1_epi32(static_cast<int>(s)), _mm256_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3));
    return {below, _mm256_xor_si256(below, _mm256_set1_epi32(-1))};
}
inline Quad blend(FourPhase m, Quad below, Quad above) {
    return {_mm256_blendv_ps(above.v, below.v, _mm256_castsi256_ps(m.below))};
}
inline Quad loadAbove(Four, const Complex* lane, FourPhase m) { return {_mm256_maskload_ps(&lane->re, m.above)}; }
inline Quad loadBelow(Four, const Complex* lane, FourPhase m) { return {_mm256_maskload_ps(&lane->re, m.below)}; }
inline void storeAbove(Complex* lane, Quad v, FourPhase m) { _mm256_maskstore_ps(&lane->re, m.above, v.v); }
inline void storeBelow(Complex* lane, Quad v, FourPhase m) { _mm256_maskstore_ps(&lane->re, m.below, v.v); }

// ---- Narrow radix-2 stages (see Span in scalar.h) ----
// Half-span 1: the group a0 … a7 holds the blocks (a0, a1) … (a6, a7);
// x = [a0 a4 a2 a6], y = [a1 a5 a3 a7] (in-lane unpacks): blocks 0, 2, 1, 3.
inline Halves<Quad> loadHalves(Four, Span<1>, const Complex* p) {
    const __m256d lo = _mm256_castps_pd(_mm256_loadu_ps(&p->re));
    const __m256d hi = _mm256_castps_pd(_mm256_loadu_ps(&p[4].re));
    return {{_mm256_castpd_ps(_mm256_unpacklo_pd(lo, hi))}, {_mm256_castpd_ps(_mm256_unpackhi_pd(lo, hi))}};
}
inline void storeHalves(Complex* p, Span<1>, Quad x, Quad y) {
    const __m256d xd = _mm256_castps_pd(x.v), yd = _mm256_castps_pd(y.v);
    _mm256_storeu_ps(&p->re, _mm256_castpd_ps(_mm256_unpacklo_pd(xd, yd)));
    _mm256_storeu_ps(&p[4].re, _mm256_castpd_ps(_mm256_unpackhi_pd(xd, yd)));
}
// Half-span 2: the blocks (a0 a1, a2 a3) and (a4 a5, a6 a7);
// x = [a0 a1 a4 a5], y = [a2 a3 a6 a7]: blocks 0, 0, 1, 1, offsets 0, 1, 0, 1.
inline Halves<Quad> loadHalves(Four, Span<2>, const Complex* p) {
    const __m256 lo = _mm256_loadu_ps(&p->re), hi = _mm256_loadu_ps(&p[4].re);
    return {{_mm256_permute2f128_ps(lo, hi, 0x20)}, {_mm256_permute2f128_ps(lo, hi, 0x31)}};
}
inline void storeHalves(Complex* p, Span<2>, Quad x, Quad y) {
    _mm256_storeu_ps(&p->re, _mm256_permute2f128_ps(x.v, y.v, 0x20));
    _mm256_storeu_ps(&p[4].re, _mm256_permute2f128_ps(x.v, y.v, 0x31));
}
// The factor of each block of the group, w[b] for block b.
inline QuadFactor blockFactors(Four, Span<1>, const Complex* w) {
    const __m256 v = _mm256_loadu_ps(&w->re);
    return {_mm256_permutevar8x32_ps(v, _mm256_setr_epi32(0, 0, 4, 4, 2, 2, 6, 6)),
            _mm256_permutevar8x32_ps(v, _mm256_setr_epi32(1, 1, 5, 5, 3, 3, 7, 7))};
}
inline QuadFactor blockFactors(Four, Span<2>, const Complex* w) {
    const __m256 v = _mm256_castps128_ps256(_mm_loadu_ps(&w->re));
    return {_mm256_permutevar8x32_ps(v, _mm256_setr_epi32(0, 0, 0, 0, 2, 2, 2, 2)),
            _mm256_permutevar8x32_ps(v, _mm256_setr_epi32(1, 1, 1, 1, 3, 3, 3, 3))};
}
// The factor of each offset j < H within a block, w[j·stride].
inline QuadFactor offsetFactors(Four, Span<1>, const Complex* w, uint32_t) { return factor(Four{}, *w); }
inline QuadFactor offsetFactors(Four, Span<2>, const Complex* w, uint32_t stride) {
    const __m128 v = _mm_movelh_ps(sse::loadSample(w), sse::loadSample(w + stride));
    return avx::split(_mm256_insertf128_ps(_mm256_castps128_ps256(v), v, 1));
}
// Block b's samples taken from perBlock[b].
inline Quad pickBlocks(Four, Span<1>, const Quad* perBlock) {
    // blocks 0 and 1 sit in samples 0 and 2, blocks 2 and 3 in samples 1 and 3
    const __m256d blocks01 = _mm256_blend_pd(_mm256_castps_pd(perBlock[0].v), _mm256_castps_pd(perBlock[1].v), 0b0100);
    const __m256d blocks23 = _mm256_blend_pd(_mm256_castps_pd(perBlock[2].v), _mm256_castps_pd(perBlock[3].v), 0b1000);
    return {_mm256_castpd_ps(_mm256_blend_pd(blocks01, blocks23, 0b1010))};
}
inline Quad pickBlocks(Four, Span<2>, const Quad* perBlock) {
    return {_mm256_blend_ps(perBlock[0].v, perBlock[1].v, 0xF0)};
}


// ---- Radix-4 and split-radix narrow stages (one butterfly per block) ----
namespace avx {
// [a0, a1 | b0, b1] from two pairs of samples in memory.
inline __m256 loadHalves(const Complex* a, const Complex* b) {
    return _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_loadu_ps(&a->re)), _mm_loadu_ps(&b->re), 1);
}
inline void storeHalves(Complex* a, Complex* b, __m256 v) {
    _mm_storeu_ps(&a->re, _mm256_castps256_ps128(v));
    _mm_storeu_ps(&b->re, _mm256_extractf128_ps(v, 1));
}
// Samples (64-bit lanes) 0 and 2 of a and b: [a0, b0 | a2, b2], and 1 and 3.
inline __m256 evenSamples(__m256 a, __m256 b) {
    return _mm256_castpd_ps(_mm256_unpacklo_pd(_mm256_castps_pd(a), _mm256_castps_pd(b)));
}
inline __m256 oddSamples(__m256 a, __m256 b) {
    return _mm256_castpd_ps(_mm256_unpackhi_pd(_mm256_castps_pd(a), _mm256_castps_pd(b)));
}
}  // namespace avx

// Four blocks of four samples at p, across the blocks: x[i] holds sample i
// of every block (lane l: p[4l + i]). A 4×4 transpose of samples as 64-bit
// lanes: the halves are loaded crosswise, so that in-lane unpacks finish it.
inline void loadAcrossBlocks(Four, const Complex* p, Quad (&x)[4]) {
    const __m256 a0 = avx::loadHalves(p + 0, p + 8), a1 = avx::loadHalves(p + 4, p + 12);
    const __m256 a2 = avx::loadHalves(p + 2, p + 10), a3 = avx::loadHalves(p + 6, p + 14);
    x[0] = {avx::evenSamples(a0, a1)};
    x[1] = {avx::oddSamples(a0, a1)};
    x[2] = {avx::evenSamples(a2, a3)};
    x[3] = {avx::oddSamples(a2, a3)};
}
inline void storeAcrossBlocks(Complex* p, const Quad (&y)[4]) {
    avx::storeHalves(p + 0, p + 8, avx::evenSamples(y[0].v, y[1].v));
    avx::storeHalves(p + 4, p + 12, avx::oddSamples(y[0].v, y[1].v));
    avx::storeHalves(p + 2, p + 10, avx::evenSamples(y[2].v, y[3].v));
    avx::storeHalves(p + 6, p + 14, avx::oddSamples(y[2].v, y[3].v));
}
// Lane-wise factors from the even entries: sample l multiplied by w[2l],
// from w[0 … 3] and w[3 … 6] (w[7], past the last one, is never touched).
inline QuadFactor factorsEven(Four, const Complex* w) {
    const __m256d first = _mm256_castps_pd(_mm256_loadu_ps(&w[0].re));
    const __m256d second = _mm256_castps_pd(_mm256_loadu_ps(&w[3].re));
    // [w0, w4, w2, w6], then in order
    const __m256d picked = _mm256_blend_pd(first, second, 0b1010);
    return avx::split(_mm256_castpd_ps(_mm256_permute4x64_pd(picked, _MM_SHUFFLE(3, 1, 2, 0))));
}
// The samples p[0], p[stride], p[2·stride], p[3·stride] of a lane, one to a
// sample, and back.
inline Quad loadStrided(Four, const Complex* p, uint32_t stride) {
    const __m128 lo = loadStrided(Two{}, p, stride).v, hi = loadStrided(Two{}, p + 2 * stride, stride).v;
    return {_mm256_insertf128_ps(_mm256_castps128_ps256(lo), hi, 1)};
}
inline void storeStrided(Complex* p, uint32_t stride, Quad v) {
    storeStrided(p, stride, Pair{_mm256_castps256_ps128(v.v)});
    storeStrided(p + 2 * stride, stride, Pair{_mm256_extractf128_ps(v.v, 1)});
}
// ---- end of radix-4 and split-radix section ----

}  // namespace fftplug::FFTPLUG_PATH_NS
