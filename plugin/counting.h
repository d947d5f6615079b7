// The marks of the counting build. Kernels and their scalar vocabulary mark
// each operation they perform; compiled with FFTPLUG_COUNTING (the
// fftplug_counting library, never shipped) the marks tally it, in every
// other build they are nothing at all.
#pragma once

#include <fftplug/fftplug.h>

#include <cstdint>

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
// Marks the start of a stage: a step of the transform that the entry's
// structure makes one (a radix-2 or radix-4 stage, a split-radix stage, a
// closing pass, a join of entry 4's recursion).
#define FFTPLUG_STAGE() ::fftplug::counting::stageBegins()
#else
#define FFTPLUG_COUNT_ADDITIONS(n) ((void)0)
#define FFTPLUG_COUNT_MULTIPLICATIONS(n) ((void)0)
#define FFTPLUG_COUNT_LOAD(p) ((void)0)
#define FFTPLUG_COUNT_STORE(p) ((void)0)
#define FFTPLUG_COUNT_TABLE_READ(p) ((void)0)
#define FFTPLUG_STAGE() ((void)0)
#endif
