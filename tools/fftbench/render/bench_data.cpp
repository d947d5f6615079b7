// `fftbench bench` as data: CSV with one row per result, and JSON with the
// run's settings, the machine, the results and the summary.
#include <fmt/format.h>

#include <nlohmann/json.hpp>

#include "measure/placement.h"
#include "measure/summary.h"
#include "render/bench_output.h"

namespace fftbench {

// The columns of earlier versions first, in their order; what came later
// after them, so that a reader of the old columns by position still works.
const std::vector<std::string> kResultColumns{
    "implementation", "entry",        "name",   "n",
    "log2n",          "repetitions",  "measurements", "time_per_transform_us",
    "ns_per_point",   "mflops",       "relative_rms_error",    "plugin",
    "ratio_to_first_plugin", "counted_flops", "counted_mflops",
    "median_time_per_transform_us", "spread", "path", "host_reorder",
    "least_time_per_transform_us", "limit_percent", "limit_bound", "limit_exceeded"};

std::string csvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

std::string benchCsv(const BenchRun& bench) {
    std::string csv;
    for (size_t i = 0; i < kResultColumns.size(); ++i) csv += (i ? "," : "") + kResultColumns[i];
    // with the reordering timed, its own time beside each result's
    const bool reorderColumn = bench.settings.withReorder;
    if (reorderColumn) csv += ",reorder_time_per_transform_us";
    // with arrays placed off a line, where each result's start
    const bool offsetColumn = bench.settings.lineOffsets != std::vector<uint32_t>{0};
    if (offsetColumn) csv += ",line_offset_bytes";
    csv += "\r\n";
    for (const BenchResult& r : bench.results) {
        csv += fmt::format("{},{},{},{},{},{},{},{:.6g},{:.6g},{:.6g},{:.4g},{},{},{},{},{:.6g},{:.4g},{},{},{},{},{},{}",
                           csvField(r.implementation), r.entry ? std::to_string(*r.entry) : std::string(),
                           csvField(r.name), r.N, r.log2N, r.reps, r.measurements, r.secondsPerTransform * 1e6,
                           r.nsPerPoint, r.mflops, r.error, csvField(r.plugin),
                           r.ratioToFirst ? fmt::format("{:.4g}", *r.ratioToFirst) : std::string(),
                           r.countedFlops ? fmt::format("{:.0f}", *r.countedFlops) : std::string(),
                           r.countedMflops ? fmt::format("{:.6g}", *r.countedMflops) : std::string(),
                           r.medianSecondsPerTransform * 1e6, r.spread, r.kernelPath,
                           r.entry ? (r.reorder ? "1" : "0") : "",
                           r.leastSecondsPerTransform ? fmt::format("{:.6g}", *r.leastSecondsPerTransform * 1e6) : "",
                           r.limitPercent ? fmt::format("{:.4g}", *r.limitPercent) : "", r.limitBound,
                           r.limitPercent ? (r.limitExceeded() ? "1" : "0") : "");
        if (reorderColumn)
            csv += "," + (r.reorderSecondsPerTransform ? fmt::format("{:.6g}", *r.reorderSecondsPerTransform * 1e6) : "");
        if (offsetColumn) csv += "," + (r.entry ? std::to_string(r.lineOffset) : std::string());
        csv += "\r\n";
    }
    return csv;
}

std::string benchJson(const BenchRun& bench, const std::string& version) {
    using json = nlohmann::ordered_json;  // keys in the documented order
    const bool offsetColumns = bench.settings.lineOffsets != std::vector<uint32_t>{0};
    json results = json::array();
    for (const BenchResult& r : bench.results) {
        results.push_back({{"implementation", r.implementation},
                           {"entry", r.entry ? json(*r.entry) : json(nullptr)},
                           {"name", r.name},
                           {"n", r.N},
                           {"log2n", r.log2N},
                           {"repetitions", r.reps},
                           {"measurements", r.measurements},
                           {"time_per_transform_us", r.secondsPerTransform * 1e6},
                           {"ns_per_point", r.nsPerPoint},
                           {"mflops", r.mflops},
                           {"relative_rms_error", r.error},
                           {"plugin", r.entry ? json(r.plugin) : json(nullptr)},
                           {"ratio_to_first_plugin", r.ratioToFirst ? json(*r.ratioToFirst) : json(nullptr)},
                           {"counted_flops", r.countedFlops ? json(*r.countedFlops) : json(nullptr)},
                           {"counted_mflops", r.countedMflops ? json(*r.countedMflops) : json(nullptr)},
                           {"median_time_per_transform_us", r.medianSecondsPerTransform * 1e6},
                           {"spread", r.spread},
                           {"path", r.kernelPath.empty() ? json(nullptr) : json(r.kernelPath)},
                           {"host_reorder", r.entry ? json(r.reorder) : json(nullptr)},
                           {"least_time_per_transform_us",
                            r.leastSecondsPerTransform ? json(*r.leastSecondsPerTransform * 1e6) : json(nullptr)},
                           {"limit_percent", r.limitPercent ? json(*r.limitPercent) : json(nullptr)},
                           {"limit_bound", r.limitBound.empty() ? json(nullptr) : json(r.limitBound)},
                           {"limit_exceeded", r.limitPercent ? json(r.limitExceeded()) : json(nullptr)}});
        if (bench.settings.withReorder)
            results.back()["reorder_time_per_transform_us"] =
                r.reorderSecondsPerTransform ? json(*r.reorderSecondsPerTransform * 1e6) : json(nullptr);
        if (offsetColumns) results.back()["line_offset_bytes"] = r.entry ? json(r.lineOffset) : json(nullptr);
    }
    json plugins = json::array();
    for (const PluginInfo& p : bench.plugins)
        plugins.push_back({{"path", p.path}, {"label", p.label}, {"signature", p.signature}, {"creator", p.creator}});
    json bestOverReference = json::array(), ratios = json::array();
    for (const PluginSummary& s : summarize(bench)) {
        for (const RangeFigure& f : s.bestOverReference)
            bestOverReference.push_back({{"plugin", s.plugin},
                                    {"statistic", f.minimum ? "minimum" : "geometric_mean"},
                                    {"host_reorder", f.reorder},
                                    {"from_n", 1u << f.fromLog2},
                                    {"to_n", 1u << f.toLog2},
                                    {"sizes", f.sizes},
                                    {"measured_n", f.measured},
                                    {"value", f.value},
                                    {"at_n", f.minimum ? json(f.atN) : json(nullptr)}});
        for (const EntryRatio& r : s.ratios)
            ratios.push_back({{"plugin", s.plugin},
                              {"entry", r.entry ? json(*r.entry) : json(nullptr)},
                              {"from_n", 1u << kRatioFromLog2},
                              {"to_n", 1u << kRatioToLog2},
                              {"cells", r.cells},
                              {"measured_n", r.measured},
                              {"geometric_mean", r.geometricMean}});
    }
    json alignment = json::array();
    for (const AlignmentFigure& f : alignmentRatios(bench)) {
        json entries = json::array();
        for (const auto& [entry, mean] : f.geometricMean)
            entries.push_back({{"entry", entry}, {"geometric_mean", mean}});
        alignment.push_back({{"plugin", f.plugin},
                             {"line_offset_bytes", f.lineOffset},
                             {"against_line_offset_bytes", f.against},
                             {"measured_n", f.measured},
                             {"entries", entries},
                             {"lowest", {{"ratio", f.lowest}, {"entry", f.lowestEntry}, {"n", f.lowestN}}}});
    }
    json peers = json::array();
    for (const Contender& c : bench.contenders)
        if (!c.entry) peers.push_back({{"implementation", c.implementation}, {"description", c.name}});
    json rates = json::array();
    for (const PeakRates& p : bench.rates) {
        json memory = json::array();
        for (const MemoryRate& m : p.memory)
            memory.push_back({{"n", m.N},
                              {"working_set_bytes", m.bytes},
                              {"load_gb_per_s", m.loadBytesPerSecond / 1e9},
                              {"store_gb_per_s", m.storeBytesPerSecond / 1e9}});
        json levels = json::array();
        for (const LevelRate& level : p.levels)
            levels.push_back({{"level", level.name},
                              {"cache_bytes", level.cacheBytes ? json(level.cacheBytes) : json(nullptr)},
                              {"working_set_bytes", level.bytes},
                              {"load_gb_per_s", level.loadBytesPerSecond / 1e9},
                              {"store_gb_per_s", level.storeBytesPerSecond / 1e9},
                              {"largest_working_set_bytes", level.largestBytes}});
        rates.push_back({{"path", p.path},
                         {"floats_per_vector", p.lanes},
                         {"vector_bytes", p.vectorBytes},
                         {"add_gop_per_s", p.additionsPerSecond / 1e9},
                         {"multiply_gop_per_s", p.multiplicationsPerSecond / 1e9},
                         {"shuffle_gop_per_s", p.shufflesPerSecond ? json(*p.shufflesPerSecond / 1e9) : json(nullptr)},
                         {"memory", memory},
                         {"levels", levels}});
    }
    json caches = json::array();
    for (const CacheLevel& cache : bench.caches)
        caches.push_back({{"level", cache.name}, {"bytes", cache.bytes}, {"source", cache.source}});
    json document = {
        {"tool", "fftbench"},
        {"version", version},
        {"plugin", plugins.empty() ? json(nullptr) : plugins.front()},
        {"plugins", plugins},
        {"cpu",
         {{"brand", bench.cpu.brand},
          {"family", bench.cpu.family},
          {"model", bench.cpu.model},
          {"instruction_sets", bench.cpu.sets},
          {"os_saves_ymm", bench.cpu.osSavesYmm},
          {"os_saves_zmm", bench.cpu.osSavesZmm},
          {"data_caches", caches}}},
        {"settings",
         {{"min_time_ms", bench.settings.minSeconds * 1e3},
          {"measurements", bench.settings.measurements},
          {"confirm_within_percent", bench.settings.confirmWithin * 100},
          {"seed", bench.settings.seed},
          {"host_reorder", bench.settings.withReorder},
          {"rates", bench.settings.rates},
          {"sizes", bench.sizes},
          {"page_offsets_bytes",
           {{"input", placement::kInput},
            {"work", placement::kWork},
            {"table", placement::kTable},
            {"stack_top", placement::kStackTop}}}}},
        {"peers", peers},
        {"rates", rates},
        {"interrupted", bench.interrupted},
        {"results", results},
        {"summary",
         {{"best_entry_over_" + bench.settings.reference, bestOverReference}, {"ratio_to_first_plugin", ratios}}}};
    if (offsetColumns) {
        document["settings"]["line_offsets_bytes"] = bench.settings.lineOffsets;
        document["summary"]["speed_off_a_line_over_aligned"] = alignment;
    }
    // Names that are not UTF-8 become U+FFFD rather than an exception.
    return document.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

}  // namespace fftbench
