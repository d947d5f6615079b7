#include "model/operation_counts.h"

#include "model/cache_traffic.h"

#include <fmt/format.h>

#include <nlohmann/json.hpp>

#include <algorithm>

#include "cli/arguments.h"
#include "host/bit_reversal.h"
#include "host/driver.h"
#include "subject/names.h"
#include "render/bench_output.h"
#include "measure/peers/peers.h"

namespace fftbench {

using fftplug::host::CatalogueEntry;
using fftplug::host::PluginLibrary;

CountingLibrary::CountingLibrary(PluginLibrary library, FftplugCountEntry countEntry)
    : library_(std::move(library)), countEntry_(countEntry), catalogue_(library_.catalogue()) {}

CountingLibrary CountingLibrary::open(const std::string& path) {
    PluginLibrary library = PluginLibrary::open(path);
    const auto countEntry = reinterpret_cast<FftplugCountEntry>(library.symbol("countEntry"));
    if (countEntry == nullptr)
        throw fftplug::host::LoadError(fmt::format("{}: not the counting build: it does not export 'countEntry'", path));
    return CountingLibrary(std::move(library), countEntry);
}

FftplugCounts CountingLibrary::count(uint32_t index, uint32_t N) const {
    const CatalogueEntry& entry = catalogue_.at(index);
    // The counts do not depend on the values; a random signal keeps the
    // arithmetic away from special cases all the same.
    auto arrays = fftplug::host::arrangeForEntry(library_, entry, fftplug::host::randomSignal(N, 1));
    FftplugCounts counts{};
    if (countEntry_(index, static_cast<int32_t>(N), arrays.input.data(), arrays.work.data(), arrays.table.data(),
                    &counts) != 1)
        throw std::runtime_error(fmt::format("{}: countEntry refused entry {} at N = {}", path(), index, N));
    return counts;
}

const FftplugCounts& CountingLibrary::countCached(uint32_t index, uint32_t N) const {
    const auto key = std::pair{index, N};
    auto found = cache_.find(key);
    if (found == cache_.end()) found = cache_.emplace(key, count(index, N)).first;
    return found->second;
}

bool CountingLibrary::describes(const PluginLibrary& plugin) const {
    if (plugin.creator() != library_.creator()) return false;
    const auto theirs = plugin.catalogue();
    if (theirs.size() != catalogue_.size()) return false;
    for (size_t i = 0; i < theirs.size(); ++i)
        if (theirs[i].rawName != catalogue_[i].rawName || theirs[i].flags != catalogue_[i].flags) return false;
    return true;
}

std::string defaultCountingLibraryPath() {
    return fftplug::host::executableDirectory() + fftplug::host::platformLibraryName("fftplug_counting");
}

double ProfileRow::flopsPerNLog2N() const { return log2N == 0 ? 0.0 : flops() / (double(N) * log2N); }

ProfileRun runProfile(const CountingLibrary& counting, const std::vector<CatalogueEntry>& entries,
                      const std::vector<uint32_t>& sizes, bool peers) {
    ProfileRun run;
    run.countingPath = counting.path();
    run.sizes = sizes;
    for (const CatalogueEntry& entry : entries) {
        run.entries.push_back(entry.index);
        for (const uint32_t N : sizes) {
            ProfileRow row;
            row.implementation = fmt::format("entry {}", entry.index);
            row.entry = entry.index;
            row.name = displayName(entry);
            row.label = shortLabel(entry);
            row.N = N;
            row.log2N = fftplug::host::log2Exact(N);
            const FftplugCounts counts = counting.count(entry.index, N);
            row.additions = static_cast<double>(counts.additions);
            row.multiplications = static_cast<double>(counts.multiplications);
            row.counts = counts;
            run.rows.push_back(std::move(row));
        }
    }
    if (peers && !fftwCountDescription().empty()) {
        run.fftwDescription = fftwCountDescription();
        for (const uint32_t N : sizes) {
            const auto count = fftwOperationCount(N);
            if (!count) continue;
            ProfileRow row;
            row.implementation = "fftwf";
            row.name = run.fftwDescription;
            row.label = "FFTW (fftwf, estimate, no SIMD)";
            row.N = N;
            row.log2N = fftplug::host::log2Exact(N);
            row.additions = count->additions;
            row.multiplications = count->multiplications;
            row.fusedMultiplyAdds = count->fusedMultiplyAdds;
            run.rows.push_back(std::move(row));
        }
    }
    return run;
}

void attachCountedFlops(BenchRun& bench, const CountingLibrary& counting, const std::vector<std::string>& described,
                        TrafficCache* traffic) {
    for (BenchResult& r : bench.results) {
        if (!r.entry || std::find(described.begin(), described.end(), r.plugin) == described.end()) continue;
        const FftplugCounts& counts = counting.countCached(*r.entry, r.N);
        r.countedFlops = static_cast<double>(counts.additions + counts.multiplications);
        r.countedMflops = *r.countedFlops / (r.secondsPerTransform * 1e6);
        if (traffic == nullptr) continue;
        for (const PeakRates& rates : bench.rates)
            if (rates.path == r.kernelPath)
                if (const auto least = leastTime(operationsOf(counts, r.N, traffic->of(*r.entry, r.N)), rates)) {
                    r.leastSecondsPerTransform = least->seconds;
                    r.limitBound = least->bound;
                    r.limitPercent = limitPercent(least->seconds, r.secondsPerTransform);
                }
    }
}

namespace {

std::string whole(double value) { return fmt::format("{:.0f}", value); }

}  // namespace

void printProfileTable(std::FILE* out, const ProfileRun& run) {
    fmt::print(out, "counting build  {} (the scalar kernels, every operation tallied)\n", run.countingPath);
    if (!run.fftwDescription.empty()) fmt::print(out, "fftwf           {}\n", run.fftwDescription);
    fmt::print(out, "sizes           {}\n", describeSizes(run.sizes));
    fmt::print(out, "flops = additions + multiplications + 2 fma; bytes = 8 (loads + stores) of work samples\n\n");
    fmt::print(out, "{:<14} {:>5} {:>11} {:>11} {:>8} {:>11} {:>7} {:>10} {:>9} {:>10} {:>10} {:>11} {:>7} {:>6}\n",
               "implementation", "N", "additions", "multiplies", "fma", "flops", "/NlogN", "table", "distinct", "loads",
               "stores", "bytes", "stages", "full");
    std::string previous;
    for (const ProfileRow& row : run.rows) {
        if (!previous.empty() && previous != row.implementation) fmt::print(out, "\n");
        previous = row.implementation;
        std::string rest;
        if (row.counts) {
            const FftplugCounts& c = *row.counts;
            rest = fmt::format("{:>10} {:>9} {:>10} {:>10} {:>11} {:>7} {:>6}", c.tableReads, c.distinctTableReads,
                               c.loads, c.stores, 8 * (c.loads + c.stores), c.stages, c.fullPasses);
        } else {
            rest = fmt::format("{:>10} {:>9} {:>10} {:>10} {:>11} {:>7} {:>6}", "-", "-", "-", "-", "-", "-", "-");
        }
        fmt::print(out, "{:<14} {:>5} {:>11} {:>11} {:>8} {:>11} {:>7.3f} {}\n", row.implementation,
                   powerOfTwoText(row.N), whole(row.additions), whole(row.multiplications),
                   whole(row.fusedMultiplyAdds), whole(row.flops()), row.flopsPerNLog2N(), rest);
    }

    // flops / (N log2 N) side by side: what the plot draws.
    std::vector<std::string> columns;
    for (const ProfileRow& row : run.rows)
        if (std::find(columns.begin(), columns.end(), row.implementation) == columns.end())
            columns.push_back(row.implementation);
    fmt::print(out, "\nflops / (N log2 N)\n{:>5}", "N");
    for (const std::string& column : columns)
        fmt::print(out, " {:>6}", column.rfind("entry ", 0) == 0 ? column.substr(6) : column);
    fmt::print(out, "\n");
    for (const uint32_t N : run.sizes) {
        if (N < 2) continue;
        fmt::print(out, "{:>5}", powerOfTwoText(N));
        for (const std::string& column : columns) {
            const auto found = std::find_if(run.rows.begin(), run.rows.end(), [&](const ProfileRow& row) {
                return row.implementation == column && row.N == N;
            });
            fmt::print(out, " {:>6}", found == run.rows.end() ? std::string("-") : fmt::format("{:.3f}", found->flopsPerNLog2N()));
        }
        fmt::print(out, "\n");
    }
}

const std::vector<std::string> kProfileColumns{
    "implementation", "entry",  "name",   "n",     "log2n",  "additions",   "multiplications",
    "fused_multiply_adds", "flops", "flops_per_n_log2n", "table_reads", "distinct_table_reads",
    "loads", "stores", "bytes", "stages", "full_passes"};

std::string profileCsv(const ProfileRun& run) {
    std::string csv;
    for (size_t i = 0; i < kProfileColumns.size(); ++i) csv += (i ? "," : "") + kProfileColumns[i];
    csv += "\r\n";
    for (const ProfileRow& row : run.rows) {
        std::string rest = ",,,,,,";
        if (row.counts) {
            const FftplugCounts& c = *row.counts;
            rest = fmt::format("{},{},{},{},{},{},{}", c.tableReads, c.distinctTableReads, c.loads, c.stores,
                               8 * (c.loads + c.stores), c.stages, c.fullPasses);
        }
        csv += fmt::format("{},{},{},{},{},{},{},{},{},{:.6g},{}\r\n", csvField(row.implementation),
                           row.entry ? std::to_string(*row.entry) : std::string(), csvField(row.name), row.N, row.log2N,
                           whole(row.additions), whole(row.multiplications), whole(row.fusedMultiplyAdds),
                           whole(row.flops()), row.flopsPerNLog2N(), rest);
    }
    return csv;
}

std::string profileJson(const ProfileRun& run, const std::string& version) {
    using json = nlohmann::ordered_json;
    json rows = json::array();
    for (const ProfileRow& row : run.rows) {
        json r = {{"implementation", row.implementation},
                  {"entry", row.entry ? json(*row.entry) : json(nullptr)},
                  {"name", row.name},
                  {"n", row.N},
                  {"log2n", row.log2N},
                  {"additions", row.additions},
                  {"multiplications", row.multiplications},
                  {"fused_multiply_adds", row.fusedMultiplyAdds},
                  {"flops", row.flops()},
                  {"flops_per_n_log2n", row.flopsPerNLog2N()}};
        const FftplugCounts* c = row.counts ? &*row.counts : nullptr;
        auto field = [&](uint64_t value) { return c ? json(value) : json(nullptr); };
        r["table_reads"] = field(c ? c->tableReads : 0);
        r["distinct_table_reads"] = field(c ? c->distinctTableReads : 0);
        r["loads"] = field(c ? c->loads : 0);
        r["stores"] = field(c ? c->stores : 0);
        r["bytes"] = field(c ? 8 * (c->loads + c->stores) : 0);
        r["stages"] = field(c ? c->stages : 0);
        r["full_passes"] = field(c ? c->fullPasses : 0);
        rows.push_back(std::move(r));
    }
    const json document = {{"tool", "fftbench"},
                           {"command", "profile"},
                           {"version", version},
                           {"counting_library", run.countingPath},
                           {"fftw", run.fftwDescription.empty() ? json(nullptr) : json(run.fftwDescription)},
                           {"sizes", run.sizes},
                           {"results", rows}};
    return document.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

std::string profileGnuplotScript(const ProfileRun& run, const std::string& path, bool png) {
    std::string script = gnuplotSetup(png ? PlotFormat::png : PlotFormat::svg, path, 700,
                                      "fftbench profile: real operations counted per N log2 N (radix 2 with a full "
                                      "complex multiplication in every butterfly: 5)");
    script += "set ylabel 'flops / (N log2 N)'\n";
    std::string plot;
    std::vector<std::string> seen;
    double highest = 0;
    size_t peers = 0;
    for (const ProfileRow& first : run.rows) {
        if (std::find(seen.begin(), seen.end(), first.implementation) != seen.end()) continue;
        seen.push_back(first.implementation);
        std::string block;
        for (const ProfileRow& row : run.rows)
            if (row.implementation == first.implementation && row.log2N > 0) {
                block += fmt::format("{} {:.6g}\n", row.log2N, row.flopsPerNLog2N());
                highest = std::max(highest, row.flopsPerNLog2N());
            }
        if (block.empty()) continue;
        const std::string name = fmt::format("$d{}", seen.size() - 1);
        script += dataBlock(name, block);
        LineStyle style;
        style.peer = !first.entry;
        style.colour = first.entry ? *first.entry : peerColour(peers++);
        plot += fmt::format("{}{} using 1:2 with linespoints {} title {}", plot.empty() ? "plot " : ", \\\n     ",
                            name, lineStyle(style), gnuplotString(first.label));
    }
    // Room above the highest line: entries 0 to 4 all lie on it (5), and a
    // line on the frame cannot be seen.
    script += fmt::format("set yrange [0:{:.3g}]\n", highest > 0 ? highest * 1.12 : 1.0);
    script += plot.empty() ? "set label 1 'no counts' at graph 0.5, graph 0.5 center\nplot [0:1] NaN notitle\n"
                           : plot + "\n";
    script += "unset output\n";
    return script;
}

}  // namespace fftbench
