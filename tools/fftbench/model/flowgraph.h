// The signal-flow graph of an entry as it ran (`fftbench draw`), built from
// the events of the instrumented build alone: the samples each butterfly loads
// and stores, the table entries read for it and the factors it applies, stage
// by stage.
#pragma once

#include <cstdint>
#include <cstdio>
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
    bool multipliesInput = false;    // a product before any other factor and before the first store: the
                                     // factor multiplies a sample as loaded (decimation in time)
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

struct FlowGraph {
    uint32_t entry = 0;
    uint32_t N = 0;
    bool naturalInput = false;  // natural input and bit-reversed output; otherwise the reverse
    bool preparedTable = false; // the entry reads the prepared table: t[0] … t[3] are 1, −i, W8, W8³
    std::string title;          // "entry 5: decimation in frequency (…)"
    std::vector<Stage> stages;  // the stages that touched work, in order
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
