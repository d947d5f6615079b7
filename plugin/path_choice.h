// The dispatching library's choice of kernels for a transform of N points,
// from what the processor runs and the operating system saves. fftbench
// reads this same rule to name, size by size, the path the library took.
#pragma once

#include <stdint.h>

namespace fftplug {

enum class KernelPath { scalar, sse2, avx2, avx512 };

// Up to 16 points a transform fills two 512-bit registers and every stage
// is narrower than one; there the AVX2 kernels are faster (1.5 to 1.8 times
// for entries 0 to 5 at N = 16 on an AMD Zen 5 core), so the AVX-512 choice
// hands those sizes to them. Every path gives the same bits, so this changes
// only the speed.
constexpr int32_t kLargestForAvx2 = 16;

// The widest path the machine runs, AVX-512 before AVX2 before SSE2 (which
// every x86-64 processor and every 32-bit Windows host of this library has).
constexpr KernelPath chooseKernelPath(bool runsAvx512, bool runsAvx2, int32_t N) {
    if (runsAvx512) return N > kLargestForAvx2 ? KernelPath::avx512 : KernelPath::avx2;
    return runsAvx2 ? KernelPath::avx2 : KernelPath::sse2;
}

constexpr const char* kernelPathName(KernelPath path) {
    return path == KernelPath::avx512 ? "AVX-512" : path == KernelPath::avx2 ? "AVX2"
                                                  : path == KernelPath::sse2 ? "SSE2" : "scalar";
}

}  // namespace fftplug
