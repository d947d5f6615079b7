// `fftbench report`: one self-contained HTML page of everything fftbench
// shows (the catalogue, verify's verdicts, bench's speed and accuracy,
// profile's counts, and for each entry what defines it, its signal-flow
// graph and its access map), every picture inline as SVG and nothing
// fetched from anywhere. The page's frame and style are assets/report.html
// and assets/report.css, the paragraphs on the entries assets/entries.txt.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "host/plugin_library.h"

namespace fftbench {

struct VerifyReport;
struct BenchRun;
struct ProfileRun;
struct AccessTrace;

// Text with &, <, > and quotes escaped, for HTML.
std::string htmlEscape(const std::string& text);

// What `print` writes to a FILE*, as a string.
std::string captureOutput(const std::function<void(std::FILE*)>& print);

// The paragraphs of assets/entries.txt by entry index: each section opens
// with a line "# entry K", paragraphs are separated by blank lines.
std::map<uint32_t, std::vector<std::string>> entryParagraphs();

// A picture of the page: inline SVG, or why there is none.
struct Picture {
    std::string svg;      // the document as written (its XML declaration is dropped inline)
    std::string missing;  // set when there is no picture: what went wrong
};

struct ReportEntry {
    fftplug::host::CatalogueEntry entry;
    Picture graph;          // the signal-flow graph
    uint32_t graphSize = 0;
    Picture access;         // the access map and reuse histogram
    uint32_t traceSize = 0;
    std::string traceSummary;  // a sentence of the trace's figures
};

struct ReportPage {
    std::string pluginPath;
    std::string machine;    // processor and instruction sets
    std::string generated;  // when, in words
    std::vector<fftplug::host::CatalogueEntry> catalogue;
    const VerifyReport* verify = nullptr;
    const BenchRun* bench = nullptr;
    std::string benchText;  // bench's side-by-side mflops and summary, as printed
    Picture speed, accuracy, limit;
    const ProfileRun* profile = nullptr;
    std::string profileText;  // profile's table, as printed
    Picture profilePlot;
    std::vector<ReportEntry> entries;
};

// The page, from assets/report.html with its sections filled in.
std::string reportHtml(const ReportPage& page);

// "3.2 % of its loads and stores miss an LRU cache of L2's 1 MiB …": the
// trace in a sentence for the report.
std::string traceSummary(const AccessTrace& trace);

}  // namespace fftbench
