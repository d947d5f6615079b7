#include "subject/stage_build.h"

#include <fmt/format.h>

#include <stdexcept>

#include "host/driver.h"
#include "host/plugin_variants.h"

namespace fftbench {

using fftplug::host::PluginLibrary;

StageLibrary::StageLibrary(PluginLibrary library, FftplugLimitStages limitStages, FftplugListStages listStages)
    : library_(std::move(library)), limitStages_(limitStages), listStages_(listStages) {}

StageLibrary StageLibrary::open(const std::string& path) {
    PluginLibrary library = PluginLibrary::open(path);
    const auto limitStages = reinterpret_cast<FftplugLimitStages>(library.symbol("limitStages"));
    const auto listStages = reinterpret_cast<FftplugListStages>(library.symbol("listStages"));
    if (limitStages == nullptr || listStages == nullptr)
        throw fftplug::host::LoadError(
            fmt::format("{}: not a stage build: it does not export 'limitStages' and 'listStages'", path));
    return StageLibrary(std::move(library), limitStages, listStages);
}

std::vector<FftplugStageMark> StageLibrary::marks(uint32_t index, uint32_t N) const {
    const fftplug::host::CatalogueEntry entry = library_.catalogue().at(index);  // catalogue() gives a copy
    auto arrays = fftplug::host::arrangeForEntry(library_, entry, fftplug::host::randomSignal(N, 1));
    std::vector<FftplugStageMark> marks(64);
    for (;;) {
        const int32_t passed = listStages_(index, static_cast<int32_t>(N), arrays.input.data(), arrays.work.data(),
                                           arrays.table.data(), marks.data(), static_cast<int32_t>(marks.size()));
        if (passed < 0)
            throw std::runtime_error(fmt::format("{}: listStages refused entry {} at N = {}", path(), index, N));
        if (static_cast<size_t>(passed) <= marks.size()) {
            marks.resize(static_cast<size_t>(passed));
            return marks;
        }
        marks.resize(static_cast<size_t>(passed));
    }
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
