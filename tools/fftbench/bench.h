// `fftbench bench`: speed in the manner of benchFFT. The repeat count is
// calibrated until one measurement lasts long enough, the best of several
// measurements counts, and speed is reported as "mflops", 5·N·log2 N divided
// by the time of one transform in microseconds.
#pragma once

#include <fftplug/fftplug.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/plugin_library.h"

namespace fftbench {

struct BenchSettings {
    double minSeconds = 0.05;  // one measurement lasts at least this long
    int measurements = 5;      // the best of this many counts
    uint32_t seed = 1;         // of the random input signal
    bool peers = true;         // FFTW and KissFFT alongside, where built in
};

// One implementation at one size, set up outside the timed region (input
// order, table and its preparation, a peer's plan), ready to be timed.
class TimedRun {
   public:
    virtual ~TimedRun() = default;
    // `reps` transforms of the signal (at most the contender's maxReps).
    virtual void run(int64_t reps) = 0;
    // After run(): the transform of the signal, in natural order.
    virtual std::vector<Complex> naturalResult() const = 0;
    // Anything the implementation wrote outside its arrays; nullopt if none.
    virtual std::optional<std::string> damage() const { return std::nullopt; }
};

// Something to benchmark: an entry of the plug-in or a peer library.
struct Contender {
    std::string implementation;     // "entry 3", "fftwf", "kissfft": unique in a run
    std::optional<uint32_t> entry;  // the catalogue index, for entries
    std::string name;               // the catalogue name (UTF-8) or the peer's description
    std::string label;              // a few words for the plot legend
    int64_t maxReps = 0;
    // Sets up a run for the natural-order signal (its size is N).
    std::function<std::unique_ptr<TimedRun>(const std::vector<Complex>& signal)> start;
};

std::vector<Contender> pluginContenders(const fftplug::host::PluginLibrary& plugin,
                                        const std::vector<fftplug::host::CatalogueEntry>& entries);

// The outcome of the calibration and the measurements of one cell.
struct Timing {
    int64_t reps = 0;      // transforms per measurement
    int measurements = 0;  // taken at that count (0: stopped before calibration ended)
    double best = 0;       // seconds, the shortest measurement
};

// Calibrates and measures: `timed(reps)` performs reps transforms and
// returns the seconds they took. The count grows until a measurement lasts
// minSeconds (or reaches maxReps); that measurement is the first of
// settings.measurements. `stop` is asked before every measurement.
Timing measure(const std::function<double(int64_t reps)>& timed, const BenchSettings& settings, int64_t maxReps,
               const std::function<bool()>& stop);

// 5·N·log2 N / (seconds per transform in µs): benchFFT's "mflops".
double mflops(uint32_t N, double secondsPerTransform);

struct BenchResult {
    std::string implementation;
    std::optional<uint32_t> entry;
    std::string name;
    std::string label;
    uint32_t N = 0;
    unsigned log2N = 0;
    int64_t reps = 0;
    int measurements = 0;
    double secondsPerTransform = 0;
    double nsPerPoint = 0;
    double mflops = 0;
    double error = 0;  // relative RMS error of the result against the reference
};

struct BenchRun {
    std::string pluginPath;
    int32_t signature = 0;
    std::string creator;
    BenchSettings settings;
    std::vector<uint32_t> sizes;
    std::vector<Contender> contenders;
    std::vector<BenchResult> results;  // in contender order, then by N
    bool interrupted = false;
    std::vector<std::string> warnings;  // e.g. an entry that wrote outside its arrays
};

using BenchProgress = std::function<void(size_t done, size_t total, const Contender& contender, uint32_t N)>;

// Every contender at every size, sizes in the outer loop (so that a run cut
// short has compared everything at the smaller sizes).
BenchRun runBench(const fftplug::host::PluginLibrary& plugin, std::vector<Contender> contenders,
                  const std::vector<uint32_t>& sizes, const BenchSettings& settings, const BenchProgress& progress,
                  const std::function<bool()>& stop);

// Ctrl-C: the first SIGINT asks the benchmark to stop after the current
// measurement; a second one ends the process as usual.
void installInterruptHandler();
bool interruptRequested();

}  // namespace fftbench
