#include "machine/timing.h"

#include <algorithm>
#include <cmath>

namespace fftbench {

Timing calibrate(const std::function<double(int64_t)>& timed, const TimingGoal& goal, int64_t maxReps,
                 const std::function<bool()>& stop) {
    int64_t reps = 1;
    while (true) {
        if (stop()) return Timing{};
        const double first = timed(reps);
        if (first >= goal.minSeconds || reps >= maxReps) return Timing{reps, 1, first, first, first};
        // Aim a quarter beyond the target, but at least double and at most
        // a hundredfold, so that a noisy short measurement cannot overshoot.
        const double factor = first > 0 ? std::clamp(1.25 * goal.minSeconds / first, 2.0, 100.0) : 100.0;
        reps = static_cast<int64_t>(std::min(static_cast<double>(maxReps), std::ceil(static_cast<double>(reps) * factor)));
    }
}

void addMeasurement(Timing& timing, std::vector<double>& taken, double seconds) {
    taken.insert(std::upper_bound(taken.begin(), taken.end(), seconds), seconds);
    timing.measurements = static_cast<int>(taken.size());
    timing.best = taken.front();
    timing.worst = taken.back();
    const size_t middle = taken.size() / 2;
    timing.median = taken.size() % 2 == 1 ? taken[middle] : (taken[middle - 1] + taken[middle]) / 2;
}

bool bestConfirmed(const std::vector<double>& taken, double within) {
    return taken.size() >= 2 && taken[1] <= taken[0] * (1 + within);
}

Timing measure(const std::function<double(int64_t)>& timed, const TimingGoal& goal, int64_t maxReps,
               const std::function<bool()>& stop) {
    Timing timing = calibrate(timed, goal, maxReps, stop);
    if (timing.measurements == 0) return timing;
    std::vector<double> taken{timing.best};
    while (timing.measurements < goal.measurements && !stop()) addMeasurement(timing, taken, timed(timing.reps));
    return timing;
}

}  // namespace fftbench
