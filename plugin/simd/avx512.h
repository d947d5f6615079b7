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
inline __m512 swapParts(__m512 a) { return _mm512_permute_ps(a, _MM_SHUFFLE(2, 3, 0, 1)); }
inline OctFactor split(__m512 w) { return {_mm512_moveldup_ps(w), _mm512_movehdup_ps(w)}; }
// b with the signs of its real parts flipped, and of its imaginary parts.
inline __m512 negateReals(__m512 b) {
    return _mm512_xor_ps(b, _mm512_castsi512_ps(_mm512_set1_epi64(static_cast<long long>(0x0000000080000000ull))));
}
inline __m512 negateImags(__m512 b) {
    return _mm512_xor_ps(b, _mm512_castsi512_ps(_mm512_set1_epi64(static_cast<long long>(0x8000000000000000ull))));
}
// a − b in the real parts, a + b in the imaginary ones (what addsub does).
inline __m512 subAdd(__m512 a, __m512 b) { return _mm512_add_ps(a, negateReals(b)); }
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
inline OctFactor blockFactors(Eight, Span<1>, const Complex* w) {
    const __m512 v = _mm512_loadu_ps(&w->re);
    return {_mm512_permutexvar_ps(_mm512_setr_epi32(0, 0, 8, 8, 2, 2, 10, 10, 4, 4, 12, 12, 6, 6, 14, 14), v),
            _mm512_permutexvar_ps(_mm512_setr_epi32(1, 1, 9, 9, 3, 3, 11, 11, 5, 5, 13, 13, 7, 7, 15, 15), v)};
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

// ---- Split-radix lanes (see Members in scalar.h) ----
// The members of a lane at p; the other samples read as zero and are never
// touched (masked loads and stores, which neither read nor write them).
template <uint32_t Bits>
inline Oct loadMembers(Eight, const Complex* p, Members<Bits>) {
    return {_mm512_castpd_ps(_mm512_maskz_loadu_pd(static_cast<__mmask8>(Bits), p))};
}
template <uint32_t Bits>
inline void storeMembers(Complex* p, Members<Bits>, Oct v) {
    _mm512_mask_storeu_pd(p, static_cast<__mmask8>(Bits), _mm512_castps_pd(v.v));
}
// Eight blocks of eight samples at p, across the blocks, samples 0, 2, 4, 6
// of each (the quarter span 2 stage): x[i] holds sample 2i of every block
// (lane l: p[8l + 2i]); the odd samples are never touched. The even samples
// of blocks 2m and 2m + 1 come interleaved from two masked loads, the
// second from one sample before block 2m + 1; two rounds of two-source
// permutes finish the transpose.
inline void loadEvenAcrossBlocks(Eight, const Complex* p, Oct (&x)[4]) {
    __m512d pairs[4];
    for (int m = 0; m < 4; ++m) {
        const __m512d even = _mm512_maskz_loadu_pd(0x55, p + 16 * m);
        pairs[m] = _mm512_mask_loadu_pd(even, 0xAA, p + 16 * m + 7);
    }
    // [blocks 0 … 3 sample 0, blocks 0 … 3 sample 2] and samples 4 and 6
    const __m512i first = _mm512_setr_epi64(0, 1, 8, 9, 2, 3, 10, 11);
    const __m512i second = _mm512_setr_epi64(4, 5, 12, 13, 6, 7, 14, 15);
    const __m512d low02 = _mm512_permutex2var_pd(pairs[0], first, pairs[1]);
    const __m512d low46 = _mm512_permutex2var_pd(pairs[0], second, pairs[1]);
    const __m512d high02 = _mm512_permutex2var_pd(pairs[2], first, pairs[3]);
    const __m512d high46 = _mm512_permutex2var_pd(pairs[2], second, pairs[3]);
    x[0] = {_mm512_castpd_ps(_mm512_shuffle_f64x2(low02, high02, _MM_SHUFFLE(1, 0, 1, 0)))};
    x[1] = {_mm512_castpd_ps(_mm512_shuffle_f64x2(low02, high02, _MM_SHUFFLE(3, 2, 3, 2)))};
    x[2] = {_mm512_castpd_ps(_mm512_shuffle_f64x2(low46, high46, _MM_SHUFFLE(1, 0, 1, 0)))};
    x[3] = {_mm512_castpd_ps(_mm512_shuffle_f64x2(low46, high46, _MM_SHUFFLE(3, 2, 3, 2)))};
}
inline void storeEvenAcrossBlocks(Complex* p, const Oct (&y)[4]) {
    const __m512d y0 = _mm512_castps_pd(y[0].v), y1 = _mm512_castps_pd(y[1].v);
    const __m512d y2 = _mm512_castps_pd(y[2].v), y3 = _mm512_castps_pd(y[3].v);
    const __m512d low02 = _mm512_shuffle_f64x2(y0, y1, _MM_SHUFFLE(1, 0, 1, 0));
    const __m512d high02 = _mm512_shuffle_f64x2(y0, y1, _MM_SHUFFLE(3, 2, 3, 2));
    const __m512d low46 = _mm512_shuffle_f64x2(y2, y3, _MM_SHUFFLE(1, 0, 1, 0));
    const __m512d high46 = _mm512_shuffle_f64x2(y2, y3, _MM_SHUFFLE(3, 2, 3, 2));
    const __m512i first = _mm512_setr_epi64(0, 1, 4, 5, 8, 9, 12, 13);
    const __m512i second = _mm512_setr_epi64(2, 3, 6, 7, 10, 11, 14, 15);
    const __m512d pairs[4] = {_mm512_permutex2var_pd(low02, first, low46), _mm512_permutex2var_pd(low02, second, low46),
                              _mm512_permutex2var_pd(high02, first, high46),
                              _mm512_permutex2var_pd(high02, second, high46)};
    for (int m = 0; m < 4; ++m) {
        _mm512_mask_storeu_pd(p + 16 * m, 0x55, pairs[m]);
        _mm512_mask_storeu_pd(p + 16 * m + 7, 0xAA, pairs[m]);
    }
}
// Two blocks of sixteen samples (quarter span 4) at p and p + 16, one to a
// half: x[i] = [p[4i … 4i + 3] | p[16 + 4i … 16 + 4i + 3]], and back.
// Sample 2 of every quarter, outside O(4) = {0, 1, 3}, is never touched.
inline void loadQuartersOfTwoBlocks(Eight, const Complex* p, Oct (&x)[4]) {
    const __m512 a01 = loadMembers(Eight{}, p, Members<0xBB>{}).v, a23 = loadMembers(Eight{}, p + 8, Members<0xBB>{}).v;
    const __m512 b01 = loadMembers(Eight{}, p + 16, Members<0xBB>{}).v;
    const __m512 b23 = loadMembers(Eight{}, p + 24, Members<0xBB>{}).v;
    x[0] = {_mm512_shuffle_f32x4(a01, b01, _MM_SHUFFLE(1, 0, 1, 0))};
    x[1] = {_mm512_shuffle_f32x4(a01, b01, _MM_SHUFFLE(3, 2, 3, 2))};
    x[2] = {_mm512_shuffle_f32x4(a23, b23, _MM_SHUFFLE(1, 0, 1, 0))};
    x[3] = {_mm512_shuffle_f32x4(a23, b23, _MM_SHUFFLE(3, 2, 3, 2))};
}
inline void storeQuartersOfTwoBlocks(Complex* p, const Oct (&y)[4]) {
    storeMembers(p, Members<0xBB>{}, Oct{_mm512_shuffle_f32x4(y[0].v, y[1].v, _MM_SHUFFLE(1, 0, 1, 0))});
    storeMembers(p + 8, Members<0xBB>{}, Oct{_mm512_shuffle_f32x4(y[2].v, y[3].v, _MM_SHUFFLE(1, 0, 1, 0))});
    storeMembers(p + 16, Members<0xBB>{}, Oct{_mm512_shuffle_f32x4(y[0].v, y[1].v, _MM_SHUFFLE(3, 2, 3, 2))});
    storeMembers(p + 24, Members<0xBB>{}, Oct{_mm512_shuffle_f32x4(y[2].v, y[3].v, _MM_SHUFFLE(3, 2, 3, 2))});
}
// Block factors for two blocks side by side: `first` over the first half,
// `second` over the second.
inline OctFactor factorsOfTwoBlocks(Eight, Complex first, Complex second) {
    return {_mm512_insertf32x8(_mm512_set1_ps(first.re), _mm256_set1_ps(second.re), 1),
            _mm512_insertf32x8(_mm512_set1_ps(first.im), _mm256_set1_ps(second.im), 1)};
}
// Samples 2h and 2h + 1 of four blocks' lane-wise factors, over the first
// and second half.
inline OctFactor factorsOfTwoBlocks(Eight, QuadFactor f, int h) {
    const int first = 4 * h, second = 4 * h + 2;
    const __m512i spread = _mm512_setr_epi32(first, first, first, first, first, first, first, first, second, second,
                                             second, second, second, second, second, second);
    return {_mm512_permutexvar_ps(spread, _mm512_castps256_ps512(f.re)),
            _mm512_permutexvar_ps(spread, _mm512_castps256_ps512(f.im))};
}
// Lane-wise factors w[l] (factors) and w[2l] (factorsEven) for the samples
// l >= 2, zeros for samples 0 and 1, whose entries are never read (entry 9's
// blocks 0 and 1 take no factors).
inline OctFactor factorsPastTwo(Eight, const Complex* w) {
    return avx512::split(_mm512_maskz_loadu_ps(static_cast<__mmask16>(0xFFF0), &w->re));
}
inline OctFactor factorsEvenPastTwo(Eight, const Complex* w) {
    // samples 2l of w[0 … 7] for l < 4 (w[4], w[6] alone read) and of w[7 … 14] after
    const __m512 low = _mm512_maskz_loadu_ps(static_cast<__mmask16>(0xFF00), &w[0].re);
    return avx512::split(
        avx512::pickSamples(low, _mm512_setr_epi64(0, 2, 4, 6, 9, 11, 13, 15), _mm512_loadu_ps(&w[7].re)));
}
// Sample 0 from `first`, sample 1 from `second`, the others from `rest`.
inline Oct pickFirstTwo(Oct first, Oct second, Oct rest) {
    const __m512d upToOne = _mm512_mask_blend_pd(0x02, _mm512_castps_pd(rest.v), _mm512_castps_pd(second.v));
    return {_mm512_castpd_ps(_mm512_mask_blend_pd(0x01, upToOne, _mm512_castps_pd(first.v)))};
}
// ---- end of split-radix lanes ----

}  // namespace fftplug::FFTPLUG_PATH_NS
