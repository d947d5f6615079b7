// The pieces of the pictures and the report that the command-line tests do
// not reach one by one: the SVG writer's escaping and ids made unique
// inline, the paragraphs on the entries, and a page whose plots are missing.
#include <gtest/gtest.h>

#include <regex>

#include "render/flowgraph_output.h"
#include "render/report_page.h"
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
    for (const char* id : {"catalogue", "verify", "bench", "profile", "entries", "entry-3"})
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

}  // namespace
