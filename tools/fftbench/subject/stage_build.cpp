#include "subject/stage_build.h"

#include <fmt/format.h>

#include <stdexcept>

#include "host/driver.h"
#include "host/plugin_variants.h"

namespace fftbench {

using fftplug::host::PluginLibrary;

StageLibrary::StageLibrary(PluginLibrary library, FftplugLimitStages limitStages, FftplugCountStages countStages)
    : library_(std::move(library)), limitStages_(limitStages), countStages_(countStages) {}

StageLibrary StageLibrary::open(const std::string& path) {
    PluginLibrary library = PluginLibrary::open(path);
    const auto limitStages = reinterpret_cast<FftplugLimitStages>(library.symbol("limitStages"));
    const auto countStages = reinterpret_cast<FftplugCountStages>(library.symbol("countStages"));
    if (limitStages == nullptr || countStages == nullptr)
        throw fftplug::host::LoadError(
            fmt::format("{}: not a stage build: it does not export 'limitStages' and 'countStages'", path));
    return StageLibrary(std::move(library), limitStages, countStages);
}

uint32_t StageLibrary::markCount(uint32_t index, uint32_t N) const {
    const fftplug::host::CatalogueEntry entry = library_.catalogue().at(index);  // catalogue() gives a copy
    auto arrays = fftplug::host::arrangeForEntry(library_, entry, fftplug::host::randomSignal(N, 1));
    const int32_t passed = countStages_(index, static_cast<int32_t>(N), arrays.input.data(), arrays.work.data(),
                                        arrays.table.data());
    if (passed < 0) throw std::runtime_error(fmt::format("{}: countStages refused entry {} at N = {}", path(), index, N));
    return static_cast<uint32_t>(passed);
}

std::string defaultStageLibraryPath(const std::string& path) {
    return fftplug::host::executableDirectory() +
           fftplug::host::platformLibraryName(path == "dispatch" ? "fftplug_stages" : "fftplug_stages-" + path);
}

std::string defaultShippedLibraryPath(const std::string& path) {
    return fftplug::host::executableDirectory() +
           fftplug::host::platformLibraryName(path == "dispatch" ? "fftplug" : "fftplug-" + path);
}

}  // namespace fftbench
