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

#include "machine/processor.h"
#include "machine/rates.h"
#include "host/plugin_library.h"

namespace fftbench {

struct BenchSettings {
    double minSeconds = 0.05;  // one measurement lasts at least this long
    int measurements = 5;      // the best of this many counts
    uint32_t seed = 1;         // of the random input signal
    bool peers = true;         // FFTW and KissFFT alongside, where built in
    bool withReorder = false;  // each entry also timed with the host's reordering
    bool rates = true;         // the processor's peak rates measured at start, and limit % (rates.h)
    // Seconds on the clock that times the measurements; empty: the steady
    // clock (a test gives a fake one).
    std::function<double()> clock;
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

// Something to benchmark: an entry of a plug-in or a peer library.
struct Contender {
    std::string implementation;     // "entry 3", "fftwf", "kissfft": unique in a run with its plug-in
    std::optional<uint32_t> entry;  // the catalogue index, for entries
    std::string name;               // the catalogue name (UTF-8) or the peer's description
    std::string label;              // a few words for the plot legend
    int64_t maxReps = 0;
    // Sets up a run for the natural-order signal (its size is N).
    std::function<std::unique_ptr<TimedRun>(const std::vector<Complex>& signal)> start;
    std::string plugin;             // the plug-in's label (PluginInfo::label); empty for a peer
    // Timed with the host's reordering: every repetition puts the natural-
    // order signal into the entry's input order and, for an entry whose
    // result is bit-reversed, the result back into natural order, as a host
    // that wants natural order in and out must (implementation "entry 3+reorder").
    bool reorder = false;
};

// A plug-in of the run, as its header and outputs name it.
struct PluginInfo {
    std::string path;
    std::string label;  // its file name without the library suffix, unique in the run
    int32_t signature = 0;
    std::string creator;
};

// Labels for the plug-ins of one run: each file's name without directory
// and library suffix ("libfftplug-scalar" for .../libfftplug-scalar.so,
// "fftplug-avx2" for fftplug-avx2.dll); a label that repeats gets "#2", "#3".
std::vector<std::string> pluginLabels(const std::vector<std::string>& paths);

PluginInfo describePlugin(const fftplug::host::PluginLibrary& plugin, const std::string& label);

// The entries of one plug-in, as contenders labelled with `pluginLabel`;
// with `withReorder` each entry a second time, with the host's reordering.
std::vector<Contender> pluginContenders(const fftplug::host::PluginLibrary& plugin,
                                        const std::vector<fftplug::host::CatalogueEntry>& entries,
                                        const std::string& pluginLabel, bool withReorder = false);

// The outcome of the calibration and the measurements of one cell.
struct Timing {
    int64_t reps = 0;      // transforms per measurement
    int measurements = 0;  // taken at that count (0: stopped before calibration ended)
    double best = 0;       // seconds, the shortest measurement
    double median = 0;     // seconds, the median of the measurements
    double worst = 0;      // seconds, the longest measurement
};

// Calibrates: `timed(reps)` performs reps transforms and returns the
// seconds they took. The count grows until a measurement lasts minSeconds
// (or reaches maxReps); that measurement is the first one kept, the Timing
// it returns has measurements 1 (0: `stop`, asked before every
// measurement, ended the calibration).
Timing calibrate(const std::function<double(int64_t reps)>& timed, const BenchSettings& settings, int64_t maxReps,
                 const std::function<bool()>& stop);

// One more measurement of `seconds` at timing.reps: counted, and best,
// median and worst over `taken` (every measurement so far, this one included).
void addMeasurement(Timing& timing, std::vector<double>& taken, double seconds);

// Calibrates and measures one contender alone: the calibration, then
// measurements at that count up to settings.measurements. `stop` is asked
// before every measurement.
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
    std::string plugin;                 // the plug-in's label; empty for a peer
    std::optional<double> ratioToFirst; // mflops / those of the same entry, N and reordering in the first plug-in
    // Real additions and multiplications of one transform, counted (by the
    // counting build for fftplug's entries, fftwf_flops for FFTW), and
    // those per microsecond: nullopt where nothing counted them.
    std::optional<double> countedFlops, countedMflops;
    double medianSecondsPerTransform = 0;  // from the median measurement
    double spread = 0;  // (longest − shortest measurement) / shortest
    std::string kernelPath;  // the plug-in's path at this N ("AVX2"); empty where unknown or a peer
    bool reorder = false;    // timed with the host's reordering (Contender::reorder)
    // The least time the counted operations need at the peak rates of
    // kernelPath (rates.h), and it over the measured time, in per cent:
    // nullopt without counts, rates or a known path.
    std::optional<double> leastSecondsPerTransform, limitPercent;
    std::string limitBound;  // which of the four sets the least time ("stores"); empty without it
    // The least time above the measured one: the model failed to be a lower
    // bound here (rates measured under load, a level priced slower than it
    // delivers), and the figure is shown marked, never as if it held.
    bool limitExceeded() const { return limitPercent && *limitPercent > 100; }
};

struct BenchRun {
    std::vector<PluginInfo> plugins;  // in the order given; the ratios refer to the first
    CpuInfo cpu;                      // of the machine that ran it
    BenchSettings settings;
    std::vector<uint32_t> sizes;
    std::vector<Contender> contenders;
    std::vector<BenchResult> results;  // in contender order, then by N
    bool interrupted = false;
    std::vector<std::string> warnings;  // e.g. an entry that wrote outside its arrays
    std::vector<PeakRates> rates;       // of the paths the plug-ins take, narrowest first; empty with --no-rates
    std::vector<CacheLevel> caches;     // the data caches the limit model placed lines in (caches.h)
};

// Called before every step of the run: `done` steps of `total` are behind
// it. A step is one contender's calibration (round 0) or its measurement in
// round `round` (1 ... settings.measurements).
using BenchProgress =
    std::function<void(size_t done, size_t total, const Contender& contender, uint32_t N, int round)>;

// Every contender at every size, sizes in the outer loop (so that a run cut
// short has compared everything at the smaller sizes, and so that the
// plug-ins and peers share the machine's state at each size). At one size
// each contender is calibrated first, then the measurements are taken in
// interleaved rounds, each round one measurement of every contender, round
// r starting at contender r − 1 (modulo their number) and going on in
// contender order: a burst of load from elsewhere falls on all of them
// alike, not on whichever happened to run then, and a periodic one not on
// the same places of every round. A stop ends the run after
// the current measurement; every cell with a measurement is kept.
BenchRun runBench(std::vector<PluginInfo> plugins, std::vector<Contender> contenders,
                  const std::vector<uint32_t>& sizes, const BenchSettings& settings, const BenchProgress& progress,
                  const std::function<bool()>& stop);

// What a run adds up to, per plug-in: the best entry against FFTW over
// ranges of sizes, and the speed-up over the first plug-in.
struct RangeFigure {
    bool minimum = false;               // false: the geometric mean
    unsigned fromLog2 = 0, toLog2 = 0;  // the range, inclusive
    size_t sizes = 0;                   // sizes of the run inside it with a figure (0: none)
    std::vector<uint32_t> measured;     // those sizes, ascending
    double value = 0;
    uint32_t atN = 0;                   // for the minimum: where it occurred
    bool reorder = false;               // the entries timed with the host's reordering
};
// The sizes over which the ratios to the first plug-in are averaged.
inline constexpr unsigned kRatioFromLog2 = 4, kRatioToLog2 = 20;
struct EntryRatio {
    std::optional<uint32_t> entry;  // nullopt: all entries together
    size_t cells = 0;               // (entry, N) pairs in the mean
    std::vector<uint32_t> measured; // the sizes of those pairs, ascending
    double geometricMean = 0;
};
struct PluginSummary {
    std::string plugin;
    // Best entry / fftwf at each size: geometric mean over 2^4..2^20, over
    // 2^16..2^20, minimum over 2^6..2^14, of the sizes measured inside each;
    // ranges without a figure left out, all of them without fftwf. With the
    // host's reordering timed, the same again for those figures.
    std::vector<RangeFigure> bestOverFftw;
    // For the plug-ins after the first: ratioToFirst, geometric mean over
    // 2^4..2^20, all entries first, then entry by entry.
    std::vector<EntryRatio> ratios;
};

std::vector<PluginSummary> summarize(const BenchRun& bench);

// The best entry of `plugin` at N (plain or with reordering) and its mflops
// over fftwf's there; nullopt without both.
struct BestAtSize {
    uint32_t entry = 0;
    double ratio = 0;
};
std::optional<BestAtSize> bestEntryOverFftw(const BenchRun& bench, const std::string& plugin, uint32_t N,
                                            bool reorder);

// Ctrl-C: the first SIGINT asks the benchmark to stop after the current
// measurement; a second one ends the process as usual.
void installInterruptHandler();
bool interruptRequested();

}  // namespace fftbench
