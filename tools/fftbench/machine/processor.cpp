#include "machine/processor.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstdint>
#include <cstring>


#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>

#include "plugin/cpu.h"
#define FFTBENCH_X86 1
#endif

namespace fftbench {

namespace {

bool isWide(const std::string& set) { return set.rfind("AVX", 0) == 0 || set == "FMA" || set == "F16C"; }
bool isAvx512(const std::string& set) { return set.rfind("AVX-512", 0) == 0; }

#if defined(FFTBENCH_X86)
struct Registers {
    uint32_t eax = 0, ebx = 0, ecx = 0, edx = 0;
};

Registers cpuid(uint32_t leaf, uint32_t subleaf = 0) {
    Registers r;
    if (__get_cpuid_max(leaf & 0x80000000u, nullptr) < leaf) return r;
    __cpuid_count(leaf, subleaf, r.eax, r.ebx, r.ecx, r.edx);
    return r;
}

// XGETBV with ECX = 0, written out so that no -mxsave is needed.
uint64_t xcr0() {
    uint32_t low = 0, high = 0;
    __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    return (static_cast<uint64_t>(high) << 32) | low;
}

bool bit(uint32_t word, unsigned n) { return ((word >> n) & 1u) != 0; }
#endif

}  // namespace

bool CpuInfo::has(const std::string& set) const { return std::find(sets.begin(), sets.end(), set) != sets.end(); }

bool CpuInfo::usable(const std::string& set) const {
    if (!has(set)) return false;
    if (isAvx512(set)) return osSavesZmm;
    if (isWide(set)) return osSavesYmm;
    return true;
}

CpuInfo detectCpu() {
    CpuInfo cpu;
#if defined(FFTBENCH_X86)
    cpu.x86 = true;
    const Registers one = cpuid(1);
    // Family and model as the processor's documentation numbers them: the
    // extended fields count only where the base family is 15 (and 6 for
    // the model).
    const uint32_t baseFamily = (one.eax >> 8) & 0xF, baseModel = (one.eax >> 4) & 0xF;
    cpu.family = baseFamily == 15 ? baseFamily + ((one.eax >> 20) & 0xFF) : baseFamily;
    cpu.model = baseFamily == 15 || baseFamily == 6 ? baseModel | (((one.eax >> 16) & 0xF) << 4) : baseModel;
    const Registers seven = cpuid(7, 0);
    const struct {
        const char* name;
        uint32_t word;
        unsigned bit;
    } known[] = {
        {"SSE2", one.edx, 26},      {"SSE3", one.ecx, 0},       {"SSSE3", one.ecx, 9},
        {"SSE4.1", one.ecx, 19},    {"SSE4.2", one.ecx, 20},    {"AVX", one.ecx, 28},
        {"AVX2", seven.ebx, 5},     {"FMA", one.ecx, 12},       {"AVX-512F", seven.ebx, 16},
        {"AVX-512DQ", seven.ebx, 17}, {"AVX-512BW", seven.ebx, 30}, {"AVX-512VL", seven.ebx, 31},
    };
    for (const auto& set : known)
        if (bit(set.word, set.bit)) cpu.sets.emplace_back(set.name);
    cpu.widestPath = fftplug::cpu::Probe{}.widestPath();
    // XGETBV exists only where the system has turned on OSXSAVE.
    if (bit(one.ecx, 27)) {
        const uint64_t saved = xcr0();
        cpu.osSavesYmm = (saved & 0x6) == 0x6;
        cpu.osSavesZmm = cpu.osSavesYmm && (saved & 0xe0) == 0xe0;
    }
    if (cpuid(0x80000000u).eax >= 0x80000004u) {
        char brand[49] = {};
        for (uint32_t i = 0; i < 3; ++i) {
            const Registers r = cpuid(0x80000002u + i);
            const uint32_t words[4] = {r.eax, r.ebx, r.ecx, r.edx};
            std::memcpy(brand + 16 * i, words, 16);
        }
        cpu.brand = brand;
        const size_t first = cpu.brand.find_first_not_of(' ');
        cpu.brand = first == std::string::npos ? std::string() : cpu.brand.substr(first);
        while (!cpu.brand.empty() && cpu.brand.back() == ' ') cpu.brand.pop_back();
    }
#endif
    return cpu;
}

std::string describeInstructionSets(const CpuInfo& cpu) {
    if (!cpu.x86) return "not an x86 processor: not detected";
    std::string text;
    for (const std::string& set : cpu.sets) text += (text.empty() ? "" : " ") + set;
    if (text.empty()) text = "none of SSE2 and later";
    const bool wide = std::any_of(cpu.sets.begin(), cpu.sets.end(), isWide);
    const bool avx512 = std::any_of(cpu.sets.begin(), cpu.sets.end(), isAvx512);
    if (!wide) return text;
    if (!cpu.osSavesYmm) return text + "; the system does not save the YMM registers: AVX and later unusable";
    if (!avx512) return text + "; the system saves the YMM registers";
    if (!cpu.osSavesZmm) return text + "; the system saves the YMM registers but not the ZMM registers: AVX-512 unusable";
    return text + "; the system saves the YMM and ZMM registers";
}

}  // namespace fftbench
