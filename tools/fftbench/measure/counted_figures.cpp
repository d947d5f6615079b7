#include "measure/counted_figures.h"

#include <algorithm>

#include "model/limit.h"

namespace fftbench {

void attachCountedFlops(BenchRun& bench, const InstrumentedLibrary& instrumented,
                        const std::vector<std::string>& described, TrafficCache* traffic) {
    for (BenchResult& r : bench.results) {
        if (!r.entry || std::find(described.begin(), described.end(), r.plugin) == described.end()) continue;
        const FftplugCounts& counts = instrumented.countCached(*r.entry, r.N);
        r.countedFlops = static_cast<double>(counts.additions + counts.multiplications);
        r.countedMflops = *r.countedFlops / (r.secondsPerTransform * 1e6);
        if (traffic == nullptr) continue;
        for (const PeakRates& rates : bench.rates)
            if (rates.path == r.kernelPath)
                if (const auto least = leastTime(operationsOf(counts, r.N, traffic->of(*r.entry, r.N)), rates)) {
                    r.leastSecondsPerTransform = least->seconds;
                    r.limitBound = least->bound;
                    r.limitPercent = limitPercent(least->seconds, r.secondsPerTransform);
                }
    }
}

}  // namespace fftbench
