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
    "ns_per_point",   "mflops",       "relative_rms_error"};

namespace {

std::string csvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

// A quoted gnuplot string: single quotes, a quote inside doubled.
std::string gnuplotString(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("''") : std::string(1, c);
    return quoted + "'";
}

std::string fileName(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

void printBenchTable(std::FILE* out, const BenchRun& bench) {
    fmt::print(out, "plug-in       {} (signature {}, creator \"{}\")\n", bench.pluginPath, bench.signature, bench.creator);
    fmt::print(out, "method        best of {} measurements of at least {:g} ms each; mflops = 5 N log2 N / (us per transform)\n",
               bench.settings.measurements, bench.settings.minSeconds * 1e3);
    fmt::print(out, "sizes         {}\n", describeSizes(bench.sizes));
    if (bench.interrupted) fmt::print(out, "interrupted   yes: the table holds what was measured before Ctrl-C\n");
    fmt::print(out, "\n{:<16} {:>5} {:>11} {:>14} {:>10} {:>10} {:>10}\n", "implementation", "N", "reps",
               "us/transform", "ns/point", "mflops", "error");
    std::string previous;
    for (const BenchResult& r : bench.results) {
        if (!previous.empty() && previous != r.implementation) fmt::print(out, "\n");
        previous = r.implementation;
        fmt::print(out, "{:<16} {:>5} {:>11} {:>14.4g} {:>10.4g} {:>10.1f} {:>10.2e}\n", r.implementation,
                   powerOfTwoText(r.N), r.reps, r.secondsPerTransform * 1e6, r.nsPerPoint, r.mflops, r.error);
    }
    if (bench.results.empty()) return;

    // mflops side by side: sizes down, implementations across.
    std::vector<std::string> columns;
    std::map<std::pair<std::string, uint32_t>, double> figures;
    for (const BenchResult& r : bench.results) {
        if (std::find(columns.begin(), columns.end(), r.implementation) == columns.end()) columns.push_back(r.implementation);
        figures[{r.implementation, r.N}] = r.mflops;
    }
    fmt::print(out, "\nmflops\n{:>5}", "N");
    for (const std::string& column : columns) {
        const std::string heading = column.rfind("entry ", 0) == 0 ? column.substr(6) : column;
        fmt::print(out, " {:>8}", heading);
    }
    fmt::print(out, "\n");
    for (const uint32_t N : bench.sizes) {
        std::string row = fmt::format("{:>5}", powerOfTwoText(N));
        bool any = false;
        for (const std::string& column : columns) {
            const auto found = figures.find({column, N});
            any = any || found != figures.end();
            row += found == figures.end() ? fmt::format(" {:>8}", "-") : fmt::format(" {:>8.0f}", found->second);
        }
        if (any) fmt::print(out, "{}\n", row);
    }
}

std::string benchCsv(const BenchRun& bench) {
    std::string csv;
    for (size_t i = 0; i < kResultColumns.size(); ++i) csv += (i ? "," : "") + kResultColumns[i];
    csv += "\r\n";
    for (const BenchResult& r : bench.results) {
        csv += fmt::format("{},{},{},{},{},{},{},{:.6g},{:.6g},{:.6g},{:.4g}\r\n", csvField(r.implementation),
                           r.entry ? std::to_string(*r.entry) : std::string(), csvField(r.name), r.N, r.log2N, r.reps,
                           r.measurements, r.secondsPerTransform * 1e6, r.nsPerPoint, r.mflops, r.error);
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
                           {"relative_rms_error", r.error}});
    }
    json peers = json::array();
    for (const Contender& c : bench.contenders)
        if (!c.entry) peers.push_back({{"implementation", c.implementation}, {"description", c.name}});
    const json document = {
        {"tool", "fftbench"},
        {"version", version},
        {"plugin", {{"path", bench.pluginPath}, {"signature", bench.signature}, {"creator", bench.creator}}},
        {"settings",
         {{"min_time_ms", bench.settings.minSeconds * 1e3},
          {"measurements", bench.settings.measurements},
          {"seed", bench.settings.seed},
          {"sizes", bench.sizes}}},
        {"peers", peers},
        {"interrupted", bench.interrupted},
        {"results", results}};
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
    // Twelve distinguishable colours; peers drawn dashed.
    static const char* const colours[] = {"#1f77b4", "#ff7f0e", "#2ca02c", "#d62728", "#9467bd", "#8c564b",
                                          "#e377c2", "#7f7f7f", "#bcbd22", "#17becf", "#000000", "#aa3377"};
    std::string script;
    if (format == PlotFormat::svg) {
        script += "set terminal svg size 1200,700 dynamic noenhanced font 'Sans,11' background rgb 'white'\n";
    } else {
        script +=
            "if (strstrt(GPVAL_TERMINALS, 'pngcairo') > 0) {\n"
            "  set terminal pngcairo size 1200,700 noenhanced font 'Sans,10' background rgb 'white'\n"
            "} else {\n"
            "  set terminal png size 1200,700 noenhanced background rgb 'white'\n"
            "}\n";
    }
    script += "set output " + gnuplotString(path) + "\n";
    script += "set title " +
              gnuplotString(fmt::format("fftbench: {} (best of {}, at least {:g} ms a measurement){}",
                                        fileName(bench.pluginPath), bench.settings.measurements,
                                        bench.settings.minSeconds * 1e3, bench.interrupted ? ", interrupted" : "")) +
              "\n";
    script += "set xlabel 'log2 N'\nset ylabel 'mflops = 5 N log2 N / time of one transform in us'\n";
    script += "set grid\nset key outside right top Left reverse\nset xtics 1\nset yrange [0:*]\n";
    std::vector<std::string> plotted;
    std::string plotCommand;
    for (const Contender& contender : bench.contenders) {
        std::string block;
        for (const BenchResult& r : bench.results)
            if (r.implementation == contender.implementation) block += fmt::format("{} {:.6g}\n", r.log2N, r.mflops);
        if (block.empty()) continue;
        const size_t i = plotted.size();
        const std::string name = fmt::format("$d{}", i);
        script += name + " << EOD\n" + block + "EOD\n";
        plotCommand += fmt::format("{}{} using 1:2 with linespoints lw {} dt {} pt {} lc rgb '{}' title {}",
                                   plotted.empty() ? "plot " : ", \\\n     ", name, contender.entry ? "1.5" : "2.5",
                                   contender.entry ? 1 : 2, 1 + i % 13, colours[i % 12], gnuplotString(contender.label));
        plotted.push_back(contender.implementation);
    }
    if (plotted.empty()) script += "set label 1 'no measurements' at graph 0.5, graph 0.5 center\nplot [0:1] NaN notitle\n";
    else script += plotCommand + "\n";
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

std::optional<std::string> renderPlot(const BenchRun& bench, const std::string& path) {
    const auto format = plotFormatFor(path);
    if (!format) return fmt::format("{}: a plot file name must end in .svg or .png", path);
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
    const std::string script = gnuplotScript(bench, path, *format);
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
