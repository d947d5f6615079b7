// Radix-2 butterflies shared by the entries of this family.
#pragma once

#include "../plugin/complex_math.h"

namespace fftplug::radix2 {

// Decimation in time: q' = q + w·p, p' = q − w·p.
inline void ditButterfly(Complex& q, Complex& p, Complex w) {
    const Complex t = mul(p, w);
    p = sub(q, t);
    q = add(q, t);
}

// Decimation in frequency: x' = x + y, y' = (x − y)·w; only the difference is
// multiplied.
inline void difButterfly(Complex& x, Complex& y, Complex w) {
    const Complex d = sub(x, y);
    x = add(x, y);
    y = mul(d, w);
}

// The stages of growing span confined to the block of M points at c, with one
// factor per sub-block read from the prepared table: the sub-block of size 2h
// that starts at position p is number p/(2h) in the whole array, and its factor
// is table[p/(2h)]. Shared by the bit-reversed-table entry (one block, the
// whole array) and by the leaves of the recursive one, so the two compute
// every butterfly identically.
void difStagesOnBlock(Complex* a, const Complex* table, uint32_t M, uint32_t c);

}  // namespace fftplug::radix2
