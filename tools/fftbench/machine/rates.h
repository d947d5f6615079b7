// The processor's own rates, measured by `fftbench bench` at start: what
// the limit model (model/limit.h) prices an entry's counted operations at.
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
// level. The limit model prices each access at the level its line is in
// (model/cache_traffic.h).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "machine/caches.h"

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

// Measures the rates of `path` (as subject/path_taken.h's kernelPathOf names it) at every
// N of `sizes`; nullopt for a path this build has no loops for. Each figure
// is the best of 5 measurements of at least `minSeconds`; the levels are
// those of `caches` (dataCaches()).
std::optional<PeakRates> measureRates(const std::string& path, const std::vector<uint32_t>& sizes,
                                      const std::vector<CacheLevel>& caches, double minSeconds = 0.002);

// Bytes per second that the load loops of `path` read over a working set of
// `bytes` (one stream and four, the faster); 0 for a path without loops.
// The sweep that finds cache edges where nothing reports them (caches.h).
double loadRateOver(const std::string& path, uint64_t bytes, double minSeconds = 0.002);

}  // namespace fftbench
