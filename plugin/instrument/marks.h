// The marks of the instrumented build, defined here and nowhere else.
// Kernels and their scalar vocabulary mark what they do, each mark named for
// what it marks:
//
//   FFTPLUG_ADDITIONS(n), FFTPLUG_MULTIPLICATIONS(n)
//       n real additions (or subtractions), n real multiplications;
//   FFTPLUG_LOAD(p), FFTPLUG_STORE(p)
//       a sample of work read or written at p;
//   FFTPLUG_TABLE_READ(p)
//       a table entry read at p;
//   FFTPLUG_STAGE(block, apart)
//       a stage begins: a step of the transform that the entry's structure
//       makes one (a radix-2 or radix-4 stage, a split-radix stage, a closing
//       pass, a join of entry 4's recursion), with its block size and how far
//       apart the samples its butterflies combine lie;
//   FFTPLUG_FACTOR(kind)
//       a factor applied to a sample, FFTPLUG_FACTOR_* of
//       plugin/instrument/instrumented.h: what tells the kinds of butterfly
//       apart;
//   FFTPLUG_BLOCK_CALL(size, index), FFTPLUG_BLOCK_JOIN(size, index)
//       entry 4's worker opens block (size, index); the block's halves are
//       joined with table[index].
//
// What a mark does depends on the kind of build, one branch of the #if
// below each. Compiled with FFTPLUG_INSTRUMENTED (fftplug_instrumented, the
// scalar kernels, never shipped; plugin/instrument/marks.cpp) the arithmetic
// marks add to the tally of operations and every other mark records an
// event, the loads, stores, table reads and stages counted in the tally too.
// Compiled with FFTPLUG_STAGES (the stage builds fftplug_stages and
// fftplug_stages-<path>, every path's kernels, never shipped;
// plugin/instrument/stages.cpp) the stage mark counts the stages begun and
// can end the kernel call before one (plugin/stages.h), its arguments
// unevaluated; the other marks are nothing. In the shipped builds every mark
// is nothing at all. Another kind of build is another branch (#elif
// defined(its macro)) that defines every mark.
#pragma once

#include <fftplug/fftplug.h>

#include <cstdint>

#include "instrumented.h"

#if defined(FFTPLUG_INSTRUMENTED) + defined(FFTPLUG_STAGES) > 1
#error "a build is instrumented or stops at stages, not both"
#endif

#if defined(FFTPLUG_INSTRUMENTED)

namespace fftplug::instrument {
struct Tally {
    uint64_t additions = 0, multiplications = 0;
};
extern Tally tally;
void loaded(const Complex* sample);
void stored(const Complex* sample);
void tableRead(const Complex* entry);
void stageBegins(uint64_t block, uint64_t apart);
void factorApplied(uint32_t kind);
void blockCalled(int32_t size, int32_t index);
void blockJoined(int32_t size, int32_t index);
}  // namespace fftplug::instrument
#define FFTPLUG_ADDITIONS(n) (::fftplug::instrument::tally.additions += (n))
#define FFTPLUG_MULTIPLICATIONS(n) (::fftplug::instrument::tally.multiplications += (n))
#define FFTPLUG_LOAD(p) ::fftplug::instrument::loaded(p)
#define FFTPLUG_STORE(p) ::fftplug::instrument::stored(p)
#define FFTPLUG_TABLE_READ(p) ::fftplug::instrument::tableRead(p)
#define FFTPLUG_STAGE(block, apart) ::fftplug::instrument::stageBegins((block), (apart))
#define FFTPLUG_FACTOR(kind) ::fftplug::instrument::factorApplied(kind)
#define FFTPLUG_BLOCK_CALL(size, index) ::fftplug::instrument::blockCalled((size), (index))
#define FFTPLUG_BLOCK_JOIN(size, index) ::fftplug::instrument::blockJoined((size), (index))

#elif defined(FFTPLUG_STAGES)

#include "../stages.h"

namespace fftplug::stages {
// Stages begun in the current kernel call, and how many may begin before the
// call ends (plugin/instrument/stages.cpp).
extern uint64_t begun, allowed;
// Ends the kernel call: back to the return point of runStoppable.
[[noreturn]] void endCall();
// A stage past the allowed ones ends the call. A counter, a branch and a
// call that does not return, so that the kernel's registers need not
// outlive it: the stage build's code stays as close to the shipped one as a
// stop at every stage allows. The mark's shape is not kept here; the
// instrumented build records it (FFTPLUG_EVENT_STAGE), mark for mark.
inline void stageBegins() {
    if (__builtin_expect(begun >= allowed, 0)) endCall();
    ++begun;
}
}  // namespace fftplug::stages
#define FFTPLUG_ADDITIONS(n) ((void)0)
#define FFTPLUG_MULTIPLICATIONS(n) ((void)0)
#define FFTPLUG_LOAD(p) ((void)0)
#define FFTPLUG_STORE(p) ((void)0)
#define FFTPLUG_TABLE_READ(p) ((void)0)
#define FFTPLUG_STAGE(block, apart) ::fftplug::stages::stageBegins()
#define FFTPLUG_FACTOR(kind) ((void)0)
#define FFTPLUG_BLOCK_CALL(size, index) ((void)0)
#define FFTPLUG_BLOCK_JOIN(size, index) ((void)0)

#else  // the shipped builds

#define FFTPLUG_ADDITIONS(n) ((void)0)
#define FFTPLUG_MULTIPLICATIONS(n) ((void)0)
#define FFTPLUG_LOAD(p) ((void)0)
#define FFTPLUG_STORE(p) ((void)0)
#define FFTPLUG_TABLE_READ(p) ((void)0)
#define FFTPLUG_STAGE(block, apart) ((void)0)
#define FFTPLUG_FACTOR(kind) ((void)0)
#define FFTPLUG_BLOCK_CALL(size, index) ((void)0)
#define FFTPLUG_BLOCK_JOIN(size, index) ((void)0)

#endif
