// The pieces shared by the split-radix entries: the offset sets O(q), the
// general butterfly with its two factors per block, and the closing pass.
#pragma once

#include "../plugin/complex_math.h"

namespace fftplug::splitradix {

// O(q), the L-shaped subset of a block with quarter span q that a stage
// visits: the runs q − t <= j < q − t/2 for t = q, q/4, q/16, … while t >= 1,
// in that order, each ascending. It has (2q + 1)/3 members. The walk hands
// each run to `run(first, count)`, so that the innermost loops stay unit-stride.
template <typename Run>
inline void forEachOffsetRun(uint32_t q, Run&& run) {
    for (uint32_t t = q; t >= 1; t /= 4) run(q - t, t - t / 2);
}


// f1 = table[2k], f3 = f1·table[k], formed once per block.
struct BlockFactors {
    Complex f1, f3;
};

inline BlockFactors blockFactors(const Complex* table, uint32_t k) {
    const Complex f1 = table[2 * k];
    return {f1, mul(f1, table[k])};
}

// The two sums stay in place unmultiplied; the differences D0 = x0 − x1 and
// D1 = x2 − x3 become (D0 − i·D1)·f1 at q and (D0 + i·D1)·f3 at 3q.
inline void butterfly(Complex* p, uint32_t q, const BlockFactors& f) {
    const Complex x0 = p[0], x1 = p[q], x2 = p[2 * q], x3 = p[3 * q];
    const Complex d0 = sub(x0, x1), d1 = sub(x2, x3);
    p[0] = add(x0, x1);
    p[2 * q] = add(x2, x3);
    p[q] = mul(subTimesI(d0, d1), f.f1);
    p[3 * q] = mul(addTimesI(d0, d1), f.f3);
}

// The butterflies of the general block at s, over O(q).
inline void generalBlock(Complex* a, uint32_t s, uint32_t q, const BlockFactors& f) {
    Complex* block = a + s;
    forEachOffsetRun(q, [&](uint32_t first, uint32_t count) {
        for (uint32_t j = first; j < first + count; ++j) butterfly(block + j, q, f);
    });
}

// The twiddle-free radix-2 pass over pairs half the array apart, on O(N/2).
inline void closingPass(Complex* a, uint32_t n) {
    if (n < 2) return;
    const uint32_t half = n / 2;
    forEachOffsetRun(half, [&](uint32_t first, uint32_t count) {
        for (uint32_t j = first; j < first + count; ++j) {
            const Complex x = a[j], y = a[j + half];
            a[j] = add(x, y);
            a[j + half] = sub(x, y);
        }
    });
}

}  // namespace fftplug::splitradix
