// `fftbench profile`: what each entry does, counted rather than timed. The
// counting build of the plug-in (fftplug_counting: the scalar kernels with
// every operation tallied, built beside fftbench and never installed) runs
// each entry once and reports its real additions and multiplications, table
// reads, loads and stores of work samples and stages; FFTW reports the
// operation count of its own plan (fftwf_flops), where it is built in.
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "measure/bench_run.h"
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
    // Whether `plugin` is this library's kind: the same creator and the same
    // catalogue (names and flags), so that these counts describe its entries.
    bool describes(const fftplug::host::PluginLibrary& plugin) const;

   private:
    CountingLibrary(fftplug::host::PluginLibrary library, FftplugCountEntry countEntry);
    fftplug::host::PluginLibrary library_;
    FftplugCountEntry countEntry_;
    std::vector<fftplug::host::CatalogueEntry> catalogue_;
    mutable std::map<std::pair<uint32_t, uint32_t>, FftplugCounts> cache_;
};

// "libfftplug_counting.so" (or fftplug_counting.dll) beside fftbench.
std::string defaultCountingLibraryPath();

// flops = additions + multiplications + 2 · fused multiply-adds.
struct ProfileRow {
    std::string implementation;     // "entry 3" or "fftwf"
    std::optional<uint32_t> entry;  // nullopt for FFTW
    std::string name;               // catalogue name (UTF-8) or FFTW's description
    std::string label;              // for the plot legend
    uint32_t N = 0;
    unsigned log2N = 0;
    double additions = 0, multiplications = 0, fusedMultiplyAdds = 0;
    std::optional<FftplugCounts> counts;  // the entries' further counts; nullopt for FFTW

    double flops() const { return additions + multiplications + 2 * fusedMultiplyAdds; }
    // flops / (N · log2 N); 0 for N = 1.
    double flopsPerNLog2N() const;
};

struct ProfileRun {
    std::string countingPath;
    std::string fftwDescription;  // empty without FFTW (or with --no-peers)
    std::vector<uint32_t> sizes;
    std::vector<uint32_t> entries;
    std::vector<ProfileRow> rows;  // entries in order, then FFTW, each by N
};

ProfileRun runProfile(const CountingLibrary& counting, const std::vector<fftplug::host::CatalogueEntry>& entries,
                      const std::vector<uint32_t>& sizes, bool peers);

// Gives every result of an entry of the plug-ins labelled in `described`
// (those the counting build describes) its counted flops and counted mflops,
// and, where bench.rates has its path and `traffic` (the recording build's
// traces) is given, its least time and limit %.
class TrafficCache;
void attachCountedFlops(BenchRun& bench, const CountingLibrary& counting, const std::vector<std::string>& described,
                        TrafficCache* traffic = nullptr);

void printProfileTable(std::FILE* out, const ProfileRun& run);
std::string profileCsv(const ProfileRun& run);
std::string profileJson(const ProfileRun& run, const std::string& version);
// flops / (N log2 N) against log2 N, one line per entry and FFTW.
std::string profileGnuplotScript(const ProfileRun& run, const std::string& path, bool png);

}  // namespace fftbench
