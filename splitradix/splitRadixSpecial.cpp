// splitRadixSpecial (entry 9): splitRadix's transform with three butterfly
// kinds. Block 0 of every stage has the factors 1 and 1 and needs no
// multiplication; block 1 has W(8, 1) and W(8, 3), done with four
// multiplications by c = √½; blocks 2 and later use the general butterfly with
// factors from the table.
#include "../plugin/kernels.h"
#include "splitradix.h"

namespace fftplug::FFTPLUG_PATH_NS {
namespace {

// Block 0: D0 − i·D1 and D0 + i·D1 unmultiplied.
struct TwiddleFree {
    template <typename Lane, typename V>
    void operator()(Lane, const FourPoint<V>& v, V (&y)[4]) const {
        splitradix::butterfly(v, y, [](V p) { return p; }, [](V r) { return r; });
    }
};

// Block 1: (D0 − i·D1)·(c − i·c) and (D0 + i·D1)·(−c − i·c). With P, Q the
// parts of D0 − i·D1 and U = D1.im − D0.re, V = D0.im + D1.re, the results are
// ((P + Q)·c, (Q − P)·c) and ((U + V)·c, (U − V)·c): each component one sum or
// difference and one multiplication by c.
struct BlockOne {
    template <typename Lane, typename V>
    void operator()(Lane, const FourPoint<V>& v, V (&y)[4]) const {
        splitradix::butterfly(v, y, [](V p) { return timesW8(p); }, [](V r) { return timesW8Cubed(r); });
    }
};

// The stages, on arrays on a line or (kOffLine) off one, where the blocks
// whose first run of O(q) holds at least kFromLineLanes widest lanes, and
// the closing pass's like runs, run from their first lane boundary on.
template <bool kOffLine>
void stages(Complex* a, const Complex* table, uint64_t n) {
    for (uint64_t b = 4, q = 1; b <= n; b *= 2, q *= 2) {
        FFTPLUG_STAGE(b, q);
        const uint32_t quarter = static_cast<uint32_t>(q);
        const uint32_t size = static_cast<uint32_t>(b);
        if constexpr (splitradix::FromBlockZero<Widest>::available) {
            if (q <= 2 && b < n) {
                // One butterfly per block: blocks 0 and 1 side by side with the general ones.
                const uint32_t count = blocksIn(n, b);
                if (q == 1) splitradix::narrowStageFromBlockZero<1>(a, table, count, TwiddleFree{}, BlockOne{});
                else splitradix::narrowStageFromBlockZero<2>(a, table, count, TwiddleFree{}, BlockOne{});
                continue;
            }
        }
        if constexpr (kOffLine) {
            if (fromLine(a, quarter / 2)) {
                splitradix::blockFromLine(a, quarter, TwiddleFree{});
                if (b == n) break;
                splitradix::blockFromLine(a + size, quarter, BlockOne{});
                splitradix::generalBlocksFromLine(a, table, quarter, 2, blocksIn(n, b));
                continue;
            }
        }
        splitradix::block(a, quarter, TwiddleFree{});
        if (b == n) break;  // the last stage has block 0 alone
        splitradix::block(a + size, quarter, BlockOne{});
        if (q <= 2) {
            // One butterfly per block: the general blocks side by side.
            if (q == 1) splitradix::narrowStage<1>(a, table, 2, blocksIn(n, b));
            else splitradix::narrowStage<2>(a, table, 2, blocksIn(n, b));
            continue;
        }
        splitradix::generalBlocks(a, table, quarter, 2, blocksIn(n, b));
    }
    FFTPLUG_STAGE(n, n / 2);  // the closing pass
    splitradix::closingPassOnOrOffLine<kOffLine>(a, static_cast<uint32_t>(n));
}

}  // namespace

void splitRadixSpecial(Complex* a, const Complex* table, int32_t N) {
    const uint64_t n = static_cast<uint32_t>(N);
    stagesOnOrOffLine(
        a, n, [](auto offLine, auto... args) { stages<decltype(offLine)::value>(args...); }, a, table, n);
}

}  // namespace fftplug::FFTPLUG_PATH_NS
