// What `fftbench bench` hands back: a table on standard output
// (bench_table.cpp), and on request a CSV and a JSON file (bench_data.cpp)
// and three plots drawn by gnuplot (bench_plots.cpp): speed, accuracy and,
// where the rates were measured, the limit %.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "measure/bench_run.h"
#include "render/gnuplot.h"

namespace fftbench {

// The CSV and JSON field names, in this order (docs/fftbench.md).
extern const std::vector<std::string> kResultColumns;

// The header (plug-ins, processor, the path each plug-in took, method),
// one row per result, then the mflops side by side (a block per plug-in
// when there are several, and their ratios to the first) with the best
// entry against the reference peer, then the summary over the sizes
// measured: the best entry against the reference over ranges of sizes, each
// plug-in against the first.
std::string benchTableText(const BenchRun& bench);
// The same on `out`.
void printBenchTable(std::FILE* out, const BenchRun& bench);

// A CSV field, quoted (quotes doubled) where it holds a comma, quote or line end.
std::string csvField(const std::string& text);

// RFC 4180 CSV with a header row of kResultColumns, one row per result.
std::string benchCsv(const BenchRun& bench);
// {"tool", "version", "plugin", "plugins", "cpu", "settings", "peers",
//  "interrupted", "results": [...], "summary"}.
std::string benchJson(const BenchRun& bench, const std::string& version);

// The gnuplot commands that draw mflops against log2 N into `path`, one line
// per implementation, the data inline; with several plug-ins a second panel
// below draws each entry's ratio to the same entry of the first.
std::string gnuplotScript(const BenchRun& bench, const std::string& path, PlotFormat format);

// The accuracy plot that goes beside the speed plot `plotPath`:
// "out/bench.svg" -> "out/bench-accuracy.svg".
std::string accuracyPlotPath(const std::string& plotPath);
// The gnuplot commands that draw each implementation's relative RMS error
// against log2 N (logarithmic), with the bound of fftbench verify.
std::string accuracyGnuplotScript(const BenchRun& bench, const std::string& path, PlotFormat format);

// The limit plot beside the speed plot: "out/bench.svg" -> "out/bench-limit.svg".
std::string limitPlotPath(const std::string& plotPath);
// The gnuplot commands that draw each entry's limit % against log2 N.
std::string limitGnuplotScript(const BenchRun& bench, const std::string& path, PlotFormat format);

// Draws the speed plot into `path` and the accuracy and limit plots beside
// it (accuracyPlotPath, limitPlotPath): all or none; nullopt on success,
// otherwise what went wrong.
std::optional<std::string> renderPlot(const BenchRun& bench, const std::string& path);

}  // namespace fftbench
