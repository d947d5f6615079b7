// Entry 5: entry 3's transform with five butterfly kinds. The first four
// blocks of every stage have fixed factors, 1, −i, (1 − i)·c and (−1 − i)·c
// with c the float nearest √½, so they read no table entry and need no or two
// real multiplications; blocks 4 and later use the general butterfly with
// table[k].
#include "../plugin/protocol.h"
#include "../plugin/transform.h"
#include "butterflies.h"

namespace fftplug {
namespace {

// Kind 1, block 0: factor 1.
inline void twiddleFree(Complex& x, Complex& y) {
    const Complex d = sub(x, y);
    x = add(x, y);
    y = d;
}

// Kind 2, block 1: factor −i, formed as (x.im − y.im, y.re − x.re).
inline void minusI(Complex& x, Complex& y) {
    const Complex t = {x.im - y.im, y.re - x.re};
    x = add(x, y);
    y = t;
}

// Kind 3, block 2: factor (1 − i)·c.
inline void firstDiagonal(Complex& x, Complex& y) {
    const Complex d = sub(x, y);
    x = add(x, y);
    y = timesW8(d);
}

// Kind 4, block 3: factor (−1 − i)·c, formed from e = y − x as
// ((e.re − e.im)·c, (e.im + e.re)·c).
inline void secondDiagonal(Complex& x, Complex& y) {
    const Complex e = sub(y, x);
    x = add(x, y);
    y = {(e.re - e.im) * kSqrtHalf, (e.im + e.re) * kSqrtHalf};
}

void difRadix2SpecialKernel(Complex* a, const Complex* table, int32_t N) {
    const uint32_t n = static_cast<uint32_t>(N);
    for (uint32_t h = 1, b = 2; b <= n; h = b, b *= 2) {
        for (uint32_t j = 0; j < h; ++j) twiddleFree(a[j], a[j + h]);  // block 0
        if (b == n) break;                                            // the last stage: one block

        Complex* block1 = a + b;
        for (uint32_t j = 0; j < h; ++j) minusI(block1[j], block1[j + h]);
        if (2 * b == n) continue;  // two blocks in this stage

        Complex* block2 = a + 2 * b;
        Complex* block3 = a + 3 * b;
        for (uint32_t j = 0; j < h; ++j) {  // blocks 2 and 3 in one loop
            firstDiagonal(block2[j], block2[j + h]);
            secondDiagonal(block3[j], block3[j + h]);
        }

        for (uint32_t k = 4, s = 4 * b; s < n; ++k, s += b) {  // general blocks
            const Complex w = table[k];
            Complex* x = a + s;
            Complex* y = x + h;
            for (uint32_t j = 0; j < h; ++j) radix2::difButterfly(x[j], y[j], w);
        }
    }
}

}  // namespace

FFTPLUG_DEFINE_TRANSFORM(difRadix2Special, difRadix2SpecialKernel, Preparation::bitReversedTable)

}  // namespace fftplug
