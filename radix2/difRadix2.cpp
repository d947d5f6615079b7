// Entry 2: plain radix-2 decimation in frequency. Natural-order input,
// bit-reversed result. Spans shrink from N/2 to 1; the stage of half-span h
// reads its factors W(2h, j) from the segment table[h .. 2h), the twiddle loop
// outside and one butterfly per block inside.
#include "../plugin/kernels.h"
#include "butterflies.h"

namespace fftplug::FFTPLUG_PATH_NS {

void difRadix2Kernel(Complex* a, const Complex* table, int32_t N) {
    const uint32_t n = static_cast<uint32_t>(N);
    for (uint32_t h = n / 2; h >= 1; h /= 2) {
        const uint32_t span = 2 * h;
        for (uint32_t j = 0; j < h; ++j) {
            const Complex w = table[h + j];
            for (uint32_t i = j; i < n; i += span) radix2::difButterfly(One{}, a + i, a + i + h, w);
        }
    }
}

}  // namespace fftplug::FFTPLUG_PATH_NS
