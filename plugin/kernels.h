// The kernels of the ten entries: a transform of `work` in place for N points,
// twiddles from `table`. Each is built once per path, in the namespace of
// that path (fftplug::scalar, ::sse2, ::avx2, ::avx512); the dispatch
// chooses a path and the run protocol calls its kernel.
#pragma once

#include <fftplug/fftplug.h>

namespace fftplug {

using Kernel = void (*)(Complex* work, const Complex* table, int32_t N);

// The kernels in catalogue order, as X(transform, kernel).
#define FFTPLUG_FOR_EACH_KERNEL(X)                                                               \
    X(ditRadix2, ditRadix2Kernel)                                                                \
    X(ditRadix2Half, ditRadix2HalfKernel)                                                        \
    X(difRadix2, difRadix2Kernel)                                                                \
    X(difRadix2Reversed, difRadix2ReversedKernel)                                                \
    X(difRadix2Recursive, difRadix2RecursiveKernel)                                              \
    X(difRadix2Special, difRadix2SpecialKernel)                                                  \
    X(difRadix4, difRadix4Kernel)                                                                \
    X(difRadix4Special, difRadix4SpecialKernel)                                                  \
    X(splitRadix, splitRadixKernel)                                                              \
    X(splitRadixSpecial, splitRadixSpecialKernel)

#define FFTPLUG_DECLARE_KERNEL(transform, kernel) void kernel(Complex* work, const Complex* table, int32_t N);

#define FFTPLUG_DECLARE_PATH_KERNELS(path)                                                       \
    namespace path {                                                                             \
    FFTPLUG_FOR_EACH_KERNEL(FFTPLUG_DECLARE_KERNEL)                                              \
    /* The recursive worker of entry 4: transforms block (blockSize, blockIndex). */             \
    void difRadix2Split(int32_t blockSize, int32_t blockIndex, Complex* work, const Complex* table); \
    }

FFTPLUG_DECLARE_PATH_KERNELS(scalar)
FFTPLUG_DECLARE_PATH_KERNELS(sse2)
FFTPLUG_DECLARE_PATH_KERNELS(avx2)
FFTPLUG_DECLARE_PATH_KERNELS(avx512)

}  // namespace fftplug
