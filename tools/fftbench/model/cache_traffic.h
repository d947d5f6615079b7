// Which level of the cache hierarchy each access of a call can at best find
// its line in: the fewest misses of each level (model/fewest_misses.h) for
// every access of the instrumented build's run, at 64-byte lines, so that the
// limit model (model/limit.h), pricing each level's lines at the rate that
// level delivers, gives a time no run can beat.
//
// What a call touches, in order: the copy of input into work (a load of
// input sample i, then a store of work sample i), then the kernel's loads
// and stores of work and reads of the table. The caches start the call
// holding what suits it best, so that no call before it, as in a
// benchmark's repeated calls, could have left them better placed.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "machine/machine_caches.h"
#include "model/access_trace.h"
#include "model/fewest_misses.h"

namespace fftbench {

class InstrumentedLibrary;

struct CacheTraffic {
    std::vector<CacheLevel> caches;  // ascending, as dataCaches() gives them
    // The copy and the kernel's accesses: samples loaded (input, work,
    // table) and stored (work).
    uint64_t loads = 0, stores = 0;
    // Per cache: the fewest loads and stores whose line neither it nor a
    // level before it holds; each brings a line from the level beyond.
    std::vector<uint64_t> loadMisses, storeMisses;
};

// Traces entry `index` at N on the instrumented build; `progress` is called
// now and then with the accesses traced so far.
CacheTraffic measureCacheTraffic(const InstrumentedLibrary& instrumented, uint32_t index, uint32_t N,
                                 const std::vector<CacheLevel>& caches,
                                 const std::function<void(uint64_t accesses)>& progress = {});

// The lines a call touches, in order (what measureCacheTraffic counts), a
// part beginning at each stage mark where partByStage.
LineTouches callTouches(const InstrumentedLibrary& instrumented, uint32_t index, uint32_t N, bool partByStage,
                        const std::function<void(uint64_t accesses)>& progress = {});
// Each level's capacity in lines, counting the levels before it.
std::vector<uint64_t> cacheCapacities(const std::vector<CacheLevel>& caches);

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
