/*
 * The instrumented build of the plug-in (fftplug_instrumented, built beside
 * the others and never installed): the five exports of every build, and one
 * more, instrumentEntry, which runs an entry once and reports what its
 * kernel did in two forms: a tally (real additions and multiplications,
 * loads, stores, table reads, stages) and the events themselves, in order:
 * each load and store of a work sample, each table read, each factor a
 * butterfly applies, each stage boundary with the stage's block size and the
 * distance between the samples its butterflies combine, and each call and
 * join of the divided entry's recursion. The kernels are the scalar path's,
 * compiled with FFTPLUG_INSTRUMENTED, under which the marks of
 * plugin/instrument/marks.h tally and record; the bits are those of the
 * scalar build.
 */
#ifndef FFTPLUG_INSTRUMENTED_H
#define FFTPLUG_INSTRUMENTED_H

#include <fftplug/fftplug.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct FftplugCounts {
    uint64_t additions;          /* real additions and subtractions */
    uint64_t multiplications;    /* real multiplications */
    uint64_t loads;              /* samples of work read (8 bytes each) */
    uint64_t stores;             /* samples of work written (8 bytes each) */
    uint64_t tableReads;         /* table entries read, each time counted */
    uint64_t distinctTableReads; /* table indices read at least once */
    uint64_t stages;             /* stages run: the kernel's steps between its stage marks that touch work */
    uint64_t fullPasses;         /* stages among them that touch every sample of work */
} FftplugCounts;

/* The largest N the instrumented build runs: the bit maps of touched samples
 * and table indices are static (2^24 bits each). */
enum { FFTPLUG_INSTRUMENTED_MAX_LOG2 = 24 };

/* What an event is (FftplugEvent.what). */
enum {
    FFTPLUG_EVENT_LOAD = 1,   /* value: index of the work sample read */
    FFTPLUG_EVENT_STORE = 2,  /* value: index of the work sample written */
    FFTPLUG_EVENT_TABLE = 3,  /* value: index of the table entry read */
    FFTPLUG_EVENT_FACTOR = 4, /* value: the factor applied, FFTPLUG_FACTOR_* */
    FFTPLUG_EVENT_STAGE = 5,  /* a stage begins. value: its block size; extra: how far apart the samples
                                 its butterflies combine lie (the half-span of radix 2, the quarter span
                                 of radix 4 and split radix, N/2 for a closing pass) */
    FFTPLUG_EVENT_CALL = 6,   /* the divided entry's worker opens a block. value: its size; extra: its
                                 index (it covers work[size·index .. size·(index + 1))) */
    FFTPLUG_EVENT_JOIN = 7,   /* the block's halves are joined with table[index]. value: its size;
                                 extra: its index */
    FFTPLUG_EVENT_ARITHMETIC = 8 /* the arithmetic since the last stage mark (or the run's start), just
                                    before each stage mark and once at the end. value: real additions;
                                    extra: real multiplications */
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
    uint32_t extra; /* FFTPLUG_EVENT_STAGE, _CALL and _JOIN only; 0 otherwise */
} FftplugEvent;

/* Which events to record: a bit (1 << FFTPLUG_EVENT_x) for each kind. */
#define FFTPLUG_RECORD_ALL                                                                       \
    ((1u << FFTPLUG_EVENT_LOAD) | (1u << FFTPLUG_EVENT_STORE) | (1u << FFTPLUG_EVENT_TABLE) |    \
     (1u << FFTPLUG_EVENT_FACTOR) | (1u << FFTPLUG_EVENT_STAGE) | (1u << FFTPLUG_EVENT_CALL) |   \
     (1u << FFTPLUG_EVENT_JOIN))

/* Receives the events recorded so far, `count` of them in order, whenever
 * the buffer is full and once at the end; the buffer is reused after it
 * returns. */
typedef void(FFTPLUG_CALL* FftplugEventSink)(void* context, const FftplugEvent* events, uint32_t count);

/* Where the events of a run go: the kinds in `mask` into the caller's buffer
 * of `capacity` events, handed to `sink` (with `context`) as it fills. */
typedef struct FftplugEventStream {
    uint32_t mask;
    FftplugEvent* buffer;
    uint32_t capacity;
    FftplugEventSink sink;
    void* context;
} FftplugEventStream;

/* Runs entry `index` with reps = 1 exactly as runEntry does (the table must
 * already be prepared for entries that prepare it); writes the tally to
 * *counts unless counts is null, and records the events `events` asks for
 * unless it is null. Returns 1, or 0 (nothing run, nothing recorded, counts
 * zeroed) when N is not a power of two from 1 to 2^24, when both counts and
 * events are null, or when events has a null buffer or sink or a capacity
 * of 0. The copy of input into work is neither counted nor recorded. Not
 * thread-safe: the tallies and the recorder's state are the library's own. */
typedef int32_t(FFTPLUG_CALL* FftplugInstrumentEntry)(uint32_t index, int32_t N, const Complex* input,
                                                      Complex* work, Complex* table, FftplugCounts* counts,
                                                      const FftplugEventStream* events);

#ifdef __cplusplus
}
#endif

#endif
