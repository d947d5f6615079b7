// `fftbench bench`: speed in the manner of benchFFT. The repeat count is
// calibrated until one measurement lasts long enough, the best of several
// measurements counts (machine/timing.h), and speed is reported as "mflops",
// 5·N·log2 N divided by the time of one transform in microseconds. The
// entries of the plug-ins and the peers (peers/) are timed at every size in
// one run.
#pragma once

#include <fftplug/fftplug.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/plugin_library.h"
#include "machine/caches.h"
#include "machine/processor.h"
#include "machine/rates.h"
#include "machine/timing.h"
#include "measure/contender.h"
#include "measure/peers/peers.h"
#include "subject/identity.h"

namespace fftbench {

// How bench times (TimingGoal: the shortest measurement and how many), and
// what it times besides the entries.
struct BenchSettings : TimingGoal {
    uint32_t seed = 1;         // of the random input signal
    bool peers = true;         // the peers alongside (peers/peers.h), where built in
    bool withReorder = false;  // each entry also timed with the host's reordering
    bool rates = true;         // the processor's peak rates measured at start, and limit % (model/limit.h)
    // Where the entries' arrays start, in bytes past a 64-byte line (0:
    // aligned), each timed side by side; the first is the one the tables,
    // the limit and the summary over the reference are of, the others are
    // set against it (alignmentRatios).
    std::vector<uint32_t> lineOffsets{0};
    uint32_t primaryLineOffset() const { return lineOffsets.empty() ? 0 : lineOffsets.front(); }
    // The peer the best entry is compared with (Contender::implementation,
    // a name of peers.h's list); no comparison where it is not in the run.
    std::string reference = defaultReferencePeer();
    // Seconds on the clock that times the measurements; empty: the steady
    // clock (a test gives a fake one).
    std::function<double()> clock;
};

// The entries of one plug-in, as contenders labelled with `pluginLabel`;
// with `withReorder` each entry a second time, with the host's reordering.
std::vector<Contender> pluginContenders(const fftplug::host::PluginLibrary& plugin,
                                        const std::vector<fftplug::host::CatalogueEntry>& entries,
                                        const std::string& pluginLabel, bool withReorder = false,
                                        const std::vector<uint32_t>& lineOffsets = {0});

// "entry 3", "entry 3+reorder", "entry 3 +16" (arrays 16 bytes past a line).
std::string entryImplementation(uint32_t index, bool reorder, uint32_t lineOffset);

// A round as progress names it: "calibrating" (round 0), "round 2/5", and
// past the planned rounds "round 7, confirming the best".
std::string roundText(int round, int measurements);

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
    // Real additions and multiplications of one transform, counted by the
    // instrumented build (fftplug's entries only), and those per microsecond:
    // nullopt where nothing counted them.
    std::optional<double> countedFlops, countedMflops;
    double medianSecondsPerTransform = 0;  // from the median measurement
    double spread = 0;  // (longest − shortest measurement) / shortest
    std::string kernelPath;  // the plug-in's path at this N ("AVX2"); empty where unknown or a peer
    bool reorder = false;    // timed with the host's reordering (Contender::reorder)
    uint32_t lineOffset = 0; // the arrays' bytes past a 64-byte line (Contender::lineOffset)
    // With the reordering: the reordering's own time per transform, the
    // shortest of the measurements taken beside the entry's.
    std::optional<double> reorderSecondsPerTransform;
    // The least time the counted operations need at the peak rates of
    // kernelPath (machine/rates.h), and it over the measured time, in per cent:
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
    // The cells whose best was still not confirmed
    // (BenchSettings::confirmWithin) after the further rounds.
    struct Unconfirmed {
        size_t contender;  // index into contenders
        uint32_t N;
    };
    std::vector<Unconfirmed> unconfirmed;
    std::vector<PeakRates> rates;       // of the paths the plug-ins take, narrowest first; empty with --no-rates
    std::vector<CacheLevel> caches;     // the data caches the limit model placed lines in (machine/caches.h)
};

// The warning for the cells of `bench.unconfirmed` ("plug-in entry 7 at N =
// 2^9, …"); nothing if there are none.
std::optional<std::string> unconfirmedWarning(const BenchRun& bench);


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

}  // namespace fftbench
