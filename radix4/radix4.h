// The pieces shared by the radix-4 entries: the general butterfly, the
// per-block factors and the closing radix-2 pass.
#pragma once

#include "../plugin/complex_math.h"

namespace fftplug::radix4 {

// The three factors of block k: f2 = table[k] for the quarter at 2q, f1 =
// table[2k] for the quarter at q, f3 = f2·f1 for the quarter at 3q. The fixed
// −i of the butterfly stands in for table[2k + 1], which is never read.
struct BlockFactors {
    Complex f1, f2, f3;
};

inline BlockFactors blockFactors(const Complex* table, uint32_t k) {
    const Complex f2 = table[k];
    const Complex f1 = table[2 * k];
    return {f1, f2, mul(f2, f1)};
}

// The general radix-4 butterfly on x0..x3 a quarter span q apart, starting at
// p. Pairs q apart are combined first (x0 with x1, x2 with x3).
inline void butterfly(Complex* p, uint32_t q, const BlockFactors& f) {
    const Complex x0 = p[0], x1 = p[q], x2 = p[2 * q], x3 = p[3 * q];
    const Complex s0 = add(x0, x1), s1 = add(x2, x3);
    const Complex d0 = sub(x0, x1), d1 = sub(x2, x3);
    p[0] = add(s0, s1);
    p[2 * q] = mul(sub(s0, s1), f.f2);
    p[q] = mul(subTimesI(d0, d1), f.f1);
    p[3 * q] = mul(addTimesI(d0, d1), f.f3);
}

// All q butterflies of the general block at s.
inline void generalBlock(Complex* a, uint32_t s, uint32_t q, const BlockFactors& f) {
    for (uint32_t j = 0; j < q; ++j) butterfly(a + s + j, q, f);
}

// The twiddle-free radix-2 pass over pairs half the array apart that finishes
// a transform whose log2 N is odd.
inline void closingPass(Complex* a, uint32_t n) {
    const uint32_t half = n / 2;
    for (uint32_t j = 0; j < half; ++j) {
        const Complex x = a[j], y = a[j + half];
        a[j] = add(x, y);
        a[j + half] = sub(x, y);
    }
}

}  // namespace fftplug::radix4
