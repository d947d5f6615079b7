#include "model/flowgraph.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <algorithm>

#include "subject/names.h"
#include "subject/instrumented_build.h"

namespace fftbench {

const char* kindName(ButterflyKind kind) {
    switch (kind) {
        case ButterflyKind::general: return "general";
        case ButterflyKind::twiddleFree: return "twiddle-free";
        case ButterflyKind::minusI: return "minus-i";
        case ButterflyKind::w8: return "w8";
        case ButterflyKind::w8Cubed: return "w8-cubed";
        case ButterflyKind::blockOne: return "block-one";
        case ButterflyKind::closing: return "closing";
    }
    return "?";
}

std::string Stage::description() const {
    if (closing) return fmt::format("closing pass, pairs {} apart", apart);
    if (points == 4) return fmt::format("block {}, quarter span {}", block, apart);
    if (block == 2 * apart) return fmt::format("span {}", block);
    return fmt::format("block {}, pairs {} apart", block, apart);
}

namespace {

const char* factorSymbol(uint32_t factor) {
    switch (factor) {
        case FFTPLUG_FACTOR_MINUS_I: return "−i";
        case FFTPLUG_FACTOR_W8: return "W8";
        case FFTPLUG_FACTOR_W8_CUBED: return "W8³";
        default: return "";
    }
}

bool applies(const Butterfly& b, uint32_t factor) {
    return std::find(b.applied.begin(), b.applied.end(), factor) != b.applied.end();
}

// Kind and label of a butterfly, from the factors it applied.
void classify(Butterfly& b) {
    std::vector<std::string> builtIn;
    for (const uint32_t f : b.applied)
        if (f == FFTPLUG_FACTOR_MINUS_I || f == FFTPLUG_FACTOR_W8 || f == FFTPLUG_FACTOR_W8_CUBED)
            builtIn.push_back(factorSymbol(f));
    if (applies(b, FFTPLUG_FACTOR_PRODUCT)) {
        b.kind = ButterflyKind::general;
        std::vector<std::string> entries;
        for (const uint32_t t : b.factors) entries.push_back(fmt::format("t[{}]", t));
        b.label = fmt::format("{}", fmt::join(entries, " "));
        if (b.label.empty()) b.label = "×";  // multiplied by a factor formed from no table read (not seen)
        return;
    }
    b.factors.clear();
    if (builtIn.empty()) {
        b.kind = ButterflyKind::twiddleFree;
        b.label = "1";
    } else if (b.reads.size() > 2) {
        b.kind = ButterflyKind::blockOne;
        b.label = fmt::format("{}", fmt::join(builtIn, " "));
    } else if (applies(b, FFTPLUG_FACTOR_MINUS_I)) {
        b.kind = ButterflyKind::minusI;
        b.label = "−i";
    } else if (applies(b, FFTPLUG_FACTOR_W8)) {
        b.kind = ButterflyKind::w8;
        b.label = "W8";
    } else {
        b.kind = ButterflyKind::w8Cubed;
        b.label = "W8³";
    }
}

bool sameSamples(std::vector<uint32_t> a, std::vector<uint32_t> b) {
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    return a == b;
}

}  // namespace

namespace {

// A stage of twiddle-free pairs after four-point stages, or in place of
// them, is the closing pass.
void markClosing(Stage& s) {
    if (s.points == 2 && std::all_of(s.butterflies.begin(), s.butterflies.end(), [](const Butterfly& b) {
            return b.kind == ButterflyKind::twiddleFree;
        })) {
        s.closing = true;
        for (Butterfly& b : s.butterflies) b.kind = ButterflyKind::closing;
    }
}

}  // namespace

FlowGraph buildFlowGraph(uint32_t entry, uint32_t N, bool naturalInput, const std::vector<FftplugEvent>& events) {
    FlowGraph graph;
    graph.entry = entry;
    graph.N = N;
    graph.naturalInput = naturalInput;

    std::vector<Stage> stages;
    Stage current;
    Butterfly pending;
    bool open = false;              // pending has loads
    std::vector<uint32_t> reads;    // table entries read since they were last used
    bool readsUsed = false;
    auto closeButterfly = [&] {
        if (!open) return;
        if (applies(pending, FFTPLUG_FACTOR_PRODUCT)) {
            pending.factors = reads;
            readsUsed = true;
        }
        classify(pending);
        current.butterflies.push_back(std::move(pending));
        pending = Butterfly{};
        open = false;
    };
    auto closeStage = [&] {
        closeButterfly();
        if (!current.butterflies.empty()) stages.push_back(std::move(current));
        current = Stage{};
        reads.clear();
        readsUsed = false;
    };
    for (const FftplugEvent& e : events) {
        switch (e.what) {
            case FFTPLUG_EVENT_STAGE:
                closeStage();
                current.block = e.value;
                current.apart = e.extra;
                break;
            case FFTPLUG_EVENT_LOAD:
                if (open && !pending.writes.empty()) closeButterfly();  // stores that did not cover the loads
                pending.reads.push_back(e.value);
                open = true;
                break;
            case FFTPLUG_EVENT_STORE:
                pending.writes.push_back(e.value);
                if (!open) {  // a store without loads: a butterfly of its own
                    open = true;
                    closeButterfly();
                } else if (pending.writes.size() >= pending.reads.size() && sameSamples(pending.reads, pending.writes)) {
                    closeButterfly();
                }
                break;
            case FFTPLUG_EVENT_TABLE:
                if (readsUsed) {
                    reads.clear();
                    readsUsed = false;
                }
                reads.push_back(e.value);
                break;
            case FFTPLUG_EVENT_FACTOR:
                // Outside a butterfly a product forms a factor (f3 of a block).
                if (open) pending.applied.push_back(e.value);
                break;
            default: break;
        }
    }
    closeStage();

    const bool fourPoint = std::any_of(stages.begin(), stages.end(), [](const Stage& s) {
        return std::any_of(s.butterflies.begin(), s.butterflies.end(),
                           [](const Butterfly& b) { return b.reads.size() == 4; });
    });
    for (Stage& s : stages) {
        for (const Butterfly& b : s.butterflies) s.points = std::max<uint32_t>(s.points, b.reads.size());
        if (fourPoint) markClosing(s);
    }
    graph.stages = std::move(stages);
    return graph;
}

FlowGraph recordFlowGraph(const InstrumentedLibrary& instrumented, const fftplug::host::CatalogueEntry& entry,
                          uint32_t N) {
    FlowGraph graph = buildFlowGraph(entry.index, N, entry.naturalInput(), instrumented.recordAll(entry.index, N));
    graph.preparedTable = entry.preparesTable();
    // At two points an entry of four-point stages runs none: its one pass is
    // the closing pass, which the events alone do not tell from a radix-2
    // stage; the same entry at four points does.
    if (N == 2 && graph.stages.size() == 1) {
        const FlowGraph four = buildFlowGraph(entry.index, 4, entry.naturalInput(), instrumented.recordAll(entry.index, 4));
        if (std::any_of(four.stages.begin(), four.stages.end(), [](const Stage& s) { return s.points == 4; }))
            markClosing(graph.stages[0]);
    }
    const auto gloss = englishGloss(entry.name);
    graph.title = gloss ? fmt::format("entry {}: {}", entry.index, *gloss) : fmt::format("entry {}", entry.index);
    return graph;
}

}  // namespace fftbench
