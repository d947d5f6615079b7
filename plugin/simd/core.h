// The fixed core that every lane of every path provides, checked when the
// path is compiled: a lane header that lacks one of these operations stops
// the build here, with the name of what is missing, instead of failing deep
// inside a kernel or, worse, falling back to something that compiles.
//
// For every lane L (Widest down to One), V its samples, F its factor:
//   load(L, p), store(p, V)                       the samples of the lane
//   add, sub (V, V), scale(V, float), mul(V, F)   arithmetic, nothing fused
//   timesMinusI(V), subTimesI(V, V), addTimesI(V, V)  the ±i exchanges
//   factor(L, Complex), factors(L, p), factorsStrided(L, p, stride),
//   factorsEven(L, p)                             factors: one, lane-wise
//   loadStrided(L, p, stride), storeStrided(p, stride, V)  one sample a stride
//   loadAcrossBlocks(L, p, V[4]), storeAcrossBlocks(p, V[4])  W blocks of four
// and for every half-span H narrower than a lane of two or more samples:
//   loadHalves, storeHalves, blockFactors, offsetFactors, pickBlocks
// (the narrow radix-2 stages).
#pragma once

#include <type_traits>

namespace fftplug::FFTPLUG_PATH_NS {
namespace core {

template <typename L>
struct Of {
    using V = decltype(load(L{}, static_cast<const Complex*>(nullptr)));
    using F = decltype(factor(L{}, Complex{}));
    static V v();
    static F f();
    static Complex* p();
    static V (&four())[4];
};

#define FFTPLUG_CORE_TRAIT(name, ...)                                                             \
    template <typename L, typename = void>                                                        \
    struct name : std::false_type {};                                                             \
    template <typename L>                                                                         \
    struct name<L, std::void_t<__VA_ARGS__>> : std::true_type {};

FFTPLUG_CORE_TRAIT(LoadsAndStores, decltype(store(Of<L>::p(), Of<L>::v())))
FFTPLUG_CORE_TRAIT(Arithmetic, decltype(add(Of<L>::v(), Of<L>::v())), decltype(sub(Of<L>::v(), Of<L>::v())),
                   decltype(scale(Of<L>::v(), 1.0f)), decltype(mul(Of<L>::v(), Of<L>::f())))
FFTPLUG_CORE_TRAIT(Exchanges, decltype(timesMinusI(Of<L>::v())), decltype(subTimesI(Of<L>::v(), Of<L>::v())),
                   decltype(addTimesI(Of<L>::v(), Of<L>::v())))
FFTPLUG_CORE_TRAIT(FactorLoads, decltype(factors(L{}, Of<L>::p())), decltype(factorsStrided(L{}, Of<L>::p(), 1u)),
                   decltype(factorsEven(L{}, Of<L>::p())))
FFTPLUG_CORE_TRAIT(StridedMoves, decltype(loadStrided(L{}, Of<L>::p(), 1u)),
                   decltype(storeStrided(Of<L>::p(), 1u, Of<L>::v())))
FFTPLUG_CORE_TRAIT(AcrossBlocks, decltype(loadAcrossBlocks(L{}, Of<L>::p(), Of<L>::four())),
                   decltype(storeAcrossBlocks(Of<L>::p(), Of<L>::four())))

template <typename L, uint32_t H, typename = void>
struct SpanMoves : std::false_type {};
template <typename L, uint32_t H>
struct SpanMoves<L, H,
                 std::void_t<decltype(loadHalves(L{}, Span<H>{}, Of<L>::p())),
                             decltype(storeHalves(Of<L>::p(), Span<H>{}, Of<L>::v(), Of<L>::v())),
                             decltype(blockFactors(L{}, Span<H>{}, Of<L>::p())),
                             decltype(offsetFactors(L{}, Span<H>{}, Of<L>::p(), 1u)),
                             decltype(pickBlocks(L{}, Span<H>{}, static_cast<const typename Of<L>::V*>(nullptr)))>>
    : std::true_type {};

#undef FFTPLUG_CORE_TRAIT

template <typename L, uint32_t H = 1>
constexpr bool hasSpanMoves() {
    if constexpr (H < L::width) return SpanMoves<L, H>::value && hasSpanMoves<L, 2 * H>();
    return true;
}

// True when lane L and every narrower one provide the core.
template <typename L>
constexpr bool checked() {
    static_assert(LoadsAndStores<L>::value, "a lane lacks load(lane, p) or store(p, v)");
    static_assert(Arithmetic<L>::value, "a lane lacks add, sub, scale or mul(v, factor)");
    static_assert(Exchanges<L>::value, "a lane lacks timesMinusI, subTimesI or addTimesI");
    static_assert(FactorLoads<L>::value, "a lane lacks factors, factorsStrided or factorsEven");
    static_assert(StridedMoves<L>::value, "a lane lacks loadStrided or storeStrided");
    static_assert(AcrossBlocks<L>::value, "a lane lacks loadAcrossBlocks or storeAcrossBlocks");
    static_assert(hasSpanMoves<L>(), "a lane lacks one of loadHalves, storeHalves, blockFactors, "
                                     "offsetFactors, pickBlocks for a half-span narrower than itself");
    if constexpr (L::width > 1) return checked<Narrower<L>>();
    return true;
}

}  // namespace core

static_assert(core::checked<Widest>(), "the path's lanes provide the core");

}  // namespace fftplug::FFTPLUG_PATH_NS
