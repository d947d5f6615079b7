// The least time an entry's counted operations need on this core, at the
// processor's measured peak rates (machine/rates.h): the limit its structure
// sets, against which its measured time is judged (limit % = least time /
// measured time).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "machine/rates.h"
#include "model/cache_traffic.h"
#include "plugin/instrument/instrumented.h"

namespace fftbench {

// What one transform of N points moves and computes, from the instrumented
// build's tally: the work samples it loads and stores (8 bytes each) plus
// the copy of input into work that every call makes (8N bytes read, 8N
// written), and its real additions and multiplications; from its events,
// the lines each cache misses (cache_traffic.h), 64 bytes each.
struct Operations {
    double loadBytes = 0, storeBytes = 0, additions = 0, multiplications = 0;
    // Per data cache, ascending: bytes of the lines it misses for loads
    // (work, input and table) and for stores (work).
    std::vector<double> loadMissBytes, storeMissBytes;
};
Operations operationsOf(const FftplugCounts& counts, uint32_t N, const CacheTraffic& traffic);

// The least time: the slowest of these alone, each at its peak rate, all
// overlapping perfectly, and which of them it is: the bytes loaded and
// stored at the first-level cache's rates ("loads", "stores"); the lines
// each cache misses for loads and for stores at the rates of the level
// beyond it, which delivers them ("L2 loads", "memory stores" …);
// additions and multiplications ("additions", "multiplications").
// nullopt where the rates of a level the lines come from were not measured.
struct LeastTime {
    double seconds = 0;
    std::string bound;
};
std::optional<LeastTime> leastTime(const Operations& operations, const PeakRates& rates);

// least / measured · 100.
double limitPercent(double leastSeconds, double measuredSeconds);

}  // namespace fftbench
