// `fftbench bench` as pictures: mflops against log2 N (with several
// plug-ins a second panel of each entry's ratio to the first plug-in), and
// beside it the relative RMS error against log2 N with verify's bound.
#include <fmt/format.h>

#include <algorithm>
#include <cstdio>

#include "render/bench_output.h"

namespace fftbench {

namespace {

std::string fileName(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// "3 DIF r2 reversed half", or "libfftplug-avx2: 3 DIF r2 reversed half" in a run of several plug-ins.
std::string legendLabel(const BenchRun& bench, const Contender& contender) {
    return bench.plugins.size() > 1 && !contender.plugin.empty() ? contender.plugin + ": " + contender.label
                                                                  : contender.label;
}

// An entry in its own colour, in its plug-in's variant; a peer numbered
// `peer` in the peers' colours.
LineStyle styleOf(const BenchRun& bench, const Contender& contender, size_t peer) {
    LineStyle style;
    style.several = bench.plugins.size() > 1;
    if (!contender.entry) {
        style.peer = true;
        style.colour = peerColour(peer);
        return style;
    }
    style.colour = *contender.entry;
    style.dotted = contender.reorder;
    for (size_t p = 0; p < bench.plugins.size(); ++p)
        if (bench.plugins[p].label == contender.plugin) style.variant = p;
    return style;
}

// The rows "log2N value" of one contender, for the values `pick` gives.
template <typename Pick>
std::string rowsOf(const BenchRun& bench, const Contender& contender, Pick pick) {
    std::string rows;
    for (const BenchResult& r : bench.results)
        if (r.implementation == contender.implementation && r.plugin == contender.plugin)
            if (const std::optional<double> value = pick(r)) rows += fmt::format("{} {:.6g}\n", r.log2N, *value);
    return rows;
}

}  // namespace

std::string gnuplotScript(const BenchRun& bench, const std::string& path, PlotFormat format) {
    const bool several = bench.plugins.size() > 1;
    std::string plugins;
    for (const PluginInfo& p : bench.plugins) plugins += (plugins.empty() ? "" : " vs ") + fileName(p.path);
    std::string script = gnuplotSetup(
        format, path, several ? 1100 : 700,
        fmt::format("fftbench: {} (best of {}, at least {:g} ms a measurement){}", plugins, bench.settings.measurements,
                    bench.settings.minSeconds * 1e3, bench.interrupted ? ", interrupted" : ""));
    script += "set ylabel 'mflops = 5 N log2 N / time of one transform in us'\nset yrange [0:*]\n";

    std::string plotCommand, ratioCommand;
    size_t blocks = 0, peers = 0;
    for (const Contender& contender : bench.contenders) {
        const std::string block = rowsOf(bench, contender, [](const BenchResult& r) { return std::optional(r.mflops); });
        if (block.empty()) continue;
        const LineStyle style = styleOf(bench, contender, peers);
        if (!contender.entry) ++peers;
        const std::string name = fmt::format("$d{}", blocks++);
        script += dataBlock(name, block);
        plotCommand += fmt::format("{}{} using 1:2 with linespoints {} title {}", plotCommand.empty() ? "plot " : ", \\\n     ",
                                   name, lineStyle(style), gnuplotString(legendLabel(bench, contender)));
        const std::string ratioBlock = rowsOf(bench, contender, [](const BenchResult& r) { return r.ratioToFirst; });
        if (several && !ratioBlock.empty() && contender.plugin != bench.plugins.front().label) {
            const std::string ratioName = fmt::format("$r{}", blocks - 1);
            script += dataBlock(ratioName, ratioBlock);
            ratioCommand += fmt::format("{}{} using 1:2 with linespoints {} title {}",
                                        ratioCommand.empty() ? "plot 1 with lines lw 1 lc rgb '#000000' notitle, \\\n     "
                                                             : ", \\\n     ",
                                        ratioName, lineStyle(style), gnuplotString(legendLabel(bench, contender)));
        }
    }
    if (blocks == 0) {
        script += "set label 1 'no measurements' at graph 0.5, graph 0.5 center\nplot [0:1] NaN notitle\n";
    } else if (ratioCommand.empty()) {
        script += plotCommand + "\n";
    } else {
        // Two panels sharing the x axis: mflops above, the ratio to the first plug-in below.
        // The legends placed by hand beside each panel: with fixed margins
        // gnuplot's "outside" placement can overlap the graph.
        script += "set multiplot\nset lmargin at screen 0.07\nset rmargin at screen 0.66\n";
        script += "set tmargin at screen 0.95\nset bmargin at screen 0.47\n";
        script += "set key at screen 0.68, screen 0.95 left top Left reverse\n";
        script += plotCommand + "\n";
        script += "set title " + gnuplotString("each entry against the same entry of " + bench.plugins.front().label) + "\n";
        script += "set ylabel " + gnuplotString("mflops / mflops of " + bench.plugins.front().label) + "\n";
        script += "set tmargin at screen 0.37\nset bmargin at screen 0.05\n";
        script += "set key at screen 0.68, screen 0.37 left top Left reverse\n";
        script += ratioCommand + "\nunset multiplot\n";
    }
    script += "unset output\n";
    return script;
}

namespace {

// "out/bench.svg" with `suffix` before the extension.
std::string besidePath(const std::string& plotPath, const std::string& suffix) {
    const size_t dot = plotPath.find_last_of('.');
    const size_t slash = plotPath.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return plotPath + suffix;
    return plotPath.substr(0, dot) + suffix + plotPath.substr(dot);
}

}  // namespace

std::string accuracyPlotPath(const std::string& plotPath) { return besidePath(plotPath, "-accuracy"); }

std::string limitPlotPath(const std::string& plotPath) { return besidePath(plotPath, "-limit"); }

std::string limitGnuplotScript(const BenchRun& bench, const std::string& path, PlotFormat format) {
    std::string script = gnuplotSetup(
        format, path, 700,
        fmt::format("fftbench: each entry against the least time its counted operations need on this processor{}",
                    bench.interrupted ? ", interrupted" : ""));
    script += "set ylabel 'limit % = least time at the peak rates / measured time'\nset yrange [0:110<*]\n";
    std::string plot;
    size_t blocks = 0;
    for (const Contender& contender : bench.contenders) {
        if (!contender.entry) continue;
        const std::string block = rowsOf(bench, contender, [](const BenchResult& r) { return r.limitPercent; });
        if (block.empty()) continue;
        const std::string name = fmt::format("$l{}", blocks++);
        script += dataBlock(name, block);
        plot += fmt::format("{}{} using 1:2 with linespoints {} title {}", plot.empty() ? "plot " : ", \\\n     ", name,
                            lineStyle(styleOf(bench, contender, 0)), gnuplotString(legendLabel(bench, contender)));
    }
    if (plot.empty()) {
        const std::string why = bench.rates.empty() ? "no peak rates measured (--no-rates)"
                                                    : "no entry the instrumented build describes";
        // A fixed range: gnuplot cannot autoscale a plot without points.
        script += "set yrange [0:110]\nset label 1 " + gnuplotString(why) +
                  " at graph 0.5, graph 0.5 center\nplot [0:1] NaN notitle\n";
    } else {
        script += plot + ", \\\n     100 with lines lw 1 dt 3 lc rgb '#000000' title 'the limit'\n";
    }
    script += "unset output\n";
    return script;
}

std::string accuracyGnuplotScript(const BenchRun& bench, const std::string& path, PlotFormat format) {
    std::string script = gnuplotSetup(format, path, 700,
                                      fmt::format("fftbench: accuracy against a double-precision reference{}",
                                                  bench.interrupted ? ", interrupted" : ""));
    script += "set ylabel 'relative RMS error'\nset logscale y\nset format y '%.0e'\n";
    // Labels between the decades too: single-precision errors span one or two.
    script += "set ytics add ('2e-8' 2e-8, '5e-8' 5e-8, '2e-7' 2e-7, '5e-7' 5e-7, '2e-6' 2e-6, '5e-6' 5e-6)\n";
    // The bound verify holds every entry to.
    script += "bound(x) = 1.5e-7 * sqrt(x + 1)\n";
    std::string plot;
    size_t blocks = 0, peers = 0;
    for (const Contender& contender : bench.contenders) {
        if (contender.reorder) continue;  // the same bits as the plain entry
        const std::string block = rowsOf(bench, contender, [](const BenchResult& r) {
            return r.error > 0 ? std::optional(r.error) : std::nullopt;
        });
        if (block.empty()) continue;
        const LineStyle style = styleOf(bench, contender, peers);
        if (!contender.entry) ++peers;
        const std::string name = fmt::format("$e{}", blocks++);
        script += dataBlock(name, block);
        plot += fmt::format("{}{} using 1:2 with linespoints {} title {}", plot.empty() ? "plot " : ", \\\n     ", name,
                            lineStyle(style), gnuplotString(legendLabel(bench, contender)));
    }
    if (plot.empty()) {
        script += "unset logscale y\nset label 1 'no measurements' at graph 0.5, graph 0.5 center\nplot [0:1] NaN notitle\n";
    } else {
        const auto [lowest, highest] = std::minmax_element(
            bench.results.begin(), bench.results.end(),
            [](const BenchResult& a, const BenchResult& b) { return a.log2N < b.log2N; });
        script += fmt::format("set xrange [{}:{}]\n", lowest->log2N, std::max(highest->log2N, lowest->log2N + 1));
        script += plot + ", \\\n     bound(x) with lines lw 1 dt 3 lc rgb '#000000' title 'bound of fftbench verify'\n";
    }
    script += "unset output\n";
    return script;
}

std::optional<std::string> renderPlot(const BenchRun& bench, const std::string& path) {
    const auto format = plotFormatFor(path);
    if (!format) return fmt::format("{}: a plot file name must end in .svg or .png", path);
    const std::string accuracy = accuracyPlotPath(path);
    if (auto problem = runGnuplot(gnuplotScript(bench, path, *format), path)) {
        std::remove(accuracy.c_str());
        return problem;
    }
    if (auto problem = runGnuplot(accuracyGnuplotScript(bench, accuracy, *format), accuracy)) {
        std::remove(path.c_str());  // all plots or none
        return problem;
    }
    // No limit % without the rates: no chart of nothing.
    if (std::none_of(bench.results.begin(), bench.results.end(), [](const BenchResult& r) { return r.limitPercent; }))
        return std::nullopt;
    const std::string limit = limitPlotPath(path);
    if (auto problem = runGnuplot(limitGnuplotScript(bench, limit, *format), limit)) {
        std::remove(path.c_str());
        std::remove(accuracy.c_str());
        return problem;
    }
    return std::nullopt;
}

}  // namespace fftbench
