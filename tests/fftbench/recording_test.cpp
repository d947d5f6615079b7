// The graphs of fftbench draw and the traces of fftbench trace, built from
// the instrumented build's events, against the algorithms derived by hand,
// its tally of loads and stores, and the recursion order of entry 4 that its
// calls and joins report.
#include <gtest/gtest.h>

#include <fmt/format.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <numeric>
#include <map>
#include <set>
#include <regex>
#include <tuple>

#include "host/bit_reversal.h"
#include "host/driver.h"
#include "model/access_trace.h"
#include "model/cache_traffic.h"
#include "model/fewest_misses.h"
#include "model/flowgraph.h"
#include "render/flowgraph_output.h"
#include "subject/instrumented_build.h"

using namespace fftbench;
using fftplug::host::PluginLibrary;
using json = nlohmann::json;

namespace {

const InstrumentedLibrary& instrumented() {
    static const InstrumentedLibrary library = InstrumentedLibrary::open(defaultInstrumentedLibraryPath());
    return library;
}

// The graph of an entry as draw --json writes it.
json graphJson(uint32_t entry, uint32_t N) {
    return json::parse(flowGraphJson(recordFlowGraph(instrumented(), instrumented().catalogue().at(entry), N), "test"));
}

std::vector<uint32_t> sorted(std::vector<uint32_t> v) {
    std::sort(v.begin(), v.end());
    return v;
}

// A butterfly as the tests derive it: its samples (as a set), kind and
// table entries.
struct Expected {
    std::vector<uint32_t> samples;
    std::string kind;
    std::vector<uint32_t> factors;
    bool operator<(const Expected& o) const {
        return std::tie(samples, kind, factors) < std::tie(o.samples, o.kind, o.factors);
    }
    bool operator==(const Expected& o) const {
        return std::tie(samples, kind, factors) == std::tie(o.samples, o.kind, o.factors);
    }
};
void PrintTo(const Expected& e, std::ostream* os) {
    *os << fmt::format("{{{}}} {} t[{}]", fmt::join(e.samples, " "), e.kind, fmt::join(e.factors, " "));
}

std::vector<Expected> butterfliesOf(const json& stage) {
    std::vector<Expected> out;
    for (const json& b : stage["butterflies"]) {
        const auto reads = b["reads"].get<std::vector<uint32_t>>();
        EXPECT_EQ(sorted(reads), sorted(b["writes"].get<std::vector<uint32_t>>())) << "stored back in place";
        out.push_back({sorted(reads), b["kind"], b["factors"].get<std::vector<uint32_t>>()});
    }
    return out;
}

// ---- radix 2, twiddle-outer: entries 0 and 2, in execution order ---------------

struct Radix2Case {
    uint32_t entry, N;
};

class TwiddleOuterGraph : public testing::TestWithParam<Radix2Case> {};

// Entry 0 (decimation in time, bit-reversed input): stages of half-span h =
// 1, 2, …, N/2; the stage pairs (i, i + h) in blocks of 2h, the twiddle loop
// outside: for j = 0 … h − 1 the factor table[h + j], then the pairs
// (j + 2h·m, j + 2h·m + h) for m = 0 … N/2h − 1. Entry 2 (decimation in
// frequency, natural input) runs the same stages with h = N/2 first.
TEST_P(TwiddleOuterGraph, StagesPairsAndFactorsInOrder) {
    const auto [entry, N] = GetParam();
    const json graph = graphJson(entry, N);
    EXPECT_EQ(graph["input_order"], entry == 2 ? "natural" : "bit-reversed");
    std::vector<uint32_t> halves;
    for (uint32_t h = 1; h < N; h *= 2) halves.push_back(h);
    if (entry == 2) std::reverse(halves.begin(), halves.end());
    ASSERT_EQ(graph["stages"].size(), halves.size());
    for (size_t s = 0; s < halves.size(); ++s) {
        const uint32_t h = halves[s];
        const json& stage = graph["stages"][s];
        EXPECT_EQ(stage["block_size"], 2 * h);
        EXPECT_EQ(stage["apart"], h);
        std::vector<Expected> expected;
        for (uint32_t j = 0; j < h; ++j)
            for (uint32_t i = j; i < N; i += 2 * h) expected.push_back({{i, i + h}, "general", {h + j}});
        EXPECT_EQ(butterfliesOf(stage), expected) << "stage of half-span " << h;
    }
}

INSTANTIATE_TEST_SUITE_P(Entries, TwiddleOuterGraph,
                         testing::Values(Radix2Case{0, 8}, Radix2Case{0, 16}, Radix2Case{2, 8}, Radix2Case{2, 16}),
                         [](const auto& info) { return fmt::format("entry{}_N{}", info.param.entry, info.param.N); });

// ---- radix 2, block-outer: entries 3 and 5 -------------------------------------------

class BlockOuterGraph : public testing::TestWithParam<Radix2Case> {};

// Entries 3 and 5: stages of half-span h = 1 … N/2, block k (samples 2h·k …)
// first to last, each pair (s + i, s + i + h) with the block's factor
// table[k]; entry 5 gives blocks 0 to 3 the fixed kinds 1, −i, W8, W8³ and
// reads no table for them (its blocks 2 and 3 run side by side, so within a
// stage only the set of butterflies is compared).
TEST_P(BlockOuterGraph, BlocksKindsAndFactors) {
    const auto [entry, N] = GetParam();
    const json graph = graphJson(entry, N);
    const char* const fixed[4] = {"twiddle-free", "minus-i", "w8", "w8-cubed"};
    size_t s = 0;
    for (uint32_t h = 1; h < N; h *= 2, ++s) {
        ASSERT_LT(s, graph["stages"].size());
        std::vector<Expected> expected;
        for (uint32_t k = 0; k < N / (2 * h); ++k)
            for (uint32_t i = 0; i < h; ++i) {
                const uint32_t at = 2 * h * k + i;
                if (entry == 5 && k < 4) expected.push_back({{at, at + h}, fixed[k], {}});
                else expected.push_back({{at, at + h}, "general", {k}});
            }
        std::vector<Expected> seen = butterfliesOf(graph["stages"][s]);
        if (entry == 5) {
            std::sort(seen.begin(), seen.end());
            std::sort(expected.begin(), expected.end());
        }
        EXPECT_EQ(seen, expected) << "stage of half-span " << h;
    }
    EXPECT_EQ(graph["stages"].size(), s);
}

INSTANTIATE_TEST_SUITE_P(Entries, BlockOuterGraph,
                         testing::Values(Radix2Case{3, 8}, Radix2Case{3, 16}, Radix2Case{5, 8}, Radix2Case{5, 16}),
                         [](const auto& info) { return fmt::format("entry{}_N{}", info.param.entry, info.param.N); });

// ---- radix 4 and split radix: entries 6 to 9 ----------------------------------------------

// The offset set O(q) that a split-radix stage of quarter span q visits in
// each block, written out: the L-shaped runs q − t … q − t/2 − 1 for t = q,
// q/4, ….
const std::map<uint32_t, std::vector<uint32_t>> kOffsets = {
    {1, {0}}, {2, {0}}, {4, {0, 1, 3}}, {8, {0, 1, 2, 3, 6}}, {16, {0, 1, 2, 3, 4, 5, 6, 7, 12, 13, 15}}};

struct StageShape {
    uint32_t block, apart;
    std::vector<Expected> butterflies;  // as a set
};

// A four-point butterfly of the block at s with quarter span q at offset j.
std::vector<uint32_t> fourPoint(uint32_t s, uint32_t q, uint32_t j) { return {s + j, s + j + q, s + j + 2 * q, s + j + 3 * q}; }

// The stages of entries 6 to 9 at N, derived from their algorithms: radix 4
// (6, 7) has stages of block 4, 16, … with all q offsets of every block and,
// for odd log2 N, a closing pass over all N/2 pairs; split radix (8, 9)
// stages of block 4, 8, … over O(q) and a closing pass over O(N/2). Radix 4
// reads table[k] and table[2k] for block k, split radix table[2k] and
// table[k]; entries 7 and 9 give block 0 the twiddle-free kind and block 1
// the built-in factors, and read nothing for them.
std::vector<StageShape> derived(uint32_t entry, uint32_t N) {
    const bool split = entry >= 8, special = entry == 7 || entry == 9;
    std::vector<StageShape> stages;
    uint32_t b = 4;
    for (; b <= N; b *= split ? 2 : 4) {
        const uint32_t q = b / 4;
        StageShape stage{b, q, {}};
        std::vector<uint32_t> offsets;
        if (split) offsets = kOffsets.at(q);
        else for (uint32_t j = 0; j < q; ++j) offsets.push_back(j);
        for (uint32_t k = 0; k < N / b; ++k)
            for (const uint32_t j : offsets) {
                std::string kind = "general";
                std::vector<uint32_t> factors = split ? std::vector<uint32_t>{2 * k, k} : std::vector<uint32_t>{k, 2 * k};
                if (special && k < 2) {
                    kind = k == 0 ? "twiddle-free" : "block-one";
                    factors.clear();
                }
                stage.butterflies.push_back({fourPoint(b * k, q, j), kind, factors});
            }
        stages.push_back(std::move(stage));
    }
    const uint32_t last = stages.empty() ? 1 : stages.back().block;
    if (split || last != N) {
        StageShape closing{N, N / 2, {}};
        std::vector<uint32_t> offsets;
        if (split) offsets = kOffsets.at(N / 2);
        else for (uint32_t j = 0; j < N / 2; ++j) offsets.push_back(j);
        for (const uint32_t j : offsets) closing.butterflies.push_back({{j, j + N / 2}, N >= 4 ? "closing" : "twiddle-free", {}});
        stages.push_back(std::move(closing));
    }
    return stages;
}

struct FourPointCase {
    uint32_t entry, N;
};

class FourPointGraph : public testing::TestWithParam<FourPointCase> {};

TEST_P(FourPointGraph, StagesOffsetSetsKindsAndFactors) {
    const auto [entry, N] = GetParam();
    const json graph = graphJson(entry, N);
    const std::vector<StageShape> stages = derived(entry, N);
    ASSERT_EQ(graph["stages"].size(), stages.size());
    for (size_t s = 0; s < stages.size(); ++s) {
        const json& stage = graph["stages"][s];
        EXPECT_EQ(stage["block_size"], stages[s].block) << "stage " << s;
        EXPECT_EQ(stage["apart"], stages[s].apart) << "stage " << s;
        EXPECT_EQ(stage["closing"], s + 1 == stages.size() && stages[s].butterflies.front().samples.size() == 2 && N >= 4);
        std::vector<Expected> seen = butterfliesOf(stage), expected = stages[s].butterflies;
        std::sort(seen.begin(), seen.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(seen, expected) << "stage " << s;
    }
}

INSTANTIATE_TEST_SUITE_P(Entries, FourPointGraph,
                         testing::Values(FourPointCase{6, 8}, FourPointCase{6, 16}, FourPointCase{7, 8},
                                         FourPointCase{7, 16}, FourPointCase{8, 16}, FourPointCase{8, 32},
                                         FourPointCase{9, 8}, FourPointCase{9, 16}),
                         [](const auto& info) { return fmt::format("entry{}_N{}", info.param.entry, info.param.N); });

// Entry 9 at 16 points as a count: 5 twiddle-free, 2 block-1 and 2 general
// butterflies and 5 closing pairs; labels name the built-in factors.
TEST(FourPointGraph, Entry9At16Points) {
    const json graph = graphJson(9, 16);
    std::map<std::string, int> kinds;
    std::set<std::string> labels;
    for (const json& stage : graph["stages"])
        for (const json& b : stage["butterflies"]) {
            ++kinds[b["kind"].get<std::string>()];
            labels.insert(b["label"].get<std::string>());
        }
    EXPECT_EQ(kinds, (std::map<std::string, int>{{"twiddle-free", 5}, {"block-one", 2}, {"general", 2}, {"closing", 5}}));
    EXPECT_TRUE(labels.count("W8 W8³")) << "split radix's block 1: W8 at q, W8³ at 3q";
    EXPECT_TRUE(labels.count("t[4] t[2]")) << "block 2 reads table[4], then table[2]";
}

// ---- entry 4: the depth-first order --------------------------------------------------

using Step = std::tuple<char, int32_t, int32_t>;  // 'C' a 256-point leaf (size, index), 'J' a join

// The leaves and joins of entry 4, read from the recorded stages (the
// samples each stage touches name its block), against the calls and joins
// the recursion reports in the same stream of events.
TEST(RecursiveOrder, RecordedStagesFollowTheRecursion) {
    const uint32_t N = 2048;
    std::vector<Step> fromStages, called;
    uint32_t block = 0, low = UINT32_MAX, high = 0;
    auto close = [&] {
        if (low == UINT32_MAX) return;
        const uint32_t size = block <= 256 ? 256 : block;
        const Step step{block <= 256 ? 'C' : 'J', static_cast<int32_t>(size), static_cast<int32_t>(low / size)};
        EXPECT_EQ(high / size, low / size) << "a stage stays within its block";
        if (std::get<0>(step) == 'J' || fromStages.empty() || fromStages.back() != step) fromStages.push_back(step);
        low = UINT32_MAX;
        high = 0;
    };
    instrumented().record(4, N, FFTPLUG_RECORD_ALL, [&](const FftplugEvent* events, size_t count) {
        for (size_t i = 0; i < count; ++i) {
            const FftplugEvent& e = events[i];
            if (e.what == FFTPLUG_EVENT_STAGE) {
                close();
                block = e.value;
            } else if (e.what == FFTPLUG_EVENT_LOAD || e.what == FFTPLUG_EVENT_STORE) {
                low = std::min(low, e.value);
                high = std::max(high, e.value);
            } else if (e.what == FFTPLUG_EVENT_JOIN || (e.what == FFTPLUG_EVENT_CALL && e.value == 256)) {
                called.emplace_back(e.what == FFTPLUG_EVENT_JOIN ? 'J' : 'C', static_cast<int32_t>(e.value),
                                    static_cast<int32_t>(e.extra));
            }
        }
    });
    close();
    ASSERT_EQ(called.size(), size_t{N / 256 + N / 256 - 1});
    EXPECT_EQ(fromStages, called);
}

// ---- traces: the tally's totals, closed forms of lines --------------------------

class TraceTotals : public testing::TestWithParam<uint32_t> {};

// The loads and stores a trace counts, and its stages that touch work, are
// those of the tally (fftbench profile) for the same entry and N.
TEST_P(TraceTotals, LoadsStoresAndStagesAreProfiles) {
    const uint32_t entry = GetParam();
    for (const uint32_t N : {2u, 16u, 1024u, 1u << 15}) {
        const FftplugCounts counts = instrumented().count(entry, N);
        const AccessTrace trace = recordAccessTrace(instrumented(), instrumented().catalogue().at(entry), N);
        EXPECT_EQ(trace.loads, counts.loads) << "N = " << N;
        EXPECT_EQ(trace.stores, counts.stores) << "N = " << N;
        EXPECT_EQ(trace.stageCount, counts.stages) << "N = " << N;
        uint64_t loads = 0, stores = 0;
        for (const StageTraffic& s : trace.stages) {
            loads += s.loads;
            stores += s.stores;
        }
        EXPECT_EQ(loads, trace.loads);
        EXPECT_EQ(stores, trace.stores);
        EXPECT_EQ(trace.reuse.accesses(), trace.loads + trace.stores);
        EXPECT_EQ(trace.reuse.firstTouches, trace.arrayLines()) << "every line of work touched, first once";
        // A stage start per stage, in order, the first at the first access.
        ASSERT_EQ(trace.stageStarts.size(), trace.stageCount) << "N = " << N;
        EXPECT_EQ(trace.stageStarts.front(), 0u);
        EXPECT_TRUE(std::is_sorted(trace.stageStarts.begin(), trace.stageStarts.end()));
        EXPECT_LT(trace.stageStarts.back(), trace.loads + trace.stores);
        // The map's cells hold every access, and every miss of the first cache, once.
        EXPECT_EQ(std::accumulate(trace.map.touches.begin(), trace.map.touches.end(), uint64_t{0}),
                  trace.loads + trace.stores);
        EXPECT_EQ(std::accumulate(trace.map.misses.begin(), trace.map.misses.end(), uint64_t{0}), trace.misses[0]);
    }
}

// The map draws a cell as missing where a quarter of its accesses miss the
// first cache: nowhere for an array that fits it, nor for the block-outer
// walk whose only misses are a stage's first touches of its lines (one in
// sixteen accesses); the strided walk of entry 0 does where its sweeps
// outgrow the cache.
TEST(TraceMap, MissesDrawnWhereAQuarterMiss) {
    auto drawn = [](uint32_t entry, uint32_t N) {
        const AccessTrace trace = recordAccessTrace(instrumented(), instrumented().catalogue().at(entry), N);
        for (size_t cell = 0; cell < trace.map.cells.size(); ++cell)
            if (trace.map.missing(cell)) return true;
        return false;
    };
    const uint64_t first = recordAccessTrace(instrumented(), instrumented().catalogue().at(0), 2).caches.at(0).bytes;
    if (uint64_t{1 << 10} * kSampleBytes <= first) {
        EXPECT_FALSE(drawn(0, 1 << 10));
    }
    const uint32_t large = 1 << 18;
    if (uint64_t{large} * kSampleBytes >= 16 * first) {
        EXPECT_FALSE(drawn(3, large));
        EXPECT_TRUE(drawn(0, large));
    }
}

// At two points the entries of four-point stages run only their closing
// pass, and the graph names it so; the radix-2 entries run a stage.
class TwoPointGraph : public testing::TestWithParam<uint32_t> {};

TEST_P(TwoPointGraph, ClosingPassNamed) {
    const uint32_t entry = GetParam();
    const json graph = graphJson(entry, 2);
    ASSERT_EQ(graph["stages"].size(), 1u);
    EXPECT_EQ(graph["stages"][0]["closing"].get<bool>(), entry >= 6);
    EXPECT_EQ(graph["stages"][0]["butterflies"][0]["kind"].get<std::string>() == "closing", entry >= 6);
}

INSTANTIATE_TEST_SUITE_P(Entries, TwoPointGraph, testing::Range(0u, 10u),
                         [](const auto& info) { return fmt::format("entry{}", info.param); });

INSTANTIATE_TEST_SUITE_P(Entries, TraceTotals, testing::Range(0u, 10u),
                         [](const auto& info) { return fmt::format("entry{}", info.param); });

// Distinct 64-byte lines (8 samples) per stage. Entry 0, strided: each of
// its log2 N stages touches every sample, N/8 lines. Entry 4, block-outer:
// the stages of each 256-point leaf, spans 2 … 256, touch that leaf's 32
// lines, N/256 stages of each span; the join of span S > 256 touches the S/8
// lines of its block, N/S joins of each span.
TEST(TraceLines, StridedAndBlockOuterEntries) {
    const uint32_t N = 1u << 12;
    const AccessTrace strided = recordAccessTrace(instrumented(), instrumented().catalogue().at(0), N);
    ASSERT_EQ(strided.stages.size(), 12u);
    for (const StageTraffic& s : strided.stages) {
        EXPECT_EQ(s.stages, 1u) << s.description();
        EXPECT_EQ(s.lines, N / 8) << s.description();
    }
    const AccessTrace blocks = recordAccessTrace(instrumented(), instrumented().catalogue().at(4), N);
    ASSERT_EQ(blocks.stages.size(), 12u);
    for (const StageTraffic& s : blocks.stages) {
        const uint32_t span = s.block, region = std::max(span, 256u);
        EXPECT_EQ(s.block, 2 * s.apart);
        EXPECT_EQ(s.stages, N / region) << s.description();
        EXPECT_EQ(s.lines, uint64_t{N / region} * (region / 8)) << s.description();
    }
}

// Reuse distances on streams of known shape: cycling over K lines reuses
// each line after K − 1 others, however long the stream (the times are
// renumbered along the way: 4096 accesses fill the tree at N = 64).
TEST(TraceReuse, CyclesOverLines) {
    for (const uint32_t K : {1u, 2u, 5u, 8u}) {
        AccessTracer tracer(0, 64);
        std::vector<FftplugEvent> events{{FFTPLUG_EVENT_STAGE, 64, 1, }};
        for (uint32_t i = 0; i < 20000; ++i) events.push_back({FFTPLUG_EVENT_LOAD, 8 * (i % K), 0});
        tracer.consume(events.data(), events.size());
        const AccessTrace trace = tracer.finish();
        EXPECT_EQ(trace.reuse.firstTouches, K);
        size_t bin = 0;
        while ((uint64_t{1} << bin) <= K - 1) ++bin;
        ASSERT_GT(trace.reuse.bins.size(), bin);
        EXPECT_EQ(trace.reuse.bins[bin], 20000 - K) << "K = " << K;
        EXPECT_EQ(trace.reuse.accesses(), 20000u);
        EXPECT_EQ(trace.stages.front().lines, K);
    }
}

}  // namespace

// ---- the fewest misses of a cache -------------------------------------------------

namespace {

LineTouches touchesOf(const std::vector<uint32_t>& lines, const std::string& stores = "") {
    LineTouches touches;
    for (size_t i = 0; i < lines.size(); ++i) touches.add(lines[i], i < stores.size() && stores[i] == 's');
    return touches;
}

}  // namespace

// The textbook case of Belady's rule: 20 references to 8 pages in 3 frames
// fault 9 times, the first 3 of them filling the frames (not counted here,
// as the cache starts with the first lines touched). Of the six counted,
// those at touches 5 (line 3), 7 (4) and 13 (1), counting from 0, are
// stores here.
TEST(FewestMisses, BeladysRuleOnTheTextbookSequence) {
    const std::vector<uint32_t> lines = {7, 0, 1, 2, 0, 3, 0, 4, 2, 3, 0, 3, 2, 1, 2, 0, 1, 7, 0, 1};
    const auto misses = fewestMisses(touchesOf(lines, "lllllslsllllls"), {3, 8, 0});
    EXPECT_EQ(misses[0].loads, 3u);
    EXPECT_EQ(misses[0].stores, 3u);
    EXPECT_EQ(misses[1].loads + misses[1].stores, 0u);  // all 8 lines fit
    EXPECT_EQ(misses[2].loads + misses[2].stores, 20u);  // nothing fits
    // Counted where they fall: touches 0-6 and 7-19.
    LineTouches parted = touchesOf(std::vector<uint32_t>(lines.begin(), lines.begin() + 7));
    parted.beginPart();
    for (size_t i = 7; i < lines.size(); ++i) parted.add(lines[i], false);
    const auto byPart = fewestMissesByPart(parted, {3});
    ASSERT_EQ(byPart[0].size(), 2u);
    EXPECT_EQ(byPart[0][0].loads, 2u);
    EXPECT_EQ(byPart[0][1].loads, 4u);
}

// A cyclic sweep over K lines, R times, in C lines: least recently used
// replacement misses every touch, Belady's rule only K − C a sweep (the
// first sweep's C free places included).
TEST(FewestMisses, ASweepLargerThanTheCacheMissesOnlyItsExcess) {
    constexpr uint32_t K = 100, R = 10;
    std::vector<uint32_t> lines;
    for (uint32_t r = 0; r < R; ++r)
        for (uint32_t k = 0; k < K; ++k) lines.push_back(k);
    const auto touches = touchesOf(lines);
    for (uint64_t C : {10u, 50u, 99u}) {
        const auto misses = fewestMisses(touches, {C});
        EXPECT_EQ(misses[0].loads, R * (K - C)) << "C = " << C;
    }
    // A touch of the line touched just before is counted, never a miss.
    const auto repeated = touchesOf({1, 1, 2, 2, 1}, "lslsl");
    EXPECT_EQ(repeated.loads, 3u);
    EXPECT_EQ(repeated.stores, 2u);
    EXPECT_EQ(repeated.touches.size(), 3u);
}

// ---- cache levels from reuse distances ------------------------------------------

// The fewest misses of each level in a real recording at N = 2^14 (three
// arrays of 2048 lines, 128 KiB each), against caches of 4 KiB, 64 KiB and
// 1 MiB (64, 1088 and 17472 lines held by the level and those before it),
// in lines of one array (W). Everything fits the 1 MiB level, so nothing
// comes from memory. At most: what least recently used replacement misses.
// Entry 2 sweeps the whole array in each of its 14 stages, so each stage
// brings at least the 2048 lines of work less those held: 14 · 1984 / 2048
// beyond 4 KiB, 14 · 960 / 2048 beyond 64 KiB; recency misses all 14 W at
// both. Entry 4 goes depth first: only the stages of blocks of 512 points
// (4 KiB) and more (six) sweep more lines than 4 KiB holds (at least
// 6 · 1984 / 2048), and only the stage of 2^14 points more than 64 KiB holds
// (at least 960 / 2048); recency misses at most 9 W and 5 W.
struct LevelCase {
    uint32_t entry;
    double l1Least, l1Most, l2Least, l2Most;  // load misses of 4 KiB and 64 KiB, in W
};
void PrintTo(const LevelCase& c, std::ostream* os) { *os << "entry " << c.entry; }
class CacheLevels : public testing::TestWithParam<LevelCase> {};

TEST_P(CacheLevels, EachLevelMissesWhatItCannotHold) {
    const LevelCase& c = GetParam();
    constexpr uint32_t N = 1u << 14;
    constexpr double W = N / 8.0;
    const std::vector<CacheLevel> caches = {{"L1d", 4 << 10, "test"}, {"L2", 64 << 10, "test"}, {"L3", 1 << 20, "test"}};
    const CacheTraffic t = measureCacheTraffic(instrumented(), c.entry, N, caches);
    // Every access of the call seen: the kernel's as counted, and the copy.
    const FftplugCounts counts = instrumented().count(c.entry, N);
    EXPECT_EQ(t.loads, counts.loads + counts.tableReads + N);
    EXPECT_EQ(t.stores, counts.stores + N);
    ASSERT_EQ(t.loadMisses.size(), 3u);
    EXPECT_EQ(t.loadMisses[2], 0u);
    EXPECT_EQ(t.storeMisses[2], 0u);
    EXPECT_GE(t.loadMisses[0] / W, c.l1Least);
    EXPECT_LE(t.loadMisses[0] / W, c.l1Most);
    EXPECT_GE(t.loadMisses[1] / W, c.l2Least);
    EXPECT_LE(t.loadMisses[1] / W, c.l2Most);
    // A store follows its sample's load: only the copy's stores can miss.
    EXPECT_LE(t.storeMisses[1], N / 8);
}

INSTANTIATE_TEST_SUITE_P(Entries, CacheLevels,
                         testing::Values(LevelCase{2, 14 * 1984 / 2048.0, 1e9, 14 * 960 / 2048.0, 1e9},
                                         LevelCase{4, 6 * 1984 / 2048.0, 9, 960 / 2048.0, 5}),
                         [](const auto& info) { return "entry" + std::to_string(info.param.entry); });

// ---- what a graph's picture shows ---------------------------------------------------

namespace {

FlowGraph graphOf(uint32_t entry, uint32_t N) {
    return recordFlowGraph(instrumented(), instrumented().catalogue().at(entry), N);
}

size_t occurrences(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
    return n;
}

struct GraphCase {
    uint32_t entry, N;
};
void PrintTo(const GraphCase& c, std::ostream* os) { *os << "entry " << c.entry << " at " << c.N << " points"; }
std::string graphCaseName(const testing::TestParamInfo<GraphCase>& info) {
    return fmt::format("entry{}_N{}", info.param.entry, info.param.N);
}

// Each factor on the line it multiplies, as the formulations have it: a pair
// multiplies its second sample, as loaded in decimation in time (entries 0
// and 1), as stored otherwise; radix 4 (entries 6, 7) multiplies quarters 1,
// 2 and 3 of block k by t[2k], t[k] and t[k]·t[2k] (W8, −i, W8³ in the
// special block 1); split radix (8, 9) only quarters 1 and 3, by t[2k] and
// t[2k]·t[k] (W8, W8³), and passes both sums on. Twiddle-free butterflies and
// closing pairs multiply nothing. The picture draws each factor once.
class FactorsOnLines : public testing::TestWithParam<GraphCase> {};

TEST_P(FactorsOnLines, AsTheFormulationMultiplies) {
    const auto [entry, N] = GetParam();
    const FlowGraph graph = graphOf(entry, N);
    auto t = [](uint32_t k) { return fmt::format("t[{}]", k); };
    size_t total = 0;
    std::map<size_t, size_t> perFourPoint;  // factors per four-point butterfly with any → how many butterflies
    for (size_t s = 0; s < graph.stages.size(); ++s) {
        const Stage& stage = graph.stages[s];
        for (size_t i = 0; i < stage.butterflies.size(); ++i) {
            const Butterfly& b = stage.butterflies[i];
            const std::vector<uint32_t> rows = sorted(b.reads);
            const uint32_t k = rows[0] / stage.block;
            std::map<uint32_t, std::string> expected;
            if (b.kind == ButterflyKind::twiddleFree || b.kind == ButterflyKind::closing) {
            } else if (rows.size() == 2) {
                expected[rows[1]] = b.kind == ButterflyKind::general && entry >= 3 ? t(k) : b.label;
            } else if (entry == 6 || entry == 7) {
                expected = b.kind == ButterflyKind::blockOne
                               ? std::map<uint32_t, std::string>{{rows[1], "W8"}, {rows[2], "−i"}, {rows[3], "W8³"}}
                               : std::map<uint32_t, std::string>{
                                     {rows[1], t(2 * k)}, {rows[2], t(k)}, {rows[3], t(k) + "·" + t(2 * k)}};
            } else {
                expected = b.kind == ButterflyKind::blockOne
                               ? std::map<uint32_t, std::string>{{rows[1], "W8"}, {rows[3], "W8³"}}
                               : std::map<uint32_t, std::string>{{rows[1], t(2 * k)}, {rows[3], t(2 * k) + "·" + t(k)}};
            }
            std::map<uint32_t, std::string> seen;
            for (const FactorMark& m : factorMarks(b)) {
                seen[m.position] = m.factor;
                EXPECT_EQ(m.onInput, entry <= 1) << "stage " << s + 1 << ", butterfly " << i + 1;
            }
            EXPECT_EQ(seen, expected) << "stage " << s + 1 << ", butterfly " << i + 1;
            total += seen.size();
            if (rows.size() == 4 && !seen.empty()) ++perFourPoint[seen.size()];
        }
    }
    if (entry >= 6 && N >= 16) {
        ASSERT_EQ(perFourPoint.size(), 1u) << "one count of factors per four-point butterfly";
        EXPECT_EQ(perFourPoint.begin()->first, entry <= 7 ? 3u : 2u);
    }
    EXPECT_EQ(occurrences(flowGraphSvg(graph), "class=\"mark\""), total);
}

INSTANTIATE_TEST_SUITE_P(Entries, FactorsOnLines,
                         testing::Values(GraphCase{0, 16}, GraphCase{1, 8}, GraphCase{2, 16}, GraphCase{3, 16},
                                         GraphCase{4, 16}, GraphCase{5, 16}, GraphCase{6, 16}, GraphCase{6, 32},
                                         GraphCase{7, 32}, GraphCase{8, 16}, GraphCase{8, 32}, GraphCase{9, 32}),
                         graphCaseName);

// The rows a stage neither loads nor stores are drawn as pass-through, and
// only those (split radix: the rows outside its offset set); the rows where a
// four-point butterfly starts are tinted, one each.
class PassThroughRows : public testing::TestWithParam<GraphCase> {};

TEST_P(PassThroughRows, ExactlyTheRowsAStageSkips) {
    const auto [entry, N] = GetParam();
    const std::string svg = flowGraphSvg(graphOf(entry, N));
    const std::vector<StageShape> stages = derived(entry, N);
    size_t skipped = 0, starts = 0;
    for (size_t s = 0; s < stages.size(); ++s) {
        std::set<uint32_t> touched;
        for (const Expected& b : stages[s].butterflies) {
            touched.insert(b.samples.begin(), b.samples.end());
            if (b.samples.size() == 4) ++starts;
        }
        for (uint32_t r = 0; r < N; ++r) {
            const bool drawn = svg.find(fmt::format("stage {}: position {} passed on untouched", s + 1, r)) !=
                               std::string::npos;
            EXPECT_EQ(drawn, touched.count(r) == 0) << "stage " << s + 1 << ", position " << r;
            skipped += touched.count(r) == 0;
        }
    }
    EXPECT_EQ(occurrences(svg, "class=\"pass\""), skipped);
    EXPECT_EQ(skipped > 0, entry >= 8);
    EXPECT_EQ(occurrences(svg, "class=\"offset\""), starts);
}

INSTANTIATE_TEST_SUITE_P(Entries, PassThroughRows,
                         testing::Values(GraphCase{6, 32}, GraphCase{7, 16}, GraphCase{8, 16}, GraphCase{8, 32},
                                         GraphCase{9, 32}),
                         graphCaseName);

// A box in the picture's coordinates.
struct Box {
    double left, top, right, bottom;
    bool overlaps(const Box& o) const {
        constexpr double e = 0.25;
        return left < o.right - e && o.left < right - e && top < o.bottom - e && o.top < bottom - e;
    }
};

double attribute(const std::string& attrs, const std::string& name, double fallback) {
    std::smatch m;
    if (std::regex_search(attrs, m, std::regex(" " + name + "=\"([-0-9.]+)\""))) return std::stod(m[1]);
    return fallback;
}

// No factor, block label or order number of a graph sits on a bar or a dot,
// or on another of them, at every size draw takes up to 64 points. A text's
// box: the width of its characters at 0.6 em (wider than the digits and
// letters of DejaVu Sans on average), from 0.8 em above its baseline to 0.25
// em below.
class GraphLabels : public testing::TestWithParam<GraphCase> {};

TEST_P(GraphLabels, ClearOfBarsAndOfEachOther) {
    const auto [entry, N] = GetParam();
    const std::string svg = flowGraphSvg(graphOf(entry, N));
    std::vector<Box> shapes, texts;
    std::vector<std::string> what;
    const std::regex line("<line x1=\"([-0-9.]+)\" y1=\"([-0-9.]+)\" x2=\"([-0-9.]+)\" y2=\"([-0-9.]+)\" class=\"bar\"");
    for (std::sregex_iterator i(svg.begin(), svg.end(), line), end; i != end; ++i) {
        const double x1 = std::stod((*i)[1]), y1 = std::stod((*i)[2]), x2 = std::stod((*i)[3]), y2 = std::stod((*i)[4]);
        shapes.push_back({std::min(x1, x2) - 1.2, std::min(y1, y2), std::max(x1, x2) + 1.2, std::max(y1, y2)});
    }
    const std::regex dot("<circle cx=\"([-0-9.]+)\" cy=\"([-0-9.]+)\" r=\"([-0-9.]+)\" class=\"dot\"");
    for (std::sregex_iterator i(svg.begin(), svg.end(), dot), end; i != end; ++i) {
        const double x = std::stod((*i)[1]), y = std::stod((*i)[2]), r = std::stod((*i)[3]);
        shapes.push_back({x - r, y - r, x + r, y + r});
    }
    ASSERT_GT(shapes.size(), N);
    // The texts of the graph itself carry their size: labels, factors, order numbers.
    const std::regex text("<text x=\"([-0-9.]+)\" y=\"([-0-9.]+)\"([^>]*)>([^<]*)</text>");
    for (std::sregex_iterator i(svg.begin(), svg.end(), text), end; i != end; ++i) {
        const std::string attrs = (*i)[3], content = (*i)[4];
        const double size = attribute(attrs, "font-size", 0);
        if (size == 0) continue;
        size_t characters = 0;
        for (const unsigned char c : content) characters += (c & 0xC0) != 0x80;
        const double width = 0.6 * size * static_cast<double>(characters);
        double x = std::stod((*i)[1]);
        const double y = std::stod((*i)[2]);
        if (attrs.find("text-anchor=\"middle\"") != std::string::npos) x -= width / 2;
        if (attrs.find("text-anchor=\"end\"") != std::string::npos) x -= width;
        texts.push_back({x, y - 0.8 * size, x + width, y + 0.25 * size});
        what.push_back(content);
    }
    ASSERT_GT(texts.size(), N / 2);
    for (size_t a = 0; a < texts.size(); ++a) {
        for (const Box& s : shapes)
            EXPECT_FALSE(texts[a].overlaps(s)) << "'" << what[a] << "' at " << texts[a].left << ", " << texts[a].top
                                               << " on a bar or dot at " << s.left << ", " << s.top;
        for (size_t b = a + 1; b < texts.size(); ++b)
            EXPECT_FALSE(texts[a].overlaps(texts[b])) << "'" << what[a] << "' on '" << what[b] << "'";
    }
}

INSTANTIATE_TEST_SUITE_P(Entries, GraphLabels,
                         testing::Values(GraphCase{0, 64}, GraphCase{2, 64}, GraphCase{3, 64}, GraphCase{4, 64},
                                         GraphCase{5, 64}, GraphCase{6, 64}, GraphCase{7, 64}, GraphCase{8, 64},
                                         GraphCase{9, 64}, GraphCase{6, 16}, GraphCase{8, 32}, GraphCase{5, 2}),
                         graphCaseName);

// Entry 4's recursion, beside its graph: recorded at a size with two levels
// of joins, its leaves the largest blocks the worker transforms without
// dividing (a run at the leaf size opens one block and joins none; at twice
// it, three blocks and one join), named in the sketch. The other entries
// divide nothing and have none.
TEST(RecursionSketch, NamesTheLeafSizeOfEntry4) {
    const FlowGraph graph = graphOf(4, 16);
    ASSERT_TRUE(graph.recursion.has_value());
    const uint32_t leaf = graph.recursion->leafSize();
    ASSERT_GE(leaf, 16u);
    auto run = [](uint32_t N) {
        size_t calls = 0, joins = 0;
        instrumented().record(4, N, (1u << FFTPLUG_EVENT_CALL) | (1u << FFTPLUG_EVENT_JOIN),
                              [&](const FftplugEvent* e, size_t count) {
                                  for (size_t i = 0; i < count; ++i) (e[i].what == FFTPLUG_EVENT_JOIN ? joins : calls)++;
                              });
        return std::pair{calls, joins};
    };
    EXPECT_EQ(run(leaf), std::pair(size_t{1}, size_t{0}));
    EXPECT_EQ(run(2 * leaf), std::pair(size_t{3}, size_t{1}));
    EXPECT_EQ(graph.recursion->N, 4 * leaf);
    EXPECT_EQ(graph.recursion->joins(), 3u);
    const std::string svg = flowGraphSvg(graph);
    EXPECT_NE(svg.find(fmt::format("leaves of {} points", leaf)), std::string::npos);
    EXPECT_NE(svg.find("at N = 16 the whole transform is one leaf"), std::string::npos);
    EXPECT_EQ(occurrences(svg, "class=\"rec-box leaf\""), 4u);
    for (const uint32_t entry : {3u, 5u, 8u}) EXPECT_FALSE(graphOf(entry, 16).recursion.has_value()) << entry;
}

}  // namespace
