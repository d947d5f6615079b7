// The counting build of the plug-in (fftplug_counting: the scalar kernels
// with every operation tallied, built beside fftbench and never installed),
// loaded, and one run of an entry on it. What `profile`, bench's counted
// mflops and the limit model know of an entry's operations comes from here.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "host/plugin_library.h"
#include "plugin/counts.h"

namespace fftbench {

// The counting build, loaded: its catalogue and its countEntry export.
class CountingLibrary {
   public:
    // Loads it; throws fftplug::host::LoadError (also when countEntry is missing).
    static CountingLibrary open(const std::string& path);
    const std::string& path() const { return library_.path(); }
    const std::vector<fftplug::host::CatalogueEntry>& catalogue() const { return catalogue_; }
    // Entry `index` at N (a power of two up to 2^24), on a random signal laid
    // out and with a table prepared as the entry needs.
    FftplugCounts count(uint32_t index, uint32_t N) const;
    // count(), remembered.
    const FftplugCounts& countCached(uint32_t index, uint32_t N) const;
    // What entry `index` at N did stage by stage: one record per stage mark
    // the kernel passed, in order (countEntryStages of plugin/counts.h);
    // empty where the library does not export it.
    std::vector<FftplugStageCounts> countStages(uint32_t index, uint32_t N) const;
    // Whether `plugin` is this library's kind: the same creator and the same
    // catalogue (names and flags), so that these counts describe its entries.
    bool describes(const fftplug::host::PluginLibrary& plugin) const;

   private:
    CountingLibrary(fftplug::host::PluginLibrary library, FftplugCountEntry countEntry);
    fftplug::host::PluginLibrary library_;
    FftplugCountEntry countEntry_;
    FftplugCountEntryStages countEntryStages_ = nullptr;
    std::vector<fftplug::host::CatalogueEntry> catalogue_;
    mutable std::map<std::pair<uint32_t, uint32_t>, FftplugCounts> cache_;
};

// "libfftplug_counting.so" (or fftplug_counting.dll) beside fftbench.
std::string defaultCountingLibraryPath();

}  // namespace fftbench
