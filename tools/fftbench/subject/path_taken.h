// The path a plug-in of fftplug's own takes on this processor: the kernels
// it runs at each size, known from the library's file name or, for the
// dispatching library, from its own rule of choice.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "machine/processor.h"

namespace fftbench {

// The kernels entry `entry` of a plug-in of fftplug's own runs at N on this
// processor, by
// the label of their path in plugin/simd/paths.h: "scalar", "SSE2", "AVX2",
// "AVX-512" … A fixed-path library is known by its file name
// (libfftplug-avx2, fftplug-sse2.dll …); the dispatching one (libfftplug,
// fftplug.dll) by the library's own rule of choice (plugin/path_choice.h)
// over cpu.widestPath. nullopt for any
// other plug-in.
std::optional<std::string> kernelPathOf(const std::string& pluginLabel, const CpuInfo& cpu, uint32_t entry,
                                        uint32_t N);

// The paths the plug-ins labelled `labels` take for any of `entries`
// (catalogue indices) over `sizes`, narrowest first, each with the sizes it is taken at; paths no plug-in takes are left
// out.
std::vector<std::pair<std::string, std::vector<uint32_t>>> pathsTaken(const std::vector<std::string>& labels,
                                                                      const std::vector<uint32_t>& entries,
                                                                      const std::vector<uint32_t>& sizes,
                                                                      const CpuInfo& cpu);

}  // namespace fftbench
