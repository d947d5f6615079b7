#include "render/gnuplot.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "render/programs.h"

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

std::optional<std::string> findGnuplot() { return findProgram("FFTBENCH_GNUPLOT", "gnuplot"); }

std::optional<std::string> runGnuplot(const std::string& script, const std::string& path) {
    const auto gnuplot = findGnuplot();
    if (!gnuplot) {
        std::remove(path.c_str());  // so that a file left from before cannot pass for the new plot
        return fmt::format("gnuplot was not found{}, so no plot was drawn to {} (install gnuplot-nox)",
                           std::getenv("FFTBENCH_GNUPLOT") ? " at $FFTBENCH_GNUPLOT" : " on the PATH", path);
    }
    return writeThrough(*gnuplot, shellQuoted(*gnuplot), script, path);
}

}  // namespace fftbench
