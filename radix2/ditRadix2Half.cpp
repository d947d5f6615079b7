// Entry 1: radix-2 decimation in time reading only the half table
// table[N/2 + k] = W(N, k), with a stride that halves from stage to stage.
// The lower half is never read, so a prepared table serves as well.
#include "../plugin/kernels.h"
#include "butterflies.h"

namespace fftplug::FFTPLUG_PATH_NS {

void ditRadix2HalfKernel(Complex* a, const Complex* table, int32_t N) {
    const uint32_t n = static_cast<uint32_t>(N);
    const Complex* half = table + n / 2;
    uint32_t stride = n / 2;  // N/s for the stage of span s
    for (uint32_t h = 1; h < n; h *= 2, stride /= 2) {
        const uint32_t span = 2 * h;
        for (uint32_t j = 0; j < h; ++j) {
            const Complex w = half[j * stride];  // W(N, j·N/s) = W(s, j)
            for (uint32_t i = j; i < n; i += span) radix2::ditButterfly(One{}, a + i, a + i + h, w);
        }
    }
}

}  // namespace fftplug::FFTPLUG_PATH_NS
