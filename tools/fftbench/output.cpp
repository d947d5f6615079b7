#include "output.h"

#include <fmt/format.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>

#include "cli.h"
#include "cpu.h"
#include "peers.h"

#if defined(_WIN32)
#define popen _popen
#define pclose _pclose
#else
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fftbench {

const std::vector<std::string> kResultColumns{
    "implementation", "entry",        "name",   "n",
    "log2n",          "repetitions",  "measurements", "time_per_transform_us",
    "ns_per_point",   "mflops",       "relative_rms_error",    "plugin",
    "ratio_to_first_plugin", "counted_flops", "counted_mflops"};

std::string csvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

std::string gnuplotString(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("''") : std::string(1, c);
    return quoted + "'";
}

namespace {

std::string fileName(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

namespace {

// What the tables call a result: "entry 3" in a run of one plug-in,
// "libfftplug-avx2 entry 3" in a run of several; a peer by its own name.
std::string resultName(const BenchRun& bench, const std::string& plugin, const std::string& implementation) {
    return bench.plugins.size() > 1 && !plugin.empty() ? plugin + " " + implementation : implementation;
}

// "3 DIF r2 reversed half", or "libfftplug-avx2: 3 DIF r2 reversed half" in a run of several plug-ins.
std::string legendLabel(const BenchRun& bench, const Contender& contender) {
    return bench.plugins.size() > 1 && !contender.plugin.empty() ? contender.plugin + ": " + contender.label
                                                                  : contender.label;
}

std::string ratioText(double ratio) { return fmt::format("{:.2f}", ratio); }

// The figures of one plug-in side by side, sizes down, its entries and the
// peers across, and the best entry against fftwf at the end.
// `plugin` null: every entry (a run of one plug-in).
void printMflopsBlock(std::FILE* out, const BenchRun& bench, const std::string* plugin, const std::string& heading) {
    std::vector<const Contender*> columns;
    for (const Contender& c : bench.contenders)
        if (!c.entry || plugin == nullptr || c.plugin == *plugin) columns.push_back(&c);
    std::map<std::pair<std::string, std::string>, std::map<uint32_t, double>> figures;
    for (const BenchResult& r : bench.results) figures[{r.plugin, r.implementation}][r.N] = r.mflops;
    const auto& fftw = figures[{"", "fftwf"}];
    const bool againstFftw = !fftw.empty() && std::any_of(columns.begin(), columns.end(), [](const Contender* c) {
        return c->entry.has_value();
    });

    fmt::print(out, "\n{}\n{:>5}", heading, "N");
    for (const Contender* column : columns)
        fmt::print(out, " {:>8}", column->entry ? std::to_string(*column->entry) : column->implementation);
    if (againstFftw) fmt::print(out, " {:>10}", "best/fftwf");
    fmt::print(out, "\n");
    for (const uint32_t N : bench.sizes) {
        std::string row = fmt::format("{:>5}", powerOfTwoText(N));
        bool any = false;
        double best = 0;
        for (const Contender* column : columns) {
            const auto& byN = figures[{column->plugin, column->implementation}];
            const auto found = byN.find(N);
            if (found == byN.end()) {
                row += fmt::format(" {:>8}", "-");
                continue;
            }
            any = true;
            if (column->entry) best = std::max(best, found->second);
            row += fmt::format(" {:>8.0f}", found->second);
        }
        if (againstFftw) {
            const auto reference = fftw.find(N);
            row += reference != fftw.end() && best > 0 && reference->second > 0
                       ? fmt::format(" {:>10}", ratioText(best / reference->second))
                       : fmt::format(" {:>10}", "-");
        }
        if (any) fmt::print(out, "{}\n", row);
    }
}

// Each entry of a later plug-in against the same entry of the first.
void printRatioBlock(std::FILE* out, const BenchRun& bench, const PluginInfo& plugin) {
    std::vector<uint32_t> entries;
    std::map<std::pair<uint32_t, uint32_t>, double> ratios;
    for (const BenchResult& r : bench.results) {
        if (r.plugin != plugin.label || !r.entry) continue;
        if (std::find(entries.begin(), entries.end(), *r.entry) == entries.end()) entries.push_back(*r.entry);
        if (r.ratioToFirst) ratios[{*r.entry, r.N}] = *r.ratioToFirst;
    }
    if (ratios.empty()) return;
    fmt::print(out, "\nmflops of {} / mflops of {}\n{:>5}", plugin.label, bench.plugins.front().label, "N");
    for (const uint32_t entry : entries) fmt::print(out, " {:>8}", entry);
    fmt::print(out, "\n");
    for (const uint32_t N : bench.sizes) {
        std::string row = fmt::format("{:>5}", powerOfTwoText(N));
        bool any = false;
        for (const uint32_t entry : entries) {
            const auto found = ratios.find({entry, N});
            any = any || found != ratios.end();
            row += fmt::format(" {:>8}", found == ratios.end() ? std::string("-") : ratioText(found->second));
        }
        if (any) fmt::print(out, "{}\n", row);
    }
}

std::string rangeText(const RangeFigure& figure) {
    return fmt::format("{} 2^{}..2^{}", figure.minimum ? "minimum" : "geometric mean", figure.fromLog2, figure.toLog2);
}

// The run in a few numbers: the best entry against fftwf over ranges of
// sizes, and each later plug-in against the first.
void printSummary(std::FILE* out, const BenchRun& bench) {
    const std::vector<PluginSummary> summaries = summarize(bench);
    std::vector<std::pair<bool, std::pair<unsigned, unsigned>>> rows;  // (minimum, range), in first-seen order
    for (const PluginSummary& s : summaries)
        for (const RangeFigure& f : s.bestOverFftw)
            if (std::find(rows.begin(), rows.end(), std::pair{f.minimum, std::pair{f.fromLog2, f.toLog2}}) == rows.end())
                rows.push_back({f.minimum, {f.fromLog2, f.toLog2}});
    if (!rows.empty()) {
        size_t width = 12;
        for (const PluginSummary& s : summaries) width = std::max(width, s.plugin.size());
        std::string heading = fmt::format("{:<38}", "best entry / fftwf");
        if (bench.plugins.size() > 1)
            for (const PluginSummary& s : summaries) heading += fmt::format("  {:>{}}", s.plugin, width);
        while (heading.back() == ' ') heading.pop_back();
        fmt::print(out, "\n{}\n", heading);
        for (const auto& [minimum, range] : rows) {
            std::string cells;
            size_t sizes = 0;
            for (const PluginSummary& s : summaries) {
                std::string cell = "-";
                for (const RangeFigure& f : s.bestOverFftw)
                    if (f.minimum == minimum && f.fromLog2 == range.first && f.toLog2 == range.second) {
                        cell = ratioText(f.value) + (minimum ? " at " + powerOfTwoText(f.atN) : "");
                        sizes = std::max(sizes, f.sizes);
                    }
                cells += fmt::format("  {:>{}}", cell, width);
            }
            const RangeFigure nominal{minimum, range.first, range.second};
            fmt::print(out, "{:<38}{}\n",
                       fmt::format("  {} ({} size{})", rangeText(nominal), sizes, sizes == 1 ? "" : "s"), cells);
        }
    }

    // Later plug-ins against the first: all entries together, then each.
    std::vector<std::optional<uint32_t>> entries;
    for (const PluginSummary& s : summaries)
        for (const EntryRatio& r : s.ratios)
            if (std::find(entries.begin(), entries.end(), r.entry) == entries.end()) entries.push_back(r.entry);
    if (entries.empty()) return;
    size_t width = 7;
    for (const PluginSummary& s : summaries) width = std::max(width, s.plugin.size());
    fmt::print(out, "\nmflops / mflops of {}, geometric mean over 2^{}..2^{}\n{:<{}}", bench.plugins.front().label,
               kRatioFromLog2, kRatioToLog2, "plug-in", width);
    for (const auto& entry : entries) fmt::print(out, " {:>6}", entry ? std::to_string(*entry) : "all");
    fmt::print(out, "\n");
    for (const PluginSummary& s : summaries) {
        if (s.ratios.empty()) continue;
        fmt::print(out, "{:<{}}", s.plugin, width);
        for (const auto& entry : entries) {
            std::string cell = "-";
            for (const EntryRatio& r : s.ratios)
                if (r.entry == entry) cell = ratioText(r.geometricMean);
            fmt::print(out, " {:>6}", cell);
        }
        fmt::print(out, "\n");
    }
}

}  // namespace

void printBenchTable(std::FILE* out, const BenchRun& bench) {
    const bool several = bench.plugins.size() > 1;
    for (size_t p = 0; p < bench.plugins.size(); ++p) {
        const PluginInfo& plugin = bench.plugins[p];
        if (several)
            fmt::print(out, "{:<14}{}: {} (signature {}, creator \"{}\")\n", fmt::format("plug-in {}", p + 1),
                       plugin.label, plugin.path, plugin.signature, plugin.creator);
        else
            fmt::print(out, "plug-in       {} (signature {}, creator \"{}\")\n", plugin.path, plugin.signature,
                       plugin.creator);
    }
    printCpu(out, bench.cpu, 14);
    fmt::print(out, "method        best of {} measurements of at least {:g} ms each; mflops = 5 N log2 N / (us per transform)\n",
               bench.settings.measurements, bench.settings.minSeconds * 1e3);
    fmt::print(out, "sizes         {}\n", describeSizes(bench.sizes));
    if (bench.interrupted) fmt::print(out, "interrupted   yes: the table holds what was measured before Ctrl-C\n");
    size_t width = 16;
    for (const BenchResult& r : bench.results)
        width = std::max(width, resultName(bench, r.plugin, r.implementation).size());
    fmt::print(out, "\n{:<{}} {:>5} {:>11} {:>14} {:>10} {:>10} {:>10} {:>10}\n", "implementation", width, "N", "reps",
               "us/transform", "ns/point", "mflops", "counted", "error");
    std::string previous;
    for (const BenchResult& r : bench.results) {
        const std::string name = resultName(bench, r.plugin, r.implementation);
        if (!previous.empty() && previous != name) fmt::print(out, "\n");
        previous = name;
        fmt::print(out, "{:<{}} {:>5} {:>11} {:>14.4g} {:>10.4g} {:>10.1f} {:>10} {:>10.2e}\n", name, width,
                   powerOfTwoText(r.N), r.reps, r.secondsPerTransform * 1e6, r.nsPerPoint, r.mflops,
                   r.countedMflops ? fmt::format("{:.1f}", *r.countedMflops) : std::string("-"), r.error);
    }
    if (bench.results.empty()) return;

    if (!several) {
        printMflopsBlock(out, bench, nullptr, "mflops");
    } else {
        for (const PluginInfo& plugin : bench.plugins) printMflopsBlock(out, bench, &plugin.label, "mflops of " + plugin.label);
        for (size_t p = 1; p < bench.plugins.size(); ++p) printRatioBlock(out, bench, bench.plugins[p]);
    }
    printSummary(out, bench);
}

std::string benchCsv(const BenchRun& bench) {
    std::string csv;
    for (size_t i = 0; i < kResultColumns.size(); ++i) csv += (i ? "," : "") + kResultColumns[i];
    csv += "\r\n";
    for (const BenchResult& r : bench.results) {
        csv += fmt::format("{},{},{},{},{},{},{},{:.6g},{:.6g},{:.6g},{:.4g},{},{},{},{}\r\n", csvField(r.implementation),
                           r.entry ? std::to_string(*r.entry) : std::string(), csvField(r.name), r.N, r.log2N, r.reps,
                           r.measurements, r.secondsPerTransform * 1e6, r.nsPerPoint, r.mflops, r.error,
                           csvField(r.plugin), r.ratioToFirst ? fmt::format("{:.4g}", *r.ratioToFirst) : std::string(),
                           r.countedFlops ? fmt::format("{:.0f}", *r.countedFlops) : std::string(),
                           r.countedMflops ? fmt::format("{:.6g}", *r.countedMflops) : std::string());
    }
    return csv;
}

std::string benchJson(const BenchRun& bench, const std::string& version) {
    using json = nlohmann::ordered_json;  // keys in the documented order
    json results = json::array();
    for (const BenchResult& r : bench.results) {
        results.push_back({{"implementation", r.implementation},
                           {"entry", r.entry ? json(*r.entry) : json(nullptr)},
                           {"name", r.name},
                           {"n", r.N},
                           {"log2n", r.log2N},
                           {"repetitions", r.reps},
                           {"measurements", r.measurements},
                           {"time_per_transform_us", r.secondsPerTransform * 1e6},
                           {"ns_per_point", r.nsPerPoint},
                           {"mflops", r.mflops},
                           {"relative_rms_error", r.error},
                           {"plugin", r.entry ? json(r.plugin) : json(nullptr)},
                           {"ratio_to_first_plugin", r.ratioToFirst ? json(*r.ratioToFirst) : json(nullptr)},
                           {"counted_flops", r.countedFlops ? json(*r.countedFlops) : json(nullptr)},
                           {"counted_mflops", r.countedMflops ? json(*r.countedMflops) : json(nullptr)}});
    }
    json plugins = json::array();
    for (const PluginInfo& p : bench.plugins)
        plugins.push_back({{"path", p.path}, {"label", p.label}, {"signature", p.signature}, {"creator", p.creator}});
    json bestOverFftw = json::array(), ratios = json::array();
    for (const PluginSummary& s : summarize(bench)) {
        for (const RangeFigure& f : s.bestOverFftw)
            bestOverFftw.push_back({{"plugin", s.plugin},
                                    {"statistic", f.minimum ? "minimum" : "geometric_mean"},
                                    {"from_n", 1u << f.fromLog2},
                                    {"to_n", 1u << f.toLog2},
                                    {"sizes", f.sizes},
                                    {"value", f.value},
                                    {"at_n", f.minimum ? json(f.atN) : json(nullptr)}});
        for (const EntryRatio& r : s.ratios)
            ratios.push_back({{"plugin", s.plugin},
                              {"entry", r.entry ? json(*r.entry) : json(nullptr)},
                              {"from_n", 1u << kRatioFromLog2},
                              {"to_n", 1u << kRatioToLog2},
                              {"cells", r.cells},
                              {"geometric_mean", r.geometricMean}});
    }
    json peers = json::array();
    for (const Contender& c : bench.contenders)
        if (!c.entry) peers.push_back({{"implementation", c.implementation}, {"description", c.name}});
    const json document = {
        {"tool", "fftbench"},
        {"version", version},
        {"plugin", plugins.empty() ? json(nullptr) : plugins.front()},
        {"plugins", plugins},
        {"cpu",
         {{"brand", bench.cpu.brand},
          {"instruction_sets", bench.cpu.sets},
          {"os_saves_ymm", bench.cpu.osSavesYmm},
          {"os_saves_zmm", bench.cpu.osSavesZmm}}},
        {"settings",
         {{"min_time_ms", bench.settings.minSeconds * 1e3},
          {"measurements", bench.settings.measurements},
          {"seed", bench.settings.seed},
          {"sizes", bench.sizes}}},
        {"peers", peers},
        {"interrupted", bench.interrupted},
        {"results", results},
        {"summary", {{"best_entry_over_fftwf", bestOverFftw}, {"ratio_to_first_plugin", ratios}}}};
    // Names that are not UTF-8 become U+FFFD rather than an exception.
    return document.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

std::optional<PlotFormat> plotFormatFor(const std::string& path) {
    std::string lower = path;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    auto endsWith = [&](const char* suffix) {
        const std::string s(suffix);
        return lower.size() > s.size() && lower.compare(lower.size() - s.size(), s.size(), s) == 0;
    };
    if (endsWith(".svg")) return PlotFormat::svg;
    if (endsWith(".png")) return PlotFormat::png;
    return std::nullopt;
}

std::string gnuplotScript(const BenchRun& bench, const std::string& path, PlotFormat format) {
    // Twelve distinguishable colours; peers drawn dashed. With several
    // plug-ins an entry keeps its colour in all of them and each plug-in
    // has its own dash pattern and point shape.
    static const char* const colours[] = {"#1f77b4", "#ff7f0e", "#2ca02c", "#d62728", "#9467bd", "#8c564b",
                                          "#e377c2", "#7f7f7f", "#bcbd22", "#17becf", "#000000", "#aa3377"};
    static const int pluginDashes[] = {1, 4, 5, 3};
    static const int pluginPoints[] = {7, 6, 5, 4};
    const bool several = bench.plugins.size() > 1;
    const int height = several ? 1100 : 700;
    std::string script;
    if (format == PlotFormat::svg) {
        script += fmt::format(
            "set terminal svg size 1200,{} dynamic noenhanced font 'Sans,11' background rgb 'white'\n", height);
    } else {
        script += fmt::format(
            "if (strstrt(GPVAL_TERMINALS, 'pngcairo') > 0) {{\n"
            "  set terminal pngcairo size 1200,{0} noenhanced font 'Sans,10' background rgb 'white'\n"
            "}} else {{\n"
            "  set terminal png size 1200,{0} noenhanced background rgb 'white'\n"
            "}}\n",
            height);
    }
    script += "set output " + gnuplotString(path) + "\n";
    std::string plugins;
    for (const PluginInfo& p : bench.plugins) plugins += (plugins.empty() ? "" : " vs ") + fileName(p.path);
    script += "set title " +
              gnuplotString(fmt::format("fftbench: {} (best of {}, at least {:g} ms a measurement){}", plugins,
                                        bench.settings.measurements, bench.settings.minSeconds * 1e3,
                                        bench.interrupted ? ", interrupted" : "")) +
              "\n";
    script += "set xlabel 'log2 N'\nset ylabel 'mflops = 5 N log2 N / time of one transform in us'\n";
    script += "set grid\nset key outside right top Left reverse\nset xtics 1\nset yrange [0:*]\n";

    auto pluginIndex = [&](const std::string& label) -> size_t {
        for (size_t p = 0; p < bench.plugins.size(); ++p)
            if (bench.plugins[p].label == label) return p;
        return 0;
    };
    auto style = [&](const Contender& contender, size_t i) {
        if (!several)
            return fmt::format("lw {} dt {} pt {} lc rgb '{}'", contender.entry ? "1.5" : "2.5", contender.entry ? 1 : 2,
                               1 + i % 13, colours[i % 12]);
        if (!contender.entry) return fmt::format("lw 2.5 dt 2 pt {} lc rgb '{}'", 1 + i % 13, colours[(10 + i) % 12]);
        const size_t p = pluginIndex(contender.plugin);
        return fmt::format("lw 1.5 dt {} pt {} ps 0.8 lc rgb '{}'", pluginDashes[p % 4], pluginPoints[p % 4],
                           colours[*contender.entry % 12]);
    };

    std::string plotCommand, ratioCommand;
    size_t blocks = 0, peers = 0;
    for (const Contender& contender : bench.contenders) {
        std::string block, ratioBlock;
        for (const BenchResult& r : bench.results) {
            if (r.implementation != contender.implementation || r.plugin != contender.plugin) continue;
            block += fmt::format("{} {:.6g}\n", r.log2N, r.mflops);
            if (r.ratioToFirst) ratioBlock += fmt::format("{} {:.6g}\n", r.log2N, *r.ratioToFirst);
        }
        if (block.empty()) continue;
        const size_t i = contender.entry ? blocks : peers++;
        const std::string name = fmt::format("$d{}", blocks++);
        script += name + " << EOD\n" + block + "EOD\n";
        plotCommand += fmt::format("{}{} using 1:2 with linespoints {} title {}", plotCommand.empty() ? "plot " : ", \\\n     ",
                                   name, style(contender, several ? i : blocks - 1),
                                   gnuplotString(legendLabel(bench, contender)));
        if (several && !ratioBlock.empty() && contender.plugin != bench.plugins.front().label) {
            const std::string ratioName = fmt::format("$r{}", blocks - 1);
            script += ratioName + " << EOD\n" + ratioBlock + "EOD\n";
            ratioCommand += fmt::format("{}{} using 1:2 with linespoints {} title {}",
                                        ratioCommand.empty() ? "plot 1 with lines lw 1 lc rgb '#000000' notitle, \\\n     "
                                                             : ", \\\n     ",
                                        ratioName, style(contender, i), gnuplotString(legendLabel(bench, contender)));
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

std::optional<std::string> findGnuplot() {
    if (const char* chosen = std::getenv("FFTBENCH_GNUPLOT"); chosen != nullptr && *chosen != '\0') {
        if (std::ifstream(chosen).good()) return std::string(chosen);
        return std::nullopt;
    }
#if defined(_WIN32)
    const char separator = ';';
    const char* const program = "gnuplot.exe";
#else
    const char separator = ':';
    const char* const program = "gnuplot";
#endif
    const char* path = std::getenv("PATH");
    if (path == nullptr) return std::nullopt;
    const std::string folders(path);
    size_t start = 0;
    while (start <= folders.size()) {
        size_t end = folders.find(separator, start);
        if (end == std::string::npos) end = folders.size();
        std::string folder = folders.substr(start, end - start);
        if (folder.empty()) folder = ".";
        const std::string candidate = folder + "/" + program;
#if defined(_WIN32)
        if (std::ifstream(candidate).good()) return candidate;
#else
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
#endif
        start = end + 1;
    }
    return std::nullopt;
}

std::string accuracyPlotPath(const std::string& plotPath) {
    const size_t dot = plotPath.find_last_of('.');
    const size_t slash = plotPath.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return plotPath + "-accuracy";
    return plotPath.substr(0, dot) + "-accuracy" + plotPath.substr(dot);
}

std::string accuracyGnuplotScript(const BenchRun& bench, const std::string& path, PlotFormat format) {
    static const char* const colours[] = {"#1f77b4", "#ff7f0e", "#2ca02c", "#d62728", "#9467bd", "#8c564b",
                                          "#e377c2", "#7f7f7f", "#bcbd22", "#17becf", "#000000", "#aa3377"};
    static const int pluginDashes[] = {1, 4, 5, 3};
    const bool several = bench.plugins.size() > 1;
    std::string script = format == PlotFormat::svg
                             ? "set terminal svg size 1200,700 dynamic noenhanced font 'Sans,11' background rgb 'white'\n"
                             : "if (strstrt(GPVAL_TERMINALS, 'pngcairo') > 0) {\n"
                               "  set terminal pngcairo size 1200,700 noenhanced font 'Sans,10' background rgb 'white'\n"
                               "} else {\n"
                               "  set terminal png size 1200,700 noenhanced background rgb 'white'\n"
                               "}\n";
    script += "set output " + gnuplotString(path) + "\n";
    script += "set title " + gnuplotString(fmt::format("fftbench: accuracy against a double-precision reference{}",
                                                       bench.interrupted ? ", interrupted" : "")) + "\n";
    script += "set xlabel 'log2 N'\nset ylabel 'relative RMS error'\nset logscale y\nset format y '%.0e'\n";
    // Labels between the decades too: single-precision errors span one or two.
    script += "set ytics add ('2e-8' 2e-8, '5e-8' 5e-8, '2e-7' 2e-7, '5e-7' 5e-7, '2e-6' 2e-6, '5e-6' 5e-6)\n";
    script += "set grid\nset key outside right top Left reverse\nset xtics 1\n";
    // The bound verify holds every entry to.
    script += "bound(x) = 1.5e-7 * sqrt(x + 1)\n";
    std::string plot;
    size_t blocks = 0, peers = 0;
    for (const Contender& contender : bench.contenders) {
        std::string block;
        for (const BenchResult& r : bench.results)
            if (r.implementation == contender.implementation && r.plugin == contender.plugin && r.error > 0)
                block += fmt::format("{} {:.6g}\n", r.log2N, r.error);
        if (block.empty()) continue;
        const std::string name = fmt::format("$e{}", blocks);
        script += name + " << EOD\n" + block + "EOD\n";
        std::string style;
        if (!contender.entry)
            style = fmt::format("lw 2.5 dt 2 pt {} lc rgb '{}'", 1 + peers % 13, colours[(10 + peers) % 12]), ++peers;
        else if (several)
            style = fmt::format("lw 1.5 dt {} pt 7 ps 0.8 lc rgb '{}'",
                                pluginDashes[static_cast<size_t>(std::find_if(bench.plugins.begin(), bench.plugins.end(),
                                                                              [&](const PluginInfo& p) {
                                                                                  return p.label == contender.plugin;
                                                                              }) -
                                                                 bench.plugins.begin()) % 4],
                                colours[*contender.entry % 12]);
        else
            style = fmt::format("lw 1.5 dt 1 pt {} lc rgb '{}'", 1 + blocks % 13, colours[blocks % 12]);
        plot += fmt::format("{}{} using 1:2 with linespoints {} title {}", plot.empty() ? "plot " : ", \\\n     ", name,
                            style, gnuplotString(legendLabel(bench, contender)));
        ++blocks;
    }
    if (plot.empty()) {
        script += "unset logscale y\nset label 1 'no measurements' at graph 0.5, graph 0.5 center\nplot [0:1] NaN notitle\n";
    } else {
        const unsigned lowest = bench.results.empty() ? 0 : std::min_element(bench.results.begin(), bench.results.end(),
            [](const BenchResult& a, const BenchResult& b) { return a.log2N < b.log2N; })->log2N;
        const unsigned highest = bench.results.empty() ? 1 : std::max_element(bench.results.begin(), bench.results.end(),
            [](const BenchResult& a, const BenchResult& b) { return a.log2N < b.log2N; })->log2N;
        script += fmt::format("set xrange [{}:{}]\n", lowest, std::max(highest, lowest + 1));
        script += plot + ", \\\n     bound(x) with lines lw 1 dt 3 lc rgb '#000000' title 'bound of fftbench verify'\n";
    }
    script += "unset output\n";
    return script;
}

std::optional<std::string> renderPlot(const BenchRun& bench, const std::string& path) {
    const auto format = plotFormatFor(path);
    if (!format) return fmt::format("{}: a plot file name must end in .svg or .png", path);
    if (auto problem = runGnuplot(gnuplotScript(bench, path, *format), path)) return problem;
    const std::string accuracy = accuracyPlotPath(path);
    return runGnuplot(accuracyGnuplotScript(bench, accuracy, *format), accuracy);
}

std::optional<std::string> runGnuplot(const std::string& script, const std::string& path) {
    const auto gnuplot = findGnuplot();
    if (!gnuplot)
        return fmt::format("gnuplot was not found{}, so no plot was drawn to {} (install gnuplot-nox)",
                           std::getenv("FFTBENCH_GNUPLOT") ? " at $FFTBENCH_GNUPLOT" : " on the PATH", path);
#if defined(_WIN32)
    const std::string command = "\"" + *gnuplot + "\"";
#else
    std::string command = "'";
    for (char c : *gnuplot) command += c == '\'' ? std::string("'\\''") : std::string(1, c);
    command += "'";
#endif
    std::remove(path.c_str());  // so that a file left from before cannot pass for the new plot
    std::FILE* pipe = popen(command.c_str(), "w");
    if (pipe == nullptr) return fmt::format("could not start {}", *gnuplot);
#if !defined(_WIN32)
    // A gnuplot that quits early must not take fftbench with it.
    const auto previousHandler = std::signal(SIGPIPE, SIG_IGN);
#endif
    std::fwrite(script.data(), 1, script.size(), pipe);
    const int status = pclose(pipe);
#if !defined(_WIN32)
    std::signal(SIGPIPE, previousHandler);
    const bool failed = status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0;
#else
    const bool failed = status != 0;
#endif
    std::ifstream written(path, std::ios::binary | std::ios::ate);
    if (failed || !written.good() || written.tellg() <= 0)
        return fmt::format("{} did not draw {} (exit status {})", *gnuplot, path, status);
    return std::nullopt;
}

}  // namespace fftbench
