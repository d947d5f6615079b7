// The SSE2 lane's own moves for split radix (see the traits in
// splitradix.h, which includes this file after them).
#pragma once

namespace fftplug::FFTPLUG_PATH_NS::splitradix {

// The members of a lane of two samples at p: both, or one alone by a 64-bit
// load and store; the other sample reads as zero and is never touched. So a
// run of O(q) that ends in a single offset takes it on this lane with the
// rest, not on a scalar step of its own.
template <>
struct MemberMoves<Two> {
    static constexpr bool available = true;
    template <uint32_t Bits>
    static Pair load(const Complex* p, Members<Bits>) {
        if constexpr (Bits == 3) return {_mm_loadu_ps(&p->re)};
        else if constexpr (Bits == 1) return {sse::loadSample(p)};
        else if constexpr (Bits == 2) return {_mm_loadh_pi(_mm_setzero_ps(), reinterpret_cast<const __m64*>(p + 1))};
        else return {_mm_setzero_ps()};
    }
    template <uint32_t Bits>
    static void store(Complex* p, Members<Bits>, Pair v) {
        if constexpr (Bits == 3) _mm_storeu_ps(&p->re, v.v);
        else if constexpr (Bits == 1) _mm_storel_pi(reinterpret_cast<__m64*>(p), v.v);
        else if constexpr (Bits == 2) _mm_storeh_pi(reinterpret_cast<__m64*>(p + 1), v.v);
    }
};

// Entry 9's lane of blocks 0 and 1: sample 0 from `first`, sample 1 from
// `second`; `rest`, for lanes of more samples, has none left here, and
// there are no general blocks to take factors.
template <>
struct FromBlockZero<Two> {
    static constexpr bool available = true;
    static Pair pickFirstTwo(Pair first, Pair second, Pair) {
        return {_mm_castpd_ps(_mm_move_sd(_mm_castps_pd(second.v), _mm_castps_pd(first.v)))};
    }
};

}  // namespace fftplug::FFTPLUG_PATH_NS::splitradix
