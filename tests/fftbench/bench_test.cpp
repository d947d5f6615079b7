// The measuring loop, the figures, the contenders and the output formats of
// fftbench bench. Nothing here judges speed: the timing loop is driven by a
// fake clock, and the real contenders are checked for correct results only.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "bench.h"
#include "host/driver.h"
#include "host/reference.h"
#include "output.h"
#include "peers.h"

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

BenchRun sampleRun() {
    BenchRun run;
    run.pluginPath = "/opt/x/libfftplug.so";
    run.signature = 3;
    run.creator = "creator";
    run.settings = settingsWith(0.04, 5);
    run.sizes = {4, 8};
    Contender entry{"entry 3", 3u, "名前, \"quoted\"", "3 DIF r2 reversed half", 100, {}};
    Contender peer{"fftwf", std::nullopt, "FFTW", "FFTW (fftwf, measure)", 100, {}};
    run.contenders = {entry, peer};
    run.results.push_back(BenchResult{"entry 3", 3u, entry.name, entry.label, 4, 2, 1000, 5, 2e-8, 5, 1000, 2e-8});
    run.results.push_back(BenchResult{"entry 3", 3u, entry.name, entry.label, 8, 3, 500, 5, 6e-8, 7.5, 2000, 3e-8});
    run.results.push_back(BenchResult{"fftwf", std::nullopt, "FFTW", peer.label, 4, 2, 2000, 4, 1e-8, 2.5, 2000, 1e-8});
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
    std::vector<Contender> contenders = pluginContenders(plugin, plugin.catalogue());
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
    const BenchRun run = runBench(plugin, pluginContenders(plugin, {catalogue[2], catalogue[7]}), {4, 32},
                                  settingsWith(0.0005, 2), {}, never);
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
    size_t started = 0;
    // Sizes in the outer loop: cells (4, entry 0), (4, entry 1), then the stop
    // arrives as (8, entry 0) starts, before its first measurement.
    const BenchRun run = runBench(
        plugin, pluginContenders(plugin, {catalogue[0], catalogue[1]}), {4, 8, 16}, settingsWith(0.0001, 2),
        [&](size_t done, size_t total, const Contender&, uint32_t) {
            EXPECT_EQ(done, started);
            EXPECT_EQ(total, 6u);
            ++started;
        },
        [&] { return started >= 3; });
    EXPECT_TRUE(run.interrupted);
    EXPECT_EQ(started, 3u);
    ASSERT_EQ(run.results.size(), 2u);
    for (const BenchResult& r : run.results) {
        EXPECT_EQ(r.N, 4u);
        EXPECT_EQ(r.measurements, 2);
    }
}

TEST(Output, CsvHasTheDocumentedColumnsAndQuotesNames) {
    const std::string csv = benchCsv(sampleRun());
    EXPECT_EQ(csv.substr(0, csv.find("\r\n")),
              "implementation,entry,name,n,log2n,repetitions,measurements,time_per_transform_us,ns_per_point,mflops,"
              "relative_rms_error");
    EXPECT_NE(csv.find("\r\nentry 3,3,\"名前, \"\"quoted\"\"\",8,3,500,5,0.06,7.5,2000,3e-08\r\n"), std::string::npos) << csv;
    EXPECT_NE(csv.find("\r\nfftwf,,FFTW,4,2,2000,4,0.01,2.5,2000,1e-08\r\n"), std::string::npos) << csv;
}

TEST(Output, JsonCarriesSettingsPeersAndResults) {
    const auto document = nlohmann::json::parse(benchJson(sampleRun(), "9.9.9"));
    EXPECT_EQ(document["tool"], "fftbench");
    EXPECT_EQ(document["version"], "9.9.9");
    EXPECT_EQ(document["plugin"]["signature"], 3);
    EXPECT_EQ(document["settings"]["measurements"], 5);
    EXPECT_DOUBLE_EQ(document["settings"]["min_time_ms"].get<double>(), 40.0);
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
