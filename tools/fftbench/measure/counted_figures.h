// What bench's results gain from the instrumented build: each
// entry's counted flops and counted mflops, and its least time and limit %
// (model/limit.h).
#pragma once

#include <string>
#include <vector>

#include "measure/bench_run.h"
#include "model/cache_traffic.h"
#include "subject/instrumented_build.h"

namespace fftbench {

// Gives every result of an entry of the plug-ins labelled in `described`
// (those the instrumented build describes) its counted flops and counted mflops,
// and, where bench.rates has its path and `traffic` (the instrumented build's
// traces) is given, its least time and limit %.
void attachCountedFlops(BenchRun& bench, const InstrumentedLibrary& instrumented,
                        const std::vector<std::string>& described, TrafficCache* traffic = nullptr);

}  // namespace fftbench
