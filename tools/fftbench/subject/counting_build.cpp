#include "subject/counting_build.h"

#include <fmt/format.h>

#include <stdexcept>

#include "host/driver.h"
#include "host/plugin_variants.h"

namespace fftbench {

using fftplug::host::CatalogueEntry;
using fftplug::host::PluginLibrary;

CountingLibrary::CountingLibrary(PluginLibrary library, FftplugCountEntry countEntry)
    : library_(std::move(library)), countEntry_(countEntry),
      countEntryStages_(reinterpret_cast<FftplugCountEntryStages>(library_.symbol("countEntryStages"))),
      catalogue_(library_.catalogue()) {}

CountingLibrary CountingLibrary::open(const std::string& path) {
    PluginLibrary library = PluginLibrary::open(path);
    const auto countEntry = reinterpret_cast<FftplugCountEntry>(library.symbol("countEntry"));
    if (countEntry == nullptr)
        throw fftplug::host::LoadError(fmt::format("{}: not the counting build: it does not export 'countEntry'", path));
    return CountingLibrary(std::move(library), countEntry);
}

FftplugCounts CountingLibrary::count(uint32_t index, uint32_t N) const {
    const CatalogueEntry& entry = catalogue_.at(index);
    // The counts do not depend on the values; a random signal keeps the
    // arithmetic away from special cases all the same.
    auto arrays = fftplug::host::arrangeForEntry(library_, entry, fftplug::host::randomSignal(N, 1));
    FftplugCounts counts{};
    if (countEntry_(index, static_cast<int32_t>(N), arrays.input.data(), arrays.work.data(), arrays.table.data(),
                    &counts) != 1)
        throw std::runtime_error(fmt::format("{}: countEntry refused entry {} at N = {}", path(), index, N));
    return counts;
}

std::vector<FftplugStageCounts> CountingLibrary::countStages(uint32_t index, uint32_t N) const {
    if (countEntryStages_ == nullptr) return {};
    const CatalogueEntry& entry = catalogue_.at(index);
    auto arrays = fftplug::host::arrangeForEntry(library_, entry, fftplug::host::randomSignal(N, 1));
    std::vector<FftplugStageCounts> stages(64);
    for (;;) {
        const int32_t passed =
            countEntryStages_(index, static_cast<int32_t>(N), arrays.input.data(), arrays.work.data(),
                              arrays.table.data(), stages.data(), static_cast<int32_t>(stages.size()));
        if (passed < 0)
            throw std::runtime_error(fmt::format("{}: countEntryStages refused entry {} at N = {}", path(), index, N));
        const size_t count = static_cast<size_t>(passed);
        const bool fitted = count <= stages.size();
        stages.resize(count);
        if (fitted) return stages;
        arrays = fftplug::host::arrangeForEntry(library_, entry, fftplug::host::randomSignal(N, 1));
    }
}

const FftplugCounts& CountingLibrary::countCached(uint32_t index, uint32_t N) const {
    const auto key = std::pair{index, N};
    auto found = cache_.find(key);
    if (found == cache_.end()) found = cache_.emplace(key, count(index, N)).first;
    return found->second;
}

bool CountingLibrary::describes(const PluginLibrary& plugin) const {
    if (plugin.creator() != library_.creator()) return false;
    const auto theirs = plugin.catalogue();
    if (theirs.size() != catalogue_.size()) return false;
    for (size_t i = 0; i < theirs.size(); ++i)
        if (theirs[i].rawName != catalogue_[i].rawName || theirs[i].flags != catalogue_[i].flags) return false;
    return true;
}

std::string defaultCountingLibraryPath() {
    return fftplug::host::executableDirectory() + fftplug::host::platformLibraryName("fftplug_counting");
}

}  // namespace fftbench
