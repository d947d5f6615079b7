// The stage builds (plugin/stages.h): each dispatching and fixed-path build
// passes as many stage marks as its entry's structure makes, ends a call after any
// number of them with work holding exactly those stages' result, the same
// bits on every path, and run to its last stage gives the shipped library's
// bits. The instrumented build's events give each mark's shape and count
// what each stage does.
#include <gtest/gtest.h>

#include "plugin/instrument/instrumented.h"
#include "plugin/stages.h"
#include "test_support.h"

namespace fftplug::test {
namespace {

struct StageBuild {
    std::string name;
    PluginLibrary library;
    FftplugLimitStages limit;
    FftplugCountStages count;
};

// The dispatching stage build and every fixed-path one this CPU runs.
const std::vector<StageBuild>& stageBuilds() {
    static const std::vector<StageBuild> builds = [] {
        std::vector<StageBuild> all;
        const std::string folder = folderOf(plugin().path());
        for (const PluginVariant& v : pluginVariants(plugin().path())) {
            const std::string base = v.name == "dispatch" ? "fftplug_stages" : "fftplug_stages-" + v.name;
            PluginLibrary library = PluginLibrary::open(folder + platformLibraryName(base));
            const auto limit = reinterpret_cast<FftplugLimitStages>(library.symbol("limitStages"));
            const auto count = reinterpret_cast<FftplugCountStages>(library.symbol("countStages"));
            if (limit == nullptr || count == nullptr) throw std::runtime_error(base + ": no stage exports");
            all.push_back({v.name, std::move(library), limit, count});
        }
        return all;
    }();
    return builds;
}

int32_t marksOf(const StageBuild& build, uint32_t index, uint32_t N) {
    EntryArrays arrays = arrangeForEntry(build.library, entry(index), randomSignal(N, 7));
    return build.count(index, static_cast<int32_t>(N), arrays.input.data(), arrays.work.data(), arrays.table.data());
}

// Work after the copy and the first `stages` stages (-1: all), in the
// entry's own order.
std::vector<Complex> workAfter(const StageBuild& build, uint32_t index, uint32_t N, int32_t stages) {
    EntryArrays arrays = arrangeForEntry(build.library, entry(index), randomSignal(N, 7));
    build.limit(stages);
    build.library.run(index, static_cast<int32_t>(N), arrays.input.data(), arrays.work.data(), arrays.table.data(), 1);
    build.limit(-1);
    return arrays.work;
}

// The marks each entry's structure makes, derived by hand from its loops:
// a mark per radix-2 stage; entry 4 a mark per stage of each 256-point leaf
// block and one per join; radix 4 a mark per radix-4 stage and one for the
// closing pass, made whether or not log2 N is odd; split radix a mark per
// stage of block 4 to N and one for the closing pass.
uint32_t expectedMarks(uint32_t index, uint32_t N) {
    const uint32_t L = log2Exact(N);
    switch (index) {
        case 4:
            if (N <= 256) return L;
            return (N / 256) * 8 + (N / 256 - 1);
        case 6:
        case 7: return L / 2 + 1;
        case 8:
        case 9: return L < 2 ? 1 : L;
        default: return L;
    }
}

class StageMarks : public testing::TestWithParam<uint32_t> {};

TEST_P(StageMarks, AsTheEntrysStructureMakesThemOnEveryPath) {
    const uint32_t index = GetParam();
    for (const StageBuild& build : stageBuilds())
        for (const uint32_t N : {1u, 2u, 4u, 8u, 16u, 32u, 64u, 256u, 512u, 1024u, 4096u}) {
            // Counted whatever the limit: a limit of one stage ends nothing here.
            build.limit(1);
            EXPECT_EQ(marksOf(build, index, N), static_cast<int32_t>(expectedMarks(index, N)))
                << build.name << " N = " << N;
            EXPECT_EQ(build.limit(-1), 1);
        }
}

TEST_P(StageMarks, EveryPathEndsAfterTheSameStagesWithTheSameBits) {
    const uint32_t index = GetParam();
    for (const uint32_t N : {2u, 16u, 128u, 1024u}) {
        const uint32_t marks = expectedMarks(index, N);
        const auto signal = randomSignal(N, 7);
        const std::vector<Complex> input = entry(index).naturalInput() ? signal : bitReversed(signal);
        const StageBuild& scalar = stageBuilds().front();
        for (uint32_t k = 0; k <= marks; k += index == 4 && marks > 12 ? 5 : 1) {
            const auto reference = workAfter(scalar, index, N, static_cast<int32_t>(k));
            if (k == 0) {
                EXPECT_TRUE(sameBits(reference, input)) << "no stage: work is the copy of input, N = " << N;
            }
            for (const StageBuild& build : stageBuilds()) {
                const auto work = workAfter(build, index, N, static_cast<int32_t>(k));
                const auto first = firstDifference(work, reference);
                EXPECT_FALSE(first.has_value()) << build.name << " N = " << N << " after " << k << " stages: sample "
                                                << first.value_or(0);
            }
        }
    }
}

TEST_P(StageMarks, RunToTheLastStageTheShippedLibrarysBits) {
    const uint32_t index = GetParam();
    for (const StageBuild& build : stageBuilds()) {
        const PluginLibrary& shipped = variant(build.name);
        for (const uint32_t N : {1u, 8u, 64u, 512u, 2048u, 8192u}) {
            const auto whole = transformWithEntry(shipped, entry(index), randomSignal(N, 3));
            build.limit(-1);
            EXPECT_TRUE(sameBits(transformWithEntry(build.library, entry(index), randomSignal(N, 3)), whole))
                << build.name << " N = " << N;
            // Allowing exactly as many stages as there are marks ends nothing.
            build.limit(static_cast<int32_t>(expectedMarks(index, N)));
            EXPECT_TRUE(sameBits(transformWithEntry(build.library, entry(index), randomSignal(N, 3)), whole))
                << build.name << " N = " << N;
            build.limit(-1);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Entries, StageMarks, testing::ValuesIn(allEntries()), entryParamName);

TEST(StageLimit, ReportsTheSettingItReplacesAndRefusesBadSizes) {
    const StageBuild& build = stageBuilds().front();
    EXPECT_EQ(build.limit(3), -1);
    EXPECT_EQ(build.limit(-1), 3);
    EXPECT_EQ(build.count(3, 12, nullptr, nullptr, nullptr), -1);
    EXPECT_EQ(build.count(3, 0, nullptr, nullptr, nullptr), -1);
}

// What each stage did, from the instrumented build's events: one record per
// stage mark, the arithmetic of its arithmetic events.
struct StageCount {
    uint32_t block = 0;
    uint64_t additions = 0, multiplications = 0, loads = 0, stores = 0, tableReads = 0;
};
extern "C" void FFTPLUG_CALL countByStage(void* context, const FftplugEvent* events, uint32_t count) {
    auto* stages = static_cast<std::vector<StageCount>*>(context);
    for (uint32_t i = 0; i < count; ++i) {
        const FftplugEvent& e = events[i];
        if (e.what == FFTPLUG_EVENT_STAGE) stages->emplace_back().block = e.value;
        if (stages->empty()) continue;
        StageCount& s = stages->back();
        if (e.what == FFTPLUG_EVENT_LOAD) ++s.loads;
        if (e.what == FFTPLUG_EVENT_STORE) ++s.stores;
        if (e.what == FFTPLUG_EVENT_TABLE) ++s.tableReads;
        if (e.what == FFTPLUG_EVENT_ARITHMETIC) s.additions += e.value, s.multiplications += e.extra;
    }
}

// The instrumented build's stages, one per mark, add up to the run's tally,
// one spans the array and none goes beyond it, and a stage that touches
// nothing (radix 4's closing pass where log2 N is even) reads and writes
// nothing.
TEST(InstrumentedStages, AddUpToTheWholeCountAndMarkEmptyStages) {
    PluginLibrary instrumented = PluginLibrary::open(folderOf(plugin().path()) + platformLibraryName("fftplug_instrumented"));
    const auto instrumentEntry = reinterpret_cast<FftplugInstrumentEntry>(instrumented.symbol("instrumentEntry"));
    ASSERT_NE(instrumentEntry, nullptr);
    const uint32_t mask = (1u << FFTPLUG_EVENT_LOAD) | (1u << FFTPLUG_EVENT_STORE) | (1u << FFTPLUG_EVENT_TABLE) |
                          (1u << FFTPLUG_EVENT_STAGE) | (1u << FFTPLUG_EVENT_ARITHMETIC);
    for (const uint32_t index : allEntries())
        for (const uint32_t N : {16u, 32u, 1024u}) {
            EntryArrays arrays = arrangeForEntry(instrumented, entry(index), randomSignal(N, 1));
            std::vector<StageCount> stages;
            FftplugEvent buffer[64];
            const FftplugEventStream events{mask, buffer, 64, countByStage, &stages};
            FftplugCounts whole{};
            ASSERT_EQ(instrumentEntry(index, static_cast<int32_t>(N), arrays.input.data(), arrays.work.data(),
                                      arrays.table.data(), &whole, &events),
                      1);
            ASSERT_EQ(stages.size(), expectedMarks(index, N)) << "entry " << index << " N = " << N;
            StageCount sum{};
            uint32_t empty = 0, widest = 0;
            for (const StageCount& stage : stages) {
                widest = std::max(widest, stage.block);
                sum.additions += stage.additions;
                sum.multiplications += stage.multiplications;
                sum.loads += stage.loads;
                sum.stores += stage.stores;
                sum.tableReads += stage.tableReads;
                if (stage.loads + stage.stores == 0) ++empty;
            }
            EXPECT_EQ(widest, N) << "entry " << index << " N = " << N;
            EXPECT_EQ(sum.additions, whole.additions) << "entry " << index << " N = " << N;
            EXPECT_EQ(sum.multiplications, whole.multiplications);
            EXPECT_EQ(sum.loads, whole.loads);
            EXPECT_EQ(sum.stores, whole.stores);
            EXPECT_EQ(sum.tableReads, whole.tableReads);
            // Radix 4 at an even log2 N: the closing mark begins nothing.
            const bool evenRadix4 = (index == 6 || index == 7) && log2Exact(N) % 2 == 0;
            EXPECT_EQ(empty, evenRadix4 ? 1u : 0u) << "entry " << index << " N = " << N;
            EXPECT_EQ(stages.size() - empty, whole.stages) << "entry " << index << " N = " << N;
        }
}

}  // namespace
}  // namespace fftplug::test
