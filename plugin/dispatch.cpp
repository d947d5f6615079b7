// The ten transforms: the eight words in, the run protocol around the kernel
// of the chosen path.
//
// The dispatching library carries every path and takes the widest one that
// the processor runs and the operating system supports; a fixed-path build
// (FFTPLUG_FIXED_PATH_SCALAR, _SSE2, _AVX2 or _AVX512) carries that path
// alone. Every
// path gives the same bits, so the choice changes the speed, never a result.
#include <atomic>

#include "cpu.h"
#include "kernels.h"
#include "path_choice.h"
#include "protocol.h"
#include "transform.h"

namespace fftplug {

namespace {

struct KernelSet {
#define FFTPLUG_KERNEL_MEMBER(transform, kernel) Kernel transform;
    FFTPLUG_FOR_EACH_KERNEL(FFTPLUG_KERNEL_MEMBER)
#undef FFTPLUG_KERNEL_MEMBER
    Copy copy;
};

#define FFTPLUG_KERNEL_OF(transform, kernel) KERNEL_PATH::kernel,

#if defined(FFTPLUG_FIXED_PATH_SCALAR) || !defined(FFTPLUG_FIXED_PATH)
#define KERNEL_PATH scalar
[[maybe_unused]] constexpr KernelSet kScalar{FFTPLUG_FOR_EACH_KERNEL(FFTPLUG_KERNEL_OF) KERNEL_PATH::copySamples};
#undef KERNEL_PATH
#endif
#if defined(FFTPLUG_FIXED_PATH_SSE2) || !defined(FFTPLUG_FIXED_PATH)
#define KERNEL_PATH sse2
[[maybe_unused]] constexpr KernelSet kSse2{FFTPLUG_FOR_EACH_KERNEL(FFTPLUG_KERNEL_OF) KERNEL_PATH::copySamples};
#undef KERNEL_PATH
#endif
#if defined(FFTPLUG_FIXED_PATH_AVX2) || !defined(FFTPLUG_FIXED_PATH)
#define KERNEL_PATH avx2
[[maybe_unused]] constexpr KernelSet kAvx2{FFTPLUG_FOR_EACH_KERNEL(FFTPLUG_KERNEL_OF) KERNEL_PATH::copySamples};
#undef KERNEL_PATH
#endif
#if defined(FFTPLUG_FIXED_PATH_AVX512) || !defined(FFTPLUG_FIXED_PATH)
#define KERNEL_PATH avx512
[[maybe_unused]] constexpr KernelSet kAvx512{FFTPLUG_FOR_EACH_KERNEL(FFTPLUG_KERNEL_OF) KERNEL_PATH::copySamples};
#undef KERNEL_PATH
#endif

#if !defined(FFTPLUG_FIXED_PATH)
// 0 until the first call has looked; then 1 for SSE2, 2 for AVX2, 3 for
// AVX-512. Two threads that look at once find the same answer, so the race
// is harmless.
std::atomic<int> widestPath{0};

const KernelSet& detectKernels(int32_t N) {
    int widest = widestPath.load(std::memory_order_relaxed);
    if (widest == 0) {
        widest = cpu::runsAvx512() ? 3 : cpu::runsAvx2() ? 2 : 1;
        widestPath.store(widest, std::memory_order_relaxed);
    }
    switch (chooseKernelPath(widest == 3, widest >= 2, N)) {
        case KernelPath::avx512: return kAvx512;
        case KernelPath::avx2: return kAvx2;
        default: return kSse2;
    }
}
#endif

const KernelSet& kernels([[maybe_unused]] int32_t N) {
#if defined(FFTPLUG_FIXED_PATH_SCALAR)
    return kScalar;
#elif defined(FFTPLUG_FIXED_PATH_SSE2)
    return kSse2;
#elif defined(FFTPLUG_FIXED_PATH_AVX2)
    return kAvx2;
#elif defined(FFTPLUG_FIXED_PATH_AVX512)
    return kAvx512;
#else
    return detectKernels(N);
#endif
}

}  // namespace

#define FFTPLUG_DEFINE_TRANSFORM(transform, preparation)                                         \
    FFTPLUG_TRANSFORM(transform) {                                                               \
        (void)reserved1;                                                                         \
        (void)reserved2;                                                                         \
        (void)reserved3;                                                                         \
        const KernelSet& set = kernels(N);                                                       \
        runProtocol(set.transform, set.copy, N, input, work, table, reps, preparation);          \
    }

// Entries 0 to 2 read the table as the host built it; 3 to 9 prepare it.
FFTPLUG_DEFINE_TRANSFORM(ditRadix2, Preparation::none)
FFTPLUG_DEFINE_TRANSFORM(ditRadix2Half, Preparation::none)
FFTPLUG_DEFINE_TRANSFORM(difRadix2, Preparation::none)
FFTPLUG_DEFINE_TRANSFORM(difRadix2Reversed, Preparation::bitReversedTable)
FFTPLUG_DEFINE_TRANSFORM(difRadix2Recursive, Preparation::bitReversedTable)
FFTPLUG_DEFINE_TRANSFORM(difRadix2Special, Preparation::bitReversedTable)
FFTPLUG_DEFINE_TRANSFORM(difRadix4, Preparation::bitReversedTable)
FFTPLUG_DEFINE_TRANSFORM(difRadix4Special, Preparation::bitReversedTable)
FFTPLUG_DEFINE_TRANSFORM(splitRadix, Preparation::bitReversedTable)
FFTPLUG_DEFINE_TRANSFORM(splitRadixSpecial, Preparation::bitReversedTable)

}  // namespace fftplug
