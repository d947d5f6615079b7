// difRadix2 (entry 2): plain radix-2 decimation in frequency. Natural-order
// input, bit-reversed result. Spans shrink from N/2 to 1; the stage of
// half-span h reads its factors W(2h, j) from the segment table[h .. 2h), the
// twiddle loop outside and one butterfly per block inside.
#include "../plugin/kernels.h"
#include "butterflies.h"

namespace fftplug::FFTPLUG_PATH_NS {

namespace {

// The stages, on arrays on a line or (kOffLine) off one, where the strided
// stages run their twiddles from the rows' first lane boundary on
// (radix2::stridedStage).
template <bool kOffLine>
void stages(Complex* a, const Complex* table, uint32_t n) {
    const auto butterfly = [](auto& x, auto& y, const auto& w) { radix2::dif(x, y, w); };
    const bool narrowGroups = n >= 2 * Widest::width;  // spans narrower than a lane: groups of blocks
    const uint32_t lastWide = narrowGroups ? Widest::width : 1;
    for (uint32_t h = n / 2; h >= lastWide; h /= 2) {
        FFTPLUG_STAGE(2 * h, h);
        radix2::stridedStage<kOffLine>(
            a, n, h, [&](auto lane, uint32_t j) { return factors(lane, table + h + j); }, butterfly);
    }
    if (narrowGroups) {
        radix2::forEachNarrowSpanDown<Widest>([&](auto span) {
            FFTPLUG_STAGE(2 * decltype(span)::half, decltype(span)::half);
            constexpr uint32_t H = decltype(span)::half;
            const auto w = offsetFactors(Widest{}, span, table + H, 1);
            radix2::narrowStridedStage(Widest{}, span, a, n, w, butterfly);
        });
    }
}

}  // namespace

void difRadix2(Complex* a, const Complex* table, int32_t N) {
    const uint32_t n = static_cast<uint32_t>(N);
    stagesOnOrOffLine(
        a, n, [](auto offLine, auto... args) { stages<decltype(offLine)::value>(args...); }, a, table, n);
}

}  // namespace fftplug::FFTPLUG_PATH_NS
