// The marks of the instrumented builds. Kernels and their scalar vocabulary
// mark each operation they perform; compiled with FFTPLUG_COUNTING (the
// fftplug_counting library, never shipped) the marks tally it, compiled with
// FFTPLUG_RECORDING (fftplug_recording, never shipped either) they record it
// as an event (plugin/recording.h), compiled with FFTPLUG_STAGES (the stage
// builds fftplug_stages and fftplug_stages-<path>, never shipped) the stage
// mark counts the stages begun and can end the transform before one
// (plugin/stages.h), in every other build they are nothing at all.
//
// FFTPLUG_STAGE(block, apart) marks the start of a stage: a step of the
// transform that the entry's structure makes one (a radix-2 or radix-4
// stage, a split-radix stage, a closing pass, a join of entry 4's
// recursion), with its block size and how far apart the samples its
// butterflies combine lie. FFTPLUG_FACTOR(kind) marks a factor applied to a
// sample, FFTPLUG_FACTOR_* of plugin/recording.h: what tells the kinds of
// butterfly apart.
#pragma once

#include <fftplug/fftplug.h>

#include <cstdint>

#include "../recording.h"

#if defined(FFTPLUG_COUNTING) + defined(FFTPLUG_RECORDING) + defined(FFTPLUG_STAGES) > 1
#error "a build counts, records or stops at stages, one of them"
#endif

#if defined(FFTPLUG_COUNTING)
namespace fftplug::counting {
struct Tally {
    uint64_t additions = 0, multiplications = 0;
};
extern Tally tally;
void loaded(const Complex* sample);
void stored(const Complex* sample);
void tableRead(const Complex* entry);
void stageBegins();
}  // namespace fftplug::counting
#define FFTPLUG_COUNT_ADDITIONS(n) (::fftplug::counting::tally.additions += (n))
#define FFTPLUG_COUNT_MULTIPLICATIONS(n) (::fftplug::counting::tally.multiplications += (n))
#define FFTPLUG_COUNT_LOAD(p) ::fftplug::counting::loaded(p)
#define FFTPLUG_COUNT_STORE(p) ::fftplug::counting::stored(p)
#define FFTPLUG_COUNT_TABLE_READ(p) ::fftplug::counting::tableRead(p)
#define FFTPLUG_STAGE(block, apart) ::fftplug::counting::stageBegins()
#define FFTPLUG_FACTOR(kind) ((void)0)
#elif defined(FFTPLUG_RECORDING)
namespace fftplug::recording {
void loaded(const Complex* sample);
void stored(const Complex* sample);
void tableRead(const Complex* entry);
void stageBegins(uint64_t block, uint64_t apart);
void factorApplied(uint32_t kind);
}  // namespace fftplug::recording
#define FFTPLUG_COUNT_ADDITIONS(n) ((void)0)
#define FFTPLUG_COUNT_MULTIPLICATIONS(n) ((void)0)
#define FFTPLUG_COUNT_LOAD(p) ::fftplug::recording::loaded(p)
#define FFTPLUG_COUNT_STORE(p) ::fftplug::recording::stored(p)
#define FFTPLUG_COUNT_TABLE_READ(p) ::fftplug::recording::tableRead(p)
#define FFTPLUG_STAGE(block, apart) ::fftplug::recording::stageBegins((block), (apart))
#define FFTPLUG_FACTOR(kind) ::fftplug::recording::factorApplied(kind)
#elif defined(FFTPLUG_STAGES)
namespace fftplug::stages {
// Stages begun in the current kernel call, and how many may begin before the
// call ends (plugin/instrument/stages.cpp).
extern uint64_t begun, allowed;
// A stage past the allowed ones begins: ends the kernel call (or, while the
// marks are being listed, notes this one and returns).
void pastLimit(uint64_t block, uint64_t apart);
inline void stageBegins(uint64_t block, uint64_t apart) {
    if (begun >= allowed) pastLimit(block, apart);
    ++begun;
}
}  // namespace fftplug::stages
#define FFTPLUG_COUNT_ADDITIONS(n) ((void)0)
#define FFTPLUG_COUNT_MULTIPLICATIONS(n) ((void)0)
#define FFTPLUG_COUNT_LOAD(p) ((void)0)
#define FFTPLUG_COUNT_STORE(p) ((void)0)
#define FFTPLUG_COUNT_TABLE_READ(p) ((void)0)
#define FFTPLUG_STAGE(block, apart) ::fftplug::stages::stageBegins((block), (apart))
#define FFTPLUG_FACTOR(kind) ((void)0)
#else
#define FFTPLUG_COUNT_ADDITIONS(n) ((void)0)
#define FFTPLUG_COUNT_MULTIPLICATIONS(n) ((void)0)
#define FFTPLUG_COUNT_LOAD(p) ((void)0)
#define FFTPLUG_COUNT_STORE(p) ((void)0)
#define FFTPLUG_COUNT_TABLE_READ(p) ((void)0)
#define FFTPLUG_STAGE(block, apart) ((void)0)
#define FFTPLUG_FACTOR(kind) ((void)0)
#endif
