#include "render/stage_output.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <nlohmann/json.hpp>
#include <set>

#include "host/bit_reversal.h"
#include "measure/placement.h"
#include "render/bench_output.h"
#include "render/list_text.h"
#include "render/sizes.h"
#include "render/svg.h"
#include "render/text.h"

namespace fftbench {

const std::vector<std::string> kStageColumns{
    "path",         "kernel_path",   "entry",          "n",           "log2n",         "row",
    "kind",         "label",         "block",          "apart",       "occurrences",   "time_per_transform_us",
    "share",        "least_time_per_transform_us",     "limit_percent", "limit_bound", "left_out",
    "whole_time_per_transform_us",   "stage_sum_time_per_transform_us", "sum_deviation_percent", "same_bits",
    "line_offset_bytes",             "whole_spread_percent"};

namespace {

std::string kindName(StageRow::Kind kind) {
    switch (kind) {
        case StageRow::Kind::copy: return "copy";
        case StageRow::Kind::closing: return "closing";
        case StageRow::Kind::leaves: return "leaves";
        case StageRow::Kind::join: return "join";
        case StageRow::Kind::stage: break;
    }
    return "stage";
}

// "stage 3", "closing pass", "join", "leaf blocks", "copy": stages numbered
// in order among the plain ones.
std::vector<std::string> rowNames(const StagePlan& plan) {
    std::vector<std::string> names;
    int stage = 0;
    for (const StageRow& row : plan.rows)
        names.push_back(row.kind == StageRow::Kind::stage ? fmt::format("stage {}", ++stage) : row.label());
    return names;
}

std::optional<double> limitOf(const StageTiming& t, size_t r) {
    if (r >= t.leastSeconds.size() || !t.leastSeconds[r] || t.seconds[r] <= 0) return std::nullopt;
    return 100.0 * *t.leastSeconds[r] / t.seconds[r];
}

}  // namespace

std::string stagesTableText(const StageRun& run) {
    std::string out;
    out += cpuText(run.cpu, 14);
    if (!run.caches.empty()) put(out, "{:<14}{}\n", "caches", describeCaches(run.caches));
    std::string paths;
    for (const std::string& p : run.paths) paths += (paths.empty() ? "" : ", ") + p;
    put(out, "{:<14}{} (each path's stage build beside its shipped library)\n", "paths", paths);
    put(out, "method        {}; every call copies input into work and runs the "
        "first k stages (k = 0 ... all), timed as bench times a whole transform, the whole transform and its stops "
        "on one set of arrays and one after another in every round, each measurement after untimed calls ({} "
        "before the whole, {} before a stop); a stage = t(k) - t(k-1); entry 4's leaf blocks and joins timed in "
        "place (no copy) on their first block and counted for all, its copy the whole call less the whole in place\n",
        bestOfText(run.settings), kWarmCallsBeforeWhole, kWarmCallsBeforeStop);
    std::string placements;
    for (const uint32_t offset : run.settings.lineOffsets) placements += (placements.empty() ? "" : ", ") + lineOffsetText(offset, true);
    put(out, "{:<14}{}\n", "arrays", placements);
    put(out, "sizes         {}\n", describeSizes(run.sizes));
    put(out, "placement     {}\n", placement::describe());
    for (const PeakRates& rates : run.rates) {
        std::string levels;
        for (const LevelRate& level : rates.levels)
            levels += fmt::format(", {} {:.0f}/{:.0f}", level.name, level.loadBytesPerSecond / 1e9,
                                  level.storeBytesPerSecond / 1e9);
        put(out, "rates         {}: add {:.1f}, multiply {:.1f} Gop/s; load/store GB/s{}\n", rates.path,
            rates.additionsPerSecond / 1e9, rates.multiplicationsPerSecond / 1e9, levels);
    }
    if (run.interrupted) put(out, "interrupted   yes: the tables hold what was measured before Ctrl-C\n");
    const bool limits = std::any_of(run.timings.begin(), run.timings.end(), [](const StageTiming& t) {
        return std::any_of(t.leastSeconds.begin(), t.leastSeconds.end(), [](const auto& l) { return l.has_value(); });
    });
    if (limits)
        put(out, "limit %       least time of the stage's own counted loads, stores, additions and multiplications, "
            "each line at the level its reuse distance reaches, at this processor's peak rates / its measured time; "
            "below {:.0f} %, what the model leaves out there; * above 100 %: there the model is no lower bound (a "
            "stage's time is the difference of two measured times: noise moves it both ways)\n",
            kFarBelowLimitPercent);

    for (const StageTiming& t : run.timings) {
        const auto names = rowNames(t.plan);
        put(out, "\nentry {} at N = {} ({}{}{}): whole {:.4g} us (its measurements {:.0f} % apart), stages' sum "
            "{:.4g} us ({:+.1f} %), last stage's bits {} the whole transform's\n",
            t.entry, powerOfTwoText(t.N), t.path, t.kernelPath.empty() ? "" : ": " + t.kernelPath,
            run.settings.lineOffsets.size() > 1 ? ", arrays " + lineOffsetText(t.lineOffset, true) : std::string(),
            t.wholeSeconds * 1e6, 100 * t.wholeSpread, t.sumSeconds() * 1e6, 100 * t.sumDeviation(),
            t.sameBits ? "=" : "DIFFER FROM");
        put(out, "  {:<13} {:<28} {:>10} {:>7}{}\n", "stage", "shape", "us", "share",
            limits ? fmt::format(" {:>8}  {:<16} {}", "limit %", "bound", "left out") : std::string());
        const double sum = t.sumSeconds();
        for (size_t r = 0; r < t.plan.rows.size(); ++r) {
            const auto limit = limitOf(t, r);
            put(out, "  {:<13} {:<28} {:>10.4g} {:>6.1f}%{}\n", names[r], t.plan.rows[r].shape(), t.seconds[r] * 1e6,
                sum > 0 ? 100 * t.seconds[r] / sum : 0.0,
                limits ? fmt::format(" {:>8}  {:<16} {}",
                                     limit ? fmt::format("{:.1f}{}", *limit, *limit > 100 ? "*" : "") : "-",
                                     r < t.bound.size() && !t.bound[r].empty() ? t.bound[r] : "-",
                                     r < t.leftOut.size() ? t.leftOut[r] : "")
                       : std::string());
        }
    }

    // Each placement after the first against it, stage by stage.
    for (const uint32_t offset : run.settings.lineOffsets) {
        const uint32_t first = run.settings.lineOffsets.front();
        if (offset == first) continue;
        for (const StageTiming& t : run.timings) {
            if (t.lineOffset != offset) continue;
            const StageTiming* base = nullptr;
            for (const StageTiming& b : run.timings)
                if (b.lineOffset == first && b.path == t.path && b.entry == t.entry && b.N == t.N) base = &b;
            if (base == nullptr || base->seconds.size() != t.seconds.size()) continue;
            const auto names = rowNames(t.plan);
            put(out, "\nentry {} at N = {} ({}), arrays {} / {}: whole {:.2f}x", t.entry, powerOfTwoText(t.N), t.path,
                lineOffsetText(offset, true), lineOffsetText(first, true), base->wholeSeconds > 0 ? t.wholeSeconds / base->wholeSeconds : 0.0);
            std::string cells;
            for (size_t r = 0; r < t.seconds.size(); ++r)
                cells += fmt::format("{}{} {}", r == 0 ? "" : ", ", names[r],
                                     base->seconds[r] > 0 ? fmt::format("{:.2f}x", t.seconds[r] / base->seconds[r])
                                                          : std::string("-"));
            put(out, "; {}\n", cells);
        }
    }

    // The agreement, entries across, sizes down, per path.
    for (const std::string& path : run.paths) {
        std::map<std::pair<uint32_t, uint32_t>, double> deviation;
        std::map<uint32_t, double> widestSpread;  // per N, of the whole transforms' measurements
        for (const StageTiming& t : run.timings)
            if (t.path == path && t.lineOffset == run.settings.lineOffsets.front()) {
                deviation[{t.N, t.entry}] = t.sumDeviation();
                widestSpread[t.N] = std::max(widestSpread[t.N], t.wholeSpread);
            }
        if (deviation.empty()) continue;
        put(out, "\nstages' sum / whole transform - 1, in % ({})\n{:>5}", path, "N");
        for (const uint32_t e : run.entries) put(out, " {:>7}", e);
        put(out, "   whole's own measurements, widest apart\n");
        double worst = 0;
        for (const uint32_t N : run.sizes) {
            std::string row = fmt::format("{:>5}", powerOfTwoText(N));
            bool any = false;
            for (const uint32_t e : run.entries) {
                const auto found = deviation.find({N, e});
                any = any || found != deviation.end();
                row += fmt::format(" {:>7}", found == deviation.end() ? std::string("-")
                                                                      : fmt::format("{:+.1f}", 100 * found->second));
                if (found != deviation.end()) worst = std::max(worst, std::fabs(found->second));
            }
            if (any) put(out, "{}   {:.0f} %\n", row, 100 * widestSpread[N]);
        }
        put(out, "largest |sum - whole| / whole: {:.1f} %\n", 100 * worst);
    }
    for (const StageTiming& t : run.timings)
        if (!t.sameBits)
            put(out, "\nentry {} at N = {} ({}): the stage build run to its last stage gave other bits than the "
                "shipped library\n",
                t.entry, powerOfTwoText(t.N), t.path);
    return out;
}

std::string stagesCsv(const StageRun& run) {
    std::string csv;
    for (size_t i = 0; i < kStageColumns.size(); ++i) csv += (i ? "," : "") + kStageColumns[i];
    csv += "\r\n";
    for (const StageTiming& t : run.timings) {
        const auto names = rowNames(t.plan);
        const double sum = t.sumSeconds();
        for (size_t r = 0; r < t.plan.rows.size(); ++r) {
            const StageRow& row = t.plan.rows[r];
            const auto limit = limitOf(t, r);
            csv += fmt::format(
                "{},{},{},{},{},{},{},{},{},{},{},{:.6g},{:.4g},{},{},{},{},{:.6g},{:.6g},{:.4g},{},{},{:.4g}\r\n", t.path,
                t.kernelPath, t.entry, t.N, fftplug::host::log2Exact(t.N), r, kindName(row.kind), csvField(names[r]),
                row.block, row.apart, row.occurrences, t.seconds[r] * 1e6, sum > 0 ? t.seconds[r] / sum : 0.0,
                r < t.leastSeconds.size() && t.leastSeconds[r] ? fmt::format("{:.6g}", *t.leastSeconds[r] * 1e6) : "",
                limit ? fmt::format("{:.4g}", *limit) : "", r < t.bound.size() ? csvField(t.bound[r]) : "",
                r < t.leftOut.size() ? csvField(t.leftOut[r]) : "", t.wholeSeconds * 1e6, sum * 1e6,
                100 * t.sumDeviation(), t.sameBits ? 1 : 0, t.lineOffset, 100 * t.wholeSpread);
        }
    }
    return csv;
}

std::string stagesJson(const StageRun& run, const std::string& version) {
    using json = nlohmann::ordered_json;
    json timings = json::array();
    for (const StageTiming& t : run.timings) {
        const auto names = rowNames(t.plan);
        const double sum = t.sumSeconds();
        json stages = json::array();
        for (size_t r = 0; r < t.plan.rows.size(); ++r) {
            const StageRow& row = t.plan.rows[r];
            const auto limit = limitOf(t, r);
            stages.push_back(
                {{"row", r},
                 {"kind", kindName(row.kind)},
                 {"label", names[r]},
                 {"block", row.block},
                 {"apart", row.apart},
                 {"occurrences", row.occurrences},
                 {"time_per_transform_us", t.seconds[r] * 1e6},
                 {"share", sum > 0 ? t.seconds[r] / sum : 0.0},
                 {"least_time_per_transform_us",
                  r < t.leastSeconds.size() && t.leastSeconds[r] ? json(*t.leastSeconds[r] * 1e6) : json(nullptr)},
                 {"limit_percent", limit ? json(*limit) : json(nullptr)},
                 {"limit_bound", r < t.bound.size() && !t.bound[r].empty() ? json(t.bound[r]) : json(nullptr)},
                 {"left_out", r < t.leftOut.size() && !t.leftOut[r].empty() ? json(t.leftOut[r]) : json(nullptr)}});
        }
        timings.push_back({{"path", t.path},
                           {"kernel_path", t.kernelPath.empty() ? json(nullptr) : json(t.kernelPath)},
                           {"entry", t.entry},
                           {"n", t.N},
                           {"log2n", fftplug::host::log2Exact(t.N)},
                           {"whole_time_per_transform_us", t.wholeSeconds * 1e6},
                           {"all_stages_time_per_transform_us", t.allStagesSeconds * 1e6},
                           {"stage_sum_time_per_transform_us", sum * 1e6},
                           {"sum_deviation_percent", 100 * t.sumDeviation()},
                           {"whole_spread_percent", 100 * t.wholeSpread},
                           {"same_bits", t.sameBits},
                           {"line_offset_bytes", t.lineOffset},
                           {"stages", stages}});
    }
    json rates = json::array();
    for (const PeakRates& p : run.rates)
        rates.push_back({{"path", p.path},
                         {"add_gop_per_s", p.additionsPerSecond / 1e9},
                         {"multiply_gop_per_s", p.multiplicationsPerSecond / 1e9}});
    const json document = {{"tool", "fftbench"},
                           {"version", version},
                           {"command", "stages"},
                           {"cpu", {{"brand", run.cpu.brand}, {"family", run.cpu.family}, {"model", run.cpu.model}}},
                           {"settings",
                            {{"min_time_ms", run.settings.minSeconds * 1e3},
                             {"measurements", run.settings.measurements},
                             {"confirm_within_percent", run.settings.confirmWithin * 100},
                             {"seed", run.settings.seed},
                             {"line_offsets_bytes", run.settings.lineOffsets},
                             {"sizes", run.sizes},
                             {"entries", run.entries},
                             {"paths", run.paths}}},
                           {"rates", rates},
                           {"interrupted", run.interrupted},
                           {"timings", timings}};
    return document.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

// ---- the pictures --------------------------------------------------------------

std::string stageColour(const StageRow& row, uint32_t N) {
    if (row.kind == StageRow::Kind::copy) return "#b0b6bf";
    // The access maps' ramp (trace_output.cpp): hues from 250 down to 0 over
    // the distances 2^0 … 2^(log2 N - 1), at the lightness of loads and stores together.
    const unsigned spans = std::max(1u, fftplug::host::log2Exact(std::max(N, 2u)));
    const unsigned k = std::min(spans - 1, fftplug::host::log2Exact(std::max(row.apart, 1u)));
    const double hue = spans <= 1 ? 220.0 : 250.0 - 250.0 * k / (spans - 1);
    const double lightness = row.kind == StageRow::Kind::leaves ? 0.70 : 0.52, saturation = 0.75;
    const double c = (1 - std::fabs(2 * lightness - 1)) * saturation;
    const double hp = hue / 60.0;
    const double x = c * (1 - std::fabs(std::fmod(hp, 2.0) - 1));
    double r = 0, g = 0, b = 0;
    if (hp < 1) r = c, g = x;
    else if (hp < 2) r = x, g = c;
    else if (hp < 3) g = c, b = x;
    else if (hp < 4) g = x, b = c;
    else if (hp < 5) r = x, b = c;
    else r = c, b = x;
    const double m = lightness - c / 2;
    auto byte = [&](double v) { return static_cast<int>(std::lround(255 * (v + m))); };
    return fmt::format("#{:02x}{:02x}{:02x}", byte(r), byte(g), byte(b));
}

namespace {

std::vector<const StageTiming*> barsAt(const StageRun& run, uint32_t N, const std::string& path) {
    const std::string& chosen = path.empty() && !run.paths.empty() ? run.paths.front() : path;
    std::vector<const StageTiming*> bars;
    for (const StageTiming& t : run.timings)
        if (t.N == N && t.path == chosen && t.lineOffset == run.settings.lineOffsets.front()) bars.push_back(&t);
    return bars;
}

}  // namespace

std::string stagePlotPath(const std::string& path, uint32_t N) {
    const size_t dot = path.find_last_of('.');
    const size_t slash = path.find_last_of("/\\");
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return hasExtension ? fmt::format("{}-n{}{}", path.substr(0, dot), N, path.substr(dot))
                        : fmt::format("{}-n{}", path, N);
}

std::string stagesGnuplotScript(const StageRun& run, uint32_t N, const std::string& plotPath, PlotFormat format,
                                const std::string& path) {
    const auto bars = barsAt(run, N, path);
    std::string script = gnuplotSetup(format, plotPath, 650,
                                      fmt::format("fftbench stages: N = {} ({}{}), time of each stage per transform",
                                                  powerOfTwoText(N), bars.empty() ? path : bars.front()->path,
                                                  bars.empty() || bars.front()->kernelPath.empty()
                                                      ? ""
                                                      : ": " + bars.front()->kernelPath));
    script += "set xlabel 'entry'\nset ylabel 'us per transform'\nset yrange [0:*]\nunset grid\nset grid ytics\n";
    std::string tics, rows;
    std::map<std::string, std::string> legend;  // colour -> words, in the order of first use
    std::vector<std::string> legendOrder;
    for (size_t b = 0; b < bars.size(); ++b) {
        const StageTiming& t = *bars[b];
        tics += fmt::format("{}'{}' {}", tics.empty() ? "" : ", ", t.entry, b);
        double below = 0;
        const auto names = rowNames(t.plan);
        for (size_t r = 0; r < t.plan.rows.size(); ++r) {
            const double us = std::max(0.0, t.seconds[r] * 1e6);
            const std::string colour = stageColour(t.plan.rows[r], N);
            rows += fmt::format("{} {:.6g} {} {} {:.6g} {:.6g} 0x{}\n", b, below + us / 2, b - 0.35, b + 0.35, below,
                                below + us, colour.substr(1));
            below += us;
            const std::string words = t.plan.rows[r].kind == StageRow::Kind::copy ? "copy"
                                      : t.plan.rows[r].kind == StageRow::Kind::leaves
                                          ? "leaf blocks"
                                          : fmt::format("apart {}", t.plan.rows[r].apart);
            if (!legend.count(colour)) {
                legend[colour] = words;
                legendOrder.push_back(colour);
            }
        }
        // The whole transform, a mark beside the bar.
        rows += fmt::format("{} {:.6g} {} {} {:.6g} {:.6g} 0x000000\n", b, t.wholeSeconds * 1e6, b + 0.36, b + 0.42,
                            t.wholeSeconds * 1e6, t.wholeSeconds * 1e6);
    }
    script += fmt::format("set xtics ({})\nset xrange [-0.7:{}]\n", tics, std::max<size_t>(bars.size(), 1) - 0.3);
    script += dataBlock("$bars", rows);
    std::string plot = "plot $bars using 1:2:3:4:5:6:7 with boxxyerror fs solid 1.0 border lc rgb '#333333' "
                       "fc rgb variable notitle";
    for (const std::string& colour : legendOrder)
        plot += fmt::format(", \\\n     NaN with boxes fs solid 1.0 lc rgb '{}' title {}", colour,
                            gnuplotString(legend[colour]));
    plot += ", \\\n     NaN with lines lc rgb '#000000' lw 2 title 'whole transform (shipped library)'";
    script += plot + "\n";
    return script;
}

std::optional<std::string> renderStagePlots(const StageRun& run, const std::string& plotPath) {
    const auto format = plotFormatFor(plotPath);
    if (!format) return "--plot " + plotPath + ": the name must end in .svg or .png";
    for (const uint32_t N : run.sizes) {
        if (barsAt(run, N, "").empty()) continue;
        const std::string path = stagePlotPath(plotPath, N);
        if (auto problem = runGnuplot(stagesGnuplotScript(run, N, path, *format), path)) return problem;
    }
    return std::nullopt;
}

std::string stagesSvg(const StageRun& run, uint32_t N, const std::string& path) {
    const auto bars = barsAt(run, N, path);
    const double width = 640, height = 320, left = 64, right = 170, top = 36, bottom = 40;
    const double plotWidth = width - left - right, plotHeight = height - top - bottom;
    double highest = 0;
    for (const StageTiming* t : bars) {
        double stacked = 0;  // the segments drawn: a stage measured below zero (noise) is none
        for (const double seconds : t->seconds) stacked += std::max(0.0, seconds);
        highest = std::max({highest, stacked, t->wholeSeconds});
    }
    // A round scale: 1, 2 or 5 times a power of ten per gridline, about five of them.
    const double us = std::max(highest * 1e6, 1e-3);
    double step = std::pow(10.0, std::floor(std::log10(us / 5)));
    if (us / step > 25) step *= 5;
    else if (us / step > 10) step *= 2;
    const double scaleTop = std::ceil(us / step) * step;
    auto yOf = [&](double value) { return top + plotHeight * (1 - value / scaleTop); };
    SvgWriter svg(width, height, "st",
                  ".st text { font-family: \"DejaVu Sans\", \"Liberation Sans\", Arial, sans-serif; fill: #222; }"
                  ".st .title { font-size: 13px; font-weight: bold; } .st .label { font-size: 10px; fill: #555; }"
                  ".st .grid { stroke: #e3e6ea; } .st .segment { stroke: #333; stroke-width: 0.5; }"
                  ".st .whole { stroke: #000; stroke-width: 2; }");
    svg.attr("class", "title")
        .text(left, 20, fmt::format("Time of each stage at N = {} ({}{}), us per transform", powerOfTwoText(N),
                                    bars.empty() ? path : bars.front()->path,
                                    bars.empty() || bars.front()->kernelPath.empty() ? "" : ": " + bars.front()->kernelPath));
    for (double v = 0; v <= scaleTop + step / 2; v += step) {
        svg.attr("class", "grid").line(left, yOf(v), left + plotWidth, yOf(v));
        svg.attr("class", "label").attr("text-anchor", "end").text(left - 6, yOf(v) + 3, fmt::format("{:g}", v));
    }
    const double slot = plotWidth / std::max<size_t>(bars.size(), 1);
    std::vector<std::pair<std::string, std::string>> legend;
    for (size_t b = 0; b < bars.size(); ++b) {
        const StageTiming& t = *bars[b];
        const double x = left + slot * b + slot * 0.2, barWidth = slot * 0.6;
        double below = 0;
        const auto names = rowNames(t.plan);
        for (size_t r = 0; r < t.plan.rows.size(); ++r) {
            const double value = std::max(0.0, t.seconds[r] * 1e6);
            const std::string colour = stageColour(t.plan.rows[r], N);
            svg.openGroup();
            svg.title(fmt::format("entry {}, {} ({}): {:.4g} us, {:.1f} %{}", t.entry, names[r], t.plan.rows[r].shape(),
                                  value, t.sumSeconds() > 0 ? 100 * t.seconds[r] / t.sumSeconds() : 0.0,
                                  r < t.bound.size() && !t.bound[r].empty() ? ", bound by " + t.bound[r] : ""));
            svg.attr("class", "segment").attr("fill", colour).rect(x, yOf(below + value), barWidth, yOf(below) - yOf(below + value));
            svg.closeGroup();
            below += value;
            const std::string words = t.plan.rows[r].kind == StageRow::Kind::copy     ? "copy"
                                      : t.plan.rows[r].kind == StageRow::Kind::leaves ? "leaf blocks"
                                                                                      : fmt::format("apart {}", t.plan.rows[r].apart);
            if (std::none_of(legend.begin(), legend.end(), [&](const auto& l) { return l.first == colour; }))
                legend.emplace_back(colour, words);
        }
        svg.attr("class", "whole").line(x - 3, yOf(t.wholeSeconds * 1e6), x + barWidth + 3, yOf(t.wholeSeconds * 1e6));
        svg.attr("class", "label").attr("text-anchor", "middle").text(x + barWidth / 2, top + plotHeight + 14,
                                                                     fmt::format("entry {}", t.entry));
    }
    double ly = top + 4;
    for (const auto& [colour, words] : legend) {
        svg.attr("class", "segment").attr("fill", colour).rect(width - right + 14, ly, 10, 10);
        svg.attr("class", "label").text(width - right + 30, ly + 9, words);
        ly += 14;
        if (ly > height - 30) break;
    }
    svg.attr("class", "whole").line(width - right + 12, ly + 6, width - right + 26, ly + 6);
    svg.attr("class", "label").text(width - right + 30, ly + 9, "whole transform");
    return svg.finish();
}

}  // namespace fftbench
