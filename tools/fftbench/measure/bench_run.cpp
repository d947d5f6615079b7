#include "measure/bench_run.h"

#include <fmt/format.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <map>
#include <tuple>

#include "host/bit_reversal.h"
#include "host/bit_reverse.h"
#include "host/driver.h"
#include "host/guarded_array.h"
#include "host/reference.h"
#include "host/twiddle.h"
#include "measure/placement.h"
#include "subject/names.h"
#include "subject/path_taken.h"

namespace fftbench {

using fftplug::host::CatalogueEntry;
using fftplug::host::PluginLibrary;
using fftplug::host::GuardedArray;

namespace {

// An entry of the plug-in: input in the entry's order, table built and
// (for entries that prepare it) prepared here, untimed; a measurement is one
// runEntry call whose repeat count does the repeating.
//
// With the host's reordering (host/bit_reverse.h), natural order in and out,
// a repetition is what a host does for it: the natural-order signal copied
// into the work array in bit-reversed order, then one runEntry call with
// input == work that transforms it in place (every entry but entry 2); for
// entry 2, one runEntry call from the natural-order input and its result put
// back into natural order in place. The reordering alone is timed on the
// arrays it works on in those repetitions (input into work, or work in
// place), right after them, so that it meets them in the caches as it does
// there; the work array then holds the reordered input until the next
// repetition.
class EntryRun final : public TimedRun {
   public:
    EntryRun(const PluginLibrary& plugin, const CatalogueEntry& entry, const std::vector<Complex>& signal,
             bool reorder, uint32_t lineOffset)
        : plugin_(plugin), entry_(entry), N_(static_cast<int32_t>(signal.size())), reorder_(reorder),
          bits_(fftplug::host::log2Exact(signal.size())),
          input_(placement::array(placement::kInput, signal.size(), lineOffset)),
          work_(placement::array(placement::kWork, signal.size(), lineOffset)),
          table_(placement::array(placement::kTable, signal.size(), lineOffset)) {
        input_.assign(entry.naturalInput() || reorder ? signal : fftplug::host::bitReversed(signal));
        table_.assign(fftplug::host::makeTwiddleTable(N_));
        if (entry.preparesTable()) call(0);
    }
    void run(int64_t reps) override {
        if (!reorder_) return call(static_cast<int32_t>(reps));
        namespace reorder = fftplug::host::reorder;
        for (int64_t r = 0; r < reps; ++r) {
            if (entry_.naturalInput()) {
                call(1);
                reorder::bitReverse(work_.data(), work_.data(), bits_);
            } else {
                reorder::bitReverse(input_.data(), work_.data(), bits_);
                plugin_.run(entry_.index, N_, work_.data(), work_.data(), table_.data(), 1);
            }
        }
    }
    bool runReorder(int64_t reps) override {
        if (!reorder_) return false;
        for (int64_t r = 0; r < reps; ++r) {
            if (entry_.naturalInput()) fftplug::host::reorder::bitReverse(work_.data(), work_.data(), bits_);
            else fftplug::host::reorder::bitReverse(input_.data(), work_.data(), bits_);
        }
        reordered_ = true;
        return true;
    }
    std::vector<Complex> naturalResult() override {
        if (reordered_) {
            run(1);
            reordered_ = false;
        }
        if (reorder_) return work_.contents();
        return fftplug::host::naturalOrderResult(entry_, work_.contents());
    }
    std::optional<std::string> damage() const override {
        for (const auto& [array, name] :
             {std::pair{&input_, "input"}, {&work_, "work"}, {&table_, "table"}})
            if (auto damage = array->guardDamage(name)) return damage;
        return std::nullopt;
    }

   private:
    void call(int32_t reps) {
        plugin_.run(entry_.index, N_, input_.data(), work_.data(), table_.data(), reps);
    }
    const PluginLibrary& plugin_;
    const CatalogueEntry entry_;
    int32_t N_;
    bool reorder_;
    bool reordered_ = false;  // runReorder() ran since the last repetition
    unsigned bits_;
    // input_: the entry's input order, or natural order with the reordering
    GuardedArray input_, work_, table_;
};

}  // namespace


std::optional<std::string> unconfirmedWarning(const BenchRun& bench) {
    if (bench.unconfirmed.empty()) return std::nullopt;
    std::string which;
    for (const BenchRun::Unconfirmed& cell : bench.unconfirmed) {
        const Contender& c = bench.contenders.at(cell.contender);
        which += fmt::format("{}{}{} at N = 2^{}", which.empty() ? "" : ", ", c.plugin.empty() ? "" : c.plugin + " ",
                             c.implementation, fftplug::host::log2Exact(cell.N));
    }
    return fmt::format(
        "no second measurement came within {:g} % of the best in {} measurements ({}): the core's speed changed "
        "during the run, so those figures may be off by more than that; rerun on a quieter machine",
        bench.settings.confirmWithin * 100, 2 * bench.settings.measurements, which);
}

std::string roundText(int round, int measurements) {
    if (round == 0) return "calibrating";
    if (round > measurements) return fmt::format("round {}, confirming the best", round);
    return fmt::format("round {}/{}", round, measurements);
}

std::string entryImplementation(uint32_t index, bool reorder, uint32_t lineOffset) {
    return fmt::format("entry {}{}{}", index, reorder ? "+reorder" : "",
                       lineOffset != 0 ? fmt::format(" +{}", lineOffset) : std::string());
}

std::vector<Contender> pluginContenders(const PluginLibrary& plugin, const std::vector<CatalogueEntry>& entries,
                                        const std::string& pluginLabel, bool withReorder,
                                        const std::vector<uint32_t>& lineOffsets) {
    std::vector<Contender> contenders;
    for (const uint32_t lineOffset : lineOffsets)
    for (const bool reorder : {false, true}) {
        if (reorder && !withReorder) break;
        for (const CatalogueEntry& entry : entries) {
            Contender c;
            c.implementation = entryImplementation(entry.index, reorder, lineOffset);
            c.lineOffset = lineOffset;
            c.entry = entry.index;
            c.name = displayName(entry);
            c.label = shortLabel(entry) + (reorder ? " + host reorder" : "") +
                      (lineOffset != 0 ? fmt::format(" at +{} bytes", lineOffset) : std::string());
            c.maxReps = INT32_MAX;
            c.plugin = pluginLabel;
            c.reorder = reorder;
            c.start = [&plugin, entry, reorder, lineOffset](const std::vector<Complex>& signal) -> std::unique_ptr<TimedRun> {
                return std::make_unique<EntryRun>(plugin, entry, signal, reorder, lineOffset);
            };
            contenders.push_back(std::move(c));
        }
    }
    return contenders;
}

double mflops(uint32_t N, double secondsPerTransform) {
    const double log2N = static_cast<double>(fftplug::host::log2Exact(N));
    return 5.0 * N * log2N / (secondsPerTransform * 1e6);
}

BenchRun runBench(std::vector<PluginInfo> plugins, std::vector<Contender> contenders, const std::vector<uint32_t>& sizes,
                  const BenchSettings& settings, const BenchProgress& progress, const std::function<bool()>& stop) {
    BenchRun bench;
    bench.plugins = std::move(plugins);
    bench.cpu = detectCpu();
    bench.settings = settings;
    bench.sizes = sizes;
    bench.contenders = std::move(contenders);

    std::map<std::pair<size_t, uint32_t>, BenchResult> cells;
    const size_t count = bench.contenders.size();
    const size_t total = sizes.size() * count * (1 + static_cast<size_t>(std::max(settings.measurements, 1)));
    size_t done = 0;
    for (const uint32_t N : sizes) {
        if (bench.interrupted) break;
        const std::vector<Complex> signal = fftplug::host::randomSignal(N, settings.seed);
        const auto reference = fftplug::host::referenceTransform(fftplug::host::toSpectrum(signal));
        // One contender's state at this size.
        struct Cell {
            std::unique_ptr<TimedRun> run;
            Timing timing;
            std::vector<double> taken;
            std::vector<double> reorderTaken;  // the reordering alone, at timing.reps
        };
        std::vector<Cell> state(count);
        auto timedOf = [&settings](TimedRun& run) {
            return [&run, &settings](int64_t reps) {
                run.warm();
                const std::function<void()> timed = [&run, reps] { run.run(reps); };
                if (settings.clock) {
                    const double begin = settings.clock();
                    placement::onPlacedStack(timed);
                    return settings.clock() - begin;
                }
                const auto begin = std::chrono::steady_clock::now();
                placement::onPlacedStack(timed);
                return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
            };
        };
        // The reordering of an entry timed with it, alone: one measurement
        // beside each of the entry's own.
        auto measureReorder = [&settings](Cell& cell) {
            const auto clock = [&settings] {
                return settings.clock ? settings.clock()
                                      : std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
                                            .count();
            };
            const double begin = clock();
            if (cell.run->runReorder(cell.timing.reps)) cell.reorderTaken.push_back(clock() - begin);
        };
        // Calibration, one contender after another; its last measurement
        // is the first of round 1.
        for (size_t c = 0; c < count && !bench.interrupted; ++c) {
            const Contender& contender = bench.contenders[c];
            if (progress) progress(done, total, contender, N, 0);
            Cell& cell = state[c];
            cell.run = contender.start(signal);
            cell.timing = calibrate(timedOf(*cell.run), settings, contender.maxReps, stop);
            if (cell.timing.measurements > 0) {
                cell.taken.push_back(cell.timing.best);
                measureReorder(cell);
            }
            done += 2;  // the calibration and round 1
            if (stop()) bench.interrupted = true;
        }
        // Each round starts one contender further on, so that every
        // contender takes every place in the order: interference with a
        // period of its own (another process sharing the core in time
        // slices) cannot fall on the same contenders in every round.
        // One measurement of each of `cells`, starting `round - 1` places on.
        auto measureRound = [&](const std::vector<size_t>& cells, int round) {
            for (size_t i = 0; i < cells.size(); ++i) {
                const size_t c = cells[(i + static_cast<size_t>(round - 1)) % cells.size()];
                Cell& cell = state[c];
                if (progress) progress(done, total, bench.contenders[c], N, round);
                addMeasurement(cell.timing, cell.taken, timedOf(*cell.run)(cell.timing.reps));
                measureReorder(cell);
                ++done;
                if (stop()) {
                    bench.interrupted = true;
                    break;
                }
            }
        };
        std::vector<size_t> all(count);
        for (size_t c = 0; c < count; ++c) all[c] = c;
        for (int round = 2; round <= settings.measurements && !bench.interrupted; ++round) measureRound(all, round);
        // Further rounds, of the cells whose best no second measurement has
        // come near yet (settings.confirmWithin), up to twice as many in all.
        auto unconfirmed = [&] {
            std::vector<size_t> cells;
            for (size_t c = 0; c < count; ++c)
                if (state[c].timing.measurements > 0 && !bestConfirmed(state[c].taken, settings.confirmWithin))
                    cells.push_back(c);
            return cells;
        };
        if (settings.confirmWithin > 0 && settings.measurements >= 2) {
            for (int round = settings.measurements + 1; round <= 2 * settings.measurements && !bench.interrupted;
                 ++round) {
                const std::vector<size_t> cells = unconfirmed();
                if (cells.empty()) break;
                measureRound(cells, round);
            }
            if (!bench.interrupted)
                for (const size_t c : unconfirmed()) bench.unconfirmed.push_back({c, N});
        }
        for (size_t c = 0; c < count; ++c) {
            const Contender& contender = bench.contenders[c];
            const Cell& cell = state[c];
            if (!cell.run) continue;
            const Timing& timing = cell.timing;
            TimedRun* run = cell.run.get();
            if (const auto damage = run->damage())
                bench.warnings.push_back(fmt::format("{}{} at N = 2^{}: {} (run fftbench verify)",
                                                     contender.plugin.empty() ? "" : contender.plugin + " ",
                                                     contender.implementation, fftplug::host::log2Exact(N), *damage));
            if (timing.measurements > 0) {
                BenchResult r;
                r.implementation = contender.implementation;
                r.entry = contender.entry;
                r.name = contender.name;
                r.label = contender.label;
                r.N = N;
                r.log2N = fftplug::host::log2Exact(N);
                r.reps = timing.reps;
                r.measurements = timing.measurements;
                r.secondsPerTransform = timing.best / static_cast<double>(timing.reps);
                r.medianSecondsPerTransform = timing.median / static_cast<double>(timing.reps);
                r.spread = timing.best > 0 ? (timing.worst - timing.best) / timing.best : 0;
                r.reorder = contender.reorder;
                r.lineOffset = contender.lineOffset;
                if (!cell.reorderTaken.empty())
                    r.reorderSecondsPerTransform = *std::min_element(cell.reorderTaken.begin(), cell.reorderTaken.end()) /
                                                   static_cast<double>(timing.reps);
                if (contender.entry && !contender.plugin.empty())
                    r.kernelPath = kernelPathOf(contender.plugin, bench.cpu, *contender.entry, N).value_or("");
                r.nsPerPoint = r.secondsPerTransform * 1e9 / N;
                r.mflops = mflops(N, r.secondsPerTransform);
                r.error = fftplug::host::relativeRmsError(run->naturalResult(), reference);
                r.plugin = contender.plugin;
                cells.emplace(std::pair{c, N}, std::move(r));
            }
        }
    }
    for (auto& [key, result] : cells) bench.results.push_back(std::move(result));

    // Each entry against the same entry of the first plug-in at the same
    // size, timed the same way.
    if (!bench.plugins.empty()) {
        std::map<std::tuple<uint32_t, uint32_t, bool>, double> first;
        for (const BenchResult& r : bench.results)
            if (r.entry && r.plugin == bench.plugins.front().label && r.lineOffset == settings.primaryLineOffset())
                first[{*r.entry, r.N, r.reorder}] = r.mflops;
        for (BenchResult& r : bench.results) {
            if (!r.entry || r.plugin.empty() || r.lineOffset != settings.primaryLineOffset()) continue;
            const auto found = first.find({*r.entry, r.N, r.reorder});
            if (found != first.end() && found->second > 0) r.ratioToFirst = r.mflops / found->second;
        }
    }
    return bench;
}

}  // namespace fftbench
