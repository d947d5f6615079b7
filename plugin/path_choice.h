// The dispatching library's choice of kernels for a transform of N points,
// from the widest path (simd/paths.h) that the processor runs and the
// operating system saves. fftbench reads this same rule to name, size by
// size, the path the library took.
#pragma once

#include <stdint.h>

#include "simd/paths.h"

namespace fftplug {

// Up to 16 points a transform fills two 512-bit registers and every stage
// is narrower than one; there the AVX2 kernels are faster (1.5 to 1.8 times
// for entries 0 to 5 at N = 16 on an AMD Zen 5 core), so the AVX-512 choice
// hands those sizes to them. 32-bit code has 8 vector registers instead of
// 32, and the AVX-512 kernels' small transforms spill there: up to 64 points
// the 32-bit AVX2 kernels are faster for every entry but the radix-4 ones
// (1.1 to 1.9 times; entry 6 at 32 points 0.9, entry 7 at 64 about even; an
// AMD Zen 4 core, under Wine), which in 64-bit code gain 1.2 to 1.6 times
// from AVX-512 already there. Every path gives the same bits, so this changes
// only the speed.
#if defined(__i386__)
constexpr int32_t kLargestForAvx2 = 64;
#else
constexpr int32_t kLargestForAvx2 = 16;
#endif

constexpr KernelPath chooseKernelPath(KernelPath widest, int32_t N) {
    return widest == KernelPath::avx512 && N <= kLargestForAvx2 ? KernelPath::avx2 : widest;
}

constexpr const char* kernelPathName(KernelPath path) {
#define FFTPLUG_PATH_LABEL(name, lane, label, ...) \
    if (path == KernelPath::name) return label;
    FFTPLUG_FOR_EACH_PATH(FFTPLUG_PATH_LABEL)
#undef FFTPLUG_PATH_LABEL
    return "";
}

}  // namespace fftplug
