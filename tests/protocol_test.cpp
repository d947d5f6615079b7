// The run protocol every entry follows, and the calls that must do nothing
// rather than touch memory the host did not hand over.
#include <climits>

#include "test_support.h"

namespace fftplug::test {
namespace {

// The three arrays of one call, each between guard regions, with their
// contents before the call kept for comparison.
struct CallArrays {
    explicit CallArrays(uint32_t index, uint32_t N, uint32_t seed = 7)
        : input(randomSignal(N, seed)), work(randomSignal(N, seed + 1)), table(makeTwiddleTable(static_cast<int32_t>(N))) {
        (void)index;
        inputBefore = input.contents();
        workBefore = work.contents();
        tableBefore = table.contents();
    }
    void run(uint32_t index, int32_t N, int32_t reps) {
        plugin().run(index, N, input.data(), work.data(), table.data(), reps);
    }
    bool untouched() const {
        return sameBits(input.contents(), inputBefore) && sameBits(work.contents(), workBefore) &&
               sameBits(table.contents(), tableBefore) && guardsIntact();
    }
    bool guardsIntact() const { return input.guardsIntact() && work.guardsIntact() && table.guardsIntact(); }

    GuardedArray input, work, table;
    std::vector<Complex> inputBefore, workBefore, tableBefore;
};

class RunProtocol : public testing::TestWithParam<uint32_t> {};

TEST_P(RunProtocol, NegativeRepeatCountTouchesNothing) {
    for (uint32_t N : {1u, 2u, 16u, 1024u}) {
        CallArrays arrays(GetParam(), N);
        arrays.run(GetParam(), static_cast<int32_t>(N), -1);
        arrays.run(GetParam(), static_cast<int32_t>(N), INT_MIN);
        EXPECT_TRUE(arrays.untouched()) << "N = " << N;
    }
}

TEST_P(RunProtocol, ZeroRepeatCountPreparesOnlyTheLowerHalf) {
    const uint32_t index = GetParam();
    for (uint32_t N : {1u, 2u, 8u, 64u, 4096u}) {
        CallArrays arrays(index, N);
        arrays.run(index, static_cast<int32_t>(N), 0);
        EXPECT_TRUE(sameBits(arrays.input.contents(), arrays.inputBefore));
        EXPECT_TRUE(sameBits(arrays.work.contents(), arrays.workBefore));
        EXPECT_TRUE(arrays.guardsIntact());
        std::vector<Complex> expected = arrays.tableBefore;
        if (entry(index).preparesTable()) {
            const uint32_t half = N / 2;
            const std::vector<Complex> upper(expected.begin() + half, expected.end());
            const std::vector<Complex> reversed = half > 0 ? bitReversed(upper) : upper;
            std::copy(reversed.begin(), reversed.end(), expected.begin());
        }
        EXPECT_TRUE(sameBits(arrays.table.contents(), expected)) << "N = " << N;

        // Preparing again changes nothing: it depends only on the upper half.
        arrays.run(index, static_cast<int32_t>(N), 0);
        EXPECT_TRUE(sameBits(arrays.table.contents(), expected)) << "second preparation, N = " << N;
    }
}

TEST_P(RunProtocol, RepeatedRunsLeaveTheResultOfOneOverAnyWorkContents) {
    const uint32_t index = GetParam();
    for (uint32_t N : {1u, 2u, 4u, 32u, 512u, 2048u}) {
        const auto signal = randomSignal(N, N);
        EntryArrays once = arrangeForEntry(plugin(), entry(index), signal);
        plugin().run(index, static_cast<int32_t>(N), once.input.data(), once.work.data(), once.table.data(), 1);

        EntryArrays thrice = arrangeForEntry(plugin(), entry(index), signal);
        for (auto& sample : thrice.work) sample = poisoned();  // garbage the copy must replace
        plugin().run(index, static_cast<int32_t>(N), thrice.input.data(), thrice.work.data(), thrice.table.data(), 3);
        EXPECT_TRUE(sameBits(once.work, thrice.work)) << "N = " << N;
        EXPECT_TRUE(sameBits(thrice.input, entry(index).naturalInput() ? signal : bitReversed(signal)))
            << "input written, N = " << N;
    }
}

TEST_P(RunProtocol, OnePointIsItsOwnTransform) {
    CallArrays arrays(GetParam(), 1);
    if (entry(GetParam()).preparesTable()) arrays.run(GetParam(), 1, 0);
    arrays.run(GetParam(), 1, 2);
    EXPECT_TRUE(sameBits(arrays.work.contents(), arrays.inputBefore));
    EXPECT_TRUE(arrays.guardsIntact());
}

TEST_P(RunProtocol, NothingIsWrittenOutsideWork) {
    const uint32_t index = GetParam();
    for (uint32_t N : {2u, 4u, 8u, 16u, 256u, 512u, 1024u, 8192u}) {
        CallArrays arrays(index, N);
        if (entry(index).preparesTable()) arrays.run(index, static_cast<int32_t>(N), 0);
        const std::vector<Complex> table = arrays.table.contents();
        arrays.run(index, static_cast<int32_t>(N), 2);
        EXPECT_TRUE(arrays.guardsIntact()) << "N = " << N;
        EXPECT_TRUE(sameBits(arrays.input.contents(), arrays.inputBefore)) << "input written, N = " << N;
        EXPECT_TRUE(sameBits(arrays.table.contents(), table)) << "table written by a transform, N = " << N;
    }
}

TEST_P(RunProtocol, InvalidSizesDoNothingAtAll) {
    const uint32_t index = GetParam();
    for (int32_t N : {0, -1, -2, -8, 3, 6, 12, 1000, INT_MIN, INT_MAX}) {
        CallArrays arrays(index, 16);
        for (int32_t reps : {0, 1, 3}) arrays.run(index, N, reps);
        EXPECT_TRUE(arrays.untouched()) << "N = " << N;
    }
}

TEST_P(RunProtocol, ArraysOutsideTheAddressSpaceDoNothing) {
    const uint32_t index = GetParam();
    CallArrays arrays(index, 16);
    // A table whose 16 samples would run past the top of the address space.
    auto* wrapping = reinterpret_cast<Complex*>(UINTPTR_MAX - 63);
    plugin().run(index, 16, arrays.input.data(), arrays.work.data(), wrapping, 1);
    plugin().run(index, 16, wrapping, arrays.work.data(), arrays.table.data(), 1);
    EXPECT_TRUE(arrays.untouched());
    if (sizeof(void*) == 4) {
        // 2^29 samples are 4 GiB: more than a 32-bit process can address.
        for (int32_t reps : {0, 1}) arrays.run(index, 1 << 29, reps);
        EXPECT_TRUE(arrays.untouched());
    }
}

TEST_P(RunProtocol, NullArraysDoNothing) {
    const uint32_t index = GetParam();
    const int32_t N = 64;
    CallArrays arrays(index, N);
    plugin().run(index, N, nullptr, arrays.work.data(), arrays.table.data(), 1);
    plugin().run(index, N, arrays.input.data(), nullptr, arrays.table.data(), 1);
    plugin().run(index, N, arrays.input.data(), arrays.work.data(), nullptr, 1);
    plugin().run(index, N, arrays.input.data(), arrays.work.data(), nullptr, 0);
    EXPECT_TRUE(arrays.untouched());

    // The preparation touches only the table, so null input and work are fine.
    plugin().run(index, N, nullptr, nullptr, arrays.table.data(), 0);
    EXPECT_EQ(sameBits(arrays.table.contents(), arrays.tableBefore), !entry(index).preparesTable());
}

TEST_P(RunProtocol, InputEqualToWorkIsTransformedInPlaceOnce) {
    const uint32_t index = GetParam();
    for (uint32_t N : {1u, 8u, 1024u}) {
        const auto signal = randomSignal(N, 3);
        const std::vector<Complex> expected = transform(index, signal);
        for (int32_t reps : {1, 3}) {
            EntryArrays arrays = arrangeForEntry(plugin(), entry(index), signal);
            plugin().run(index, static_cast<int32_t>(N), arrays.input.data(), arrays.input.data(),
                         arrays.table.data(), reps);
            EXPECT_TRUE(sameBits(naturalOrderResult(entry(index), arrays.input), expected))
                << "N = " << N << ", reps = " << reps;
        }
    }
}

TEST_P(RunProtocol, OverlappingArraysDoNothing) {
    const uint32_t index = GetParam();
    const int32_t N = 32;
    GuardedArray shared(3 * N);
    for (uint32_t i = 0; i < 3u * N; ++i) shared.data()[i] = {static_cast<float>(i), -static_cast<float>(i)};
    const std::vector<Complex> tableValues = makeTwiddleTable(N);
    std::copy(tableValues.begin(), tableValues.end(), shared.data() + 2 * N);
    const std::vector<Complex> before = shared.contents();
    Complex* base = shared.data();
    // work starting inside input, input starting inside work
    plugin().run(index, N, base, base + 1, base + 2 * N, 1);
    plugin().run(index, N, base + N / 2, base, base + 2 * N, 1);
    // the table overlapping work, then input
    plugin().run(index, N, base, base + N, base + N + N / 2, 1);
    plugin().run(index, N, base + N, base, base + N / 2, 1);
    EXPECT_TRUE(sameBits(shared.contents(), before));
    EXPECT_TRUE(shared.guardsIntact());
}

INSTANTIATE_TEST_SUITE_P(AllEntries, RunProtocol, testing::ValuesIn(allEntries()), entryParamName);

TEST(Dispatch, IndicesOutsideTheCatalogueDoNothing) {
    for (uint32_t index : {10u, 11u, 15u, 16u, 17u, 255u, 0x80000000u, 0xFFFFFFFFu}) {
        CallArrays arrays(0, 64);
        for (int32_t reps : {0, 1}) arrays.run(index, 64, reps);
        EXPECT_TRUE(arrays.untouched()) << "index " << index;
    }
}

}  // namespace
}  // namespace fftplug::test
