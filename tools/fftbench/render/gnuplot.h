// Plots drawn by gnuplot: the one set-up (terminal, size, title, grid, key),
// palette and line style that the speed, accuracy and profile plots share,
// and running gnuplot on a script.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace fftbench {

// The plot's format, from the file name's extension.
enum class PlotFormat { svg, png };
std::optional<PlotFormat> plotFormatFor(const std::string& path);

// A quoted gnuplot string: single quotes, a quote inside doubled.
std::string gnuplotString(const std::string& text);

// The start of every plot script: the terminal for `format` (cairo PNG where
// gnuplot has it), 1200 pixels wide and `height` high, the output file, the
// title, log2 N on the x axis with a tic per size, a grid and the key
// outside on the right.
std::string gnuplotSetup(PlotFormat format, const std::string& path, int height, const std::string& title);

// How one line looks. An entry keeps its colour (its index in the palette)
// in every plot; a peer is drawn thicker and dashed; several plug-ins in
// one plot differ by dash pattern and point shape.
struct LineStyle {
    size_t colour = 0;      // index into the palette, taken modulo its size
    bool peer = false;      // thicker, dashed
    size_t variant = 0;     // the plug-in's place in the run: dash pattern and point shape
    bool several = false;   // several plug-ins: points smaller, shapes by variant
    bool dotted = false;    // the same entry timed another way (with the host's reordering)
};
std::string lineStyle(const LineStyle& style);
// The palette's colour for a peer numbered `peer` (0 for the first): apart
// from the entries' first ten.
size_t peerColour(size_t peer);

// An inline data block: "$name << EOD\n" rows "EOD\n".
std::string dataBlock(const std::string& name, const std::string& rows);

// The gnuplot program: $FFTBENCH_GNUPLOT if set, otherwise "gnuplot" on the
// PATH; nullopt when there is none.
std::optional<std::string> findGnuplot();

// Runs gnuplot on `script`, which draws into `path`; nullopt on success,
// otherwise what went wrong (no file is left behind then).
std::optional<std::string> runGnuplot(const std::string& script, const std::string& path);

}  // namespace fftbench
