#include "render/report_page.h"

#include <fmt/format.h>

#include <algorithm>
#include <sstream>

#include "assets/assets.h"
#include "check/verify_run.h"
#include "measure/bench_run.h"
#include "model/access_trace.h"
#include "model/operation_counts.h"
#include "render/bench_output.h"
#include "render/flowgraph_output.h"
#include "render/stage_report.h"
#include "render/profile_output.h"
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

std::string entrySection(const ReportEntry& e, const std::vector<std::string>& paragraphs) {
    const auto gloss = englishGloss(e.entry.name);
    std::string text;
    for (const std::string& p : paragraphs) text += "<p>" + htmlEscape(p) + "</p>\n";
    if (text.empty()) text = "<p>(no description of this entry)</p>\n";
    const Picture graph = e.graph ? Picture{flowGraphSvg(*e.graph), {}} : Picture{{}, e.missing};
    const Picture access = e.trace ? Picture{accessTraceSvg(*e.trace), {}} : Picture{{}, e.missing};
    return fmt::format(
        "<section class=\"entry\" id=\"entry-{0}\">\n<h3>Entry {0}: <span lang=\"ja\">{1}</span></h3>\n"
        "<p class=\"gloss\">{2}</p>\n{3}<div class=\"pictures\">\n{4}{5}</div>\n</section>\n",
        e.entry.index, htmlEscape(displayName(e.entry)), htmlEscape(gloss.value_or("")), text,
        figure(fmt::format("fig-graph-{}", e.entry.index), graph,
               fmt::format("The signal-flow graph of entry {} at N = {}, recorded as it ran: a bar per butterfly "
                           "between the samples it loads and stores, labelled with its factor.",
                           e.entry.index, e.graphSize)),
        figure(fmt::format("fig-trace-{}", e.entry.index), access,
               fmt::format("The memory accesses of entry {} at N = {}: every load and store by sample and time, "
                           "and the reuse distances of its 64-byte lines. {}",
                           e.entry.index, htmlEscape(powerOfTwoText(e.traceSize)),
                           htmlEscape(e.trace ? traceSummary(*e.trace) : std::string()))));
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

std::string reportHtml(const ReportPage& page) {
    std::string verify = page.verify ? verifySection(*page.verify) : "<p class=\"missing\">verify did not run.</p>\n";

    std::string bench;
    if (page.bench != nullptr) {
        bench += fmt::format("<p>Sizes {}, the best of {} measurements of at least {:g} ms per cell; mflops = "
                             "5·N·log2 N / (µs per transform). A short run: for figures to quote, run "
                             "<code>fftbench bench</code> with its defaults.</p>\n",
                             htmlEscape(describeSizes(page.bench->sizes)), page.bench->settings.measurements,
                             page.bench->settings.minSeconds * 1e3);
        bench += figure("fig-bench-speed", page.speed, "Speed: mflops against log2 N, one line per entry and peer.");
        bench += figure("fig-bench-accuracy", page.accuracy,
                        "Accuracy: the relative RMS error of every entry and peer against the double-precision "
                        "reference, with verify's bound dotted.");
        if (std::any_of(page.bench->results.begin(), page.bench->results.end(),
                        [](const BenchResult& r) { return r.limitPercent; }))
            bench += figure("fig-bench-limit", page.limit,
                            "Limit %: the least time the counted operations need at this processor's measured peak "
                            "rates over the measured time, one line per entry (docs/fftbench.md explains the model).");
        bench += "<pre class=\"table\">" + htmlEscape(benchTableText(*page.bench)) + "</pre>\n";
    } else {
        bench = "<p class=\"missing\">bench did not run.</p>\n";
    }

    std::string profile;
    if (page.profile != nullptr) {
        profile += figure("fig-profile", page.profilePlot,
                          "Real operations counted per N·log2 N on the counting build (5 for radix 2 with a full "
                          "complex multiplication in every butterfly).");
        profile += "<pre class=\"table\">" + htmlEscape(profileTableText(*page.profile)) + "</pre>\n";
    } else {
        profile = "<p class=\"missing\">profile did not run.</p>\n";
    }

    const auto paragraphs = entryParagraphs();
    std::string entries, entryLinks;
    for (const ReportEntry& e : page.entries) {
        const auto found = paragraphs.find(e.entry.index);
        entries += entrySection(e, found == paragraphs.end() ? std::vector<std::string>{} : found->second) +
                   entryStagesHtml(page.stages, e.entry.index);
        entryLinks += fmt::format("<a href=\"#entry-{0}\">{0}</a> ", e.entry.index);
    }

    return fill(std::string(asset("report.html")),
                {{"style", std::string(asset("report.css"))},
                 {"plugin", htmlEscape(page.pluginPath)},
                 {"machine", htmlEscape(page.machine)},
                 {"generated", htmlEscape(page.generated)},
                 {"catalogue", catalogueSection(page.catalogue)},
                 {"verify", verify},
                 {"bench", bench},
                 {"profile", profile},
                 {"entry-links", entryLinks},
                 {"entries", entries}});
}

}  // namespace fftbench
