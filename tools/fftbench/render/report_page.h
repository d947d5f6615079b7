// `fftbench report`: one self-contained HTML page of everything fftbench
// shows (the catalogue, verify's verdicts, bench's speed and accuracy,
// profile's counts, and for each entry what defines it, its signal-flow
// graph and its access map), every picture inline as SVG and nothing
// fetched from anywhere. The page's frame and style are assets/report.html
// and assets/report.css, the paragraphs on the entries assets/entries.txt.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "check/verify_run.h"
#include "host/plugin_library.h"
#include "measure/bench_run.h"
#include "model/access_trace.h"
#include "model/flowgraph.h"
#include "model/operation_counts.h"
#include "measure/stage_run.h"

namespace fftbench {

// Text with &, <, > and quotes escaped, for HTML.
std::string htmlEscape(const std::string& text);

// The paragraphs of assets/entries.txt by entry index: each section opens
// with a line "# entry K", paragraphs are separated by blank lines.
std::map<uint32_t, std::vector<std::string>> entryParagraphs();

// A picture another program drew (gnuplot's plots): the SVG document, or
// why there is none.
struct Picture {
    std::string svg;      // the document as written (its XML declaration is dropped inline)
    std::string missing;  // set when there is no picture: what went wrong
};

// An entry's section: what it is, its signal-flow graph and its accesses,
// as recorded; the page draws them.
struct ReportEntry {
    fftplug::host::CatalogueEntry entry;
    std::optional<FlowGraph> graph;    // at graphSize; nullopt: `missing` says why
    uint32_t graphSize = 0;
    std::optional<AccessTrace> trace;  // at traceSize; nullopt: `missing` says why
    uint32_t traceSize = 0;
    std::string missing;
};

// Everything the page shows, as the commands' jobs left it; a run that is
// null did not happen, and its section says so.
struct ReportPage {
    std::string pluginPath;
    std::string machine;    // processor and instruction sets
    std::string generated;  // when, in words
    std::vector<fftplug::host::CatalogueEntry> catalogue;
    const VerifyReport* verify = nullptr;
    const BenchRun* bench = nullptr;  // its table as bench prints it
    Picture speed, accuracy, limit;
    const ProfileRun* profile = nullptr;  // its table as profile prints it
    Picture profilePlot;
    std::vector<ReportEntry> entries;
    const StageRun* stages = nullptr;  // each entry's stages (render/stage_report.h); null: none shown
};

// The page, from assets/report.html with its sections filled in.
std::string reportHtml(const ReportPage& page);

// "3.2 % of its loads and stores miss an LRU cache of L2's 1 MiB …": the
// trace in a sentence for the report.
std::string traceSummary(const AccessTrace& trace);

}  // namespace fftbench
