// Data movement of the split-radix stages that only this family uses, one
// section per path. It changes where samples sit in registers, never the
// float operations on them.
#pragma once

#include "../plugin/simd/lanes.h"

namespace fftplug::FFTPLUG_PATH_NS::splitradix {

#if defined(FFTPLUG_PATH_AVX512)
// Eight blocks of eight samples at p, across the blocks, samples 0, 2, 4, 6
// of each (the quarter span 2 stage): x[i] holds sample 2i of every block
// (lane l: p[8l + 2i]). Each block is one whole-register load, so that it
// forwards from the first stage's whole-register stores and never crosses
// a cache line more than the block itself does; the odd samples come in
// with it and are dropped by the first round of the transpose, in-lane
// unpacks pairing the even samples of blocks 2m and 2m + 1. Two rounds of
// two-source shuffles finish the transpose.
inline void loadEvenOfEightBlocks(const Complex* p, Oct (&x)[4]) {
    __m512d pairs[4];
    for (int m = 0; m < 4; ++m) {
        const __m512d first = _mm512_loadu_pd(&p[16 * m].re), second = _mm512_loadu_pd(&p[16 * m + 8].re);
        // [block 2m sample 0, block 2m + 1 sample 0, … sample 2, …]
        pairs[m] = _mm512_unpacklo_pd(first, second);
    }
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
// And back: the samples of block 2m + 1 are moved to the even samples of a
// register of their own (an in-lane swap), so that every masked store lies
// within its block; the odd samples are never written.
inline void storeEvenOfEightBlocks(Complex* p, const Oct (&y)[4]) {
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
