// fftbench stages: the plan that splits a transform into the stages timed,
// the run on the real stage builds (correct bits, one row per stage of the
// entry's structure), the outputs' shape, and bench's arrays off a line.
// Nothing here judges speed: the figures are checked for shape only.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cmath>
#include <functional>

#include "cli/arguments.h"
#include "host/bit_reversal.h"
#include "host/plugin_library.h"
#include "measure/bench_run.h"
#include "measure/stage_run.h"
#include "measure/summary.h"
#include "model/stage_plan.h"
#include "render/bench_output.h"
#include "render/stage_output.h"
#include "render/stage_report.h"
#include "subject/instrumented_build.h"
#include "subject/identity.h"
#include "subject/stage_build.h"

using namespace fftbench;
using fftplug::host::PluginLibrary;

namespace {

const auto never = [] { return false; };

// The marks of entry 4's depth-first recursion at N, written out by hand:
// blocks of 256 or fewer points run their stages of span 1, 2, …; a larger
// block both halves, then its join.
std::vector<FftplugStageMark> depthFirstMarks(uint32_t N) {
    std::vector<FftplugStageMark> marks;
    std::function<void(uint32_t)> block = [&](uint32_t size) {
        if (size > 256) {
            block(size / 2);
            block(size / 2);
            marks.push_back({size, size / 2});
            return;
        }
        for (uint32_t h = 1; h < size; h *= 2) marks.push_back({2 * h, h});
    };
    block(N);
    return marks;
}

// The stages each entry's structure has at N: log2 N radix-2 stages; radix 4
// floor(log2 N / 2) stages and a closing pass where log2 N is odd; split
// radix a stage per block size from 4 and a closing pass; entry 4 above 256
// points its leaf blocks and a join per level.
size_t expectedStages(uint32_t entry, uint32_t N) {
    const unsigned L = fftplug::host::log2Exact(N);
    switch (entry) {
        case 4: return N <= 256 ? L : 1 + (L - 8);
        case 6:
        case 7: return L / 2 + L % 2;
        case 8:
        case 9: return L < 2 ? 1 : L;
        default: return L;
    }
}

}  // namespace

TEST(StagePlan, EntryFourByItsLeafBlocksAndItsJoinsPerLevel) {
    const StagePlan plan = planStages(depthFirstMarks(1024));
    ASSERT_EQ(plan.marks, 4u * 8 + 3);
    ASSERT_EQ(plan.rows.size(), 4u);  // copy, leaf blocks, joins of 512, the join of 1024
    EXPECT_EQ(plan.rows[1].kind, StageRow::Kind::leaves);
    EXPECT_EQ(plan.rows[1].occurrences, 4u);
    EXPECT_EQ(plan.rows[1].firstMark, 1u);
    EXPECT_EQ(plan.rows[1].lastMark, 8u);
    EXPECT_EQ(plan.rows[2].kind, StageRow::Kind::join);
    EXPECT_EQ(plan.rows[2].block, 512u);
    EXPECT_EQ(plan.rows[2].occurrences, 2u);
    EXPECT_EQ(plan.rows[2].firstMark, 17u);
    EXPECT_EQ(plan.rows[3].block, 1024u);
    EXPECT_EQ(plan.rows[3].firstMark, 35u);
    // Every mark counts to a row: the leaves' stages to the leaves, joins to their level.
    for (uint32_t m = 0; m < plan.marks; ++m) {
        const auto mark = depthFirstMarks(1024)[m];
        EXPECT_EQ(plan.rowOfMark[m], mark.block <= 256 ? 1 : mark.block == 512 ? 2 : 3) << "mark " << m + 1;
    }
    // The leaves and joins in place, u(s) = s: a leaf 8 marks (x4), a join
    // 1 (x2, x1); the copy what the whole call takes beyond the whole in
    // place, t(35) - u(35) = 1, not the copy alone, t(0) = 0.5.
    std::map<uint32_t, double> at{{0, 0.5}, {35, 36}}, inPlace;
    for (const uint32_t s : plan.inPlaceStops()) inPlace[s] = s;
    EXPECT_EQ(plan.stops(), (std::vector<uint32_t>{0, 35}));
    EXPECT_EQ(plan.inPlaceStops(), (std::vector<uint32_t>{0, 8, 16, 17, 34, 35}));
    EXPECT_EQ(plan.rowSeconds(at, inPlace), (std::vector<double>{1, 32, 2, 1}));
}

TEST(StagePlan, AnEmptyClosingPassFoldsIntoTheStageBefore) {
    const std::vector<FftplugStageMark> marks{{4, 1}, {16, 4}, {16, 8}};
    const StagePlan folded = planStages(marks, {false, false, true});
    ASSERT_EQ(folded.stageCount(), 2u);
    EXPECT_EQ(folded.rows[2].lastMark, 3u);
    EXPECT_EQ(folded.rowOfMark[2], 2);
    const StagePlan odd = planStages({{4, 1}, {16, 4}, {32, 16}}, {false, false, false});
    ASSERT_EQ(odd.stageCount(), 3u);
    EXPECT_EQ(odd.rows[3].kind, StageRow::Kind::closing);
    // A radix-2 stage of pairs N/2 apart after one of pairs N/4 apart is no closing pass.
    EXPECT_EQ(planStages({{2, 1}, {4, 2}}).rows[2].kind, StageRow::Kind::stage);
}

TEST(StageBuild, EveryEntrysRowsAreTheStagesOfItsStructure) {
    const StageLibrary stages = StageLibrary::open(defaultStageLibraryPath("dispatch"));
    const InstrumentedLibrary counting = InstrumentedLibrary::open(defaultInstrumentedLibraryPath());
    for (uint32_t entry = 0; entry < 10; ++entry)
        for (const uint32_t N : {2u, 8u, 16u, 128u, 256u, 512u, 2048u, 1u << 14}) {
            std::vector<FftplugStageMark> marks;
            std::vector<bool> empty;
            for (const InstrumentedLibrary::StageCounts& c : counting.countStages(entry, N)) {
                marks.push_back(c.mark);
                empty.push_back(c.loads + c.stores == 0);
            }
            ASSERT_EQ(stages.markCount(entry, N), marks.size()) << "entry " << entry << " N = " << N;
            const StagePlan plan = planStages(marks, empty);
            EXPECT_EQ(plan.stageCount(), expectedStages(entry, N)) << "entry " << entry << " N = " << N;
            for (uint32_t m = 0; m < plan.marks; ++m) EXPECT_GE(plan.rowOfMark[m], 1) << "entry " << entry;
        }
}

TEST(RunStages, EveryStageTimedAndTheLastStageTheShippedBits) {
    const StageLibrary stages = StageLibrary::open(defaultStageLibraryPath("dispatch"));
    const PluginLibrary shipped = PluginLibrary::open(defaultShippedLibraryPath("dispatch"));
    const InstrumentedLibrary counting = InstrumentedLibrary::open(defaultInstrumentedLibraryPath());
    const StagePath path{"dispatch", pluginLabels({shipped.path()}).front(), &stages, &shipped};
    StageSettings settings;
    settings.minSeconds = 0.0002;
    settings.measurements = 2;
    settings.lineOffsets = {16, 0};
    const StageRun run = runStages({path}, {3, 4, 6}, {512, 1024}, settings, {}, never, counting);
    ASSERT_EQ(run.timings.size(), 12u);  // 3 entries, 2 sizes, 2 placements
    for (const StageTiming& t : run.timings) {
        EXPECT_TRUE(t.sameBits) << "entry " << t.entry << " N = " << t.N;
        EXPECT_EQ(t.plan.stageCount(), expectedStages(t.entry, t.N));
        ASSERT_EQ(t.seconds.size(), t.plan.rows.size());
        EXPECT_GT(t.wholeSeconds, 0);
        EXPECT_GT(t.allStagesSeconds, 0);
    }

    // The outputs: CSV one row per stage under the documented header, JSON a
    // timing per entry and size with its stages.
    const std::string csv = stagesCsv(run);
    std::string header;
    for (size_t i = 0; i < kStageColumns.size(); ++i) header += (i ? "," : "") + kStageColumns[i];
    EXPECT_EQ(csv.substr(0, csv.find("\r\n")), header);
    size_t rows = 0;
    for (const StageTiming& t : run.timings) rows += t.plan.rows.size();
    size_t lines = 0;
    for (size_t at = csv.find("\r\n"); at != std::string::npos; at = csv.find("\r\n", at + 2)) ++lines;
    EXPECT_EQ(lines, rows + 1);
    const auto json = nlohmann::json::parse(stagesJson(run, "test"));
    EXPECT_EQ(json["command"], "stages");
    EXPECT_EQ(json["settings"]["line_offsets_bytes"], (std::vector<uint32_t>{16, 0}));
    EXPECT_EQ(json["timings"][0]["line_offset_bytes"], 16);
    ASSERT_EQ(json["timings"].size(), run.timings.size());
    const auto& first = json["timings"][0];
    EXPECT_EQ(first["stages"].size(), run.timings[0].plan.rows.size());
    EXPECT_EQ(first["stages"][0]["kind"], "copy");
    for (const char* key : {"whole_time_per_transform_us", "stage_sum_time_per_transform_us", "sum_deviation_percent",
                            "same_bits", "whole_spread_percent"})
        EXPECT_TRUE(first.contains(key)) << key;
    const std::string text = stagesTableText(run);
    EXPECT_NE(text.find("stages' sum / whole transform - 1, in % (dispatch)"), std::string::npos);
    EXPECT_NE(text.find("+16 bytes off a 64-byte line"), std::string::npos);
    EXPECT_NE(text.find("entry 6 at N = 2^10 (dispatch), arrays aligned to a 64-byte line / +16 bytes off a 64-byte line: whole "),
              std::string::npos);
    // The plot: a bar per entry, the copy in the access maps' grey.
    const std::string script = stagesGnuplotScript(run, 1024, "x.svg", PlotFormat::svg);
    EXPECT_NE(script.find("set xtics ('3' 0, '4' 1, '6' 2)"), std::string::npos);
    EXPECT_NE(script.find("0xb0b6bf"), std::string::npos);
    const std::string svg = stagesSvg(run, 1024);
    EXPECT_NE(svg.find("entry 6"), std::string::npos);
    EXPECT_EQ(stagePlotPath("out/stages.svg", 1024), "out/stages-n1024.svg");
    // The report's section of an entry: its bar and table at each size, no
    // limit columns without rates, nothing without a run.
    const std::string section = entryStagesHtml(&run, 4);
    EXPECT_NE(section.find("id=\"fig-stages-4-512\""), std::string::npos);
    EXPECT_NE(section.find("id=\"fig-stages-4-1024\""), std::string::npos);
    EXPECT_NE(section.find("leaf blocks"), std::string::npos);
    EXPECT_EQ(section.find("limit %"), std::string::npos);
    EXPECT_TRUE(entryStagesHtml(nullptr, 4).empty());
    EXPECT_TRUE(entryStagesHtml(&run, 5).empty());
    // A stage below zero is explained where it shows, and only there.
    StageRun signs = run;
    for (StageTiming& t : signs.timings)
        for (double& s : t.seconds) s = std::abs(s);
    const std::string below = "A stage below zero";
    EXPECT_EQ(entryStagesHtml(&signs, 4).find(below), std::string::npos);
    for (StageTiming& t : signs.timings)
        if (t.entry == 4) t.seconds.back() = -t.seconds.back();
    EXPECT_NE(entryStagesHtml(&signs, 4).find(below), std::string::npos);
}

TEST(Alignments, ParsedAsOffsetsPastALine) {
    EXPECT_EQ(parseAlignments("64"), (std::vector<uint32_t>{0}));
    EXPECT_EQ(parseAlignments("64,16,8,16"), (std::vector<uint32_t>{0, 16, 8}));
    for (const char* bad : {"12", "128", "", "64,", "x", "2"}) EXPECT_THROW(parseAlignments(bad), UsageError) << bad;
}

TEST(RunBench, ArraysOffALineTimedBesideTheAlignedOnes) {
    const PluginLibrary plugin = PluginLibrary::open(fftplug::host::defaultPluginPath());
    const auto catalogue = plugin.catalogue();
    BenchSettings settings;
    settings.minSeconds = 0.0005;
    settings.measurements = 2;
    settings.lineOffsets = {0, 8};
    const BenchRun run = runBench({describePlugin(plugin, "p")},
                                  pluginContenders(plugin, {catalogue[3], catalogue[7]}, "p", false, {0, 8}), {64, 256},
                                  settings, {}, never);
    ASSERT_EQ(run.results.size(), 8u);
    for (const BenchResult& r : run.results) {
        EXPECT_EQ(r.implementation.find("+8") != std::string::npos, r.lineOffset == 8) << r.implementation;
        EXPECT_LT(r.error, 1e-6) << r.implementation;  // the transform, wherever the arrays start
    }
    const auto figures = alignmentRatios(run);
    ASSERT_EQ(figures.size(), 1u);
    EXPECT_EQ(figures[0].lineOffset, 8u);
    EXPECT_EQ(figures[0].cells.size(), 4u);
    EXPECT_EQ(figures[0].geometricMean.size(), 2u);
    const std::string text = benchTableText(run);
    EXPECT_NE(text.find("mflops with the arrays +8 bytes off a line / aligned"), std::string::npos);
    EXPECT_NE(text.find("speed with the arrays where a host's malloc puts them / aligned"), std::string::npos);
    EXPECT_NE(benchCsv(run).find(",line_offset_bytes\r\n"), std::string::npos);
    const auto json = nlohmann::json::parse(benchJson(run, "test"));
    EXPECT_EQ(json["settings"]["line_offsets_bytes"], (std::vector<uint32_t>{0, 8}));
    EXPECT_EQ(json["summary"]["speed_off_a_line_over_aligned"].size(), 1u);
}
