// fftbench trace --entry K --size N [--plot F.svg|F.png] [--csv F]: the
// memory behaviour of one run of an entry, recorded as it ran.
#include <fmt/format.h>

#include <cstdio>

#include "cli/arguments.h"
#include "cli/builds.h"
#include "cli/options.h"
#include "cli/output_files.h"
#include "cli/progress.h"
#include "commands/commands.h"
#include "model/access_trace.h"
#include "render/gnuplot.h"
#include "render/sizes.h"
#include "render/svg.h"
#include "render/trace_output.h"

namespace fftbench {

namespace {

struct TraceOptions {
    std::vector<std::string> plugins;  // refused: trace records the instrumented build
    uint32_t entry = 0;
    std::string size = "2^16";
    std::string plot, csv, instrumented;
};

int runTrace(const std::vector<std::string>& pluginPaths, const TraceOptions& options) {
    refusePlugins(pluginPaths, "trace records the instrumented build of fftplug (--instrumented PATH)");
    const uint32_t N = parseOneSize("--size", options.size, kTraceMinSize, kTraceMaxSize, "trace takes");
    const bool png = parsePlotPath("--plot", options.plot) == PlotFormat::png;
    const InstrumentedLibrary instrumented = openInstrumentedBuild(options.instrumented, "trace");
    const auto entries = selectEntries(instrumented.catalogue(), std::vector<uint32_t>{options.entry});

    OutputFiles outputs;
    if (png) outputs.reserve("--plot", options.plot);
    else outputs.open("--plot", options.plot);
    outputs.open("--csv", options.csv);

    ProgressLine progress;
    const AccessTrace trace = recordAccessTrace(instrumented, entries.front(), N, [&](uint64_t accesses, uint64_t stages) {
        progress.show(fmt::format("tracing entry {} at N = {}: {:.1f} M loads and stores, stage {}", options.entry,
                                  powerOfTwoText(N), double(accesses) / 1e6, stages));
    });
    progress.clear();
    printAccessTrace(stdout, trace);
    std::fflush(stdout);

    outputs.write("--csv", accessTraceCsv(trace));
    if (!options.plot.empty()) {
        if (png) {
            if (const auto problem = writePng(accessTraceSvg(trace), options.plot)) outputs.fail(*problem);
        } else {
            outputs.write("--plot", accessTraceSvg(trace));
        }
    }
    return outputs.failed() ? kExitOutputFailed : kExitOk;
}

}  // namespace

Command addTraceCommand(CLI::App& app) {
    auto options = std::make_shared<TraceOptions>();
    CLI::App* sub = app.add_subcommand(
        "trace", "Trace the memory accesses of one entry at one size (up to 2^20) on the instrumented build: an "
                 "access map, and per stage the lines touched, the bytes moved and the reuse distances");
    sub->add_option("--entry", options->entry, "The entry to trace")->required()->type_name("K");
    sub->add_option("--size", options->size, "N, a power of two from 2 to 2^20" + defaultText(options->size))
        ->type_name("N");
    sub->add_option("--plot", options->plot, "Draw the access map and the reuse histogram into FILE.svg or FILE.png")
        ->type_name("FILE");
    sub->add_option("--csv", options->csv, "Write the figures of every stage as CSV to this file")->type_name("FILE");
    addInstrumentedOption(sub, options->instrumented);
    // Taken only to refuse it with a reason: trace records no plug-in of the user's.
    sub->add_option("--plugin", options->plugins)->group("");
    return {sub, [options](const std::vector<std::string>& global) {
                return runTrace(pluginPaths(global, options->plugins), *options);
            }};
}

}  // namespace fftbench
