// The opening of `fftbench report`: one row of figures per entry, gathered
// from the runs the page holds (bench, profile, the access traces), and the
// few sentences those figures support. Each sentence is computed from the
// figures and says only what they show: where a comparison goes the other
// way, the sentence says so or is left out.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "measure/bench_run.h"
#include "model/access_trace.h"
#include "model/operation_counts.h"

namespace fftbench {

// One entry's figures; nullopt where the page has no run that gives them.
struct EntryFigures {
    uint32_t entry = 0;
    std::string label;                     // "radix 2, DIF, prepared table": the bench label
    std::map<uint32_t, double> mflops;     // bench's, by N
    std::optional<double> ratioToReference;  // mflops over the reference peer's at Summary::ratioSize
    std::optional<double> flopsPerNLog2N;  // counted, at Summary::countSize
    std::optional<double> loadsPerPoint;   // samples loaded per point, at Summary::countSize
    std::optional<double> stages;          // stages run, at Summary::countSize
    std::optional<double> l1Miss, l2Miss;  // shares of the accesses missing an LRU cache of that size, at traceSize
    std::optional<double> limitPercent;    // at the largest bench size, where the rates were measured
};

struct Summary {
    std::vector<uint32_t> speedSizes;  // a small, a mid and a large size of bench's (distinct, ascending)
    uint32_t ratioSize = 0;            // the size the ratio to the reference and the comparisons use
    std::string reference;             // the reference peer's name; empty: not measured
    uint32_t countSize = 0, traceSize = 0;
    std::string l1Name = "L1d", l2Name = "L2";
    std::vector<EntryFigures> rows;    // by entry index
    const EntryFigures* find(uint32_t entry) const;
};

// From the runs of the page: bench and profile (null: not run) and each
// entry's access trace at the page's trace size.
Summary summarize(const BenchRun* bench, const ProfileRun* profile,
                  const std::vector<std::pair<uint32_t, const AccessTrace*>>& traces);

// The sentences, in the order the page prints them, HTML-free.
std::vector<std::string> summarySentences(const Summary& summary);

// "1.23×" with two significant decimals; used by the sentences and the table.
std::string ratioText(double ratio);

}  // namespace fftbench
