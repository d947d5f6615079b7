// Complex arithmetic on single-precision samples, so that butterflies read like
// the formulas. Every operation rounds to float; nothing is fused.
#pragma once

#include <fftplug/fftplug.h>

#include "instrument/marks.h"
#include "simd/path.h"

#if defined(FFTPLUG_INSTRUMENTED) && !defined(FFTPLUG_PATH_SCALAR)
#error "the instrumented build marks the operations of the scalar path only"
#endif

namespace fftplug::FFTPLUG_PATH_NS {

// The float nearest to the square root of one half (bits 0x3F3504F3): the one
// stored constant of the special butterflies.
constexpr float kSqrtHalf = 0.70710677f;

inline Complex add(Complex a, Complex b) {
    FFTPLUG_ADDITIONS(2);
    return {a.re + b.re, a.im + b.im};
}
inline Complex sub(Complex a, Complex b) {
    FFTPLUG_ADDITIONS(2);
    return {a.re - b.re, a.im - b.im};
}

// a·w = (a.re·w.re − a.im·w.im) + i·(a.re·w.im + a.im·w.re)
inline Complex mul(Complex a, Complex w) {
    FFTPLUG_FACTOR(FFTPLUG_FACTOR_PRODUCT);
    FFTPLUG_ADDITIONS(2);
    FFTPLUG_MULTIPLICATIONS(4);
    return {a.re * w.re - a.im * w.im, a.re * w.im + a.im * w.re};
}

// d0 − i·d1 and d0 + i·d1, the two difference terms of a radix-4 or
// split-radix butterfly: the factors ±i are exchanges with a sign change.
inline Complex subTimesI(Complex d0, Complex d1) {
    FFTPLUG_FACTOR(FFTPLUG_FACTOR_FOUR_POINT);
    FFTPLUG_ADDITIONS(2);
    return {d0.re + d1.im, d0.im - d1.re};
}
inline Complex addTimesI(Complex d0, Complex d1) {
    FFTPLUG_FACTOR(FFTPLUG_FACTOR_FOUR_POINT);
    FFTPLUG_ADDITIONS(2);
    return {d0.re - d1.im, d0.im + d1.re};
}

// d·(−i): an exchange and a change of sign, no arithmetic.
inline Complex timesMinusI(Complex d) {
    FFTPLUG_FACTOR(FFTPLUG_FACTOR_MINUS_I);
    return {d.im, -d.re};
}
// d·(1 − i)·c, the factor W(8, 1)
inline Complex timesW8(Complex d) {
    FFTPLUG_FACTOR(FFTPLUG_FACTOR_W8);
    FFTPLUG_ADDITIONS(2);
    FFTPLUG_MULTIPLICATIONS(2);
    return {(d.re + d.im) * kSqrtHalf, (d.im - d.re) * kSqrtHalf};
}
// d·(−1 − i)·c, the factor W(8, 3)
inline Complex timesW8Cubed(Complex d) {
    FFTPLUG_FACTOR(FFTPLUG_FACTOR_W8_CUBED);
    FFTPLUG_ADDITIONS(2);
    FFTPLUG_MULTIPLICATIONS(2);
    return {(d.im - d.re) * kSqrtHalf, -(d.re + d.im) * kSqrtHalf};
}

// The table entry at `entry`, for the instrumented build to see the read.
// Every read of the table goes through this, through the lane vocabulary's
// factors, or stands beside a FFTPLUG_TABLE_READ mark (where a copy
// made here would change the code the compiler makes of the shipped paths).
inline const Complex& twiddle(const Complex* entry) {
    FFTPLUG_TABLE_READ(entry);
    return *entry;
}

}  // namespace fftplug::FFTPLUG_PATH_NS
