// The ten transforms: the eight words in, the run protocol around the kernel
// of the chosen path.
//
// The dispatching library carries every path of simd/paths.h and takes the
// one that path_choice.h picks from the widest this machine runs; a
// fixed-path build (FFTPLUG_FIXED_PATH naming a row) carries that path alone.
// Every path gives the same bits, so the choice changes the speed, never a
// result.
#include <atomic>

#include "cpu.h"
#include "kernels.h"
#include "path_choice.h"
#include "protocol.h"
#include "transform.h"
#if defined(FFTPLUG_STAGES)
#include "instrument/stages.h"
#endif

namespace fftplug {

namespace {

struct KernelSet {
#define FFTPLUG_KERNEL_MEMBER(context, name, order) Kernel name;
    FFTPLUG_FOR_EACH_ENTRY(FFTPLUG_KERNEL_MEMBER, )
#undef FFTPLUG_KERNEL_MEMBER
    Copy copy;
};

#if defined(FFTPLUG_STAGES)
// The stage builds call each kernel through the point a stage mark can end it at.
#define FFTPLUG_KERNEL_OF(path, name, order) &stages::stoppable<path::name>,
#else
#define FFTPLUG_KERNEL_OF(path, name, order) path::name,
#endif
#define FFTPLUG_KERNELS_OF(path, ...) KernelSet{FFTPLUG_FOR_EACH_ENTRY(FFTPLUG_KERNEL_OF, path) path::copySamples},

#if defined(FFTPLUG_FIXED_PATH)
constexpr KernelSet kFixedPath[] = {FFTPLUG_KERNELS_OF(FFTPLUG_FIXED_PATH)};

const KernelSet& kernels(uint32_t, int32_t) { return kFixedPath[0]; }
#else
// Indexed by KernelPath.
constexpr KernelSet kPathKernels[] = {FFTPLUG_FOR_EACH_PATH(FFTPLUG_KERNELS_OF)};

// −1 until the first call has looked; then the KernelPath of the widest path
// this machine runs. Two threads that look at once find the same answer, so
// the race is harmless.
std::atomic<int> widestPath{-1};

const KernelSet& kernels(uint32_t entry, int32_t N) {
    int widest = widestPath.load(std::memory_order_relaxed);
    if (widest < 0) {
        widest = static_cast<int>(cpu::Probe{}.widestPath());
        widestPath.store(widest, std::memory_order_relaxed);
    }
    return kPathKernels[static_cast<int>(chooseKernelPath(static_cast<KernelPath>(widest), entry, N))];
}
#endif

#undef FFTPLUG_KERNELS_OF
#undef FFTPLUG_KERNEL_OF

// The catalogue index of the entry whose transform is `name`.
#define FFTPLUG_ENTRY_NAME(context, name, order) #name,
constexpr const char* kEntryNames[] = {FFTPLUG_FOR_EACH_ENTRY(FFTPLUG_ENTRY_NAME, )};
#undef FFTPLUG_ENTRY_NAME

constexpr bool sameName(const char* a, const char* b) {
    for (; *a != '\0' && *a == *b; ++a, ++b) {
    }
    return *a == *b;
}

constexpr uint32_t entryIndex(const char* name) {
    uint32_t index = 0;
    while (index < FFTPLUG_ENTRY_COUNT && !sameName(kEntryNames[index], name)) ++index;
    return index;
}

}  // namespace

// The preparation of the run protocol follows the catalogue's flag.
#define FFTPLUG_DEFINE_TRANSFORM(context, name, order)                                           \
    FFTPLUG_TRANSFORM(name) {                                                                    \
        (void)reserved1;                                                                         \
        (void)reserved2;                                                                         \
        (void)reserved3;                                                                         \
        constexpr uint32_t index = entryIndex(#name);                                            \
        static_assert(index < FFTPLUG_ENTRY_COUNT, "a row of entries.h");                        \
        const KernelSet& set = kernels(index, N);                                                \
        runProtocol(set.name, set.copy, N, input, work, table, reps,                             \
                    ((order) & FFTPLUG_FLAG_PREPARES_TABLE) != 0 ? Preparation::bitReversedTable \
                                                                 : Preparation::none);           \
    }

FFTPLUG_FOR_EACH_ENTRY(FFTPLUG_DEFINE_TRANSFORM, )

}  // namespace fftplug
