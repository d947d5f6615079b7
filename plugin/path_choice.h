// The dispatching library's choice of kernels for an entry's transform of N
// points, from the widest path (simd/paths.h) that the processor runs and the
// operating system saves. fftbench reads this same rule to name, entry by
// entry and size by size, the path the library took.
#pragma once

#include <stdint.h>

#include <fftplug/fftplug.h>

#include "simd/paths.h"

namespace fftplug {

// Small transforms fill few 512-bit registers and most of their stages are
// narrower than one; there the AVX2 kernels are faster, and the AVX-512
// choice hands them sizes up to kLargestForAvx2[entry], a bound per entry in
// catalogue order. On an AMD Zen 4 core (family 25, model 17), transforms
// timed side by side in one process: at 32 and 64 points the AVX2 kernels
// take 0.70 to 0.95 of the AVX-512 ones' time for entries 0 to 5, 8 and 9
// (at 16 points 0.6 to 0.9 on Zen 4 and 0.55 to 0.65 for entries 0 to 5 on
// an AMD Zen 5 core), and at 128 points the two are within a few per cent
// either way. The radix-4 entries have first-stage layouts of their own on
// the 512-bit lane: from 32 points on AVX-512 runs them about as fast as
// AVX2 (entry 7 at 32 points 8 % ahead, entry 6 at 32 and 64 points 2 to 4 %
// behind), and from 128 points on faster. 32-bit code has 8 vector
// registers instead of 32, and the AVX-512 kernels' small transforms spill
// there: up to 64 points the 32-bit AVX2 kernels are 1.05 to 1.9 times as
// fast for every entry (Zen 4, under Wine), so that build hands every
// entry's transforms up to 64 points to AVX2. Every path gives the same
// bits, so this changes only the speed.
#if defined(__i386__)
constexpr int32_t kLargestForAvx2[] = {64, 64, 64, 64, 64, 64, 64, 64, 64, 64};
#else
constexpr int32_t kLargestForAvx2[] = {64, 64, 64, 64, 64, 64, 16, 16, 64, 64};
#endif
static_assert(sizeof kLargestForAvx2 / sizeof kLargestForAvx2[0] == FFTPLUG_ENTRY_COUNT,
              "one bound for each entry that runEntry runs");

// The kernels entry `entry` (a catalogue index) runs at N points.
constexpr KernelPath chooseKernelPath(KernelPath widest, uint32_t entry, int32_t N) {
    return widest == KernelPath::avx512 && entry < FFTPLUG_ENTRY_COUNT && N <= kLargestForAvx2[entry] ? KernelPath::avx2
                                                                                                      : widest;
}

constexpr const char* kernelPathName(KernelPath path) {
#define FFTPLUG_PATH_LABEL(name, lane, label, ...) \
    if (path == KernelPath::name) return label;
    FFTPLUG_FOR_EACH_PATH(FFTPLUG_PATH_LABEL)
#undef FFTPLUG_PATH_LABEL
    return "";
}

}  // namespace fftplug
