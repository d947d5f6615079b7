// difRadix4 (entry 6): radix-4 decimation in frequency on the bit-reversed
// table. Bit-reversed input, natural-order result. Stages of block size 4, 16,
// 64 … each doing the work of two radix-2 stages; three factors per block,
// formed once from two table reads; a closing radix-2 pass when log2 N is odd.
#include "../plugin/kernels.h"
#include "radix4.h"

namespace fftplug::FFTPLUG_PATH_NS {

namespace {

// A stage of quarter span q, whole widest lanes, on arrays off a line, in
// phase; out of line, as only a transform off a line runs it.
template <typename Lane = Widest>
__attribute__((noinline)) void stageInPhase(Complex* a, const Complex* table, uint32_t blocks, uint32_t q) {
    if constexpr (HasLanePhase<Lane>::value) {
        PhaseWalk<4, kFourPointLanesPerStep, Lane> walk(a, blocks, q);
        radix4::generalBlocksInPhase(walk, table, 0, blocks);
    }
}

// The stages, on arrays on a line or (kOffLine) off one, where the blocks of
// whole widest lanes a quarter run in phase.
template <bool kOffLine>
void stages(Complex* a, const Complex* table, uint64_t n) {
    uint64_t q = 1;
    if (n >= 4) {
        FFTPLUG_STAGE(4, 1);
        radix4::firstStage(a, table, 0, static_cast<uint32_t>(n / 4));
        q = 4;
    }
    for (uint64_t b = 16; b <= n; q = b, b *= 4) {
        FFTPLUG_STAGE(b, b / 4);
        const uint32_t quarter = static_cast<uint32_t>(b / 4);
        if constexpr (kOffLine) {
            if (inPhase(a, quarter)) {
                stageInPhase(a, table, blocksIn(n, b), quarter);
                continue;
            }
        }
        radix4::generalBlocks(a, table, 0, blocksIn(n, b), quarter);
    }
    FFTPLUG_STAGE(n, n / 2);  // the closing pass, where there is one
    if (q != n) closingRunsOnOrOffLine<kOffLine>(a, static_cast<uint32_t>(n / 2));
}

}  // namespace

void difRadix4(Complex* a, const Complex* table, int32_t N) {
    const uint64_t n = static_cast<uint32_t>(N);
    stagesOnOrOffLine(
        a, n, [](auto offLine, auto... args) { stages<decltype(offLine)::value>(args...); }, a, table, n);
}

}  // namespace fftplug::FFTPLUG_PATH_NS
