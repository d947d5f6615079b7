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
#include "machine/caches.h"
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
    // The access map at a size where the order of a small block's stages is
    // visible (entry 4's leaves); nullopt where the page has none.
    std::optional<AccessTrace> smallTrace;
    uint32_t smallTraceSize = 0;
    std::optional<FlowGraph> graph;    // at graphSize; nullopt: `missing` says why
    uint32_t graphSize = 0;
    std::optional<AccessTrace> trace;  // at traceSize; nullopt: `missing` says why
    uint32_t traceSize = 0;
    std::string missing;
};

// Where the page's figures come from: the build, the machine, the run.
struct Provenance {
    std::string pluginCompiler;  // "GNU 12.2.0"
    std::string pluginFlags;     // the flags every unit of the plug-in is compiled with, and the paths' own
    std::string buildType;       // "Release"
    std::string version;         // fftbench's version, with git describe where the build knew it
    std::string os;              // "Linux 6.1.0-18-amd64 x86_64"
    std::string commandLine;     // as the page was asked for; empty where unknown
    std::string cpu;             // "AMD EPYC 9R14 (family 25, model 17)"
    std::vector<CacheLevel> caches;  // with their sources
    std::string date;            // "2026-12-09 11:40 UTC"
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
    Provenance provenance;
    std::string benchCsv;    // the file name of bench's CSV beside the page; empty: none written
    std::string profileCsv;  // the same for profile's table
    const StageRun* stages = nullptr;  // each entry's stages (render/stage_report.h); null: none shown
};

// One section of the page: its id, its heading (also its link in the page's
// list of sections) and what it holds. The page is its sections in order.
struct ReportSection {
    std::string id, heading;
    std::string (*body)(const ReportPage& page);
};
const std::vector<ReportSection>& reportSections();

// The page, from assets/report.html with its sections filled in.
std::string reportHtml(const ReportPage& page);

// "3.2 % of its loads and stores miss an LRU cache of L2's 1 MiB …": the
// trace in a sentence for the report.
std::string traceSummary(const AccessTrace& trace);

}  // namespace fftbench
