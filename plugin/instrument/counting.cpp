// Compiled into the counting build of the library (fftplug_counting) alone,
// never shipped: the tallies behind the marks of plugin/instrument/marks.h, and the
// export that runs an entry once and reports them.
#include "marks.h"

#include <cstring>

#include "../counts.h"

namespace fftplug::counting {

Tally tally;

namespace {

constexpr uint32_t kMaxSamples = uint32_t{1} << FFTPLUG_COUNTING_MAX_LOG2;

// One bit per sample of work (touched in the current stage) and per table
// index (read at least once).
uint8_t touchedSamples[kMaxSamples / 8];
uint8_t readEntries[kMaxSamples / 8];

struct Run {
    const Complex* work = nullptr;
    const Complex* table = nullptr;
    uint32_t n = 0;
    FftplugCounts counts{};
    // The current stage: how many samples it touched, and the range of them.
    uint32_t touched = 0, lowest = 0, highest = 0;
    // Stage by stage (countEntryStages): where each mark's figures go, and
    // the running totals at the last mark.
    FftplugStageCounts* perStage = nullptr;
    uint64_t capacity = 0, marks = 0;
    FftplugStageCounts atMark{};
} run;

FftplugStageCounts runningTotals() {
    return FftplugStageCounts{tally.additions, tally.multiplications, run.counts.loads, run.counts.stores,
                              run.counts.tableReads};
}

// Gives the stage that the last mark began what was done since.
void closeStageCounts() {
    if (run.perStage == nullptr || run.marks == 0) return;
    const FftplugStageCounts now = runningTotals();
    if (run.marks - 1 < run.capacity)
        run.perStage[run.marks - 1] =
            FftplugStageCounts{now.additions - run.atMark.additions, now.multiplications - run.atMark.multiplications,
                               now.loads - run.atMark.loads, now.stores - run.atMark.stores,
                               now.tableReads - run.atMark.tableReads};
    run.atMark = now;
}

// Marks bit i of `bits`; true if it was clear.
bool mark(uint8_t* bits, uint32_t i) {
    const uint8_t bit = static_cast<uint8_t>(1u << (i % 8));
    if ((bits[i / 8] & bit) != 0) return false;
    bits[i / 8] = static_cast<uint8_t>(bits[i / 8] | bit);
    return true;
}

void touch(const Complex* sample) {
    if (sample < run.work || sample >= run.work + run.n) return;
    const uint32_t i = static_cast<uint32_t>(sample - run.work);
    if (!mark(touchedSamples, i)) return;
    if (run.touched == 0 || i < run.lowest) run.lowest = i;
    if (run.touched == 0 || i > run.highest) run.highest = i;
    ++run.touched;
}

// Ends the current stage; only the range it touched needs clearing.
void closeStage() {
    if (run.touched == 0) return;
    ++run.counts.stages;
    if (run.touched == run.n) ++run.counts.fullPasses;
    std::memset(touchedSamples + run.lowest / 8, 0, run.highest / 8 - run.lowest / 8 + 1);
    run.touched = 0;
}

}  // namespace

void loaded(const Complex* sample) {
    ++run.counts.loads;
    touch(sample);
}

void stored(const Complex* sample) {
    ++run.counts.stores;
    touch(sample);
}

void tableRead(const Complex* entry) {
    ++run.counts.tableReads;
    if (entry >= run.table && entry < run.table + run.n &&
        mark(readEntries, static_cast<uint32_t>(entry - run.table)))
        ++run.counts.distinctTableReads;
}

void stageBegins() {
    closeStage();
    closeStageCounts();
    if (run.marks == 0) run.atMark = runningTotals();
    ++run.marks;
}

}  // namespace fftplug::counting

extern "C" FFTPLUG_EXPORT int32_t FFTPLUG_CALL countEntry(uint32_t index, int32_t N, const Complex* input,
                                                         Complex* work, Complex* table, FftplugCounts* counts) {
    using namespace fftplug::counting;
    if (counts == nullptr) return 0;
    *counts = FftplugCounts{};
    if (N < 1 || (N & (N - 1)) != 0 || static_cast<uint32_t>(N) > kMaxSamples) return 0;
    run = Run{};
    run.work = work;
    run.table = table;
    run.n = static_cast<uint32_t>(N);
    tally = Tally{};
    std::memset(readEntries, 0, (run.n + 7) / 8);
    runEntry(index, N, input, 0, work, 0, table, 0, 1);
    closeStage();
    run.counts.additions = tally.additions;
    run.counts.multiplications = tally.multiplications;
    *counts = run.counts;
    return 1;
}

extern "C" FFTPLUG_EXPORT int32_t FFTPLUG_CALL countEntryStages(uint32_t index, int32_t N, const Complex* input,
                                                               Complex* work, Complex* table,
                                                               FftplugStageCounts* stages, int32_t capacity) {
    using namespace fftplug::counting;
    if (N < 1 || (N & (N - 1)) != 0 || static_cast<uint32_t>(N) > kMaxSamples) return -1;
    if (capacity < 0 || (stages == nullptr && capacity > 0)) return -1;
    run = Run{};
    run.perStage = stages;
    run.capacity = static_cast<uint64_t>(capacity);
    run.work = work;
    run.table = table;
    run.n = static_cast<uint32_t>(N);
    tally = Tally{};
    std::memset(readEntries, 0, (run.n + 7) / 8);
    runEntry(index, N, input, 0, work, 0, table, 0, 1);
    closeStage();
    closeStageCounts();
    const uint64_t marks = run.marks;
    run = Run{};
    return marks > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int32_t>(marks);
}
