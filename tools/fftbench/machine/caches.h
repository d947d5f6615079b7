// The data caches of the machine fftbench runs on, and where each size came
// from. The limit model (model/limit.h, model/cache_traffic.h) and the access maps
// (model/access_trace.h) price and draw every line at the level these sizes put it
// in, so a size is taken from the most direct source that answers:
//
//   1. the operating system (Linux: /sys/devices/system/cpu/cpu0/cache),
//   2. the processor (CPUID: leaf 4 on Intel, 0x8000001D on AMD, else AMD's
//      older 0x80000005 and 0x80000006),
//   3. the processor's own behaviour: the sizes at which a load-rate sweep
//      falls from one plateau to the next,
//   4. a common set (L1d 32 KiB, L2 1 MiB, L3 32 MiB), said to be assumed.
//
// A size a source gives that cannot be one core's (an L1d above 1 MiB, an
// L2 above 64 MiB, an L3 above 256 MiB, or a level no larger than the one
// before) is not taken from it: the next source answers for that level.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace fftbench {

struct CacheLevel {
    std::string name;    // "L1d", "L2", "L3"
    uint64_t bytes = 0;
    std::string source;  // "sysfs", "CPUID", "rate sweep", "assumed"
};

// "L1d 48 KiB (CPUID)".
std::string describeCache(const CacheLevel& cache);
// The levels described, comma-separated ("none" for none).
std::string describeCaches(const std::vector<CacheLevel>& caches);

// One CPUID answer: eax, ebx, ecx, edx.
struct CpuidAnswer {
    uint32_t eax = 0, ebx = 0, ecx = 0, edx = 0;
};

// Where the reader looks. Each member may be left empty: that source then
// does not answer.
struct CacheSources {
    std::string sysfsFolder;  // "/sys/devices/system/cpu/cpu0/cache"
    // CPUID (leaf, subleaf); leaves above the processor's maximum answer zeros.
    std::function<CpuidAnswer(uint32_t leaf, uint32_t subleaf)> cpuid;
    // Load rate (bytes per second) over a working set of `bytes`.
    std::function<double(uint64_t bytes)> loadRate;
};

// The data caches by those sources, ascending by size.
std::vector<CacheLevel> readDataCaches(const CacheSources& sources);

// The working sets a sweep measures, ascending: 4 KiB to 256 MiB in steps
// of about √2 (2^k and 1.5 · 2^k bytes).
std::vector<uint64_t> sweepSizes();

// The cache edges in a load-rate sweep (working set bytes and rate, ascending
// by size): a level ends where the rate falls below three quarters of the
// best rate since the last edge, and its size is taken as the first working
// set that no longer fits, the larger of the two candidates, so that the
// model never prices a line slower than the hardware may deliver it. At most
// three levels.
std::vector<CacheLevel> cacheEdges(const std::vector<std::pair<uint64_t, double>>& sweep);

}  // namespace fftbench
