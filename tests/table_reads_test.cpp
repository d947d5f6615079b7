// Which table entries each entry reads. One entry at a time is poisoned with
// NaN: a read entry must spoil the result, an unread one must leave it
// bit-identical. Together this pins down the read set exactly.
#include <functional>

#include "table_reads.h"
#include "test_support.h"

namespace fftplug::test {
namespace {

class TableReads : public testing::TestWithParam<uint32_t> {
   protected:
    // The entry's natural-order result with `spoil` applied to its table
    // (after the preparation, for entries that prepare).
    std::vector<Complex> resultWith(const std::vector<Complex>& signal,
                                    const std::function<void(std::vector<Complex>&)>& spoil,
                                    bool preparedForOthers = false) {
        EntryArrays arrays = arrangeForEntry(plugin(), entry(GetParam()), signal);
        if (preparedForOthers) plugin().run(3, static_cast<int32_t>(signal.size()), nullptr, nullptr, arrays.table.data(), 0);
        spoil(arrays.table);
        plugin().run(GetParam(), static_cast<int32_t>(signal.size()), arrays.input.data(), arrays.work.data(),
                     arrays.table.data(), 1);
        return arrays.work;
    }
};

TEST_P(TableReads, ExactlyTheDocumentedEntriesAreRead) {
    for (uint32_t N : {2u, 4u, 8u, 16u, 32u, 64u, 256u, 1024u}) {
        const auto signal = randomSignal(N, N + 1);
        const auto clean = resultWith(signal, [](auto&) {});
        ASSERT_FALSE(anyNaN(clean));
        const std::set<uint32_t> reads = expectedReads(GetParam(), N);
        for (uint32_t i = 0; i < N; ++i) {
            const auto result = resultWith(signal, [&](auto& table) { table[i] = poisoned(i); });
            if (reads.count(i) != 0)
                EXPECT_TRUE(anyNaN(result)) << "table[" << i << "] is not read, N = " << N;
            else
                EXPECT_TRUE(sameBits(result, clean)) << "table[" << i << "] is read, N = " << N;
        }
    }
}

TEST_P(TableReads, EverythingUnreadPoisonedAtOnceChangesNothing) {
    for (uint32_t N : {1u, 2u, 4u, 8u, 16u, 128u, 4096u, 1u << 16}) {
        const auto signal = randomSignal(N, 3 * N);
        const auto clean = resultWith(signal, [](auto&) {});
        const std::set<uint32_t> reads = expectedReads(GetParam(), N);
        const auto spoiled = resultWith(signal, [&](auto& table) {
            for (uint32_t i = 0; i < N; ++i)
                if (reads.count(i) == 0) table[i] = poisoned(i);
        });
        EXPECT_TRUE(sameBits(spoiled, clean)) << "N = " << N;
    }
}

INSTANTIATE_TEST_SUITE_P(AllEntries, TableReads, testing::ValuesIn(allEntries()), entryParamName);

TEST(TableReads, HalfTableEntryRunsOnAPreparedTableWithItsLowerHalfPoisoned) {
    for (uint32_t N : {2u, 8u, 512u, 1u << 14}) {
        const auto signal = bitReversed(randomSignal(N, 12));
        auto table = makeTwiddleTable(static_cast<int32_t>(N));
        std::vector<Complex> clean(N), spoiled(N);
        plugin().run(1, static_cast<int32_t>(N), signal.data(), clean.data(), table.data(), 1);
        plugin().run(3, static_cast<int32_t>(N), nullptr, nullptr, table.data(), 0);
        plugin().run(1, static_cast<int32_t>(N), signal.data(), spoiled.data(), table.data(), 1);
        EXPECT_TRUE(sameBits(spoiled, clean)) << "prepared, N = " << N;
        for (uint32_t i = 0; i < N / 2; ++i) table[i] = poisoned(i);
        plugin().run(1, static_cast<int32_t>(N), signal.data(), spoiled.data(), table.data(), 1);
        EXPECT_TRUE(sameBits(spoiled, clean)) << "lower half poisoned, N = " << N;
    }
}

}  // namespace
}  // namespace fftplug::test
