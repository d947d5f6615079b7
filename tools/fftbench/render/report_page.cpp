#include "render/report_page.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <sstream>

#include "assets/assets.h"
#include "check/verify_run.h"
#include "measure/bench_run.h"
#include "model/access_trace.h"
#include "model/operation_counts.h"
#include "render/bench_output.h"
#include "render/flowgraph_output.h"
#include "render/list_text.h"
#include "render/stage_report.h"
#include "render/profile_output.h"
#include "render/report_plots.h"
#include "render/report_summary.h"
#include "render/sizes.h"
#include "render/svg.h"
#include "render/trace_output.h"
#include "subject/names.h"

namespace fftbench {

std::string htmlEscape(const std::string& text) { return xmlEscape(text); }

std::map<uint32_t, std::vector<std::string>> entryParagraphs() {
    std::map<uint32_t, std::vector<std::string>> paragraphs;
    std::istringstream in{std::string(asset("entries.txt"))};
    std::string line, paragraph;
    std::optional<uint32_t> current;
    auto flush = [&] {
        if (current && !paragraph.empty()) paragraphs[*current].push_back(paragraph);
        paragraph.clear();
    };
    while (std::getline(in, line)) {
        if (line.rfind("# entry ", 0) == 0) {
            flush();
            current = static_cast<uint32_t>(std::stoul(line.substr(8)));
        } else if (line.find_first_not_of(" \t\r") == std::string::npos) {
            flush();
        } else if (current) {
            paragraph += (paragraph.empty() ? "" : " ") + line;
        }
    }
    flush();
    return paragraphs;
}

namespace {

std::string fill(std::string text, const std::map<std::string, std::string>& fields) {
    for (const auto& [name, value] : fields) {
        const std::string mark = "{{" + name + "}}";
        for (size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at + value.size()))
            text.replace(at, mark.size(), value);
    }
    return text;
}

std::string figure(const std::string& id, const Picture& picture, const std::string& caption) {
    std::string body = picture.svg.empty()
                           ? fmt::format("<p class=\"missing\">No picture: {}</p>", htmlEscape(picture.missing))
                           : inlineSvg(picture.svg, id + "-");
    return fmt::format("<figure id=\"{}\">\n{}\n<figcaption>{}</figcaption>\n</figure>\n", id, body, caption);
}

std::string catalogueSection(const std::vector<fftplug::host::CatalogueEntry>& catalogue) {
    std::string rows;
    for (const auto& entry : catalogue) {
        const auto gloss = englishGloss(entry.name);
        std::vector<std::string> meanings = flagMeanings(entry.flags);
        std::string flags;
        for (const std::string& m : meanings) flags += (flags.empty() ? "" : "; ") + m;
        rows += fmt::format(
            "<tr><td class=\"num\"><a href=\"#entry-{0}\">{0}</a></td><td lang=\"ja\">{1}</td><td>{2}</td>"
            "<td class=\"num\">0x{3:03X}</td><td>{4}</td></tr>\n",
            entry.index, htmlEscape(displayName(entry)), htmlEscape(gloss.value_or("")), entry.flags,
            htmlEscape(flags));
    }
    return fmt::format("<table class=\"catalogue\">\n<thead><tr><th>entry</th><th>name</th><th>in English</th>"
                       "<th>flags</th><th>what the flags say</th></tr></thead>\n<tbody>\n{}</tbody>\n</table>\n",
                       rows);
}

std::string verifySection(const VerifyReport& report) {
    std::string head = "<th>entry</th>";
    for (const Check check : kChecks) head += fmt::format("<th>{}</th>", checkName(check));
    head += "<th>worst error / bound</th><th>result</th>";
    std::string rows;
    size_t failed = 0;
    for (const EntryVerdict& verdict : report.entries) {
        std::string row = fmt::format("<td class=\"num\">{}</td>", verdict.entry.index);
        for (const Check check : kChecks) {
            const bool pass = verdict.passed(check);
            row += fmt::format("<td class=\"{}\">{}</td>", pass ? "pass" : "fail", pass ? "PASS" : "FAIL");
        }
        double worst = 0;
        uint32_t at = 0;
        for (const SizeVerdict& size : verdict.sizes) {
            const double ratio = size[Check::accuracy].ratio;
            if (ratio >= worst) {
                worst = ratio;
                at = size.N;
            }
        }
        row += fmt::format("<td class=\"num\">{:.2g} at {}</td>", worst, at ? powerOfTwoText(at) : "-");
        const bool pass = verdict.passed();
        failed += pass ? 0 : 1;
        std::string result = pass ? "PASS" : "FAIL";
        if (verdict.stop) result += fmt::format(" ({} at {})", stopName(verdict.stop->kind), powerOfTwoText(verdict.stop->N));
        row += fmt::format("<td class=\"{}\">{}</td>", pass ? "pass" : "fail", htmlEscape(result));
        rows += "<tr>" + row + "</tr>\n";
    }
    const std::string verdict =
        failed == 0 ? fmt::format("All {} entries pass every check at every size ({}).", report.entries.size(),
                                  htmlEscape(describeSizes(report.sizes)))
                    : fmt::format("{} of {} entries failed (sizes {}); <code>fftbench verify</code> names each failure.",
                                  failed, report.entries.size(), htmlEscape(describeSizes(report.sizes)));
    return fmt::format("<p class=\"verdict {}\">{}</p>\n<table class=\"verify\">\n<thead><tr>{}</tr></thead>\n"
                       "<tbody>\n{}</tbody>\n</table>\n",
                       failed == 0 ? "pass" : "fail", verdict, head, rows);
}

}  // namespace

std::string traceSummary(const AccessTrace& trace) {
    std::string text = fmt::format("{} loads and stores in {} stages", trace.loads + trace.stores, trace.stageCount);
    const uint64_t total = trace.reuse.accesses();
    for (size_t c = 0; c < trace.caches.size(); ++c)
        text += fmt::format("{} {:.1f} % miss a fully associative LRU cache of {} ({} KiB)", c == 0 ? ";" : ",",
                            total ? 100.0 * double(trace.misses[c]) / double(total) : 0.0, trace.caches[c].name,
                            trace.caches[c].bytes >> 10);
    return text + ".";
}


namespace {

// The width the SVG document gives itself, in user units.
double svgWidth(const std::string& document) {
    const size_t at = document.find("width=\"");
    return at == std::string::npos ? 0 : std::atof(document.c_str() + at + 7);
}

std::string folded(const std::string& summary, const std::string& body) {
    return fmt::format("<details>\n<summary>{}</summary>\n{}</details>\n", summary, body);
}

std::string optionalCell(const std::optional<double>& value, const char* format, double scale = 1) {
    if (!value) return "<td class=\"num none\">–</td>";
    return fmt::format("<td class=\"num\">{}</td>", fmt::format(fmt::runtime(format), *value * scale));
}

const ReportEntry* findEntry(const ReportPage& page, uint32_t index) {
    for (const ReportEntry& e : page.entries)
        if (e.entry.index == index) return &e;
    return nullptr;
}

// ---- At a glance: the figures of every entry, and what they say.
std::string summaryBody(const ReportPage& page) {
    std::vector<std::pair<uint32_t, const AccessTrace*>> traces;
    for (const ReportEntry& e : page.entries)
        if (e.trace) traces.emplace_back(e.entry.index, &*e.trace);
    const Summary summary = summarize(page.bench, page.profile, traces);
    if (summary.rows.empty()) return "<p class=\"missing\">No entry was measured, counted or traced.</p>\n";
    const bool limits = std::any_of(summary.rows.begin(), summary.rows.end(),
                                    [](const EntryFigures& r) { return r.limitPercent.has_value(); });
    std::string head = "<th>entry</th><th>what it is</th>";
    for (const uint32_t N : summary.speedSizes) head += fmt::format("<th>mflops<br>at {}</th>", powerOfTwoText(N));
    if (!summary.reference.empty())
        head += fmt::format("<th>× {}<br>at {}</th>", htmlEscape(summary.reference), powerOfTwoText(summary.ratioSize));
    head += "<th>flops per<br>N·log2 N</th><th>loads<br>per point</th><th>stages</th>";
    head += fmt::format("<th>{} miss<br>at {}</th><th>{} miss<br>at {}</th>", htmlEscape(summary.l1Name),
                        summary.traceSize ? powerOfTwoText(summary.traceSize) : "-", htmlEscape(summary.l2Name),
                        summary.traceSize ? powerOfTwoText(summary.traceSize) : "-");
    if (limits) head += fmt::format("<th>limit %<br>at {}</th>", powerOfTwoText(summary.speedSizes.back()));
    std::string rows;
    for (const EntryFigures& r : summary.rows) {
        std::string row = fmt::format("<td class=\"num\"><a href=\"#entry-{0}\">{0}</a></td><td>{1}</td>", r.entry,
                                      htmlEscape(r.label));
        for (const uint32_t N : summary.speedSizes) {
            const auto at = r.mflops.find(N);
            row += optionalCell(at == r.mflops.end() ? std::nullopt : std::optional<double>(at->second), "{:.0f}");
        }
        if (!summary.reference.empty()) row += optionalCell(r.ratioToReference, "{:.2f}");
        row += optionalCell(r.flopsPerNLog2N, "{:.2f}") + optionalCell(r.loadsPerPoint, "{:.1f}") +
               optionalCell(r.stages, "{:.0f}") + optionalCell(r.l1Miss, "{:.1f} %", 100) +
               optionalCell(r.l2Miss, "{:.1f} %", 100);
        if (limits) row += optionalCell(r.limitPercent, "{:.0f} %");
        rows += "<tr>" + row + "</tr>\n";
    }
    std::string sentences;
    for (const std::string& sentence : summarySentences(summary)) sentences += "<li>" + htmlEscape(sentence) + "</li>\n";
    std::string notes = fmt::format(
        "mflops = 5·N·log2 N / µs, the best of the short run's measurements (the speed plot below has every size); "
        "flops, loads and stages counted on the instrumented build at {} (entry 4 counts the stages of every block "
        "it recurses into); misses: the share of loads and stores whose "
        "64-byte line an LRU cache of that level's size no longer holds, from the recorded accesses.",
        summary.countSize ? powerOfTwoText(summary.countSize) : "-");
    return fmt::format("<ul class=\"conclusions\">\n{}</ul>\n<table class=\"summary\" id=\"summary-table\">\n"
                       "<thead><tr>{}</tr></thead>\n<tbody>\n{}</tbody>\n</table>\n<p class=\"note\">{}</p>\n",
                       sentences, head, rows, notes);
}

// ---- Where the figures come from.
std::string provenanceBody(const ReportPage& page) {
    const Provenance& p = page.provenance;
    auto item = [](const char* name, const std::string& value) {
        return fmt::format("<dt>{}</dt><dd>{}</dd>\n", name, value.empty() ? "not known" : htmlEscape(value));
    };
    std::string caches;
    for (const CacheLevel& c : p.caches) caches += (caches.empty() ? "" : ", ") + describeCache(c);
    bool assumed = std::any_of(p.caches.begin(), p.caches.end(), [](const CacheLevel& c) { return c.source == "assumed"; });
    return fmt::format("<dl class=\"provenance\" id=\"provenance-block\">\n{}{}{}{}{}{}{}{}</dl>\n{}",
                       item("plug-in", page.pluginPath),
                       item("compiled by", p.pluginCompiler + (p.buildType.empty() ? "" : ", " + p.buildType + " build")),
                       item("flags", p.pluginFlags), item("fftbench", p.version), item("command", p.commandLine),
                       item("processor", p.cpu), item("data caches", caches), item("written", p.date + " on " + p.os),
                       assumed ? "<p class=\"note\">A cache size marked (assumed) was not found on this machine: the "
                                 "misses at that level are those of a cache of the common size.</p>\n"
                               : "");
}

// ---- Speed over every size, and the short verdicts of verify.
std::string speedBody(const ReportPage& page) {
    std::string out;
    if (page.verify != nullptr) {
        const VerifyReport& v = *page.verify;
        const size_t failed = std::count_if(v.entries.begin(), v.entries.end(), [](const EntryVerdict& e) { return !e.passed(); });
        out += fmt::format("<p class=\"verdict {}\">{}</p>\n", failed ? "fail" : "pass",
                           failed ? fmt::format("Verification: {} of {} entries FAILED (table in the details below).",
                                                failed, v.entries.size())
                                  : fmt::format("Verification: all {} entries pass every check at {}.", v.entries.size(),
                                                htmlEscape(describeSizes(v.sizes))));
    }
    if (page.bench == nullptr) return out + "<p class=\"missing\">bench did not run.</p>\n";
    const std::string plot = speedPlotSvg(*page.bench);
    if (plot.empty()) return out + "<p class=\"missing\">bench measured nothing.</p>\n";
    out += fmt::format("<figure id=\"fig-bench-speed\">\n{}\n<figcaption>Speed at every size measured ({}); each line "
                       "is named at its right end, fastest first, with its mflops there. Colour tells the "
                       "formulation (blue radix 2, orange radix 4, green split radix, black the peers) and the dash "
                       "the entry within it; the names carry the same.</figcaption>\n</figure>\n",
                       inlineSvg(plot, "speed-"), htmlEscape(describeSizes(page.bench->sizes)));
    return out;
}

// Butterflies of `b` whose factor differs from the butterfly of `a` on the
// same samples, where the two graphs have the same shape; empty otherwise.
ButterflyMarks differingButterflies(const FlowGraph& a, const FlowGraph& b) {
    if (a.stages.size() != b.stages.size()) return {};
    auto samples = [](const Butterfly& x) {
        std::vector<uint32_t> r = x.reads;
        std::sort(r.begin(), r.end());
        return r;
    };
    ButterflyMarks marks;
    for (size_t s = 0; s < a.stages.size(); ++s) {
        std::map<std::vector<uint32_t>, ButterflyKind> kinds;
        for (const Butterfly& x : a.stages[s].butterflies) kinds[samples(x)] = x.kind;
        if (kinds.size() != b.stages[s].butterflies.size()) return {};
        for (size_t k = 0; k < b.stages[s].butterflies.size(); ++k) {
            const Butterfly& y = b.stages[s].butterflies[k];
            const auto found = kinds.find(samples(y));
            if (found == kinds.end()) return {};
            if (found->second != y.kind) marks.insert({s, k});
        }
    }
    return marks;
}

// How many sample lines a graph multiplies (factors drawn on them), and how
// many rows its stages pass on untouched, summed over its stages.
struct GraphCounts {
    size_t multiplied = 0, passed = 0;
    size_t multiplying = 0;    // butterflies with a factor on any line
    std::set<size_t> perButterfly;  // the numbers of lines those multiply
    std::string factorsText(uint32_t entry) const {
        std::string text = fmt::format("{} on {} butterflies of entry {}", multiplied, multiplying, entry);
        if (perButterfly.size() == 1) text += fmt::format(" ({} each)", *perButterfly.begin());
        return text;
    }
};
GraphCounts countLines(const FlowGraph& g) {
    GraphCounts c;
    for (const Stage& s : g.stages) {
        std::vector<bool> touched(g.N, false);
        for (const Butterfly& b : s.butterflies) {
            const size_t marks = factorMarks(b).size();
            c.multiplied += marks;
            if (marks > 0) {
                ++c.multiplying;
                c.perButterfly.insert(marks);
            }
            for (const uint32_t r : b.reads)
                if (r < g.N) touched[r] = true;
        }
        c.passed += static_cast<size_t>(std::count(touched.begin(), touched.end(), false));
    }
    return c;
}

// Whether two graphs run the same butterflies, on the same samples with the
// same table entries and kinds, in the same order.
bool sameButterflies(const FlowGraph& a, const FlowGraph& b) {
    if (a.N != b.N || a.stages.size() != b.stages.size()) return false;
    for (size_t s = 0; s < a.stages.size(); ++s) {
        const auto &x = a.stages[s].butterflies, &y = b.stages[s].butterflies;
        if (x.size() != y.size()) return false;
        for (size_t k = 0; k < x.size(); ++k)
            if (x[k].reads != y[k].reads || x[k].writes != y[k].writes || x[k].factors != y[k].factors ||
                x[k].kind != y[k].kind)
                return false;
    }
    return true;
}

struct Pair {
    uint32_t left, right;
    const char* idea;  // what the right one changes
};

const Pair kGraphPairs[] = {
    {3, 5, "entry 5 is entry 3 with the first four blocks of every stage special: their factors are exactly 1, −i, "
           "W8 and W8³, applied without reading the table (and for 1 and −i without a multiplication)"},
    {6, 7, "entry 7 is entry 6 with block 0 (factors 1, 1, 1) and block 1 (W8, −i, W8³) special"},
    {8, 9, "entry 9 is entry 8 with block 0 (no factor) and block 1 (W8 and W8³) special"},
    {6, 8, "split radix visits only the L-shaped offset set of each block (rows without a bar are passed on "
           "untouched) and multiplies two outputs of a butterfly, passing its two sums on; radix 4 multiplies three "
           "of its four outputs at every offset"},
};

// Whether the page draws a pair: both its entries there, with graphs of one size.
bool pairDrawn(const ReportPage& page, const Pair& pair) {
    const ReportEntry *a = findEntry(page, pair.left), *b = findEntry(page, pair.right);
    return a != nullptr && b != nullptr && a->graph && b->graph && a->graphSize == b->graphSize;
}

// ---- The pairs that differ by one idea, side by side at one scale.
std::string comparisonsBody(const ReportPage& page) {
    std::string out = "<p>Each pair differs by one idea. Both graphs of a pair are drawn at the same scale; a "
                      "butterfly whose factor differs from its partner's is ringed (dashed outline) in the right-hand "
                      "graph. docs/pictures.md says how a graph is read.</p>\n";
    std::set<uint32_t> drawn;  // an entry's first graph has the id the links point at
    auto half = [&](uint32_t entry, double share, const std::string& svg) {
        const bool first = drawn.insert(entry).second;
        return fmt::format("<div class=\"half\"{} style=\"width:{:.1f}%\">{}</div>\n",
                           first ? fmt::format(" id=\"fig-graph-{}\"", entry) : std::string(), share, svg);
    };
    if (std::none_of(std::begin(kGraphPairs), std::end(kGraphPairs), [&](const Pair& p) { return pairDrawn(page, p); }))
        return out + "<p class=\"missing\">No pair has both its entries in this report; each entry's graph is in "
                     "its own section below.</p>\n";
    out += "<div class=\"legend\">" + inlineSvg(flowGraphLegendSvg(), "legend-") + "</div>\n";
    for (const Pair& pair : kGraphPairs) {
        if (!pairDrawn(page, pair)) continue;
        const ReportEntry *a = findEntry(page, pair.left), *b = findEntry(page, pair.right);
        const ButterflyMarks marks = differingButterflies(*a->graph, *b->graph);
        const std::string left = flowGraphSvg(*a->graph, {{}, false}), right = flowGraphSvg(*b->graph, {marks, false});
        const double wl = svgWidth(left), wr = svgWidth(right);
        const double total = std::max(wl + wr, 1.0);
        const std::string difference =
            marks.empty() ? std::string()
                          : fmt::format(" {} of entry {}'s {} butterflies are ringed.", marks.size(), pair.right,
                                        [&] {
                                            size_t n = 0;
                                            for (const Stage& s : b->graph->stages) n += s.butterflies.size();
                                            return n;
                                        }());
        const GraphCounts cl = countLines(*a->graph), cr = countLines(*b->graph);
        std::string lines = fmt::format(" Factors drawn on the lines they multiply: {}; {}.", cl.factorsText(pair.left),
                                        cr.factorsText(pair.right));
        if (cl.passed + cr.passed > 0)
            lines += fmt::format(" Rows a stage passes on untouched (dark plain lines): {} in entry {}, {} in entry {}.",
                                 cl.passed, pair.left, cr.passed, pair.right);
        out += fmt::format(
            "<figure class=\"pair\" id=\"fig-pair-{0}-{1}\">\n<div class=\"side-by-side\">\n{2}{3}</div>\n"
            "<figcaption><b>Entry {0} | entry {1}</b> at N = {4}: {5}.{6}{7}</figcaption>\n</figure>\n",
            pair.left, pair.right,
            half(pair.left, 100 * wl / total, inlineSvg(left, fmt::format("p{}{}a-", pair.left, pair.right))),
            half(pair.right, 100 * wr / total, inlineSvg(right, fmt::format("p{}{}b-", pair.left, pair.right))),
            a->graphSize, htmlEscape(pair.idea), difference, lines);
    }
    return out;
}

// ---- How the entries walk the array.
std::string walkBody(const ReportPage& page) {
    std::string out;
    const ReportEntry *three = findEntry(page, 3), *four = findEntry(page, 4);
    if (three && four && three->smallTrace && four->smallTrace) {
        const std::string left = accessTraceSvg(*three->smallTrace), right = accessTraceSvg(*four->smallTrace);
        out += fmt::format(
            "<figure class=\"pair\" id=\"fig-walk-3-4\">\n<div class=\"side-by-side\">\n<div class=\"half\" "
            "style=\"width:50%\">{}</div>\n<div class=\"half\" style=\"width:50%\">{}</div>\n</div>\n"
            "<figcaption><b>Entry 3 | entry 4</b> at N = {}: the same butterflies in two orders. Entry 3 sweeps the "
            "whole array once per stage (full-height columns, one per stage); entry 4 finishes each 256-point block "
            "through all its stages before moving on (the short climbing strokes are its leaves), then joins "
            "blocks in ever longer sweeps.</figcaption>\n</figure>\n",
            inlineSvg(left, "w3-"), inlineSvg(right, "w4-"), powerOfTwoText(three->smallTraceSize));
    }
    std::vector<const AccessTrace*> traces;
    for (const uint32_t k : {0u, 3u, 4u, 6u, 8u})
        if (const ReportEntry* e = findEntry(page, k); e && e->trace) traces.push_back(&*e->trace);
    const std::string reuse = reusePlotSvg(traces);
    if (!reuse.empty())
        out += fmt::format("<figure id=\"fig-reuse\">\n{}\n<figcaption>How long each entry waits before it touches a "
                           "line again, on a logarithmic scale so that the rare long distances, the ones that miss, "
                           "show. Every access to the right of a cache's dashed line misses a fully associative LRU "
                           "cache of that size; the sizes and where they came from are in the provenance block."
                           "</figcaption>\n</figure>\n",
                           inlineSvg(reuse, "reuse-"));
    return out.empty() ? "<p class=\"missing\">No access was recorded.</p>\n" : out;
}

// ---- The full tables and the remaining plots, folded.
std::string tablesBody(const ReportPage& page) {
    std::string out;
    out += folded("Catalogue: names and flags", catalogueSection(page.catalogue));
    out += page.verify ? folded("Verification: every check of every entry", verifySection(*page.verify))
                       : "<p class=\"missing\">verify did not run.</p>\n";
    if (page.bench != nullptr) {
        std::string body = fmt::format(
            "<p>Sizes {}; in each cell the {}. A short run: for figures to quote, run "
            "<code>fftbench bench</code> with its defaults.{}</p>\n",
            htmlEscape(describeSizes(page.bench->sizes)), htmlEscape(bestOfText(page.bench->settings)),
            page.benchCsv.empty() ? std::string()
                                  : fmt::format(" The same as CSV: <a href=\"{0}\">{0}</a>.", htmlEscape(page.benchCsv)));
        body += figure("fig-bench-accuracy", page.accuracy,
                       "Accuracy: the relative RMS error of every entry and peer against the double-precision "
                       "reference, with verify's bound dotted.");
        if (std::any_of(page.bench->results.begin(), page.bench->results.end(),
                        [](const BenchResult& r) { return r.limitPercent; }))
            body += figure("fig-bench-limit", page.limit,
                           "Limit %: the least time the counted operations need at this processor's measured peak "
                           "rates over the measured time, one line per entry (docs/fftbench.md explains the model).");
        body += "<pre class=\"table\">" + htmlEscape(benchTableText(*page.bench)) + "</pre>\n";
        out += folded("Bench: accuracy, and the table bench prints", body);
    }
    if (page.profile != nullptr) {
        std::string body = page.profileCsv.empty()
                               ? std::string()
                               : fmt::format("<p>The same as CSV: <a href=\"{0}\">{0}</a>.</p>\n", htmlEscape(page.profileCsv));
        body += figure("fig-profile", page.profilePlot,
                       "Real operations counted per N·log2 N on the instrumented build (5 for radix 2 with a full "
                       "complex multiplication in every butterfly).");
        body += "<pre class=\"table\">" + htmlEscape(profileTableText(*page.profile)) + "</pre>\n";
        out += folded("Operation counts: the plot and the table profile prints", body);
    }
    return out;
}

std::string entrySection(const ReportPage& page, const ReportEntry& e, const std::vector<std::string>& paragraphs) {
    const auto gloss = englishGloss(e.entry.name);
    std::string text;
    for (const std::string& p : paragraphs) text += "<p>" + htmlEscape(p) + "</p>\n";
    if (text.empty()) text = "<p>(no description of this entry)</p>\n";
    std::string graph;
    const bool paired = std::any_of(std::begin(kGraphPairs), std::end(kGraphPairs), [&](const Pair& p) {
        return (p.left == e.entry.index || p.right == e.entry.index) && pairDrawn(page, p);
    });
    if (paired) {
        graph = fmt::format("<p class=\"see\">Its signal-flow graph is in the comparisons above (<a "
                            "href=\"#fig-graph-{0}\">entry {0}'s graph</a>).</p>\n",
                            e.entry.index);
    } else {
        const Picture picture = e.graph ? Picture{flowGraphSvg(*e.graph), {}} : Picture{{}, e.missing};
        std::string caption =
            fmt::format("The signal-flow graph of entry {} at N = {}, recorded as it ran.", e.entry.index, e.graphSize);
        if (e.graph && e.graph->recursion && e.graph->recursion->leafSize() > 0) {
            const Recursion& r = *e.graph->recursion;
            caption += fmt::format(" Beside it, its recursion at N = {}: blocks halved down to leaves of {} points, "
                                   "each leaf carried through all its stages before the next is touched, each join "
                                   "run as soon as both halves of its block are done.",
                                   r.N, r.leafSize());
            if (e.graphSize <= r.leafSize()) {
                caption += fmt::format(" At N = {} the whole transform is one leaf, so the graph shows no join", e.graphSize);
                const ReportEntry* three = findEntry(page, 3);
                caption += three && three->graph && sameButterflies(*e.graph, *three->graph)
                               ? ": it is the same as entry 3's, butterfly for butterfly (the same samples, factors "
                                 "and order)."
                               : ".";
            }
        }
        graph = figure(fmt::format("fig-graph-{}", e.entry.index), picture, caption);
    }
    const Picture access = e.trace ? Picture{accessTraceSvg(*e.trace), {}} : Picture{{}, e.missing};
    return fmt::format(
        "<section class=\"entry\" id=\"entry-{0}\">\n<h3>Entry {0}: <span lang=\"ja\">{1}</span></h3>\n"
        "<p class=\"gloss\">{2}</p>\n{3}<div class=\"pictures\">\n{4}{5}</div>\n</section>\n",
        e.entry.index, htmlEscape(displayName(e.entry)), htmlEscape(gloss.value_or("")), text, graph,
        figure(fmt::format("fig-trace-{}", e.entry.index), access,
               fmt::format("The memory accesses of entry {} at N = {}: every load and store by sample and time, "
                           "and the reuse distances of its 64-byte lines. {}",
                           e.entry.index, htmlEscape(powerOfTwoText(e.traceSize)),
                           htmlEscape(e.trace ? traceSummary(*e.trace) : std::string()))));
}

// ---- Each entry: what defines it, its graph and its access map.
std::string entriesBody(const ReportPage& page) {
    const auto paragraphs = entryParagraphs();
    std::string out = "<p>For each entry: what defines it; its signal-flow graph, recorded from the instrumented build "
                      "(the scalar kernels with every load, store, table read, factor and stage recorded as it ran); "
                      "and its memory accesses at a size whose array no longer fits the nearest caches.</p>\n";
    for (const ReportEntry& e : page.entries) {
        const auto found = paragraphs.find(e.entry.index);
        out += entrySection(page, e, found == paragraphs.end() ? std::vector<std::string>{} : found->second) +
               entryStagesHtml(page.stages, e.entry.index);
    }
    return out;
}

}  // namespace

const std::vector<ReportSection>& reportSections() {
    static const std::vector<ReportSection> sections{
        {"summary", "At a glance", summaryBody},
        {"provenance", "Where these figures come from", provenanceBody},
        {"bench", "Speed", speedBody},
        {"comparisons", "Pairs that differ by one idea", comparisonsBody},
        {"walk", "How the entries walk the array", walkBody},
        {"details", "The full tables", tablesBody},
        {"entries", "The entries one by one", entriesBody},
    };
    return sections;
}

std::string reportHtml(const ReportPage& page) {
    std::string nav, sections;
    for (const ReportSection& section : reportSections()) {
        nav += fmt::format("<a href=\"#{}\">{}</a>\n", section.id, htmlEscape(section.heading));
        sections += fmt::format("<section id=\"{}\">\n<h2>{}</h2>\n{}</section>\n\n", section.id,
                                htmlEscape(section.heading), section.body(page));
    }
    std::string entryLinks;
    for (const ReportEntry& e : page.entries) entryLinks += fmt::format("<a href=\"#entry-{0}\">{0}</a> ", e.entry.index);
    return fill(std::string(asset("report.html")),
                {{"style", std::string(asset("report.css"))},
                 {"plugin", htmlEscape(page.pluginPath)},
                 {"machine", htmlEscape(page.machine)},
                 {"generated", htmlEscape(page.generated)},
                 {"nav", nav},
                 {"entry-links", entryLinks},
                 {"sections", sections}});
}

}  // namespace fftbench
