// The cache levels each stage's lines come from: cache_traffic.h's fewest
// misses over the instrumented build's run, counted where they fall between
// its stage marks, so that the limit model prices each stage on its own.
#pragma once

#include <cstdint>
#include <vector>

#include "machine/machine_caches.h"

namespace fftbench {

class InstrumentedLibrary;

struct StageMisses {
    // Index 0: the copy of input into work; index k: the stage that mark k
    // (from 1) begins. Per cache, ascending: the loads and stores whose line
    // neither it nor a level before it holds.
    std::vector<std::vector<uint64_t>> loadMisses, storeMisses;
};

// Traces entry `index` at N as measureCacheTraffic does and splits the
// misses at the stage marks.
StageMisses measureStageMisses(const InstrumentedLibrary& instrumented, uint32_t index, uint32_t N,
                               const std::vector<CacheLevel>& caches);

}  // namespace fftbench
