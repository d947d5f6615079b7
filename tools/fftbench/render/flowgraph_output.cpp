#include "render/flowgraph_output.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <climits>
#include <map>
#include <optional>
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

// The value of a table entry where it is one of the exact ones: the prepared
// table's t[0] … t[3] are 1, −i, W8 and W8³, the values entries 5, 7 and 9
// build in.
std::optional<std::string> exactValue(const FlowGraph& graph, uint32_t entry) {
    static const char* exact[] = {"1", "−i", "W8", "W8³"};
    if (graph.preparedTable && entry < 4 && entry < graph.N / 2) return exact[entry];
    return std::nullopt;
}

// A block's label: its table entries in the order read, each with its value
// where exact ("t[1] = −i", "t[1] = −i, t[2] = W8"), each once, or the
// built-in factors.
std::string blockLabel(const FlowGraph& graph, const Butterfly& b) {
    if (b.kind != ButterflyKind::general || b.factors.empty()) return b.label;
    std::vector<std::string> parts;
    std::set<uint32_t> named;  // block 0 reads t[0] twice: named once
    for (const uint32_t t : b.factors) {
        if (!named.insert(t).second) continue;
        const auto value = exactValue(graph, t);
        parts.push_back(value ? fmt::format("t[{}] = {}", t, *value) : fmt::format("t[{}]", t));
    }
    return fmt::format("{}", fmt::join(parts, ", "));
}

// A factor as drawn on the line it multiplies: ×t[4], ×W8, ×(−i).
std::string markText(const std::string& factor) {
    return factor.rfind("−", 0) == 0 ? "×(" + factor + ")" : "×" + factor;
}

std::string kindClass(ButterflyKind kind) { return fmt::format("k-{}", kindName(kind)); }

const char* kindExplanation(ButterflyKind kind, bool fourPoint) {
    switch (kind) {
        case ButterflyKind::general:
            return fourPoint ? "table factors: radix 4 multiplies three outputs (×t[2k], ×t[k], ×t[k]·t[2k]), "
                               "split radix two (×t[2k], ×t[2k]·t[k])"
                             : "×t[k]: multiplied by the factor read from table[k]";
        case ButterflyKind::twiddleFree: return "1: twiddle-free, multiplied by nothing";
        case ButterflyKind::minusI: return "×(−i): an exchange and a sign change";
        case ButterflyKind::w8: return "×W8 = (1 − i)·c, c = 0.70710677";
        case ButterflyKind::w8Cubed: return "×W8³ = (−1 − i)·c (dashed)";
        case ButterflyKind::blockOne: return "block 1: built-in factors, no table read";
        case ButterflyKind::closing: return "closing pass: twiddle-free pairs N/2 apart (dashed)";
    }
    return "";
}

// The marks the legend explains besides the kinds.
const char* const kMarksExplained[] = {
    "×t[4] beside a line: the factor multiplies the sample leaving the butterfly there (left of the bar: the "
    "sample entering it, decimation in time); a line without one carries a sum on unmultiplied",
    "shaded bands: the blocks of a stage, each labelled once with its factor (exact values named: t[1] = −i)",
};
const char kOffsetExplained[] =
    "tinted row with ▸: a four-point butterfly starts there (split radix: the L-shaped offset set)";
const char kPassExplained[] = "dark plain line, no dot: a row the stage passes on untouched (no load, no store)";
const char kFourPointExplained[] =
    "every four-point butterfly also applies the −i of radix 4 inside it, in D0 − i·D1 and D0 + i·D1";

// Where a stage's pieces go, left to right: a lane for the factors on its
// inputs, the lanes of bars, a lane for the factors on its outputs and the
// blocks' labels.
struct Placed {
    double x = 0, width = 0;
    double inLane = 0, inWidth = 0;  // factors on inputs (decimation in time)
    double lanesX = 0, laneWidth = 0;
    size_t laneCount = 0;
    double outLane = 0, outWidth = 0;
    bool labelsOnInput = false;
    std::vector<size_t> lanes;
    std::vector<std::vector<FactorMark>> marks;  // per butterfly
    struct BlockLabel {
        uint32_t first = 0, last = 0;  // its rows
        std::string text;              // empty: no label (the block's butterflies differ, or as the block before)
        ButterflyKind kind = ButterflyKind::general;
    };
    std::vector<BlockLabel> blocks;
    std::vector<bool> touched;  // per row
    std::vector<uint32_t> starts;  // rows where four-point butterflies start
};

std::pair<uint32_t, uint32_t> extent(const Butterfly& b) {
    uint32_t first = UINT32_MAX, last = 0;
    for (const auto* side : {&b.reads, &b.writes})
        for (const uint32_t r : *side) {
            first = std::min(first, r);
            last = std::max(last, r);
        }
    return {first, last};
}

// The blocks of a stage and their labels: a block whose butterflies share
// one label is labelled once, unless the block before had the same.
std::vector<Placed::BlockLabel> stageBlocks(const FlowGraph& graph, const Stage& s) {
    std::vector<Placed::BlockLabel> blocks;
    const uint32_t size = s.block >= 2 && s.block <= graph.N ? s.block : graph.N;
    for (uint32_t first = 0; first < graph.N; first += size) blocks.push_back({first, first + size - 1, {}, {}});
    if (s.closing) return blocks;
    std::vector<std::optional<std::string>> shared(blocks.size());
    std::vector<bool> mixed(blocks.size(), false);
    for (const Butterfly& b : s.butterflies) {
        const size_t k = extent(b).first / size;
        const std::string label = blockLabel(graph, b);
        if (!shared[k]) {
            shared[k] = label;
            blocks[k].kind = b.kind;
        } else if (*shared[k] != label) {
            mixed[k] = true;
        }
    }
    std::string previous;
    for (size_t k = 0; k < blocks.size(); ++k) {
        if (!shared[k] || mixed[k]) {
            previous.clear();
            continue;
        }
        if (*shared[k] != previous) blocks[k].text = *shared[k];
        previous = *shared[k];
    }
    return blocks;
}

// The recursion beside the graph: the blocks as bars, halves under their
// block down to the leaves, each leaf and each join numbered in the order it
// runs. Returns the height drawn.
double drawRecursion(SvgWriter& svg, const Recursion& r, uint32_t graphN, double x, double y, double width) {
    const uint32_t leaf = r.leafSize();
    if (leaf == 0) return 0;
    svg.attr("class", "rec-head").text(x, y, fmt::format("the recursion, shown at N = {}", r.N));
    svg.attr("class", "rec-note").text(x, y + 15, fmt::format("blocks halved down to leaves of {} points;", leaf));
    svg.attr("class", "rec-note").text(x, y + 29, "each leaf runs all its stages, then each join");
    svg.attr("class", "rec-note").text(x, y + 43, "pairs its halves; (n): the order they run");
    // Run order: a leaf when it is opened, a join when it runs.
    std::map<std::pair<uint32_t, uint32_t>, size_t> leafOrder, joinOrder;
    std::map<std::pair<uint32_t, uint32_t>, uint32_t> joinFactor;
    size_t order = 0;
    for (const RecursionStep& step : r.steps) {
        if (step.join) {
            joinOrder[{step.size, step.index}] = ++order;
            joinFactor[{step.size, step.index}] = step.index;
        } else if (step.size == leaf) {
            leafOrder[{step.size, step.index}] = ++order;
        }
    }
    const double boxHeight = 30, gap = 10;
    double level = y + 58;
    for (uint32_t size = r.N; size >= leaf && size > 0; size /= 2) {
        const uint32_t count = r.N / size;
        const double w = width / count;
        for (uint32_t b = 0; b < count; ++b) {
            const double bx = x + b * w;
            const bool isLeaf = size == leaf;
            svg.attr("class", isLeaf ? "rec-box leaf" : "rec-box").rect(bx + 1.5, level, w - 3, boxHeight);
            std::string first = fmt::format("{} #{}", size, b), second;
            if (isLeaf) {
                const auto found = leafOrder.find({size, b});
                second = found != leafOrder.end() ? fmt::format("leaf ({})", found->second) : "leaf";
            } else if (const auto found = joinOrder.find({size, b}); found != joinOrder.end()) {
                second = fmt::format("join ×t[{}] ({})", joinFactor[{size, b}], found->second);
            }
            svg.attr("class", "rec-text").attr("text-anchor", "middle").text(bx + w / 2, level + 12, first);
            if (!second.empty())
                svg.attr("class", "rec-text").attr("text-anchor", "middle").text(bx + w / 2, level + 25, second);
        }
        level += boxHeight + gap;
        if (size == leaf) break;
    }
    const std::string note =
        graphN <= leaf ? fmt::format("at N = {} the whole transform is one leaf: no join,", graphN)
                       : fmt::format("at N = {}: {} leaves and their joins", graphN, graphN / leaf);
    svg.attr("class", "rec-note").text(x, level + 6, note);
    if (graphN <= leaf) svg.attr("class", "rec-note").text(x, level + 20, "the plain stage loop drawn at left");
    return level + 24 - y;
}

}  // namespace

std::string flowGraphSvg(const FlowGraph& graph, const FlowGraphStyle& style) {
    const ButterflyMarks& rings = style.marks;
    const Layout layout = Layout::forSize(graph.N, !style.legend);
    const double markFont = std::max(7.0, layout.font * 0.82);
    auto markWidth = [&](const std::string& text) { return layout.textWidth(text) * markFont / layout.font; };
    const unsigned bits = graph.N > 1 ? fftplug::host::log2Exact(graph.N) : 0;
    const double pad = 8, leftMargin = 92, rightMargin = 64, top = 112;
    const bool fourPoint = std::any_of(graph.stages.begin(), graph.stages.end(),
                                       [](const Stage& s) { return s.points == 4; });

    // Stage widths: the lanes of bars and the lanes of factors beside them,
    // wide enough for the widest text, or the header.
    std::vector<Placed> placed;
    bool anyPass = false;
    double x = leftMargin;
    for (size_t i = 0; i < graph.stages.size(); ++i) {
        const Stage& s = graph.stages[i];
        Placed p;
        p.lanes = assignLanes(s, p.laneCount);
        p.touched.assign(graph.N, false);
        double inText = 0, outText = 0;
        for (const Butterfly& b : s.butterflies) {
            p.marks.push_back(factorMarks(b));
            for (const FactorMark& m : p.marks.back()) {
                (m.onInput ? inText : outText) = std::max(m.onInput ? inText : outText, markWidth(markText(m.factor)));
                if (m.onInput) p.labelsOnInput = true;
            }
            for (const auto* side : {&b.reads, &b.writes})
                for (const uint32_t r : *side)
                    if (r < graph.N) p.touched[r] = true;
            if (s.points == 4) p.starts.push_back(extent(b).first);
        }
        p.blocks = stageBlocks(graph, s);
        for (const Placed::BlockLabel& block : p.blocks)
            if (!block.text.empty())
                (p.labelsOnInput ? inText : outText) =
                    std::max(p.labelsOnInput ? inText : outText, layout.textWidth(block.text));
        anyPass = anyPass || std::find(p.touched.begin(), p.touched.end(), false) != p.touched.end();
        p.inWidth = inText > 0 ? inText + 8 : 0;
        p.outWidth = outText > 0 ? outText + 8 : 0;
        p.laneWidth = std::max(2.6 * layout.dot + 8, layout.textWidth(std::to_string(s.butterflies.size())) * 0.75 + 6);
        const double header = std::max(layout.textWidth(fmt::format("stage {}", i + 1)),
                                       layout.textWidth(s.description())) + 8;
        const double body = p.inWidth + static_cast<double>(p.laneCount) * p.laneWidth + p.outWidth;
        p.width = std::max(header, body) + 2 * pad;
        p.x = x;
        // Centre the body in a wider stage.
        const double slack = p.width - 2 * pad - body;
        p.inLane = x + pad + slack / 2;
        p.lanesX = p.inLane + p.inWidth;
        p.outLane = p.lanesX + static_cast<double>(p.laneCount) * p.laneWidth;
        x += p.width;
        placed.push_back(std::move(p));
    }
    const double right = x;

    // The recursion sketch, beside the graph.
    const double sketchX = right + rightMargin + 40, sketchWidth = 360;
    const bool sketch = graph.recursion && graph.recursion->leafSize() > 0;

    std::set<ButterflyKind> kinds;
    for (const Stage& s : graph.stages)
        for (const Butterfly& b : s.butterflies) kinds.insert(b.kind);
    std::vector<std::string> extraLegend(std::begin(kMarksExplained), std::end(kMarksExplained));
    if (fourPoint) extraLegend.push_back(kOffsetExplained);
    if (anyPass) extraLegend.push_back(kPassExplained);
    if (fourPoint) extraLegend.push_back(kFourPointExplained);
    const double graphBottom = top + (graph.N - 1) * layout.rowHeight + 34;
    const double legendRows = style.legend ? static_cast<double>(kinds.size() + extraLegend.size()) + 1 : 0;
    // Wide enough for the graph, its title and the longest line of the legend.
    const std::string longSubtitle =
        fmt::format("N = {}, {} stage{}; input in {} order, result in {} order; recorded from the scalar kernel "
                    "as it ran",
                    graph.N, graph.stages.size(), graph.stages.size() == 1 ? "" : "s",
                    graph.naturalInput ? "natural" : "bit-reversed", graph.naturalInput ? "bit-reversed" : "natural");
    const std::string subtitle = style.legend ? longSubtitle : longSubtitle.substr(0, longSubtitle.find(';'));
    const std::string legendHead =
        "butterflies: a bar joins the samples one butterfly loads and stores back; the small number under it, "
        "the order it runs in within the stage";
    double textRight = 12 + std::max({0.62 * 15 * static_cast<double>(graph.title.size()),
                                      0.56 * 11.5 * static_cast<double>(subtitle.size()),
                                      style.legend ? 0.6 * 11.5 * static_cast<double>(legendHead.size()) : 0.0});
    if (style.legend) {
        for (const ButterflyKind kind : kinds)
            textRight = std::max(textRight, 32 + 0.56 * 11 * std::string(kindExplanation(kind, fourPoint)).size());
        for (const std::string& line : extraLegend) textRight = std::max(textRight, 32 + 0.56 * 11 * line.size());
    }
    double sketchHeight = 0;
    if (sketch) sketchHeight = 58 + 40.0 * (fftplug::host::log2Exact(graph.recursion->N) -
                                            fftplug::host::log2Exact(graph.recursion->leafSize()) + 1) + 24;
    const double legendTop = std::max(graphBottom, sketch ? top + sketchHeight + 20 : 0.0);
    const double width = std::max({right + rightMargin + (sketch ? 40 + sketchWidth + 12 : 0), textRight + 12, 480.0});
    const double height = style.legend ? legendTop + legendRows * kLegendRow + 12 : std::max(graphBottom - 8, sketch ? top + sketchHeight : 0.0);
    auto rowY = [&](uint32_t position) { return top + position * layout.rowHeight; };

    SvgWriter svg(width, height, "fg", asset("flowgraph.css"));
    svg.attr("class", "background").rect(0, 0, width, height);
    svg.attr("class", "title").text(12, 22, graph.title);
    svg.attr("class", "subtitle").text(12, 40, subtitle);

    // Stage backgrounds, headers and the blocks' bands.
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
        if (stage.closing) continue;
        for (size_t k = 0; k < p.blocks.size(); ++k) {
            const Placed::BlockLabel& block = p.blocks[k];
            const double y0 = rowY(block.first) - layout.rowHeight / 2 + 1.5;
            svg.attr("class", k % 2 == 0 ? "block even" : "block odd")
                .rect(p.x + 3, y0, p.width - 6, rowY(block.last) - rowY(block.first) + layout.rowHeight - 3);
        }
        // The rows where four-point butterflies start.
        for (const uint32_t r : p.starts) {
            svg.attr("class", "offset").rect(p.lanesX - 8, rowY(r) - layout.rowHeight * 0.28,
                                             static_cast<double>(p.laneCount) * p.laneWidth + 8,
                                             layout.rowHeight * 0.56);
            svg.attr("class", "offset-mark").path(fmt::format("M{} {}L{} {}L{} {}Z", svgNumber(p.lanesX - 7),
                                                              svgNumber(rowY(r) - 3.5), svgNumber(p.lanesX - 1.5),
                                                              svgNumber(rowY(r)), svgNumber(p.lanesX - 7),
                                                              svgNumber(rowY(r) + 3.5)));
        }
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
    // The rows a stage passes on untouched.
    for (size_t i = 0; i < graph.stages.size(); ++i)
        for (uint32_t r = 0; r < graph.N; ++r)
            if (!placed[i].touched[r]) {
                svg.attr("class", "pass").openGroup();
                svg.title(fmt::format("stage {}: position {} passed on untouched", i + 1, r));
                svg.line(placed[i].x, rowY(r), placed[i].x + placed[i].width, rowY(r));
                svg.closeGroup();
            }
    for (size_t i = 0; i <= graph.stages.size(); ++i) {
        const double bx = i < placed.size() ? placed[i].x : right;
        for (uint32_t p = 0; p < graph.N; ++p) svg.attr("class", "sample").circle(bx, rowY(p), layout.dot * 0.6);
    }

    // The blocks' labels, once each, in the lane of the factors, on the
    // block's first row (a sum, never multiplied).
    for (size_t i = 0; i < graph.stages.size(); ++i) {
        const Placed& p = placed[i];
        for (const Placed::BlockLabel& block : p.blocks) {
            if (block.text.empty()) continue;
            svg.attr("class", "butterfly " + kindClass(block.kind)).openGroup();
            svg.attr("class", "label").attr("font-size", layout.font)
                .text(p.labelsOnInput ? p.inLane + 2 : p.outLane + 4, rowY(block.first) - 2.5, block.text);
            svg.closeGroup();
        }
    }

    // The butterflies, and their factors on the lines they multiply.
    for (size_t i = 0; i < graph.stages.size(); ++i) {
        const Stage& s = graph.stages[i];
        const Placed& p = placed[i];
        for (size_t k = 0; k < s.butterflies.size(); ++k) {
            const Butterfly& b = s.butterflies[k];
            const auto [first, last] = extent(b);
            const double bx = p.lanesX + (static_cast<double>(p.lanes[k]) + 0.5) * p.laneWidth;
            const std::string cls = kindClass(b.kind);
            if (rings.count({i, k}))
                svg.attr("class", "differs").rect(bx - layout.dot - 3, rowY(first) - layout.dot - 3,
                                                  2 * layout.dot + 6, rowY(last) - rowY(first) + 2 * layout.dot + 6);
            svg.attr("class", "butterfly " + cls).openGroup();
            std::vector<std::string> readText, writeText;
            for (const uint32_t r : b.reads) readText.push_back(std::to_string(r));
            for (const uint32_t w : b.writes) writeText.push_back(std::to_string(w));
            std::vector<std::string> markTexts;
            for (const FactorMark& m : p.marks[k])
                markTexts.push_back(fmt::format("{} {}", markText(m.factor), m.position));
            svg.title(fmt::format("stage {}, butterfly {}: reads {}, writes {}; {} ({}){}{}", i + 1, k + 1,
                                  fmt::join(readText, " "), fmt::join(writeText, " "), b.label, kindName(b.kind),
                                  markTexts.empty() ? "" : "; multiplies ", fmt::join(markTexts, ", ")));
            for (const FactorMark& m : p.marks[k]) {
                const double y = rowY(m.position);
                if (m.onInput) {
                    svg.attr("class", "mark-line").line(p.inLane + p.inWidth - 3, y, bx, y);
                    svg.attr("class", "mark").attr("font-size", markFont).text(p.inLane + 2, y - 2.5, markText(m.factor));
                } else {
                    svg.attr("class", "mark-line").line(bx, y, p.outLane + 3, y);
                    svg.attr("class", "mark").attr("font-size", markFont).text(p.outLane + 4, y - 2.5, markText(m.factor));
                }
            }
            svg.attr("class", "bar").line(bx, rowY(first), bx, rowY(last));
            std::vector<uint32_t> unique = b.reads;
            unique.insert(unique.end(), b.writes.begin(), b.writes.end());
            std::sort(unique.begin(), unique.end());
            unique.erase(std::unique(unique.begin(), unique.end()), unique.end());
            for (const uint32_t q : unique) svg.attr("class", "dot").circle(bx, rowY(q), layout.dot);
            // The order the butterflies run in, within the stage.
            svg.attr("class", "order").attr("text-anchor", "middle").attr("font-size", 7.5)
                .text(bx, rowY(last) + layout.dot + 8, std::to_string(k + 1));
            svg.closeGroup();
        }
    }

    if (sketch) drawRecursion(svg, *graph.recursion, graph.N, sketchX, top, sketchWidth);

    // The legend: the kinds this graph has, and the marks.
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
    for (const std::string& line : extraLegend) {
        ly += kLegendRow;
        svg.attr("class", "legend").text(34, ly, line);
    }
    return svg.finish();
}

std::string flowGraphLegendSvg() {
    const ButterflyKind kinds[] = {ButterflyKind::general, ButterflyKind::twiddleFree, ButterflyKind::minusI,
                                   ButterflyKind::w8,      ButterflyKind::w8Cubed,     ButterflyKind::blockOne,
                                   ButterflyKind::closing};
    const double columnWidth = 640, width = 2 * columnWidth;
    const size_t perColumn = 4;
    std::vector<std::string> lines(std::begin(kMarksExplained), std::end(kMarksExplained));
    lines.push_back(kOffsetExplained);
    lines.push_back(kPassExplained);
    lines.push_back(std::string("four points: ") + kindExplanation(ButterflyKind::general, true));
    lines.push_back(kFourPointExplained);
    const double height = 16 + (perColumn + static_cast<double>(lines.size())) * kLegendRow + 14;
    SvgWriter svg(width, height, "fg", asset("flowgraph.css"));
    svg.attr("class", "background").rect(0, 0, width, height);
    svg.attr("class", "legend-head").text(12, 16,
                                          "a bar joins the samples one butterfly loads and stores back; the number "
                                          "under it, its turn in the stage");
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
    // The marks, across the width.
    double y = 16 + static_cast<double>(perColumn) * kLegendRow + 4;
    for (const std::string& line : lines) {
        y += kLegendRow;
        svg.attr("class", "legend").text(12, y, line);
    }
    return svg.finish();
}

}  // namespace fftbench
