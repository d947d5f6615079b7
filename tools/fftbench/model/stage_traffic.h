// The cache levels each stage's lines come from: cache_traffic.h's exact
// LRU stack distances over the recording build's run, split at its stage
// marks, so that the limit model prices each stage on its own.
#pragma once

#include <cstdint>
#include <vector>

#include "machine/machine_caches.h"

namespace fftbench {

class RecordingLibrary;

struct StageMisses {
    // Index 0: the copy of input into work; index k: the stage that mark k
    // (from 1) begins. Per cache, ascending: the loads and stores whose line
    // it does not hold.
    std::vector<std::vector<uint64_t>> loadMisses, storeMisses;
};

// Traces entry `index` at N twice, as measureCacheTraffic does (the second
// call counted), and splits the misses at the stage marks.
StageMisses measureStageMisses(const RecordingLibrary& recording, uint32_t index, uint32_t N,
                               const std::vector<CacheLevel>& caches);

}  // namespace fftbench
