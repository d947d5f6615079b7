// What the marks of marks.h do in the instrumented build of the library
// (fftplug_instrumented), the one build this file is compiled into: the
// tally and the recorder of events, and the export that runs an entry once
// and reports both (instrumented.h). Never shipped.
#include "marks.h"

#include <cstring>

namespace fftplug::instrument {

Tally tally;

namespace {

constexpr uint32_t kMaxSamples = uint32_t{1} << FFTPLUG_INSTRUMENTED_MAX_LOG2;

// One bit per sample of work (touched in the current stage) and per table
// index (read at least once).
uint8_t touchedSamples[kMaxSamples / 8];
uint8_t readEntries[kMaxSamples / 8];

struct Run {
    const Complex* work = nullptr;
    const Complex* table = nullptr;
    uint32_t n = 0;
    // The tally beyond the arithmetic, kept when the caller asks for counts.
    bool counting = false;
    FftplugCounts counts{};
    // The current stage: how many samples it touched, and the range of them.
    uint32_t touched = 0, lowest = 0, highest = 0;
    // The events asked for (none when mask is 0), and the buffer's fill.
    FftplugEventStream events{};
    uint32_t recorded = 0;
    Tally atMark;  // the arithmetic at the last stage mark
} run;

// ---- the tally ----

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

// ---- the events ----

void record(uint32_t what, uint32_t value, uint32_t extra = 0) {
    if ((run.events.mask & (1u << what)) == 0) return;
    run.events.buffer[run.recorded++] = FftplugEvent{what, value, extra};
    if (run.recorded == run.events.capacity) {
        run.events.sink(run.events.context, run.events.buffer, run.recorded);
        run.recorded = 0;
    }
}

// The index of `p` in an array of N samples at `base`; N itself (never an
// index) for a pointer outside it.
uint32_t indexIn(const Complex* base, const Complex* p) {
    if (base == nullptr || p < base || p >= base + run.n) return run.n;
    return static_cast<uint32_t>(p - base);
}

}  // namespace

void loaded(const Complex* sample) {
    if (run.counting) {
        ++run.counts.loads;
        touch(sample);
    }
    record(FFTPLUG_EVENT_LOAD, indexIn(run.work, sample));
}

void stored(const Complex* sample) {
    if (run.counting) {
        ++run.counts.stores;
        touch(sample);
    }
    record(FFTPLUG_EVENT_STORE, indexIn(run.work, sample));
}

void tableRead(const Complex* entry) {
    if (run.counting) {
        ++run.counts.tableReads;
        if (entry >= run.table && entry < run.table + run.n &&
            mark(readEntries, static_cast<uint32_t>(entry - run.table)))
            ++run.counts.distinctTableReads;
    }
    record(FFTPLUG_EVENT_TABLE, indexIn(run.table, entry));
}

// The arithmetic since the last stage mark, as an event.
static void recordArithmetic() {
    if ((run.events.mask & (1u << FFTPLUG_EVENT_ARITHMETIC)) == 0) return;
    record(FFTPLUG_EVENT_ARITHMETIC, static_cast<uint32_t>(tally.additions - run.atMark.additions),
           static_cast<uint32_t>(tally.multiplications - run.atMark.multiplications));
    run.atMark = tally;
}

void stageBegins(uint64_t block, uint64_t apart) {
    if (run.counting) closeStage();
    recordArithmetic();
    record(FFTPLUG_EVENT_STAGE, static_cast<uint32_t>(block), static_cast<uint32_t>(apart));
}

void factorApplied(uint32_t kind) { record(FFTPLUG_EVENT_FACTOR, kind); }

void blockCalled(int32_t size, int32_t index) {
    record(FFTPLUG_EVENT_CALL, static_cast<uint32_t>(size), static_cast<uint32_t>(index));
}

void blockJoined(int32_t size, int32_t index) {
    record(FFTPLUG_EVENT_JOIN, static_cast<uint32_t>(size), static_cast<uint32_t>(index));
}

}  // namespace fftplug::instrument

extern "C" FFTPLUG_EXPORT int32_t FFTPLUG_CALL instrumentEntry(uint32_t index, int32_t N, const Complex* input,
                                                              Complex* work, Complex* table, FftplugCounts* counts,
                                                              const FftplugEventStream* events) {
    using namespace fftplug::instrument;
    if (counts != nullptr) *counts = FftplugCounts{};
    if (N < 1 || (N & (N - 1)) != 0 || static_cast<uint32_t>(N) > kMaxSamples) return 0;
    if (counts == nullptr && events == nullptr) return 0;
    if (events != nullptr && (events->buffer == nullptr || events->capacity == 0 || events->sink == nullptr))
        return 0;
    run = Run{};
    run.work = work;
    run.table = table;
    run.n = static_cast<uint32_t>(N);
    run.counting = counts != nullptr;
    if (events != nullptr) run.events = *events;
    tally = Tally{};
    if (run.counting) std::memset(readEntries, 0, (run.n + 7) / 8);
    runEntry(index, N, input, 0, work, 0, table, 0, 1);
    if (run.counting) {
        closeStage();
        run.counts.additions = tally.additions;
        run.counts.multiplications = tally.multiplications;
        *counts = run.counts;
    }
    recordArithmetic();
    if (run.recorded > 0) run.events.sink(run.events.context, run.events.buffer, run.recorded);
    run = Run{};  // nothing more is counted or recorded, whatever runs next
    return 1;
}
