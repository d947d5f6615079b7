// The direction of the transform: entries that multiply only by table values
// follow the table's sign; entries with factors built into their butterflies
// compute the forward transform only, and a conjugated table spoils them as
// soon as they read it.
#include "test_support.h"

namespace fftplug::test {
namespace {

// Largest N for which a conjugated table still gives the forward transform
// (the entry reads no factor whose sign matters); 0 for entries that follow
// the table and so give the inverse transform.
uint32_t forwardWhateverTheTableUpTo(uint32_t index) {
    switch (index) {
        case 5:
        case 7:
        case 9: return 8;
        case 6:
        case 8: return 4;
        default: return 0;
    }
}

class ConjugatedTable : public testing::TestWithParam<uint32_t> {};

TEST_P(ConjugatedTable, GivesTheInverseOrTheForwardOrNeither) {
    const uint32_t index = GetParam();
    const uint32_t forwardUpTo = forwardWhateverTheTableUpTo(index);
    for (unsigned bits = 1; bits <= 14; ++bits) {
        const uint32_t N = 1u << bits;
        const auto signal = randomSignal(N, 21 + bits);
        const Spectrum x = toSpectrum(signal);
        const auto result = transform(index, signal, Direction::inverse);
        const double fromForward = relativeRmsError(result, referenceTransform(x, Direction::forward));
        const double fromInverse = relativeRmsError(result, referenceTransform(x, Direction::inverse));
        if (forwardUpTo == 0) {
            EXPECT_LE(fromInverse, errorBound(N)) << "N = " << N;
        } else if (N <= forwardUpTo) {
            EXPECT_LE(fromForward, errorBound(N)) << "N = " << N;
        } else {
            EXPECT_GT(fromForward, 1e-2) << "N = " << N;
            EXPECT_GT(fromInverse, 1e-2) << "N = " << N;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllEntries, ConjugatedTable, testing::ValuesIn(allEntries()), entryParamName);

TEST(InputOrder, NaturalOrderInputIsNotTheTransformInAnyOrder) {
    for (uint32_t index : allEntries()) {
        const uint32_t N = 64;
        const auto signal = randomSignal(N, 31);
        const Spectrum reference = referenceTransform(toSpectrum(signal));
        // Hand the entry the other order than it takes.
        EntryArrays arrays = arrangeForEntry(plugin(), entry(index), signal);
        arrays.input = bitReversed(arrays.input);
        plugin().run(index, N, arrays.input.data(), arrays.work.data(), arrays.table.data(), 1);
        EXPECT_GT(relativeRmsError(arrays.work, reference), 1e-2) << "entry " << index;
        EXPECT_GT(relativeRmsError(bitReversed(arrays.work), reference), 1e-2) << "entry " << index;
    }
}

}  // namespace
}  // namespace fftplug::test
