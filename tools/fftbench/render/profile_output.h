// `fftbench profile` on standard output, as CSV, JSON and a gnuplot script:
// the counts of a profile run (model/operation_counts.h).
#pragma once

#include <cstdio>
#include <string>

#include "model/operation_counts.h"

namespace fftbench {

// The counts, a row per entry or peer and size, then flops / (N log2 N)
// side by side.
std::string profileTableText(const ProfileRun& run);
void printProfileTable(std::FILE* out, const ProfileRun& run);
std::string profileCsv(const ProfileRun& run);
std::string profileJson(const ProfileRun& run, const std::string& version);
// flops / (N log2 N) against log2 N, one line per entry and FFTW.
std::string profileGnuplotScript(const ProfileRun& run, const std::string& path, bool png);

}  // namespace fftbench
