// The radix-4 moves of the four-sample lane: the first stage's lane can
// take blocks 0 and 1 (difRadix4Special's fixed kinds) with the general ones.
// Included by radix4.h after the generic versions, which these specialise.
#pragma once

namespace fftplug::FFTPLUG_PATH_NS::radix4 {

// The generic layout (block l in lane l, loadAcrossBlocks), with the lane-wise
// factors of the blocks from `first` on only: the entries the blocks before
// it would take are not read, and those samples get zeros. Then the first
// lane of a transform of 16 points or more holds blocks 0 to 3 at once,
// where the blocks one by one would take two single-sample steps and a
// two-sample one.
template <>
struct FirstStageLayout<Four> {
    static constexpr bool holdsSpecialBlocks = true;
    static constexpr uint32_t laneOf(uint32_t block) { return block; }

    static void load(const Complex* p, Quad (&x)[4]) { loadAcrossBlocks(Four{}, p, x); }
    static void store(Complex* p, const Quad (&y)[4]) { storeAcrossBlocks(p, y); }
    // w[l] for the blocks l >= first.
    static QuadFactor factors(const Complex* w, uint32_t first = 0) {
        if (first == 0) return ::fftplug::FFTPLUG_PATH_NS::factors(Four{}, w);
        return avx::split(_mm256_maskload_ps(&w->re, fromSample(first)));
    }
    // w[2l] for the blocks l >= first: from w[0 … 3] and w[3 … 6] as
    // factorsEven(Four) takes them, the first half left out when first >= 2.
    static QuadFactor factorsEven(const Complex* w, uint32_t first = 0) {
        if (first == 0) return ::fftplug::FFTPLUG_PATH_NS::factorsEven(Four{}, w);
        const __m256d low = _mm256_castps_pd(_mm256_maskload_ps(&w[0].re, fromSample(2 * first)));
        const __m256d high = _mm256_castps_pd(_mm256_loadu_ps(&w[3].re));
        const __m256d picked = _mm256_blend_pd(low, high, 0b1010);  // [w0, w4, w2, w6]
        return avx::split(_mm256_castpd_ps(_mm256_permute4x64_pd(picked, _MM_SHUFFLE(3, 1, 2, 0))));
    }
    // `base` with its sample `lane` taken from v.
    static Quad replaceSample(Quad base, Quad v, uint32_t lane) {
        const __m256i index = _mm256_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3);
        const __m256 pick = _mm256_castsi256_ps(_mm256_cmpeq_epi32(index, _mm256_set1_epi32(static_cast<int>(lane))));
        return {_mm256_blendv_ps(base.v, v.v, pick)};
    }

private:
    // The floats of samples `first` … 3 (sign bits set), for a masked load.
    static __m256i fromSample(uint32_t first) {
        const __m256i index = _mm256_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3);
        return _mm256_cmpgt_epi32(index, _mm256_set1_epi32(static_cast<int>(first) - 1));
    }
};

}  // namespace fftplug::FFTPLUG_PATH_NS::radix4
