// Entry 3: radix-2 decimation in frequency on the bit-reversed table.
// Bit-reversed input, natural-order result. Stages of growing span, the block
// loop outside: block k of every stage finds its factor at table[k], and the
// butterflies of a block walk its two halves with unit stride.
#include "../plugin/kernels.h"
#include "butterflies.h"

namespace fftplug::FFTPLUG_PATH_NS {

namespace radix2 {

void difStagesOnBlock(Complex* a, const Complex* table, uint32_t M, uint32_t c) {
    if (M < 2) return;
    uint32_t factor = c / 2;  // number of the block's first sub-block of size 2h
    for (uint32_t h = 1; h < M; h *= 2, factor /= 2) {
        const uint32_t span = 2 * h;
        const Complex* w = table + factor;
        for (uint32_t p = c; p < c + M; p += span, ++w) difBlock(a + p, a + p + h, h, *w);
    }
}

}  // namespace radix2

void difRadix2ReversedKernel(Complex* a, const Complex* table, int32_t N) {
    radix2::difStagesOnBlock(a, table, static_cast<uint32_t>(N), 0);
}

}  // namespace fftplug::FFTPLUG_PATH_NS
