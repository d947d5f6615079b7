// The instrumented build (fftplug_instrumented) counts what the kernels do:
// checked against counts derived by hand from each algorithm, against the
// table reads that table_reads_test pins down, against its own events of the
// same run, and against the scalar build's bits (so that the counts describe
// the code that runs).
#include <cstring>
#include <map>

#include "plugin/instrument/instrumented.h"
#include "table_reads.h"
#include "test_support.h"

namespace fftplug::test {
namespace {

const PluginLibrary& instrumented() {
    static const PluginLibrary library = PluginLibrary::open(defaultPluginPath("fftplug_instrumented"));
    return library;
}

FftplugInstrumentEntry instrumentEntry() {
    const auto function = reinterpret_cast<FftplugInstrumentEntry>(instrumented().symbol("instrumentEntry"));
    if (function == nullptr) throw std::runtime_error("the instrumented build does not export instrumentEntry");
    return function;
}

// The tally of entry `index` at N, and the events `events` asks for.
FftplugCounts countsOf(uint32_t index, uint32_t N, const FftplugEventStream* events = nullptr) {
    EntryArrays arrays = arrangeForEntry(instrumented(), entry(index), randomSignal(N, 7));
    FftplugCounts counts{};
    if (instrumentEntry()(index, static_cast<int32_t>(N), arrays.input.data(), arrays.work.data(),
                          arrays.table.data(), &counts, events) != 1)
        throw std::runtime_error("instrumentEntry refused the call");
    return counts;
}

struct Expected {
    uint64_t additions, multiplications, tableReads, loads, stages, fullPasses;
};

// Per N = 2, 4, 8, 16. A butterfly's parts: complex add or sub 2 real
// additions, complex multiplication 4 multiplications and 2 additions,
// D0 ∓ i·D1 2 additions, ·(−i) nothing, ·W8 or ·W8³ 2 and 2.
const std::map<uint32_t, std::vector<Expected>> kHandCounts = {
    // Entry 0, radix-2 DIT: (N/2)·log2 N butterflies of add + sub + one
    // complex multiplication (6 additions, 4 multiplications), 2 loads and 2
    // stores each; one table read per twiddle, h of them in the stage of
    // half-span h: N − 1 in all; every stage a full pass.
    {0, {{6, 4, 1, 2, 1, 1}, {24, 16, 3, 8, 2, 2}, {72, 48, 7, 24, 3, 3}, {192, 128, 15, 64, 4, 4}}},
    // Entry 5, radix-2 DIF with fixed factors in blocks 0 to 3: per
    // butterfly 4 additions in blocks 0 (·1) and 1 (·−i), 6 and 2
    // multiplications in blocks 2 and 3 (·W8, ·W8³), 6 and 4 from block 4
    // on with one table read per block. N = 8: stage of 4 blocks 4+4+6+6
    // additions and 4 multiplications, then 2·(4+4) and 4·4 additions.
    // N = 16: 8 blocks (44, 20, 4 reads), 4 blocks of 2 (40, 8), 2·4·4, 8·4.
    {5, {{4, 0, 0, 2, 1, 1}, {16, 0, 0, 8, 2, 2}, {52, 4, 0, 24, 3, 3}, {148, 28, 4, 64, 4, 4}}},
    // Entry 6, radix-4 DIF: a butterfly 16 additions and three complex
    // multiplications (22, 12), its block's f3 = f2·f1 once (2, 4) from two
    // table reads. N = 2: the closing radix-2 pass alone (4 additions). N = 4:
    // one butterfly (24, 16). N = 8: two (48, 32) and the closing pass over 4
    // pairs (16). N = 16: four (96, 64), then one block of 4 (4·22 + 2, 4·12 + 4).
    {6, {{4, 0, 0, 2, 1, 1}, {24, 16, 2, 4, 1, 1}, {64, 32, 4, 16, 2, 2}, {186, 116, 10, 32, 2, 2}}},
    // Entry 8, split radix: a butterfly 12 additions and two complex
    // multiplications (16, 8) on the offsets O(q) of its block (|O(1)| =
    // |O(2)| = 1, |O(4)| = 3), f3 = f1·table[k] per block (2, 4), two table
    // reads per block; the closing pass 4 additions on each pair of O(N/2)
    // (1, 1, 3, 5 pairs). Only the first stage touches every sample.
    // N = 16: 4 blocks (72, 48), 2 blocks (36, 24), 1 block of 3 (50, 28), 20.
    {8, {{4, 0, 0, 2, 1, 1}, {22, 12, 2, 6, 2, 1}, {66, 36, 6, 18, 3, 1}, {178, 100, 14, 46, 4, 1}}},
};

TEST(Counting, SmallTransformsCountWhatTheAlgorithmPrescribes) {
    for (const auto& [index, expected] : kHandCounts) {
        for (unsigned bits = 1; bits <= 4; ++bits) {
            const Expected& e = expected[bits - 1];
            const FftplugCounts c = countsOf(index, 1u << bits);
            const std::string where = "entry " + std::to_string(index) + ", N = " + std::to_string(1u << bits);
            EXPECT_EQ(c.additions, e.additions) << where;
            EXPECT_EQ(c.multiplications, e.multiplications) << where;
            EXPECT_EQ(c.tableReads, e.tableReads) << where;
            EXPECT_EQ(c.loads, e.loads) << where;
            EXPECT_EQ(c.stores, e.loads) << where;  // every sample loaded is stored back
            EXPECT_EQ(c.stages, e.stages) << where;
            EXPECT_EQ(c.fullPasses, e.fullPasses) << where;
        }
    }
}

// Entries 0 to 4 at every size: 5·N·log2 N real operations in N·log2 N
// loads, the closed form the benchmark's mflops assume.
TEST(Counting, RadixTwoEntriesDoFiveNLogNOperations) {
    for (uint32_t index = 0; index <= 4; ++index) {
        for (unsigned bits = 1; bits <= 12; ++bits) {
            const uint64_t N = 1u << bits;
            const FftplugCounts c = countsOf(index, static_cast<uint32_t>(N));
            EXPECT_EQ(c.additions, 3 * N * bits) << "entry " << index << ", N = " << N;
            EXPECT_EQ(c.multiplications, 2 * N * bits) << "entry " << index << ", N = " << N;
            EXPECT_EQ(c.loads, N * bits) << "entry " << index << ", N = " << N;
        }
    }
}

// Each kind of event, counted by the sink.
extern "C" void FFTPLUG_CALL countKinds(void* context, const FftplugEvent* events, uint32_t count) {
    auto* kinds = static_cast<std::map<uint32_t, uint64_t>*>(context);
    for (uint32_t i = 0; i < count; ++i) ++(*kinds)[events[i].what];
}

TEST(Counting, RefusesWhatItCannotRun) {
    EntryArrays arrays = arrangeForEntry(instrumented(), entry(0), randomSignal(8, 7));
    FftplugEvent buffer[4];
    const FftplugEventStream noSink{FFTPLUG_RECORD_ALL, buffer, 4, nullptr, nullptr};
    const auto run = [&](int32_t N, FftplugCounts* counts, const FftplugEventStream* events) {
        return instrumentEntry()(0, N, arrays.input.data(), arrays.work.data(), arrays.table.data(), counts, events);
    };
    FftplugCounts counts{};
    counts.loads = 99;
    EXPECT_EQ(run(6, &counts, nullptr), 0);
    EXPECT_EQ(counts.loads, 0u) << "counts zeroed on a refusal";
    EXPECT_EQ(run(8, nullptr, nullptr), 0) << "nothing asked for";
    EXPECT_EQ(run(8, &counts, &noSink), 0) << "events without a sink";
    EXPECT_EQ(run(8, &counts, nullptr), 1);
}

class CountingEveryEntry : public testing::TestWithParam<uint32_t> {};

// One run both tallied and recorded: the tally's loads, stores and table
// reads are its events, whose buffer of 7 fills many times.
TEST_P(CountingEveryEntry, TallyAndEventsOfOneRunAgree) {
    for (uint32_t N : {2u, 64u, 4096u}) {
        std::map<uint32_t, uint64_t> kinds;
        FftplugEvent buffer[7];
        const FftplugEventStream events{FFTPLUG_RECORD_ALL, buffer, 7, countKinds, &kinds};
        const FftplugCounts c = countsOf(GetParam(), N, &events);
        EXPECT_EQ(kinds[FFTPLUG_EVENT_LOAD], c.loads) << "N = " << N;
        EXPECT_EQ(kinds[FFTPLUG_EVENT_STORE], c.stores) << "N = " << N;
        EXPECT_EQ(kinds[FFTPLUG_EVENT_TABLE], c.tableReads) << "N = " << N;
        EXPECT_GE(kinds[FFTPLUG_EVENT_STAGE], c.stages) << "N = " << N;
        const FftplugCounts alone = countsOf(GetParam(), N);
        EXPECT_EQ(std::memcmp(&c, &alone, sizeof c), 0) << "N = " << N << ": the tally without events";
    }
}

TEST_P(CountingEveryEntry, DistinctTableReadsAreTheEntriesThatTheTableReadTestFinds) {
    for (uint32_t N : {1u, 2u, 4u, 8u, 16u, 32u, 64u, 256u, 1024u, 1u << 14})
        EXPECT_EQ(countsOf(GetParam(), N).distinctTableReads, expectedReads(GetParam(), N).size()) << "N = " << N;
}

TEST_P(CountingEveryEntry, SameBitsAsTheScalarBuild) {
    for (unsigned bits = 0; bits <= 12; ++bits) {
        const uint32_t N = 1u << bits;
        const auto signal = randomSignal(N, 900 + bits);
        ASSERT_TRUE(sameBits(transformWithEntry(instrumented(), entry(GetParam()), signal),
                             transformWithEntry(variant("scalar"), entry(GetParam()), signal)))
            << "N = " << N;
    }
}

INSTANTIATE_TEST_SUITE_P(AllEntries, CountingEveryEntry, testing::ValuesIn(allEntries()), entryParamName);

}  // namespace
}  // namespace fftplug::test
