// Entry 7: entry 6's transform with three butterfly kinds. Block 0 of every
// stage has the factors 1, 1, 1 and needs no multiplication; block 1 has
// W(8, 1), −i and W(8, 3), done with four multiplications by c = √½; blocks 2
// and later use the general butterfly with factors from the table.
#include "../plugin/kernels.h"
#include "radix4.h"

namespace fftplug::FFTPLUG_PATH_NS {
namespace {

// Block 0: factors 1, 1, 1.
struct TwiddleFree {
    template <typename Lane, typename V>
    void operator()(Lane, const FourPoint<V>& v, V (&y)[4]) const {
        y[0] = add(v.sum01, v.sum23);
        y[1] = v.p;
        y[2] = sub(v.sum01, v.sum23);
        y[3] = v.r;
    }
};

// Block 1: factors W(8, 1) at q, −i at 2q, W(8, 3) at 3q.
struct BlockOne {
    template <typename Lane, typename V>
    void operator()(Lane, const FourPoint<V>& v, V (&y)[4]) const {
        y[0] = add(v.sum01, v.sum23);
        y[1] = timesW8(v.p);
        y[2] = timesMinusI(sub(v.sum01, v.sum23));
        y[3] = timesW8Cubed(v.r);
    }
};

}  // namespace

void difRadix4SpecialKernel(Complex* a, const Complex* table, int32_t N) {
    const uint64_t n = static_cast<uint32_t>(N);
    uint64_t q = 1;
    for (uint64_t b = 4; b <= n; q = b, b *= 4) {
        FFTPLUG_STAGE();
        const uint32_t quarter = static_cast<uint32_t>(q);
        const uint32_t size = static_cast<uint32_t>(b);
        radix4::block(a, quarter, TwiddleFree{});
        if (b == n) continue;  // the stage has block 0 alone
        radix4::block(a + size, quarter, BlockOne{});
        if (q == 1) {
            // One butterfly per block: the general blocks side by side.
            radix4::firstStage(a, table, 2, static_cast<uint32_t>(n / 4));
            continue;
        }
        for (uint32_t k = 2, s = 2 * size; s < n; ++k, s += size)
            radix4::generalBlock(a, s, quarter, radix4::blockFactors(table, k));
    }
    FFTPLUG_STAGE();
    if (q != n) closingRun(a, 0, static_cast<uint32_t>(n / 2), static_cast<uint32_t>(n / 2));
}

}  // namespace fftplug::FFTPLUG_PATH_NS
