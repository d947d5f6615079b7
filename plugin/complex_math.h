// Complex arithmetic on single-precision samples, so that butterflies read like
// the formulas. Every operation rounds to float; nothing is fused.
#pragma once

#include <fftplug/fftplug.h>

#include "simd/path.h"

namespace fftplug::FFTPLUG_PATH_NS {

// The float nearest to the square root of one half (bits 0x3F3504F3): the one
// stored constant of the special butterflies.
constexpr float kSqrtHalf = 0.70710677f;

inline Complex add(Complex a, Complex b) { return {a.re + b.re, a.im + b.im}; }
inline Complex sub(Complex a, Complex b) { return {a.re - b.re, a.im - b.im}; }

// a·w = (a.re·w.re − a.im·w.im) + i·(a.re·w.im + a.im·w.re)
inline Complex mul(Complex a, Complex w) {
    return {a.re * w.re - a.im * w.im, a.re * w.im + a.im * w.re};
}

// d0 − i·d1 and d0 + i·d1, the two difference terms of a radix-4 or
// split-radix butterfly: the factors ±i are exchanges with a sign change.
inline Complex subTimesI(Complex d0, Complex d1) { return {d0.re + d1.im, d0.im - d1.re}; }
inline Complex addTimesI(Complex d0, Complex d1) { return {d0.re - d1.im, d0.im + d1.re}; }

// d·(−i)
inline Complex timesMinusI(Complex d) { return {d.im, -d.re}; }
// d·(1 − i)·c, the factor W(8, 1)
inline Complex timesW8(Complex d) { return {(d.re + d.im) * kSqrtHalf, (d.im - d.re) * kSqrtHalf}; }
// d·(−1 − i)·c, the factor W(8, 3)
inline Complex timesW8Cubed(Complex d) {
    return {(d.im - d.re) * kSqrtHalf, -(d.re + d.im) * kSqrtHalf};
}

}  // namespace fftplug::FFTPLUG_PATH_NS
