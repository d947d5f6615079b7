// The radix-4 moves of the eight-sample lane: the first stage with its
// blocks in an interleaved order (one lane-crossing step fewer), two blocks
// of quarter span 4 a lane, and block factors formed on the lane. Included
// by radix4.h after the generic versions, which these specialise.
#pragma once

namespace fftplug::FFTPLUG_PATH_NS {

// One factor w over every sample with the sign of the crossed product
// folded in: im holds −w.im in the real parts and w.im in the imaginary
// ones, so that a·w is one addition, a.re·w.re + a.im·(−w.im) rounding as
// a.re·w.re − a.im·w.im does. For a factor that serves many samples (a
// block's broadcast), where the flip is made once instead of at every
// product.
struct OctFactorSigned {
    __m512 re, im;
};
inline OctFactorSigned signedFactor(OctFactor w) { return {w.re, avx512::negateReals(w.im)}; }
inline Oct mul(Oct a, OctFactorSigned w) {
    return {_mm512_add_ps(_mm512_mul_ps(a.v, w.re), _mm512_mul_ps(avx512::swapParts(a.v), w.im))};
}

namespace radix4 {

// Eight blocks of four samples at p, across the blocks as loadAcrossBlocks
// does but with the blocks in the lane order 0, 2, 1, 3, 4, 6, 5, 7 (lane l
// holds the block b with laneOf(b) = l): in-lane unpacks, then 128-bit
// shuffles, one lane-crossing step where loadAcrossBlocks has two; and back,
// two-source permutes, then in-lane unpacks. The factors follow the same
// order, their permutes off the samples' path.
template <>
struct FirstStageLayout<Eight> {
    static constexpr bool holdsSpecialBlocks = true;
    static constexpr uint32_t laneOf(uint32_t block) { return block < 4 ? (block & 1) * 2 + block / 2 : block; }

    static void load(const Complex* p, Oct (&x)[4]) {
        const __m512 r0 = _mm512_loadu_ps(&p[0].re), r1 = _mm512_loadu_ps(&p[8].re);
        const __m512 r2 = _mm512_loadu_ps(&p[16].re), r3 = _mm512_loadu_ps(&p[24].re);
        // [b0s0 b2s0 | b0s2 b2s2 | b1s0 b3s0 | b1s2 b3s2], odd: samples 1 and 3
        const __m512d even01 = unpackLow(r0, r1), odd01 = unpackHigh(r0, r1);
        const __m512d even23 = unpackLow(r2, r3), odd23 = unpackHigh(r2, r3);
        x[0] = {_mm512_castpd_ps(_mm512_shuffle_f64x2(even01, even23, _MM_SHUFFLE(2, 0, 2, 0)))};
        x[1] = {_mm512_castpd_ps(_mm512_shuffle_f64x2(odd01, odd23, _MM_SHUFFLE(2, 0, 2, 0)))};
        x[2] = {_mm512_castpd_ps(_mm512_shuffle_f64x2(even01, even23, _MM_SHUFFLE(3, 1, 3, 1)))};
        x[3] = {_mm512_castpd_ps(_mm512_shuffle_f64x2(odd01, odd23, _MM_SHUFFLE(3, 1, 3, 1)))};
    }
    static void store(Complex* p, const Oct (&y)[4]) {
        const __m512i low = _mm512_setr_epi64(0, 1, 8, 9, 2, 3, 10, 11);
        const __m512i high = _mm512_setr_epi64(4, 5, 12, 13, 6, 7, 14, 15);
        const __m512 even01 = avx512::pickSamples(y[0].v, low, y[2].v);
        const __m512 odd01 = avx512::pickSamples(y[1].v, low, y[3].v);
        const __m512 even23 = avx512::pickSamples(y[0].v, high, y[2].v);
        const __m512 odd23 = avx512::pickSamples(y[1].v, high, y[3].v);
        _mm512_storeu_ps(&p[0].re, _mm512_castpd_ps(unpackLow(even01, odd01)));
        _mm512_storeu_ps(&p[8].re, _mm512_castpd_ps(unpackHigh(even01, odd01)));
        _mm512_storeu_ps(&p[16].re, _mm512_castpd_ps(unpackLow(even23, odd23)));
        _mm512_storeu_ps(&p[24].re, _mm512_castpd_ps(unpackHigh(even23, odd23)));
    }
    // Lane-wise factors in that order: w[b] and the even entries w[2b] (from
    // w[0 … 7] and w[7 … 14]) for the block b of each lane. Blocks before
    // `first` get zeros, and the entries they would take are not read. Each
    // part comes from the loaded entries by one float permute, which
    // reorders and spreads it at once (a sample permute and then the two
    // spreads of split would take three shuffles where these take two; the
    // first stage, whose lanes take these factors, is bound by its shuffles).
    static OctFactor factors(const Complex* w, uint32_t first = 0) {
        const __m512 v = _mm512_maskz_loadu_ps(static_cast<__mmask16>(0xFFFFu << (2 * first)), &w->re);
        // samples 0, 2, 1, 3, 4, 6, 5, 7: their real parts, then their imaginary parts
        return {_mm512_permutexvar_ps(_mm512_setr_epi32(0, 0, 4, 4, 2, 2, 6, 6, 8, 8, 12, 12, 10, 10, 14, 14), v),
                _mm512_permutexvar_ps(_mm512_setr_epi32(1, 1, 5, 5, 3, 3, 7, 7, 9, 9, 13, 13, 11, 11, 15, 15), v)};
    }
    static OctFactor factorsEven(const Complex* w, uint32_t first = 0) {
        const __m512 low = _mm512_maskz_loadu_ps(static_cast<__mmask16>(0xFFFFu << (4 * first)), &w[0].re);
        const __m512 high = _mm512_loadu_ps(&w[7].re);
        // w[0], w[4], w[2], w[6] from low, then w[8], w[12], w[10], w[14] (samples 1, 5, 3, 7 of high)
        return {_mm512_permutex2var_ps(low, _mm512_setr_epi32(0, 0, 8, 8, 4, 4, 12, 12, 18, 18, 26, 26, 22, 22, 30, 30),
                                       high),
                _mm512_permutex2var_ps(low, _mm512_setr_epi32(1, 1, 9, 9, 5, 5, 13, 13, 19, 19, 27, 27, 23, 23, 31, 31),
                                       high)};
    }
    // `base` with its sample `lane` taken from v.
    static Oct replaceSample(Oct base, Oct v, uint32_t lane) {
        return {_mm512_mask_blend_ps(static_cast<__mmask16>(3u << (2 * lane)), base.v, v.v)};
    }

private:
    static __m512d unpackLow(__m512 a, __m512 b) { return _mm512_unpacklo_pd(_mm512_castps_pd(a), _mm512_castps_pd(b)); }
    static __m512d unpackHigh(__m512 a, __m512 b) {
        return _mm512_unpackhi_pd(_mm512_castps_pd(a), _mm512_castps_pd(b));
    }
};

// Two blocks of sixteen samples (quarter span 4) at p and p + 16, one to a
// half: x[i] = [quarter i of the first block, quarter i of the second], and
// back. Each half is loaded on its own (a 256-bit load inside an earlier
// stage's 512-bit store still forwards from it, and the second half goes
// in with the load); the stores are whole registers, so that the next
// stage's 512-bit loads forward from them whole.
template <>
struct BlockPairs<Eight> {
    static constexpr bool available = true;
    static constexpr uint32_t quarter = 4;

    static void load(const Complex* p, Oct (&x)[4]) {
        x[0] = {avx512::join(_mm256_loadu_ps(&p[0].re), _mm256_loadu_ps(&p[16].re))};
        x[1] = {avx512::join(_mm256_loadu_ps(&p[4].re), _mm256_loadu_ps(&p[20].re))};
        x[2] = {avx512::join(_mm256_loadu_ps(&p[8].re), _mm256_loadu_ps(&p[24].re))};
        x[3] = {avx512::join(_mm256_loadu_ps(&p[12].re), _mm256_loadu_ps(&p[28].re))};
    }
    static void store(Complex* p, const Oct (&y)[4]) {
        _mm512_storeu_ps(&p[0].re, _mm512_shuffle_f32x4(y[0].v, y[1].v, _MM_SHUFFLE(1, 0, 1, 0)));
        _mm512_storeu_ps(&p[8].re, _mm512_shuffle_f32x4(y[2].v, y[3].v, _MM_SHUFFLE(1, 0, 1, 0)));
        _mm512_storeu_ps(&p[16].re, _mm512_shuffle_f32x4(y[0].v, y[1].v, _MM_SHUFFLE(3, 2, 3, 2)));
        _mm512_storeu_ps(&p[24].re, _mm512_shuffle_f32x4(y[2].v, y[3].v, _MM_SHUFFLE(3, 2, 3, 2)));
    }
    // w[0] broadcast over the first half, w[stride] over the second: one
    // factor for each block of the pair.
    static OctFactor factors(const Complex* w, uint32_t stride) {
        const __m512 v = _mm512_castps128_ps512(_mm_movelh_ps(sse::loadSample(w), sse::loadSample(w + stride)));
        return {_mm512_permutexvar_ps(_mm512_setr_epi32(0, 0, 0, 0, 0, 0, 0, 0, 2, 2, 2, 2, 2, 2, 2, 2), v),
                _mm512_permutexvar_ps(_mm512_setr_epi32(1, 1, 1, 1, 1, 1, 1, 1, 3, 3, 3, 3, 3, 3, 3, 3), v)};
    }
    // The first half of `first`, the second half of `second`.
    static Oct joinHalves(Oct first, Oct second) {
        return {_mm512_mask_blend_ps(static_cast<__mmask16>(0xFF00), first.v, second.v)};
    }
};

// Block k's factors formed on the lane: the parts of table[k] and table[2k]
// spread straight from memory (a load, no shuffle), f3 = f2·f1 as the lane
// product of f2 (both parts, spread as one sample) by f1, whose imaginary
// parts round as those of the Complex product do (a sum of the same two
// products), then split. Scalar factors would take a spread for each of the
// six parts and as many FP operations again for f3; the stage with q = 16
// has one step of butterflies a block, against which that set-up counts.
template <>
struct BlockLaneFactors<Eight> {
    static constexpr bool onLane = true;

    static LaneFactors<OctFactorSigned> of(const Complex* table, uint32_t k) {
        FFTPLUG_TABLE_READ(table + k);
        FFTPLUG_TABLE_READ(table + 2 * k);
        const OctFactor f2 = factor(Eight{}, table[k]), f1 = factor(Eight{}, table[2 * k]);
        const OctFactorSigned f1Signed = signedFactor(f1);
        const OctFactor f3 = avx512::split(mul(bothParts(table + k), f1Signed).v);
        return {f1Signed, signedFactor(f2), signedFactor(f3)};
    }

private:
    // *p in every sample.
    static Oct bothParts(const Complex* p) {
        return {_mm512_castpd_ps(_mm512_set1_pd(_mm_cvtsd_f64(_mm_castps_pd(sse::loadSample(p)))))};
    }
};

}  // namespace radix4
}  // namespace fftplug::FFTPLUG_PATH_NS
