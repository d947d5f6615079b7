// The measuring loop, the figures, the contenders and the output formats of
// fftbench bench. Nothing here judges speed: the timing loop is driven by a
// fake clock, and the real contenders are checked for correct results only.
#include <gtest/gtest.h>

#include <fmt/format.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <tuple>

#include "check/entry_checks.h"
#include "cli/arguments.h"
#include "host/bit_reversal.h"
#include "host/driver.h"
#include "host/plugin_library.h"
#include "host/plugin_variants.h"
#include "host/reference.h"
#include "machine/processor.h"
#include "machine/rates.h"
#include "measure/bench_run.h"
#include "measure/counted_figures.h"
#include "measure/peers/peers.h"
#include "measure/placement.h"
#include "measure/summary.h"
#include "model/cache_traffic.h"
#include "model/limit.h"
#include "plugin/path_choice.h"
#include "render/bench_output.h"
#include "render/list_text.h"
#include "subject/instrumented_build.h"
#include "subject/path_taken.h"

using namespace fftbench;
using fftplug::host::PluginLibrary;

namespace {

BenchSettings settingsWith(double minSeconds, int measurements) {
    BenchSettings settings;
    settings.minSeconds = minSeconds;
    settings.measurements = measurements;
    return settings;
}

const auto never = [] { return false; };

// What printBenchTable prints for `run` (empty if no temporary file could be made).
std::string printedTable(const BenchRun& run) {
    std::FILE* file = std::tmpfile();
    if (file == nullptr) return {};
    printBenchTable(file, run);
    std::string printed(static_cast<size_t>(std::ftell(file)), '\0');
    std::rewind(file);
    printed.resize(std::fread(printed.data(), 1, printed.size(), file));
    std::fclose(file);
    return printed;
}

// A result with the fields the sample run sets; the rest keep their defaults.
BenchResult sampleResult(std::string implementation, std::optional<uint32_t> entry, std::string name,
                         std::string label, uint32_t N, unsigned log2N, int64_t reps, double seconds, double ns,
                         double mflops, double error, std::string plugin, std::optional<double> ratioToFirst) {
    BenchResult r;
    r.implementation = std::move(implementation);
    r.entry = entry;
    r.name = std::move(name);
    r.label = std::move(label);
    r.N = N;
    r.log2N = log2N;
    r.reps = reps;
    r.measurements = 5;
    r.secondsPerTransform = seconds;
    r.nsPerPoint = ns;
    r.mflops = mflops;
    r.error = error;
    r.plugin = std::move(plugin);
    r.ratioToFirst = ratioToFirst;
    return r;
}

BenchRun sampleRun() {
    BenchRun run;
    run.plugins = {PluginInfo{"/opt/x/libfftplug.so", "libfftplug", 3, "creator"}};
    run.settings = settingsWith(0.04, 5);
    run.sizes = {4, 8};
    Contender entry{"entry 3", 3u, "名前, \"quoted\"", "3 DIF r2 reversed half", 100, {}, "libfftplug"};
    Contender peer{"fftwf", std::nullopt, "FFTW", "FFTW (fftwf, measure)", 100, {}, ""};
    run.contenders = {entry, peer};
    run.results.push_back(
        sampleResult("entry 3", 3u, entry.name, entry.label, 4, 2, 1000, 2e-8, 5, 1000, 2e-8, "libfftplug", 1.0));
    run.results.push_back(
        sampleResult("entry 3", 3u, entry.name, entry.label, 8, 3, 500, 6e-8, 7.5, 2000, 3e-8, "libfftplug", 1.0));
    run.results.push_back(sampleResult("fftwf", std::nullopt, "FFTW", peer.label, 4, 2, 2000, 1e-8, 2.5, 2000, 1e-8, "", std::nullopt));
    run.results.back().measurements = 4;
    run.results[1].leastSecondsPerTransform = 3e-8;  // half the measured 6e-8 s
    run.results[1].limitPercent = 50;
    run.results[1].limitBound = "stores";
    PeakRates rates;
    rates.path = "AVX2";
    rates.lanes = 8;
    rates.vectorBytes = 32;
    rates.additionsPerSecond = 6.4e10;
    rates.multiplicationsPerSecond = 3.2e10;
    rates.memory = {MemoryRate{4, 4096, 2e11, 1e11}};
    run.rates = {rates};
    return run;
}

PluginLibrary openBeside(const std::string& base) {
    return PluginLibrary::open(fftplug::host::executableDirectory() + fftplug::host::platformLibraryName(base));
}

// One run of entry 0 of fftplug and of the plug-in whose entry 1 has the
// wrong sign (its entry 0 is sound), sizes 4 and 32.
const BenchRun& twoPluginRun() {
    static const BenchRun run = [] {
        const PluginLibrary first = openBeside("fftplug"), second = openBeside("fftplug_broken_sign");
        const auto labels = pluginLabels({first.path(), second.path()});
        std::vector<Contender> contenders = pluginContenders(first, {first.catalogue()[0]}, labels[0]);
        for (Contender& c : pluginContenders(second, {second.catalogue()[0]}, labels[1])) contenders.push_back(std::move(c));
        return runBench({describePlugin(first, labels[0]), describePlugin(second, labels[1])}, std::move(contenders),
                        {4, 32}, settingsWith(0.0005, 2), {}, never);
    }();
    return run;
}

}  // namespace

TEST(Measure, CalibratesUntilOneMeasurementIsLongEnough) {
    std::vector<int64_t> counts;
    const Timing timing = measure(
        [&](int64_t reps) {
            counts.push_back(reps);
            return static_cast<double>(reps) * 1e-6;  // a microsecond a transform
        },
        settingsWith(0.02, 5), INT32_MAX, never);
    EXPECT_GE(static_cast<double>(timing.reps) * 1e-6, 0.02);
    EXPECT_LE(static_cast<double>(timing.reps) * 1e-6, 0.02 * 1.25 * 2);  // not wildly beyond
    EXPECT_EQ(timing.measurements, 5);
    ASSERT_GE(counts.size(), 5u);
    // Each calibration step at least doubles the count; the last five are the measurements.
    for (size_t i = 1; i + 4 < counts.size(); ++i) EXPECT_GE(counts[i], 2 * counts[i - 1]);
    for (size_t i = counts.size() - 5; i < counts.size(); ++i) EXPECT_EQ(counts[i], timing.reps);
}

TEST(Measure, KeepsTheShortestMeasurement) {
    const std::vector<double> times{0.5, 0.3, 0.7, 0.2, 0.9, 0.1};
    size_t call = 0;
    const Timing timing = measure([&](int64_t) { return times.at(call++); }, settingsWith(0.05, 5), 1000, never);
    EXPECT_EQ(timing.reps, 1);
    EXPECT_EQ(timing.measurements, 5);
    EXPECT_DOUBLE_EQ(timing.best, 0.2);  // the sixth time is never taken
    EXPECT_EQ(call, 5u);
}

TEST(Measure, StopsAtTheRepeatLimit) {
    const Timing timing = measure([](int64_t) { return 0.0; }, settingsWith(0.05, 3), 5000, never);
    EXPECT_EQ(timing.reps, 5000);
    EXPECT_EQ(timing.measurements, 3);
}

TEST(Measure, StopRequestEndsAfterTheCurrentMeasurement) {
    int calls = 0;
    const Timing timing = measure([&](int64_t) { return ++calls, 1.0; }, settingsWith(0.05, 5), 100,
                                  [&] { return calls >= 2; });
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(timing.measurements, 2);
    const Timing none = measure([&](int64_t) { return 1.0; }, settingsWith(0.05, 5), 100, [] { return true; });
    EXPECT_EQ(none.measurements, 0);
}

TEST(Mflops, FiveNLogNOverMicroseconds) {
    EXPECT_DOUBLE_EQ(mflops(1024, 1e-6), 5.0 * 1024 * 10);
    EXPECT_DOUBLE_EQ(mflops(8, 2e-6), 5.0 * 8 * 3 / 2);
    EXPECT_DOUBLE_EQ(mflops(1, 1e-6), 0.0);
}

TEST(Contenders, EveryEntryAndPeerComputesTheForwardTransform) {
    const PluginLibrary plugin = PluginLibrary::open(fftplug::host::defaultPluginPath());
    std::vector<Contender> contenders = pluginContenders(plugin, plugin.catalogue(), "libfftplug");
    ASSERT_EQ(contenders.size(), 10u);
    EXPECT_EQ(contenders[4].implementation, "entry 4");
    EXPECT_EQ(contenders[4].label, "4 DIF r2 recursive");
    for (Contender& peer : peerContenders()) contenders.push_back(std::move(peer));
    for (const uint32_t N : {1u, 2u, 64u, 2048u}) {
        const auto signal = fftplug::host::randomSignal(N, 9);
        const auto reference = fftplug::host::referenceTransform(fftplug::host::toSpectrum(signal));
        for (const Contender& contender : contenders) {
            const auto run = contender.start(signal);
            run->run(3);
            EXPECT_LT(fftplug::host::relativeRmsError(run->naturalResult(), reference), 1e-6)
                << contender.implementation << " N " << N;
            EXPECT_FALSE(run->damage().has_value()) << contender.implementation;
        }
    }
}

TEST(RunBench, MeasuresEveryCellAndComputesTheFigures) {
    const PluginLibrary plugin = PluginLibrary::open(fftplug::host::defaultPluginPath());
    const auto catalogue = plugin.catalogue();
    const BenchRun run = runBench({describePlugin(plugin, "p")}, pluginContenders(plugin, {catalogue[2], catalogue[7]}, "p"),
                                  {4, 32}, settingsWith(0.0005, 2), {}, never);
    ASSERT_EQ(run.results.size(), 4u);
    EXPECT_FALSE(run.interrupted);
    // Contender order, then size.
    EXPECT_EQ(run.results[0].implementation, "entry 2");
    EXPECT_EQ(run.results[1].N, 32u);
    EXPECT_EQ(run.results[2].implementation, "entry 7");
    for (const BenchResult& r : run.results) {
        EXPECT_EQ(r.measurements, 2);
        EXPECT_GE(r.reps, 1);
        EXPECT_GT(r.secondsPerTransform, 0);
        EXPECT_DOUBLE_EQ(r.nsPerPoint, r.secondsPerTransform * 1e9 / r.N);
        EXPECT_DOUBLE_EQ(r.mflops, mflops(r.N, r.secondsPerTransform));
        EXPECT_LT(r.error, 1e-6);
        EXPECT_EQ(r.log2N, r.N == 4 ? 2u : 5u);
    }
}

TEST(RunBench, AStopKeepsWhatWasMeasured) {
    const PluginLibrary plugin = PluginLibrary::open(fftplug::host::defaultPluginPath());
    const auto catalogue = plugin.catalogue();
    size_t steps = 0;
    std::vector<int> rounds;
    // Sizes in the outer loop, at each size the calibrations, then round 2
    // (round 1 ends each calibration): at N = 4 calibrate entry 0, entry 1,
    // round 2 of entry 1, then of entry 0; at N = 8 calibrate entry 0, then the
    // stop arrives as entry 1's calibration starts, before its first
    // measurement: N = 8 keeps entry 0 with one measurement.
    const BenchRun run = runBench(
        {describePlugin(plugin, "p")}, pluginContenders(plugin, {catalogue[0], catalogue[1]}, "p"), {4, 8, 16},
        settingsWith(0.0001, 2),
        [&](size_t done, size_t total, const Contender&, uint32_t, int round) {
            EXPECT_EQ(total, 3u * 2u * 3u);
            EXPECT_LT(done, total);
            rounds.push_back(round);
            ++steps;
        },
        [&] { return steps >= 6; });
    EXPECT_TRUE(run.interrupted);
    EXPECT_EQ(rounds, (std::vector<int>{0, 0, 2, 2, 0, 0}));
    ASSERT_EQ(run.results.size(), 3u);
    EXPECT_EQ(run.results[0].N, 4u);
    EXPECT_EQ(run.results[0].measurements, 2);
    EXPECT_EQ(run.results[1].N, 8u);
    EXPECT_EQ(run.results[1].implementation, "entry 0");
    EXPECT_EQ(run.results[1].measurements, 1);
    EXPECT_EQ(run.results[2].N, 4u);
    EXPECT_EQ(run.results[2].measurements, 2);
}

namespace {

// A contender that records each measurement in a shared log and whose
// transforms take `seconds[m]` each at its m-th measurement on a fake clock
// that the run advances; with warmSeconds >= 0, its warm() is logged too and
// takes that long.
double fakeNow = 0;

class LoggingRun final : public TimedRun {
   public:
    LoggingRun(std::vector<std::string>& log, std::string name, std::vector<double> seconds, double warmSeconds)
        : log_(log), name_(std::move(name)), seconds_(std::move(seconds)), warmSeconds_(warmSeconds) {}
    void warm() override {
        if (warmSeconds_ < 0) return;
        log_.push_back(name_ + ":warm");
        fakeNow += warmSeconds_;
    }
    void run(int64_t reps) override {
        log_.push_back(fmt::format("{}:{}", name_, reps));
        fakeNow += seconds_.at(std::min(calls_++, seconds_.size() - 1)) * static_cast<double>(reps);
    }
    std::vector<Complex> naturalResult() override { return result_; }
    void setResult(std::vector<Complex> r) { result_ = std::move(r); }

   private:
    std::vector<std::string>& log_;
    std::string name_;
    std::vector<double> seconds_;
    double warmSeconds_;
    size_t calls_ = 0;
    std::vector<Complex> result_;
};

Contender loggingContender(std::vector<std::string>& log, const std::string& name, std::vector<double> seconds,
                           int64_t maxReps, double warmSeconds = -1) {
    Contender c{name, std::nullopt, name, name, maxReps, {}, ""};
    c.start = [&log, name, seconds, warmSeconds](const std::vector<Complex>& signal) -> std::unique_ptr<TimedRun> {
        auto run = std::make_unique<LoggingRun>(log, name, seconds, warmSeconds);
        std::vector<Complex> result;
        for (const auto& x : fftplug::host::referenceTransform(fftplug::host::toSpectrum(signal)))
            result.push_back(Complex{static_cast<float>(x.real()), static_cast<float>(x.imag())});
        run->setResult(std::move(result));
        return run;
    };
    return c;
}

}  // namespace

class Interleaved : public ::testing::TestWithParam<int> {};

TEST_P(Interleaved, EachRoundMeasuresEveryContenderOnce) {
    const int measurements = GetParam();
    std::vector<std::string> log;
    // "a" reaches the repeat limit 1 at once; "b" calibrates through 1 and 2
    // transforms (minSeconds lies between them) to 2. Each contender's
    // times: a burst (the third measurement) is slow for both alike.
    std::vector<Contender> contenders{
        loggingContender(log, "a", {0.002, 0.001, 0.003, 0.001, 0.002}, 1),
        loggingContender(log, "b", {0.002, 0.002, 0.002, 0.006, 0.002, 0.001}, 2)};
    BenchSettings settings = settingsWith(0.003, measurements);
    settings.clock = [] { return fakeNow; };
    const BenchRun run = runBench({}, contenders, {4, 8}, settings, {}, never);
    std::vector<std::string> expected;
    for (int size = 0; size < 2; ++size) {
        expected.insert(expected.end(), {"a:1", "b:1", "b:2"});  // the calibrations
        // Round 2 starts at b, round 3 at a again, and so on.
        for (int round = 2; round <= measurements; ++round)
            if (round % 2 == 0)
                expected.insert(expected.end(), {"b:2", "a:1"});
            else
                expected.insert(expected.end(), {"a:1", "b:2"});
    }
    EXPECT_EQ(log, expected);
    ASSERT_EQ(run.results.size(), 4u);
    for (const BenchResult& r : run.results) {
        EXPECT_EQ(r.measurements, measurements) << r.implementation;
        EXPECT_LT(r.error, 1e-6);
    }
    // a's measurements: 2, 1, 3, 1, 2 ms (the first `measurements` of them);
    // b's per transform, after its first one-transform calibration step:
    // 2, 2, 6, 2, 1 ms, at two transforms a measurement.
    const std::vector<double> a{0.002, 0.001, 0.003, 0.001, 0.002}, b{0.004, 0.004, 0.012, 0.004, 0.002};
    auto bestAndMedian = [&](const std::vector<double>& all) {
        std::vector<double> taken(all.begin(), all.begin() + measurements);
        std::sort(taken.begin(), taken.end());
        const size_t m = taken.size() / 2;
        return std::pair{taken.front(), taken.size() % 2 ? taken[m] : (taken[m - 1] + taken[m]) / 2};
    };
    for (const BenchResult& r : run.results) {
        const auto [best, median] = bestAndMedian(r.implementation == "a" ? a : b);
        const double reps = r.implementation == "a" ? 1 : 2;
        EXPECT_EQ(r.reps, static_cast<int64_t>(reps));
        EXPECT_NEAR(r.secondsPerTransform * reps, best, 1e-12) << r.implementation;
        EXPECT_NEAR(r.medianSecondsPerTransform * reps, median, 1e-12) << r.implementation;
    }
}

INSTANTIATE_TEST_SUITE_P(Rounds, Interleaved, ::testing::Values(1, 2, 3, 5));

// A run's warm-up comes before each of its measurements, calibration steps
// included, and its time is in none of them.
TEST(RunBench, EachMeasurementFollowsAnUntimedWarmUp) {
    std::vector<std::string> log;
    std::vector<Contender> contenders{loggingContender(log, "w", {0.002, 0.001, 0.003}, 1, 0.5)};
    BenchSettings settings = settingsWith(0.001, 3);
    settings.clock = [] { return fakeNow; };
    const BenchRun run = runBench({}, contenders, {4}, settings, {}, never);
    EXPECT_EQ(log, (std::vector<std::string>{"w:warm", "w:1", "w:warm", "w:1", "w:warm", "w:1"}));
    ASSERT_EQ(run.results.size(), 1u);
    EXPECT_NEAR(run.results[0].secondsPerTransform, 0.001, 1e-12);
}

// Each round starts one contender further on: over as many rounds as there
// are contenders, each takes every place in the order once.
TEST(Interleaving, EveryContenderTakesEveryPlace) {
    std::vector<std::string> log;
    std::vector<Contender> contenders;
    for (const char* name : {"a", "b", "c"}) contenders.push_back(loggingContender(log, name, {0.01}, 1 << 20));
    BenchSettings settings = settingsWith(0.005, 4);
    settings.clock = [] { return fakeNow; };
    runBench({}, contenders, {16}, settings, {}, never);
    const std::vector<std::string> expected{"a:1", "b:1", "c:1",   // calibrated at once: 10 ms a transform
                                            "b:1", "c:1", "a:1",   // round 2
                                            "c:1", "a:1", "b:1",   // round 3
                                            "a:1", "b:1", "c:1"};  // round 4
    EXPECT_EQ(log, expected);
}

// With confirmWithin, the planned rounds are followed by rounds of only
// the cells whose best no second measurement has come within that fraction
// of, until it does or twice the planned measurements are taken; a best
// still alone then is named in a warning.
TEST(Confirmation, MeasuresAgainOnlyUntilTheBestRepeats) {
    std::vector<std::string> log;
    std::vector<Contender> contenders{
        loggingContender(log, "steady", {0.002}, 1),
        loggingContender(log, "late", {0.001, 0.003, 0.002, 0.004, 0.00101}, 1),  // confirmed by its 5th
        loggingContender(log, "never", {0.001, 0.002, 0.003, 0.004, 0.005, 0.006, 0.007}, 1)};
    BenchSettings settings = settingsWith(0.0005, 3);
    settings.confirmWithin = 0.02;
    settings.clock = [] { return fakeNow; };
    const BenchRun run = runBench({}, contenders, {4}, settings, {}, never);
    std::map<std::string, int> measured;
    for (const BenchResult& r : run.results) measured[r.implementation] = r.measurements;
    EXPECT_EQ(measured, (std::map<std::string, int>{{"steady", 3}, {"late", 5}, {"never", 6}}));
    EXPECT_EQ(std::count(log.begin(), log.end(), "steady:1"), 3);
    ASSERT_EQ(run.unconfirmed.size(), 1u);
    EXPECT_EQ(run.contenders[run.unconfirmed[0].contender].implementation, "never");
    const auto warning = unconfirmedWarning(run);
    ASSERT_TRUE(warning);
    EXPECT_NE(warning->find("(never at N = 2^2)"), std::string::npos) << *warning;
    for (const BenchResult& r : run.results) {
        if (r.implementation == "late") {
            EXPECT_NEAR(r.secondsPerTransform, 0.001, 1e-12);
        }
    }

    settings.confirmWithin = 0;  // off: exactly the planned measurements
    for (const BenchResult& r : runBench({}, contenders, {4}, settings, {}, never).results)
        EXPECT_EQ(r.measurements, 3) << r.implementation;
}

TEST(Measure, AddMeasurementKeepsBestMedianAndWorst) {
    Timing timing{10, 0, 0, 0, 0};
    std::vector<double> taken;
    const std::vector<std::array<double, 4>> steps{
        {3, 3, 3, 3}, {1, 1, 2, 3}, {2, 1, 2, 3}, {5, 1, 2.5, 5}};  // seconds, best, median, worst
    for (const auto& [seconds, best, median, worst] : steps) {
        addMeasurement(timing, taken, seconds);
        EXPECT_DOUBLE_EQ(timing.best, best);
        EXPECT_DOUBLE_EQ(timing.median, median);
        EXPECT_DOUBLE_EQ(timing.worst, worst);
    }
    EXPECT_EQ(timing.measurements, 4);
    EXPECT_EQ(timing.reps, 10);
}

// Where a timed run's arrays and its timed calls' stack lie in their pages
// is the same in every run: the arrays at their roles' offsets plus the
// line offset asked for, the stack at one place however deep the caller.
TEST(Placement, ArraysAndTheTimedStackLieAtFixedPlacesInTheirPages) {
    for (const size_t role : {placement::kInput, placement::kWork, placement::kTable})
        for (const size_t lineOffset : {0u, 8u, 16u}) {
            fftplug::host::GuardedArray array = placement::array(role, 3, lineOffset);
            EXPECT_EQ(reinterpret_cast<uintptr_t>(array.data()) % 4096, role + lineOffset);
            EXPECT_EQ(array.lineOffset(), lineOffset);
            array[2] = Complex{1, 2};
            EXPECT_TRUE(array.guardsIntact());
        }
    std::vector<size_t> seen;
    const std::function<void()> record = [&seen] {
        volatile char local = 0;
        seen.push_back(reinterpret_cast<uintptr_t>(&local) % 4096);
    };
    // From frames of different depths, with more or less of the stack in use.
    std::function<void(int)> deeper = [&](int levels) {
        volatile char frame[200] = {};
        if (levels == 0) return placement::onPlacedStack(record);
        deeper(levels - 1);
        (void)frame[0];
    };
    for (const int levels : {0, 1, 5, 17}) deeper(levels);
    ASSERT_EQ(seen.size(), 4u);
    for (const size_t at : seen) {
        EXPECT_EQ(at, seen.front());
        EXPECT_LT(at, placement::kStackTop);  // below the top, in the frames under it
        EXPECT_GT(at, placement::kStackTop - 1024);
    }
}

#if !defined(_WIN32)
// --fftw: another single-precision FFTW loaded at run time, here Debian's
// own, timed as the peer "fftwf" and named with its path.
TEST(FftwAtRunTime, TheLibraryNamedIsTimedAndNamed) {
    const std::string path = "/usr/lib/x86_64-linux-gnu/libfftw3f.so.3";
    if (!fftplug::host::fileExists(path)) GTEST_SKIP() << path << " is not installed";
    std::vector<Contender> peers = peerContenders({{"fftwf", path}});
    ASSERT_FALSE(peers.empty());
    ASSERT_EQ(peers.front().implementation, "fftwf");
    EXPECT_NE(peers.front().name.find("libfftw3f.so.3"), std::string::npos) << peers.front().name;
    EXPECT_NE(peers.front().name.find("fftw-3"), std::string::npos) << peers.front().name;  // its version string
    peers.resize(1);
    const BenchRun run = runBench({}, std::move(peers), {16, 1024}, settingsWith(0.0005, 2), {}, never);
    ASSERT_EQ(run.results.size(), 2u);
    for (const BenchResult& r : run.results) EXPECT_LT(r.error, errorBound(r.N)) << r.N;
    const std::string csv = benchCsv(run);
    EXPECT_NE(csv.find("\r\nfftwf,,\"fftw-3"), std::string::npos) << csv;
    EXPECT_NE(csv.find("libfftw3f.so.3"), std::string::npos) << csv;
    const auto document = nlohmann::json::parse(benchJson(run, "1"));
    EXPECT_NE(document["peers"][0]["description"].get<std::string>().find("libfftw3f.so.3"), std::string::npos);
}

// --fftw repeated: each library timed beside the first as fftwf-2 …, with a
// header line of its own.
TEST(FftwAtRunTime, FurtherLibrariesAreTimedSideBySide) {
    const std::string path = "/usr/lib/x86_64-linux-gnu/libfftw3f.so.3";
    if (!fftplug::host::fileExists(path)) GTEST_SKIP() << path << " is not installed";
    std::vector<Contender> peers = peerContenders({{"fftwf", path}, {"fftwf", path}, {"fftwf", path}});
    ASSERT_GE(peers.size(), 3u);
    peers.resize(3);  // KissFFT aside
    for (const auto& [c, name, header] :
         {std::tuple{&peers[0], "fftwf", "fftw"}, {&peers[1], "fftwf-2", "fftw-2"}, {&peers[2], "fftwf-3", "fftw-3"}}) {
        EXPECT_EQ(c->implementation, name);
        EXPECT_EQ(c->header, header);
    }
    const BenchRun run = runBench({}, std::move(peers), {64}, settingsWith(0.0005, 2), {}, never);
    ASSERT_EQ(run.results.size(), 3u);
    for (const BenchResult& r : run.results) EXPECT_LT(r.error, errorBound(r.N)) << r.implementation;
}

TEST(FftwAtRunTime, ALibraryThatDoesNotServeIsRefusedWithTheReason) {
    for (const std::string path : {"/no/such/libfftw3f.so", "/usr/lib/x86_64-linux-gnu/libm.so.6"}) {
        if (path.find("libm") != std::string::npos && !fftplug::host::fileExists(path)) continue;
        try {
            peerContenders({{"fftwf", path}});
            ADD_FAILURE() << path << " was accepted";
        } catch (const PeerError& error) {
            EXPECT_EQ(error.library(), path);
            const std::string why = error.what();
            EXPECT_TRUE(why.find("does not load") != std::string::npos || why.find("no fftwf_") != std::string::npos)
                << why;
            EXPECT_EQ(why.find("--"), std::string::npos) << "names an option: " << why;
        }
    }
}
#endif

// The least time: the slowest of loads and stores at the first-level
// cache's rates, the lines each cache misses at the next level's rates,
// additions and multiplications, worked out by hand. N = 64: the copy of
// input into work adds 512 bytes read and 512 written.
struct LimitCase {
    const char* binds;
    double l1Load, l1Store, l2Load, l2Store, l3Load, addRate, mulRate;  // bytes/s and operations/s
    double leastNs;
};
class LimitModel : public ::testing::TestWithParam<LimitCase> {};

TEST_P(LimitModel, TheSlowestAtItsLevelsRate) {
    const LimitCase& c = GetParam();
    FftplugCounts counts{};
    counts.loads = 1000;  // 8000 bytes + 512 = 8512
    counts.stores = 500;  // 4000 bytes + 512 = 4512
    counts.additions = 4000;
    counts.multiplications = 2000;
    counts.tableReads = 123456;  // their misses count, not their bytes
    CacheTraffic traffic;
    traffic.caches = {{"L1d", 32 << 10, "test"}, {"L2", 1 << 20, "test"}, {"L3", 8 << 20, "test"}};
    traffic.loadMisses = {100, 10, 0};  // 6400 bytes from L2, 640 from L3
    traffic.storeMisses = {50, 0, 0};   // 3200 bytes to L2
    const Operations o = operationsOf(counts, 64, traffic);
    EXPECT_DOUBLE_EQ(o.loadBytes, 8512);
    EXPECT_DOUBLE_EQ(o.storeBytes, 4512);
    PeakRates rates;
    rates.additionsPerSecond = c.addRate;
    rates.multiplicationsPerSecond = c.mulRate;
    rates.memory = {MemoryRate{64, 4096, 1, 1}};  // the sweep of N's working set: not part of the model
    rates.levels = {{"L1d", 32 << 10, 8 << 10, 16 << 10, c.l1Load, c.l1Store},
                    {"L2", 1 << 20, 256 << 10, 512 << 10, c.l2Load, c.l2Store},
                    {"L3", 8 << 20, 2 << 20, 4 << 20, c.l3Load, 1}};  // nothing is stored to L3: its rate does not bind
    const auto least = leastTime(o, rates);
    ASSERT_TRUE(least.has_value());
    EXPECT_NEAR(least->seconds * 1e9, c.leastNs, 1e-9) << c.binds;
    EXPECT_EQ(least->bound, c.binds);
    EXPECT_DOUBLE_EQ(limitPercent(least->seconds, 4 * least->seconds), 25.0);
    // Lines that L3 misses come from memory, whose rate was not measured.
    CacheTraffic beyond = traffic;
    beyond.loadMisses[2] = 1;
    EXPECT_FALSE(leastTime(operationsOf(counts, 64, beyond), rates).has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Binding, LimitModel,
    ::testing::Values(LimitCase{"loads", 1e10, 1e11, 1e10, 1e11, 1e10, 1e12, 1e12, 851.2},      // 8512 B at 10 GB/s
                      LimitCase{"stores", 1e11, 4e9, 1e11, 4e9, 1e11, 1e12, 1e12, 1128.0},        // 4512 B at 4 GB/s
                      LimitCase{"L2 loads", 1e12, 1e12, 4e9, 1e12, 4e9, 1e12, 1e12, 1600.0},     // 6400 B at 4 GB/s
                      LimitCase{"L2 stores", 1e12, 1e12, 1e12, 2e9, 1e12, 1e12, 1e12, 1600.0},   // 3200 B at 2 GB/s
                      LimitCase{"L3 loads", 1e12, 1e12, 1e12, 1e12, 1e8, 1e12, 1e12, 6400.0},    // 640 B at 0.1 GB/s
                      LimitCase{"additions", 1e12, 1e12, 1e12, 1e12, 1e12, 1e10, 1e11, 400.0},   // 4000 at 10 Gop/s
                      LimitCase{"multiplications", 1e12, 1e12, 1e12, 1e12, 1e12, 1e11, 4e9, 500.0},  // 2000 at 4 Gop/s
                      // L2 measured slower than L3: its 6400 B priced at L3's 8 GB/s
                      LimitCase{"L2 loads", 1e12, 1e12, 1e9, 1e12, 8e9, 1e12, 1e12, 800.0}));  // 2000 at 4 Gop/s

TEST(LimitModel, WorkingSetIsTheArraysOfNAtLeastFourKiB) {
    EXPECT_EQ(workingSetBytes(4), 4096u);
    EXPECT_EQ(workingSetBytes(256), 4096u);
    EXPECT_EQ(workingSetBytes(1024), 16384u);
    EXPECT_EQ(workingSetBytes(1u << 20), 16u << 20);
}

// Rates measured at every path the processor runs: positive and finite,
// a memory rate per size; none for a path without loops.
class Rates : public ::testing::TestWithParam<const char*> {};

TEST_P(Rates, MeasuredForEverySize) {
    const std::string path = GetParam();
    const CpuInfo cpu = detectCpu();
    if (!cpu.x86) GTEST_SKIP() << "no rate loops off x86";
    if (path != "scalar" && !cpu.usable(path == "AVX-512" ? "AVX-512F" : path)) GTEST_SKIP() << path << " not usable here";
    const std::vector<CacheLevel> caches = {{"L1d", 32 << 10, "test"}, {"L2", 256 << 10, "test"}};
    const auto rates = measureRates(path, {1024, 4, 64}, caches, 0.0002);
    ASSERT_TRUE(rates.has_value());
    EXPECT_EQ(rates->path, path);
    EXPECT_EQ(rates->vectorBytes, path == "scalar" ? 8u : path == "SSE2" ? 16u : path == "AVX2" ? 32u : 64u);
    EXPECT_EQ(rates->shufflesPerSecond.has_value(), path != "scalar");
    for (const double rate : {rates->additionsPerSecond, rates->multiplicationsPerSecond}) {
        EXPECT_GT(rate, 1e6);
        EXPECT_TRUE(std::isfinite(rate));
    }
    ASSERT_EQ(rates->memory.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        const MemoryRate& m = rates->memory[i];
        EXPECT_EQ(m.N, (std::array<uint32_t, 3>{4, 64, 1024}[i]));
        EXPECT_EQ(m.bytes, workingSetBytes(m.N));
        EXPECT_GT(m.loadBytesPerSecond, 1e6);
        EXPECT_GT(m.storeBytesPerSecond, 1e6);
        EXPECT_TRUE(std::isfinite(m.loadBytesPerSecond) && std::isfinite(m.storeBytesPerSecond));
        EXPECT_EQ(rates->at(m.N), &m);
    }
    // From an eighth (at least four times the cache before: L2 128 KiB) to a
    // half of each cache, then memory at four times the last where 24N bytes could
    // outgrow it (24 KiB at 1024 does not).
    ASSERT_EQ(rates->levels.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        const LevelRate& level = rates->levels[i];
        EXPECT_EQ(level.name, caches[i].name);
        EXPECT_EQ(level.bytes, i == 0 ? 4u << 10 : 128u << 10);
        EXPECT_EQ(level.largestBytes, caches[i].bytes / 2);
        EXPECT_GT(level.loadBytesPerSecond, 1e6);
        EXPECT_GT(level.storeBytesPerSecond, 1e6);
    }
    const auto withMemory = measureRates(path, {1u << 14}, caches, 0.0002);
    ASSERT_TRUE(withMemory.has_value());
    ASSERT_EQ(withMemory->levels.size(), 3u);
    EXPECT_EQ(withMemory->levels[2].name, "memory");
    EXPECT_EQ(withMemory->levels[2].bytes, 1u << 20);
}

INSTANTIATE_TEST_SUITE_P(Paths, Rates, ::testing::Values("scalar", "SSE2", "AVX2", "AVX-512"),
                         [](const auto& info) { return std::string(info.param == std::string("AVX-512") ? "AVX512" : info.param); });

TEST(Rates, NoneForAPathWithoutLoops) { EXPECT_FALSE(measureRates("NEON", {4}, dataCaches()).has_value()); }

// A real run with the rates and the instrumented build: every entry has a limit
// % above 0 and finite (above 100 it would say the model is wrong: docs).
TEST(LimitModel, EveryEntryOfARealRunHasOne) {
    const PluginLibrary plugin = PluginLibrary::open(fftplug::host::defaultPluginPath());
    const InstrumentedLibrary instrumented = InstrumentedLibrary::open(defaultInstrumentedLibraryPath());
    const auto catalogue = plugin.catalogue();
    BenchRun run = runBench({describePlugin(plugin, "libfftplug")},
                            pluginContenders(plugin, {catalogue[0], catalogue[6], catalogue[8]}, "libfftplug"), {16, 1024},
                            settingsWith(0.0005, 2), {}, never);
    const CpuInfo cpu = detectCpu();
    for (const char* path : {"scalar", "SSE2", "AVX2", "AVX-512"})
        if (auto rates = measureRates(path, run.sizes, dataCaches(), 0.0002)) run.rates.push_back(std::move(*rates));
    TrafficCache traffic(instrumented);
    attachCountedFlops(run, instrumented, {"libfftplug"}, &traffic);
    ASSERT_EQ(run.results.size(), 6u);
    for (const BenchResult& r : run.results) {
        if (r.kernelPath.empty()) continue;  // not a processor fftplug's paths are known on
        ASSERT_TRUE(r.limitPercent.has_value()) << r.implementation << " " << r.N;
        EXPECT_GT(*r.limitPercent, 0);
        EXPECT_TRUE(std::isfinite(*r.limitPercent));
        EXPECT_DOUBLE_EQ(*r.limitPercent, 100 * *r.leastSecondsPerTransform / r.secondsPerTransform);
        const bool fromBeyond = r.limitBound.size() > 6 && (r.limitBound.substr(r.limitBound.size() - 6) == " loads" ||
                                                            r.limitBound.substr(r.limitBound.size() - 7) == " stores");
        EXPECT_TRUE(r.limitBound == "loads" || r.limitBound == "stores" || r.limitBound == "additions" ||
                    r.limitBound == "multiplications" || fromBeyond)
            << r.limitBound;
    }
    (void)cpu;
}

TEST(Output, CsvHasTheDocumentedColumnsAndQuotesNames) {
    const std::string csv = benchCsv(sampleRun());
    EXPECT_EQ(csv.substr(0, csv.find("\r\n")),
              "implementation,entry,name,n,log2n,repetitions,measurements,time_per_transform_us,ns_per_point,mflops,"
              "relative_rms_error,plugin,ratio_to_first_plugin,counted_flops,counted_mflops,"
              "median_time_per_transform_us,spread,path,host_reorder,least_time_per_transform_us,limit_percent,limit_bound,"
              "limit_exceeded");
    EXPECT_NE(csv.find("\r\nentry 3,3,\"名前, \"\"quoted\"\"\",8,3,500,5,0.06,7.5,2000,3e-08,libfftplug,1,,,0,0,,0,0.03,50,stores,0\r\n"),
              std::string::npos)
        << csv;
    EXPECT_NE(csv.find("\r\nfftwf,,FFTW,4,2,2000,4,0.01,2.5,2000,1e-08,,,,,0,0,,,,,,\r\n"), std::string::npos) << csv;
}

TEST(Output, JsonCarriesSettingsPeersAndResults) {
    const auto document = nlohmann::json::parse(benchJson(sampleRun(), "9.9.9"));
    EXPECT_EQ(document["tool"], "fftbench");
    EXPECT_EQ(document["version"], "9.9.9");
    EXPECT_EQ(document["plugin"]["signature"], 3);
    EXPECT_EQ(document["settings"]["measurements"], 5);
    EXPECT_DOUBLE_EQ(document["settings"]["min_time_ms"].get<double>(), 40.0);
    EXPECT_EQ(document["settings"]["page_offsets_bytes"]["table"], placement::kTable);
    EXPECT_EQ(document["peers"].size(), 1u);
    EXPECT_EQ(document["peers"][0]["implementation"], "fftwf");
    EXPECT_FALSE(document["interrupted"].get<bool>());
    ASSERT_EQ(document["results"].size(), 3u);
    const auto& first = document["results"][0];
    std::vector<std::string> keys;
    for (auto it = first.begin(); it != first.end(); ++it) keys.push_back(it.key());
    std::vector<std::string> sortedColumns = kResultColumns, sortedKeys = keys;
    std::sort(sortedColumns.begin(), sortedColumns.end());
    std::sort(sortedKeys.begin(), sortedKeys.end());
    EXPECT_EQ(sortedKeys, sortedColumns);
    EXPECT_EQ(first["name"], "名前, \"quoted\"");
    EXPECT_DOUBLE_EQ(first["time_per_transform_us"].get<double>(), 0.02);
    EXPECT_TRUE(document["results"][2]["entry"].is_null());
    EXPECT_DOUBLE_EQ(document["results"][1]["limit_percent"].get<double>(), 50.0);
    EXPECT_TRUE(document["results"][0]["limit_percent"].is_null());
    EXPECT_EQ(document["results"][1]["limit_bound"], "stores");
    ASSERT_EQ(document["rates"].size(), 1u);
    const auto& rates = document["rates"][0];
    EXPECT_EQ(rates["path"], "AVX2");
    EXPECT_DOUBLE_EQ(rates["add_gop_per_s"].get<double>(), 64.0);
    EXPECT_DOUBLE_EQ(rates["multiply_gop_per_s"].get<double>(), 32.0);
    EXPECT_TRUE(rates["shuffle_gop_per_s"].is_null());
    EXPECT_DOUBLE_EQ(rates["memory"][0]["load_gb_per_s"].get<double>(), 200.0);
    EXPECT_DOUBLE_EQ(rates["memory"][0]["store_gb_per_s"].get<double>(), 100.0);
}

TEST(Output, TheTableShowsTheRatesAndTheLimit) {
    const std::string text = printedTable(sampleRun());
    EXPECT_NE(text.find("rates         AVX2 (8 floats a vector, no FMA): add 64.0, multiply 32.0 Gop/s\n"),
              std::string::npos) << text;
    EXPECT_NE(text.find("2^2 (4 KiB) 200/100"), std::string::npos) << text;
    EXPECT_NE(text.find("limit % bound\n"), std::string::npos) << text;
    EXPECT_NE(text.find("     50.0 stores\n"), std::string::npos) << text;  // entry 3 at 2^3
    EXPECT_NE(text.find("\nlimit % (least time"), std::string::npos) << text;
    EXPECT_EQ(text.find("*"), std::string::npos) << text;

    // A least time above the measured time is marked, and said once below the table.
    BenchRun over = sampleRun();
    for (BenchResult& r : over.results)
        if (r.limitPercent) r.limitPercent = 120.0;
    const std::string marked = printedTable(over);
    EXPECT_NE(marked.find("   120.0* stores\n"), std::string::npos) << marked;
    EXPECT_NE(marked.find("\n* 1 cell: the least time exceeds the measured time"), std::string::npos) << marked;
    EXPECT_EQ(nlohmann::json::parse(benchJson(over, "0"))["results"][1]["limit_exceeded"], true);

    // Without the rates there are no limit columns.
    BenchRun none = sampleRun();
    none.rates.clear();
    for (BenchResult& r : none.results) r.limitPercent.reset();
    EXPECT_EQ(printedTable(none).find("limit %"), std::string::npos) << printedTable(none);
}

// The path line: one list of runs where every entry takes the same, else
// one for each group of entries that do.
TEST(Output, ThePathLineNamesTheEntriesWhosePathsDiffer) {
    BenchRun run = sampleRun();
    for (BenchResult& r : run.results)
        if (r.entry) r.kernelPath = r.N == 4 ? "AVX2" : "AVX-512";
    EXPECT_NE(printedTable(run).find("\npath          AVX2 at 2^2, AVX-512 at 2^3\n"), std::string::npos)
        << printedTable(run);
    for (const uint32_t entry : {4u, 5u, 7u}) {
        for (const BenchResult& r : sampleRun().results) {
            if (!r.entry) continue;
            BenchResult other = r;
            other.entry = entry;
            other.kernelPath = entry == 7 ? "AVX-512" : r.N == 4 ? "AVX2" : "AVX-512";
            run.results.push_back(other);
        }
    }
    EXPECT_NE(printedTable(run).find("\npath          entries 3-5: AVX2 at 2^2, AVX-512 at 2^3; entry 7: AVX-512 at "
                                     "2^2..2^3\n"),
              std::string::npos)
        << printedTable(run);
}

TEST(Output, TheLimitPlotBesideTheSpeedPlot) {
    EXPECT_EQ(limitPlotPath("out/bench.svg"), "out/bench-limit.svg");
    EXPECT_EQ(limitPlotPath("a.b/bench"), "a.b/bench-limit");
    const std::string script = limitGnuplotScript(sampleRun(), "l.svg", PlotFormat::svg);
    EXPECT_NE(script.find("$l0 << EOD\n3 50\nEOD\n"), std::string::npos) << script;  // entry 3: 2^3 only
    EXPECT_EQ(script.find("$l1"), std::string::npos) << script;                      // no peer
    BenchRun none = sampleRun();
    none.rates.clear();
    for (BenchResult& r : none.results) r.limitPercent.reset();
    const std::string empty = limitGnuplotScript(none, "l.svg", PlotFormat::svg);
    EXPECT_NE(empty.find("--no-rates"), std::string::npos) << empty;
    EXPECT_NE(empty.find("set yrange [0:110]\n"), std::string::npos) << empty;  // no autoscaling without points
}

TEST(Output, PlotScriptDrawsOneLinePerImplementation) {
    EXPECT_EQ(plotFormatFor("a/b.SVG"), PlotFormat::svg);
    EXPECT_EQ(plotFormatFor("b.png"), PlotFormat::png);
    EXPECT_FALSE(plotFormatFor("b.pdf").has_value());
    EXPECT_FALSE(plotFormatFor(".png").has_value());
    const std::string script = gnuplotScript(sampleRun(), "it's.svg", PlotFormat::svg);
    EXPECT_NE(script.find("set terminal svg"), std::string::npos);
    EXPECT_NE(script.find("set output 'it''s.svg'"), std::string::npos) << script;
    EXPECT_NE(script.find("$d0 << EOD\n2 1000\n3 2000\nEOD\n"), std::string::npos) << script;
    EXPECT_NE(script.find("$d1 << EOD\n2 2000\nEOD\n"), std::string::npos) << script;
    EXPECT_NE(script.find("title '3 DIF r2 reversed half'"), std::string::npos);
    EXPECT_NE(script.find("title 'FFTW (fftwf, measure)'"), std::string::npos);
    EXPECT_NE(gnuplotScript(sampleRun(), "p.png", PlotFormat::png).find("pngcairo"), std::string::npos);
}

TEST(PluginLabels, FileNamesWithoutSuffixDistinctInARun) {
    EXPECT_EQ(pluginLabels({"build/bin/libfftplug-scalar.so", "C:\\bin\\fftplug-avx2.DLL", "libx.so.1", "plain"}),
              (std::vector<std::string>{"libfftplug-scalar", "fftplug-avx2", "libx", "plain"}));
    EXPECT_EQ(pluginLabels({"a/libfftplug.so", "b/libfftplug.so", "libfftplug.so"}),
              (std::vector<std::string>{"libfftplug", "libfftplug#2", "libfftplug#3"}));
}

TEST(RunBench, SeveralPluginsSideBySideWithTheRatioToTheFirst) {
    const BenchRun& run = twoPluginRun();
    ASSERT_EQ(run.plugins.size(), 2u);
    const std::string first = run.plugins[0].label, second = run.plugins[1].label;
    EXPECT_NE(first, second);
    ASSERT_EQ(run.results.size(), 4u);
    for (size_t i = 0; i < 2; ++i) {
        const BenchResult &mine = run.results[2 + i], &reference = run.results[i];
        EXPECT_EQ(reference.plugin, first);
        EXPECT_EQ(mine.plugin, second);
        EXPECT_EQ(mine.N, reference.N);
        EXPECT_EQ(reference.ratioToFirst, 1.0);
        ASSERT_TRUE(mine.ratioToFirst.has_value());
        EXPECT_DOUBLE_EQ(*mine.ratioToFirst, mine.mflops / reference.mflops);
    }

    // CSV: the plug-in and the ratio after the error (runBench leaves the
    // counted figures empty: the instrumented build is fftbench's to attach).
    const std::string csv = benchCsv(run);
    EXPECT_EQ(csv.substr(0, csv.find("\r\n")).substr(csv.find(",relative_rms_error")),
              ",relative_rms_error,plugin,ratio_to_first_plugin,counted_flops,counted_mflops,"
              "median_time_per_transform_us,spread,path,host_reorder,least_time_per_transform_us,limit_percent,limit_bound,"
              "limit_exceeded");
    for (const BenchResult& r : run.results)
        EXPECT_NE(csv.find(fmt::format(",{:.4g},{},{:.4g},,,{:.6g},{:.4g},{},0,,,,\r\n", r.error, r.plugin, *r.ratioToFirst,
                                       r.medianSecondsPerTransform * 1e6, r.spread, r.kernelPath)),
                  std::string::npos)
            << csv;

    // JSON: both plug-ins, each result with its plug-in and ratio, and the summary's ratio.
    const auto document = nlohmann::json::parse(benchJson(run, "0"));
    ASSERT_EQ(document["plugins"].size(), 2u);
    EXPECT_EQ(document["plugins"][1]["label"], second);
    EXPECT_EQ(document["plugin"]["label"], first);
    for (size_t i = 0; i < run.results.size(); ++i) {
        EXPECT_EQ(document["results"][i]["plugin"], run.results[i].plugin);
        EXPECT_DOUBLE_EQ(document["results"][i]["ratio_to_first_plugin"].get<double>(), *run.results[i].ratioToFirst);
    }
    ASSERT_EQ(document["summary"]["ratio_to_first_plugin"].size(), 2u);  // all entries, then entry 0
    const auto& all = document["summary"]["ratio_to_first_plugin"][0];
    EXPECT_EQ(all["plugin"], second);
    EXPECT_TRUE(all["entry"].is_null());
    EXPECT_EQ(all["cells"], 1);  // only N = 32 lies in 2^4..2^20
    EXPECT_DOUBLE_EQ(all["geometric_mean"].get<double>(), *run.results[3].ratioToFirst);

    // The printed table: a block of figures per plug-in, then the ratios.
    const std::string printed = printedTable(run);
    for (const std::string& expected : {"\nmflops of " + first + "\n", "\nmflops of " + second + "\n",
                                        "\nmflops of " + second + " / mflops of " + first + "\n",
                                        "\n" + second + " entry 0 ", std::string("instructions  ")})
        EXPECT_NE(printed.find(expected), std::string::npos) << expected << "\n" << printed;

    // The plot: mflops above, the ratio to the first plug-in below.
    const std::string script = gnuplotScript(run, "p.svg", PlotFormat::svg);
    EXPECT_NE(script.find("set multiplot"), std::string::npos) << script;
    EXPECT_NE(script.find(fmt::format("$r1 << EOD\n2 {:.6g}\n5 {:.6g}\nEOD\n", *run.results[2].ratioToFirst,
                                      *run.results[3].ratioToFirst)),
              std::string::npos)
        << script;
    EXPECT_NE(script.find("title '" + second + ": " + run.contenders[1].label + "'"), std::string::npos) << script;
}

TEST(Summary, BestEntryAgainstFftwAndEachPluginAgainstTheFirst) {
    BenchRun run;
    run.plugins = {PluginInfo{"a.so", "a", 3, ""}, PluginInfo{"b.so", "b", 3, ""}};
    auto add = [&](const std::string& plugin, std::optional<uint32_t> entry, unsigned log2N, double mflops,
                   std::optional<double> ratio) {
        BenchResult r;
        r.implementation = entry ? fmt::format("entry {}", *entry) : "fftwf";
        r.entry = entry;
        r.plugin = plugin;
        r.N = 1u << log2N;
        r.log2N = log2N;
        r.mflops = mflops;
        r.ratioToFirst = ratio;
        run.results.push_back(r);
    };
    // fftwf at 100 everywhere; a's best entry reaches 0.25, 0.5, 1 and 4 of it
    // (the other entry slower) at 2^4, 2^6, 2^16, 2^20, and 100 at 2^2, outside every range.
    const std::vector<std::pair<unsigned, double>> best{{2, 100.0}, {4, 0.25}, {6, 0.5}, {16, 1.0}, {20, 4.0}};
    for (const auto& [log2N, ratio] : best) {
        add("", std::nullopt, log2N, 100, std::nullopt);
        add("a", 0u, log2N, 100 * ratio, 1.0);
        add("a", 1u, log2N, 50 * ratio, 1.0);
        // b: entry 0 twice as fast as a's, entry 1 eight times; at 2^2 far off, but outside 2^4..2^20.
        add("b", 0u, log2N, 1, log2N == 2 ? 1000.0 : 2.0);
        add("b", 1u, log2N, 1, log2N == 2 ? 1000.0 : 8.0);
    }
    const std::vector<PluginSummary> summary = summarize(run);
    ASSERT_EQ(summary.size(), 2u);
    const PluginSummary& a = summary[0];
    EXPECT_EQ(a.plugin, "a");
    EXPECT_TRUE(a.ratios.empty());
    ASSERT_EQ(a.bestOverReference.size(), 3u);
    EXPECT_FALSE(a.bestOverReference[0].minimum);
    EXPECT_EQ(a.bestOverReference[0].sizes, 4u);
    EXPECT_DOUBLE_EQ(a.bestOverReference[0].value, std::pow(0.25 * 0.5 * 1.0 * 4.0, 1.0 / 4));
    EXPECT_EQ(a.bestOverReference[1].fromLog2, 16u);
    EXPECT_EQ(a.bestOverReference[1].sizes, 2u);
    EXPECT_DOUBLE_EQ(a.bestOverReference[1].value, 2.0);
    EXPECT_TRUE(a.bestOverReference[2].minimum);
    EXPECT_EQ(a.bestOverReference[2].sizes, 1u);  // 2^6 only: 2^4 and 2^16 lie outside 2^6..2^14
    EXPECT_DOUBLE_EQ(a.bestOverReference[2].value, 0.5);
    EXPECT_EQ(a.bestOverReference[2].atN, 64u);

    const PluginSummary& b = summary[1];
    ASSERT_EQ(b.ratios.size(), 3u);
    EXPECT_FALSE(b.ratios[0].entry.has_value());
    EXPECT_EQ(b.ratios[0].cells, 8u);
    EXPECT_DOUBLE_EQ(b.ratios[0].geometricMean, 4.0);
    EXPECT_EQ(b.ratios[1].entry, 0u);
    EXPECT_DOUBLE_EQ(b.ratios[1].geometricMean, 2.0);
    EXPECT_EQ(b.ratios[2].entry, 1u);
    EXPECT_DOUBLE_EQ(b.ratios[2].geometricMean, 8.0);
}

TEST(Cpu, AgreesWithTheCompilersDetection) {
    const CpuInfo cpu = detectCpu();
#if defined(__i386__) || defined(__x86_64__)
    ASSERT_TRUE(cpu.x86);
    __builtin_cpu_init();
    const std::pair<const char*, bool> sets[] = {
        {"SSE2", __builtin_cpu_supports("sse2")},         {"SSE3", __builtin_cpu_supports("sse3")},
        {"SSSE3", __builtin_cpu_supports("ssse3")},       {"SSE4.1", __builtin_cpu_supports("sse4.1")},
        {"SSE4.2", __builtin_cpu_supports("sse4.2")},     {"AVX", __builtin_cpu_supports("avx")},
        {"AVX2", __builtin_cpu_supports("avx2")},         {"FMA", __builtin_cpu_supports("fma")},
        {"AVX-512F", __builtin_cpu_supports("avx512f")},  {"AVX-512DQ", __builtin_cpu_supports("avx512dq")},
        {"AVX-512BW", __builtin_cpu_supports("avx512bw")}, {"AVX-512VL", __builtin_cpu_supports("avx512vl")}};
    for (const auto& [name, supported] : sets) EXPECT_EQ(cpu.usable(name), supported) << name;
    EXPECT_NE(describeInstructionSets(cpu).find("SSE2"), std::string::npos);
    // The checks of the library's path rows, against the compiler's own.
    const bool avx512 = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq") &&
                        __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vl");
    const std::pair<const char*, bool> paths[] = {
        {"scalar", true}, {"sse2", __builtin_cpu_supports("sse2")}, {"avx2", __builtin_cpu_supports("avx2")},
        {"avx512", avx512}};
    for (const auto& [name, runs] : paths) EXPECT_EQ(fftplug::host::cpuRunsPath(name), runs) << name;
    const char* widest = avx512 ? "AVX-512" : __builtin_cpu_supports("avx2") ? "AVX2" : "SSE2";
    EXPECT_EQ(std::string(fftplug::kernelPathName(cpu.widestPath)), widest);
#else
    EXPECT_FALSE(cpu.x86);
#endif
}

TEST(Cpu, SaysWhenTheSystemDoesNotSaveTheWideRegisters) {
    CpuInfo cpu;
    cpu.x86 = true;
    cpu.sets = {"SSE2", "AVX", "AVX2", "AVX-512F"};
    EXPECT_FALSE(cpu.usable("AVX2"));
    EXPECT_TRUE(cpu.usable("SSE2"));
    EXPECT_EQ(describeInstructionSets(cpu),
              "SSE2 AVX AVX2 AVX-512F; the system does not save the YMM registers: AVX and later unusable");
    cpu.osSavesYmm = true;
    EXPECT_TRUE(cpu.usable("AVX2"));
    EXPECT_FALSE(cpu.usable("AVX-512F"));
    EXPECT_NE(describeInstructionSets(cpu).find("not the ZMM registers: AVX-512 unusable"), std::string::npos);
    cpu.osSavesZmm = true;
    EXPECT_TRUE(cpu.usable("AVX-512F"));
    EXPECT_EQ(describeInstructionSets(cpu), "SSE2 AVX AVX2 AVX-512F; the system saves the YMM and ZMM registers");
}

// With the host's reordering timed, every entry appears twice, both right
// (natural order in and out: a wrong permutation would fail the error
// bound), and both in the CSV, told apart by host_reorder. How much slower
// the reordered one is belongs to the benchmark's figures, not to a test.
TEST(RunBench, WithReorderTimesTheHostsPermutationBesideThePlainEntry) {
    const PluginLibrary plugin = openBeside("fftplug");
    const auto label = pluginLabels({plugin.path()}).front();
    BenchSettings settings = settingsWith(0.002, 3);
    settings.withReorder = true;
    const std::vector<fftplug::host::CatalogueEntry> entries{plugin.catalogue()[2], plugin.catalogue()[3]};
    const BenchRun run = runBench({describePlugin(plugin, label)}, pluginContenders(plugin, entries, label, true),
                                  {4096}, settings, {}, never);
    ASSERT_EQ(run.results.size(), 4u);
    for (size_t i = 0; i < 2; ++i) {
        const BenchResult &plain = run.results[i], &reordered = run.results[2 + i];
        EXPECT_EQ(plain.entry, reordered.entry);
        EXPECT_FALSE(plain.reorder);
        EXPECT_TRUE(reordered.reorder);
        EXPECT_EQ(reordered.implementation, plain.implementation + "+reorder");
        EXPECT_LT(reordered.error, 1.5e-7 * std::sqrt(13.0)) << reordered.implementation;
        EXPECT_LE(plain.secondsPerTransform, plain.medianSecondsPerTransform);
        EXPECT_GE(plain.spread, 0.0);
    }
    const std::string csv = benchCsv(run);
    for (const char* row : {"\r\nentry 2,2,", "\r\nentry 2+reorder,2,", "\r\nentry 3,3,", "\r\nentry 3+reorder,3,"})
        EXPECT_NE(csv.find(row), std::string::npos) << row << "\n" << csv;
    EXPECT_NE(csv.find(",1,,,,,"), std::string::npos) << csv;  // then the reordering's own time
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_FALSE(run.results[i].reorderSecondsPerTransform);
        ASSERT_TRUE(run.results[2 + i].reorderSecondsPerTransform);
        EXPECT_GT(*run.results[2 + i].reorderSecondsPerTransform, 0.0);
    }
}

// The summary names the sizes it was taken over, never a range the run did
// not cover; the best entry is named beside its ratio.
TEST(Summary, LabelsNameTheSizesMeasured) {
    BenchRun run;
    run.plugins = {PluginInfo{"a.so", "a", 3, ""}};
    run.sizes = {16, 32, 64};
    run.settings = settingsWith(0.01, 1);
    run.contenders = {Contender{"entry 0", 0u, "", "0", 1, {}, "a"}, Contender{"entry 6", 6u, "", "6", 1, {}, "a"},
                      Contender{"fftwf", std::nullopt, "", "FFTW", 1, {}, ""}};
    for (const uint32_t N : run.sizes)
        for (const auto& [entry, mflops] : std::vector<std::pair<std::optional<uint32_t>, double>>{
                 {0u, 100.0}, {6u, N == 64 ? 300.0 : 50.0}, {std::nullopt, 200.0}}) {
            BenchResult r;
            r.implementation = entry ? fmt::format("entry {}", *entry) : "fftwf";
            r.entry = entry;
            r.plugin = entry ? "a" : "";
            r.N = N;
            r.log2N = fftplug::host::log2Exact(N);
            r.mflops = mflops;
            run.results.push_back(r);
        }
    const std::string printed = printedTable(run);
    for (const char* expected : {"  geometric mean over 2^4..2^6 (3 sizes)", "  minimum over 2^6 (1 size)",
                                 " 0.50 (entry 0)\n", " 1.50 (entry 6)\n", "best of 1 measurement of"})
        EXPECT_NE(printed.find(expected), std::string::npos) << expected << "\n" << printed;
    EXPECT_EQ(printed.find("2^20"), std::string::npos) << printed;
}

// The reference is the peer named in the settings, whichever it is: the
// side-by-side column, the summary and the JSON compare the best entry with
// that peer alone.
class Reference : public ::testing::TestWithParam<std::pair<const char*, double>> {};
TEST_P(Reference, TheBestEntryAgainstThePeerNamed) {
    const auto [reference, ratio] = GetParam();
    BenchRun run;
    run.plugins = {PluginInfo{"a.so", "a", 3, ""}};
    run.sizes = {16, 32};
    run.settings = settingsWith(0.01, 1);
    run.settings.reference = reference;
    run.contenders = {Contender{"entry 0", 0u, "", "0", 1, {}, "a"},
                      Contender{"fftwf", std::nullopt, "", "FFTW", 1, {}, ""},
                      Contender{"kissfft", std::nullopt, "", "KissFFT", 1, {}, ""}};
    // entry 0 at 100 mflops, fftwf at 400, kissfft at 50.
    for (const uint32_t N : run.sizes)
        for (const auto& [name, mflops] : std::vector<std::pair<std::string, double>>{
                 {"entry 0", 100.0}, {"fftwf", 400.0}, {"kissfft", 50.0}}) {
            BenchResult r;
            r.implementation = name;
            if (name == "entry 0") r.entry = 0u, r.plugin = "a";
            r.N = N;
            r.log2N = fftplug::host::log2Exact(N);
            r.mflops = mflops;
            run.results.push_back(r);
        }
    const std::vector<PluginSummary> summary = summarize(run);
    ASSERT_EQ(summary.size(), 1u);
    ASSERT_FALSE(summary[0].bestOverReference.empty());
    EXPECT_DOUBLE_EQ(summary[0].bestOverReference[0].value, ratio);
    ASSERT_TRUE(bestEntryOverReference(run, "a", 16, false));
    EXPECT_DOUBLE_EQ(bestEntryOverReference(run, "a", 16, false)->ratio, ratio);

    const std::string printed = printedTable(run);
    for (const std::string& expected : {std::string("best/") + reference, std::string("best entry / ") + reference,
                                        fmt::format(" {:.2f} (entry 0)\n", ratio)})
        EXPECT_NE(printed.find(expected), std::string::npos) << expected << "\n" << printed;
    const std::string other = std::string(reference) == "fftwf" ? "kissfft" : "fftwf";
    EXPECT_EQ(printed.find("best/" + other), std::string::npos) << printed;
    const auto document = nlohmann::json::parse(benchJson(run, "1"));
    ASSERT_TRUE(document["summary"].contains(std::string("best_entry_over_") + reference)) << document["summary"];
    EXPECT_FALSE(document["summary"].contains("best_entry_over_" + other));
}
INSTANTIATE_TEST_SUITE_P(Peers, Reference,
                         ::testing::Values(std::pair<const char*, double>{"fftwf", 0.25},
                                           std::pair<const char*, double>{"kissfft", 2.0}),
                         [](const auto& info) { return std::string(info.param.first); });
