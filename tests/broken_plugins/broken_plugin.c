/*
 * A small plug-in of the fftplug ABI, built only for the tests, several
 * times over: each build gives entry 1 one deliberate fault, so that the
 * tests can see `fftbench verify` name the entry and the check that catches
 * it. Entry 0 is a plain, correct radix-2 decimation in time in every build.
 *
 *   BROKEN_SIGN      entry 1 uses the conjugate twiddles: the inverse transform
 *   BROKEN_OVERRUN   entry 1 also writes one sample past the end of work
 *   BROKEN_PROTOCOL  entry 1 copies the input once, whatever reps says, and
 *                    then transforms reps times over
 *   BROKEN_REPEATS   entry 1 does nothing for reps <= 0, as it should, but
 *                    for reps > 0 copies once and transforms reps times over
 *   BROKEN_NO_RUN    no runEntry export at all (a library fftbench must refuse)
 *
 * and some that attack the host rather than compute wrongly:
 *
 *   BROKEN_UNTERMINATED   the name of entry 1 is written without its zero byte
 *   BROKEN_NOT_SHIFT_JIS  the name of entry 1 holds bytes that are not Shift-JIS
 *   BROKEN_SPECS_OVERRUN  getEntrySpecs writes 18 records instead of 16
 *   BROKEN_COUNT_ZERO     getEntryCount returns 0
 *   BROKEN_COUNT_HUGE     getEntryCount returns 1,000,000
 *   BROKEN_CRASH          entry 1 writes through a null pointer on a transform
 *                         call from N = 4 on
 *   BROKEN_HANG           entry 1 never returns from a transform call
 */
#include <fftplug/fftplug.h>

#include <string.h>

#if defined(BROKEN_SIGN)
#define BROKEN_NAME "wrong sign"
#elif defined(BROKEN_OVERRUN)
#define BROKEN_NAME "writes one sample past work"
#elif defined(BROKEN_PROTOCOL)
#define BROKEN_NAME "ignores the repeat count"
#elif defined(BROKEN_REPEATS)
#define BROKEN_NAME "transforms the transform"
#elif defined(BROKEN_NO_RUN)
#define BROKEN_NAME "cannot be run"
#elif defined(BROKEN_UNTERMINATED)
#define BROKEN_NAME "no terminator"
#elif defined(BROKEN_NOT_SHIFT_JIS)
/* A lead byte followed by a space, and a lead byte with no trail at all. */
#define BROKEN_NAME "bad \x82 name \x88"
#elif defined(BROKEN_SPECS_OVERRUN)
#define BROKEN_NAME "writes 18 records"
#define RECORDS_WRITTEN (FFTPLUG_CATALOGUE_RECORDS + 2)
#elif defined(BROKEN_COUNT_ZERO)
#define BROKEN_NAME "not announced"
#define ENTRY_COUNT 0
#elif defined(BROKEN_COUNT_HUGE)
#define BROKEN_NAME "one of a million"
#define ENTRY_COUNT 1000000
#elif defined(BROKEN_CRASH)
#define BROKEN_NAME "crashes"
#elif defined(BROKEN_HANG)
#define BROKEN_NAME "never returns"
#else
#error "define one of the BROKEN_ faults listed above"
#endif

#ifndef RECORDS_WRITTEN
#define RECORDS_WRITTEN FFTPLUG_CATALOGUE_RECORDS
#endif

#if defined(_WIN32)
#define BROKEN_EXPORT __declspec(dllexport)
#else
#define BROKEN_EXPORT __attribute__((visibility("default")))
#endif

enum { ENTRIES = 2 };
#ifndef ENTRY_COUNT
#define ENTRY_COUNT ENTRIES
#endif

BROKEN_EXPORT int32_t FFTPLUG_CALL getCircuitSignature(void) { return 3; }

BROKEN_EXPORT char* FFTPLUG_CALL getCreatorSignature(char* dst) {
    static const char creator[FFTPLUG_CREATOR_BYTES] = "fftplug test plug-in";
    memcpy(dst, creator, sizeof creator);
    return dst;
}

BROKEN_EXPORT int32_t FFTPLUG_CALL getEntryCount(void) { return ENTRY_COUNT; }

BROKEN_EXPORT EntrySpec* FFTPLUG_CALL getEntrySpecs(EntrySpec* dst) {
    static const char* const names[ENTRIES] = {"correct DIT radix 2", BROKEN_NAME};
    for (int i = 0; i < RECORDS_WRITTEN; ++i) {
        const char* name = i < ENTRIES ? names[i] : "";
        size_t bytes = strlen(name) + 1;
#if defined(BROKEN_UNTERMINATED)
        if (i == 1) --bytes;
#endif
        memcpy(dst[i].name, name, bytes);
        dst[i].flags = FFTPLUG_FLAG_ENTRY;
    }
    return dst;
}

/* Radix-2 decimation in time over bit-reversed input: the stage of span m
 * takes W(2m, j) from table[m + j] (conjugated when `sign` is -1). */
static void transform(Complex* a, int32_t N, const Complex* table, int sign) {
    for (int32_t m = 1; m < N; m *= 2) {
        for (int32_t start = 0; start < N; start += 2 * m) {
            for (int32_t j = 0; j < m; ++j) {
                const float wr = table[m + j].re, wi = sign * table[m + j].im;
                Complex* p = &a[start + j];
                Complex* q = &a[start + j + m];
                const float tr = q->re * wr - q->im * wi, ti = q->re * wi + q->im * wr;
                q->re = p->re - tr;
                q->im = p->im - ti;
                p->re += tr;
                p->im += ti;
            }
        }
    }
}

#if !defined(BROKEN_NO_RUN)
BROKEN_EXPORT void FFTPLUG_CALL runEntry(uint32_t index, int32_t N, const Complex* input, uint32_t reserved1,
                                         Complex* work, uint32_t reserved2, Complex* table, uint32_t reserved3,
                                         int32_t reps) {
    (void)reserved1, (void)reserved2, (void)reserved3;
    if (index >= ENTRIES || N < 1 || (N & (N - 1)) != 0 || !input || !work || !table) return;
    const size_t bytes = (size_t)N * sizeof(Complex);
#if defined(BROKEN_PROTOCOL) || defined(BROKEN_REPEATS)
    if (index == 1) {
#if defined(BROKEN_REPEATS)
        if (reps <= 0) return;
#endif
        memcpy(work, input, bytes);
        for (int32_t r = 0; r < reps; ++r) transform(work, N, table, 1);
        return;
    }
#endif
#if defined(BROKEN_CRASH)
    if (index == 1 && reps > 0 && N >= 4) {
        /* Read through a volatile so that the compiler cannot turn the store
         * into a trap instruction: this must be a real segmentation fault. */
        Complex* volatile nowhere = NULL;
        nowhere->re = 1.0f;
    }
#elif defined(BROKEN_HANG)
    if (index == 1 && reps > 0) {
        volatile uint32_t spins = 0;
        for (;;) ++spins;
    }
#endif
    int sign = 1;
#if defined(BROKEN_SIGN)
    if (index == 1) sign = -1;
#endif
    for (int32_t r = 0; r < reps; ++r) {
        memcpy(work, input, bytes);
        transform(work, N, table, sign);
    }
#if defined(BROKEN_OVERRUN)
    if (index == 1 && reps > 0) work[N] = work[0];
#endif
}
#endif
