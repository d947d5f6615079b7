// The instrumented build of the plug-in (fftplug_instrumented: the scalar
// kernels with every operation tallied and every load, store, table read,
// factor, stage and recursive call recorded, built beside fftbench and never
// installed), loaded, and one run of an entry on it. What `profile`, `draw`,
// `trace`, bench's counted mflops and the limit model know of the kernels
// comes from here.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "host/plugin_library.h"
#include "plugin/instrument/instrumented.h"
#include "plugin/stages.h"

namespace fftbench {

// The instrumented build, loaded: its catalogue and its instrumentEntry
// export.
class InstrumentedLibrary {
   public:
    // Loads it; throws fftplug::host::LoadError (also when instrumentEntry is
    // missing).
    static InstrumentedLibrary open(const std::string& path);
    const std::string& path() const { return library_.path(); }
    const std::vector<fftplug::host::CatalogueEntry>& catalogue() const { return catalogue_; }
    // Whether `plugin` is this library's kind: the same creator and the same
    // catalogue (names and flags), so that these counts describe its entries.
    bool describes(const fftplug::host::PluginLibrary& plugin) const;

    // Each run is of entry `index` once at N (a power of two up to 2^24), on
    // a random signal laid out and with a table prepared as the entry needs.

    // The tally of the run.
    FftplugCounts count(uint32_t index, uint32_t N) const;
    // count(), remembered.
    const FftplugCounts& countCached(uint32_t index, uint32_t N) const;

    // Receives the events of a run in order, a buffer at a time.
    using Consumer = std::function<void(const FftplugEvent* events, size_t count)>;
    // The events of the kinds in `mask` (FFTPLUG_RECORD_ALL …), handed to
    // `consume`. What `consume` throws comes out of record, after the run.
    void record(uint32_t index, uint32_t N, uint32_t mask, const Consumer& consume) const;
    // Every event of a run, kept: for the small sizes of a graph.
    std::vector<FftplugEvent> recordAll(uint32_t index, uint32_t N) const;
    // What one stage did, from its stage mark to the next or the end, and
    // the mark's shape (its block size and how far apart its butterflies'
    // samples lie).
    struct StageCounts {
        FftplugStageMark mark{};
        uint64_t additions = 0, multiplications = 0, loads = 0, stores = 0, tableReads = 0;
    };
    // A run stage by stage: one record per stage mark the kernel passed, in
    // order (what comes before the first mark belongs to none); remembered,
    // as the counts are the same on every run.
    const std::vector<StageCounts>& countStages(uint32_t index, uint32_t N) const;

   private:
    InstrumentedLibrary(fftplug::host::PluginLibrary library, FftplugInstrumentEntry instrumentEntry);
    void run(uint32_t index, uint32_t N, FftplugCounts* counts, const FftplugEventStream* events) const;
    fftplug::host::PluginLibrary library_;
    FftplugInstrumentEntry instrumentEntry_;
    std::vector<fftplug::host::CatalogueEntry> catalogue_;
    mutable std::map<std::pair<uint32_t, uint32_t>, FftplugCounts> cache_;
    mutable std::map<std::pair<uint32_t, uint32_t>, std::vector<StageCounts>> stageCache_;
};

// "libfftplug_instrumented.so" (or fftplug_instrumented.dll) beside fftbench.
std::string defaultInstrumentedLibraryPath();

}  // namespace fftbench
