#include "model/access_trace.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>

#include "machine/machine_caches.h"
#include "subject/names.h"
#include "subject/instrumented_build.h"

namespace fftbench {

// ---- reuse histogram ------------------------------------------------------

void ReuseHistogram::add(uint64_t distance) {
    size_t bin = 0;
    while ((uint64_t{1} << bin) <= distance) ++bin;  // distance 0 -> 0, 1 -> 1, 2..3 -> 2, 4..7 -> 3
    if (bins.size() <= bin) bins.resize(bin + 1, 0);
    ++bins[bin];
}

uint64_t ReuseHistogram::accesses() const {
    uint64_t total = firstTouches;
    for (const uint64_t b : bins) total += b;
    return total;
}

uint64_t ReuseHistogram::atLeast(uint64_t lines) const {
    // Bins straddling `lines` are counted from the first whole bin at or above it.
    uint64_t total = firstTouches;
    for (size_t k = 0; k < bins.size(); ++k) {
        const uint64_t low = k == 0 ? 0 : uint64_t{1} << (k - 1);
        if (low >= lines) total += bins[k];
    }
    return total;
}

void ReuseHistogram::merge(const ReuseHistogram& other) {
    if (bins.size() < other.bins.size()) bins.resize(other.bins.size(), 0);
    for (size_t k = 0; k < other.bins.size(); ++k) bins[k] += other.bins[k];
    firstTouches += other.firstTouches;
}

std::string StageTraffic::description() const {
    return block == 2 * apart ? fmt::format("span {}", block) : fmt::format("block {}, apart {}", block, apart);
}

// ---- the tracer -------------------------------------------------------------

namespace {

constexpr uint32_t kMaxColumns = 2048;
constexpr uint32_t kMaxRows = 256;

}  // namespace

void AccessMap::mergeColumns(uint32_t into, uint32_t first) {
    for (uint32_t r = 0; r < rows; ++r) {
        const size_t a = size_t{first} * rows + r, b = a + rows, to = size_t{into} * rows + r;
        cells[to] = merged(cells[a], cells[b]);
        touches[to] = touches[a] + touches[b];
        misses[to] = misses[a] + misses[b];
    }
}

AccessTracer::AccessTracer(uint32_t entry, uint32_t N) {
    trace_.entry = entry;
    trace_.N = N;
    const uint64_t lines = trace_.arrayLines();
    stageOfLine_.assign(lines, 0);
    trace_.map.rows = std::min(N, kMaxRows);
    trace_.map.cells.assign(size_t{kMaxColumns} * trace_.map.rows, 0);
    trace_.map.touches.assign(trace_.map.cells.size(), 0);
    trace_.map.misses.assign(trace_.map.cells.size(), 0);
    trace_.caches = dataCaches();
    for (const CacheLevel& cache : trace_.caches) cacheLines_.push_back(cache.bytes / kLineBytes);
}

void AccessTracer::consume(const FftplugEvent* events, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const FftplugEvent& e = events[i];
        switch (e.what) {
            case FFTPLUG_EVENT_STAGE:
                ++stageNumber_;
                block_ = e.value;
                apart_ = e.extra;
                group_ = -1;
                break;
            case FFTPLUG_EVENT_LOAD: access(e.value, false); break;
            case FFTPLUG_EVENT_STORE: access(e.value, true); break;
            default: break;
        }
    }
}

void AccessTracer::openGroup() {
    auto& stages = trace_.stages;
    auto found = std::find_if(stages.begin(), stages.end(),
                              [&](const StageTraffic& s) { return s.block == block_ && s.apart == apart_; });
    if (found == stages.end()) {
        stages.push_back(StageTraffic{});
        stages.back().block = block_;
        stages.back().apart = apart_;
        stages.back().misses.assign(cacheLines_.size(), 0);
        found = stages.end() - 1;
    }
    group_ = static_cast<int>(found - stages.begin());
    trace_.stageStarts.push_back(accesses_);
    ++found->stages;
    ++trace_.stageCount;
}

void AccessTracer::access(uint32_t sample, bool store) {
    if (sample >= trace_.N) return;  // not a work sample (never seen)
    if (group_ < 0) openGroup();
    StageTraffic& group = trace_.stages[static_cast<size_t>(group_)];
    (store ? group.stores : group.loads) += 1;
    (store ? trace_.stores : trace_.loads) += 1;
    const uint64_t sampleBytes = uint64_t{sample} * kSampleBytes;
    if (previous_ != UINT64_MAX) {
        const uint64_t before = previous_ * kSampleBytes;
        if ((sampleBytes > before ? sampleBytes - before : before - sampleBytes) >= kFarJumpBytes) ++group.farJumps;
    }
    previous_ = sample;

    const uint32_t line = static_cast<uint32_t>(sampleBytes / kLineBytes);
    if (stageOfLine_[line] != stageNumber_ + 1) {
        stageOfLine_[line] = stageNumber_ + 1;
        ++group.lines;
    }

    // Reuse distance: the other lines touched since this line's last access.
    const uint64_t distance = lines_.touch(line);
    if (distance == LruStack::kFirstTouch) ++group.reuse.firstTouches;
    else group.reuse.add(distance);
    for (size_t c = 0; c < cacheLines_.size(); ++c)
        if (distance >= cacheLines_[c]) ++group.misses[c];
    ++accesses_;

    mark(sample, store ? AccessMap::kStore : AccessMap::kLoad, !cacheLines_.empty() && distance >= cacheLines_[0]);
}

void AccessTracer::mark(uint32_t sample, uint16_t what, bool missed) {
    AccessMap& map = trace_.map;
    if (inColumn_ == map.eventsPerColumn) {
        ++column_;
        inColumn_ = 0;
        if (column_ == kMaxColumns) {  // halve the time resolution
            for (uint32_t c = 0; c < kMaxColumns / 2; ++c) map.mergeColumns(c, 2 * c);
            std::fill(map.cells.begin() + size_t{kMaxColumns / 2} * map.rows, map.cells.end(), uint16_t{0});
            std::fill(map.touches.begin() + size_t{kMaxColumns / 2} * map.rows, map.touches.end(), 0u);
            std::fill(map.misses.begin() + size_t{kMaxColumns / 2} * map.rows, map.misses.end(), 0u);
            column_ = kMaxColumns / 2;
            map.eventsPerColumn *= 2;
        }
    }
    ++inColumn_;
    const uint32_t row = static_cast<uint32_t>(uint64_t{sample} * map.rows / trace_.N);
    const size_t cell = size_t{column_} * map.rows + row;
    map.cells[cell] = AccessMap::merged(map.cells[cell], what);
    ++map.touches[cell];
    if (missed) ++map.misses[cell];
}

AccessTrace AccessTracer::finish() {
    trace_.map.columns = column_ + (inColumn_ > 0 ? 1 : 0);
    trace_.map.cells.resize(size_t{trace_.map.columns} * trace_.map.rows);
    trace_.map.touches.resize(trace_.map.cells.size());
    trace_.map.misses.resize(trace_.map.cells.size());
    trace_.misses.assign(cacheLines_.size(), 0);
    for (const StageTraffic& s : trace_.stages) {
        trace_.reuse.merge(s.reuse);
        for (size_t c = 0; c < cacheLines_.size(); ++c) trace_.misses[c] += s.misses[c];
    }
    return std::move(trace_);
}

AccessTrace recordAccessTrace(const InstrumentedLibrary& instrumented, const fftplug::host::CatalogueEntry& entry,
                              uint32_t N, const TraceProgress& progress) {
    AccessTracer tracer(entry.index, N);
    const uint32_t mask = (1u << FFTPLUG_EVENT_LOAD) | (1u << FFTPLUG_EVENT_STORE) | (1u << FFTPLUG_EVENT_STAGE);
    instrumented.record(entry.index, N, mask, [&](const FftplugEvent* events, size_t count) {
        tracer.consume(events, count);
        if (progress) progress(tracer.accesses(), tracer.stagesSeen());
    });
    AccessTrace trace = tracer.finish();
    const auto gloss = englishGloss(entry.name);
    trace.title = gloss ? fmt::format("entry {}: {}", entry.index, *gloss) : fmt::format("entry {}", entry.index);
    return trace;
}

}  // namespace fftbench
