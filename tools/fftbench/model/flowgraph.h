// The signal-flow graph of an entry as it ran (`fftbench draw`), built from
// the events of the instrumented build: the samples each butterfly loads and
// stores, the table entries read for it and the factors it applies, stage by
// stage. Which lines its factors multiply follows from its kind and shape
// (factorMarks); whether a factor meets a sample as loaded, from the entry's
// name (decimation in time).
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "host/plugin_library.h"
#include "plugin/instrument/instrumented.h"

namespace fftbench {

// What a butterfly multiplies by, told from the factors it applies.
enum class ButterflyKind {
    general,      // by factors read from the table (a product of two for the radix-4 and split-radix ones)
    twiddleFree,  // by nothing (factor 1)
    minusI,       // by −i
    w8,           // by W8 = (1 − i)·c
    w8Cubed,      // by W8³ = (−1 − i)·c
    blockOne,     // a four-point butterfly with the built-in factors of block 1 (W8, −i, W8³ or W8, W8³)
    closing       // a pair of the closing twiddle-free pass
};
const char* kindName(ButterflyKind kind);  // "general", "twiddle-free", "minus-i", "w8", "w8-cubed", "block-one", "closing"

struct Butterfly {
    std::vector<uint32_t> reads;     // the samples loaded, in load order
    std::vector<uint32_t> writes;    // the samples stored, in store order
    ButterflyKind kind = ButterflyKind::general;
    std::vector<uint32_t> factors;   // the table entries read for it, in reading order (general ones only)
    std::vector<uint32_t> applied;   // the factors applied inside it, FFTPLUG_FACTOR_*, in order
    bool multipliesInput = false;    // its factor multiplies a sample as loaded, before the sum and difference
                                     // (decimation in time); otherwise a difference as stored. The events
                                     // do not tell the two apart: recordFlowGraph sets it from the entry's name
    std::string label;               // "t[5]", "t[1] t[2]", "1", "−i", "W8", "W8³", "W8 −i W8³"
};

struct Stage {
    uint32_t block = 0;  // block size, from the stage mark
    uint32_t apart = 0;  // how far apart the samples a butterfly combines lie
    uint32_t points = 0; // samples per butterfly: 2 or 4 (0: no butterfly)
    bool closing = false;  // the twiddle-free radix-2 pass after four-point stages
    std::vector<Butterfly> butterflies;
    // "span 8", "block 16, quarter span 4", "closing pass, pairs 8 apart"
    std::string description() const;
};

// Where a butterfly's factors act: which of its samples each multiplies, and
// whether on the sample as loaded (decimation in time: the factor meets the
// lower input before the sum and difference) or as stored (decimation in
// frequency: it multiplies a difference on its way out). The samples not
// named are passed on without a factor (the sums).
struct FactorMark {
    uint32_t position = 0;  // the sample multiplied
    bool onInput = false;   // as loaded; otherwise as stored
    std::string factor;     // "t[4]", "t[1]·t[2]", "−i", "W8", "W8³"
};
// From the butterfly's samples, its kind, its table entries and how many
// complex products it applied: a pair multiplies its second sample; a
// four-point butterfly in quarters 0 … 3 multiplies quarters 1, 2 and 3 when
// it applies three factors after its own −i (radix 4: t[2k], t[k], t[k]·t[2k]; built in: W8,
// −i, W8³) and quarters 1 and 3 when it applies two (split radix: t[2k],
// t[2k]·t[k]; built in: W8, W8³). Twiddle-free and closing butterflies
// multiply nothing.
std::vector<FactorMark> factorMarks(const Butterfly& b);

// The recursion of an entry that divides its blocks (entry 4): the calls
// that open blocks and the joins of their halves, in the order they ran.
struct RecursionStep {
    bool join = false;   // the block's halves are joined; otherwise the block is opened
    uint32_t size = 0;   // the block's points
    uint32_t index = 0;  // its number among blocks of its size; a join's table entry
};
struct Recursion {
    uint32_t N = 0;  // the size the steps were recorded at
    std::vector<RecursionStep> steps;
    // The blocks transformed whole: the size of the blocks opened that open
    // no block of their own (0 without calls).
    uint32_t leafSize() const;
    size_t joins() const;
};
Recursion buildRecursion(uint32_t N, const std::vector<FftplugEvent>& events);

struct FlowGraph {
    uint32_t entry = 0;
    uint32_t N = 0;
    bool naturalInput = false;  // natural input and bit-reversed output; otherwise the reverse
    bool preparedTable = false; // the entry reads the prepared table: t[0] … t[3] are 1, −i, W8, W8³
    std::string title;          // "entry 5: decimation in frequency (…)"
    std::vector<Stage> stages;  // the stages that touched work, in order
    // For an entry that divides its blocks: its recursion, recorded at the
    // smallest size that shows two levels of joins (the graph's own N may be
    // a single leaf).
    std::optional<Recursion> recursion;
};

// The graph of one run from its events (FFTPLUG_RECORD_ALL). A butterfly is
// the loads of a group of samples and the stores that write them all back;
// its kind comes from the factors applied between them, its table entries
// are those read since the previous butterfly that multiplied by the table.
FlowGraph buildFlowGraph(uint32_t entry, uint32_t N, bool naturalInput, const std::vector<FftplugEvent>& events);

class InstrumentedLibrary;

// The sizes draw takes: a graph of more than 64 rows is no longer read.
inline constexpr uint32_t kDrawMinSize = 2, kDrawMaxSize = 64;

// Records `entry` at N on the instrumented build and builds its graph, titled
// with the entry's index and English gloss.
FlowGraph recordFlowGraph(const InstrumentedLibrary& instrumented, const fftplug::host::CatalogueEntry& entry,
                          uint32_t N);

}  // namespace fftbench
