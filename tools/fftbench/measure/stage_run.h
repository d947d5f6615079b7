// `fftbench stages`: where the time of a transform goes, stage by stage, on
// the real kernels. Each stage build (subject/stage_build.h) is timed as
// bench times a whole transform (the same calibration, interleaved rounds
// and arrays), ended after 0, 1, … stages (model/stage_plan.h says which);
// a stage's time is the difference of two such times. The shipped library
// of the same path is timed beside it, whole, so that the output can say
// how far the stages' sum is from the whole transform.
#pragma once

#include <fftplug/fftplug.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "machine/caches.h"
#include "machine/processor.h"
#include "machine/rates.h"
#include "machine/timing.h"
#include "model/stage_plan.h"
#include "subject/instrumented_build.h"
#include "subject/stage_build.h"

namespace fftbench {

// Untimed calls before each measurement (StopRun::warm in stage_run.cpp
// says why): before the whole transform, and before a stop.
inline constexpr int kWarmCallsBeforeWhole = 3;
inline constexpr int kWarmCallsBeforeStop = 1;

struct StageSettings : TimingGoal {
    uint32_t seed = 1;
    // Where the arrays start, in bytes past a 64-byte line (0: aligned),
    // each placement timed side by side in the same rounds.
    std::vector<uint32_t> lineOffsets{0};
    bool rates = true;        // the limit per stage (model/limit.h), where the instrumented builds are beside fftbench
    std::function<double()> clock;  // empty: the steady clock (a test gives a fake one)
};

// One path's libraries: the stage build and the shipped library it mirrors.
struct StagePath {
    std::string name;   // "dispatch", "scalar", "avx2" …
    std::string label;  // the shipped library's label ("libfftplug-avx2"), for its kernels' path
    const StageLibrary* stages = nullptr;
    const fftplug::host::PluginLibrary* shipped = nullptr;
};

// One entry at one size on one path.
struct StageTiming {
    std::string path;        // StagePath::name
    std::string kernelPath;  // the kernels it ran ("AVX-512"); empty where unknown
    uint32_t entry = 0, N = 0;
    uint32_t lineOffset = 0;  // of the arrays
    StagePlan plan;
    std::vector<double> seconds;  // per row of the plan, per transform
    double wholeSeconds = 0;      // the shipped library, whole, per transform
    double allStagesSeconds = 0;  // the stage build with every stage, per transform
    // (longest − shortest) / shortest of the whole transform's measurements:
    // how far apart one transform's own times lie on this machine, beside
    // which the sum's deviation is read.
    double wholeSpread = 0;
    // The last stage's result against the shipped library's: the same bits.
    bool sameBits = false;
    // Per row: the least time of its counted operations (model/limit.h),
    // what binds it, and, for a row far below its limit, what the model
    // leaves out there; nullopt / empty without the instrumented builds or rates.
    std::vector<std::optional<double>> leastSeconds;
    std::vector<std::string> bound, leftOut;

    double sumSeconds() const;
    // (sum of the rows - whole) / whole.
    double sumDeviation() const { return wholeSeconds > 0 ? sumSeconds() / wholeSeconds - 1 : 0; }
};

struct StageRun {
    CpuInfo cpu;
    StageSettings settings;
    std::vector<uint32_t> sizes;
    std::vector<uint32_t> entries;
    std::vector<std::string> paths;
    std::vector<StageTiming> timings;  // by path, then N, then placement, then entry
    bool interrupted = false;
    std::vector<std::string> warnings;
    std::vector<PeakRates> rates;
    std::vector<CacheLevel> caches;
};

// Called before every measurement: `done` of `total` steps behind it.
using StageProgress = std::function<void(size_t done, size_t total, const std::string& path, uint32_t N,
                                         const std::string& what)>;

// Every entry at every size on every path, sizes outermost within a path.
// The stages are those the instrumented build marks (their shapes, and
// which touch no sample: radix 4's closing pass where log2 N is even folds
// into the stage before it); a stage build that stops at another number of
// marks is refused (std::runtime_error).
StageRun runStages(const std::vector<StagePath>& paths, const std::vector<uint32_t>& entries,
                   const std::vector<uint32_t>& sizes, const StageSettings& settings, const StageProgress& progress,
                   const std::function<bool()>& stop, const InstrumentedLibrary& counting);

// Each row's least time, bound and limit % from the instrumented build's
// operations stage by stage and its cache levels, at
// run.rates of the row's path; for a row below kFarBelowLimitPercent, what
// the model leaves out there.
void attachStageLimits(StageRun& run, const InstrumentedLibrary& instrumented);

// The dispatching stage build and the shipped library beside fftbench,
// timed briefly (the best of 3 measurements of at least 2 ms), aligned, for
// the report; nullopt where either library is missing or fails to load.
std::optional<StageRun> briefStageRun(const std::vector<uint32_t>& entries, const std::vector<uint32_t>& sizes,
                                      const InstrumentedLibrary& counting, const StageProgress& progress,
                                      const std::function<bool()>& stop);

// A stage row below this share of its limit is named with what the model
// leaves out.
inline constexpr double kFarBelowLimitPercent = 50;

}  // namespace fftbench
