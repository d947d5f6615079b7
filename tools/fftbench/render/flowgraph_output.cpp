#include "render/flowgraph_output.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <set>

#include "host/bit_reversal.h"
#include "assets/assets.h"
#include "render/svg.h"

namespace fftbench {

void printFlowGraph(std::FILE* out, const FlowGraph& graph) {
    fmt::print(out, "{}, N = {}: input in {} order, result in {} order\n", graph.title, graph.N,
               graph.naturalInput ? "natural" : "bit-reversed", graph.naturalInput ? "bit-reversed" : "natural");
    for (size_t i = 0; i < graph.stages.size(); ++i) {
        const Stage& s = graph.stages[i];
        fmt::print(out, "\n{} {}: {}, {} butterfl{}\n", s.closing ? "closing" : "stage", i + 1, s.description(),
                   s.butterflies.size(), s.butterflies.size() == 1 ? "y" : "ies");
        for (const Butterfly& b : s.butterflies) {
            std::vector<uint32_t> sorted = b.reads;
            std::sort(sorted.begin(), sorted.end());
            const std::string samples = fmt::format("{}", fmt::join(sorted, " "));
            fmt::print(out, "  {:<16} {:<12} {}\n", samples, b.label, kindName(b.kind));
        }
    }
}

std::string flowGraphJson(const FlowGraph& graph, const std::string& version) {
    using json = nlohmann::ordered_json;
    json stages = json::array();
    for (size_t i = 0; i < graph.stages.size(); ++i) {
        const Stage& s = graph.stages[i];
        json butterflies = json::array();
        for (const Butterfly& b : s.butterflies)
            butterflies.push_back({{"reads", b.reads},
                                   {"writes", b.writes},
                                   {"kind", kindName(b.kind)},
                                   {"factors", b.factors},
                                   {"label", b.label}});
        stages.push_back({{"index", i},
                          {"block_size", s.block},
                          {"apart", s.apart},
                          {"points", s.points},
                          {"closing", s.closing},
                          {"description", s.description()},
                          {"butterflies", std::move(butterflies)}});
    }
    const json document = {{"tool", "fftbench"},
                           {"command", "draw"},
                           {"version", version},
                           {"entry", graph.entry},
                           {"title", graph.title},
                           {"n", graph.N},
                           {"input_order", graph.naturalInput ? "natural" : "bit-reversed"},
                           {"output_order", graph.naturalInput ? "bit-reversed" : "natural"},
                           {"stages", std::move(stages)}};
    return document.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

namespace {

// The sizes of the picture, by N.
struct Layout {
    double rowHeight, font, dot;
    // `compact`: rows closer, for graphs drawn side by side.
    static Layout forSize(uint32_t N, bool compact) {
        if (N <= 4) return {40, 11, 4};
        if (N <= 8) return {34, 11, 4};
        if (N <= 16) return {compact ? 24.0 : 28.0, 10.5, 3.6};
        if (N <= 32) return {compact ? 17.0 : 20.0, 9.5, 3};
        return {15, 9, 2.6};
    }
    double textWidth(const std::string& text) const {
        size_t characters = 0;  // code points: the labels hold −, ³
        for (const unsigned char c : text) characters += (c & 0xC0) != 0x80;
        return 0.6 * font * static_cast<double>(characters);
    }
};

constexpr double kLegendRow = 18;

// Lanes within a stage: each butterfly on the first lane whose previous
// butterfly ends at least one row above its first sample, so that bars
// neither overlap nor touch (touching bars would read as one).
std::vector<size_t> assignLanes(const Stage& stage, size_t& laneCount) {
    std::vector<long> lastRow;
    std::vector<size_t> lanes;
    for (const Butterfly& b : stage.butterflies) {
        std::vector<uint32_t> all = b.reads;
        all.insert(all.end(), b.writes.begin(), b.writes.end());
        const long top = *std::min_element(all.begin(), all.end());
        const long bottom = *std::max_element(all.begin(), all.end());
        size_t lane = 0;
        while (lane < lastRow.size() && lastRow[lane] + 1 >= top) ++lane;
        if (lane == lastRow.size()) lastRow.push_back(bottom);
        else lastRow[lane] = bottom;
        lanes.push_back(lane);
    }
    laneCount = lastRow.size();
    return lanes;
}

// The label drawn for a butterfly: its factor, with the value where the
// table entry is one of the exact ones (the prepared table's t[0] … t[3] are
// 1, −i, W8 and W8³, the values entries 5, 7 and 9 build in).
std::string shownLabel(const FlowGraph& graph, const Butterfly& b) {
    static const char* exact[] = {"1", "−i", "W8", "W8³"};
    if (graph.preparedTable && b.kind == ButterflyKind::general && b.factors.size() == 1 && b.factors[0] < 4 &&
        b.factors[0] < graph.N / 2)
        return b.label + " = " + exact[b.factors[0]];
    return b.label;
}

std::string kindClass(ButterflyKind kind) { return fmt::format("k-{}", kindName(kind)); }

const char* kindExplanation(ButterflyKind kind, bool fourPoint) {
    switch (kind) {
        case ButterflyKind::general:
            return fourPoint ? "t[a] t[b]: the table entries read for the block, in reading order; its factors are "
                               "formed from them (radix 4: t[k], t[2k], their product; split radix: t[2k], t[2k]·t[k])"
                             : "t[k]: multiplied by the factor read from table[k] (its value named where exact); "
                               "labelled once per block";
        case ButterflyKind::twiddleFree: return "1: twiddle-free, multiplied by nothing";
        case ButterflyKind::minusI: return "−i: multiplied by −i (an exchange and a sign change)";
        case ButterflyKind::w8: return "W8 = (1 − i)·c, c = 0.70710677";
        case ButterflyKind::w8Cubed: return "W8³ = (−1 − i)·c";
        case ButterflyKind::blockOne: return "block 1: the built-in factors named, no table read";
        case ButterflyKind::closing: return "closing pass: twiddle-free pairs N/2 apart";
    }
    return "";
}

}  // namespace

std::string flowGraphSvg(const FlowGraph& graph, const FlowGraphStyle& style) {
    const ButterflyMarks& marks = style.marks;
    const Layout layout = Layout::forSize(graph.N, !style.legend);
    const unsigned bits = graph.N > 1 ? fftplug::host::log2Exact(graph.N) : 0;
    const double pad = 12, leftMargin = 92, rightMargin = 64, top = 112;
    const bool fourPoint = std::any_of(graph.stages.begin(), graph.stages.end(),
                                       [](const Stage& s) { return s.points == 4; });

    // Stage widths: their lanes, wide enough for the widest label, or the header.
    struct Placed {
        double x = 0, width = 0, laneWidth = 0;
        std::vector<size_t> lanes;
    };
    std::vector<Placed> placed;
    double x = leftMargin;
    for (size_t i = 0; i < graph.stages.size(); ++i) {
        const Stage& s = graph.stages[i];
        Placed p;
        size_t laneCount = 0;
        p.lanes = assignLanes(s, laneCount);
        double widest = 0;
        for (const Butterfly& b : s.butterflies) widest = std::max(widest, layout.textWidth(shownLabel(graph, b)));
        p.laneWidth = std::max(2.6 * layout.dot + 6, widest + 6);
        const double header = std::max(layout.textWidth(fmt::format("stage {}", i + 1)),
                                       layout.textWidth(s.description())) + 8;
        p.width = std::max(header, static_cast<double>(laneCount) * p.laneWidth) + 2 * pad;
        p.x = x;
        x += p.width;
        placed.push_back(std::move(p));
    }
    const double right = x;

    std::set<ButterflyKind> kinds;
    for (const Stage& s : graph.stages)
        for (const Butterfly& b : s.butterflies) kinds.insert(b.kind);
    const double legendTop = top + (graph.N - 1) * layout.rowHeight + 34;
    const double legendRows = style.legend ? static_cast<double>(kinds.size()) + (fourPoint ? 1 : 0) + 1 : 0;
    // Wide enough for the graph, its title and the longest line of the legend.
    const std::string longSubtitle =
        fmt::format("N = {}, {} stage{}; input in {} order, result in {} order; recorded from the scalar kernel "
                    "as it ran",
                    graph.N, graph.stages.size(), graph.stages.size() == 1 ? "" : "s",
                    graph.naturalInput ? "natural" : "bit-reversed", graph.naturalInput ? "bit-reversed" : "natural");
    const std::string subtitle = style.legend ? longSubtitle : longSubtitle.substr(0, longSubtitle.find(';'));
    const std::string legendHead =
        "butterflies: a bar joins the samples one butterfly loads and stores back; its label is its factor; "
        "the small number under it, the order it runs in within the stage";
    double textRight = 12 + std::max({0.62 * 15 * static_cast<double>(graph.title.size()),
                                      0.56 * 11.5 * static_cast<double>(subtitle.size()),
                                      style.legend ? 0.6 * 11.5 * static_cast<double>(legendHead.size()) : 0.0});
    if (style.legend)
        for (const ButterflyKind kind : kinds)
        textRight = std::max(textRight, 32 + 0.56 * 11 * std::string(kindExplanation(kind, fourPoint)).size());
    const double width = std::max({right + rightMargin, textRight + 12, 480.0});
    const double height = style.legend ? legendTop + legendRows * kLegendRow + 12 : legendTop - 8;
    auto rowY = [&](uint32_t position) { return top + position * layout.rowHeight; };

    SvgWriter svg(width, height, "fg", asset("flowgraph.css"));
    svg.attr("class", "background").rect(0, 0, width, height);
    svg.attr("class", "title").text(12, 22, graph.title);
    svg.attr("class", "subtitle").text(12, 40, subtitle);

    // Stage backgrounds and headers.
    for (size_t i = 0; i < graph.stages.size(); ++i) {
        const Placed& p = placed[i];
        svg.attr("class", i % 2 == 0 ? "stage even" : "stage odd")
            .rect(p.x, top - 36, p.width, (graph.N - 1) * layout.rowHeight + 50);
        const double centre = p.x + p.width / 2;
        svg.attr("class", "stage-head").attr("text-anchor", "middle")
            .text(centre, 66, graph.stages[i].closing ? "closing" : fmt::format("stage {}", i + 1));
        const Stage& stage = graph.stages[i];
        svg.attr("class", "stage-shape").attr("text-anchor", "middle")
            .text(centre, 80, stage.closing ? fmt::format("pairs {} apart", stage.apart) : stage.description());
    }

    // Wires, positions and what they hold at both ends.
    svg.attr("class", "order-head").attr("text-anchor", "end").text(leftMargin - 8, 66, "input");
    svg.attr("class", "order-shape").attr("text-anchor", "end")
        .text(leftMargin - 8, 80, graph.naturalInput ? "natural" : "bit-reversed");
    svg.attr("class", "order-head").text(right + 8, 66, "result");
    svg.attr("class", "order-shape").text(right + 8, 80, graph.naturalInput ? "bit-reversed" : "natural");
    for (uint32_t p = 0; p < graph.N; ++p) {
        const double y = rowY(p);
        const uint32_t reversed = fftplug::host::reverseBits(p, bits);
        svg.attr("class", "wire").line(leftMargin - 4, y, right + 4, y);
        svg.attr("class", "position").attr("text-anchor", "end").text(leftMargin - 8, y + layout.font * 0.35,
                                                                      std::to_string(p));
        svg.attr("class", "holds").attr("text-anchor", "end")
            .text(leftMargin - 30, y + layout.font * 0.35,
                  fmt::format("x[{}]", graph.naturalInput ? p : reversed));
        svg.attr("class", "holds").text(right + 8, y + layout.font * 0.35,
                                        fmt::format("X[{}]", graph.naturalInput ? reversed : p));
    }
    for (size_t i = 0; i <= graph.stages.size(); ++i) {
        const double bx = i < placed.size() ? placed[i].x : right;
        for (uint32_t p = 0; p < graph.N; ++p) svg.attr("class", "sample").circle(bx, rowY(p), layout.dot * 0.6);
    }

    // The butterflies; a run of butterflies with the same factor (a block's)
    // is labelled once, at its first.
    for (size_t i = 0; i < graph.stages.size(); ++i) {
        const Stage& s = graph.stages[i];
        const Placed& p = placed[i];
        std::string previousLabel;
        for (size_t k = 0; k < s.butterflies.size(); ++k) {
            const Butterfly& b = s.butterflies[k];
            std::vector<uint32_t> all = b.reads;
            all.insert(all.end(), b.writes.begin(), b.writes.end());
            const uint32_t first = *std::min_element(all.begin(), all.end());
            const uint32_t last = *std::max_element(all.begin(), all.end());
            const double bx = p.x + pad + (static_cast<double>(p.lanes[k]) + 0.5) * p.laneWidth;
            const std::string cls = kindClass(b.kind);
            if (marks.count({i, k}))
                svg.attr("class", "differs").rect(bx - layout.dot - 4, rowY(first) - layout.dot - layout.font - 6,
                                                  2 * layout.dot + 8,
                                                  rowY(last) - rowY(first) + 2 * layout.dot + layout.font + 10);
            svg.attr("class", "butterfly " + cls).openGroup();
            std::vector<std::string> readText, writeText;
            for (const uint32_t r : b.reads) readText.push_back(std::to_string(r));
            for (const uint32_t w : b.writes) writeText.push_back(std::to_string(w));
            svg.title(fmt::format("stage {}, butterfly {}: reads {}, writes {}; {} ({})", i + 1, k + 1,
                                  fmt::join(readText, " "), fmt::join(writeText, " "), b.label, kindName(b.kind)));
            svg.attr("class", "bar").line(bx, rowY(first), bx, rowY(last));
            std::vector<uint32_t> unique = all;
            std::sort(unique.begin(), unique.end());
            unique.erase(std::unique(unique.begin(), unique.end()), unique.end());
            for (const uint32_t q : unique) svg.attr("class", "dot").circle(bx, rowY(q), layout.dot);
            // The order the butterflies run in, within the stage.
            svg.attr("class", "order").attr("text-anchor", "middle")
                .text(bx, rowY(last) + layout.dot + 8, std::to_string(k + 1));
            const std::string label = shownLabel(graph, b);
            if (label != previousLabel)
                svg.attr("class", "label").attr("text-anchor", "middle").attr("font-size", layout.font)
                    .text(bx, rowY(first) - layout.dot - 3, label);
            previousLabel = label;
            svg.closeGroup();
        }
    }

    // The legend: the kinds this graph has.
    if (!style.legend) return svg.finish();
    double ly = legendTop;
    svg.attr("class", "legend-head").text(12, ly, legendHead);
    for (const ButterflyKind kind : kinds) {
        ly += kLegendRow;
        const std::string cls = kindClass(kind);
        svg.attr("class", "butterfly " + cls).openGroup();
        svg.attr("class", "bar").line(14, ly - 4, 26, ly - 4);
        svg.attr("class", "dot").circle(14, ly - 4, 3);
        svg.attr("class", "dot").circle(26, ly - 4, 3);
        svg.closeGroup();
        svg.attr("class", "legend").text(34, ly, kindExplanation(kind, fourPoint));
    }
    if (fourPoint) {
        ly += kLegendRow;
        svg.attr("class", "legend").text(32, ly, "every four-point butterfly also applies the −i of radix 4, in "
                                                 "D0 − i·D1 and D0 + i·D1");
    }
    return svg.finish();
}

std::string flowGraphLegendSvg() {
    const ButterflyKind kinds[] = {ButterflyKind::general, ButterflyKind::twiddleFree, ButterflyKind::minusI,
                                   ButterflyKind::w8,      ButterflyKind::w8Cubed,     ButterflyKind::blockOne,
                                   ButterflyKind::closing};
    const double columnWidth = 640, width = 2 * columnWidth;
    const size_t perColumn = 4;
    const double height = 16 + (perColumn + 3) * kLegendRow + 8;
    SvgWriter svg(width, height, "fg", asset("flowgraph.css"));
    svg.attr("class", "background").rect(0, 0, width, height);
    svg.attr("class", "legend-head").text(12, 16,
                                          "a bar joins the samples one butterfly loads and stores back; its label, its "
                                          "factor (once per block); the number under it, its turn in the stage");
    for (size_t i = 0; i <= std::size(kinds); ++i) {
        const double x = 12 + static_cast<double>(i / perColumn) * columnWidth;
        const double y = 16 + static_cast<double>(i % perColumn + 1) * kLegendRow;
        if (i == std::size(kinds)) {
            svg.attr("class", "differs").rect(x, y - 12, 16, 14);
            svg.attr("class", "legend").text(x + 22, y, "ringed: differs from its partner in the other graph");
            break;
        }
        svg.attr("class", "butterfly " + kindClass(kinds[i])).openGroup();
        svg.attr("class", "bar").line(x + 2, y - 4, x + 14, y - 4);
        svg.attr("class", "dot").circle(x + 2, y - 4, 3);
        svg.attr("class", "dot").circle(x + 14, y - 4, 3);
        svg.closeGroup();
        svg.attr("class", "legend").text(x + 22, y, kindExplanation(kinds[i], false));
    }
    // The four-point butterflies, across the width.
    double y = 16 + static_cast<double>(perColumn + 1) * kLegendRow + 4;
    svg.attr("class", "legend").text(12, y, std::string("four points: ") + kindExplanation(ButterflyKind::general, true));
    y += kLegendRow;
    svg.attr("class", "legend").text(12, y, "every four-point butterfly also applies the −i of radix 4, in D0 − i·D1 "
                                            "and D0 + i·D1");
    return svg.finish();
}

}  // namespace fftbench
