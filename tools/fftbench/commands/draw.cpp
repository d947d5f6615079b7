// fftbench draw --entry K --size N [--svg F] [--png F] [--json F]: the
// signal-flow graph of one entry at one small size, recorded as it ran.
#include <cstdio>

#include "cli/arguments.h"
#include "cli/builds.h"
#include "cli/options.h"
#include "cli/output_files.h"
#include "commands/commands.h"
#include "model/flowgraph.h"
#include "render/flowgraph_output.h"
#include "render/svg.h"

#ifndef FFTPLUG_VERSION
#define FFTPLUG_VERSION "unknown"
#endif

namespace fftbench {

namespace {

struct DrawOptions {
    std::vector<std::string> plugins;  // refused: draw records the instrumented build
    uint32_t entry = 0;
    uint32_t size = 16;
    std::string svg, png, json, instrumented;
};

int runDraw(const std::vector<std::string>& pluginPaths, const DrawOptions& options) {
    refusePlugins(pluginPaths, "draw records the instrumented build of fftplug (--instrumented PATH)");
    parseOneSize("--size", std::to_string(options.size), kDrawMinSize, kDrawMaxSize, "draw takes");
    const InstrumentedLibrary instrumented = openInstrumentedBuild(options.instrumented, "draw");
    const auto entries = selectEntries(instrumented.catalogue(), std::vector<uint32_t>{options.entry});

    OutputFiles outputs;
    outputs.open("--svg", options.svg);
    outputs.reserve("--png", options.png);
    outputs.open("--json", options.json);

    const FlowGraph graph = recordFlowGraph(instrumented, entries.front(), options.size);
    printFlowGraph(stdout, graph);
    std::fflush(stdout);

    const std::string picture = flowGraphSvg(graph);
    outputs.write("--svg", picture);
    outputs.write("--json", flowGraphJson(graph, FFTPLUG_VERSION));
    if (!options.png.empty())
        if (const auto problem = writePng(picture, options.png)) outputs.fail(*problem);
    return outputs.failed() ? kExitOutputFailed : kExitOk;
}

}  // namespace

Command addDrawCommand(CLI::App& app) {
    auto options = std::make_shared<DrawOptions>();
    CLI::App* sub = app.add_subcommand(
        "draw", "Draw the signal-flow graph of one entry at N = 2 to 64 as it ran on the instrumented build: "
                "each butterfly between the samples it reads and writes, labelled with its factor");
    sub->add_option("--entry", options->entry, "The entry to draw")->required()->type_name("K");
    sub->add_option("--size", options->size, "N, a power of two from 2 to 64" + defaultText(options->size))
        ->type_name("N");
    sub->add_option("--svg", options->svg, "Write the graph as SVG to this file")->type_name("FILE");
    sub->add_option("--png", options->png, "Write the graph as PNG to this file (with rsvg-convert)")->type_name("FILE");
    sub->add_option("--json", options->json, "Write the butterflies of every stage as JSON to this file")
        ->type_name("FILE");
    addInstrumentedOption(sub, options->instrumented);
    // Taken only to refuse it with a reason: draw records no plug-in of the user's.
    sub->add_option("--plugin", options->plugins)->group("");
    return {sub, [options](const std::vector<std::string>& global) {
                return runDraw(pluginPaths(global, options->plugins), *options);
            }};
}

}  // namespace fftbench
