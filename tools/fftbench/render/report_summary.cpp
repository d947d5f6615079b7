#include "render/report_summary.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "render/sizes.h"

namespace fftbench {

const EntryFigures* Summary::find(uint32_t entry) const {
    for (const EntryFigures& row : rows)
        if (row.entry == entry) return &row;
    return nullptr;
}

std::string ratioText(double ratio) { return fmt::format("{:.2f}×", ratio); }

Summary summarize(const BenchRun* benchRun, const ProfileRun* profileRun,
                  const std::vector<std::pair<uint32_t, const AccessTrace*>>& traces) {
    Summary summary;
    std::map<uint32_t, EntryFigures> rows;
    auto row = [&](uint32_t entry) -> EntryFigures& {
        EntryFigures& r = rows[entry];
        r.entry = entry;
        return r;
    };

    if (benchRun != nullptr) {
        const BenchRun& bench = *benchRun;
        const std::string firstPlugin = bench.plugins.empty() ? std::string() : bench.plugins.front().label;
        std::vector<uint32_t> sizes = bench.sizes;
        std::sort(sizes.begin(), sizes.end());
        if (!sizes.empty()) {
            summary.speedSizes = {sizes.front(), sizes[sizes.size() / 2], sizes.back()};
            summary.speedSizes.erase(std::unique(summary.speedSizes.begin(), summary.speedSizes.end()),
                                     summary.speedSizes.end());
            summary.ratioSize = sizes[sizes.size() / 2];
        }
        std::map<uint32_t, double> reference;
        for (const BenchResult& r : bench.results) {
            if (r.reorder) continue;
            if (r.entry && r.plugin == firstPlugin) {
                EntryFigures& figures = row(*r.entry);
                // The legend's words without the index the table shows beside them.
                const size_t space = r.label.find(' ');
                figures.label = space != std::string::npos && r.label.rfind(std::to_string(*r.entry) + " ", 0) == 0
                                    ? r.label.substr(space + 1)
                                    : r.label;
                figures.mflops[r.N] = r.mflops;
                if (r.N == sizes.back() && r.limitPercent) figures.limitPercent = r.limitPercent;
            } else if (!r.entry && r.implementation == bench.settings.reference) {
                reference[r.N] = r.mflops;
            }
        }
        if (reference.count(summary.ratioSize)) {
            summary.reference = bench.settings.reference;
            for (auto& [entry, figures] : rows) {
                const auto at = figures.mflops.find(summary.ratioSize);
                if (at != figures.mflops.end() && reference[summary.ratioSize] > 0)
                    figures.ratioToReference = at->second / reference[summary.ratioSize];
            }
        }
    }

    if (profileRun != nullptr && !profileRun->sizes.empty()) {
        summary.countSize = *std::max_element(profileRun->sizes.begin(), profileRun->sizes.end());
        for (const ProfileRow& r : profileRun->rows) {
            if (!r.entry || r.N != summary.countSize || r.log2N == 0) continue;
            EntryFigures& figures = row(*r.entry);
            figures.flopsPerNLog2N = r.flopsPerNLog2N();
            if (r.counts) {
                figures.loadsPerPoint = double(r.counts->loads) / double(r.N);
                figures.stages = double(r.counts->stages);
            }
        }
    }

    for (const auto& [index, traced] : traces) {
        if (traced == nullptr) continue;
        summary.traceSize = traced->N;
        const AccessTrace& trace = *traced;
        const double total = double(trace.reuse.accesses());
        if (total <= 0) continue;
        EntryFigures& figures = row(index);
        if (figures.label.empty()) figures.label = trace.title;
        if (trace.caches.size() > 0 && trace.misses.size() > 0) {
            figures.l1Miss = double(trace.misses[0]) / total;
            summary.l1Name = trace.caches[0].name;
        }
        if (trace.caches.size() > 1 && trace.misses.size() > 1) {
            figures.l2Miss = double(trace.misses[1]) / total;
            summary.l2Name = trace.caches[1].name;
        }
    }
    for (auto& [entry, figures] : rows) summary.rows.push_back(figures);
    return summary;
}

namespace {

std::optional<double> speedAt(const EntryFigures* row, uint32_t N) {
    if (row == nullptr) return std::nullopt;
    const auto at = row->mflops.find(N);
    if (at == row->mflops.end() || at->second <= 0) return std::nullopt;
    return at->second;
}

// "runs 1.31× as fast", "runs about as fast", "runs slower, 0.82× as fast":
// one speed against another, with a band where the two count as equal
// (timings of a short run on a shared machine differ by a few per cent).
std::string speedWords(double ratio) {
    if (ratio >= 1.05) return fmt::format("runs {} as fast", ratioText(ratio));
    if (ratio <= 0.95) return fmt::format("runs slower, {} as fast", ratioText(ratio));
    return "runs about as fast (within 5 %)";
}

std::string percent(double share) { return fmt::format("{:.1f} %", 100 * share); }

std::optional<std::string> fastestSentence(const Summary& s) {
    if (s.speedSizes.empty()) return std::nullopt;
    const uint32_t N = s.speedSizes.back();
    const EntryFigures* best = nullptr;
    double bestSpeed = 0;
    for (const EntryFigures& row : s.rows)
        if (const auto speed = speedAt(&row, N); speed && *speed > bestSpeed) {
            best = &row;
            bestSpeed = *speed;
        }
    if (best == nullptr) return std::nullopt;
    std::string text = fmt::format("At {} the fastest entry is entry {} ({}), at {:.0f} mflops", powerOfTwoText(N),
                                   best->entry, best->label, bestSpeed);
    if (!s.reference.empty() && N == s.ratioSize && best->ratioToReference)
        text += fmt::format(", {} the speed of {}", ratioText(*best->ratioToReference), s.reference);
    return text + ".";
}

// Radix 4 (entry 6) against radix 2 (entry 3): passes and speed.
std::optional<std::string> radix4Sentence(const Summary& s) {
    const EntryFigures *two = s.find(3), *four = s.find(6);
    if (two == nullptr || four == nullptr || !two->stages || !four->stages) return std::nullopt;
    const auto speedTwo = speedAt(two, s.ratioSize), speedFour = speedAt(four, s.ratioSize);
    const double passes = *four->stages / *two->stages;
    const std::string share = passes >= 1                   ? "no fewer sweeps"
                              : std::abs(passes - 0.5) < 0.06 ? "about half the sweeps"
                                                              : fmt::format("{:.0f} % of the sweeps", 100 * passes);
    std::string text = fmt::format("Radix 4 (entry 6) sweeps the array in {:.0f} stages at {} where radix 2 "
                                   "(entry 3) takes {:.0f}: {}",
                                   *four->stages, powerOfTwoText(s.countSize), *two->stages, share);
    if (speedTwo && speedFour)
        text += fmt::format(", and {} at {} here", speedWords(*speedFour / *speedTwo), powerOfTwoText(s.ratioSize));
    return text + ".";
}

// Split radix (entry 8) against radix 4 (entry 6): operations and speed.
std::optional<std::string> splitRadixSentence(const Summary& s) {
    const EntryFigures *four = s.find(6), *split = s.find(8);
    if (four == nullptr || split == nullptr || !four->flopsPerNLog2N || !split->flopsPerNLog2N) return std::nullopt;
    const double saved = 1 - *split->flopsPerNLog2N / *four->flopsPerNLog2N;
    std::string text =
        saved > 0.005
            ? fmt::format("Split radix (entry 8) counts {:.0f} % fewer operations than radix 4 (entry 6), {:.2f} "
                          "against {:.2f} per N·log2 N",
                          100 * saved, *split->flopsPerNLog2N, *four->flopsPerNLog2N)
            : fmt::format("Split radix (entry 8) counts no fewer operations than radix 4 (entry 6) here, {:.2f} "
                          "against {:.2f} per N·log2 N",
                          *split->flopsPerNLog2N, *four->flopsPerNLog2N);
    const auto speedFour = speedAt(four, s.ratioSize), speedSplit = speedAt(split, s.ratioSize);
    if (speedFour && speedSplit)
        text += fmt::format("; it {} at {}", speedWords(*speedSplit / *speedFour), powerOfTwoText(s.ratioSize));
    return text + ".";
}

// The special butterflies: entries 5, 7 and 9 against 3, 6 and 8.
std::optional<std::string> specialSentence(const Summary& s) {
    std::vector<std::string> parts;
    for (const auto& [special, plain] : {std::pair{5u, 3u}, {7u, 6u}, {9u, 8u}}) {
        const EntryFigures *a = s.find(special), *b = s.find(plain);
        if (a == nullptr || b == nullptr || !a->flopsPerNLog2N || !b->flopsPerNLog2N) continue;
        const double saved = 1 - *a->flopsPerNLog2N / *b->flopsPerNLog2N;
        std::string part = saved > 0.005 ? fmt::format("entry {} counts {:.0f} % fewer operations than entry {}",
                                                       special, 100 * saved, plain)
                                         : fmt::format("entry {} counts no fewer operations than entry {}", special,
                                                       plain);
        const auto va = speedAt(a, s.ratioSize), vb = speedAt(b, s.ratioSize);
        if (va && vb) part += fmt::format(" and {}", speedWords(*va / *vb));
        parts.push_back(part);
    }
    if (parts.empty()) return std::nullopt;
    std::string text = "With the special butterflies of the first blocks, ";
    for (size_t i = 0; i < parts.size(); ++i)
        text += (i == 0 ? "" : i + 1 == parts.size() ? "; and " : "; ") + parts[i];
    if (s.ratioSize) text += fmt::format(" (speeds at {})", powerOfTwoText(s.ratioSize));
    return text + ".";
}

// Entry 4's depth-first order against entry 3's stage by stage: the L1 misses.
std::optional<std::string> orderSentence(const Summary& s) {
    const EntryFigures *breadth = s.find(3), *depth = s.find(4);
    if (breadth == nullptr || depth == nullptr || !breadth->l1Miss || !depth->l1Miss) return std::nullopt;
    const char* relation = *depth->l1Miss < 0.9 * *breadth->l1Miss   ? "fewer than"
                           : *depth->l1Miss > 1.1 * *breadth->l1Miss ? "more than"
                                                                       : "about as many as";
    std::string text = fmt::format("Entry 4 runs entry 3's butterflies depth first: at {} {} of its accesses miss an "
                                   "LRU cache of {}'s size, {} entry 3's {}",
                                   powerOfTwoText(s.traceSize), percent(*depth->l1Miss), s.l1Name, relation,
                                   percent(*breadth->l1Miss));
    if (!s.speedSizes.empty()) {
        const uint32_t N = s.speedSizes.back();
        const auto a = speedAt(depth, N), b = speedAt(breadth, N);
        if (a && b) text += fmt::format("; at {} it {}", powerOfTwoText(N), speedWords(*a / *b));
    }
    return text + ".";
}

// The twiddle loop outside (entry 0) against the block loop outside (entry 3).
std::optional<std::string> loopOrderSentence(const Summary& s) {
    const EntryFigures *outside = s.find(0), *inside = s.find(3);
    if (outside == nullptr || inside == nullptr || !outside->l2Miss || !inside->l2Miss) return std::nullopt;
    if (!(*outside->l2Miss > 1.1 * *inside->l2Miss)) return std::nullopt;  // the map would not show the point
    std::string text = fmt::format("Entry 0 walks the array once per factor and misses an LRU cache of {}'s size on "
                                   "{} of its accesses at {}, entry 3 on {}",
                                   s.l2Name, percent(*outside->l2Miss), powerOfTwoText(s.traceSize),
                                   percent(*inside->l2Miss));
    if (!s.speedSizes.empty()) {
        const uint32_t N = s.speedSizes.back();
        const auto a = speedAt(inside, N), b = speedAt(outside, N);
        if (a && b) text += fmt::format("; at {} entry 3 {}", powerOfTwoText(N), speedWords(*a / *b));
    }
    return text + ".";
}

}  // namespace

std::vector<std::string> summarySentences(const Summary& summary) {
    std::vector<std::string> sentences;
    for (const auto& sentence : {fastestSentence, radix4Sentence, splitRadixSentence, specialSentence, orderSentence,
                                 loopOrderSentence})
        if (auto text = sentence(summary)) sentences.push_back(*text);
    return sentences;
}

}  // namespace fftbench
