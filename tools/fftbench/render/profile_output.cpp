#include "render/profile_output.h"

#include <fmt/format.h>

#include <nlohmann/json.hpp>

#include <algorithm>

#include "render/bench_output.h"
#include "render/gnuplot.h"
#include "render/sizes.h"
#include "render/text.h"

namespace fftbench {

namespace {

std::string whole(double value) { return fmt::format("{:.0f}", value); }

}  // namespace

std::string profileTableText(const ProfileRun& run) {
    std::string out;
    put(out, "instrumented    {} (the scalar kernels, every operation tallied)\n", run.instrumentedPath);
    for (const CountedPeer& peer : run.peers) put(out, "{:<16}{}\n", peer.name, peer.description);
    put(out, "sizes           {}\n", describeSizes(run.sizes));
    put(out, "flops = additions + multiplications + 2 fma; bytes = 8 (loads + stores) of work samples\n\n");
    put(out, "{:<14} {:>5} {:>11} {:>11} {:>8} {:>11} {:>7} {:>10} {:>9} {:>10} {:>10} {:>11} {:>7} {:>6}\n",
        "implementation", "N", "additions", "multiplies", "fma", "flops", "/NlogN", "table", "distinct", "loads",
        "stores", "bytes", "stages", "full");
    std::string previous;
    for (const ProfileRow& row : run.rows) {
        if (!previous.empty() && previous != row.implementation) put(out, "\n");
        previous = row.implementation;
        std::string rest;
        if (row.counts) {
            const FftplugCounts& c = *row.counts;
            rest = fmt::format("{:>10} {:>9} {:>10} {:>10} {:>11} {:>7} {:>6}", c.tableReads, c.distinctTableReads,
                               c.loads, c.stores, 8 * (c.loads + c.stores), c.stages, c.fullPasses);
        } else {
            rest = fmt::format("{:>10} {:>9} {:>10} {:>10} {:>11} {:>7} {:>6}", "-", "-", "-", "-", "-", "-", "-");
        }
        put(out, "{:<14} {:>5} {:>11} {:>11} {:>8} {:>11} {:>7.3f} {}\n", row.implementation,
            powerOfTwoText(row.N), whole(row.additions), whole(row.multiplications),
            whole(row.fusedMultiplyAdds), whole(row.flops()), row.flopsPerNLog2N(), rest);
    }

    // flops / (N log2 N) side by side: what the plot draws.
    std::vector<std::string> columns;
    for (const ProfileRow& row : run.rows)
        if (std::find(columns.begin(), columns.end(), row.implementation) == columns.end())
            columns.push_back(row.implementation);
    put(out, "\nflops / (N log2 N)\n{:>5}", "N");
    for (const std::string& column : columns)
        put(out, " {:>6}", column.rfind("entry ", 0) == 0 ? column.substr(6) : column);
    put(out, "\n");
    for (const uint32_t N : run.sizes) {
        if (N < 2) continue;
        put(out, "{:>5}", powerOfTwoText(N));
        for (const std::string& column : columns) {
            const auto found = std::find_if(run.rows.begin(), run.rows.end(), [&](const ProfileRow& row) {
                return row.implementation == column && row.N == N;
            });
            put(out, " {:>6}", found == run.rows.end() ? std::string("-") : fmt::format("{:.3f}", found->flopsPerNLog2N()));
        }
        put(out, "\n");
    }
    return out;
}

void printProfileTable(std::FILE* out, const ProfileRun& run) {
    const std::string text = profileTableText(run);
    std::fwrite(text.data(), 1, text.size(), out);
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
    json document = {{"tool", "fftbench"},
                     {"command", "profile"},
                     {"version", version},
                     {"counting_library", run.instrumentedPath}};
    for (const CountedPeer& peer : run.peers) document[peer.headerLabel] = peer.description;
    document["sizes"] = run.sizes;
    document["results"] = std::move(rows);
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
