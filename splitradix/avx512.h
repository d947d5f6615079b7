// The AVX-512 lane's own moves for split radix (see the traits in
// splitradix.h, which includes this file after them), with the AVX2 and
// SSE2 lanes' for the narrower lanes. They change where samples sit in
// registers, never the float operations on them.
#pragma once

#include "avx2.h"

namespace fftplug::FFTPLUG_PATH_NS::splitradix {

// The members of a lane at p; the other samples read as zero and are never
// touched (masked loads and stores, which neither read nor write them).
template <>
struct MemberMoves<Eight> {
    static constexpr bool available = true;
    template <uint32_t Bits>
    static Oct load(const Complex* p, Members<Bits>) {
        return {_mm512_castpd_ps(_mm512_maskz_loadu_pd(static_cast<__mmask8>(Bits), p))};
    }
    template <uint32_t Bits>
    static void store(Complex* p, Members<Bits>, Oct v) {
        _mm512_mask_storeu_pd(p, static_cast<__mmask8>(Bits), _mm512_castps_pd(v.v));
    }
};

// Quarter span 2: eight blocks of eight samples, samples 0, 2, 4, 6 of each.
// Each block is one register loaded under a mask of its even samples, the
// members of the stage: the odd samples are not read, and no access crosses
// a cache line more than the block itself does. The first round of the
// transpose, in-lane unpacks, pairs the even samples of blocks 2m and
// 2m + 1; a transpose of 128-bit quarters (two rounds of 128-bit shuffles)
// finishes it.
template <>
struct AcrossBlocks<2, Eight> {
    static void load(const Complex* p, Oct (&x)[4]) {
        __m512d pairs[4];
        for (int m = 0; m < 4; ++m) {
            const __m512d first = _mm512_maskz_loadu_pd(0x55, &p[16 * m].re);
            const __m512d second = _mm512_maskz_loadu_pd(0x55, &p[16 * m + 8].re);
            // [block 2m sample 0, block 2m + 1 sample 0, … sample 2, …]
            pairs[m] = _mm512_unpacklo_pd(first, second);
        }
        // pairs[m] holds samples 0, 2, 4, 6 of blocks 2m and 2m + 1 in its four
        // 128-bit quarters: a 4 × 4 transpose of quarters gathers each sample.
        const __m512d low01 = _mm512_shuffle_f64x2(pairs[0], pairs[1], _MM_SHUFFLE(1, 0, 1, 0));
        const __m512d high01 = _mm512_shuffle_f64x2(pairs[0], pairs[1], _MM_SHUFFLE(3, 2, 3, 2));
        const __m512d low23 = _mm512_shuffle_f64x2(pairs[2], pairs[3], _MM_SHUFFLE(1, 0, 1, 0));
        const __m512d high23 = _mm512_shuffle_f64x2(pairs[2], pairs[3], _MM_SHUFFLE(3, 2, 3, 2));
        x[0] = {_mm512_castpd_ps(_mm512_shuffle_f64x2(low01, low23, _MM_SHUFFLE(2, 0, 2, 0)))};
        x[1] = {_mm512_castpd_ps(_mm512_shuffle_f64x2(low01, low23, _MM_SHUFFLE(3, 1, 3, 1)))};
        x[2] = {_mm512_castpd_ps(_mm512_shuffle_f64x2(high01, high23, _MM_SHUFFLE(2, 0, 2, 0)))};
        x[3] = {_mm512_castpd_ps(_mm512_shuffle_f64x2(high01, high23, _MM_SHUFFLE(3, 1, 3, 1)))};
    }
    // And back: the samples of block 2m + 1 are moved to the even samples of
    // a register of their own (an in-lane swap), so that every masked store
    // lies within its block; the odd samples are never written.
    static void store(Complex* p, const Oct (&y)[4]) {
        const __m512d y0 = _mm512_castps_pd(y[0].v), y1 = _mm512_castps_pd(y[1].v);
        const __m512d y2 = _mm512_castps_pd(y[2].v), y3 = _mm512_castps_pd(y[3].v);
        // the transpose of quarters undone: [blocks 0, 1 | 4, 5 | 0, 1 | 4, 5] of
        // samples 0 and 2 (and 4 and 6), then of blocks 2, 3 | 6, 7; pairs[m]
        // holds blocks 2m and 2m + 1
        const __m512d even02 = _mm512_shuffle_f64x2(y0, y1, _MM_SHUFFLE(2, 0, 2, 0));
        const __m512d odd02 = _mm512_shuffle_f64x2(y0, y1, _MM_SHUFFLE(3, 1, 3, 1));
        const __m512d even46 = _mm512_shuffle_f64x2(y2, y3, _MM_SHUFFLE(2, 0, 2, 0));
        const __m512d odd46 = _mm512_shuffle_f64x2(y2, y3, _MM_SHUFFLE(3, 1, 3, 1));
        const __m512d pairs[4] = {_mm512_shuffle_f64x2(even02, even46, _MM_SHUFFLE(2, 0, 2, 0)),
                                  _mm512_shuffle_f64x2(odd02, odd46, _MM_SHUFFLE(2, 0, 2, 0)),
                                  _mm512_shuffle_f64x2(even02, even46, _MM_SHUFFLE(3, 1, 3, 1)),
                                  _mm512_shuffle_f64x2(odd02, odd46, _MM_SHUFFLE(3, 1, 3, 1))};
        for (int m = 0; m < 4; ++m) {
            _mm512_mask_storeu_pd(&p[16 * m].re, 0x55, pairs[m]);
            _mm512_mask_storeu_pd(&p[16 * m + 8].re, 0x55, _mm512_permute_pd(pairs[m], 0x55));
        }
    }
};

// Two blocks of sixteen samples (quarter span 4) at p and p + 16, one to a
// half: x[i] = [p[4i … 4i + 3] | p[16 + 4i … 16 + 4i + 3]], members 0, 1, 3
// of each quarter alone read and written.
template <>
struct BlockPairs<Eight> {
    static constexpr bool available = true;
    // The second block's quarter goes straight into the upper half by a
    // merging masked load whose lower half is masked off, so that no shuffle
    // joins the halves.
    static void load(const Complex* p, Oct (&x)[4]) {
        for (int i = 0; i < 4; ++i) {
            const __m512d first = _mm512_castpd256_pd512(_mm256_maskz_loadu_pd(0x0B, &p[4 * i].re));
            x[i] = {_mm512_castpd_ps(_mm512_mask_loadu_pd(first, 0xB0, &p[12 + 4 * i].re))};
        }
    }
    static void store(Complex* p, const Oct (&y)[4]) {
        using Moves = MemberMoves<Eight>;
        Moves::store(p, Members<0xBB>{}, Oct{_mm512_shuffle_f32x4(y[0].v, y[1].v, _MM_SHUFFLE(1, 0, 1, 0))});
        Moves::store(p + 8, Members<0xBB>{}, Oct{_mm512_shuffle_f32x4(y[2].v, y[3].v, _MM_SHUFFLE(1, 0, 1, 0))});
        Moves::store(p + 16, Members<0xBB>{}, Oct{_mm512_shuffle_f32x4(y[0].v, y[1].v, _MM_SHUFFLE(3, 2, 3, 2))});
        Moves::store(p + 24, Members<0xBB>{}, Oct{_mm512_shuffle_f32x4(y[2].v, y[3].v, _MM_SHUFFLE(3, 2, 3, 2))});
    }
    // `first` over the first half, `second` over the second.
    static OctFactor factors(Complex first, Complex second) {
        return {_mm512_insertf32x8(_mm512_set1_ps(first.re), _mm256_set1_ps(second.re), 1),
                _mm512_insertf32x8(_mm512_set1_ps(first.im), _mm256_set1_ps(second.im), 1)};
    }
    // Samples 2h and 2h + 1 of four blocks' lane-wise factors, over the first
    // and second half.
    static OctFactor factors(QuadFactor f, int h) {
        const int first = 4 * h, second = 4 * h + 2;
        const __m512i spread = _mm512_setr_epi32(first, first, first, first, first, first, first, first, second,
                                                 second, second, second, second, second, second, second);
        return {_mm512_permutexvar_ps(spread, _mm512_castps256_ps512(f.re)),
                _mm512_permutexvar_ps(spread, _mm512_castps256_ps512(f.im))};
    }
};

// Entry 9's lane of blocks 0 … 7: the general blocks' factors from the
// entries of blocks 2 … 7 alone (masked loads), and the samples picked by
// masked blends.
template <>
struct FromBlockZero<Eight> {
    static constexpr bool available = true;
    static OctFactor factorsPastTwo(const Complex* w) {
        return avx512::split(_mm512_maskz_loadu_ps(static_cast<__mmask16>(0xFFF0), &w->re));
    }
    static OctFactor factorsEvenPastTwo(const Complex* w) {
        // samples 2l of w[0 … 7] for l < 4 (w[4], w[6] alone read) and of w[7 … 14] after
        const __m512 low = _mm512_maskz_loadu_ps(static_cast<__mmask16>(0xFF00), &w[0].re);
        return avx512::split(
            avx512::pickSamples(low, _mm512_setr_epi64(0, 2, 4, 6, 9, 11, 13, 15), _mm512_loadu_ps(&w[7].re)));
    }
    static Oct pickFirstTwo(Oct first, Oct second, Oct rest) {
        const __m512d upToOne = _mm512_mask_blend_pd(0x02, _mm512_castps_pd(rest.v), _mm512_castps_pd(second.v));
        return {_mm512_castpd_ps(_mm512_mask_blend_pd(0x01, upToOne, _mm512_castps_pd(first.v)))};
    }
};

}  // namespace fftplug::FFTPLUG_PATH_NS::splitradix
