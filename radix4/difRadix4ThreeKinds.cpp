// Entry 7: entry 6's transform with three butterfly kinds. Block 0 of every
// stage has the factors 1, 1, 1 and needs no multiplication; block 1 has
// W(8, 1), −i and W(8, 3), done with four multiplications by c = √½; blocks 2
// and later use the general butterfly with factors from the table.
#include "../plugin/kernels.h"
#include "radix4.h"

namespace fftplug::FFTPLUG_PATH_NS {
namespace {

// Block 0: factors 1, 1, 1.
template <typename Lane>
inline void twiddleFree(Lane lane, Complex* x, uint32_t q) {
    const auto v = combineFourPoint(lane, x, q);
    store(x, add(v.sum01, v.sum23));
    store(x + 2 * q, sub(v.sum01, v.sum23));
    store(x + q, v.p);
    store(x + 3 * q, v.r);
}

// Block 1: factors W(8, 1) at q, −i at 2q, W(8, 3) at 3q.
template <typename Lane>
inline void blockOne(Lane lane, Complex* x, uint32_t q) {
    const auto v = combineFourPoint(lane, x, q);
    store(x, add(v.sum01, v.sum23));
    store(x + 2 * q, timesMinusI(sub(v.sum01, v.sum23)));
    store(x + q, timesW8(v.p));
    store(x + 3 * q, timesW8Cubed(v.r));
}

}  // namespace

void difRadix4SpecialKernel(Complex* a, const Complex* table, int32_t N) {
    const uint64_t n = static_cast<uint32_t>(N);
    uint64_t q = 1;
    for (uint64_t b = 4; b <= n; q = b, b *= 4) {
        const uint32_t quarter = static_cast<uint32_t>(q);
        const uint32_t size = static_cast<uint32_t>(b);
        forEachLane(quarter, [&](auto lane, uint32_t j) { twiddleFree(lane, a + j, quarter); });
        if (b == n) continue;  // the stage has block 0 alone
        forEachLane(quarter, [&](auto lane, uint32_t j) { blockOne(lane, a + size + j, quarter); });
        for (uint32_t k = 2, s = 2 * size; s < n; ++k, s += size)
            radix4::generalBlock(a, s, quarter, radix4::blockFactors(table, k));
    }
    if (q != n) radix4::closingPass(a, static_cast<uint32_t>(n));
}

}  // namespace fftplug::FFTPLUG_PATH_NS
