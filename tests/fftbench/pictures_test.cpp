// The pieces of the pictures and the report that the command-line tests do
// not reach one by one: the SVG writer's escaping and ids made unique
// inline, the paragraphs on the entries, and a page whose plots are missing.
#include <gtest/gtest.h>

#include <regex>

#include "render/flowgraph_output.h"
#include "render/report_page.h"
#include "render/report_summary.h"
#include "render/svg.h"
#include "render/trace_output.h"

using namespace fftbench;

namespace {

TEST(Svg, EscapesTextAndAttributes) {
    SvgWriter svg(10, 10, "fg", ".fg text { }");
    svg.attr("class", "a\"b").text(1, 2, "x < y & \"z\"");
    const std::string document = svg.finish();
    EXPECT_NE(document.find("class=\"a&quot;b\""), std::string::npos);
    EXPECT_NE(document.find(">x &lt; y &amp; &quot;z&quot;</text>"), std::string::npos);
    EXPECT_NE(document.find("<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"fg\""), std::string::npos);
    EXPECT_EQ(document.substr(document.size() - 7), "</svg>\n");
}

// Two gnuplot plots inline share their ids (gpclip_1 …) unless prefixed: a
// clip path of the second would then cut the first's.
TEST(Svg, InlineDocumentsGetIdsOfTheirOwn) {
    const std::string plot = "<?xml version=\"1.0\"?>\n<svg><defs><clipPath id='gpclip_1'/></defs>"
                             "<g clip-path=\"url(#gpclip_1)\"><use xlink:href='#gpclip_1'/><rect grid='x'/></g></svg>";
    const std::string inline_ = inlineSvg(plot, "fig-a-");
    EXPECT_EQ(inline_.rfind("<svg>", 0), 0u) << "no XML declaration inline";
    EXPECT_NE(inline_.find("id='fig-a-gpclip_1'"), std::string::npos);
    EXPECT_NE(inline_.find("url(#fig-a-gpclip_1)"), std::string::npos);
    EXPECT_NE(inline_.find("xlink:href='#fig-a-gpclip_1'"), std::string::npos);
    EXPECT_NE(inline_.find("grid='x'"), std::string::npos) << "only whole id attributes";
    EXPECT_EQ(inlineSvg(plot), plot.substr(plot.find("<svg")));
}

TEST(Report, EveryEntryHasItsParagraphs) {
    const auto paragraphs = entryParagraphs();
    for (uint32_t k = 0; k < 10; ++k) {
        ASSERT_TRUE(paragraphs.count(k)) << "entry " << k;
        for (const std::string& p : paragraphs.at(k)) EXPECT_GT(p.size(), 80u) << "entry " << k;
    }
    EXPECT_EQ(paragraphs.at(0).size(), 2u);
    EXPECT_NE(paragraphs.at(8).front().find("L-shaped"), std::string::npos);
}

// A page without bench or pictures still has its sections, says what is
// missing, and fills every field of its frame; a plot gnuplot drew stands
// inline with ids of its own.
TEST(Report, PageWithoutRunsSaysWhatIsMissing) {
    ReportPage page;
    page.pluginPath = "libfftplug.so";
    page.machine = "a <test> machine";
    page.generated = "now";
    const ProfileRun profile;
    page.profile = &profile;
    page.profilePlot.svg = "<?xml version=\"1.0\"?>\n<svg class=\"ac\"><rect id=\"r\"/></svg>";
    ReportEntry e;
    e.entry.index = 3;
    e.missing = "no instrumented build";
    e.graphSize = 16;
    e.traceSize = 1 << 18;
    page.entries.push_back(e);
    const std::string html = reportHtml(page);
    EXPECT_EQ(html.find("{{"), std::string::npos) << "a field left unfilled";
    for (const char* id : {"summary", "provenance", "bench", "comparisons", "walk", "details", "entries", "entry-3"})
        EXPECT_TRUE(std::regex_search(html, std::regex(std::string("<section[^>]* id=\"") + id + "\""))) << id;
    EXPECT_NE(html.find("bench did not run"), std::string::npos);
    for (const char* figure : {"fig-graph-3", "fig-trace-3"})
        EXPECT_NE(html.find(std::string("<figure id=\"") + figure + "\">\n<p class=\"missing\">No picture: no instrumented build"),
                  std::string::npos)
            << figure;
    EXPECT_NE(html.find("<figure id=\"fig-profile\">\n<svg class=\"ac\"><rect id=\"fig-profile-r\"/>"), std::string::npos);
    EXPECT_NE(html.find("a &lt;test&gt; machine"), std::string::npos);
    EXPECT_NE(html.find("Entry 3"), std::string::npos);
}

// The page draws an entry's graph and accesses from what was recorded: the
// same pictures draw and trace write, with the trace's figures in words.
TEST(Report, EntryPicturesDrawnFromTheRecording) {
    // One two-point butterfly of entry 0 at N = 2: loads of 0 and 1, stores of both.
    const std::vector<FftplugEvent> events = {{FFTPLUG_EVENT_STAGE, 2, 1}, {FFTPLUG_EVENT_LOAD, 0, 0},
                                              {FFTPLUG_EVENT_LOAD, 1, 0},  {FFTPLUG_EVENT_STORE, 0, 0},
                                              {FFTPLUG_EVENT_STORE, 1, 0}};
    ReportEntry e;
    e.entry.index = 0;
    e.graphSize = 2;
    e.graph = buildFlowGraph(0, 2, false, events);
    e.traceSize = 2;
    AccessTracer tracer(0, 2);
    tracer.consume(events.data(), events.size());
    e.trace = tracer.finish();
    ReportPage page;
    page.entries.push_back(e);
    const std::string html = reportHtml(page);
    EXPECT_NE(html.find("<figure id=\"fig-graph-0\">\n" + inlineSvg(flowGraphSvg(*e.graph), "fig-graph-0-")),
              std::string::npos);
    EXPECT_NE(html.find("<figure id=\"fig-trace-0\">\n" + inlineSvg(accessTraceSvg(*e.trace), "fig-trace-0-")),
              std::string::npos);
    EXPECT_NE(html.find(traceSummary(*e.trace)), std::string::npos) << traceSummary(*e.trace);
    EXPECT_NE(traceSummary(*e.trace).find("4 loads and stores in 1 stages"), std::string::npos);
}

// A report of entries whose pairs are incomplete (3 without 5, 7 without 6)
// draws each graph in the entry's own section, and every link to a graph
// has its figure; entries 3 and 5 together are drawn as their pair.
TEST(Report, EveryGraphLinkHasItsFigure) {
    const std::vector<FftplugEvent> events = {{FFTPLUG_EVENT_STAGE, 2, 1}, {FFTPLUG_EVENT_LOAD, 0, 0},
                                              {FFTPLUG_EVENT_LOAD, 1, 0},  {FFTPLUG_EVENT_STORE, 0, 0},
                                              {FFTPLUG_EVENT_STORE, 1, 0}};
    const auto page = [&](std::vector<uint32_t> indices) {
        ReportPage p;
        for (const uint32_t index : indices) {
            ReportEntry e;
            e.entry.index = index;
            e.graphSize = 2;
            e.graph = buildFlowGraph(index, 2, false, events);
            e.traceSize = 2;
            p.entries.push_back(e);
        }
        return reportHtml(p);
    };
    const std::string apart = page({3, 7});
    for (const char* id : {"fig-graph-3", "fig-graph-7"}) {
        EXPECT_NE(apart.find(std::string("<figure id=\"") + id + "\">"), std::string::npos) << id;
        EXPECT_EQ(apart.find(std::string("href=\"#") + id), std::string::npos) << id;
    }
    EXPECT_NE(apart.find("No pair has both its entries in this report"), std::string::npos);
    const std::string together = page({3, 5});
    EXPECT_NE(together.find("id=\"fig-pair-3-5\""), std::string::npos);
    EXPECT_NE(together.find("href=\"#fig-graph-3\""), std::string::npos);
    EXPECT_NE(together.find(" id=\"fig-graph-3\""), std::string::npos);
    EXPECT_EQ(together.find("No pair has both"), std::string::npos);
}

// The summary's figures come from the runs: speeds by entry and size, the
// ratio to the reference peer at the mid size, counts at the largest size.
TEST(ReportSummary, FiguresGatheredFromTheRuns) {
    BenchRun bench;
    bench.plugins = {PluginInfo{"libfftplug.so", "libfftplug", 0, ""}};
    bench.sizes = {16, 64, 256};
    bench.settings.reference = "fftwf";
    auto result = [](std::optional<uint32_t> entry, const std::string& implementation, uint32_t N, double mflops) {
        BenchResult r;
        r.entry = entry;
        r.implementation = implementation;
        r.plugin = entry ? "libfftplug" : "";
        r.label = entry ? std::to_string(*entry) + " DIF r2" : "FFTW";
        r.N = N;
        r.mflops = mflops;
        return r;
    };
    for (const uint32_t N : bench.sizes) {
        bench.results.push_back(result(3, "entry 3", N, 1000.0 * N));
        bench.results.push_back(result(std::nullopt, "fftwf", N, 4000.0 * N));
    }
    ProfileRun profile;
    profile.sizes = {4, 1024};
    ProfileRow row;
    row.entry = 3;
    row.N = 1024;
    row.log2N = 10;
    row.additions = 30720;
    row.multiplications = 20480;
    row.counts = FftplugCounts{};
    row.counts->loads = 10240;
    row.counts->stages = 10;
    profile.rows.push_back(row);
    const Summary summary = summarize(&bench, &profile, {});
    EXPECT_EQ(summary.speedSizes, (std::vector<uint32_t>{16, 64, 256}));
    EXPECT_EQ(summary.reference, "fftwf");
    ASSERT_EQ(summary.rows.size(), 1u);
    const EntryFigures& figures = summary.rows[0];
    EXPECT_EQ(figures.label, "DIF r2");
    EXPECT_DOUBLE_EQ(figures.mflops.at(256), 256000.0);
    EXPECT_DOUBLE_EQ(*figures.ratioToReference, 0.25);
    EXPECT_DOUBLE_EQ(*figures.flopsPerNLog2N, 5.0);
    EXPECT_DOUBLE_EQ(*figures.loadsPerPoint, 10.0);
    EXPECT_FALSE(figures.l1Miss.has_value());  // nothing traced
}

// A sentence says what the figures show, whichever way they go.
struct SentenceCase {
    const char* what;
    double speed3, speed6, speed8;      // mflops at the comparison size
    double flops6, flops8;              // per N·log2 N
    double miss3, miss4;                // L1 miss shares
    const char* says;                   // a phrase that must be printed
    const char* neverSays;              // one that must not
};

class SummarySentences : public ::testing::TestWithParam<SentenceCase> {};

TEST_P(SummarySentences, FollowTheFigures) {
    const SentenceCase& c = GetParam();
    Summary s;
    s.speedSizes = {64};
    s.ratioSize = 64;
    s.countSize = 1024;
    s.traceSize = 4096;
    auto figures = [&](uint32_t entry, double speed, std::optional<double> flops, double stages,
                       std::optional<double> miss) {
        EntryFigures f;
        f.entry = entry;
        f.label = "e" + std::to_string(entry);
        f.mflops[64] = speed;
        f.flopsPerNLog2N = flops;
        f.stages = stages;
        f.l1Miss = miss;
        return f;
    };
    s.rows = {figures(3, c.speed3, 5.0, 10, c.miss3), figures(4, c.speed3, 5.0, 10, c.miss4),
              figures(6, c.speed6, c.flops6, 5, std::nullopt), figures(8, c.speed8, c.flops8, 10, std::nullopt)};
    std::string all;
    for (const std::string& sentence : summarySentences(s)) all += sentence + "\n";
    EXPECT_NE(all.find(c.says), std::string::npos) << all;
    EXPECT_EQ(all.find(c.neverSays), std::string::npos) << all;
}

INSTANTIATE_TEST_SUITE_P(
    Report, SummarySentences,
    ::testing::Values(
        SentenceCase{"radix 4 faster", 1000, 1500, 1500, 4.25, 4.0, 0.1, 0.1, "1.50× as fast", "slower"},
        SentenceCase{"radix 4 slower", 1500, 1000, 1000, 4.25, 4.0, 0.1, 0.1, "runs slower, 0.67× as fast",
                     "1.50×"},
        SentenceCase{"radix 4 level", 1000, 1020, 1020, 4.25, 4.0, 0.1, 0.1, "about as fast", "slower"},
        SentenceCase{"split radix fewer", 1000, 1000, 1000, 4.25, 4.0, 0.1, 0.1, "6 % fewer operations",
                     "no fewer"},
        SentenceCase{"split radix more", 1000, 1000, 1000, 4.0, 4.25, 0.1, 0.1, "counts no fewer operations",
                     "% fewer operations than radix 4"},
        SentenceCase{"depth first misses less", 1000, 1000, 1000, 4.25, 4.0, 0.1, 0.02, "2.0 % of its accesses",
                     "more than entry 3"},
        SentenceCase{"depth first misses more", 1000, 1000, 1000, 4.25, 4.0, 0.02, 0.1, "more than entry 3's",
                     "fewer than entry 3"}),
    [](const ::testing::TestParamInfo<SentenceCase>& info) {
        std::string name = info.param.what;
        for (char& ch : name)
            if (ch == ' ') ch = '_';
        return name;
    });

}  // namespace
