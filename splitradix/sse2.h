// The SSE2 lane's own moves for split radix (see the traits in
// splitradix.h, which includes this file after them).
#pragma once

namespace fftplug::FFTPLUG_PATH_NS::splitradix {

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
