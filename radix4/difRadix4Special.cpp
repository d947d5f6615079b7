// difRadix4Special (entry 7): difRadix4's transform with three butterfly
// kinds. Block 0 of every stage has the factors 1, 1, 1 and needs no
// multiplication; block 1 has W(8, 1), −i and W(8, 3), done with four
// multiplications by c = √½; blocks 2 and later use the general butterfly with
// factors from the table.
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

// Blocks 0 and 1 of the stage whose blocks pair on a lane, one to a half:
// both kinds on the whole lane, each half kept from its own block's kind.
template <typename Lane>
void specialBlockPair(Lane lane, Complex* a) {
    using Pairs = radix4::BlockPairs<Lane>;
    using V = Samples<Lane>;
    V x[4], free[4], one[4], y[4];
    Pairs::load(a, x);
    const FourPoint<V> v = combineFourPoint(x[0], x[1], x[2], x[3]);
    TwiddleFree{}(lane, v, free);
    BlockOne{}(lane, v, one);
    for (int i = 0; i < 4; ++i) y[i] = Pairs::joinHalves(free[i], one[i]);
    Pairs::store(a, y);
}

// Blocks 0 to W − 1 of the first stage (q = 1), one to a sample of the lane
// (in its layout's order): blocks 0 and 1 with their fixed factors, 2 to
// W − 1 with factors from table[2 … W − 1] and the even entries table[4 …
// 2W − 2] (the entries blocks 0 and 1 would take are not read), each sample
// kept from its own block's kind.
template <typename Lane>
void firstLaneOfBlocks(Lane lane, Complex* a, const Complex* table) {
    using Layout = radix4::FirstStageLayout<Lane>;
    using V = Samples<Lane>;
    V x[4], free[4], one[4], general[4], y[4];
    Layout::load(a, x);
    const FourPoint<V> v = combineFourPoint(x[0], x[1], x[2], x[3]);
    const auto f2 = Layout::factors(table, 2);
    const auto f1 = Layout::factorsEven(table, 2);
    radix4::butterfly(v, radix4::LaneFactors<decltype(f1)>{f1, f2, mul(f2, f1)}, general);
    TwiddleFree{}(lane, v, free);
    BlockOne{}(lane, v, one);
    constexpr uint32_t block0 = Layout::laneOf(0), block1 = Layout::laneOf(1);
    // written out: GCC 12 warns of the intrinsics' undefined operands when a loop does it
    y[0] = Layout::replaceSample(Layout::replaceSample(general[0], one[0], block1), free[0], block0);
    y[1] = Layout::replaceSample(Layout::replaceSample(general[1], one[1], block1), free[1], block0);
    y[2] = Layout::replaceSample(Layout::replaceSample(general[2], one[2], block1), free[2], block0);
    y[3] = Layout::replaceSample(Layout::replaceSample(general[3], one[3], block1), free[3], block0);
    Layout::store(a, y);
}

// A stage of quarter span q, whole widest lanes, on arrays off a line, in
// phase: block 0, block 1 and the general blocks in one walk. Out of line,
// as only a transform off a line runs it.
template <typename Lane = Widest>
__attribute__((noinline)) void stageInPhase(Complex* a, const Complex* table, uint32_t blocks, uint32_t q) {
    if constexpr (HasLanePhase<Lane>::value) {
        PhaseWalk<4, kFourPointLanesPerStep, Lane> walk(a, blocks, q);
        radix4::kindBlocksInPhase(walk, 1, TwiddleFree{});
        if (blocks == 1) return;
        radix4::kindBlocksInPhase(walk, 1, BlockOne{});
        radix4::generalBlocksInPhase(walk, table, 2, blocks);
    }
}

// The stages, on arrays on a line or (kOffLine) off one, where the blocks of
// whole widest lanes a quarter run in phase.
template <bool kOffLine>
void stages(Complex* a, const Complex* table, uint64_t n) {
    uint64_t q = 1;
    for (uint64_t b = 4; b <= n; q = b, b *= 4) {
        FFTPLUG_STAGE(b, q);
        const uint32_t quarter = static_cast<uint32_t>(q);
        const uint32_t size = static_cast<uint32_t>(b);
        const uint32_t blocks = blocksIn(n, b);
        if constexpr (radix4::FirstStageLayout<Widest>::holdsSpecialBlocks) {
            if (q == 1 && blocks >= Widest::width) {  // blocks 0 to W − 1 on one lane, the rest side by side
                firstLaneOfBlocks(Widest{}, a, table);
                radix4::firstStage(a, table, Widest::width, blocks);
                continue;
            }
        }
        if constexpr (radix4::BlockPairs<Widest>::available) {
            if (radix4::pairsBlocks(quarter) && blocks >= 2) {  // blocks 0 and 1 on one lane
                specialBlockPair(Widest{}, a);
                radix4::generalBlocks(a, table, 2, blocks, quarter);
                continue;
            }
        }
        if constexpr (kOffLine) {
            if (inPhase(a, quarter)) {
                stageInPhase(a, table, blocks, quarter);
                continue;
            }
        }
        radix4::block(a, quarter, TwiddleFree{});
        if (b == n) continue;  // the stage has block 0 alone
        radix4::block(a + size, quarter, BlockOne{});
        if (q == 1) {
            // One butterfly per block: the general blocks side by side.
            radix4::firstStage(a, table, 2, blocks);
            continue;
        }
        radix4::generalBlocks(a, table, 2, blocks, quarter);
    }
    FFTPLUG_STAGE(n, n / 2);  // the closing pass, where there is one
    if (q != n) closingRunsOnOrOffLine<kOffLine>(a, static_cast<uint32_t>(n / 2));
}

}  // namespace

void difRadix4Special(Complex* a, const Complex* table, int32_t N) {
    const uint64_t n = static_cast<uint32_t>(N);
    stagesOnOrOffLine(
        a, n, [](auto offLine, auto... args) { stages<decltype(offLine)::value>(args...); }, a, table, n);
}

}  // namespace fftplug::FFTPLUG_PATH_NS
