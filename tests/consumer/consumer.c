/*
 * An outside host of the installed fftplug: finds entry 3 (an entry that
 * prepares the table), drives it as the ABI says and checks the transform of
 * a pure tone. Built with CONSUMER_PLUGIN it loads the plug-in from that path
 * at run time; without it, it calls the linked library.
 */
#include <fftplug/fftplug.h>

#include <math.h>
#include <stdio.h>
#include <string.h>

#if defined(CONSUMER_PLUGIN)
#include <dlfcn.h>
#endif

enum { LOG2N = 6, N = 1 << LOG2N, TONE = 5, ENTRY = 3 };

static unsigned reverse(unsigned i, unsigned bits) {
    unsigned r = 0;
    for (unsigned b = 0; b < bits; ++b, i >>= 1) r = (r << 1) | (i & 1u);
    return r;
}

int main(void) {
    FftplugGetCircuitSignature signature = NULL;
    FftplugGetEntryCount count = NULL;
    FftplugGetEntrySpecs specs = NULL;
    FftplugRunEntry run = NULL;
#if defined(CONSUMER_PLUGIN)
    void* library = dlopen(CONSUMER_PLUGIN, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        fprintf(stderr, "consumer: cannot load %s: %s\n", CONSUMER_PLUGIN, dlerror());
        return 1;
    }
    signature = (FftplugGetCircuitSignature)dlsym(library, "getCircuitSignature");
    count = (FftplugGetEntryCount)dlsym(library, "getEntryCount");
    specs = (FftplugGetEntrySpecs)dlsym(library, "getEntrySpecs");
    run = (FftplugRunEntry)dlsym(library, "runEntry");
    const char* how = "loaded from " CONSUMER_PLUGIN;
#else
    signature = getCircuitSignature;
    count = getEntryCount;
    specs = getEntrySpecs;
    run = runEntry;
    const char* how = "linked";
#endif
    if (!signature || !count || !specs || !run) {
        fprintf(stderr, "consumer: an export is missing\n");
        return 1;
    }
    if (signature() != FFTPLUG_CIRCUIT_SIGNATURE || count() <= ENTRY) {
        fprintf(stderr, "consumer: signature %d, %d entries\n", signature(), count());
        return 1;
    }
    static EntrySpec catalogue[FFTPLUG_CATALOGUE_RECORDS];
    specs(catalogue);
    if (!(catalogue[ENTRY].flags & FFTPLUG_FLAG_PREPARES_TABLE) || (catalogue[ENTRY].flags & FFTPLUG_FLAG_NATURAL_INPUT)) {
        fprintf(stderr, "consumer: entry %d has flags 0x%x\n", ENTRY, (unsigned)catalogue[ENTRY].flags);
        return 1;
    }

    /* The segmented table: table[m + j] = W(2m, j) = e^(-2 pi i j / 2m). */
    const double pi = 3.14159265358979323846;
    Complex table[N], input[N], work[N];
    table[0].re = 1, table[0].im = 0;
    for (int m = 1; m < N; m *= 2)
        for (int j = 0; j < m; ++j) {
            table[m + j].re = (float)cos(pi * j / m);
            table[m + j].im = (float)-sin(pi * j / m);
        }
    /* x[n] = e^(2 pi i TONE n / N), bit-reversed: X[k] = N for k = TONE, else 0. */
    for (unsigned n = 0; n < N; ++n) {
        input[reverse(n, LOG2N)].re = (float)cos(2 * pi * TONE * n / N);
        input[reverse(n, LOG2N)].im = (float)sin(2 * pi * TONE * n / N);
    }
    memset(work, 0, sizeof work);
    run(ENTRY, N, input, 0, work, 0, table, 0, 0); /* prepare the table */
    run(ENTRY, N, input, 0, work, 0, table, 0, 1);

    double worst = 0;
    for (int k = 0; k < N; ++k) {
        const double re = work[k].re - (k == TONE ? N : 0), im = work[k].im;
        const double off = sqrt(re * re + im * im);
        if (!(off <= worst)) worst = off;
    }
    if (!(worst < 1e-4 * N)) {
        fprintf(stderr, "consumer: entry %d is off by %g (X[%d] = %g%+gi)\n", ENTRY, worst, TONE, work[TONE].re,
                work[TONE].im);
        return 1;
    }
    printf("consumer (%s): entry %d transformed a tone of %d points, largest deviation %.2g\n", how, ENTRY, N, worst);
    return 0;
}
