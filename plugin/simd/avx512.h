// The AVX-512 lane: eight neighbouring samples in one 512-bit register,
// [re0, im0, re1, im1, … re7, im7]. Each operation performs the float
// operations of its Complex counterpart in scalar.h: no fused multiply-add
// (this code is built with AVX-512 F, DQ, BW and VL and without -mfma, and
// calls no fused intrinsic) and no reassociation. There is no 512-bit addsub:
// where one is wanted, the real parts of the subtrahend have their signs
// flipped and the two are added (x + (−y) rounds exactly as x − y does), so
// that the additions pipes see one instruction, not a sum and a masked
// difference; the flip is a logical operation that any FP pipe runs.
#pragma once

#include <immintrin.h>

#include "avx2.h"

namespace fftplug::FFTPLUG_PATH_NS {

struct Eight {
    static constexpr uint32_t width = 8;
    using narrower = Four;
};

struct Oct {
    __m512 v;
};
struct OctFactor {
    __m512 re, im;
    static constexpr bool laneFactor = true;  // mul(factor, factor) in lanes.h
};

namespace avx512 {
// Each sample's real and imaginary parts trade places: a rotation of each
// 64-bit sample by 32 bits, bits as they are. Every product of a sample by a
// factor takes one. A float shuffle would share its units with the additions
// (and the in-lane shuffles of the transposes), which bind the radix-4 and
// split-radix stages; the rotation shares the multipliers' units instead,
// which have room there (the radix-4 entries run 2-6 % faster so on an AMD
// Zen 4 core).
inline __m512 swapParts(__m512 a) { return _mm512_castsi512_ps(_mm512_rol_epi64(_mm512_castps_si512(a), 32)); }
inline OctFactor split(__m512 w) { return {_mm512_moveldup_ps(w), _mm512_movehdup_ps(w)}; }
// b with the signs of its real parts flipped, and of its imaginary parts.
inline __m512 negateReals(__m512 b) {
    return _mm512_xor_ps(b, _mm512_castsi512_ps(_mm512_set1_epi64(static_cast<long long>(0x0000000080000000ull))));
}
inline __m512 negateImags(__m512 b) {
    return _mm512_xor_ps(b, _mm512_castsi512_ps(_mm512_set1_epi64(static_cast<long long>(0x8000000000000000ull))));
}
// a − b in the real parts, a + b in the imaginary ones (what addsub does):
// a + b with the real parts of b negated, which any FP pipe can flip; in
// 32-bit code, which has eight vector registers and would keep the sign
// constant in one of them, a sum whose real parts are replaced by the
// masked difference (the mask in a mask register). Both round a − b and
// a + b alike.
inline __m512 subAdd(__m512 a, __m512 b) {
    if constexpr (sizeof(void*) == 4) return _mm512_mask_sub_ps(_mm512_add_ps(a, b), 0x5555, a, b);
    else return _mm512_add_ps(a, negateReals(b));
}
inline __m512 join(__m256 lo, __m256 hi) {
    return _mm512_castpd_ps(_mm512_insertf64x4(_mm512_castpd256_pd512(_mm256_castps_pd(lo)), _mm256_castps_pd(hi), 1));
}
inline __m256 lowHalf(__m512 v) { return _mm256_castpd_ps(_mm512_castpd512_pd256(_mm512_castps_pd(v))); }
inline __m256 highHalf(__m512 v) { return _mm256_castpd_ps(_mm512_extractf64x4_pd(_mm512_castps_pd(v), 1)); }
// Samples (64-bit lanes) of a and b picked by `index` (0 … 7 from a, 8 … 15 from b).
inline __m512 pickSamples(__m512 a, __m512i index, __m512 b) {
    return _mm512_castpd_ps(_mm512_permutex2var_pd(_mm512_castps_pd(a), index, _mm512_castps_pd(b)));
}
}  // namespace avx512

inline Oct load(Eight, const Complex* p) { return {_mm512_loadu_ps(&p->re)}; }
inline void store(Complex* p, Oct v) { _mm512_storeu_ps(&p->re, v.v); }
inline OctFactor factor(Eight, Complex w) { return {_mm512_set1_ps(w.re), _mm512_set1_ps(w.im)}; }
inline OctFactor factors(Eight, const Complex* w) { return avx512::split(_mm512_loadu_ps(&w->re)); }
inline OctFactor factorsStrided(Eight, const Complex* w, uint32_t stride) {
    const __m256 lo = loadStrided(Four{}, w, stride).v, hi = loadStrided(Four{}, w + 4 * stride, stride).v;
    return avx512::split(avx512::join(lo, hi));
}

inline Oct add(Oct a, Oct b) { return {_mm512_add_ps(a.v, b.v)}; }
inline Oct sub(Oct a, Oct b) { return {_mm512_sub_ps(a.v, b.v)}; }
inline Oct scale(Oct a, float c) { return {_mm512_mul_ps(a.v, _mm512_set1_ps(c))}; }

// a·w: re = a.re·w.re − a.im·w.im, im = a.im·w.re + a.re·w.im.
inline Oct mul(Oct a, OctFactor w) {
    const __m512 straight = _mm512_mul_ps(a.v, w.re);
    const __m512 crossed = _mm512_mul_ps(avx512::swapParts(a.v), w.im);
    return {avx512::subAdd(straight, crossed)};
}

// d·(−i) = (d.im, −d.re)
inline Oct timesMinusI(Oct d) { return {avx512::negateImags(avx512::swapParts(d.v))}; }
// d0 − i·d1 = (d0.re + d1.im, d0.im − d1.re)
inline Oct subTimesI(Oct d0, Oct d1) { return add(d0, timesMinusI(d1)); }
// d0 + i·d1 = (d0.re − d1.im, d0.im − (−d1.re)): the difference from the
// same d1·(−i) as subTimesI, so that the pair shares one swap and one flip
inline Oct addTimesI(Oct d0, Oct d1) { return sub(d0, timesMinusI(d1)); }

// ---- Rows off a lane boundary (see plugin/lane_phase.h) ----
// A row s samples past a boundary: the lane at the boundary before it holds
// the previous row's last s samples below s and the row's first ones above
// (the mask has a bit a float, two a sample).
struct EightPhase {
    __mmask16 below;
};
inline EightPhase lanePhaseMask(Eight, uint32_t s) { return {static_cast<__mmask16>((1u << (2 * s)) - 1)}; }
inline Oct blend(EightPhase m, Oct below, Oct above) { return {_mm512_mask_blend_ps(m.below, above.v, below.v)}; }
inline Oct loadAbove(Eight, const Complex* lane, EightPhase m) {
    return {_mm512_maskz_loadu_ps(static_cast<__mmask16>(~m.below), &lane->re)};
}
inline Oct loadBelow(Eight, const Complex* lane, EightPhase m) { return {_mm512_maskz_loadu_ps(m.below, &lane->re)}; }
inline void storeAbove(Complex* lane, Oct v, EightPhase m) {
    _mm512_mask_storeu_ps(&lane->re, static_cast<__mmask16>(~m.below), v.v);
}
inline void storeBelow(Complex* lane, Oct v, EightPhase m) { _mm512_mask_storeu_ps(&lane->re, m.below, v.v); }

// ---- Narrow radix-2 stages (see Span in scalar.h) ----
// Half-span 1: the group a0 … a15 holds the blocks (a0, a1) … (a14, a15);
// x = [a0 a8 a2 a10 a4 a12 a6 a14], y = [a1 a9 a3 a11 …] (in-lane unpacks):
// blocks 0, 4, 1, 5, 2, 6, 3, 7.
inline Halves<Oct> loadHalves(Eight, Span<1>, const Complex* p) {
    const __m512d lo = _mm512_castps_pd(_mm512_loadu_ps(&p->re));
    const __m512d hi = _mm512_castps_pd(_mm512_loadu_ps(&p[8].re));
    return {{_mm512_castpd_ps(_mm512_unpacklo_pd(lo, hi))}, {_mm512_castpd_ps(_mm512_unpackhi_pd(lo, hi))}};
}
inline void storeHalves(Complex* p, Span<1>, Oct x, Oct y) {
    const __m512d xd = _mm512_castps_pd(x.v), yd = _mm512_castps_pd(y.v);
    _mm512_storeu_ps(&p->re, _mm512_castpd_ps(_mm512_unpacklo_pd(xd, yd)));
    _mm512_storeu_ps(&p[8].re, _mm512_castpd_ps(_mm512_unpackhi_pd(xd, yd)));
}
// Half-span 2: the blocks (a0 a1, a2 a3) … (a12 a13, a14 a15);
// x = [a0 a1 a4 a5 a8 a9 a12 a13], y = [a2 a3 a6 a7 …]: blocks 0, 0, 1, 1,
// 2, 2, 3, 3 at offsets 0, 1, 0, 1 …
inline Halves<Oct> loadHalves(Eight, Span<2>, const Complex* p) {
    const __m512 lo = _mm512_loadu_ps(&p->re), hi = _mm512_loadu_ps(&p[8].re);
    return {{_mm512_shuffle_f32x4(lo, hi, _MM_SHUFFLE(2, 0, 2, 0))},
            {_mm512_shuffle_f32x4(lo, hi, _MM_SHUFFLE(3, 1, 3, 1))}};
}
inline void storeHalves(Complex* p, Span<2>, Oct x, Oct y) {
    _mm512_storeu_ps(&p->re, avx512::pickSamples(x.v, _mm512_setr_epi64(0, 1, 8, 9, 2, 3, 10, 11), y.v));
    _mm512_storeu_ps(&p[8].re, avx512::pickSamples(x.v, _mm512_setr_epi64(4, 5, 12, 13, 6, 7, 14, 15), y.v));
}
// Half-span 4: the blocks (a0 … a3, a4 … a7) and (a8 … a11, a12 … a15);
// x = [a0 … a3 a8 … a11], y = [a4 … a7 a12 … a15].
inline Halves<Oct> loadHalves(Eight, Span<4>, const Complex* p) {
    const __m512 lo = _mm512_loadu_ps(&p->re), hi = _mm512_loadu_ps(&p[8].re);
    return {{_mm512_shuffle_f32x4(lo, hi, _MM_SHUFFLE(1, 0, 1, 0))},
            {_mm512_shuffle_f32x4(lo, hi, _MM_SHUFFLE(3, 2, 3, 2))}};
}
inline void storeHalves(Complex* p, Span<4>, Oct x, Oct y) {
    _mm512_storeu_ps(&p->re, _mm512_shuffle_f32x4(x.v, y.v, _MM_SHUFFLE(1, 0, 1, 0)));
    _mm512_storeu_ps(&p[8].re, _mm512_shuffle_f32x4(x.v, y.v, _MM_SHUFFLE(3, 2, 3, 2)));
}
// The factor of each block of the group, w[b] for block b.
namespace avx512 {
// The factors w[0 … 7] (in v) spread in the block order of half-span 1.
inline OctFactor spreadBlocksOfSpanOne(__m512 v) {
    return {_mm512_permutexvar_ps(_mm512_setr_epi32(0, 0, 8, 8, 2, 2, 10, 10, 4, 4, 12, 12, 6, 6, 14, 14), v),
            _mm512_permutexvar_ps(_mm512_setr_epi32(1, 1, 9, 9, 3, 3, 11, 11, 5, 5, 13, 13, 7, 7, 15, 15), v)};
}
}  // namespace avx512
inline OctFactor blockFactors(Eight, Span<1>, const Complex* w) {
    return avx512::spreadBlocksOfSpanOne(_mm512_loadu_ps(&w->re));
}
inline OctFactor blockFactors(Eight, Span<2>, const Complex* w) {
    const __m512 v = _mm512_castps256_ps512(_mm256_loadu_ps(&w->re));
    return {_mm512_permutexvar_ps(_mm512_setr_epi32(0, 0, 0, 0, 2, 2, 2, 2, 4, 4, 4, 4, 6, 6, 6, 6), v),
            _mm512_permutexvar_ps(_mm512_setr_epi32(1, 1, 1, 1, 3, 3, 3, 3, 5, 5, 5, 5, 7, 7, 7, 7), v)};
}
inline OctFactor blockFactors(Eight, Span<4>, const Complex* w) {
    const __m512 v = _mm512_castps128_ps512(_mm_loadu_ps(&w->re));
    return {_mm512_permutexvar_ps(_mm512_setr_epi32(0, 0, 0, 0, 0, 0, 0, 0, 2, 2, 2, 2, 2, 2, 2, 2), v),
            _mm512_permutexvar_ps(_mm512_setr_epi32(1, 1, 1, 1, 1, 1, 1, 1, 3, 3, 3, 3, 3, 3, 3, 3), v)};
}
// The factor of each offset j < H within a block, w[j·stride].
inline OctFactor offsetFactors(Eight, Span<1>, const Complex* w, uint32_t) { return factor(Eight{}, *w); }
inline OctFactor offsetFactors(Eight, Span<2>, const Complex* w, uint32_t stride) {
    const __m128 v = _mm_movelh_ps(sse::loadSample(w), sse::loadSample(w + stride));
    return avx512::split(_mm512_broadcast_f32x4(v));
}
inline OctFactor offsetFactors(Eight, Span<4>, const Complex* w, uint32_t stride) {
    const __m256 v = loadStrided(Four{}, w, stride).v;
    return avx512::split(avx512::join(v, v));
}
// Block b's samples taken from perBlock[b].
inline Oct pickBlocks(Eight, Span<1>, const Oct* perBlock) {
    // block b sits in sample 2b for b < 4 and in sample 2(b − 4) + 1 after
    __m512d picked = _mm512_castps_pd(perBlock[0].v);
    for (int b = 1; b < 8; ++b) {
        const int sample = b < 4 ? 2 * b : 2 * (b - 4) + 1;
        picked = _mm512_mask_mov_pd(picked, static_cast<__mmask8>(1u << sample), _mm512_castps_pd(perBlock[b].v));
    }
    return {_mm512_castpd_ps(picked)};
}
inline Oct pickBlocks(Eight, Span<2>, const Oct* perBlock) {
    __m512 picked = _mm512_mask_mov_ps(perBlock[0].v, 0x00F0, perBlock[1].v);
    picked = _mm512_mask_mov_ps(picked, 0x0F00, perBlock[2].v);
    return {_mm512_mask_mov_ps(picked, static_cast<__mmask16>(0xF000), perBlock[3].v)};
}
inline Oct pickBlocks(Eight, Span<4>, const Oct* perBlock) {
    return {_mm512_mask_mov_ps(perBlock[0].v, static_cast<__mmask16>(0xFF00), perBlock[1].v)};
}


// ---- Radix-4 and split-radix narrow stages (one butterfly per block) ----
// Eight blocks of four samples at p, across the blocks: x[i] holds sample i
// of every block (lane l: p[4l + i]). A 4×8 transpose of samples as 64-bit
// lanes: two-source permutes gather samples 0 and 1, 2 and 3 of blocks 0 to
// 3 (and of 4 to 7), then 256-bit halves are joined.
inline void loadAcrossBlocks(Eight, const Complex* p, Oct (&x)[4]) {
    const __m512i first = _mm512_setr_epi64(0, 4, 8, 12, 1, 5, 9, 13);
    const __m512i second = _mm512_setr_epi64(2, 6, 10, 14, 3, 7, 11, 15);
    const __m512 r0 = _mm512_loadu_ps(&p[0].re), r1 = _mm512_loadu_ps(&p[8].re);
    const __m512 r2 = _mm512_loadu_ps(&p[16].re), r3 = _mm512_loadu_ps(&p[24].re);
    const __m512 low01 = avx512::pickSamples(r0, first, r1), low23 = avx512::pickSamples(r0, second, r1);
    const __m512 high01 = avx512::pickSamples(r2, first, r3), high23 = avx512::pickSamples(r2, second, r3);
    x[0] = {_mm512_shuffle_f32x4(low01, high01, _MM_SHUFFLE(1, 0, 1, 0))};
    x[1] = {_mm512_shuffle_f32x4(low01, high01, _MM_SHUFFLE(3, 2, 3, 2))};
    x[2] = {_mm512_shuffle_f32x4(low23, high23, _MM_SHUFFLE(1, 0, 1, 0))};
    x[3] = {_mm512_shuffle_f32x4(low23, high23, _MM_SHUFFLE(3, 2, 3, 2))};
}
inline void storeAcrossBlocks(Complex* p, const Oct (&y)[4]) {
    const __m512i first = _mm512_setr_epi64(0, 4, 8, 12, 1, 5, 9, 13);
    const __m512i second = _mm512_setr_epi64(2, 6, 10, 14, 3, 7, 11, 15);
    const __m512 low01 = _mm512_shuffle_f32x4(y[0].v, y[1].v, _MM_SHUFFLE(1, 0, 1, 0));
    const __m512 high01 = _mm512_shuffle_f32x4(y[0].v, y[1].v, _MM_SHUFFLE(3, 2, 3, 2));
    const __m512 low23 = _mm512_shuffle_f32x4(y[2].v, y[3].v, _MM_SHUFFLE(1, 0, 1, 0));
    const __m512 high23 = _mm512_shuffle_f32x4(y[2].v, y[3].v, _MM_SHUFFLE(3, 2, 3, 2));
    _mm512_storeu_ps(&p[0].re, avx512::pickSamples(low01, first, low23));
    _mm512_storeu_ps(&p[8].re, avx512::pickSamples(low01, second, low23));
    _mm512_storeu_ps(&p[16].re, avx512::pickSamples(high01, first, high23));
    _mm512_storeu_ps(&p[24].re, avx512::pickSamples(high01, second, high23));
}
// Lane-wise factors from the even entries: sample l multiplied by w[2l],
// from w[0 … 7] and w[7 … 14] (w[15], past the last one, is never touched).
inline OctFactor factorsEven(Eight, const Complex* w) {
    return avx512::split(avx512::pickSamples(_mm512_loadu_ps(&w[0].re), _mm512_setr_epi64(0, 2, 4, 6, 9, 11, 13, 15),
                                             _mm512_loadu_ps(&w[7].re)));
}
// The samples p[0], p[stride], … p[7·stride] of a lane, one to a sample, and back.
inline Oct loadStrided(Eight, const Complex* p, uint32_t stride) {
    return {avx512::join(loadStrided(Four{}, p, stride).v, loadStrided(Four{}, p + 4 * stride, stride).v)};
}
inline void storeStrided(Complex* p, uint32_t stride, Oct v) {
    storeStrided(p, stride, Quad{avx512::lowHalf(v.v)});
    storeStrided(p + 4 * stride, stride, Quad{avx512::highHalf(v.v)});
}
// ---- end of radix-4 and split-radix section ----

}  // namespace fftplug::FFTPLUG_PATH_NS
