// The host's twiddle table, the preparation that rewrites its lower half, and
// the double-precision reference the entries are measured against.
#include "test_support.h"

namespace fftplug::test {
namespace {

uint32_t bitsOf(float f) {
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

TEST(TwiddleTable, SegmentsHoldTheRootsOfTheirStage) {
    for (int32_t N : {2, 8, 64, 4096}) {
        const auto table = makeTwiddleTable(N);
        for (uint32_t m = 1; m < static_cast<uint32_t>(N); m *= 2)
            for (uint32_t j = 0; j < m; ++j) {
                const auto w = unitRoot(j, 2 * m);
                ASSERT_NEAR(table[m + j].re, static_cast<double>(w.real()), 6e-8) << "N " << N << " m " << m << " j " << j;
                ASSERT_NEAR(table[m + j].im, static_cast<double>(w.imag()), 6e-8) << "N " << N << " m " << m << " j " << j;
                // lower segments are exact copies of the half table
                ASSERT_TRUE(sameBits({table[m + j]}, {table[N / 2 + j * (N / (2 * m))]}));
            }
    }
}

TEST(TwiddleTable, SpecialValuesAreExact) {
    const auto table = makeTwiddleTable(8);
    EXPECT_TRUE(sameBits({table[1], table[2], table[3]}, {Complex{1, 0}, Complex{1, 0}, Complex{0, -1}}));
    EXPECT_EQ(bitsOf(table[5].re), 0x3F3504F3u);  // W(8, 1) = c − i·c with c the float nearest √½
    EXPECT_EQ(bitsOf(-table[5].im), 0x3F3504F3u);
    EXPECT_EQ(table[7].re, -table[5].re);
    const auto inverse = makeTwiddleTable(8, Direction::inverse);
    EXPECT_TRUE(sameBits({inverse[3]}, {Complex{0, 1}}));
    EXPECT_THROW(makeTwiddleTable(12), std::invalid_argument);
}

// The preparation through an entry that prepares, as a host triggers it.
std::vector<Complex> prepared(std::vector<Complex> table) {
    plugin().run(3, static_cast<int32_t>(table.size()), nullptr, nullptr, table.data(), 0);
    return table;
}

TEST(Preparation, TwoPointsCopyTheOnlyUpperValue) {
    const std::vector<Complex> table = {{5, 6}, {7, 8}};
    EXPECT_TRUE(sameBits(prepared(table), {{7, 8}, {7, 8}}));
}

TEST(Preparation, EightPointsTakeTheUpperHalfInBitReversedOrder) {
    std::vector<Complex> table(8);
    for (int i = 0; i < 8; ++i) table[i] = {static_cast<float>(i), static_cast<float>(10 * i)};
    const auto after = prepared(table);
    const std::vector<Complex> expected = {table[4], table[6], table[5], table[7], table[4], table[5], table[6], table[7]};
    EXPECT_TRUE(sameBits(after, expected));
}

TEST(Preparation, MovesSignedZerosAndNaNPayloadsBitForBit) {
    const int32_t N = 64;
    std::vector<Complex> table(N, Complex{1, 1});
    for (int32_t k = 0; k < N / 2; ++k)
        table[N / 2 + k] = k % 3 == 0 ? Complex{-0.0f, 0.0f} : poisoned(static_cast<uint32_t>(k) * 977u);
    const auto after = prepared(table);
    const auto upper = std::vector<Complex>(table.begin() + N / 2, table.end());
    EXPECT_TRUE(sameBits(std::vector<Complex>(after.begin(), after.begin() + N / 2), bitReversed(upper)));
    EXPECT_TRUE(sameBits(prepared(after), after));
}

TEST(Preparation, LeavesTheTableFitForTheHalfTableEntryOnly) {
    for (uint32_t N : {4u, 16u, 1024u}) {
        const auto signal = randomSignal(N, 8);
        const Spectrum reference = referenceTransform(toSpectrum(signal));
        auto table = prepared(makeTwiddleTable(static_cast<int32_t>(N)));
        auto run = [&](uint32_t index) {
            const auto input = entry(index).naturalInput() ? signal : bitReversed(signal);
            std::vector<Complex> work(N);
            plugin().run(index, static_cast<int32_t>(N), input.data(), work.data(), table.data(), 1);
            return relativeRmsError(naturalOrderResult(entry(index), work), reference);
        };
        EXPECT_LE(run(1), errorBound(N)) << "N = " << N;
        EXPECT_GT(run(0), 1e-2) << "N = " << N;
        EXPECT_GT(run(2), 1e-2) << "N = " << N;
    }
}

TEST(Reference, AgreesWithTheDirectSum) {
    for (uint32_t N : {1u, 2u, 4u, 8u, 32u, 256u}) {
        const Spectrum x = toSpectrum(randomSignal(N, 4));
        for (Direction d : {Direction::forward, Direction::inverse})
            EXPECT_LE(relativeRmsError(referenceTransform(x, d), directTransform(x, d)), 1e-14) << "N = " << N;
    }
}

TEST(Reference, InverseUndoesForwardUpToN) {
    const uint32_t N = 1u << 16;
    const Spectrum x = toSpectrum(randomSignal(N, 6));
    Spectrum back = referenceTransform(referenceTransform(x), Direction::inverse);
    for (auto& v : back) v /= static_cast<double>(N);
    EXPECT_LE(relativeRmsError(back, x), 1e-14);
}

TEST(BitReversal, ReversesTheLowBits) {
    EXPECT_EQ(reverseBits(1, 3), 4u);
    EXPECT_EQ(reverseBits(6, 3), 3u);
    EXPECT_EQ(reverseBits(0, 0), 0u);
    EXPECT_EQ(reverseBits(1, 20), 1u << 19);
    const std::vector<int> v = {0, 1, 2, 3, 4, 5, 6, 7};
    EXPECT_EQ(bitReversed(v), (std::vector<int>{0, 4, 2, 6, 1, 5, 3, 7}));
    EXPECT_EQ(bitReversed(bitReversed(v)), v);
}

}  // namespace
}  // namespace fftplug::test
