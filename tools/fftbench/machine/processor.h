// The instruction sets of the processor fftbench runs on, as the processor
// reports them (CPUID) and as the operating system allows them (XGETBV: the
// wide registers are usable only if the system saves them on a task switch).
// Shown by `fftbench list` and in the header of `fftbench bench`, so that a
// figure can be read against the paths the machine offers a plug-in
// (render/list_text.h).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "plugin/simd/paths.h"

namespace fftbench {

struct CpuInfo {
    bool x86 = false;                // false: no CPUID on this architecture
    std::string brand;               // "Intel(R) Xeon(R) ...", empty if the processor gives none
    std::vector<std::string> sets;   // what the processor has, oldest first: "SSE2", ..., "AVX-512VL"
    bool osSavesYmm = false;         // XCR0 bits 1 and 2: SSE and AVX state
    bool osSavesZmm = false;         // and bits 5 to 7: the AVX-512 state
    uint32_t family = 0, model = 0;  // CPUID's display family and model (AMD Zen 4: 25 and 17)
    // The widest of fftplug's paths that this machine runs, by the checks of
    // plugin/simd/paths.h, which the library applies too.
    fftplug::KernelPath widestPath = fftplug::KernelPath{};
    bool has(const std::string& set) const;
    // Present and usable: for AVX and its successors the system must also
    // save the registers they use.
    bool usable(const std::string& set) const;
};

CpuInfo detectCpu();

// "SSE2 SSE3 ... AVX2 FMA; the system saves the YMM registers", saying so
// when a set is present but unusable.
std::string describeInstructionSets(const CpuInfo& cpu);

}  // namespace fftbench
