// `fftbench bench` on standard output: the header (plug-ins, machine,
// method), one row per result, the mflops side by side with the path each
// plug-in took and the best entry against the reference peer, the ratios between
// plug-ins, and the summary over the sizes actually measured.
#include <fmt/format.h>

#include <algorithm>
#include <map>
#include <set>

#include "measure/placement.h"
#include "measure/summary.h"
#include "render/bench_output.h"
#include "render/list_text.h"
#include "render/sizes.h"
#include "render/text.h"

namespace fftbench {

namespace {

// What the tables call a result: "entry 3" in a run of one plug-in,
// "libfftplug-avx2 entry 3" in a run of several; a peer by its own name.
std::string resultName(const BenchRun& bench, const std::string& plugin, const std::string& implementation) {
    return bench.plugins.size() > 1 && !plugin.empty() ? plugin + " " + implementation : implementation;
}

std::string ratioText(double ratio) { return fmt::format("{:.2f}", ratio); }

std::string plural(size_t count, const char* word) { return fmt::format("{} {}{}", count, word, count == 1 ? "" : "s"); }

// The figures of one plug-in side by side, sizes down: its entries (timed
// plainly or with the host's reordering, as `reorder` says) and the peers
// across, and the best entry against the reference, with its index. `plugin` null:
// every entry (a run of one plug-in).
void mflopsBlock(std::string& out, const BenchRun& bench, const std::string* plugin, bool reorder,
                      const std::string& heading) {
    std::vector<const Contender*> columns;
    for (const Contender& c : bench.contenders)
        if (!c.entry || ((plugin == nullptr || c.plugin == *plugin) && c.reorder == reorder &&
                         c.lineOffset == bench.settings.primaryLineOffset()))
            columns.push_back(&c);
    const std::string& pluginLabel = plugin != nullptr ? *plugin : bench.plugins.front().label;
    std::map<std::pair<std::string, std::string>, std::map<uint32_t, const BenchResult*>> figures;
    for (const BenchResult& r : bench.results) figures[{r.plugin, r.implementation}][r.N] = &r;
    const std::string& reference = bench.settings.reference;
    const bool againstReference = !figures[{"", reference}].empty() &&
                             std::any_of(columns.begin(), columns.end(), [](const Contender* c) { return c->entry.has_value(); });

    put(out, "\n{}\n{:>5}", heading, "N");
    for (const Contender* column : columns)
        put(out, " {:>8}", column->entry ? std::to_string(*column->entry) : column->implementation);
    if (againstReference) put(out, " {:>14}", "best/" + reference);
    if (reorder) put(out, "  {}", "reordering alone, in the fastest entry: us per transform (share of its time)");
    put(out, "\n");
    for (const uint32_t N : bench.sizes) {
        std::string row = fmt::format("{:>5}", powerOfTwoText(N));
        bool any = false;
        for (const Contender* column : columns) {
            const auto& byN = figures[{column->plugin, column->implementation}];
            const auto found = byN.find(N);
            if (found == byN.end()) {
                row += fmt::format(" {:>8}", "-");
                continue;
            }
            any = true;
            row += fmt::format(" {:>8.0f}", found->second->mflops);
        }
        if (againstReference) {
            const auto best = bestEntryOverReference(bench, pluginLabel, N, reorder);
            row += fmt::format(" {:>14}", best ? fmt::format("{} (entry {})", ratioText(best->ratio), best->entry) : "-");
        }
        if (reorder) {
            const BenchResult* fastest = nullptr;
            for (const BenchResult& r : bench.results)
                if (r.N == N && r.entry && r.reorder && r.plugin == pluginLabel && r.reorderSecondsPerTransform &&
                    r.lineOffset == bench.settings.primaryLineOffset() &&
                    (fastest == nullptr || r.mflops > fastest->mflops))
                    fastest = &r;
            if (fastest != nullptr)
                row += fmt::format("  {:.4g} ({:.0f}%, entry {})", *fastest->reorderSecondsPerTransform * 1e6,
                                   100 * *fastest->reorderSecondsPerTransform / fastest->secondsPerTransform,
                                   *fastest->entry);
        }
        if (any) put(out, "{}\n", row);
    }
}

// Each entry of a later plug-in against the same entry of the first.
void ratioBlock(std::string& out, const BenchRun& bench, const PluginInfo& plugin) {
    std::vector<uint32_t> entries;
    std::map<std::pair<uint32_t, uint32_t>, double> ratios;
    for (const BenchResult& r : bench.results) {
        if (r.plugin != plugin.label || !r.entry || r.reorder || r.lineOffset != bench.settings.primaryLineOffset())
            continue;
        if (std::find(entries.begin(), entries.end(), *r.entry) == entries.end()) entries.push_back(*r.entry);
        if (r.ratioToFirst) ratios[{*r.entry, r.N}] = *r.ratioToFirst;
    }
    if (ratios.empty()) return;
    put(out, "\nmflops of {} / mflops of {}\n{:>5}", plugin.label, bench.plugins.front().label, "N");
    for (const uint32_t entry : entries) put(out, " {:>8}", entry);
    put(out, "\n");
    for (const uint32_t N : bench.sizes) {
        std::string row = fmt::format("{:>5}", powerOfTwoText(N));
        bool any = false;
        for (const uint32_t entry : entries) {
            const auto found = ratios.find({entry, N});
            any = any || found != ratios.end();
            row += fmt::format(" {:>8}", found == ratios.end() ? std::string("-") : ratioText(found->second));
        }
        if (any) put(out, "{}\n", row);
    }
}

// "geometric mean over 2^4..2^6 (3 sizes)": the statistic and the sizes it
// was taken over, never the nominal range alone.
std::string figureText(bool minimum, const std::vector<uint32_t>& measured) {
    return fmt::format("{} over {}", minimum ? "minimum" : "geometric mean", describeSizes(measured));
}

// The run in a few numbers: the best entry against the reference over ranges of
// sizes (2^4..2^20, 2^16..2^20 and the minimum over 2^6..2^14, each
// labelled with the sizes of the run inside it), and each later plug-in
// against the first.
void summaryText(std::string& out, const BenchRun& bench) {
    const std::vector<PluginSummary> summaries = summarize(bench);
    struct Row {
        bool minimum, reorder;
        unsigned from, to;
        bool operator==(const Row& o) const {
            return minimum == o.minimum && reorder == o.reorder && from == o.from && to == o.to;
        }
    };
    std::vector<Row> rows;  // in first-seen order
    for (const PluginSummary& s : summaries)
        for (const RangeFigure& f : s.bestOverReference) {
            const Row row{f.minimum, f.reorder, f.fromLog2, f.toLog2};
            if (std::find(rows.begin(), rows.end(), row) == rows.end()) rows.push_back(row);
        }
    if (!rows.empty()) {
        std::stable_sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.reorder < b.reorder; });
        size_t width = 12;
        for (const PluginSummary& s : summaries) width = std::max(width, s.plugin.size());
        // The labels' column as wide as the longest label ("geometric mean
        // over 2^6, 2^8, 2^10 (3 sizes)" for a run with gaps).
        std::vector<std::string> labels;
        size_t labelWidth = 44;
        for (const Row& row : rows) {
            std::set<uint32_t> measured;
            for (const PluginSummary& s : summaries)
                for (const RangeFigure& f : s.bestOverReference)
                    if (Row{f.minimum, f.reorder, f.fromLog2, f.toLog2} == row)
                        measured.insert(f.measured.begin(), f.measured.end());
            labels.push_back("  " + figureText(row.minimum, {measured.begin(), measured.end()}));
            labelWidth = std::max(labelWidth, labels.back().size() + 2);
        }
        std::optional<bool> heading;
        size_t rowIndex = 0;
        for (const Row& row : rows) {
            if (heading != row.reorder) {
                std::string text = fmt::format("{:<{}}",
                                               (row.reorder ? "best entry with the host's reordering / "
                                                            : "best entry / ") + bench.settings.reference,
                                               labelWidth);
                if (bench.plugins.size() > 1)
                    for (const PluginSummary& s : summaries) text += fmt::format("  {:>{}}", s.plugin, width);
                while (text.back() == ' ') text.pop_back();
                put(out, "\n{}\n", text);
                heading = row.reorder;
            }
            std::string cells;
            for (const PluginSummary& s : summaries) {
                std::string cell = "-";
                for (const RangeFigure& f : s.bestOverReference)
                    if (Row{f.minimum, f.reorder, f.fromLog2, f.toLog2} == row)
                        cell = ratioText(f.value) + (f.minimum ? " at " + powerOfTwoText(f.atN) : "");
                cells += fmt::format("  {:>{}}", cell, width);
            }
            put(out, "{:<{}}{}\n", labels[rowIndex++], labelWidth, cells);
        }
    }

    // Later plug-ins against the first: all entries together, then each.
    std::vector<std::optional<uint32_t>> entries;
    std::set<uint32_t> measured;
    for (const PluginSummary& s : summaries)
        for (const EntryRatio& r : s.ratios) {
            if (std::find(entries.begin(), entries.end(), r.entry) == entries.end()) entries.push_back(r.entry);
            measured.insert(r.measured.begin(), r.measured.end());
        }
    if (entries.empty()) return;
    size_t width = 7;
    for (const PluginSummary& s : summaries) width = std::max(width, s.plugin.size());
    put(out, "\nmflops / mflops of {}, {}\n{:<{}}", bench.plugins.front().label,
        figureText(false, {measured.begin(), measured.end()}), "plug-in", width);
    for (const auto& entry : entries) put(out, " {:>6}", entry ? std::to_string(*entry) : "all");
    put(out, "\n");
    for (const PluginSummary& s : summaries) {
        if (s.ratios.empty()) continue;
        put(out, "{:<{}}", s.plugin, width);
        for (const auto& entry : entries) {
            std::string cell = "-";
            for (const EntryRatio& r : s.ratios)
                if (r.entry == entry) cell = ratioText(r.geometricMean);
            put(out, " {:>6}", cell);
        }
        put(out, "\n");
    }
}

// The arrays placed off a line against the first placement: per offset the
// ratio of mflops cell by cell, sizes down, entries across (plainly timed).
void alignmentBlock(std::string& out, const BenchRun& bench) {
    const bool several = bench.plugins.size() > 1;
    for (const AlignmentFigure& f : alignmentRatios(bench)) {
        std::vector<uint32_t> entries;
        for (const auto& [entry, mean] : f.geometricMean) entries.push_back(entry);
        put(out, "\nmflops with the arrays {} / {}{}\n{:>5}", lineOffsetText(f.lineOffset), lineOffsetText(f.against),
            several ? " (" + f.plugin + ")" : std::string(), "N");
        for (const uint32_t entry : entries) put(out, " {:>6}", entry);
        put(out, "\n");
        for (const uint32_t N : f.measured) {
            put(out, "{:>5}", powerOfTwoText(N));
            for (const uint32_t entry : entries) {
                const auto found = f.cells.find({entry, N});
                put(out, " {:>6}", found == f.cells.end() ? std::string("-") : ratioText(found->second));
            }
            put(out, "\n");
        }
    }
}

// The same against the first placement in a line each: how much of its
// aligned speed each entry keeps where a host's allocator puts the arrays.
void alignmentSummary(std::string& out, const BenchRun& bench) {
    const auto figures = alignmentRatios(bench);
    if (figures.empty()) return;
    put(out, "\nspeed with the arrays where a host's malloc puts them / {} ({})\n", lineOffsetText(figures.front().against),
        figureText(false, figures.front().measured));
    for (const AlignmentFigure& f : figures) {
        double low = 0, high = 0;
        uint32_t lowEntry = 0, highEntry = 0;
        bool first = true;
        for (const auto& [entry, mean] : f.geometricMean) {
            if (first || mean < low) low = mean, lowEntry = entry;
            if (first || mean > high) high = mean, highEntry = entry;
            first = false;
        }
        put(out, "  {:<22}{}entries keep {:.0f}-{:.0f} % (entry {} least, entry {} most); lowest cell {:.0f} % "
            "(entry {} at {})\n",
            lineOffsetText(f.lineOffset) + ":", bench.plugins.size() > 1 ? f.plugin + ": " : "", 100 * low, 100 * high,
            lowEntry, highEntry, 100 * f.lowest, f.lowestEntry, powerOfTwoText(f.lowestN));
    }
}

// "AVX2 at 2^2..2^4, AVX-512 at 2^5..2^20": the kernels of one entry size by
// size, runs of one path together.
std::string pathRunsText(const std::map<uint32_t, std::string>& paths) {
    std::string text;
    std::vector<uint32_t> run;
    std::string current;
    auto flush = [&] {
        if (run.empty()) return;
        const std::string sizes = describeSizes(run);
        text += fmt::format("{}{} at {}", text.empty() ? "" : ", ", current, sizes.substr(0, sizes.find(" (")));
        run.clear();
    };
    for (const auto& [N, path] : paths) {
        if (path != current) flush();
        current = path;
        run.push_back(N);
    }
    flush();
    return text;
}

// "0-5, 8, 9": ascending indices, runs of three or more as a range.
std::string indicesText(const std::vector<uint32_t>& indices) {
    std::string text;
    for (size_t i = 0; i < indices.size();) {
        size_t j = i;
        while (j + 1 < indices.size() && indices[j + 1] == indices[j] + 1) ++j;
        const std::string part = j >= i + 2 ? fmt::format("{}-{}", indices[i], indices[j])
                                            : j == i ? fmt::format("{}", indices[i])
                                                     : fmt::format("{}, {}", indices[i], indices[j]);
        text += (text.empty() ? "" : ", ") + part;
        i = j + 1;
    }
    return text;
}

// The kernels of `plugin`'s entries size by size: pathRunsText once where
// every entry takes the same, else for each group of entries that do
// ("entries 0-5, 8, 9: AVX2 at 2^4..2^6, AVX-512 at 2^7..2^16; entries 6, 7:
// …"); empty where fftbench does not know them.
std::string pathsText(const BenchRun& bench, const std::string& plugin) {
    std::map<uint32_t, std::map<uint32_t, std::string>> byEntry;  // entry, N: path
    for (const BenchResult& r : bench.results)
        if (r.plugin == plugin && r.entry && !r.kernelPath.empty()) byEntry[*r.entry][r.N] = r.kernelPath;
    std::vector<std::pair<std::string, std::vector<uint32_t>>> groups;  // runs, entries
    for (const auto& [entry, paths] : byEntry) {
        const std::string runs = pathRunsText(paths);
        auto group = std::find_if(groups.begin(), groups.end(), [&](const auto& g) { return g.first == runs; });
        if (group == groups.end()) groups.push_back({runs, {entry}});
        else group->second.push_back(entry);
    }
    if (groups.size() == 1) return groups.front().first;
    std::string text;
    for (const auto& [runs, entries] : groups)
        text += fmt::format("{}{} {}: {}", text.empty() ? "" : "; ", entries.size() == 1 ? "entry" : "entries",
                            indicesText(entries), runs);
    return text;
}

// "2^2 4 KiB", "2^20 16 MiB".
std::string bytesText(uint64_t bytes) {
    if (bytes >= (uint64_t{1} << 20)) return fmt::format("{} MiB", bytes >> 20);
    return fmt::format("{} KiB", bytes >> 10);
}

// The peak rates of each path: arithmetic on one line, then the load and
// store rates at each N's working set, a few sizes a line.
void ratesText(std::string& out, const BenchRun& bench) {
    for (const PeakRates& rates : bench.rates) {
        std::string shuffles = rates.shufflesPerSecond ? fmt::format(", shuffle {:.1f}", *rates.shufflesPerSecond / 1e9) : "";
        put(out, "{:<14}{} ({} float{} a vector, no FMA): add {:.1f}, multiply {:.1f}{} Gop/s\n", "rates",
            rates.path, rates.lanes, rates.lanes == 1 ? "" : "s", rates.additionsPerSecond / 1e9,
            rates.multiplicationsPerSecond / 1e9, shuffles);
        std::string line;
        size_t onLine = 0;
        for (const MemoryRate& m : rates.memory) {
            line += fmt::format("{}{} ({}) {:.0f}/{:.0f}", onLine ? ", " : "", powerOfTwoText(m.N), bytesText(m.bytes),
                                m.loadBytesPerSecond / 1e9, m.storeBytesPerSecond / 1e9);
            if (++onLine == 5) {
                put(out, "{:<14}  {}\n", "", line);
                line.clear();
                onLine = 0;
            }
        }
        if (!line.empty()) put(out, "{:<14}  {}\n", "", line);
        line.clear();
        for (const LevelRate& level : rates.levels)
            line += fmt::format("{}{}{} ({}{}) {:.0f}/{:.0f}", line.empty() ? "" : ", ", level.name,
                                level.cacheBytes ? " " + bytesText(level.cacheBytes) : std::string(),
                                bytesText(level.bytes),
                                level.largestBytes != level.bytes ? ", " + bytesText(level.largestBytes) : std::string(),
                                level.loadBytesPerSecond / 1e9, level.storeBytesPerSecond / 1e9);
        if (!line.empty()) put(out, "{:<14}  levels: {}\n", "", line);
    }
    if (!bench.rates.empty())
        put(out, "{:<14}load/store GB/s above: over the working set of N (2 x 8N bytes: work and table), and "
            "of each cache level (the fastest of an eighth, a quarter and a half of it; memory: four times the last); limit % = least time of the "
            "counted loads and stores, each line at the level its reuse distance reaches, additions and "
            "multiplications at these rates / measured time\n",
            "");
}

// A limit % as the tables show it: marked where the least time exceeds the
// measured time, the cells limitNote() explains.
std::string limitCell(double percent) { return fmt::format("{:.1f}{}", percent, percent > 100 ? "*" : ""); }

// The line below a table with marked cells; none without them.
void limitNote(std::string& out, const BenchRun& bench) {
    const auto exceeded = std::count_if(bench.results.begin(), bench.results.end(),
                                        [](const BenchResult& r) { return r.limitExceeded(); });
    if (exceeded == 0) return;
    put(out, "* {}: the least time exceeds the measured time, so there the model is no lower bound; likely "
        "the rates were measured while the machine was busy (run again on a quiet machine), or a level is "
        "priced slower than it delivers (a cache larger than the caches line says, or a rate measured low)\n",
        plural(static_cast<size_t>(exceeded), "cell"));
}

// limit % of every entry (plainly timed) side by side, sizes down.
void limitBlock(std::string& out, const BenchRun& bench) {
    std::vector<const Contender*> columns;
    std::map<std::pair<std::string, std::string>, std::map<uint32_t, double>> figures;
    for (const BenchResult& r : bench.results)
        if (r.limitPercent) figures[{r.plugin, r.implementation}][r.N] = *r.limitPercent;
    for (const Contender& c : bench.contenders)
        if (c.entry && !c.reorder && c.lineOffset == bench.settings.primaryLineOffset() &&
            figures.count({c.plugin, c.implementation}))
            columns.push_back(&c);
    if (columns.empty()) return;
    const bool several = bench.plugins.size() > 1;
    put(out, "\nlimit % (least time at this processor's peak rates / measured time)\n{:>5}", "N");
    for (const Contender* column : columns)
        put(out, " {:>{}}", several ? column->plugin + " " + std::to_string(*column->entry)
                                    : std::to_string(*column->entry),
            several ? column->plugin.size() + 3 : 6);
    put(out, "\n");
    for (const uint32_t N : bench.sizes) {
        std::string row = fmt::format("{:>5}", powerOfTwoText(N));
        bool any = false;
        for (const Contender* column : columns) {
            const auto& byN = figures[{column->plugin, column->implementation}];
            const auto found = byN.find(N);
            any = any || found != byN.end();
            row += fmt::format(" {:>{}}", found == byN.end() ? std::string("-") : limitCell(found->second),
                               several ? column->plugin.size() + 3 : 6);
        }
        if (any) put(out, "{}\n", row);
    }
}

}  // namespace

std::string benchTableText(const BenchRun& bench) {
    std::string out;
    const bool several = bench.plugins.size() > 1;
    for (size_t p = 0; p < bench.plugins.size(); ++p) {
        const PluginInfo& plugin = bench.plugins[p];
        if (several)
            put(out, "{:<14}{}: {} (signature {}, creator \"{}\")\n", fmt::format("plug-in {}", p + 1),
                plugin.label, plugin.path, plugin.signature, plugin.creator);
        else
            put(out, "plug-in       {} (signature {}, creator \"{}\")\n", plugin.path, plugin.signature,
                plugin.creator);
    }
    out += cpuText(bench.cpu, 14);
    if (!bench.caches.empty()) put(out, "{:<14}{}\n", "caches", describeCaches(bench.caches));
    for (const Contender& c : bench.contenders)
        if (!c.entry && !c.header.empty()) put(out, "{:<14}{}\n", c.header, c.name);
    for (const PluginInfo& plugin : bench.plugins)
        if (const std::string paths = pathsText(bench, plugin.label); !paths.empty())
            put(out, "{:<14}{}{}\n", "path", several ? plugin.label + ": " : "", paths);
    put(out, "method        {} (median and spread in the CSV and JSON); mflops = 5 N log2 N / (us per transform)\n",
        bestOfText(bench.settings));
    put(out, "order         the entries take and give the orders of their catalogue flags; the host's "
        "bit-reversal is {}\n",
        bench.settings.withReorder ? "timed too, in the rows marked +reorder, and alone beside them"
                                   : "not timed (--with-reorder times it too)");
    std::string counted = "real additions and multiplications per us, from the instrumented build";
    for (const Contender& c : bench.contenders)
        if (!c.entry && !c.countedNote.empty()) counted += "; " + c.countedNote;
    put(out, "counted       {}\n", counted);
    put(out, "sizes         {}\n", describeSizes(bench.sizes));
    put(out, "placement     {}\n", placement::describe());
    if (bench.settings.lineOffsets != std::vector<uint32_t>{0}) {
        std::string placements;
        for (const uint32_t offset : bench.settings.lineOffsets)
            placements += (placements.empty() ? "" : ", ") + lineOffsetText(offset) +
                          (offset == 0 ? "" : fmt::format(" (rows \"entry k +{}\")", offset));
        put(out, "arrays        {}; the tables after the first are of the {}\n", placements,
            lineOffsetText(bench.settings.primaryLineOffset()));
    }
    ratesText(out, bench);
    if (bench.interrupted) put(out, "interrupted   yes: the table holds what was measured before Ctrl-C\n");
    size_t width = 16;
    for (const BenchResult& r : bench.results)
        width = std::max(width, resultName(bench, r.plugin, r.implementation).size());
    // Without the rates there is no limit: its columns are left out.
    const bool limits = !bench.rates.empty() || std::any_of(bench.results.begin(), bench.results.end(),
                                                            [](const BenchResult& r) { return r.limitPercent; });
    put(out, "\n{:<{}} {:>5} {:>11} {:>14} {:>10} {:>10} {:>10} {:>10}{}\n", "implementation", width, "N", "reps",
        "us/transform", "ns/point", "mflops", "counted", "error",
        limits ? fmt::format(" {:>8} {}", "limit %", "bound") : std::string());
    std::string previous;
    for (const BenchResult& r : bench.results) {
        const std::string name = resultName(bench, r.plugin, r.implementation);
        if (!previous.empty() && previous != name) put(out, "\n");
        previous = name;
        put(out, "{:<{}} {:>5} {:>11} {:>14.4g} {:>10.4g} {:>10.1f} {:>10} {:>10.2e}{}\n", name, width,
            powerOfTwoText(r.N), r.reps, r.secondsPerTransform * 1e6, r.nsPerPoint, r.mflops,
            r.countedMflops ? fmt::format("{:.1f}", *r.countedMflops) : std::string("-"), r.error,
            limits ? fmt::format(" {:>8} {}", r.limitPercent ? limitCell(*r.limitPercent) : std::string("-"),
                                 r.limitBound.empty() ? std::string("-") : r.limitBound)
                   : std::string());
    }
    if (bench.results.empty()) return out;

    const std::string reorderHeading = "with the host's reordering (natural order in and out)";
    if (!several) {
        mflopsBlock(out, bench, nullptr, false, "mflops");
        if (bench.settings.withReorder) mflopsBlock(out, bench, nullptr, true, "mflops " + reorderHeading);
    } else {
        for (const PluginInfo& plugin : bench.plugins) {
            mflopsBlock(out, bench, &plugin.label, false, "mflops of " + plugin.label);
            if (bench.settings.withReorder)
                mflopsBlock(out, bench, &plugin.label, true, "mflops of " + plugin.label + " " + reorderHeading);
        }
        for (size_t p = 1; p < bench.plugins.size(); ++p) ratioBlock(out, bench, bench.plugins[p]);
    }
    limitBlock(out, bench);
    limitNote(out, bench);
    alignmentBlock(out, bench);
    summaryText(out, bench);
    alignmentSummary(out, bench);
    return out;
}

void printBenchTable(std::FILE* out, const BenchRun& bench) {
    const std::string text = benchTableText(bench);
    std::fwrite(text.data(), 1, text.size(), out);
}

}  // namespace fftbench
