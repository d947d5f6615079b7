#include "subject/path_taken.h"

#include <algorithm>

#include "plugin/path_choice.h"

namespace fftbench {

std::optional<std::string> kernelPathOf(const std::string& pluginLabel, const CpuInfo& cpu, uint32_t entry,
                                        uint32_t N) {
    // A label made unique in a run ("libfftplug#2") names the same library.
    std::string stem = pluginLabel.substr(0, pluginLabel.find('#'));
    if (stem.rfind("lib", 0) == 0) stem = stem.substr(3);
#define FFTBENCH_FIXED_PATH(name, lane, label, ...) \
    if (stem == "fftplug-" #name) return std::string(label);
    FFTPLUG_FOR_EACH_PATH(FFTBENCH_FIXED_PATH)
#undef FFTBENCH_FIXED_PATH
    if (stem != "fftplug" || !cpu.x86) return std::nullopt;
    return std::string(fftplug::kernelPathName(fftplug::chooseKernelPath(cpu.widestPath, entry, static_cast<int32_t>(N))));
}

// The paths' labels in the order of plugin/simd/paths.h: narrowest first.
#define FFTBENCH_PATH_LABEL(name, lane, label, ...) label,
constexpr const char* kPathLabels[] = {FFTPLUG_FOR_EACH_PATH(FFTBENCH_PATH_LABEL)};
#undef FFTBENCH_PATH_LABEL

std::vector<std::pair<std::string, std::vector<uint32_t>>> pathsTaken(const std::vector<std::string>& labels,
                                                                      const std::vector<uint32_t>& entries,
                                                                      const std::vector<uint32_t>& sizes,
                                                                      const CpuInfo& cpu) {
    std::vector<std::pair<std::string, std::vector<uint32_t>>> paths;
    for (const char* path : kPathLabels) {
        std::vector<uint32_t> at;
        for (const uint32_t N : sizes)
            for (const std::string& label : labels)
                for (const uint32_t entry : entries)
                    if (kernelPathOf(label, cpu, entry, N) == std::string(path) &&
                        std::find(at.begin(), at.end(), N) == at.end())
                        at.push_back(N);
        if (!at.empty()) paths.emplace_back(path, at);
    }
    return paths;
}

}  // namespace fftbench
