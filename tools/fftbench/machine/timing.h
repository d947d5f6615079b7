// How fftbench times a piece of work on this machine, bench's transforms
// and the rates' loops alike: the repeat count is calibrated until one
// measurement lasts long enough, then several measurements are taken at that
// count and the best of them counts.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace fftbench {

// How long a measurement must last and how many to take.
struct TimingGoal {
    double minSeconds = 0.05;  // one measurement lasts at least this long
    int measurements = 5;      // the best of this many counts
    // Above 0, bench's rounds go on for a cell whose best is not yet
    // confirmed, no second measurement within this fraction of it (0.02:
    // 2 %), up to twice `measurements` in all: a best taken in a moment
    // when the core ran fast, or with the rest of the run taken while it
    // ran slow, is then measured until it repeats. 0: exactly
    // `measurements`.
    double confirmWithin = 0;
};

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
Timing calibrate(const std::function<double(int64_t reps)>& timed, const TimingGoal& goal, int64_t maxReps,
                 const std::function<bool()>& stop);

// One more measurement of `seconds` at timing.reps: counted, and best,
// median and worst over `taken` (every measurement so far, this one included).
void addMeasurement(Timing& timing, std::vector<double>& taken, double seconds);

// Whether the best of `taken` (sorted, as addMeasurement keeps it) is
// confirmed: a second measurement lies within `within` (a fraction) of it.
bool bestConfirmed(const std::vector<double>& taken, double within);

// Calibrates and measures one piece of work alone: the calibration, then
// measurements at that count up to goal.measurements. `stop` is asked
// before every measurement.
Timing measure(const std::function<double(int64_t reps)>& timed, const TimingGoal& goal, int64_t maxReps,
               const std::function<bool()>& stop);

}  // namespace fftbench
