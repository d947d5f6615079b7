/*
 * The stage builds of the plug-in (fftplug_stages, which dispatches as the
 * shipped library does, and fftplug_stages-<path>, one path each; built
 * beside the others and never installed): the five exports of every build,
 * and two more, for timing a transform stage by stage on the real kernels.
 * Their kernels are the shipped ones compiled with FFTPLUG_STAGES, under
 * which each stage mark of plugin/instrument/marks.h counts the stages begun
 * and, once as many as allowed have begun, ends the kernel call there: a
 * runEntry call then copies input into work and runs the first k stages of
 * the transform, and nothing else. Timed like whole transforms, the time of
 * stage k is that of k stages less that of k - 1.
 */
#ifndef FFTPLUG_STAGES_H
#define FFTPLUG_STAGES_H

#include <fftplug/fftplug.h>

#ifdef __cplusplus
extern "C" {
#endif

/* A stage mark as the kernel passes it: the stage's block size and how far
 * apart the samples its butterflies combine lie. The stage builds count the
 * marks and keep nothing of them; the instrumented build records each as an
 * FFTPLUG_EVENT_STAGE event (plugin/instrument/instrumented.h), the same
 * marks in the same order, since every path runs the same stages. */
typedef struct FftplugStageMark {
    uint32_t block;
    uint32_t apart;
} FftplugStageMark;

/* From now on every kernel call runs its first `stages` stages and returns
 * before the next one begins; stages < 0: every stage, as the shipped
 * library does. Returns the setting it replaces (-1 for every stage). Not
 * thread-safe: the setting is the library's own. */
typedef int32_t(FFTPLUG_CALL* FftplugLimitStages)(int32_t stages);

/* Runs entry `index` once with reps = 1 exactly as runEntry does, every
 * stage whatever the limit, and returns how many stage marks it passed (0
 * where runEntry refuses the call), or -1 (nothing run) when N is not a
 * power of two from 1 to 2^30. */
typedef int32_t(FFTPLUG_CALL* FftplugCountStages)(uint32_t index, int32_t N, const Complex* input, Complex* work,
                                                  Complex* table);

#ifdef __cplusplus
}
#endif

#endif
