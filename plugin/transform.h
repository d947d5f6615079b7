// The shape every entry's transform shares, and the ten transforms, one for
// each row of entries.h.
#pragma once

#include <fftplug/fftplug.h>

#include "entries.h"

namespace fftplug {

// The eight words that runEntry hands on unchanged: N, input, reserved1, work,
// reserved2, table, reserved3, reps. The reserved words are never read.
using Transform = void (*)(int32_t N, const Complex* input, uint32_t reserved1, Complex* work,
                           uint32_t reserved2, Complex* table, uint32_t reserved3, int32_t reps);

#define FFTPLUG_TRANSFORM(name)                                                                  \
    void name(int32_t N, const Complex* input, uint32_t reserved1, Complex* work,                \
              uint32_t reserved2, Complex* table, uint32_t reserved3, int32_t reps)

#define FFTPLUG_DECLARE_TRANSFORM(context, name, order) FFTPLUG_TRANSFORM(name);
FFTPLUG_FOR_EACH_ENTRY(FFTPLUG_DECLARE_TRANSFORM, )
#undef FFTPLUG_DECLARE_TRANSFORM

}  // namespace fftplug
