// Arrays as hosts allocate them: every entry on every path gives the same
// bits wherever its arrays start in a 64-byte line (8 bytes past one, as
// 32-bit Windows' msvcrt malloc gives; 16, as x86-64 glibc's; every other
// whole sample, where the widest lanes meet their boundaries at each phase;
// 4, the least a sample allows), and writes nothing outside them.
#include <gtest/gtest.h>

#include "test_support.h"

namespace fftplug::test {
namespace {

struct Placed {
    std::vector<Complex> work;
    bool guardsIntact = false;
};

Placed runAt(const PluginLibrary& library, uint32_t index, uint32_t N, size_t lineOffset, bool inPlace) {
    const auto signal = randomSignal(N, 11);
    GuardedArray input(entry(index).naturalInput() ? signal : bitReversed(signal));
    GuardedArray work(N, lineOffset), table(N, lineOffset), source(N, lineOffset);
    source.assign(input.contents());
    table.assign(makeTwiddleTable(static_cast<int32_t>(N)));
    if (entry(index).preparesTable()) library.run(index, static_cast<int32_t>(N), source.data(), work.data(), table.data(), 0);
    if (inPlace) {
        work.assign(source.contents());
        library.run(index, static_cast<int32_t>(N), work.data(), work.data(), table.data(), 1);
    } else {
        library.run(index, static_cast<int32_t>(N), source.data(), work.data(), table.data(), 2);
    }
    return {work.contents(), work.guardsIntact() && table.guardsIntact() && source.guardsIntact()};
}

class LineOffsets : public testing::TestWithParam<std::string> {};

TEST_P(LineOffsets, TheSameBitsWhereverTheArraysStart) {
    const PluginLibrary& library = variant(GetParam());
    for (const uint32_t index : allEntries())
        for (const uint32_t N : {1u, 2u, 4u, 8u, 16u, 32u, 256u, 1024u, 4096u})
            for (const bool inPlace : {false, true}) {
                const Placed aligned = runAt(library, index, N, 0, inPlace);
                // every phase of an eight-sample lane, and a part of a sample
                for (const size_t offset : {4u, 8u, 16u, 24u, 32u, 40u, 48u, 56u}) {
                    const Placed placed = runAt(library, index, N, offset, inPlace);
                    const auto first = firstDifference(placed.work, aligned.work);
                    EXPECT_FALSE(first.has_value()) << "entry " << index << " N = " << N << " +" << offset
                                                    << (inPlace ? " in place" : "") << ": sample " << first.value_or(0);
                    EXPECT_TRUE(placed.guardsIntact) << "entry " << index << " N = " << N << " +" << offset;
                }
            }
}

INSTANTIATE_TEST_SUITE_P(Paths, LineOffsets, testing::ValuesIn(variantNames()), variantParamName);

TEST(GuardedArrayOffset, TheFirstSampleSitsThatFarPastALine) {
    for (const size_t offset : {0u, 4u, 8u, 16u, 60u}) {
        GuardedArray array(5, offset);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(array.data()) % 64, offset);
        EXPECT_EQ(array.lineOffset(), offset);
        array[4] = Complex{1, 2};
        EXPECT_TRUE(array.guardsIntact());
        reinterpret_cast<unsigned char*>(array.data() + 5)[0] ^= 1;  // the first byte after the samples
        EXPECT_FALSE(array.guardsIntact());
    }
    EXPECT_THROW(GuardedArray(4, 6), std::invalid_argument);
}

}  // namespace
}  // namespace fftplug::test
