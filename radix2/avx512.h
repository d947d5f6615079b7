// The radix-2 moves of the eight-sample lane that only this family uses.
#pragma once

namespace fftplug::FFTPLUG_PATH_NS::radix2 {

// blockFactorsFrom for half-span 1: the eight blocks' factors by one masked
// load (the entries of blocks before `first` are not read) and the spreads
// of blockFactors(Eight, Span<1>, …), in its block order 0, 4, 1, 5 ….
inline OctFactor blockFactorsFrom(Eight, Span<1>, const Complex* w, uint32_t first) {
    return avx512::spreadBlocksOfSpanOne(
        _mm512_maskz_loadu_ps(static_cast<__mmask16>(0xFFFFu << (2 * first)), &w->re));
}

}  // namespace fftplug::FFTPLUG_PATH_NS::radix2
