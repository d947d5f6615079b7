#include "render/stage_report.h"

#include <fmt/format.h>

#include <algorithm>

#include "render/sizes.h"
#include "render/stage_output.h"
#include "render/svg.h"

namespace fftbench {

namespace {

std::string escaped(const std::string& text) { return xmlEscape(text); }

// One horizontal bar: the stages side by side, each as wide as its share.
std::string stageBar(const StageTiming& t) {
    const double width = 560, height = 26;
    SvgWriter svg(width, height, "sb", ".sb rect { stroke: #333; stroke-width: 0.5; }");
    // A stage measured below zero (noise) gets no width; the others share the bar.
    double sum = 0;
    for (const double seconds : t.seconds) sum += std::max(0.0, seconds);
    double x = 0;
    int stage = 0;
    for (size_t r = 0; r < t.plan.rows.size(); ++r) {
        const StageRow& row = t.plan.rows[r];
        const double share = sum > 0 ? std::max(0.0, t.seconds[r]) / sum : 0;
        const std::string name = row.kind == StageRow::Kind::stage ? fmt::format("stage {}", ++stage) : row.label();
        svg.openGroup();
        svg.title(fmt::format("{} ({}): {:.4g} us", name, row.shape(), t.seconds[r] * 1e6));
        svg.attr("fill", stageColour(row, t.N)).rect(x, 2, width * share, height - 4);
        svg.closeGroup();
        x += width * share;
    }
    return svg.finish();
}

}  // namespace

std::string entryStagesHtml(const StageRun* run, uint32_t entry) {
    if (run == nullptr) return {};
    std::string html;
    for (const StageTiming& t : run->timings) {
        if (t.entry != entry || (!run->paths.empty() && t.path != run->paths.front()) ||
            t.lineOffset != run->settings.lineOffsets.front())
            continue;
        std::string rows;
        const double sum = t.sumSeconds();
        // Without the rates there is no limit: its columns are left out.
        const bool limits = std::any_of(t.leastSeconds.begin(), t.leastSeconds.end(),
                                        [](const std::optional<double>& least) { return least.has_value(); });
        int stage = 0;
        for (size_t r = 0; r < t.plan.rows.size(); ++r) {
            const StageRow& row = t.plan.rows[r];
            const std::string name = row.kind == StageRow::Kind::stage ? fmt::format("stage {}", ++stage) : row.label();
            const bool limited = r < t.leastSeconds.size() && t.leastSeconds[r] && t.seconds[r] > 0;
            rows += fmt::format(
                "<tr><td><span style=\"display:inline-block;width:0.8em;height:0.8em;background:{}\"></span> {}</td>"
                "<td>{}</td><td class=\"num\">{:.4g}</td><td class=\"num\">{:.1f}</td>",
                stageColour(row, t.N), escaped(name), escaped(row.shape()), t.seconds[r] * 1e6,
                sum > 0 ? 100 * t.seconds[r] / sum : 0.0);
            if (limits)
                rows += fmt::format(
                    "<td class=\"num\">{}</td><td>{}</td><td>{}</td>",
                    limited ? fmt::format("{:.0f}", 100 * *t.leastSeconds[r] / t.seconds[r]) : std::string("-"),
                    r < t.bound.size() ? escaped(t.bound[r]) : "", r < t.leftOut.size() ? escaped(t.leftOut[r]) : "");
            rows += "</tr>\n";
        }
        html += fmt::format(
            "<figure class=\"stages\" id=\"fig-stages-{0}-{1}\">\n{2}\n<figcaption>Where entry {0}'s time goes at N = "
            "{3} ({4}{5}), stage by stage on the real kernels: the copy of input into work, then each stage, in the "
            "access map's colour of how far apart its butterflies pair samples. A stage's time is that of the first "
            "k stages less that of the first k - 1, both timed on the same arrays.{12} The stages sum to {6:.4g} us, "
            "the whole transform takes {7:.4g} us ({8:+.1f} %).{11}</figcaption>\n"
            "<table class=\"stages\">\n<thead><tr><th>stage</th><th>shape</th><th>us</th><th>share %</th>{10}"
            "</tr></thead>\n<tbody>\n{9}</tbody>\n"
            "</table>\n</figure>\n",
            entry, t.N, inlineSvg(stageBar(t), fmt::format("stages-{}-{}-", entry, t.N)), powerOfTwoText(t.N), t.path,
            t.kernelPath.empty() ? "" : ": " + t.kernelPath, sum * 1e6, t.wholeSeconds * 1e6, 100 * t.sumDeviation(),
            rows, limits ? "<th>limit %</th><th>bound</th><th>what the model leaves out</th>" : "",
            std::any_of(t.seconds.begin(), t.seconds.end(), [](double s) { return s < 0; })
                ? " A stage below zero cost less than this machine's timing noise: its k stages timed faster than "
                  "k - 1, and its bar is left out."
                : "",
            !t.plan.timesInPlace()
                ? ""
                : " The leaf blocks and joins recur: each is timed on its first occurrence, in calls that transform "
                  "work in place and copy nothing, and counted as often as it occurs; the copy is then what the whole "
                  "call takes beyond the whole transform in place, its own time and the lines it pushes out for the "
                  "stages after it.");
    }
    return html;
}

}  // namespace fftbench
