/*
 * The recording build of the plug-in (fftplug_recording, built beside the
 * others and never installed): the five exports of every build, and one
 * more, recordEntry, which runs an entry once and hands the host every event
 * of its kernel in order: each load and store of a work sample, each table
 * read, each factor a butterfly applies, and each stage boundary with the
 * stage's block size and the distance between the samples its butterflies
 * combine. The kernels are the scalar path's, compiled with
 * FFTPLUG_RECORDING, under which the marks of plugin/instrument/marks.h record
 * instead of counting; the bits are those of the scalar build.
 */
#ifndef FFTPLUG_RECORDING_H
#define FFTPLUG_RECORDING_H

#include <fftplug/fftplug.h>

#ifdef __cplusplus
extern "C" {
#endif

/* What an event is (FftplugEvent.what). */
enum {
    FFTPLUG_EVENT_LOAD = 1,   /* value: index of the work sample read */
    FFTPLUG_EVENT_STORE = 2,  /* value: index of the work sample written */
    FFTPLUG_EVENT_TABLE = 3,  /* value: index of the table entry read */
    FFTPLUG_EVENT_FACTOR = 4, /* value: the factor applied, FFTPLUG_FACTOR_* */
    FFTPLUG_EVENT_STAGE = 5   /* a stage begins. value: its block size; extra: how far apart the samples
                                 its butterflies combine lie (the half-span of radix 2, the quarter span
                                 of radix 4 and split radix, N/2 for a closing pass) */
};

/* The factors the vocabulary applies, each marked where it is applied. */
enum {
    FFTPLUG_FACTOR_PRODUCT = 1,    /* a complex multiplication: by a table value or a product of two */
    FFTPLUG_FACTOR_MINUS_I = 2,    /* the exchange and sign change of ·(−i) */
    FFTPLUG_FACTOR_W8 = 3,         /* ·(1 − i)·c, W(8, 1) */
    FFTPLUG_FACTOR_W8_CUBED = 4,   /* ·(−1 − i)·c, W(8, 3) */
    FFTPLUG_FACTOR_FOUR_POINT = 5  /* D0 ∓ i·D1, the −i of a radix-4 or split-radix butterfly */
};

typedef struct FftplugEvent {
    uint32_t what;  /* FFTPLUG_EVENT_* */
    uint32_t value;
    uint32_t extra; /* FFTPLUG_EVENT_STAGE only; 0 otherwise */
} FftplugEvent;

/* Which events to record: a bit (1 << FFTPLUG_EVENT_x) for each kind. */
#define FFTPLUG_RECORD_ALL                                                                       \
    ((1u << FFTPLUG_EVENT_LOAD) | (1u << FFTPLUG_EVENT_STORE) | (1u << FFTPLUG_EVENT_TABLE) |    \
     (1u << FFTPLUG_EVENT_FACTOR) | (1u << FFTPLUG_EVENT_STAGE))

/* Receives the events recorded so far, `count` of them in order, whenever
 * the buffer is full and once at the end; the buffer is reused after it
 * returns. */
typedef void(FFTPLUG_CALL* FftplugEventSink)(void* context, const FftplugEvent* events, uint32_t count);

/* Runs entry `index` with reps = 1 exactly as runEntry does (the table must
 * already be prepared for entries that prepare it), recording the kinds of
 * event in `mask` into the caller's buffer of `capacity` events, handed to
 * `sink` as it fills. Returns 1, or 0 (nothing run, nothing recorded) when N
 * is not a power of two from 1 to 2^24, the buffer or sink is null or the
 * capacity 0. The copy of input into work is not recorded. Not thread-safe:
 * the recorder's state is the library's own. */
typedef int32_t(FFTPLUG_CALL* FftplugRecordEntry)(uint32_t index, int32_t N, const Complex* input, Complex* work,
                                                  Complex* table, uint32_t mask, FftplugEvent* buffer,
                                                  uint32_t capacity, FftplugEventSink sink, void* context);

#ifdef __cplusplus
}
#endif

#endif
