// The shape every entry's transform shares, and the ten transforms.
#pragma once

#include <fftplug/fftplug.h>

namespace fftplug {

// The eight words that runEntry hands on unchanged: N, input, reserved1, work,
// reserved2, table, reserved3, reps. The reserved words are never read.
using Transform = void (*)(int32_t N, const Complex* input, uint32_t reserved1, Complex* work,
                           uint32_t reserved2, Complex* table, uint32_t reserved3, int32_t reps);

#define FFTPLUG_TRANSFORM(name)                                                                  \
    void name(int32_t N, const Complex* input, uint32_t reserved1, Complex* work,                \
              uint32_t reserved2, Complex* table, uint32_t reserved3, int32_t reps)

FFTPLUG_TRANSFORM(ditRadix2);          // entry 0
FFTPLUG_TRANSFORM(ditRadix2Half);      // entry 1
FFTPLUG_TRANSFORM(difRadix2);          // entry 2
FFTPLUG_TRANSFORM(difRadix2Reversed);  // entry 3
FFTPLUG_TRANSFORM(difRadix2Recursive); // entry 4
FFTPLUG_TRANSFORM(difRadix2Special);   // entry 5
FFTPLUG_TRANSFORM(difRadix4);          // entry 6
FFTPLUG_TRANSFORM(difRadix4Special);   // entry 7
FFTPLUG_TRANSFORM(splitRadix);         // entry 8
FFTPLUG_TRANSFORM(splitRadixSpecial);  // entry 9

}  // namespace fftplug
