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

std::vector<FactorMark> factorMarks(const Butterfly& b) {
    if (b.kind == ButterflyKind::twiddleFree || b.kind == ButterflyKind::closing) return {};
    std::vector<uint32_t> rows = b.reads;
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    std::vector<FactorMark> marks;
    auto mark = [&](size_t quarter, std::string factor) {
        if (quarter < rows.size()) marks.push_back({rows[quarter], b.multipliesInput, std::move(factor)});
    };
    if (rows.size() == 2) {
        mark(1, b.label);  // "t[5]", "−i", "W8", "W8³"
        return marks;
    }
    if (rows.size() != 4) return marks;
    if (b.kind == ButterflyKind::blockOne) {
        for (const uint32_t f : b.applied) {
            if (f == FFTPLUG_FACTOR_W8) mark(1, factorSymbol(f));
            if (f == FFTPLUG_FACTOR_MINUS_I) mark(2, factorSymbol(f));
            if (f == FFTPLUG_FACTOR_W8_CUBED) mark(3, factorSymbol(f));
        }
    } else if (b.kind == ButterflyKind::general && b.factors.size() == 2) {
        const uint32_t k = std::min(b.factors[0], b.factors[1]), k2 = std::max(b.factors[0], b.factors[1]);
        // The products after the butterfly's own −i: those that multiply its
        // outputs (a block's f3 may be formed within the first butterfly).
        const auto afterFourPoint =
            std::find(b.applied.rbegin(), b.applied.rend(), uint32_t{FFTPLUG_FACTOR_FOUR_POINT}).base();
        const size_t products = std::count(afterFourPoint, b.applied.end(), uint32_t{FFTPLUG_FACTOR_PRODUCT});
        if (products == 3) {
            mark(1, fmt::format("t[{}]", k2));
            mark(2, fmt::format("t[{}]", k));
            mark(3, fmt::format("t[{}]·t[{}]", k, k2));
        } else if (products == 2) {
            mark(1, fmt::format("t[{}]", k2));
            mark(3, fmt::format("t[{}]·t[{}]", k2, k));
        }
    }
    std::sort(marks.begin(), marks.end(), [](const FactorMark& x, const FactorMark& y) { return x.position < y.position; });
    return marks;
}

uint32_t Recursion::leafSize() const {
    uint32_t leaf = 0;
    for (size_t i = 0; i < steps.size(); ++i) {
        if (steps[i].join) continue;
        // A block opens no block of its own when the next step is no call
        // inside it: a join, another block, or the end.
        const bool opensChild = i + 1 < steps.size() && !steps[i + 1].join && steps[i + 1].size < steps[i].size;
        if (!opensChild) leaf = leaf == 0 ? steps[i].size : std::min(leaf, steps[i].size);
    }
    return leaf;
}

size_t Recursion::joins() const {
    return static_cast<size_t>(std::count_if(steps.begin(), steps.end(), [](const RecursionStep& s) { return s.join; }));
}

Recursion buildRecursion(uint32_t N, const std::vector<FftplugEvent>& events) {
    Recursion r;
    r.N = N;
    for (const FftplugEvent& e : events)
        if (e.what == FFTPLUG_EVENT_CALL || e.what == FFTPLUG_EVENT_JOIN)
            r.steps.push_back({e.what == FFTPLUG_EVENT_JOIN, e.value, e.extra});
    return r;
}

namespace {

// The recursion of an entry that divides its blocks, at twice the smallest
// size whose run joins halves: two levels of joins over four leaves.
std::optional<Recursion> recordRecursion(const InstrumentedLibrary& instrumented, uint32_t entry, uint32_t N) {
    const uint32_t mask = (1u << FFTPLUG_EVENT_CALL) | (1u << FFTPLUG_EVENT_JOIN);
    auto at = [&](uint32_t size) {
        std::vector<FftplugEvent> events;
        instrumented.record(entry, size, mask, [&](const FftplugEvent* e, size_t count) {
            events.insert(events.end(), e, e + count);
        });
        return buildRecursion(size, events);
    };
    if (at(N).steps.empty()) return std::nullopt;
    for (uint32_t size = std::max(N, 2u); size <= (1u << 16); size *= 2)
        if (at(size).joins() > 0) return at(2 * size);
    return std::nullopt;
}

}  // namespace

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
    graph.recursion = recordRecursion(instrumented, entry.index, N);
    const auto gloss = englishGloss(entry.name);
    // Decimation in time multiplies the lower sample of a pair as loaded.
    if (gloss && gloss->rfind("decimation in time", 0) == 0)
        for (Stage& s : graph.stages)
            for (Butterfly& b : s.butterflies) b.multipliesInput = b.kind != ButterflyKind::twiddleFree;
    graph.title = gloss ? fmt::format("entry {}: {}", entry.index, *gloss) : fmt::format("entry {}", entry.index);
    return graph;
}

}  // namespace fftbench
