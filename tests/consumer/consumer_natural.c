/*
 * An outside host of the installed natural-order library: through a plan,
 * entries 2 (natural input) and 3 (bit-reversed input) transform a tone given
 * in natural order, and the result must come back in natural order.
 */
#include <fftplug/fftplug.h>
#include <fftplug/natural_order.h>

#include <math.h>
#include <stdio.h>

enum { N = 256, TONE = 37 };

int main(void) {
    static EntrySpec catalogue[FFTPLUG_CATALOGUE_RECORDS];
    getEntrySpecs(catalogue);
    const double pi = 3.14159265358979323846;
    Complex input[N], output[N];
    for (unsigned n = 0; n < N; ++n) {
        input[n].re = (float)cos(2 * pi * TONE * n / N);
        input[n].im = (float)sin(2 * pi * TONE * n / N);
    }
    static const unsigned entries[] = {2, 3};
    for (unsigned e = 0; e < sizeof entries / sizeof entries[0]; ++e) {
        const unsigned index = entries[e];
        FftplugNaturalPlan* plan = fftplugNaturalPlanCreate(runEntry, index, catalogue[index].flags, N);
        if (!plan || fftplugNaturalPlanPoints(plan) != N) {
            fprintf(stderr, "consumer_natural: no plan for entry %u\n", index);
            return 1;
        }
        const int32_t status = fftplugNaturalPlanExecute(plan, input, 8 * N, output, 8 * N, 1, 0, 1.0f);
        fftplugNaturalPlanDestroy(plan);
        double worst = 0;
        for (int k = 0; k < N; ++k) {
            const double re = output[k].re - (k == TONE ? N : 0), im = output[k].im;
            const double off = sqrt(re * re + im * im);
            if (!(off <= worst)) worst = off;
        }
        if (status != 0 || !(worst < 1e-4 * N)) {
            fprintf(stderr, "consumer_natural: entry %u: status %d, off by %g\n", index, (int)status, worst);
            return 1;
        }
        printf("consumer_natural: entry %u transformed a tone of %d points in natural order, largest deviation %.2g\n",
               index, N, worst);
    }
    return 0;
}
