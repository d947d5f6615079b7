// splitRadix (entry 8): split-radix decimation in frequency on the
// bit-reversed table. Bit-reversed input, natural-order result. Stages of
// block size 4, 8, …, N visit only the offset set O(q) of each block; two
// factors per block; a closing twiddle-free radix-2 pass over O(N/2).
#include "../plugin/kernels.h"
#include "splitradix.h"

namespace fftplug::FFTPLUG_PATH_NS {

void splitRadix(Complex* a, const Complex* table, int32_t N) {
    const uint64_t n = static_cast<uint32_t>(N);
    if (n >= 4) {
        FFTPLUG_STAGE(4, 1);
        splitradix::narrowStage<1>(a, table, 0, static_cast<uint32_t>(n / 4));
    }
    if (n >= 8) {
        FFTPLUG_STAGE(8, 2);
        splitradix::narrowStage<2>(a, table, 0, static_cast<uint32_t>(n / 8));
    }
    for (uint64_t b = 16, q = 4; b <= n; b *= 2, q *= 2) {
        FFTPLUG_STAGE(b, q);
        splitradix::generalBlocks(a, table, static_cast<uint32_t>(q), 0, blocksIn(n, b));
    }
    FFTPLUG_STAGE(n, n / 2);  // the closing pass
    splitradix::closingPass(a, static_cast<uint32_t>(n));
}

}  // namespace fftplug::FFTPLUG_PATH_NS
