#include "cpu.h"

#include <cpuid.h>

#include <cstdint>

namespace fftplug::cpu {

namespace {

// XCR0: which register states the operating system saves.
uint64_t extendedControlRegister0() {
    uint32_t low = 0, high = 0;
    __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    return (static_cast<uint64_t>(high) << 32) | low;
}

}  // namespace

bool runsAvx2() {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) return false;
    const bool osSavesState = (ecx & bit_OSXSAVE) != 0;
    const bool avx = (ecx & bit_AVX) != 0;
    if (!osSavesState || !avx) return false;
    // SSE (bit 1) and AVX (bit 2) state saved by the operating system.
    if ((extendedControlRegister0() & 0x6) != 0x6) return false;
    if (__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) == 0) return false;
    return (ebx & bit_AVX2) != 0;
}

bool runsAvx512() {
    if (!runsAvx2()) return false;
    // SSE, AVX, the mask registers (bit 5), the upper halves of ZMM0 to 15
    // (bit 6) and ZMM16 to 31 (bit 7).
    if ((extendedControlRegister0() & 0xE6) != 0xE6) return false;
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) == 0) return false;
    const unsigned needed = bit_AVX512F | bit_AVX512DQ | bit_AVX512BW | bit_AVX512VL;
    return (ebx & needed) == needed;
}

}  // namespace fftplug::cpu
