#include "gnuplot.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#if defined(_WIN32)
#define popen _popen
#define pclose _pclose
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fftbench {

namespace {

// Twelve distinguishable colours: the first ten for entries 0 to 9, the
// last two (and beyond) for the peers.
const char* const kPalette[] = {"#1f77b4", "#ff7f0e", "#2ca02c", "#d62728", "#9467bd", "#8c564b",
                                "#e377c2", "#7f7f7f", "#bcbd22", "#17becf", "#000000", "#aa3377"};
constexpr size_t kPaletteSize = sizeof kPalette / sizeof kPalette[0];
const int kVariantDashes[] = {1, 4, 5, 3};
const int kVariantPoints[] = {7, 6, 5, 4};

}  // namespace

std::optional<PlotFormat> plotFormatFor(const std::string& path) {
    std::string lower = path;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    auto endsWith = [&](const std::string& suffix) {
        return lower.size() > suffix.size() && lower.compare(lower.size() - suffix.size(), suffix.size(), suffix) == 0;
    };
    if (endsWith(".svg")) return PlotFormat::svg;
    if (endsWith(".png")) return PlotFormat::png;
    return std::nullopt;
}

std::string gnuplotString(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("''") : std::string(1, c);
    return quoted + "'";
}

std::string gnuplotSetup(PlotFormat format, const std::string& path, int height, const std::string& title) {
    std::string script;
    if (format == PlotFormat::svg) {
        script += fmt::format("set terminal svg size 1200,{} dynamic noenhanced font 'Sans,11' background rgb 'white'\n",
                              height);
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
    script += "set title " + gnuplotString(title) + "\n";
    script += "set xlabel 'log2 N'\nset grid\nset key outside right top Left reverse\nset xtics 1\n";
    return script;
}

size_t peerColour(size_t peer) { return 10 + peer; }

std::string lineStyle(const LineStyle& style) {
    const char* colour = kPalette[style.colour % kPaletteSize];
    if (style.peer) return fmt::format("lw 2.5 dt 2 pt {} lc rgb '{}'", 1 + style.colour % 13, colour);
    if (!style.several)
        return fmt::format("lw 1.5 dt {} pt {} lc rgb '{}'", style.dotted ? 3 : 1, 1 + style.colour % 13, colour);
    return fmt::format("lw 1.5 dt {} pt {} ps 0.8 lc rgb '{}'", style.dotted ? 3 : kVariantDashes[style.variant % 4],
                       kVariantPoints[style.variant % 4], colour);
}

std::string dataBlock(const std::string& name, const std::string& rows) { return name + " << EOD\n" + rows + "EOD\n"; }

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

std::optional<std::string> runGnuplot(const std::string& script, const std::string& path) {
    std::remove(path.c_str());  // so that a file left from before cannot pass for the new plot
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
    bool drawn = false;
    {
        std::ifstream written(path, std::ios::binary | std::ios::ate);
        drawn = written.good() && written.tellg() > 0;
    }
    if (failed || !drawn) {
        std::remove(path.c_str());  // no empty or half-drawn file where a plot was promised
        return fmt::format("{} did not draw {} (exit status {})", *gnuplot, path, status);
    }
    return std::nullopt;
}

}  // namespace fftbench
