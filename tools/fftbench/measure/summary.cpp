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
                if (r.entry && r.plugin == summary.plugin && r.reorder == reorder && reference.count(r.N))
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
                if (r.plugin != summary.plugin || r.reorder || !r.ratioToFirst || *r.ratioToFirst <= 0 ||
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

std::optional<BestAtSize> bestEntryOverReference(const BenchRun& bench, const std::string& plugin, uint32_t N,
                                                 bool reorder) {
    double reference = 0;
    std::optional<BestAtSize> best;
    double bestMflops = 0;
    for (const BenchResult& r : bench.results) {
        if (r.N != N) continue;
        if (!r.entry && r.implementation == bench.settings.reference) reference = r.mflops;
        if (r.entry && r.plugin == plugin && r.reorder == reorder && r.mflops > bestMflops) {
            bestMflops = r.mflops;
            best = BestAtSize{*r.entry, 0};
        }
    }
    if (!best || reference <= 0) return std::nullopt;
    best->ratio = bestMflops / reference;
    return best;
}

}  // namespace fftbench
