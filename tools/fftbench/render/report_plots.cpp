#include "render/report_plots.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <map>

#include "host/bit_reversal.h"
#include "render/svg.h"

namespace fftbench {

namespace {

// A round step for about `count` ticks over [0, top].
double tickStep(double top, int count) {
    const double raw = top / count;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double m : {1.0, 2.0, 2.5, 5.0, 10.0})
        if (m * power >= raw) return m * power;
    return 10 * power;
}

// The family of a line, for its colour: the entry's formulation, or a peer.
std::string family(const std::optional<uint32_t>& entry) {
    if (!entry) return "peer";
    if (*entry <= 5) return "radix2";
    if (*entry <= 7) return "radix4";
    return "split";
}

// Dash patterns that tell the lines of one family apart.
const char* dash(size_t index) {
    static const char* patterns[] = {"", "6 3", "2 3", "8 3 2 3", "12 4", "1 2"};
    return patterns[index % 6];
}

// Positions of labels at `wanted` y, kept at least `gap` apart and within [top, bottom].
std::vector<double> spread(const std::vector<double>& wanted, double gap, double top, double bottom) {
    std::vector<size_t> order(wanted.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return wanted[a] < wanted[b]; });
    std::vector<double> placed(wanted.size());
    double next = top;
    for (const size_t i : order) {
        placed[i] = std::max(wanted[i], next);
        next = placed[i] + gap;
    }
    // Pushed past the bottom: shift the run back up.
    double over = order.empty() ? 0 : placed[order.back()] - bottom;
    for (auto it = order.rbegin(); it != order.rend() && over > 0; ++it) {
        placed[*it] -= over;
        const auto nextIt = std::next(it);
        if (nextIt != order.rend()) over = placed[*nextIt] + gap - placed[*it];
    }
    return placed;
}

}  // namespace

std::string speedPlotSvg(const BenchRun& bench) {
    struct Series {
        std::string name, family;
        std::map<unsigned, double> points;  // log2 N → mflops
        double last = 0;                    // at the largest size it has
    };
    const std::string firstPlugin = bench.plugins.empty() ? std::string() : bench.plugins.front().label;
    std::vector<Series> series;
    std::map<std::string, size_t> byName;
    unsigned lo = 64, hi = 0;
    double top = 0;
    for (const BenchResult& r : bench.results) {
        if (r.reorder || (r.entry && r.plugin != firstPlugin) || r.mflops <= 0) continue;
        const std::string key = r.implementation;
        if (!byName.count(key)) {
            byName[key] = series.size();
            series.push_back({r.label, family(r.entry), {}, 0});
        }
        series[byName[key]].points[r.log2N] = r.mflops;
        lo = std::min(lo, r.log2N);
        hi = std::max(hi, r.log2N);
        top = std::max(top, r.mflops);
    }
    if (series.empty()) return {};
    for (Series& s : series) s.last = s.points.rbegin()->second;
    std::stable_sort(series.begin(), series.end(), [](const Series& a, const Series& b) { return a.last > b.last; });

    const double width = 1040, height = 400, left = 64, right = 780, plotTop = 30, bottom = 356;
    const double step = tickStep(top * 1.05, 6);
    const double yTop = std::ceil(top * 1.05 / step) * step;
    auto px = [&](unsigned log2N) { return hi == lo ? (left + right) / 2 : left + (right - left) * (log2N - lo) / (hi - lo); };
    auto py = [&](double mflops) { return bottom - (bottom - plotTop) * mflops / yTop; };

    SvgWriter svg(width, height, "speed-plot", {});
    svg.attr("class", "background").rect(0, 0, width, height);
    svg.attr("class", "plot-title").text(left, 20, "Speed: mflops = 5·N·log2 N / µs; a marker at every size measured");
    for (double y = 0; y <= yTop + step / 2; y += step) {
        svg.attr("class", "grid").line(left, py(y), right, py(y));
        svg.attr("class", "tick").attr("text-anchor", "end").text(left - 6, py(y) + 4, fmt::format("{:g}", y));
    }
    for (unsigned k = lo; k <= hi; ++k) {
        svg.attr("class", "grid").line(px(k), plotTop, px(k), bottom);
        svg.attr("class", "tick").attr("text-anchor", "middle").text(px(k), bottom + 16, fmt::format("2^{}", k));
    }
    svg.attr("class", "axis-name").attr("text-anchor", "middle").text((left + right) / 2, bottom + 36, "N");

    std::map<std::string, size_t> inFamily;
    std::vector<double> ends;
    for (const Series& s : series) {
        const size_t index = inFamily[s.family]++;
        svg.attr("class", "series " + s.family).openGroup();
        svg.title(s.name);
        std::string d;
        unsigned previous = 0;
        bool open = false;
        for (const auto& [k, v] : s.points) {
            d += fmt::format("{}{} {} ", open && k == previous + 1 ? "L" : "M", svgNumber(px(k)), svgNumber(py(v)));
            previous = k;
            open = true;
        }
        if (const char* pattern = dash(index); *pattern) svg.attr("stroke-dasharray", pattern);
        svg.attr("class", "line").path(d);
        for (const auto& [k, v] : s.points) {
            if (s.family == "peer") svg.attr("class", "marker").rect(px(k) - 3, py(v) - 3, 6, 6);
            else svg.attr("class", "marker").circle(px(k), py(v), 3);
        }
        svg.closeGroup();
        ends.push_back(py(s.last));
    }
    // The names at the right ends, in speed order from the top, joined to their lines' ends.
    const std::vector<double> at = spread(ends, 13, plotTop, bottom + 30);
    for (size_t i = 0; i < series.size(); ++i) {
        const Series& s = series[i];
        const double endX = px(s.points.rbegin()->first);
        svg.attr("class", "series " + s.family).openGroup();
        svg.attr("class", "leader").line(endX + 4, ends[i], right + 14, at[i] - 4);
        svg.attr("class", "end-label").text(right + 18, at[i], fmt::format("{}. {} ({:.0f})", i + 1, s.name, s.last));
        svg.closeGroup();
    }
    return svg.finish();
}

std::string reusePlotSvg(const std::vector<const AccessTrace*>& traces) {
    if (traces.empty()) return {};
    size_t bins = 0;
    for (const AccessTrace* t : traces) bins = std::max(bins, t->reuse.bins.size());
    if (bins == 0) return {};
    const double width = 1120, height = 330, left = 70, right = 760, plotTop = 30, bottom = 276;
    const int decades = 6;  // shares from 10^-6 to 1
    auto px = [&](double bin) { return left + (right - left) * bin / double(std::max<size_t>(bins, 2) - 1); };
    auto py = [&](double share) {
        const double l = std::max(std::log10(share), -double(decades));
        return plotTop + (bottom - plotTop) * (-l) / decades;
    };
    SvgWriter svg(width, height, "reuse-plot", {});
    svg.attr("class", "background").rect(0, 0, width, height);
    svg.attr("class", "plot-title").text(left, 20, fmt::format("Reuse distances at N = {}: share of accesses per "
                                                               "distance (both axes logarithmic)",
                                                               traces.front()->N));
    for (int d = 0; d <= decades; ++d) {
        svg.attr("class", "grid").line(left, py(std::pow(10.0, -d)), right, py(std::pow(10.0, -d)));
        svg.attr("class", "tick").attr("text-anchor", "end")
            .text(left - 6, py(std::pow(10.0, -d)) + 4, d == 0 ? "1" : fmt::format("10^-{}", d));
    }
    for (size_t b = 0; b < bins; b += 2) {
        svg.attr("class", "tick").attr("text-anchor", "middle")
            .text(px(double(b)), bottom + 16, b == 0 ? "0" : fmt::format("{}", uint64_t{1} << (b - 1)));
    }
    svg.attr("class", "axis-name").attr("text-anchor", "middle")
        .text((left + right) / 2, bottom + 36, "reuse distance in 64-byte lines (bin k: 2^(k−1) … 2^k − 1)");
    // The caches: a line of C bytes is reused from the cache when distance < C / 64.
    const AccessTrace& first = *traces.front();
    for (const CacheLevel& cache : first.caches) {
        const double lines = double(cache.bytes / kLineBytes);
        const double bin = std::log2(lines) + 1;
        if (bin > double(bins - 1)) continue;
        svg.attr("class", "cache").line(px(bin), plotTop, px(bin), bottom);
        svg.attr("class", "cache-name").text(px(bin) + 3, plotTop + 10,
                                             fmt::format("{} {} KiB ({})", cache.name, cache.bytes >> 10, cache.source));
    }
    std::vector<double> ends, lastXs;
    for (size_t t = 0; t < traces.size(); ++t) {
        const AccessTrace& trace = *traces[t];
        const double total = double(trace.reuse.accesses());
        svg.attr("class", fmt::format("series reuse-{}", t)).openGroup();
        svg.title(trace.title);
        // A line only between neighbouring bins that hold accesses: an empty
        // bin (no point on a logarithmic axis) breaks it.
        std::string d;
        double lastY = bottom, lastX = left;
        bool joined = false;
        for (size_t b = 0; b < trace.reuse.bins.size(); ++b) {
            const double share = total > 0 ? double(trace.reuse.bins[b]) / total : 0;
            if (share <= 0) {
                joined = false;
                continue;
            }
            d += fmt::format("{}{} {} ", joined ? "L" : "M", svgNumber(px(double(b))), svgNumber(py(share)));
            joined = true;
            svg.attr("class", "marker").circle(px(double(b)), py(share), 2.5);
            lastY = py(share);
            lastX = px(double(b));
        }
        lastXs.push_back(lastX);
        svg.attr("class", "line").attr("stroke-dasharray", dash(t)).path(d);
        svg.closeGroup();
        ends.push_back(lastY);
    }
    const std::vector<double> at = spread(ends, 14, plotTop, bottom);
    for (size_t t = 0; t < traces.size(); ++t) {
        svg.attr("class", fmt::format("series reuse-{}", t)).openGroup();
        svg.attr("class", "leader").line(lastXs[t] + 4, ends[t], right + 8, at[t] - 4);
        const std::string& title = traces[t]->title;
        const size_t open = title.find('(');
        svg.attr("class", "end-label").text(right + 12, at[t], fmt::format("entry {} {}", traces[t]->entry,
                                                                          open == std::string::npos ? "" : title.substr(open)));
        svg.closeGroup();
    }
    return svg.finish();
}

}  // namespace fftbench
