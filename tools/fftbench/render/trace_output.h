// `fftbench trace` on standard output, as CSV and as a picture: the figures
// of an access trace (model/access_trace.h) by stage, its reuse histogram,
// and its access map.
#pragma once

#include <cstdio>
#include <string>

#include "model/access_trace.h"

namespace fftbench {

// The totals, a row per stage shape, and the reuse histogram of all accesses.
void printAccessTrace(std::FILE* out, const AccessTrace& trace);
// A row per stage shape and a last row "all": the figures of printAccessTrace.
std::string accessTraceCsv(const AccessTrace& trace);
// The access map above, the reuse histogram below, the caches marked.
std::string accessTraceSvg(const AccessTrace& trace);

}  // namespace fftbench
