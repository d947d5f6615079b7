// splitRadix (entry 8): split-radix decimation in frequency on the
// bit-reversed table. Bit-reversed input, natural-order result. Stages of
// block size 4, 8, …, N visit only the offset set O(q) of each block; two
// factors per block; a closing twiddle-free radix-2 pass over O(N/2).
#include "../plugin/kernels.h"
#include "splitradix.h"

namespace fftplug::FFTPLUG_PATH_NS {

namespace {

// The stages, on arrays on a line or (kOffLine) off one, where the blocks
// whose first run of O(q) holds at least kFromLineLanes widest lanes, and
// the closing pass's like runs, run from their first lane boundary on.
template <bool kOffLine>
void stages(Complex* a, const Complex* table, uint64_t n) {
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
        const uint32_t quarter = static_cast<uint32_t>(q);
        if constexpr (kOffLine) {
            if (fromLine(a, quarter / 2)) {
                splitradix::generalBlocksFromLine(a, table, quarter, 0, blocksIn(n, b));
                continue;
            }
        }
        splitradix::generalBlocks(a, table, quarter, 0, blocksIn(n, b));
    }
    FFTPLUG_STAGE(n, n / 2);  // the closing pass
    splitradix::closingPassOnOrOffLine<kOffLine>(a, static_cast<uint32_t>(n));
}

}  // namespace

void splitRadix(Complex* a, const Complex* table, int32_t N) {
    const uint64_t n = static_cast<uint32_t>(N);
    stagesOnOrOffLine(
        a, n, [](auto offLine, auto... args) { stages<decltype(offLine)::value>(args...); }, a, table, n);
}

}  // namespace fftplug::FFTPLUG_PATH_NS
