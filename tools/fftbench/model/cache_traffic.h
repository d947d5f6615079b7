// Which level of the cache hierarchy each access of a call finds its line
// in: the exact LRU stack distance of every access of the instrumented build's
// run, at 64-byte lines, compared with each cache's size. The limit model
// (model/limit.h) prices each level's lines at the rate that level delivers.
//
// What a call touches, in order: the copy of input into work (a load of
// input sample i, then a store of work sample i), then the kernel's loads
// and stores of work and reads of the table. The call is recorded twice:
// the first only orders the lines as it leaves them, the second is counted,
// so that every line is found where the call before left it, as in a
// benchmark's repeated calls, and nothing is a first touch.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "machine/machine_caches.h"
#include "model/access_trace.h"
#include "model/lru_stack.h"

namespace fftbench {

class InstrumentedLibrary;

struct CacheTraffic {
    std::vector<CacheLevel> caches;  // ascending, as dataCaches() gives them
    // The copy and the kernel's accesses: samples loaded (input, work,
    // table) and stored (work).
    uint64_t loads = 0, stores = 0;
    // Per cache: the loads and stores whose line it does not hold (distance
    // at least its lines); each brings a line from the level beyond.
    std::vector<uint64_t> loadMisses, storeMisses;
};

// Traces entry `index` at N on the instrumented build; `progress` is called
// now and then with the accesses traced so far.
CacheTraffic measureCacheTraffic(const InstrumentedLibrary& instrumented, uint32_t index, uint32_t N,
                                 const std::vector<CacheLevel>& caches,
                                 const std::function<void(uint64_t accesses)>& progress = {});

// measureCacheTraffic() of each (entry, N) asked for, remembered, against
// this machine's caches.
class TrafficCache {
   public:
    using Progress = std::function<void(uint32_t index, uint32_t N, uint64_t accesses)>;
    explicit TrafficCache(const InstrumentedLibrary& instrumented, std::vector<CacheLevel> caches = dataCaches(),
                          Progress progress = {})
        : instrumented_(instrumented), caches_(std::move(caches)), progress_(std::move(progress)) {}
    const CacheTraffic& of(uint32_t index, uint32_t N);
    const std::vector<CacheLevel>& caches() const { return caches_; }

   private:
    const InstrumentedLibrary& instrumented_;
    std::vector<CacheLevel> caches_;
    Progress progress_;
    std::map<std::pair<uint32_t, uint32_t>, CacheTraffic> cache_;
};

}  // namespace fftbench
