#include "measure/bench_run.h"

#include <fmt/format.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <map>
#include <tuple>

#include "host/bit_reversal.h"
#include "host/driver.h"
#include "host/guarded_array.h"
#include "host/reference.h"
#include "host/twiddle.h"
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
// With the host's reordering, a repetition is one runEntry call with a
// repeat count of 1 between the permutations a host needs for natural order
// in and out: the signal into bit-reversed order before it (every entry but
// entry 2), the result out of bit-reversed order after it (entry 2). The
// permutation is a gather through an index table made untimed.
class EntryRun final : public TimedRun {
   public:
    EntryRun(const PluginLibrary& plugin, const CatalogueEntry& entry, const std::vector<Complex>& signal,
             bool reorder)
        : plugin_(plugin), entry_(entry), N_(static_cast<int32_t>(signal.size())), reorder_(reorder),
          input_(signal.size()), work_(signal.size()), table_(signal.size()) {
        input_.assign(entry.naturalInput() ? signal : fftplug::host::bitReversed(signal));
        table_.assign(fftplug::host::makeTwiddleTable(N_));
        if (entry.preparesTable()) call(0);
        if (reorder_) {
            const unsigned bits = fftplug::host::log2Exact(signal.size());
            reversed_.resize(signal.size());
            for (uint32_t i = 0; i < reversed_.size(); ++i) reversed_[i] = fftplug::host::reverseBits(i, bits);
            natural_ = signal;
            if (entry.naturalInput()) result_.resize(signal.size());
        }
    }
    void run(int64_t reps) override {
        if (!reorder_) return call(static_cast<int32_t>(reps));
        const size_t n = reversed_.size();
        for (int64_t r = 0; r < reps; ++r) {
            if (entry_.naturalInput()) {
                call(1);
                const Complex* work = work_.data();
                for (size_t i = 0; i < n; ++i) result_[i] = work[reversed_[i]];
            } else {
                Complex* input = input_.data();
                for (size_t i = 0; i < n; ++i) input[i] = natural_[reversed_[i]];
                call(1);
            }
        }
    }
    std::vector<Complex> naturalResult() const override {
        if (reorder_ && entry_.naturalInput()) return result_;
        return fftplug::host::naturalOrderResult(entry_, work_.contents());
    }
    std::optional<std::string> damage() const override {
        for (const auto& [array, name] : {std::pair{&input_, "input"}, {&work_, "work"}, {&table_, "table"}})
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
    GuardedArray input_, work_, table_;
    std::vector<uint32_t> reversed_;        // rev(i), for the reordering
    std::vector<Complex> natural_, result_;  // the signal and the result in natural order
};

}  // namespace


std::vector<Contender> pluginContenders(const PluginLibrary& plugin, const std::vector<CatalogueEntry>& entries,
                                        const std::string& pluginLabel, bool withReorder) {
    std::vector<Contender> contenders;
    for (const bool reorder : {false, true}) {
        if (reorder && !withReorder) break;
        for (const CatalogueEntry& entry : entries) {
            Contender c;
            c.implementation = fmt::format("entry {}{}", entry.index, reorder ? "+reorder" : "");
            c.entry = entry.index;
            c.name = displayName(entry);
            c.label = shortLabel(entry) + (reorder ? " + host reorder" : "");
            c.maxReps = INT32_MAX;
            c.plugin = pluginLabel;
            c.reorder = reorder;
            c.start = [&plugin, entry, reorder](const std::vector<Complex>& signal) -> std::unique_ptr<TimedRun> {
                return std::make_unique<EntryRun>(plugin, entry, signal, reorder);
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
        };
        std::vector<Cell> state(count);
        auto timedOf = [&settings](TimedRun& run) {
            return [&run, &settings](int64_t reps) {
                if (settings.clock) {
                    const double begin = settings.clock();
                    run.run(reps);
                    return settings.clock() - begin;
                }
                const auto begin = std::chrono::steady_clock::now();
                run.run(reps);
                return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
            };
        };
        // Calibration, one contender after another; its last measurement
        // is the first of round 1.
        for (size_t c = 0; c < count && !bench.interrupted; ++c) {
            const Contender& contender = bench.contenders[c];
            if (progress) progress(done, total, contender, N, 0);
            Cell& cell = state[c];
            cell.run = contender.start(signal);
            cell.timing = calibrate(timedOf(*cell.run), settings, contender.maxReps, stop);
            if (cell.timing.measurements > 0) cell.taken.push_back(cell.timing.best);
            done += 2;  // the calibration and round 1
            if (stop()) bench.interrupted = true;
        }
        // Each round starts one contender further on, so that every
        // contender takes every place in the order: interference with a
        // period of its own (another process sharing the core in time
        // slices) cannot fall on the same contenders in every round.
        for (int round = 2; round <= settings.measurements && !bench.interrupted; ++round)
            for (size_t i = 0; i < count; ++i) {
                const size_t c = (i + static_cast<size_t>(round - 1)) % count;
                Cell& cell = state[c];
                if (progress) progress(done, total, bench.contenders[c], N, round);
                addMeasurement(cell.timing, cell.taken, timedOf(*cell.run)(cell.timing.reps));
                ++done;
                if (stop()) {
                    bench.interrupted = true;
                    break;
                }
            }
        for (size_t c = 0; c < count; ++c) {
            const Contender& contender = bench.contenders[c];
            const Cell& cell = state[c];
            if (!cell.run) continue;
            const Timing& timing = cell.timing;
            const TimedRun* run = cell.run.get();
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
                if (contender.entry && !contender.plugin.empty())
                    r.kernelPath = kernelPathOf(contender.plugin, bench.cpu, N).value_or("");
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
            if (r.entry && r.plugin == bench.plugins.front().label) first[{*r.entry, r.N, r.reorder}] = r.mflops;
        for (BenchResult& r : bench.results) {
            if (!r.entry || r.plugin.empty()) continue;
            const auto found = first.find({*r.entry, r.N, r.reorder});
            if (found != first.end() && found->second > 0) r.ratioToFirst = r.mflops / found->second;
        }
    }
    return bench;
}

}  // namespace fftbench
