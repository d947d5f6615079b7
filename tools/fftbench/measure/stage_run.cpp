#include "measure/stage_run.h"

#include <fmt/format.h>

#include <algorithm>
#include <climits>
#include <map>
#include <memory>

#include "host/bit_reversal.h"
#include "host/driver.h"
#include "host/guarded_array.h"
#include "host/twiddle.h"
#include "measure/bench_run.h"
#include "measure/placement.h"
#include "model/limit.h"
#include "model/stage_traffic.h"
#include "host/plugin_variants.h"
#include "subject/identity.h"
#include "subject/path_taken.h"

namespace fftbench {

using fftplug::host::CatalogueEntry;
using fftplug::host::GuardedArray;

double StageTiming::sumSeconds() const {
    double sum = 0;
    for (const double s : seconds) sum += s;
    return sum;
}

namespace {

// The arrays an entry's whole transform and all its stops are timed on, one
// set per entry and line offset: input in the entry's order, the table
// built and prepared once. Timed on one set of arrays, t(k) and t(k - 1)
// differ by the stage alone, not also by where each run's arrays happen to
// lie (which lines share a set).
struct StageArrays {
    StageArrays(const fftplug::host::PluginLibrary& shipped, const CatalogueEntry& entry,
                const std::vector<Complex>& signal, uint32_t lineOffset)
        : input(placement::array(placement::kInput, signal.size(), lineOffset)),
          work(placement::array(placement::kWork, signal.size(), lineOffset)),
          table(placement::array(placement::kTable, signal.size(), lineOffset)) {
        input.assign(entry.naturalInput() ? signal : fftplug::host::bitReversed(signal));
        table.assign(fftplug::host::makeTwiddleTable(static_cast<uint32_t>(signal.size())));
        if (entry.preparesTable())
            shipped.run(entry.index, static_cast<int32_t>(signal.size()), input.data(), work.data(), table.data(), 0);
    }
    GuardedArray input, work, table;
};

// Made by the first of an entry's runs to start (the runs are made afresh
// for each size), shared by the rest.
class SharedArrays {
   public:
    StageArrays& at(const fftplug::host::PluginLibrary& shipped, const CatalogueEntry& entry,
                    const std::vector<Complex>& signal, uint32_t lineOffset) {
        if (!arrays_) arrays_ = std::make_unique<StageArrays>(shipped, entry, signal, lineOffset);
        return *arrays_;
    }

   private:
    std::unique_ptr<StageArrays> arrays_;
};

// An entry of a stage build ended after `limit` stages (-1: all), or the
// shipped library's whole transform (`stages` null), set up as bench sets up
// an entry; a measurement is one runEntry call whose repeat count does the
// repeating, each repetition a copy and the first stages. In place: a
// runEntry call with input == work for each repetition, the first stages and
// no copy, each call going on from what the one before left in work.
class StopRun final : public TimedRun {
   public:
    StopRun(const fftplug::host::PluginLibrary& library, const StageLibrary* stages, const CatalogueEntry& entry,
            StageArrays& arrays, int32_t limit, bool inPlace)
        : library_(library), stages_(stages), entry_(entry), N_(static_cast<int32_t>(arrays.input.size())),
          limit_(limit), inPlace_(inPlace), arrays_(arrays) {
        if (inPlace_) arrays_.work.assign(arrays_.input.contents());
    }
    void run(int64_t reps) override {
        if (stages_ != nullptr) stages_->limit(limit_);
        GuardedArray& work = arrays_.work;
        if (inPlace_)
            for (int64_t r = 0; r < reps; ++r)
                library_.run(entry_.index, N_, work.data(), work.data(), arrays_.table.data(), 1);
        else
            library_.run(entry_.index, N_, arrays_.input.data(), work.data(), arrays_.table.data(),
                         static_cast<int32_t>(reps));
        if (stages_ != nullptr) stages_->limit(-1);
    }
    // An entry's runs share their arrays, and the first of them in a round,
    // the whole transform, follows another entry's: untimed calls first, so
    // that each meets its arrays in the caches as the runs after it do. One
    // for a stop; three for the whole, whose first calls also write back
    // what the other entry left dirty in the caches (with one, the whole
    // transforms of 2^19 and 2^20 points ran 2-6 % slower than their stages'
    // sum; with three, the entries but 4 within 4 %: entry 4's leaf blocks
    // and joins are timed on the first of each, and its sum strays further).
    void warm() override { run(stages_ == nullptr ? kWarmCallsBeforeWhole : kWarmCallsBeforeStop); }
    std::vector<Complex> naturalResult() override {
        return fftplug::host::naturalOrderResult(entry_, arrays_.work.contents());
    }
    std::optional<std::string> damage() const override {
        for (const auto& [array, name] :
             {std::pair{&arrays_.input, "input"}, {&arrays_.work, "work"}, {&arrays_.table, "table"}})
            if (auto damage = array->guardDamage(name)) return damage;
        return std::nullopt;
    }

   private:
    const fftplug::host::PluginLibrary& library_;
    const StageLibrary* stages_;
    const CatalogueEntry entry_;
    int32_t N_, limit_;
    bool inPlace_;
    StageArrays& arrays_;
};

std::string stopName(uint32_t entry, uint32_t stop, bool inPlace, uint32_t lineOffset) {
    return fmt::format("entry {} /{}{}{}", entry, stop, inPlace ? " in place" : "",
                       lineOffset != 0 ? fmt::format(" +{}", lineOffset) : std::string());
}

// Whether the stage build run whole gives the shipped library's bits.
bool sameBits(const StagePath& path, const CatalogueEntry& entry, uint32_t N, uint32_t seed) {
    const auto signal = fftplug::host::randomSignal(N, seed);
    path.stages->limit(-1);
    const auto staged = fftplug::host::transformWithEntry(path.stages->plugin(), entry, signal);
    const auto shipped = fftplug::host::transformWithEntry(*path.shipped, entry, signal);
    return fftplug::host::sameBits(staged, shipped);
}

}  // namespace

StageRun runStages(const std::vector<StagePath>& paths, const std::vector<uint32_t>& entries,
                   const std::vector<uint32_t>& sizes, const StageSettings& settings, const StageProgress& progress,
                   const std::function<bool()>& stop, const InstrumentedLibrary& counting) {
    StageRun run;
    run.cpu = detectCpu();
    run.settings = settings;
    run.sizes = sizes;
    run.entries = entries;
    for (const StagePath& path : paths) run.paths.push_back(path.name);

    BenchSettings bench;
    bench.minSeconds = settings.minSeconds;
    bench.measurements = settings.measurements;
    bench.confirmWithin = settings.confirmWithin;
    bench.seed = settings.seed;
    bench.peers = false;
    bench.rates = false;
    bench.lineOffsets = settings.lineOffsets;
    bench.clock = settings.clock;

    const size_t total = paths.size() * sizes.size();
    size_t done = 0;
    std::vector<std::string> belowZero;  // timings with a stage under zero
    // Per path, entry and N, how many of its timings' bests were not
    // confirmed (BenchSettings::confirmWithin).
    std::map<std::tuple<std::string, uint32_t, uint32_t>, int> unconfirmed;
    for (const StagePath& path : paths) {
        const auto catalogue = path.shipped->catalogue();
        for (const uint32_t N : sizes) {
            if (run.interrupted) break;
            // The plan of each entry, and a contender for the whole transform
            // and for each stop it needs.
            std::vector<Contender> contenders;
            std::map<uint32_t, StagePlan> plans;
            std::vector<CatalogueEntry> chosen;
            for (const uint32_t index : entries) {
                const CatalogueEntry& entry = catalogue.at(index);
                chosen.push_back(entry);
                // The marks' shapes from the instrumented build, which must
                // pass as many as the stage build stops at.
                std::vector<FftplugStageMark> marks;
                std::vector<bool> empty;
                for (const InstrumentedLibrary::StageCounts& c : counting.countStages(index, N)) {
                    marks.push_back(c.mark);
                    empty.push_back(c.loads + c.stores == 0);
                }
                const uint32_t stops = path.stages->markCount(index, N);
                if (stops != marks.size())
                    throw std::runtime_error(fmt::format(
                        "{}: entry {} at N = {} passes {} stage marks, the instrumented build {}: they are not "
                        "builds of the same kernels",
                        path.stages->path(), index, N, stops, marks.size()));
                plans[index] = planStages(marks, empty);
            }
            // Each entry's whole transform right before its own stops, so
            // that within a round they are timed moments apart, all on one
            // set of arrays.
            for (const uint32_t offset : settings.lineOffsets)
            for (const CatalogueEntry& entry : chosen) {
                const StagePlan& plan = plans[entry.index];
                auto arrays = std::make_shared<SharedArrays>();
                const fftplug::host::PluginLibrary* shipped = path.shipped;
                const StageLibrary* library = path.stages;
                auto contender = [&](std::string implementation, const StageLibrary* stages, int32_t limit,
                                     bool inPlace) {
                    Contender c;
                    c.implementation = std::move(implementation);
                    c.entry = entry.index;
                    c.maxReps = INT32_MAX;
                    c.plugin = path.label;
                    c.lineOffset = offset;
                    const fftplug::host::PluginLibrary* runs = stages != nullptr ? &stages->plugin() : shipped;
                    c.start = [arrays, shipped, runs, stages, entry, limit, offset,
                               inPlace](const std::vector<Complex>& signal) -> std::unique_ptr<TimedRun> {
                        return std::make_unique<StopRun>(*runs, stages, entry, arrays->at(*shipped, entry, signal, offset),
                                                         limit, inPlace);
                    };
                    contenders.push_back(std::move(c));
                };
                contender(entryImplementation(entry.index, false, offset), nullptr, -1, false);
                // The stage build run to its end first, moments after the
                // whole transform: the two whose ratio is the stages' sum
                // against the whole then meet the machine in one state, even
                // where a round of the other stops takes a second.
                std::vector<std::pair<uint32_t, bool>> stops;
                for (const uint32_t s : plan.stops())
                    if (s == plan.marks) stops.emplace_back(s, false);
                for (const uint32_t s : plan.stops())
                    if (s != plan.marks) stops.emplace_back(s, false);
                for (const uint32_t s : plan.inPlaceStops()) stops.emplace_back(s, true);
                for (const auto& [s, inPlace] : stops)
                    contender(stopName(entry.index, s, inPlace, offset), library,
                              s == plan.marks ? -1 : static_cast<int32_t>(s), inPlace);
            }
            BenchRun timed = runBench(
                {}, std::move(contenders), {N}, bench,
                [&](size_t, size_t, const Contender& contender, uint32_t, int round) {
                    if (progress)
                        progress(done, total, path.name, N,
                                 fmt::format("{} {}", roundText(round, bench.measurements), contender.implementation));
                },
                stop);
            ++done;
            run.interrupted = timed.interrupted;
            for (const std::string& warning : timed.warnings) run.warnings.push_back(path.name + ": " + warning);
            for (const BenchRun::Unconfirmed& cell : timed.unconfirmed)
                if (const auto entry = timed.contenders.at(cell.contender).entry)
                    ++unconfirmed[{path.name, *entry, N}];
            std::map<std::string, double> seconds, spread;
            for (const BenchResult& r : timed.results) {
                seconds[r.implementation] = r.secondsPerTransform;
                spread[r.implementation] = r.spread;
            }
            for (const uint32_t offset : settings.lineOffsets)
            for (const CatalogueEntry& entry : chosen) {
                StageTiming t;
                t.lineOffset = offset;
                t.path = path.name;
                t.kernelPath = kernelPathOf(path.label, run.cpu, entry.index, N).value_or("");
                t.entry = entry.index;
                t.N = N;
                t.plan = plans[entry.index];
                const auto whole = seconds.find(entryImplementation(entry.index, false, offset));
                std::map<uint32_t, double> at, inPlaceAt;
                bool complete = whole != seconds.end();
                for (const uint32_t s : t.plan.stops()) {
                    const auto found = seconds.find(stopName(entry.index, s, false, offset));
                    if (found == seconds.end()) complete = false;
                    else at[s] = found->second;
                }
                for (const uint32_t s : t.plan.inPlaceStops()) {
                    const auto found = seconds.find(stopName(entry.index, s, true, offset));
                    if (found == seconds.end()) complete = false;
                    else inPlaceAt[s] = found->second;
                }
                if (!complete) continue;  // cut short
                t.wholeSeconds = whole->second;
                t.wholeSpread = spread[whole->first];
                t.allStagesSeconds = at.at(t.plan.marks);
                t.seconds = t.plan.rowSeconds(at, inPlaceAt);
                if (std::any_of(t.seconds.begin(), t.seconds.end(), [](double s) { return s < 0; }))
                    belowZero.push_back(fmt::format("{} entry {} at N = {}{}", path.name, entry.index, N,
                                                    offset != 0 ? fmt::format(" +{}", offset) : ""));
                t.sameBits = sameBits(path, entry, N, settings.seed);
                run.timings.push_back(std::move(t));
            }
        }
    }
    if (!unconfirmed.empty()) {
        std::string which;
        for (const auto& [key, count] : unconfirmed) {
            const auto& [path, entry, N] = key;
            which += fmt::format("{}{}entry {} at 2^{}{}", which.empty() ? "" : ", ",
                                 paths.size() > 1 ? path + " " : "", entry, fftplug::host::log2Exact(N),
                                 count > 1 ? fmt::format(" ({} timings)", count) : "");
        }
        run.warnings.push_back(fmt::format(
            "no second measurement came within {:g} % of the best in {} measurements for part of {}: the core's "
            "speed changed during the run, so those stages may be off by more than that; rerun on a quieter machine",
            settings.confirmWithin * 100, 2 * settings.measurements, which));
    }
    if (!belowZero.empty()) {
        std::string which;
        for (const std::string& w : belowZero) which += (which.empty() ? "" : ", ") + w;
        run.warnings.push_back(fmt::format(
            "a stage took less than nothing ({}): the first k stages timed faster than the first k - 1, so "
            "that stage's cost lies within this machine's timing noise; rerun on a quieter machine, or with "
            "more --measurements and a longer --min-time",
            which));
    }
    return run;
}

namespace {

// What the model does not price, named where a row is far below its limit:
// the in-register shuffles of butterflies whose pairs share a vector, the
// wait of a short stage on the stores of the one before, the lines a copy
// timed as the whole call less the whole in place pushes out for the
// stages after it, lines split by arrays off a line, loaded and stored
// lines passing between the first cache and the next at once (the model
// prices each at its own rate, measured alone, as if they overlapped; they
// share the way: a plain copy through the second-level cache of a Zen 4
// core moves 56 GB/s each way, against 107 loaded or 88 stored alone), and
// the rest (address arithmetic, loop control).
std::string leftOutOf(const StageTiming& t, const StageRow& row, const Operations& o, const PeakRates& rates,
                      double seconds, uint32_t lineOffset) {
    std::vector<std::string> what;
    const uint32_t complexLanes = std::max(1u, rates.lanes / 2);
    if (row.kind != StageRow::Kind::copy && row.apart < complexLanes && rates.shufflesPerSecond)
        what.push_back("shuffles");
    if (row.kind != StageRow::Kind::copy && seconds * 1e9 / std::max(1u, row.occurrences) < 500)
        what.push_back("dependency chains");
    if (row.kind == StageRow::Kind::copy && t.plan.timesInPlace())
        what.push_back("the lines it evicts for the stages after it");
    if (lineOffset != 0) what.push_back("lines split");
    // stores whose lines are mostly fetched from beyond the first cache, beside loads that are too
    if (!o.storeMissBytes.empty() && o.storeMissBytes[0] >= 0.5 * o.storeBytes && o.loadMissBytes[0] > 0)
        what.push_back(fmt::format("loads and stores sharing the way to {}",
                                   rates.levels.size() > 1 ? rates.levels[1].name : std::string("the next cache")));
    if (row.kind != StageRow::Kind::copy && t.N <= 4096 && row.apart >= complexLanes)
        what.push_back("store-to-load forwarding");
    if (what.empty()) what.push_back("address arithmetic and loop control");
    std::string text;
    for (const std::string& w : what) text += (text.empty() ? "" : ", ") + w;
    return text;
}

}  // namespace

void attachStageLimits(StageRun& run, const InstrumentedLibrary& instrumented) {
    std::map<std::pair<uint32_t, uint32_t>, StageMisses> traffic;
    for (StageTiming& t : run.timings) {
        const PeakRates* rates = nullptr;
        for (const PeakRates& r : run.rates)
            if (r.path == t.kernelPath) rates = &r;
        t.leastSeconds.assign(t.plan.rows.size(), std::nullopt);
        t.bound.assign(t.plan.rows.size(), "");
        t.leftOut.assign(t.plan.rows.size(), "");
        if (rates == nullptr) continue;
        const auto key = std::pair{t.entry, t.N};
        if (!traffic.count(key)) traffic[key] = measureStageMisses(instrumented, t.entry, t.N, run.caches);
        const auto& counts = instrumented.countStages(t.entry, t.N);
        const StageMisses& misses = traffic[key];
        if (counts.size() != t.plan.marks || misses.loadMisses.size() != size_t{t.plan.marks} + 1) continue;
        std::vector<Operations> ops(t.plan.rows.size());
        for (Operations& o : ops) {
            o.loadMissBytes.assign(run.caches.size(), 0);
            o.storeMissBytes.assign(run.caches.size(), 0);
        }
        ops[0].loadBytes = 8.0 * t.N;
        ops[0].storeBytes = 8.0 * t.N;
        auto addMisses = [&](Operations& o, size_t stage) {
            for (size_t c = 0; c < run.caches.size(); ++c) {
                o.loadMissBytes[c] += double(kLineBytes) * static_cast<double>(misses.loadMisses[stage][c]);
                o.storeMissBytes[c] += double(kLineBytes) * static_cast<double>(misses.storeMisses[stage][c]);
            }
        };
        addMisses(ops[0], 0);
        for (size_t m = 0; m < t.plan.marks; ++m) {
            const int row = t.plan.rowOfMark[m];
            if (row < 0) continue;
            Operations& o = ops[static_cast<size_t>(row)];
            o.loadBytes += 8.0 * static_cast<double>(counts[m].loads);
            o.storeBytes += 8.0 * static_cast<double>(counts[m].stores);
            o.additions += static_cast<double>(counts[m].additions);
            o.multiplications += static_cast<double>(counts[m].multiplications);
            addMisses(o, m + 1);
        }
        for (size_t r = 0; r < ops.size(); ++r) {
            const auto least = leastTime(ops[r], *rates);
            if (!least) continue;
            t.leastSeconds[r] = least->seconds;
            t.bound[r] = least->bound;
            if (t.seconds[r] > 0 && limitPercent(least->seconds, t.seconds[r]) < kFarBelowLimitPercent)
                t.leftOut[r] = leftOutOf(t, t.plan.rows[r], ops[r], *rates, t.seconds[r], t.lineOffset);
        }
    }
}

std::optional<StageRun> briefStageRun(const std::vector<uint32_t>& entries, const std::vector<uint32_t>& sizes,
                                      const InstrumentedLibrary& counting, const StageProgress& progress,
                                      const std::function<bool()>& stop) {
    if (!fftplug::host::fileExists(defaultStageLibraryPath("dispatch")) ||
        !fftplug::host::fileExists(defaultShippedLibraryPath("dispatch")))
        return std::nullopt;
    try {
        const StageLibrary stages = StageLibrary::open(defaultStageLibraryPath("dispatch"));
        const fftplug::host::PluginLibrary shipped =
            fftplug::host::PluginLibrary::open(defaultShippedLibraryPath("dispatch"));
        StageSettings settings;
        settings.minSeconds = 0.002;
        settings.measurements = 3;
        settings.rates = false;
        const StagePath path{"dispatch", pluginLabels({shipped.path()}).front(), &stages, &shipped};
        return runStages({path}, entries, sizes, settings, progress, stop, counting);
    } catch (const fftplug::host::LoadError&) {
        return std::nullopt;
    }
}

}  // namespace fftbench
