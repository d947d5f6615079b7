// `fftbench stages` as text, data and pictures: the table of each entry's
// stages (time, share, limit %, bound, what the model leaves out), the
// agreement of the stages' sum with the whole transform; CSV and JSON; a
// stacked-bar plot per N drawn by gnuplot and the same as inline SVG for
// the report (one bar per entry, one segment per stage, in the hues of the
// access maps: by how far apart the stage's butterflies pair samples).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "measure/stage_run.h"
#include "render/gnuplot.h"

namespace fftbench {

// The CSV header, in order (docs/fftbench.md).
extern const std::vector<std::string> kStageColumns;

std::string stagesTableText(const StageRun& run);
std::string stagesCsv(const StageRun& run);
// {"tool", "version", "cpu", "settings", "rates", "timings": [{..., "stages": [...]}]}.
std::string stagesJson(const StageRun& run, const std::string& version);

// The plot file of size N for --plot PATH: PATH with "-n<N>" before its extension.
std::string stagePlotPath(const std::string& path, uint32_t N);
// The gnuplot script of the stacked bars at N on `path` (the first of the run's paths where empty).
std::string stagesGnuplotScript(const StageRun& run, uint32_t N, const std::string& plotPath, PlotFormat format,
                                const std::string& path = "");
// Draws one plot per N; nullopt on success, otherwise what went wrong.
std::optional<std::string> renderStagePlots(const StageRun& run, const std::string& plotPath);

// The stacked bars at N as an SVG document (of the run's first path unless
// `path` names one): for the report, which inlines it.
std::string stagesSvg(const StageRun& run, uint32_t N, const std::string& path = "");

// The fill of a stage segment: the access maps' hue of samples 2^k apart
// among `spans` distances (k = log2 apart), grey for the copy.
std::string stageColour(const StageRow& row, uint32_t N);

}  // namespace fftbench
