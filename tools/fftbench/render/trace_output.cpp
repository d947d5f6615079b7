#include "render/trace_output.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <algorithm>
#include <cmath>
#include <map>

#include "assets/assets.h"
#include "render/sizes.h"
#include "render/svg.h"

namespace fftbench {

// ---- text and CSV -------------------------------------------------------------

namespace {

std::string bytesText(uint64_t bytes) {
    if (bytes >= (uint64_t{1} << 30) && bytes % (uint64_t{1} << 30) == 0) return fmt::format("{} GiB", bytes >> 30);
    if (bytes >= (uint64_t{1} << 20) && bytes % (uint64_t{1} << 20) == 0) return fmt::format("{} MiB", bytes >> 20);
    if (bytes >= 1024 && bytes % 1024 == 0) return fmt::format("{} KiB", bytes >> 10);
    if (bytes >= (uint64_t{1} << 20)) return fmt::format("{:.1f} MiB", double(bytes) / double(1 << 20));
    if (bytes >= 1024) return fmt::format("{:.1f} KiB", double(bytes) / 1024);
    return fmt::format("{} B", bytes);
}

// "0", "1", "2-3", "4-7" … lines.
std::string binText(size_t k) {
    if (k <= 1) return std::to_string(k);
    return fmt::format("{}-{}", uint64_t{1} << (k - 1), (uint64_t{1} << k) - 1);
}

double share(uint64_t part, uint64_t whole) { return whole == 0 ? 0.0 : double(part) / double(whole); }

}  // namespace

void printAccessTrace(std::FILE* out, const AccessTrace& trace) {
    const uint64_t lines = trace.arrayLines();
    fmt::print(out, "{}, N = {}: {} of samples, {} lines of {} bytes\n", trace.title, powerOfTwoText(trace.N),
               bytesText(uint64_t{trace.N} * kSampleBytes), lines, kLineBytes);
    fmt::print(out, "{} loads and {} stores ({} moved) in {} stages; recorded from the scalar kernel\n\n", trace.loads,
               trace.stores, bytesText(kSampleBytes * (trace.loads + trace.stores)), trace.stageCount);

    fmt::print(out, "{:<24} {:>7} {:>10} {:>10} {:>11} {:>11} {:>10}", "stage", "stages", "loads", "stores",
               "bytes", "lines/stage", "jumps>=4K");
    for (const CacheLevel& cache : trace.caches) fmt::print(out, " {:>10}", "far>" + cache.name);
    fmt::print(out, "\n");
    for (const StageTraffic& s : trace.stages) {
        fmt::print(out, "{:<24} {:>7} {:>10} {:>10} {:>11} {:>11.1f} {:>10}", s.description(), s.stages, s.loads,
                   s.stores, s.bytes(), double(s.lines) / double(std::max<uint64_t>(s.stages, 1)), s.farJumps);
        for (size_t c = 0; c < trace.caches.size(); ++c)
            fmt::print(out, " {:>10.3f}", share(s.misses[c], s.reuse.accesses()));
        fmt::print(out, "\n");
    }
    fmt::print(out, "{:<24} {:>7} {:>10} {:>10} {:>11} {:>11} {:>10}", "all", trace.stageCount, trace.loads,
               trace.stores, kSampleBytes * (trace.loads + trace.stores), "", "");
    for (size_t c = 0; c < trace.caches.size(); ++c)
        fmt::print(out, " {:>10.3f}", share(trace.misses[c], trace.reuse.accesses()));
    std::vector<std::string> named;
    for (const CacheLevel& cache : trace.caches) named.push_back(describeCache(cache));
    fmt::print(out, "\n\nfar>C: the share of the accesses whose line was touched never before or C/64 or more "
                    "distinct lines\nbefore: what an LRU cache of C bytes would miss ({})\n\n",
               fmt::join(named, ", "));

    const ReuseHistogram& h = trace.reuse;
    const uint64_t total = h.accesses();
    fmt::print(out, "reuse distance of all {} accesses (distinct lines touched between two touches of a line)\n", total);
    fmt::print(out, "{:>15} {:>15} {:>12} {:>8} {:>12}\n", "lines", "bytes", "accesses", "share", "this or more");
    uint64_t atOrAbove = total;
    for (size_t k = 0; k < h.bins.size(); ++k) {
        const uint64_t low = k == 0 ? 0 : uint64_t{1} << (k - 1);
        fmt::print(out, "{:>15} {:>15} {:>12} {:>8.4f} {:>12.4f}\n", binText(k),
                   k == 0 ? std::string("0") : bytesText(low * kLineBytes), h.bins[k], share(h.bins[k], total),
                   share(atOrAbove, total));
        atOrAbove -= h.bins[k];
    }
    fmt::print(out, "{:>15} {:>15} {:>12} {:>8.4f} {:>12.4f}\n", "first touch", "-", h.firstTouches,
               share(h.firstTouches, total), share(h.firstTouches, total));
}

std::string accessTraceCsv(const AccessTrace& trace) {
    size_t bins = trace.reuse.bins.size();
    std::string csv = "entry,n,stage,block_size,apart,stages,loads,stores,bytes,distinct_lines,lines_per_stage,"
                      "far_jumps,first_touches";
    for (size_t k = 0; k < bins; ++k) csv += ",reuse_" + binText(k);
    for (const CacheLevel& cache : trace.caches)
        csv += fmt::format(",misses_{}_{}", cache.name, cache.bytes);
    csv += "\r\n";
    auto row = [&](const std::string& name, uint32_t block, uint32_t apart, uint64_t stages, uint64_t loads,
                   uint64_t stores, uint64_t lines, uint64_t jumps, const ReuseHistogram& reuse,
                   const std::vector<uint64_t>& misses) {
        csv += fmt::format("{},{},{},{},{},{},{},{},{},{},{:.6g},{},{}", trace.entry, trace.N, name,
                           block ? std::to_string(block) : std::string(), apart ? std::to_string(apart) : std::string(),
                           stages, loads, stores, kSampleBytes * (loads + stores), lines,
                           double(lines) / double(std::max<uint64_t>(stages, 1)), jumps, reuse.firstTouches);
        for (size_t k = 0; k < bins; ++k) csv += fmt::format(",{}", k < reuse.bins.size() ? reuse.bins[k] : 0);
        for (const uint64_t m : misses) csv += fmt::format(",{}", m);
        csv += "\r\n";
    };
    uint64_t lines = 0, jumps = 0;
    for (const StageTraffic& s : trace.stages) {
        row(s.description(), s.block, s.apart, s.stages, s.loads, s.stores, s.lines, s.farJumps, s.reuse, s.misses);
        lines += s.lines;
        jumps += s.farJumps;
    }
    row("all", 0, 0, trace.stageCount, trace.loads, trace.stores, lines, jumps, trace.reuse, trace.misses);
    return csv;
}

// ---- the picture -----------------------------------------------------------------

namespace {

// The colour of the stages whose samples lie 2^k apart: a ramp of hues,
// darker for loads, lighter for stores, between for both.
std::string colourFor(unsigned k, unsigned count, unsigned flags) {
    const double hue = count <= 1 ? 220.0 : 250.0 - 250.0 * k / (count - 1);
    const double lightness = flags == 1 ? 0.36 : flags == 2 ? 0.70 : 0.52;
    const double saturation = 0.75;
    const double c = (1 - std::fabs(2 * lightness - 1)) * saturation;
    const double hp = hue / 60.0;
    const double x = c * (1 - std::fabs(std::fmod(hp, 2.0) - 1));
    double r = 0, g = 0, b = 0;
    if (hp < 1) { r = c; g = x; }
    else if (hp < 2) { r = x; g = c; }
    else if (hp < 3) { g = c; b = x; }
    else if (hp < 4) { g = x; b = c; }
    else if (hp < 5) { r = x; b = c; }
    else { r = c; b = x; }
    const double m = lightness - c / 2;
    auto byte = [&](double v) { return static_cast<int>(std::lround(255 * (v + m))); };
    return fmt::format("#{:02x}{:02x}{:02x}", byte(r), byte(g), byte(b));
}

}  // namespace

std::string accessTraceSvg(const AccessTrace& trace) {
    const double width = 1000, left = 78, mapWidth = 760, mapTop = 64, mapHeight = 360;
    const double histTop = mapTop + mapHeight + 92, histHeight = 190;
    const double height = histTop + histHeight + 74;
    SvgWriter svg(width, height, "ac", asset("access.css"));
    svg.attr("class", "background").rect(0, 0, width, height);
    svg.attr("class", "title").text(12, 22, fmt::format("{}, N = {}: memory accesses", trace.title,
                                                        powerOfTwoText(trace.N)));
    svg.attr("class", "subtitle")
        .text(12, 38, fmt::format("{} loads and {} stores ({}) in {} stages, recorded from the scalar kernel: each "
                                  "load or store a mark at its sample",
                                  trace.loads, trace.stores, bytesText(kSampleBytes * (trace.loads + trace.stores)),
                                  trace.stageCount));
    svg.attr("class", "subtitle")
        .text(12, 52, "and its place in the sequence, coloured by how far apart its stage's butterflies pair samples");

    // The map: columns merged until they fit the width.
    const AccessMap& map = trace.map;
    std::vector<uint16_t> cells = map.cells;
    uint32_t columns = map.columns;
    uint64_t perColumn = map.eventsPerColumn;
    while (columns > 800) {
        const uint32_t half = (columns + 1) / 2;
        std::vector<uint16_t> merged(size_t{half} * map.rows, 0);
        for (uint32_t c = 0; c < columns; ++c)
            for (uint32_t r = 0; r < map.rows; ++r) {
                uint16_t& target = merged[size_t{c / 2} * map.rows + r];
                target = AccessMap::merged(target, cells[size_t{c} * map.rows + r]);
            }
        cells = std::move(merged);
        columns = half;
        perColumn *= 2;
    }
    svg.attr("class", "frame").rect(left, mapTop, mapWidth, mapHeight);
    unsigned spans = 0;
    for (const uint16_t cell : cells) spans = std::max<unsigned>(spans, cell >> 2);
    if (columns > 0 && map.rows > 0) {
        const double cw = mapWidth / columns, rh = mapHeight / map.rows;
        // One path per colour, a vertical stroke per run of cells.
        std::map<uint16_t, std::string> paths;
        for (uint32_t c = 0; c < columns; ++c) {
            uint32_t r = 0;
            while (r < map.rows) {
                const uint16_t cell = cells[size_t{c} * map.rows + r];
                uint32_t end = r + 1;
                while (end < map.rows && cells[size_t{c} * map.rows + end] == cell) ++end;
                if (cell != 0) {
                    // Sample 0 at the bottom, as an address axis reads.
                    const double y = mapTop + mapHeight - end * rh;
                    paths[cell] += fmt::format("M{:.1f} {:.1f}v{:.1f}", left + (c + 0.5) * cw, y, (end - r) * rh);
                }
                r = end;
            }
        }
        for (const auto& [cell, data] : paths)
            svg.attr("class", "cells").attr("stroke", colourFor((cell >> 2) - 1u, spans, cell & 3))
                .attr("stroke-width", cw).path(data);
    }
    // Axes of the map.
    const uint64_t events = trace.loads + trace.stores;
    for (int i = 0; i <= 4; ++i) {
        const double x = left + mapWidth * i / 4;
        svg.attr("class", "tick").line(x, mapTop + mapHeight, x, mapTop + mapHeight + 4);
        svg.attr("class", "axis-label").attr("text-anchor", "middle")
            .text(x, mapTop + mapHeight + 16, fmt::format("{}", events * static_cast<uint64_t>(i) / 4));
        const double y = mapTop + mapHeight - mapHeight * i / 4;
        svg.attr("class", "tick").line(left - 4, y, left, y);
        svg.attr("class", "axis-label").attr("text-anchor", "end")
            .text(left - 6, y + 4, fmt::format("{}", uint64_t{trace.N} * static_cast<uint64_t>(i) / 4));
    }
    svg.attr("class", "axis-title").attr("text-anchor", "middle")
        .text(left + mapWidth / 2, mapTop + mapHeight + 32,
              fmt::format("event number (loads and stores in order; {} a column)", perColumn));
    svg.attr("class", "axis-title").attr("text-anchor", "middle")
        .attr("transform", fmt::format("rotate(-90 {} {})", 18, svgNumber(mapTop + mapHeight / 2)))
        .text(18, mapTop + mapHeight / 2, "sample index");

    // The legend: the distances apart that occur.
    double ly = mapTop + 6;
    const double lx = left + mapWidth + 16;
    svg.attr("class", "legend-head").text(lx, ly + 4, "samples apart");
    std::vector<uint32_t> aparts;
    for (const StageTraffic& s : trace.stages)
        if (std::find(aparts.begin(), aparts.end(), s.apart) == aparts.end()) aparts.push_back(s.apart);
    std::sort(aparts.begin(), aparts.end());
    const double step = std::min(16.0, (mapHeight - 60) / std::max<size_t>(aparts.size(), 1));
    for (const uint32_t apart : aparts) {
        ly += step;
        const unsigned k = (AccessMap::colourOf(apart) >> 2) - 1u;
        svg.attr("fill", colourFor(k, spans, 1)).rect(lx, ly - 8, 7, 9);
        svg.attr("fill", colourFor(k, spans, 2)).rect(lx + 7, ly - 8, 7, 9);
        svg.attr("class", "legend").text(lx + 20, ly, std::to_string(apart));
    }
    ly += 22;
    svg.attr("fill", colourFor(0, 1, 1)).rect(lx, ly - 8, 7, 9);
    svg.attr("class", "legend").text(lx + 20, ly, "load");
    ly += 14;
    svg.attr("fill", colourFor(0, 1, 2)).rect(lx, ly - 8, 7, 9);
    svg.attr("class", "legend").text(lx + 20, ly, "store");
    ly += 14;
    svg.attr("fill", colourFor(0, 1, 3)).rect(lx, ly - 8, 7, 9);
    svg.attr("class", "legend").text(lx + 20, ly, "both");

    // The reuse histogram: the share of accesses in each bin, and the share at
    // that distance or more (what an LRU cache of that size misses).
    const ReuseHistogram& h = trace.reuse;
    const uint64_t total = h.accesses();
    const size_t bins = h.bins.size() + 1;  // and the first touches
    svg.attr("class", "title-small").text(12, histTop - 30,
                                          "reuse distance: distinct 64-byte lines touched between two touches of "
                                          "the same line");
    svg.attr("class", "subtitle").text(12, histTop - 14,
                                       "bars: the share of all accesses at that distance; red line: the share at "
                                       "that distance or more, what an LRU cache of that size misses");
    svg.attr("class", "frame").rect(left, histTop, mapWidth, histHeight);
    const double bw = mapWidth / static_cast<double>(bins);
    for (int i = 0; i <= 4; ++i) {
        const double y = histTop + histHeight - histHeight * i / 4;
        svg.attr("class", "grid").line(left, y, left + mapWidth, y);
        svg.attr("class", "axis-label").attr("text-anchor", "end").text(left - 6, y + 4, fmt::format("{:.2f}", i / 4.0));
    }
    std::string curve;
    uint64_t atOrAbove = total;
    for (size_t k = 0; k < bins; ++k) {
        const bool first = k == bins - 1;
        const uint64_t count = first ? h.firstTouches : h.bins[k];
        const double part = share(count, total);
        const double x = left + k * bw;
        svg.attr("class", first ? "bar first" : "bar").rect(x + 1, histTop + histHeight * (1 - part), bw - 2,
                                                              histHeight * part);
        curve += fmt::format("{}{} {}", curve.empty() ? "M" : " L", svgNumber(x + bw / 2),
                             svgNumber(histTop + histHeight * (1 - share(atOrAbove, total))));
        atOrAbove -= count;
        const uint64_t low = k == 0 ? 0 : uint64_t{1} << (k - 1);
        const double labelX = first || k == 0 ? x + bw / 2 : x;  // the bins' lower bounds at their left edges
        if (first || k < 2 || k % 2 == 1 || bins <= 12)
            svg.attr("class", "axis-label").attr("text-anchor", "middle")
                .text(labelX, histTop + histHeight + 14, first ? "never" : k == 0 ? "0" : bytesText(low * kLineBytes));
    }
    svg.attr("class", "cumulative").path(curve);
    svg.attr("class", "axis-title").attr("text-anchor", "middle")
        .text(left + mapWidth / 2, histTop + histHeight + 32, "reuse distance, as bytes of distinct lines between");
    // The caches, where their size falls on the distance axis (bin k holds
    // 2^(k−1) … 2^k − 1 lines, so d lines lie at 1 + log2 d bins).
    int nth = 0;
    std::vector<std::string> beyond;
    for (size_t c = 0; c < trace.caches.size(); ++c) {
        const CacheLevel& cache = trace.caches[c];
        const double at = 1 + std::log2(static_cast<double>(std::max<uint64_t>(cache.bytes / kLineBytes, 1)));
        const std::string name = fmt::format("{} {}{}", cache.name, bytesText(cache.bytes),
                                             cache.source == "assumed" ? " (assumed)" : "");
        if (at > static_cast<double>(bins - 1)) {  // past every distance seen
            beyond.push_back(name);
            continue;
        }
        const double x = left + at * bw;
        svg.attr("class", "cache").line(x, histTop - 2, x, histTop + histHeight);
        svg.attr("class", "cache-label").text(x + 3, histTop + 11 + 12 * nth++,
                                              fmt::format("{}: misses {:.3f}", name,
                                                          share(trace.misses[c], total)));
    }
    if (!beyond.empty())
        svg.attr("class", "cache-label").attr("text-anchor", "middle")
            .text(left + mapWidth / 2, histTop + histHeight + 48,
                  fmt::format("{}: larger than every distance, misses first touches only", fmt::join(beyond, ", ")));
    return svg.finish();
}

}  // namespace fftbench
