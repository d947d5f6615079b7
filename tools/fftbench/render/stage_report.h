// The report's view of `fftbench stages`: beside each entry's signal-flow
// graph, where its time goes stage by stage (a bar of its stages in the
// access maps' hues, its table of time, share, limit % and bound), so that a
// stage can be seen and its cost read in one place.
#pragma once

#include <cstdint>
#include <string>

#include "measure/stage_run.h"

namespace fftbench {

// The HTML of entry `entry`'s stages in `run` (every size it has, its first
// path); empty where run is null or has no timing of the entry.
std::string entryStagesHtml(const StageRun* run, uint32_t entry);

}  // namespace fftbench
