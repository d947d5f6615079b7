/*
 * The counting build of the plug-in (fftplug_counting, built beside the
 * others and never installed): the five exports of every build, and one more,
 * countEntry, which runs an entry once and reports what its kernel did. The
 * kernels are the scalar path's, compiled with FFTPLUG_COUNTING, under which
 * the scalar vocabulary tallies every operation it performs.
 */
#ifndef FFTPLUG_COUNTS_H
#define FFTPLUG_COUNTS_H

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

/* The largest N the counting build counts: the bit maps of touched samples
 * and table indices are static (2^24 bits each). */
enum { FFTPLUG_COUNTING_MAX_LOG2 = 24 };

/* Runs entry `index` with reps = 1 exactly as runEntry does (the table must
 * already be prepared for entries that prepare it) and writes what the
 * kernel did to *counts. Returns 1, or 0 (counts zeroed) when N is not a
 * power of two from 1 to 2^24 or counts is null; the copy of input into
 * work is not counted. Not thread-safe: the tallies are the library's own. */
typedef int32_t(FFTPLUG_CALL* FftplugCountEntry)(uint32_t index, int32_t N, const Complex* input, Complex* work,
                                                 Complex* table, FftplugCounts* counts);

/* What one stage did: from its stage mark to the next mark or the end of
 * the kernel. */
typedef struct FftplugStageCounts {
    uint64_t additions, multiplications, loads, stores, tableReads;
} FftplugStageCounts;

/* Runs entry `index` as countEntry does and writes, for each stage mark the
 * kernel passed, in order, what it did from that mark on to stages[0 ..
 * capacity - 1]. Returns how many marks it passed (more than capacity: the
 * first `capacity` written), or -1 (nothing run) when N is not a power of two
 * from 1 to 2^24 or stages is null with a capacity above 0. */
typedef int32_t(FFTPLUG_CALL* FftplugCountEntryStages)(uint32_t index, int32_t N, const Complex* input,
                                                       Complex* work, Complex* table, FftplugStageCounts* stages,
                                                       int32_t capacity);

#ifdef __cplusplus
}
#endif

#endif
