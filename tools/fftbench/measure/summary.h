// A bench run in a few numbers: the best entry against the reference peer
// over ranges of sizes, and each plug-in against the first.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "measure/bench_run.h"

namespace fftbench {

// What a run adds up to, per plug-in: the best entry against the reference
// peer (BenchSettings::reference) over ranges of sizes, and the speed-up over
// the first plug-in.
struct RangeFigure {
    bool minimum = false;               // false: the geometric mean
    unsigned fromLog2 = 0, toLog2 = 0;  // the range, inclusive
    size_t sizes = 0;                   // sizes of the run inside it with a figure (0: none)
    std::vector<uint32_t> measured;     // those sizes, ascending
    double value = 0;
    uint32_t atN = 0;                   // for the minimum: where it occurred
    bool reorder = false;               // the entries timed with the host's reordering
};
// The sizes over which the ratios to the first plug-in are averaged.
inline constexpr unsigned kRatioFromLog2 = 4, kRatioToLog2 = 20;
struct EntryRatio {
    std::optional<uint32_t> entry;  // nullopt: all entries together
    size_t cells = 0;               // (entry, N) pairs in the mean
    std::vector<uint32_t> measured; // the sizes of those pairs, ascending
    double geometricMean = 0;
};
struct PluginSummary {
    std::string plugin;
    // Best entry / reference at each size: geometric mean over 2^4..2^20,
    // over 2^16..2^20, minimum over 2^6..2^14, of the sizes measured inside
    // each; ranges without a figure left out, all of them without the
    // reference. With the host's reordering timed, the same again for those
    // figures.
    std::vector<RangeFigure> bestOverReference;
    // For the plug-ins after the first: ratioToFirst, geometric mean over
    // 2^4..2^20, all entries first, then entry by entry.
    std::vector<EntryRatio> ratios;
};

std::vector<PluginSummary> summarize(const BenchRun& bench);

// The entries of one plug-in with their arrays `lineOffset` bytes past a
// 64-byte line, against the same entries at the run's first offset
// (BenchSettings::lineOffsets), timed plainly: mflops over mflops, cell by
// cell, and per entry the geometric mean over the sizes both have.
struct AlignmentFigure {
    std::string plugin;
    uint32_t lineOffset = 0, against = 0;
    std::map<std::pair<uint32_t, uint32_t>, double> cells;  // (entry, N) -> ratio
    std::map<uint32_t, double> geometricMean;               // entry -> over its cells
    std::vector<uint32_t> measured;                         // the sizes of the cells, ascending
    double lowest = 0;                                      // the lowest cell, and where
    uint32_t lowestEntry = 0, lowestN = 0;
};
std::vector<AlignmentFigure> alignmentRatios(const BenchRun& bench);

// The best entry of `plugin` at N (plain or with reordering) and its mflops
// over the reference's there; nullopt without both.
struct BestAtSize {
    uint32_t entry = 0;
    double ratio = 0;
};
std::optional<BestAtSize> bestEntryOverReference(const BenchRun& bench, const std::string& plugin, uint32_t N,
                                                 bool reorder);

}  // namespace fftbench
