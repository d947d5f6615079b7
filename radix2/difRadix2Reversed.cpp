// difRadix2Reversed (entry 3): radix-2 decimation in frequency on the
// bit-reversed table. Bit-reversed input, natural-order result. Stages of
// growing span, the block loop outside: block k of every stage finds its
// factor at table[k], and the butterflies of a block walk its two halves with
// unit stride.
#include "../plugin/kernels.h"
#include "butterflies.h"

namespace fftplug::FFTPLUG_PATH_NS {

namespace radix2 {

namespace {

// The stages on the block of M points at c, on arrays on a line or
// (kOffLine) off one, where the blocks of at least kFromLineLanes widest
// lanes a half run from their first lane boundary on (difBlocksOffLine).
template <bool kOffLine>
FFTPLUG_ALWAYS_INLINE inline void stagesOnBlock(Complex* a, const Complex* table, uint32_t M, uint32_t c) {
    if (M < 2) return;
    uint32_t h = 1;
    if (M >= 2 * Widest::width) {
        // Half-spans narrower than a lane: the blocks in groups of adjacent
        // ones, each with its own factor, lane by lane.
        forEachNarrowSpan<Widest>([&](auto span) {
            FFTPLUG_STAGE(2 * decltype(span)::half, decltype(span)::half);
            constexpr uint32_t H = decltype(span)::half, blocksPerGroup = Widest::width / H;
            const Complex* w = table + c / (2 * H);
            for (Complex* p = a + c; p < a + c + M; p += 2 * Widest::width, w += blocksPerGroup) {
                auto halves = loadHalves(Widest{}, span, p);
                dif(halves.x, halves.y, blockFactors(Widest{}, span, w));
                storeHalves(p, span, halves.x, halves.y);
            }
        });
        h = Widest::width;
    }
    for (uint32_t factor = c / (2 * h); h < M; h *= 2, factor /= 2) {
        // factor: the number of the block's first sub-block of size 2h
        FFTPLUG_STAGE(2 * h, h);
        if constexpr (kOffLine) {
            difBlocksOffLine(a, c, M, h, table + factor);
            continue;
        }
        difBlocksInline(a, c, M, h, table + factor);
    }
}

}  // namespace

void difStagesOnBlock(Complex* a, const Complex* table, uint32_t M, uint32_t c) {
    stagesOnBlock<false>(a, table, M, c);
}
void difStagesOnBlockOffLine(Complex* a, const Complex* table, uint32_t M, uint32_t c) {
    stagesOnBlock<true>(a, table, M, c);
}

}  // namespace radix2

void difRadix2Reversed(Complex* a, const Complex* table, int32_t N) {
    const uint32_t n = static_cast<uint32_t>(N);
    stagesOnOrOffLine(
        a, n,
        [](auto offLine, Complex* x, const Complex* w, uint32_t m) {
            if constexpr (decltype(offLine)::value) radix2::difStagesOnBlockOffLine(x, w, m, 0);
            else radix2::difStagesOnBlock(x, w, m, 0);
        },
        a, table, n);
}

}  // namespace fftplug::FFTPLUG_PATH_NS
