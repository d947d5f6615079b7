// The lanes of the path this unit is built for, and the loops over them.
//
// The kernels are compiled once per path (scalar, SSE2, AVX2, AVX-512), each
// time with FFTPLUG_PATH_SCALAR, _SSE2, _AVX2 or _AVX512 defined and the
// matching instruction-set flags. They are written once, over the lane
// vocabulary (load, store, add, sub, mul, factor, factors, timesMinusI …):
// `Widest` is the widest lane of the path, `Narrower<L>` the next one down,
// ending at `One`, a single Complex. A wider path is one more header and one
// more branch here.
#pragma once

#include <cstdint>

#include "path.h"
#if defined(FFTPLUG_PATH_AVX512)
#include "avx512.h"
#elif defined(FFTPLUG_PATH_AVX2)
#include "avx2.h"
#elif defined(FFTPLUG_PATH_SSE2)
#include "sse2.h"
#else
#include "scalar.h"
#endif

namespace fftplug::FFTPLUG_PATH_NS {

#if defined(FFTPLUG_PATH_AVX512)
using Widest = Eight;
#elif defined(FFTPLUG_PATH_AVX2)
using Widest = Four;
#elif defined(FFTPLUG_PATH_SSE2)
using Widest = Two;
#else
using Widest = One;
#endif

namespace lanes {
template <typename L> struct NarrowerOf;
template <> struct NarrowerOf<One> { using type = One; };
#if defined(FFTPLUG_PATH_SSE2) || defined(FFTPLUG_PATH_AVX2) || defined(FFTPLUG_PATH_AVX512)
template <> struct NarrowerOf<Two> { using type = One; };
#endif
#if defined(FFTPLUG_PATH_AVX2) || defined(FFTPLUG_PATH_AVX512)
template <> struct NarrowerOf<Four> { using type = Two; };
#endif
#if defined(FFTPLUG_PATH_AVX512)
template <> struct NarrowerOf<Eight> { using type = Four; };
#endif
}  // namespace lanes

template <typename L>
using Narrower = typename lanes::NarrowerOf<L>::type;

// The samples of a lane, as a value: Complex, Pair, Quad or Oct.
template <typename L>
using Samples = decltype(load(L{}, static_cast<const Complex*>(nullptr)));

// Runs body(lane, i) for i = 0 … count − 1, `Lane` wide while a whole lane
// is left, then the rest on ever narrower lanes.
template <typename Lane = Widest, typename Body>
inline void forEachLane(uint32_t count, Body&& body) {
    uint32_t i = 0;
    for (; i + Lane::width <= count; i += Lane::width) body(Lane{}, i);
    if constexpr (Lane::width > 1) {
        if (i < count) {
            forEachLane<Narrower<Lane>>(count - i, [&](auto lane, uint32_t k) { body(lane, i + k); });
        }
    }
}

// How many lanes side by side one step of a loop handles.
template <int U>
struct Unroll {
    static constexpr int count = U;
};

// Runs body(lane, i, unroll) over i = 0 … count − 1: two `Lane`-wide lanes a
// step while they fit (unroll = Unroll<2>), so that a step loads all its
// samples before it stores any, then one, then narrower lanes.
template <typename Lane = Widest, typename Body>
inline void forEachLaneUnrolled(uint32_t count, Body&& body) {
    uint32_t i = 0;
    if constexpr (Lane::width > 1) {
        for (; i + 2 * Lane::width <= count; i += 2 * Lane::width) body(Lane{}, i, Unroll<2>{});
        if (i == count) return;  // the common case: count a multiple of two lanes
    }
    for (; i + Lane::width <= count; i += Lane::width) body(Lane{}, i, Unroll<1>{});
    if constexpr (Lane::width > 1) {
        if (i < count) {
            forEachLane<Narrower<Lane>>(count - i, [&](auto lane, uint32_t k) { body(lane, i + k, Unroll<1>{}); });
        }
    }
}

// d·(1 − i)·c = ((d.re + d.im)·c, (d.im − d.re)·c), the factor W(8, 1)
template <typename V>
inline V timesW8(V d) {
    return scale(add(d, timesMinusI(d)), kSqrtHalf);
}
// d·(−1 − i)·c = ((d.im − d.re)·c, (−d.re − d.im)·c), the factor W(8, 3)
template <typename V>
inline V timesW8Cubed(V d) {
    return scale(sub(timesMinusI(d), d), kSqrtHalf);
}

}  // namespace fftplug::FFTPLUG_PATH_NS

#include "core.h"
