// The kernels of the ten entries: a transform of `work` in place for N points,
// twiddles from `table`. Each is built once per path, in the namespace of
// that path (a row of simd/paths.h), under its entry's name (entries.h); the
// dispatch chooses a path and the run protocol calls its kernel.
#pragma once

#include <fftplug/fftplug.h>

#include "entries.h"
#include "simd/paths.h"

namespace fftplug {

using Kernel = void (*)(Complex* work, const Complex* table, int32_t N);

// The blocks of b samples in n, for a stage loop that counts b in 64 bits
// (so that b·4 past the last stage cannot wrap): b <= n < 2^31 there, so a
// 32-bit quotient is exact, and 32-bit code needs no call to the compiler's
// 64-bit division routine once a stage.
inline uint32_t blocksIn(uint64_t n, uint64_t b) { return static_cast<uint32_t>(n) / static_cast<uint32_t>(b); }

#define FFTPLUG_DECLARE_KERNEL(path, name, order) void name(Complex* work, const Complex* table, int32_t N);

#define FFTPLUG_DECLARE_PATH_KERNELS(path, ...)                                                  \
    namespace path {                                                                             \
    FFTPLUG_FOR_EACH_ENTRY(FFTPLUG_DECLARE_KERNEL, path)                                         \
    /* The recursive worker of entry 4: transforms block (blockSize, blockIndex). */             \
    void difRadix2Split(int32_t blockSize, int32_t blockIndex, Complex* work, const Complex* table); \
    }

FFTPLUG_FOR_EACH_PATH(FFTPLUG_DECLARE_PATH_KERNELS)

#undef FFTPLUG_DECLARE_PATH_KERNELS
#undef FFTPLUG_DECLARE_KERNEL

}  // namespace fftplug
