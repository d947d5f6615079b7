// The processor's own rates, measured by `fftbench bench` at start, and the
// least time an entry's counted operations need at them: the limit that
// entry's structure sets on this core, against which its measured time is
// judged (limit % = least time / measured time).
//
// The rates come from small calibrated loops at the vector width of the
// path the plug-in takes (rate_kernels.h): the throughput of vector loads
// and of vector stores over a working set the size of one transform's arrays
// at each N (work and table, 2 · 8N bytes, at least 4 KiB), and of vector
// additions, multiplications (no FMA) and the shuffles of a complex
// multiplication, in independent chains.
//
// The same loops measure what each cache level delivers: loads and stores
// over an eighth, a quarter and a half of each data cache, the fastest (and four times
// the last one's: memory), so that every line the loop touches comes from that
// level. The least time prices each access at the level its line is in
// (cache_traffic.h).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "machine/caches.h"
#include "plugin/counts.h"

namespace fftbench {

struct MemoryRate {
    uint32_t N = 0;
    uint64_t bytes = 0;     // the working set measured
    double loadBytesPerSecond = 0, storeBytesPerSecond = 0;
};

// What one level delivers: the caches' lines come from it when they are in
// it and not in the caches before (memory: in none of them).
struct LevelRate {
    std::string name;        // "L1d", "L2", "L3", "memory"
    uint64_t cacheBytes = 0;  // 0 for memory
    uint64_t bytes = 0, largestBytes = 0;  // the smallest and largest working sets measured (an eighth and a half of the cache)
    double loadBytesPerSecond = 0, storeBytesPerSecond = 0;
};

struct PeakRates {
    std::string path;  // "scalar", "SSE2", "AVX2", "AVX-512"
    unsigned lanes = 0, vectorBytes = 0;
    // Real floating-point operations per second (lanes · instructions):
    double additionsPerSecond = 0, multiplicationsPerSecond = 0;
    std::optional<double> shufflesPerSecond;  // lanes shuffled; none on the scalar path
    std::vector<MemoryRate> memory;          // ascending N
    // Per data cache (ascending), then memory when the largest N's arrays
    // (input, work and table) could outgrow the last cache.
    std::vector<LevelRate> levels;
    // The rates at N's working set; nullptr where N was not measured.
    const MemoryRate* at(uint32_t N) const;
};

// The working set measured for N: 2 · 8N bytes, at least 4 KiB.
uint64_t workingSetBytes(uint32_t N);

// Measures the rates of `path` (as cpu.h's kernelPathOf names it) at every
// N of `sizes`; nullopt for a path this build has no loops for. Each figure
// is the best of 5 measurements of at least `minSeconds`; the levels are
// those of `caches` (dataCaches()).
std::optional<PeakRates> measureRates(const std::string& path, const std::vector<uint32_t>& sizes,
                                      const std::vector<CacheLevel>& caches, double minSeconds = 0.002);

// What one transform of N points moves and computes, from the counting
// build: the work samples it loads and stores (8 bytes each) plus the copy
// of input into work that every call makes (8N bytes read, 8N written),
// and its real additions and multiplications; from the recording build's
// trace, the lines each cache misses (cache_traffic.h), 64 bytes each.
struct Operations {
    double loadBytes = 0, storeBytes = 0, additions = 0, multiplications = 0;
    // Per data cache, ascending: bytes of the lines it misses for loads
    // (work, input and table) and for stores (work).
    std::vector<double> loadMissBytes, storeMissBytes;
};
struct CacheTraffic;
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

// Bytes per second that the load loops of `path` read over a working set of
// `bytes` (one stream and four, the faster); 0 for a path without loops.
// The sweep that finds cache edges where nothing reports them (caches.h).
double loadRateOver(const std::string& path, uint64_t bytes, double minSeconds = 0.002);

// least / measured · 100.
double limitPercent(double leastSeconds, double measuredSeconds);

}  // namespace fftbench
