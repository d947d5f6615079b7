// The memory behaviour of one run of an entry (`fftbench trace`), from the
// loads and stores the instrumented build reports: a map of sample index
// against event number, and per stage the distinct 64-byte lines touched,
// the bytes moved, the far jumps and the reuse distances (how many distinct
// lines are touched between two touches of the same line: an LRU cache of
// C bytes holds a line for reuse at distance d exactly when 64·d < C).
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "host/plugin_library.h"
#include "machine/caches.h"
#include "model/lru_stack.h"
#include "plugin/instrument/instrumented.h"

namespace fftbench {

class InstrumentedLibrary;

// The sizes trace takes: the raster and reuse distances of the largest stay
// within a few hundred megabytes of memory and a few seconds.
inline constexpr uint32_t kTraceMinSize = 2, kTraceMaxSize = uint32_t{1} << 20;

inline constexpr uint32_t kLineBytes = 64;
inline constexpr uint32_t kSampleBytes = 8;
// A jump between consecutive accesses this far or farther leaves the page.
inline constexpr uint32_t kFarJumpBytes = 4096;

// Reuse distances in bins: bins[0] distance 0 (the same line again, nothing
// between), bins[k] for k ≥ 1 distances 2^(k−1) … 2^k − 1 lines.
struct ReuseHistogram {
    std::vector<uint64_t> bins;
    uint64_t firstTouches = 0;  // accesses to a line not touched before in the run
    void add(uint64_t distance);
    uint64_t accesses() const;  // reuses and first touches
    // Accesses at distance of at least `lines` lines, first touches included:
    // what an LRU cache of lines·64 bytes misses.
    uint64_t atLeast(uint64_t lines) const;
    void merge(const ReuseHistogram& other);
};

// The stages of one shape (block size and distance apart), in the order
// they first appear: each stage of most entries, every 256-point block's
// stage of one span together for entry 4.
struct StageTraffic {
    uint32_t block = 0, apart = 0;
    uint64_t stages = 0;           // stages of this shape that touched work
    uint64_t loads = 0, stores = 0;
    uint64_t lines = 0;            // distinct lines of each stage, summed over its stages
    uint64_t farJumps = 0;         // accesses kFarJumpBytes or more from the one before
    ReuseHistogram reuse;          // of the accesses made in these stages
    // Per cache of AccessTrace::caches: the accesses whose reuse distance is
    // at least the cache's lines, or that touch a line first: its misses, were
    // it fully associative with LRU replacement.
    std::vector<uint64_t> misses;
    uint64_t bytes() const { return kSampleBytes * (loads + stores); }
    std::string description() const;  // "block 16, apart 4"
};

// Sample index against event number, a coarse raster: cell (column, row)
// holds what touched samples of that row in that column's events.
struct AccessMap {
    uint32_t rows = 0, columns = 0;
    uint64_t eventsPerColumn = 1;
    // Per cell: bit 0 a load, bit 1 a store; 0: untouched.
    std::vector<uint16_t> cells;  // column-major: cells[column * rows + row]
    // Per cell: its accesses, and those among them that missed the first of
    // AccessTrace::caches (the line not reused within that cache's lines, or
    // touched for the first time).
    std::vector<uint32_t> touches, misses;

    static constexpr uint16_t kLoad = 1, kStore = 2;
    // A cell drawn as missing: a quarter or more of its accesses miss.
    bool missing(size_t cell) const { return misses[cell] > 0 && 4 * uint64_t{misses[cell]} >= touches[cell]; }
    // Two cells as one: whatever touched either.
    static uint16_t merged(uint16_t earlier, uint16_t later) { return static_cast<uint16_t>(earlier | later); }
    // Columns c and c + 1 as one, at c / 2 (the time resolution halved).
    void mergeColumns(uint32_t into, uint32_t first);
};

struct AccessTrace {
    uint32_t entry = 0, N = 0;
    std::string title;  // "entry 0: decimation in time (radix 2)"
    uint64_t loads = 0, stores = 0;
    uint64_t stageCount = 0;  // stages that touched work
    std::vector<StageTraffic> stages;
    ReuseHistogram reuse;     // every access
    AccessMap map;
    std::vector<CacheLevel> caches;
    std::vector<uint64_t> misses;  // per cache, over all stages
    std::vector<uint64_t> stageStarts;  // per stage that touched work: the number of accesses before its first
    uint64_t arrayLines() const { return (uint64_t{N} * kSampleBytes + kLineBytes - 1) / kLineBytes; }
};

// Builds an AccessTrace from the events of one run, streamed through consume().
class AccessTracer {
   public:
    AccessTracer(uint32_t entry, uint32_t N);
    void consume(const FftplugEvent* events, size_t count);
    AccessTrace finish();
    uint64_t accesses() const { return accesses_; }
    uint64_t stagesSeen() const { return stageNumber_; }

   private:
    void access(uint32_t sample, bool store);
    void openGroup();
    void mark(uint32_t sample, uint16_t what, bool missed);

    AccessTrace trace_;
    std::vector<uint64_t> cacheLines_;
    uint32_t block_ = 0, apart_ = 0;
    int group_ = -1;             // index into trace_.stages of the current stage's shape, -1 before its first access
    uint32_t stageNumber_ = 0;   // stages begun
    std::vector<uint32_t> stageOfLine_;  // the last stage that touched each line (1 + its number; 0: none)
    uint64_t previous_ = UINT64_MAX;     // the previous sample accessed
    LruStack lines_;  // the reuse distances, the stack the limit model uses too
    uint64_t accesses_ = 0;
    uint64_t events_ = 0;
    uint32_t column_ = 0;
    uint64_t inColumn_ = 0;
};

using TraceProgress = std::function<void(uint64_t accesses, uint64_t stages)>;

// Records `entry` at N on the instrumented build (loads, stores and stage
// marks only) and traces it; `progress` is called now and then.
AccessTrace recordAccessTrace(const InstrumentedLibrary& instrumented, const fftplug::host::CatalogueEntry& entry,
                              uint32_t N, const TraceProgress& progress = {});

}  // namespace fftbench
