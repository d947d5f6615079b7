// `fftbench draw` on standard output, as JSON and as a picture: a
// signal-flow graph (model/flowgraph.h) stage by stage.
#pragma once

#include <cstdio>
#include <set>
#include <string>
#include <utility>

#include "model/flowgraph.h"

namespace fftbench {

// The graph as text: per stage its shape and butterflies (samples, factor).
void printFlowGraph(std::FILE* out, const FlowGraph& graph);

// {"tool", "command": "draw", "entry", "n", "input_order", "output_order",
//  "stages": [{"index", "block_size", "apart", "points", "closing", "description",
//              "butterflies": [{"reads", "writes", "kind", "factors", "label"}]}]}
std::string flowGraphJson(const FlowGraph& graph, const std::string& version);

// The picture: one wire per sample position, one column of samples per
// stage boundary, each butterfly a bar joining the samples it reads and
// writes, labelled with its factor (once per run of equal factors, a
// block's) and coloured by its kind.
using ButterflyMarks = std::set<std::pair<size_t, size_t>>;
struct FlowGraphStyle {
    // Butterflies (stage index, butterfly index within the stage) ringed with
    // a dashed outline on a tint: those a comparison with another graph points at.
    ButterflyMarks marks;
    // The legend of the kinds below the graph; without it the subtitle is
    // short too, for graphs drawn side by side under one shared legend.
    bool legend = true;
};
std::string flowGraphSvg(const FlowGraph& graph, const FlowGraphStyle& style = {});
// The legend of every kind of butterfly and of the ring, for graphs drawn without their own.
std::string flowGraphLegendSvg();

}  // namespace fftbench
