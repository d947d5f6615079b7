// Compiled into the recording build of the library (fftplug_recording)
// alone, never shipped: the recorder behind the marks of plugin/instrument/marks.h,
// and the export that runs an entry once and hands its events to the host.
#include "marks.h"

namespace fftplug::recording {

namespace {

struct Run {
    const Complex* work = nullptr;
    const Complex* table = nullptr;
    uint32_t n = 0;
    uint32_t mask = 0;
    FftplugEvent* buffer = nullptr;
    uint32_t capacity = 0, count = 0;
    FftplugEventSink sink = nullptr;
    void* context = nullptr;
} run;

void record(uint32_t what, uint32_t value, uint32_t extra = 0) {
    if ((run.mask & (1u << what)) == 0) return;
    run.buffer[run.count++] = FftplugEvent{what, value, extra};
    if (run.count == run.capacity) {
        run.sink(run.context, run.buffer, run.count);
        run.count = 0;
    }
}

// The index of `p` in an array of N samples at `base`; N itself (never an
// index) for a pointer outside it.
uint32_t indexIn(const Complex* base, const Complex* p) {
    if (base == nullptr || p < base || p >= base + run.n) return run.n;
    return static_cast<uint32_t>(p - base);
}

}  // namespace

void loaded(const Complex* sample) { record(FFTPLUG_EVENT_LOAD, indexIn(run.work, sample)); }
void stored(const Complex* sample) { record(FFTPLUG_EVENT_STORE, indexIn(run.work, sample)); }
void tableRead(const Complex* entry) { record(FFTPLUG_EVENT_TABLE, indexIn(run.table, entry)); }
void stageBegins(uint64_t block, uint64_t apart) {
    record(FFTPLUG_EVENT_STAGE, static_cast<uint32_t>(block), static_cast<uint32_t>(apart));
}
void factorApplied(uint32_t kind) { record(FFTPLUG_EVENT_FACTOR, kind); }

}  // namespace fftplug::recording

extern "C" FFTPLUG_EXPORT int32_t FFTPLUG_CALL recordEntry(uint32_t index, int32_t N, const Complex* input,
                                                          Complex* work, Complex* table, uint32_t mask,
                                                          FftplugEvent* buffer, uint32_t capacity,
                                                          FftplugEventSink sink, void* context) {
    using fftplug::recording::run;
    if (N < 1 || (N & (N - 1)) != 0 || N > (int32_t{1} << 24)) return 0;
    if (buffer == nullptr || capacity == 0 || sink == nullptr) return 0;
    run = {};
    run.work = work;
    run.table = table;
    run.n = static_cast<uint32_t>(N);
    run.buffer = buffer;
    run.capacity = capacity;
    run.sink = sink;
    run.context = context;
    run.mask = mask;
    runEntry(index, N, input, 0, work, 0, table, 0, 1);
    run.mask = 0;  // nothing more is recorded, whatever runs next
    if (run.count > 0) sink(context, buffer, run.count);
    run.count = 0;
    return 1;
}
