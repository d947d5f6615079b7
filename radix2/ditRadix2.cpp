// ditRadix2 (entry 0): radix-2 decimation in time with the full segmented
// table. Bit-reversed input, natural-order result. Stage of span s = 2h reads
// its factors W(2h, j) from the segment table[h .. 2h), the twiddle loop
// outside: each factor is read once and walks the array with stride s.
#include "../plugin/kernels.h"
#include "butterflies.h"

namespace fftplug::FFTPLUG_PATH_NS {

namespace {

// The stages, on arrays on a line or (kOffLine) off one, where the strided
// stages run their twiddles from the rows' first lane boundary on
// (radix2::stridedStage).
template <bool kOffLine>
void stages(Complex* a, const Complex* table, uint32_t n) {
    const auto butterfly = [](auto& q, auto& p, const auto& w) { radix2::dit(q, p, w); };
    uint32_t h = 1;
    if (n >= 2 * Widest::width) {  // spans narrower than a lane: groups of adjacent blocks
        radix2::forEachNarrowSpan<Widest>([&](auto span) {
            FFTPLUG_STAGE(2 * decltype(span)::half, decltype(span)::half);
            constexpr uint32_t H = decltype(span)::half;
            const auto w = offsetFactors(Widest{}, span, table + H, 1);
            radix2::narrowStridedStage(Widest{}, span, a, n, w, butterfly);
        });
        h = Widest::width;
    }
    for (; h < n; h *= 2) {
        FFTPLUG_STAGE(2 * h, h);
        radix2::stridedStage<kOffLine>(
            a, n, h, [&](auto lane, uint32_t j) { return factors(lane, table + h + j); }, butterfly);
    }
}

}  // namespace

void ditRadix2(Complex* a, const Complex* table, int32_t N) {
    const uint32_t n = static_cast<uint32_t>(N);
    stagesOnOrOffLine(
        a, n, [](auto offLine, auto... args) { stages<decltype(offLine)::value>(args...); }, a, table, n);
}

}  // namespace fftplug::FFTPLUG_PATH_NS
