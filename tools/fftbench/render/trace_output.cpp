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

// The class of a cell of the map: "" untouched, "miss" where a quarter or
// more of its accesses missed the first cache, else loads, stores or both.
const char* cellClass(const AccessMap& map, size_t cell) {
    if (map.cells[cell] == 0) return "";
    if (map.missing(cell)) return "miss";
    const bool load = map.cells[cell] & AccessMap::kLoad, store = map.cells[cell] & AccessMap::kStore;
    return load && store ? "both" : load ? "load" : "store";
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
    const std::string firstCache =
        trace.caches.empty() ? std::string("no cache")
                             : fmt::format("{} of {}{}", trace.caches[0].name, bytesText(trace.caches[0].bytes),
                                           trace.caches[0].source == "assumed" ? " (assumed)" : "");
    svg.attr("class", "subtitle")
        .text(12, 52, fmt::format("and its place in the sequence; black where a quarter or more of the accesses miss "
                                  "an LRU cache the size of this machine's {}; a tick above the map at each stage",
                                  firstCache));

    // The map: columns merged until they fit the width.
    AccessMap map = trace.map;
    while (map.columns > 800) {
        const uint32_t half = (map.columns + 1) / 2;
        if (map.columns % 2 == 1) {  // an empty column to pair the last one with
            map.cells.resize(map.cells.size() + map.rows, 0);
            map.touches.resize(map.cells.size(), 0);
            map.misses.resize(map.cells.size(), 0);
        }
        for (uint32_t c = 0; c < half; ++c) map.mergeColumns(c, 2 * c);
        map.columns = half;
        map.cells.resize(size_t{half} * map.rows);
        map.touches.resize(map.cells.size());
        map.misses.resize(map.cells.size());
        map.eventsPerColumn *= 2;
    }
    const uint32_t columns = map.columns;
    const uint64_t perColumn = map.eventsPerColumn;
    svg.attr("class", "frame").rect(left, mapTop, mapWidth, mapHeight);
    if (columns > 0 && map.rows > 0) {
        const double cw = mapWidth / columns, rh = mapHeight / map.rows;
        // One path per class, a vertical stroke per run of cells of one class.
        std::map<std::string, std::string> paths;
        for (uint32_t c = 0; c < columns; ++c) {
            uint32_t r = 0;
            while (r < map.rows) {
                const std::string kind = cellClass(map, size_t{c} * map.rows + r);
                uint32_t end = r + 1;
                while (end < map.rows && cellClass(map, size_t{c} * map.rows + end) == kind) ++end;
                if (!kind.empty()) {
                    // Sample 0 at the bottom, as an address axis reads.
                    const double y = mapTop + mapHeight - end * rh;
                    paths[kind] += fmt::format("M{:.1f} {:.1f}v{:.1f}", left + (c + 0.5) * cw, y, (end - r) * rh);
                }
                r = end;
            }
        }
        for (const char* kind : {"load", "store", "both", "miss"})
            if (paths.count(kind)) svg.attr("class", fmt::format("cells {}", kind)).attr("stroke-width", cw).path(paths[kind]);
    }
    // A tick where each stage begins, on the same time axis; ticks closer
    // than two units to the one before are left out.
    {
        const uint64_t total = trace.loads + trace.stores;
        double lastX = -10;
        std::string ticks;
        for (const uint64_t start : trace.stageStarts) {
            const double x = left + mapWidth * (total ? double(start) / double(total) : 0.0);
            if (x - lastX < 2) continue;
            ticks += fmt::format("M{:.1f} {:.1f}v6", x, mapTop - 7);
            lastX = x;
        }
        if (!ticks.empty()) svg.attr("class", "stage-tick").path(ticks);
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

    // The legend.
    double ly = mapTop + 6;
    const double lx = left + mapWidth + 16;
    svg.attr("class", "legend-head").text(lx, ly + 4, "each mark");
    const std::pair<const char*, std::string> kinds[] = {
        {"load", "loads"}, {"store", "stores"}, {"both", "loads and stores"},
        {"miss", "¼ or more miss " + (trace.caches.empty() ? std::string("–") : trace.caches[0].name)}};
    for (const auto& [kind, words] : kinds) {
        ly += 16;
        svg.attr("class", fmt::format("swatch {}", kind)).rect(lx, ly - 8, 12, 9);
        svg.attr("class", "legend").text(lx + 18, ly, words);
    }
    ly += 22;
    svg.attr("class", "stage-tick").path(fmt::format("M{:.1f} {:.1f}v6", lx + 6, ly - 7));
    svg.attr("class", "legend").text(lx + 18, ly, "a stage begins");

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
