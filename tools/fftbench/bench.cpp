#include "bench.h"

#include <fmt/format.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <csignal>
#include <map>

#include "host/guarded_array.h"
#include "host/bit_reversal.h"
#include "host/driver.h"
#include "host/reference.h"
#include "host/twiddle.h"
#include "list.h"

namespace fftbench {

using fftplug::host::CatalogueEntry;
using fftplug::host::PluginLibrary;
using fftplug::host::GuardedArray;

namespace {

// An entry of the plug-in: input in the entry's order, table built and
// (for entries that prepare it) prepared here, untimed; a measurement is one
// runEntry call whose repeat count does the repeating.
class EntryRun final : public TimedRun {
   public:
    EntryRun(const PluginLibrary& plugin, const CatalogueEntry& entry, const std::vector<Complex>& signal)
        : plugin_(plugin), entry_(entry), N_(static_cast<int32_t>(signal.size())),
          input_(signal.size()), work_(signal.size()), table_(signal.size()) {
        input_.assign(entry.naturalInput() ? signal : fftplug::host::bitReversed(signal));
        table_.assign(fftplug::host::makeTwiddleTable(N_));
        if (entry.preparesTable()) call(0);
    }
    void run(int64_t reps) override { call(static_cast<int32_t>(reps)); }
    std::vector<Complex> naturalResult() const override {
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
    GuardedArray input_, work_, table_;
};

volatile std::sig_atomic_t interruptFlag = 0;

extern "C" void onInterrupt(int) {
    interruptFlag = 1;
    std::signal(SIGINT, SIG_DFL);  // a second Ctrl-C ends the process
}

}  // namespace

std::vector<Contender> pluginContenders(const PluginLibrary& plugin, const std::vector<CatalogueEntry>& entries) {
    std::vector<Contender> contenders;
    for (const CatalogueEntry& entry : entries) {
        Contender c;
        c.implementation = fmt::format("entry {}", entry.index);
        c.entry = entry.index;
        c.name = displayName(entry);
        c.label = shortLabel(entry);
        c.maxReps = INT32_MAX;
        c.start = [&plugin, entry](const std::vector<Complex>& signal) -> std::unique_ptr<TimedRun> {
            return std::make_unique<EntryRun>(plugin, entry, signal);
        };
        contenders.push_back(std::move(c));
    }
    return contenders;
}

Timing measure(const std::function<double(int64_t)>& timed, const BenchSettings& settings, int64_t maxReps,
               const std::function<bool()>& stop) {
    Timing timing;
    int64_t reps = 1;
    while (timing.measurements == 0) {
        if (stop()) return timing;
        const double seconds = timed(reps);
        if (seconds >= settings.minSeconds || reps >= maxReps) {
            timing = Timing{reps, 1, seconds};
            break;
        }
        // Aim a quarter beyond the target, but at least double and at most
        // a hundredfold, so that a noisy short measurement cannot overshoot.
        const double factor = seconds > 0 ? std::clamp(1.25 * settings.minSeconds / seconds, 2.0, 100.0) : 100.0;
        reps = static_cast<int64_t>(std::min(static_cast<double>(maxReps), std::ceil(static_cast<double>(reps) * factor)));
    }
    while (timing.measurements < settings.measurements && !stop()) {
        timing.best = std::min(timing.best, timed(timing.reps));
        ++timing.measurements;
    }
    return timing;
}

double mflops(uint32_t N, double secondsPerTransform) {
    const double log2N = static_cast<double>(fftplug::host::log2Exact(N));
    return 5.0 * N * log2N / (secondsPerTransform * 1e6);
}

BenchRun runBench(const PluginLibrary& plugin, std::vector<Contender> contenders, const std::vector<uint32_t>& sizes,
                  const BenchSettings& settings, const BenchProgress& progress, const std::function<bool()>& stop) {
    BenchRun bench;
    bench.pluginPath = plugin.path();
    bench.signature = plugin.circuitSignature();
    bench.creator = plugin.creator();
    bench.settings = settings;
    bench.sizes = sizes;
    bench.contenders = std::move(contenders);

    std::map<std::pair<size_t, uint32_t>, BenchResult> cells;
    const size_t total = sizes.size() * bench.contenders.size();
    size_t done = 0;
    for (const uint32_t N : sizes) {
        if (bench.interrupted) break;
        const std::vector<Complex> signal = fftplug::host::randomSignal(N, settings.seed);
        const auto reference = fftplug::host::referenceTransform(fftplug::host::toSpectrum(signal));
        for (size_t c = 0; c < bench.contenders.size(); ++c) {
            const Contender& contender = bench.contenders[c];
            if (progress) progress(done, total, contender, N);
            const std::unique_ptr<TimedRun> run = contender.start(signal);
            const Timing timing = measure(
                [&](int64_t reps) {
                    const auto begin = std::chrono::steady_clock::now();
                    run->run(reps);
                    return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
                },
                settings, contender.maxReps, stop);
            if (const auto damage = run->damage())
                bench.warnings.push_back(fmt::format("{} at N = 2^{}: {} (run fftbench verify)", contender.implementation,
                                                     fftplug::host::log2Exact(N), *damage));
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
                r.nsPerPoint = r.secondsPerTransform * 1e9 / N;
                r.mflops = mflops(N, r.secondsPerTransform);
                r.error = fftplug::host::relativeRmsError(run->naturalResult(), reference);
                cells.emplace(std::pair{c, N}, std::move(r));
            }
            ++done;
            if (stop()) {
                bench.interrupted = true;
                break;
            }
        }
    }
    for (auto& [key, result] : cells) bench.results.push_back(std::move(result));
    return bench;
}

void installInterruptHandler() { std::signal(SIGINT, onInterrupt); }

bool interruptRequested() { return interruptFlag != 0; }

}  // namespace fftbench
