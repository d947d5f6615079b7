// The report's own plots, drawn as inline SVG without gnuplot: the speed
// plot (a marker at every size measured, each line named at its right end,
// the names in speed order) and the reuse curves of several entries on one
// logarithmic scale. Their colours are assets/report.css's palettes.
#pragma once

#include <string>
#include <vector>

#include "measure/bench_run.h"
#include "model/access_trace.h"

namespace fftbench {

// mflops against log2 N: the entries of the first plug-in (without the
// reordering) and the peers; empty when nothing was measured.
std::string speedPlotSvg(const BenchRun& bench);

// The share of accesses at each reuse distance (log2 of lines, both axes
// logarithmic), one curve per trace, with the cache sizes marked; empty
// without traces.
std::string reusePlotSvg(const std::vector<const AccessTrace*>& traces);

}  // namespace fftbench
