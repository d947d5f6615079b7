// Data movement of the split-radix stages that only this family uses, one
// section per path. It changes where samples sit in registers, never the
// float operations on them.
#pragma once

#include "../plugin/simd/lanes.h"

namespace fftplug::FFTPLUG_PATH_NS::splitradix {

#if defined(FFTPLUG_PATH_AVX512)
// Eight blocks of eight samples at p, across the blocks, samples 0, 2, 4, 6
// of each (the quarter span 2 stage): x[i] holds sample 2i of every block
// (lane l: p[8l + 2i]). Each block is one register loaded under a mask of
// its even samples, the members of the stage: the odd samples are not read,
// and no access crosses a cache line more than the block itself does. The
// first round of the transpose, in-lane unpacks, pairs the even samples of
// blocks 2m and 2m + 1; a transpose of 128-bit quarters (two rounds of
// 128-bit shuffles) finishes it.
inline void loadEvenOfEightBlocks(const Complex* p, Oct (&x)[4]) {
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
// And back: the samples of block 2m + 1 are moved to the even samples of a
// register of their own (an in-lane swap), so that every masked store lies
// within its block; the odd samples are never written.
inline void storeEvenOfEightBlocks(Complex* p, const Oct (&y)[4]) {
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
// Two blocks of sixteen samples (quarter span 4) at p and p + 16, one to a
// half: x[i] = [p[4i … 4i + 3] | p[16 + 4i … 16 + 4i + 3]], members 0, 1, 3
// of each quarter alone read. The second block's quarter goes straight into
// the upper half by a merging masked load whose lower half is masked off,
// so that no shuffle joins the halves.
inline void loadQuartersOfTwoBlocksMasked(const Complex* p, Oct (&x)[4]) {
    for (int i = 0; i < 4; ++i) {
        const __m512d first = _mm512_castpd256_pd512(_mm256_maskz_loadu_pd(0x0B, &p[4 * i].re));
        x[i] = {_mm512_castpd_ps(_mm512_mask_loadu_pd(first, 0xB0, &p[12 + 4 * i].re))};
    }
}
#endif

}  // namespace fftplug::FFTPLUG_PATH_NS::splitradix
