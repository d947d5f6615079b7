// Entry 0: radix-2 decimation in time with the full segmented table.
// Bit-reversed input, natural-order result. Stage of span s = 2h reads its
// factors W(2h, j) from the segment table[h .. 2h).
#include "../plugin/kernels.h"
#include "butterflies.h"

namespace fftplug::FFTPLUG_PATH_NS {

void ditRadix2Kernel(Complex* a, const Complex* table, int32_t N) {
    const uint32_t n = static_cast<uint32_t>(N);
    for (uint32_t h = 1; h < n; h *= 2) {
        const uint32_t span = 2 * h;
        for (uint32_t j = 0; j < h; ++j) {  // twiddle loop outside: each factor read once
            const Complex w = table[h + j];
            for (uint32_t i = j; i < n; i += span) radix2::ditButterfly(One{}, a + i, a + i + h, w);
        }
    }
}

}  // namespace fftplug::FFTPLUG_PATH_NS
