// The lanes of the path this unit is built for, and the loops over them.
//
// The kernels are compiled once per path (the rows of paths.h), each time
// with FFTPLUG_PATH naming the path and its instruction-set flags. They are
// written once, over the lane vocabulary (load, store, add, sub, mul, factor,
// factors, timesMinusI …): `Widest` is the widest lane of the path, the lane
// of its row, and `Narrower<L>` the next one down, which each lane names as
// its `narrower`, ending at `One`, a single Complex. A new path is one row of
// paths.h and its lane header.
#pragma once

#include <cstdint>
#include <type_traits>

#include "path.h"
#include FFTPLUG_PATH_HEADER

// Inlines a loop body or a walk where GCC would otherwise make a function of
// it per call site and pass the lane values and factors through the stack.
#define FFTPLUG_ALWAYS_INLINE __attribute__((always_inline))

namespace fftplug::FFTPLUG_PATH_NS {

// Every row's lane, declared so that the row of this unit's path can be
// picked out; only that one (and those narrower) are defined here.
#define FFTPLUG_DECLARE_LANE(name, lane, ...) struct lane;
FFTPLUG_FOR_EACH_PATH(FFTPLUG_DECLARE_LANE)
#undef FFTPLUG_DECLARE_LANE

namespace lanes {
template <KernelPath> struct WidestOf;
#define FFTPLUG_WIDEST_OF(name, lane, ...) \
    template <> struct WidestOf<KernelPath::name> { using type = lane; };
FFTPLUG_FOR_EACH_PATH(FFTPLUG_WIDEST_OF)
#undef FFTPLUG_WIDEST_OF
}  // namespace lanes

using Widest = lanes::WidestOf<KernelPath::FFTPLUG_PATH>::type;
static_assert(Widest::width >= 1, "the lane header of the path defines the lane of its row");

template <typename L>
using Narrower = typename L::narrower;

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
// samples before it stores any, then one, then narrower lanes. With
// kMostLanes = 1, one lane a step throughout.
template <typename Lane = Widest, int kMostLanes = 2, typename Body>
inline void forEachLaneUnrolled(uint32_t count, Body&& body) {
    uint32_t i = 0;
    if constexpr (Lane::width > 1 && kMostLanes >= 2) {
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

// Arrays off a line. A host's allocator may place the arrays 8 or 16 bytes
// off a 64-byte line, and then every widest lane of a stage loads and stores
// across two lines. A long enough row of samples can start its widest lanes
// on a boundary instead, the samples before it on narrower lanes: a sample's
// butterfly is the same on any lane, so only how the lanes meet memory
// changes, not the bits.

// How many widest lanes long a row must be before that pays: radix 4's blocks
// at 16 bytes off a line, timed on Zen 4, gained from 16 on; from 4 on, the
// sizes up to 2^8 lost.
constexpr uint32_t kFromLineLanes = 16;

// How many samples past the widest-lane boundary before it `row` lies (0: on
// one, or off by part of a sample, which no lane can mend).
inline uint32_t lanePhase(const Complex* row) {
    constexpr uint32_t bytes = Widest::width * sizeof(Complex);
    const uint32_t off = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(row) % bytes);
    return off % sizeof(Complex) == 0 ? off / sizeof(Complex) : 0;
}

// The samples before the first widest-lane boundary at or after `row` (0: on
// one, or off by part of a sample).
inline uint32_t samplesBeforeLine(const Complex* row) {
    const uint32_t phase = lanePhase(row);
    return phase != 0 ? Widest::width - phase : 0;
}

// Whether a row of `count` samples at `row` is run from its first boundary on:
// off a line, and at least `lanes` widest lanes long.
inline bool fromLine(const Complex* row, uint32_t count, uint32_t lanes = kFromLineLanes) {
    return Widest::width > 1 && count >= lanes * Widest::width && samplesBeforeLine(row) != 0;
}

// Whether a transform of n samples at a, off a line, is long enough to pay
// for a stage loop of its own: from 32 widest lanes on, 64 in 32-bit code
// (timed on Zen 4, the bit-reversed-table entry 16 and 8 bytes off a line:
// its blocks in phase gain from 2^8 points on in 64-bit code and lose up to
// 5 % below, where few blocks share each stage's two masked ends; in 32-bit
// code, whose eight vector registers spill the walk's carried lanes, 2^8
// still lost 6 %).
inline constexpr uint32_t kOffLineLanes = sizeof(void*) == 8 ? 32 : 64;
inline bool offLine(const Complex* a, uint64_t n) {
    return Widest::width > 1 && n >= kOffLineLanes * Widest::width && samplesBeforeLine(a) != 0;
}

// A transform's stage loop, stages(offLine, args…) with offLine a
// std::bool_constant: on arrays on a line inline, as the loop always ran; off
// a line (offLine) its own copy, out of line, so that the loop on a line
// keeps its code. `stages` captures nothing and the arguments pass by value:
// a closure of references would be built on the stack on every call, at a
// few points a fifth of the transform's time.
template <typename Stages, typename... Args>
__attribute__((noinline)) void stagesOffLine(Stages stages, Args... args) {
    stages(std::true_type{}, args...);
}
template <typename Stages, typename... Args>
FFTPLUG_ALWAYS_INLINE inline void stagesOnOrOffLine(const Complex* a, uint64_t n, Stages stages, Args... args) {
    static_assert(std::is_empty_v<Stages>, "the stage loop takes its arguments, not captures");
    if (offLine(a, n)) return stagesOffLine(stages, args...);
    stages(std::false_type{}, args...);
}

// forEachLaneUnrolled over a row, its samples before the first widest-lane
// boundary first, on narrower lanes.
template <int kMostLanes = 2, typename Body>
inline void forEachLaneFromLine(const Complex* row, uint32_t count, Body&& body) {
    const uint32_t head = samplesBeforeLine(row);
    if constexpr (Widest::width > 1)
        forEachLane<Narrower<Widest>>(head, [&](auto lane, uint32_t i) { body(lane, i, Unroll<1>{}); });
    forEachLaneUnrolled<Widest, kMostLanes>(count - head,
                                            [&](auto lane, uint32_t i, auto unroll) { body(lane, head + i, unroll); });
}

// Whether one step of a loop may hold two widest lanes of four-point
// butterflies with their factors, some 28 vector registers: where the path
// has 32 of them (AVX-512 in 64-bit code). With 16 (AVX2, SSE2) or 8
// (32-bit code) the second lane's values would go through the stack, and
// the steps take one lane.
constexpr bool kTwoButterflyLanes = Widest::width >= 8 && sizeof(void*) == 8;

// How many widest lanes of four-point butterflies whose factors are one per
// block (radix 4's and split radix's blocks) one step takes: two, so that
// the second lane's loads run ahead of the first lane's arithmetic, except in
// 32-bit code, whose eight vector registers do not hold one lane's samples
// and factors with room to spare: there the second lane's values would go
// through the stack.
constexpr int kFourPointLanesPerStep = sizeof(void*) == 8 ? 2 : 1;

// One factor for every sample of whichever lane asks: the widest lane's
// spread once, when the factor is made, a narrower lane's when it asks (the
// ends of a run narrower than the widest lane).
class Spread {
public:
    explicit Spread(Complex w) : w_(w), wide_(factor(Widest{}, w)) {}
    template <typename L>
    auto operator()(L lane) const {
        if constexpr (std::is_same_v<L, Widest>) return wide_;
        else return factor(lane, w_);
    }

private:
    Complex w_;
    decltype(factor(Widest{}, Complex{})) wide_;
};

// The product of two lane-wise factors, sample by sample as mul(Complex,
// Complex) forms it: the same four products, the same difference and sum,
// each rounded on its own (the build contracts nothing into a fused
// multiply-add).
template <typename F, typename = std::enable_if_t<F::laneFactor>>
inline F mul(F a, F w) {
    return {a.re * w.re - a.im * w.im, a.re * w.im + a.im * w.re};
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
