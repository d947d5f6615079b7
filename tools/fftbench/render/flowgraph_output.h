// `fftbench draw` on standard output, as JSON and as a picture: a
// signal-flow graph (model/flowgraph.h) stage by stage.
#pragma once

#include <cstdio>
#include <string>

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
// writes, labelled with its factor and coloured by its kind.
std::string flowGraphSvg(const FlowGraph& graph);

}  // namespace fftbench
