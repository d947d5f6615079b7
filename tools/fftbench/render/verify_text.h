// `fftbench verify` on standard output: the verdicts of a verify run
// (check/verify_run.h).
#pragma once

#include <cstdio>

#include "check/verify_run.h"

namespace fftbench {

// The catalogue's faults, the PASS/FAIL table (one row per entry; with
// `verbose` one per entry and size), then one line per failing check naming
// the entry, the check, the sizes and what went wrong, and one per entry
// that crashed or hung.
void printVerifyReport(std::FILE* out, const VerifyReport& report, bool verbose);

}  // namespace fftbench
