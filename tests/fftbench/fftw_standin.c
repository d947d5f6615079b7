/* A stand-in for a single-precision FFTW 3 library: the functions fftbench
 * calls, and one more that they call in turn. Its "transform" multiplies
 * every sample by STANDIN_TAG, so a result tells which library's code ran.
 * fftwf_execute reaches the work through fftwf_execute_dft, another
 * exported function, as FFTW's own does: a library opened without its own
 * symbols first would take a namesake's fftwf_execute_dft instead. */
#include <stdlib.h>

#ifndef STANDIN_TAG
#error "STANDIN_TAG: the factor this stand-in multiplies by"
#endif
#define STANDIN_TEXT2(x) #x
#define STANDIN_TEXT(x) STANDIN_TEXT2(x)

typedef float standin_complex[2];
typedef struct {
    int n;
    standin_complex *in, *out;
} standin_plan;

const char fftwf_version[] = "fftw stand-in " STANDIN_TEXT(STANDIN_TAG);

void *fftwf_malloc(size_t bytes) { return malloc(bytes); }
void fftwf_free(void *memory) { free(memory); }

standin_plan *fftwf_plan_dft_1d(int n, standin_complex *in, standin_complex *out, int sign, unsigned flags) {
    (void)sign;
    (void)flags;
    standin_plan *plan = malloc(sizeof *plan);
    if (plan == NULL) return NULL;
    plan->n = n;
    plan->in = in;
    plan->out = out;
    return plan;
}

__attribute__((noinline)) void fftwf_execute_dft(const standin_plan *plan, standin_complex *in, standin_complex *out) {
    for (int i = 0; i < plan->n; ++i) {
        out[i][0] = in[i][0] * STANDIN_TAG;
        out[i][1] = in[i][1] * STANDIN_TAG;
    }
}

void fftwf_execute(const standin_plan *plan) { fftwf_execute_dft(plan, plan->in, plan->out); }

void fftwf_destroy_plan(standin_plan *plan) { free(plan); }
