// The AVX2 lane's own moves for split radix (see the traits in
// splitradix.h, which includes this file after them), with the SSE2 lane's
// for the narrower lane and for each half of a partly filled lane.
#pragma once

#include "sse2.h"

namespace fftplug::FFTPLUG_PATH_NS::splitradix {

// The members of a lane at p; the other samples read as zero and are never
// touched. The lower half is loaded as it is, the upper half's members are
// spread by a broadcast load and blended in, with no shuffle (inserting a
// 128-bit half took two a lane); the stores go a half at a time (a masked
// store, vmaskmovps, doubled the whole transform's time on a Zen 4).
template <>
struct MemberMoves<Four> {
    static constexpr bool available = true;
    template <uint32_t Bits>
    static Quad load(const Complex* p, Members<Bits>) {
        const __m256 lo = _mm256_zextps128_ps256(Half::load(p, Members<Bits & 3>{}).v);
        constexpr uint32_t high = (Bits >> 2) & 3;
        if constexpr (high == 0) return {lo};
        else return {_mm256_blend_ps(lo, spreadHigh<high>(p + 2), high == 3 ? 0xF0 : high == 2 ? 0xC0 : 0x30)};
    }
    template <uint32_t Bits>
    static void store(Complex* p, Members<Bits>, Quad v) {
        Half::store(p, Members<Bits & 3>{}, Pair{_mm256_castps256_ps128(v.v)});
        if constexpr ((Bits >> 2) != 0)
            Half::store(p + 2, Members<(Bits >> 2) & 3>{}, Pair{_mm256_extractf128_ps(v.v, 1)});
    }

private:
    using Half = MemberMoves<Two>;
    // The members among samples 2 and 3 (bits 0 and 1 of Bits, p at sample
    // 2), each spread over the lane by a broadcast load that reads nothing
    // else, for load's blend to take into the upper half.
    template <uint32_t Bits>
    static __m256 spreadHigh(const Complex* p) {
        if constexpr (Bits == 3) return _mm256_broadcast_ps(reinterpret_cast<const __m128*>(p));
        else return spreadSample(Bits == 1 ? p : p + 1);
    }
    // One sample (its 8 bytes as one 64-bit element) in all four of a lane.
    // Through a 64-bit load rather than _mm256_broadcast_sd, which some
    // compilers' headers read through a double pointer that a Complex array
    // need not align.
    static __m256 spreadSample(const Complex* p) {
        return _mm256_castpd_ps(_mm256_broadcastsd_pd(_mm_castps_pd(sse::loadSample(p))));
    }
};

// Entry 9's lane of blocks 0 … 3: the general blocks' factors from the
// entries of blocks 2 and 3 alone, and the samples picked by blends.
template <>
struct FromBlockZero<Four> {
    static constexpr bool available = true;
    static QuadFactor factorsPastTwo(const Complex* w) {
        return avx::split(_mm256_insertf128_ps(_mm256_setzero_ps(), _mm_loadu_ps(&w[2].re), 1));
    }
    static QuadFactor factorsEvenPastTwo(const Complex* w) {
        const __m128 v = _mm_movelh_ps(sse::loadSample(w + 4), sse::loadSample(w + 6));
        return avx::split(_mm256_insertf128_ps(_mm256_setzero_ps(), v, 1));
    }
    static Quad pickFirstTwo(Quad first, Quad second, Quad rest) {
        const __m256d upToOne = _mm256_blend_pd(_mm256_castps_pd(rest.v), _mm256_castps_pd(second.v), 0b0010);
        return {_mm256_castpd_ps(_mm256_blend_pd(upToOne, _mm256_castps_pd(first.v), 0b0001))};
    }
};

}  // namespace fftplug::FFTPLUG_PATH_NS::splitradix
