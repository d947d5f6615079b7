// The recording build of the plug-in (fftplug_recording: the scalar kernels
// with every load, store, table read, factor and stage recorded, built
// beside fftbench and never installed), loaded, and one run of an entry on
// it. What `draw`, `trace` and `report` see of the kernels comes from here.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "host/plugin_library.h"
#include "plugin/recording.h"

namespace fftbench {

class RecordingLibrary {
   public:
    // Loads it; throws fftplug::host::LoadError (also when recordEntry is missing).
    static RecordingLibrary open(const std::string& path);
    const std::string& path() const { return library_.path(); }
    const std::vector<fftplug::host::CatalogueEntry>& catalogue() const { return catalogue_; }

    // Receives the events of a run in order, a buffer at a time.
    using Consumer = std::function<void(const FftplugEvent* events, size_t count)>;
    // Runs entry `index` once at N (a power of two up to 2^24) on a random
    // signal laid out and with a table prepared as the entry needs, and hands
    // the events of the kinds in `mask` (FFTPLUG_RECORD_ALL …) to `consume`.
    // What `consume` throws comes out of record, after the run.
    void record(uint32_t index, uint32_t N, uint32_t mask, const Consumer& consume) const;
    // Every event of a run, kept: for the small sizes of a graph.
    std::vector<FftplugEvent> recordAll(uint32_t index, uint32_t N) const;

   private:
    RecordingLibrary(fftplug::host::PluginLibrary library, FftplugRecordEntry recordEntry);
    fftplug::host::PluginLibrary library_;
    FftplugRecordEntry recordEntry_;
    std::vector<fftplug::host::CatalogueEntry> catalogue_;
};

// "libfftplug_recording.so" (or fftplug_recording.dll) beside fftbench.
std::string defaultRecordingLibraryPath();

}  // namespace fftbench
