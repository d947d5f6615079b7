// difRadix2Special (entry 5): difRadix2Reversed's transform with five
// butterfly kinds. The first four blocks of every stage have fixed factors, 1,
// −i, (1 − i)·c and (−1 − i)·c with c the float nearest √½, so they read no
// table entry and need no or two real multiplications; blocks 4 and later use
// the general butterfly with table[k].
#include "../plugin/kernels.h"
#include "butterflies.h"

namespace fftplug::FFTPLUG_PATH_NS {
namespace {

// The fixed factors of blocks 0 to 3, each a kind applied to the difference.
struct TwiddleFree {  // block 0: 1
    template <typename V>
    V operator()(V d) const { return d; }
};
struct MinusI {  // block 1: −i, (d.im, −d.re)
    template <typename V>
    V operator()(V d) const { return timesMinusI(d); }
};
struct FirstDiagonal {  // block 2: (1 − i)·c
    template <typename V>
    V operator()(V d) const { return timesW8(d); }
};
struct SecondDiagonal {  // block 3: (−1 − i)·c, ((d.im − d.re)·c, (−d.re − d.im)·c)
    template <typename V>
    V operator()(V d) const { return timesW8Cubed(d); }
};

// x + y to x and kind(x − y) to y, one lane.
template <typename Lane, typename Kind>
inline void kindButterfly(Lane lane, Complex* x, Complex* y, Kind kind) {
    const auto a = load(lane, x), b = load(lane, y);
    store(x, add(a, b));
    store(y, kind(sub(a, b)));
}

// Block 2's butterfly with kind2 at x2, y2, then block 3's with kind3 at x3,
// y3, one lane of each. On a vector lane the four loads come before the four
// stores: block 3 lies 2b samples after block 2, from b = 256 on a multiple
// of 4 KB, and a load that follows a store to the same place in another 4-KB
// page waits for it (the processor tells them apart by the address bits
// within a page only); loaded after block 2's stores, each of block 3's
// lanes would. The scalar lane, the plain oracle whose accesses the
// instrumented build records butterfly by butterfly, keeps the two in turn.
template <typename Lane, typename Kind2, typename Kind3>
inline void kindButterflies(Lane lane, Complex* x2, Complex* y2, Kind2 kind2, Complex* x3, Complex* y3, Kind3 kind3) {
    if constexpr (Lane::width == 1) {
        kindButterfly(lane, x2, y2, kind2);
        kindButterfly(lane, x3, y3, kind3);
    } else {
        const auto a2 = load(lane, x2), b2 = load(lane, y2), a3 = load(lane, x3), b3 = load(lane, y3);
        store(x2, add(a2, b2));
        store(y2, kind2(sub(a2, b2)));
        store(x3, add(a3, b3));
        store(y3, kind3(sub(a3, b3)));
    }
}

// The four fixed kinds applied to one difference, in block order.
template <typename V>
struct FixedKinds {
    V block[4];
    explicit FixedKinds(V d) : block{TwiddleFree{}(d), MinusI{}(d), FirstDiagonal{}(d), SecondDiagonal{}(d)} {}
};

// A stage of half-span H narrower than a lane, in groups of adjacent blocks:
// those among blocks 0 to 3 with their fixed factors (each lane takes the
// kind of its block), the others with their table factors, lane by lane.
// A lane whose first group holds more blocks than the four fixed ones (eight
// blocks of half-span 1 on AVX-512) gives that group's other blocks their
// table factors, read from table[4] on.
template <uint32_t H>
void narrowStage(Span<H> span, Complex* a, const Complex* table, uint32_t n) {
    const Widest lane;
    constexpr uint32_t groupSize = 2 * Widest::width, blocksPerGroup = Widest::width / H;
    uint32_t block = 0;
    Complex* p = a;
    if constexpr (blocksPerGroup > 4) {
        const auto halves = loadHalves(lane, span, p);
        const auto d = sub(halves.x, halves.y);
        const auto general = mul(d, radix2::blockFactorsFrom(lane, span, table, 4));
        const FixedKinds<Samples<Widest>> fixed(d);
        Samples<Widest> kinds[blocksPerGroup];
        for (uint32_t b = 0; b < blocksPerGroup; ++b) kinds[b] = b < 4 ? fixed.block[b] : general;
        storeHalves(p, span, add(halves.x, halves.y), pickBlocks(lane, span, kinds));
        block = blocksPerGroup;
        p += groupSize;
    } else {
        for (; block < 4 && p < a + n; block += blocksPerGroup, p += groupSize) {
            const auto halves = loadHalves(lane, span, p);
            const auto d = sub(halves.x, halves.y);
            const FixedKinds<Samples<Widest>> fixed(d);
            storeHalves(p, span, add(halves.x, halves.y), pickBlocks(lane, span, fixed.block + block));
        }
    }
    for (; p < a + n; block += blocksPerGroup, p += groupSize) {
        auto halves = loadHalves(lane, span, p);
        radix2::dif(halves.x, halves.y, blockFactors(lane, span, table + block));
        storeHalves(p, span, halves.x, halves.y);
    }
}

// A stage of half-span h, whole widest lanes, on arrays off a line: its
// blocks in phase (PhaseWalk), the four fixed kinds, then the general
// blocks, in one walk. Out of line, as only a transform off a line runs it.
template <typename Lane = Widest>
__attribute__((noinline)) void stageInPhase(Complex* a, const Complex* table, uint32_t n, uint32_t h) {
    if constexpr (HasLanePhase<Lane>::value) {
        const uint32_t blocks = n / (2 * h);
        PhaseWalk<2, 2, Lane> walk(a, blocks, h);
        const auto fixed = [&walk](auto kind) {
            walk.blocks(1, [kind](uint32_t) {
                return [kind](auto& v) {
                    const auto d = sub(v[0], v[1]);
                    v[0] = add(v[0], v[1]);
                    v[1] = kind(d);
                };
            });
        };
        fixed(TwiddleFree{});
        if (blocks == 1) return;
        fixed(MinusI{});
        if (blocks == 2) return;
        fixed(FirstDiagonal{});
        fixed(SecondDiagonal{});
        walk.blocks(blocks - 4, [w = table + 4](uint32_t b) {
            return [f = factor(Lane{}, twiddle(w + b))](auto& v) { radix2::dif(v[0], v[1], f); };
        });
    }
}

// The stages, on arrays on a line or (kOffLine) off one, where the blocks of
// whole widest lanes a half run in phase.
template <bool kOffLine>
void stages(Complex* a, const Complex* table, uint32_t n) {
    uint32_t h = 1;
    if (n >= 2 * Widest::width) {
        radix2::forEachNarrowSpan<Widest>([&](auto span) {
            FFTPLUG_STAGE(2 * decltype(span)::half, decltype(span)::half);
            narrowStage(span, a, table, n);
        });
        h = Widest::width;
    }
    for (uint32_t b = 2 * h; b <= n; h = b, b *= 2) {
        FFTPLUG_STAGE(b, h);
        if constexpr (kOffLine) {
            if (inPhase(a, h)) {
                stageInPhase(a, table, n, h);
                continue;
            }
        }
        forEachLane(h, [&](auto lane, uint32_t j) { kindButterfly(lane, a + j, a + h + j, TwiddleFree{}); });  // block 0
        if (b == n) break;  // the last stage: one block

        Complex* block1 = a + b;
        forEachLane(h, [&](auto lane, uint32_t j) { kindButterfly(lane, block1 + j, block1 + h + j, MinusI{}); });
        if (2 * b == n) continue;  // two blocks in this stage

        Complex* block2 = a + 2 * b;
        Complex* block3 = a + 3 * b;
        forEachLane(h, [&](auto lane, uint32_t j) {  // blocks 2 and 3 in one loop
            kindButterflies(lane, block2 + j, block2 + h + j, FirstDiagonal{}, block3 + j, block3 + h + j,
                            SecondDiagonal{});
        });

        radix2::difBlocksInSteps(a, 4 * b, n - 4 * b, h, table + 4);  // the general blocks, 4 on
    }
}

}  // namespace

void difRadix2Special(Complex* a, const Complex* table, int32_t N) {
    const uint32_t n = static_cast<uint32_t>(N);
    stagesOnOrOffLine(
        a, n, [](auto offLine, auto... args) { stages<decltype(offLine)::value>(args...); }, a, table, n);
}

}  // namespace fftplug::FFTPLUG_PATH_NS
