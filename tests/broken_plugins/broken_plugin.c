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
#else
#error "define one of BROKEN_SIGN, BROKEN_OVERRUN, BROKEN_PROTOCOL, BROKEN_REPEATS, BROKEN_NO_RUN"
#endif

#if defined(_WIN32)
#define BROKEN_EXPORT __declspec(dllexport)
#else
#define BROKEN_EXPORT __attribute__((visibility("default")))
#endif

enum { ENTRIES = 2 };

BROKEN_EXPORT int32_t FFTPLUG_CALL getCircuitSignature(void) { return 3; }

BROKEN_EXPORT char* FFTPLUG_CALL getCreatorSignature(char* dst) {
    static const char creator[FFTPLUG_CREATOR_BYTES] = "fftplug test plug-in";
    memcpy(dst, creator, sizeof creator);
    return dst;
}

BROKEN_EXPORT int32_t FFTPLUG_CALL getEntryCount(void) { return ENTRIES; }

BROKEN_EXPORT EntrySpec* FFTPLUG_CALL getEntrySpecs(EntrySpec* dst) {
    static const char* const names[ENTRIES] = {"correct DIT radix 2", BROKEN_NAME};
    for (int i = 0; i < FFTPLUG_CATALOGUE_RECORDS; ++i) {
        const char* name = i < ENTRIES ? names[i] : "";
        memcpy(dst[i].name, name, strlen(name) + 1);
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
