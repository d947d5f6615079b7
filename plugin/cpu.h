// What the processor reports (CPUID) and the operating system saves across
// context switches (XCR0, read by XGETBV), as the checks of the rows of
// simd/paths.h ask it. fftbench reads the same checks to name the path the
// dispatching library takes.
#pragma once

#include <cpuid.h>
#include <stdint.h>

#include "simd/paths.h"

namespace fftplug::cpu {

enum Register { eax, ebx, ecx, edx };

struct Probe {
    // True when CPUID has leaf `leaf` and sets every one of `bits` in `reg`
    // of its subleaf `subleaf`.
    bool has(uint32_t leaf, uint32_t subleaf, Register reg, uint32_t bits) const {
        unsigned words[4] = {0, 0, 0, 0};
        if (__get_cpuid_count(leaf, subleaf, &words[eax], &words[ebx], &words[ecx], &words[edx]) == 0) return false;
        return (words[reg] & bits) == bits;
    }

    // True when the system has XGETBV on (OSXSAVE) and saves every register
    // state of `bits` (XCR0: 0x2 SSE, 0x4 AVX, 0xE0 the AVX-512 state).
    bool saves(uint64_t bits) const {
        if (!has(1, 0, ecx, bit_OSXSAVE)) return false;
        uint32_t low = 0, high = 0;
        __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
        const uint64_t saved = (static_cast<uint64_t>(high) << 32) | low;
        return (saved & bits) == bits;
    }

    // The check of the row of `path` in simd/paths.h.
    bool runs(KernelPath path) const {
#define FFTPLUG_PATH_RUNS(name, lane, label, flags, check) \
    if (path == KernelPath::name) return check;
        FFTPLUG_FOR_EACH_PATH(FFTPLUG_PATH_RUNS)
#undef FFTPLUG_PATH_RUNS
        return false;
    }

    // The last row of simd/paths.h whose check this machine passes.
    KernelPath widestPath() const {
        KernelPath widest = KernelPath{};
#define FFTPLUG_PATH_IF_RUNS(name, ...) \
    if (runs(KernelPath::name)) widest = KernelPath::name;
        FFTPLUG_FOR_EACH_PATH(FFTPLUG_PATH_IF_RUNS)
#undef FFTPLUG_PATH_IF_RUNS
        return widest;
    }
};

}  // namespace fftplug::cpu
