#include "measure/summary.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <set>

#include "host/bit_reversal.h"

namespace fftbench {

std::vector<PluginSummary> summarize(const BenchRun& bench) {
    std::map<uint32_t, double> reference;
    for (const BenchResult& r : bench.results)
        if (!r.entry && r.implementation == bench.settings.reference && r.mflops > 0) reference[r.N] = r.mflops;
    auto inRange = [](unsigned log2N, unsigned from, unsigned to) { return log2N >= from && log2N <= to; };

    std::vector<PluginSummary> summaries;
    for (size_t p = 0; p < bench.plugins.size(); ++p) {
        PluginSummary summary;
        summary.plugin = bench.plugins[p].label;
        for (const bool reorder : {false, true}) {
            // The best entry at each size, against the reference there.
            std::map<uint32_t, double> best;
            for (const BenchResult& r : bench.results)
                if (r.entry && r.plugin == summary.plugin && r.reorder == reorder && reference.count(r.N) &&
                    r.lineOffset == bench.settings.primaryLineOffset())
                    best[r.N] = std::max(best[r.N], r.mflops / reference[r.N]);
            for (const auto& range : {std::array<unsigned, 2>{4, 20}, std::array<unsigned, 2>{16, 20}}) {
                RangeFigure figure;
                figure.fromLog2 = range[0];
                figure.toLog2 = range[1];
                figure.reorder = reorder;
                double logSum = 0;
                for (const auto& [N, ratio] : best)
                    if (inRange(fftplug::host::log2Exact(N), range[0], range[1]) && ratio > 0) {
                        logSum += std::log(ratio);
                        ++figure.sizes;
                        figure.measured.push_back(N);
                    }
                if (figure.sizes == 0) continue;
                figure.value = std::exp(logSum / static_cast<double>(figure.sizes));
                summary.bestOverReference.push_back(figure);
            }
            RangeFigure lowest;
            lowest.minimum = true;
            lowest.fromLog2 = 6;
            lowest.toLog2 = 14;
            lowest.reorder = reorder;
            for (const auto& [N, ratio] : best)
                if (inRange(fftplug::host::log2Exact(N), lowest.fromLog2, lowest.toLog2)) {
                    lowest.measured.push_back(N);
                    if (lowest.sizes++ == 0 || ratio < lowest.value) {
                        lowest.value = ratio;
                        lowest.atN = N;
                    }
                }
            if (lowest.sizes > 0) summary.bestOverReference.push_back(lowest);
        }

        // The speed-up over the first plug-in, all entries and entry by entry.
        if (p > 0) {
            struct Sum {
                double logs = 0;
                size_t count = 0;
                std::set<uint32_t> sizes;
            };
            std::map<std::optional<uint32_t>, Sum> sums;
            for (const BenchResult& r : bench.results) {
                if (r.plugin != summary.plugin || r.reorder || r.lineOffset != bench.settings.primaryLineOffset() ||
                    !r.ratioToFirst || *r.ratioToFirst <= 0 ||
                    !inRange(r.log2N, kRatioFromLog2, kRatioToLog2))
                    continue;
                for (const std::optional<uint32_t> key : {std::optional<uint32_t>(), r.entry}) {
                    sums[key].logs += std::log(*r.ratioToFirst);
                    ++sums[key].count;
                    sums[key].sizes.insert(r.N);
                }
            }
            for (const auto& [entry, sum] : sums)  // nullopt sorts first
                summary.ratios.push_back(EntryRatio{entry, sum.count, {sum.sizes.begin(), sum.sizes.end()},
                                                    std::exp(sum.logs / static_cast<double>(sum.count))});
        }
        summaries.push_back(std::move(summary));
    }
    return summaries;
}

std::vector<AlignmentFigure> alignmentRatios(const BenchRun& bench) {
    std::vector<AlignmentFigure> figures;
    const uint32_t against = bench.settings.primaryLineOffset();
    for (const PluginInfo& plugin : bench.plugins) {
        std::map<std::pair<uint32_t, uint32_t>, double> base;
        for (const BenchResult& r : bench.results)
            if (r.entry && !r.reorder && r.plugin == plugin.label && r.lineOffset == against && r.mflops > 0)
                base[{*r.entry, r.N}] = r.mflops;
        for (size_t o = 1; o < bench.settings.lineOffsets.size(); ++o) {
            AlignmentFigure figure;
            figure.plugin = plugin.label;
            figure.lineOffset = bench.settings.lineOffsets[o];
            figure.against = against;
            std::map<uint32_t, std::pair<double, size_t>> logs;
            std::set<uint32_t> sizes;
            for (const BenchResult& r : bench.results) {
                if (!r.entry || r.reorder || r.plugin != plugin.label || r.lineOffset != figure.lineOffset) continue;
                const auto found = base.find({*r.entry, r.N});
                if (found == base.end() || r.mflops <= 0) continue;
                const double ratio = r.mflops / found->second;
                figure.cells[{*r.entry, r.N}] = ratio;
                logs[*r.entry].first += std::log(ratio);
                ++logs[*r.entry].second;
                sizes.insert(r.N);
                if (figure.cells.size() == 1 || ratio < figure.lowest) {
                    figure.lowest = ratio;
                    figure.lowestEntry = *r.entry;
                    figure.lowestN = r.N;
                }
            }
            if (figure.cells.empty()) continue;
            for (const auto& [entry, sum] : logs)
                figure.geometricMean[entry] = std::exp(sum.first / static_cast<double>(sum.second));
            figure.measured.assign(sizes.begin(), sizes.end());
            figures.push_back(std::move(figure));
        }
    }
    return figures;
}

std::optional<BestAtSize> bestEntryOverReference(const BenchRun& bench, const std::string& plugin, uint32_t N,
                                                 bool reorder) {
    double reference = 0;
    std::optional<BestAtSize> best;
    double bestMflops = 0;
    for (const BenchResult& r : bench.results) {
        if (r.N != N) continue;
        if (!r.entry && r.implementation == bench.settings.reference) reference = r.mflops;
        if (r.entry && r.plugin == plugin && r.reorder == reorder &&
            r.lineOffset == bench.settings.primaryLineOffset() && r.mflops > bestMflops) {
            bestMflops = r.mflops;
            best = BestAtSize{*r.entry, 0};
        }
    }
    if (!best || reference <= 0) return std::nullopt;
    best->ratio = bestMflops / reference;
    return best;
}

}  // namespace fftbench
