// The structure that makes an entry that algorithm, where the result alone
// cannot show it: the recursion order of the divided entry (its calls and
// joins, as events of the instrumented build) and the split-radix offset
// sets.
#include <tuple>

#define FFTPLUG_PATH_SCALAR
#include "plugin/instrument/instrumented.h"
#include "splitradix/splitradix.h"
#include "test_support.h"

namespace fftplug::test {
namespace {

using Event = std::tuple<char, int32_t, int32_t>;  // 'C' a call opens (size, index), 'J' its halves joined

extern "C" void FFTPLUG_CALL keepSteps(void* context, const FftplugEvent* events, uint32_t count) {
    auto* steps = static_cast<std::vector<Event>*>(context);
    for (uint32_t i = 0; i < count; ++i)
        steps->emplace_back(events[i].what == FFTPLUG_EVENT_CALL ? 'C' : 'J', static_cast<int32_t>(events[i].value),
                            static_cast<int32_t>(events[i].extra));
}

class Recursion : public testing::Test {
   protected:
    static void SetUpTestSuite() {
        instrumented_ = new PluginLibrary(PluginLibrary::open(defaultPluginPath("fftplug_instrumented")));
        instrumentEntry_ = reinterpret_cast<FftplugInstrumentEntry>(instrumented_->symbol("instrumentEntry"));
        ASSERT_NE(instrumentEntry_, nullptr);
    }
    static void TearDownTestSuite() { delete instrumented_; }

    // The calls and joins of entry 4 at N, in order (a buffer of 5 events,
    // so that a long run arrives in many pieces).
    std::vector<Event> trace(uint32_t N, std::vector<Complex>* result = nullptr) {
        const auto signal = randomSignal(N, 2);
        EntryArrays arrays = arrangeForEntry(*instrumented_, entry(4), signal);
        std::vector<Event> steps;
        FftplugEvent buffer[5];
        const FftplugEventStream events{(1u << FFTPLUG_EVENT_CALL) | (1u << FFTPLUG_EVENT_JOIN), buffer, 5, keepSteps,
                                        &steps};
        EXPECT_EQ(instrumentEntry_(4, static_cast<int32_t>(N), arrays.input.data(), arrays.work.data(),
                                   arrays.table.data(), nullptr, &events),
                  1);
        if (result != nullptr) *result = arrays.work;
        return steps;
    }
    static PluginLibrary* instrumented_;
    static FftplugInstrumentEntry instrumentEntry_;
};
PluginLibrary* Recursion::instrumented_ = nullptr;
FftplugInstrumentEntry Recursion::instrumentEntry_ = nullptr;

TEST_F(Recursion, BlocksOf256AndFewerAreNotDivided) {
    for (uint32_t N : {1u, 2u, 64u, 256u}) EXPECT_EQ(trace(N), (std::vector<Event>{{'C', N, 0}})) << "N = " << N;
}

TEST_F(Recursion, HalvesAreDoneDepthFirstThenJoined) {
    EXPECT_EQ(trace(512), (std::vector<Event>{{'C', 512, 0}, {'C', 256, 0}, {'C', 256, 1}, {'J', 512, 0}}));
    EXPECT_EQ(trace(1024), (std::vector<Event>{{'C', 1024, 0}, {'C', 512, 0}, {'C', 256, 0}, {'C', 256, 1},
                                               {'J', 512, 0}, {'C', 512, 1}, {'C', 256, 2}, {'C', 256, 3},
                                               {'J', 512, 1}, {'J', 1024, 0}}));
}

TEST_F(Recursion, LargeTransformsOpenFewCallsAtOnce) {
    const uint32_t N = 1u << 16;
    int open = 0, deepest = 0, calls = 0, leaves = 0, lastLeaf = -1;
    for (const auto& [kind, size, index] : trace(N)) {
        if (kind == 'C') {
            ++calls;
            if (size == 256) {  // a leaf closes at once; leaves come in ascending order
                ++leaves;
                EXPECT_EQ(index, lastLeaf + 1);
                lastLeaf = index;
                deepest = std::max(deepest, open + 1);
            } else {
                deepest = std::max(deepest, ++open);
            }
        } else {
            --open;
        }
    }
    EXPECT_EQ(calls, 2 * static_cast<int>(N) / 256 - 1);
    EXPECT_EQ(leaves, static_cast<int>(N) / 256);
    EXPECT_EQ(deepest, 16 - 8 + 1);
    EXPECT_EQ(open, 0);
}

TEST_F(Recursion, InstrumentedBuildComputesWhatTheShippedOneDoes) {
    std::vector<Complex> instrumented;
    trace(4096, &instrumented);
    EXPECT_TRUE(sameBits(instrumented, transform(4, randomSignal(4096, 2))));
}

std::vector<uint32_t> offsets(uint32_t q) {
    std::vector<uint32_t> out;
    scalar::splitradix::forEachOffsetRun(q, [&](uint32_t first, uint32_t count) {
        for (uint32_t j = first; j < first + count; ++j) out.push_back(j);
    });
    return out;
}

TEST(SplitRadixOffsets, SmallSetsAreTheLShapes) {
    EXPECT_EQ(offsets(1), (std::vector<uint32_t>{0}));
    EXPECT_EQ(offsets(2), (std::vector<uint32_t>{0}));
    EXPECT_EQ(offsets(4), (std::vector<uint32_t>{0, 1, 3}));
    EXPECT_EQ(offsets(8), (std::vector<uint32_t>{0, 1, 2, 3, 6}));
    EXPECT_EQ(offsets(16), (std::vector<uint32_t>{0, 1, 2, 3, 4, 5, 6, 7, 12, 13, 15}));
    EXPECT_EQ(offsets(32), (std::vector<uint32_t>{0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10,
                                                  11, 12, 13, 14, 15, 24, 25, 26, 27, 30}));
}

TEST(SplitRadixOffsets, SetsHoldTwoThirdsInAscendingDisjointRuns) {
    for (uint32_t q = 1; q <= (1u << 20); q *= 2) {
        const auto set = offsets(q);
        EXPECT_EQ(set.size(), (2 * q + 1) / 3) << "q = " << q;
        for (size_t i = 1; i < set.size(); ++i) ASSERT_LT(set[i - 1], set[i]) << "q = " << q;
        EXPECT_LT(set.back(), q);
    }
    // Stage sizes of a 16-point transform: 4, 2 and 3 butterflies, then the
    // closing pass on O(8).
    EXPECT_EQ(4 * offsets(1).size(), 4u);
    EXPECT_EQ(2 * offsets(2).size(), 2u);
    EXPECT_EQ(1 * offsets(4).size(), 3u);
    EXPECT_EQ(offsets(8), (std::vector<uint32_t>{0, 1, 2, 3, 6}));
}

}  // namespace
}  // namespace fftplug::test
