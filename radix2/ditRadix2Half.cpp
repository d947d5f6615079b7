// ditRadix2Half (entry 1): radix-2 decimation in time reading only the half
// table table[N/2 + k] = W(N, k), with a stride that halves from stage to
// stage. The lower half is never read, so a prepared table serves as well.
#include "../plugin/kernels.h"
#include "butterflies.h"

namespace fftplug::FFTPLUG_PATH_NS {

namespace {

// The stages, on arrays on a line or (kOffLine) off one, where the strided
// stages run their twiddles from the rows' first lane boundary on
// (radix2::stridedStage).
template <bool kOffLine>
void stages(Complex* a, const Complex* table, uint32_t n) {
    const Complex* half = table + n / 2;
    const auto butterfly = [](auto& q, auto& p, const auto& w) { radix2::dit(q, p, w); };
    uint32_t h = 1;
    uint32_t stride = n / 2;  // N/s for the stage of span s: W(N, j·N/s) = W(s, j)
    if (n >= 2 * Widest::width) {  // spans narrower than a lane: groups of adjacent blocks
        radix2::forEachNarrowSpan<Widest>([&](auto span) {
            FFTPLUG_STAGE(2 * decltype(span)::half, decltype(span)::half);
            const auto w = offsetFactors(Widest{}, span, half, stride);
            radix2::narrowStridedStage(Widest{}, span, a, n, w, butterfly);
            stride /= 2;
        });
        h = Widest::width;
    }
    for (; h < n; h *= 2, stride /= 2) {
        FFTPLUG_STAGE(2 * h, h);
        radix2::stridedStage<kOffLine>(
            a, n, h, [half, stride](auto lane, uint32_t j) { return factorsStrided(lane, half + j * stride, stride); },
            butterfly);
    }
}

}  // namespace

void ditRadix2Half(Complex* a, const Complex* table, int32_t N) {
    const uint32_t n = static_cast<uint32_t>(N);
    stagesOnOrOffLine(
        a, n, [](auto offLine, auto... args) { stages<decltype(offLine)::value>(args...); }, a, table, n);
}

}  // namespace fftplug::FFTPLUG_PATH_NS
