// fftbench bench: every entry of one or more plug-ins, and the peers, timed
// at every size (measure/bench_run.h); the table on standard output, CSV, JSON and the
// plots on request.
#include <fmt/format.h>

#include <algorithm>

#include "cli/arguments.h"
#include "cli/options.h"
#include "cli/output_files.h"
#include "cli/progress.h"
#include "commands/commands.h"
#include "host/plugin_variants.h"
#include "machine/machine_caches.h"
#include "measure/bench_run.h"
#include "measure/counted_figures.h"
#include "measure/peers/peers.h"
#include "model/cache_traffic.h"
#include "render/bench_output.h"
#include "render/gnuplot.h"
#include "render/sizes.h"
#include "subject/instrumented_build.h"

#ifndef FFTPLUG_VERSION
#define FFTPLUG_VERSION "unknown"
#endif

namespace fftbench {

namespace {

struct BenchOptions {
    std::vector<std::string> plugins;
    std::string entries = "all";
    std::string sizes = "2^2..2^20";
    std::string csv, json, plot;
    double minTimeMs = 50;
    int measurements = 5;
    double confirmPercent = 2;
    uint32_t seed = 1;
    bool noPeers = false;
    bool withReorder = false;
    std::vector<std::string> fftw;  // libfftw3f to time in place of the system's, side by side
    std::string reference = defaultReferencePeer();
    bool referenceGiven = false;  // --reference on the command line
    bool noRates = false;
    std::string align = "64";
};

// Counted mflops for the plug-ins whose entries the instrumented build
// describes, where it is found beside fftbench; with the rates, the limit %
// too (each entry traced once a size: a few seconds for the default sizes,
// shown on the progress line).
void attachCounts(BenchRun& bench, const std::vector<fftplug::host::PluginLibrary>& plugins, ProgressLine& progress) {
    if (!fftplug::host::fileExists(defaultInstrumentedLibraryPath())) return;
    try {
        const InstrumentedLibrary instrumented = InstrumentedLibrary::open(defaultInstrumentedLibraryPath());
        std::vector<std::string> described;
        for (size_t p = 0; p < plugins.size(); ++p)
            if (instrumented.describes(plugins[p])) described.push_back(bench.plugins[p].label);
        std::optional<TrafficCache> traffic;
        if (!bench.rates.empty())
            traffic.emplace(instrumented, dataCaches(), [&](uint32_t index, uint32_t N, uint64_t accesses) {
                progress.show(fmt::format("tracing entry {} at N = {} for the cache levels: {}M accesses", index,
                                          powerOfTwoText(N), accesses >> 20));
            });
        attachCountedFlops(bench, instrumented, described, traffic ? &*traffic : nullptr);
        progress.clear();
    } catch (const fftplug::host::LoadError& error) {
        bench.warnings.push_back(fmt::format("no counted mflops: {}", oneLine(error.what())));
    }
}

// The peers to time: those built in, FFTW the libraries --fftw names in place
// of the system's (fftwf, fftwf-2 …).
std::vector<Contender> timedPeers(const BenchOptions& options) {
    PeerLibraries libraries;
    for (const std::string& path : options.fftw) libraries.emplace("fftwf", path);
    try {
        return peerContenders(libraries);
    } catch (const PeerError& error) {
        throw UsageError(fmt::format("--fftw {}: {}", error.library(), error.what()));
    }
}

// Several plug-ins: every plug-in's entries in one run, the first the
// reference of the ratios.
int runBenchCommand(const std::vector<std::string>& pluginPaths, const BenchOptions& options) {
    const auto sizes = parseSizes(options.sizes);
    const auto wanted = parseEntries(options.entries);
    const std::vector<uint32_t> lineOffsets = parseAlignments(options.align);
    parsePlotPath("--plot", options.plot);
    std::vector<fftplug::host::PluginLibrary> plugins;
    plugins.reserve(std::max<size_t>(pluginPaths.size(), 1));  // contenders keep references to them
    if (pluginPaths.empty()) plugins.push_back(loadPlugin(""));
    for (const std::string& path : pluginPaths) plugins.push_back(loadPlugin(path));
    std::vector<std::string> paths;
    for (const auto& plugin : plugins) paths.push_back(plugin.path());
    const std::vector<std::string> labels = pluginLabels(paths);
    std::vector<PluginInfo> infos;
    std::vector<Contender> contenders;
    for (size_t p = 0; p < plugins.size(); ++p) {
        infos.push_back(describePlugin(plugins[p], labels[p]));
        std::vector<fftplug::host::CatalogueEntry> entries;
        try {
            entries = selectEntries(plugins[p].catalogue(), wanted);
        } catch (const UsageError& error) {
            if (plugins.size() == 1) throw;
            throw UsageError(fmt::format("{}: {}", plugins[p].path(), error.what()));  // which of them
        }
        if (entries.empty())
            throw UsageError(fmt::format("{}: the plug-in announces no entries to benchmark", plugins[p].path()));
        for (Contender& c : pluginContenders(plugins[p], entries, labels[p], options.withReorder, lineOffsets))
            contenders.push_back(std::move(c));
    }
    if (!options.noPeers) {
        std::vector<Contender> peers = timedPeers(options);
        const bool referenceTimed =
            std::any_of(peers.begin(), peers.end(), [&](const Contender& c) { return c.implementation == options.reference; });
        if (options.referenceGiven && !referenceTimed) {
            const std::vector<std::string> names = peerNames();
            if (std::find(names.begin(), names.end(), options.reference) == names.end())  // fftwf-2 …
                throw UsageError(fmt::format("--reference {}: names the library of a further --fftw, and this run "
                                             "gives {}",
                                             options.reference,
                                             options.fftw.empty() ? std::string("none")
                                                                  : fmt::format("{} in all", options.fftw.size())));
            throw UsageError(fmt::format("--reference {}: this fftbench was built without it, or its library does not "
                                         "load",
                                         options.reference));
        }
        for (Contender& peer : peers) contenders.push_back(std::move(peer));
    } else if (!options.fftw.empty()) {
        throw UsageError("--fftw and --no-peers: FFTW is a peer; give one of them");
    } else if (options.referenceGiven) {
        throw UsageError("--reference and --no-peers: the reference is a peer; give one of them");
    }

    OutputFiles outputs;
    outputs.open("--csv", options.csv);
    outputs.open("--json", options.json);
    if (!options.plot.empty()) {
        outputs.reserve("--plot", options.plot);
        outputs.reserve("--plot", accuracyPlotPath(options.plot));
        outputs.reserve("--plot", limitPlotPath(options.plot));
        if (!findGnuplot())
            fmt::print(stderr, "fftbench: warning: gnuplot not found; the plot {} will not be drawn (CSV and JSON will)\n",
                       options.plot);
    }

    BenchSettings settings;
    settings.minSeconds = options.minTimeMs / 1e3;
    settings.measurements = options.measurements;
    settings.confirmWithin = options.confirmPercent / 100;
    settings.seed = options.seed;
    settings.peers = !options.noPeers;
    settings.reference = options.reference;
    settings.withReorder = options.withReorder;
    settings.rates = !options.noRates;
    settings.lineOffsets = lineOffsets;

    ProgressLine progress;
    const auto stop = stopOnInterrupt(progress);
    std::vector<PeakRates> rates;
    if (settings.rates) {
        std::vector<uint32_t> entries;
        for (const Contender& c : contenders)
            if (c.entry && std::find(entries.begin(), entries.end(), *c.entry) == entries.end()) entries.push_back(*c.entry);
        rates = measureRatesOfPaths(labels, entries, sizes, progress);
    }
    BenchRun bench = runBench(
        std::move(infos), std::move(contenders), sizes, settings,
        [&](size_t done, size_t total, const Contender& contender, uint32_t N, int round) {
            progress.show(fmt::format("[{:>3}%] N = {}, {}: {}{}",
                                      percentDone(done, total),
                                      powerOfTwoText(N), roundText(round, settings.measurements),
                                      plugins.size() > 1 ? contender.plugin + " " : "", contender.implementation));
        },
        stop);
    progress.clear();
    if (const auto warning = unconfirmedWarning(bench)) bench.warnings.push_back(*warning);
    bench.rates = std::move(rates);
    bench.caches = dataCaches();

    attachCounts(bench, plugins, progress);
    printBenchTable(stdout, bench);
    std::fflush(stdout);
    for (const std::string& warning : bench.warnings) fmt::print(stderr, "fftbench: warning: {}\n", warning);

    outputs.write("--csv", benchCsv(bench));
    outputs.write("--json", benchJson(bench, FFTPLUG_VERSION));
    if (!options.plot.empty())
        if (const auto problem = renderPlot(bench, options.plot)) outputs.fail(*problem);
    if (bench.interrupted) return kExitInterrupted;
    return outputs.failed() ? kExitOutputFailed : kExitOk;
}

}  // namespace

Command addBenchCommand(CLI::App& app) {
    auto options = std::make_shared<BenchOptions>();
    CLI::App* sub =
        app.add_subcommand("bench", "Time every entry (and FFTW and KissFFT where built in) at every size");
    addPluginOption(sub, options->plugins, true);
    sub->add_option("--entries", options->entries,
                    "Entries to time: 'all' or a list such as 0,3-9" + defaultText(options->entries))
        ->type_name("LIST");
    sub->add_option("--sizes", options->sizes,
                    "Sizes: powers of two, lists and ranges such as 2^1..2^20" + defaultText(options->sizes))
        ->type_name("SIZES");
    sub->add_option("--csv", options->csv, "Write the results as CSV to this file")->type_name("FILE");
    sub->add_option("--json", options->json, "Write the results as JSON to this file")->type_name("FILE");
    sub->add_option("--plot", options->plot,
                    "Draw three plots with gnuplot: mflops against log2 N into FILE (.svg or .png), the relative "
                    "error into FILE-accuracy and, where the rates were measured, the limit % into FILE-limit (for "
                    "example out/bench.svg, out/bench-accuracy.svg and out/bench-limit.svg)")
        ->type_name("FILE");
    addMinTimeOption(sub, options->minTimeMs, "Shortest measurement in milliseconds");
    addMeasurementsOption(sub, options->measurements,
                          "Measurements per cell; the best one counts, the median and spread go to CSV and JSON");
    addConfirmOption(sub, options->confirmPercent);
    addSeedOption(sub, options->seed);
    sub->add_flag("--no-peers", options->noPeers, "Time the plug-in's entries only");
    sub->add_flag("--with-reorder", options->withReorder,
                  "Time each entry a second time with the host's bit-reversal permutation (natural order in and "
                  "out, as FFTW and KissFFT work), beside the plain figure");
#if defined(_WIN32)
    const std::string fftwHelp = "Time this single-precision FFTW library in place of the system's (Linux only: the "
                                 "Windows build has no peers)";
#else
    const std::string fftwHelp = "Time this single-precision FFTW library (a libfftw3f.so of yours: built for AVX-512 "
                                 "and FMA, a vendor's) in place of the system's libfftw3f.so.3; repeat it to time "
                                 "several side by side, the first as fftwf and the next as fftwf-2, fftwf-3 ...";
#endif
    sub->add_option("--fftw", options->fftw, fftwHelp)->type_name("PATH")->take_all()->expected(1)->allow_extra_args(false);
    std::string names;
    const std::vector<std::string> peers = peerNames();
    for (size_t i = 0; i < peers.size(); ++i)
        names += (i == 0 ? "" : i + 1 == peers.size() ? " or " : ", ") + peers[i];
    CLI::Option* reference =
        sub->add_option("--reference", options->reference,
                        "The peer the best entry is compared with in the table, the summary and the JSON: " + names +
                            " (fftwf-2 … for a further --fftw)" +
                            defaultText(options->reference))
            ->type_name("PEER")
            ->check(CLI::Validator(
                [names](std::string& text) -> std::string {
                    if (!peerOfSideBySideName(text).empty()) return {};  // a peer, or a further library of one (fftwf-2)
                    return fmt::format("{} is not a peer: {}", text, names);
                },
                "", ""));
    sub->add_option("--align", options->align,
                    "Where the entries' arrays start: 64 (on a 64-byte line), 16 (as x86-64 glibc's malloc gives "
                    "them), 8 (as 32-bit Windows' msvcrt's does), or a list such as 64,16 timed side by side; the "
                    "first is the one the tables and the summary are of, each other one is set against it" +
                        defaultText(options->align))
        ->type_name("BYTES");
    sub->add_flag("--no-rates", options->noRates,
                  "Skip measuring this processor's peak rates at start (about a second a path), and so the limit %");
    return Command{sub, [options, reference](const std::vector<std::string>& global) {
                       options->referenceGiven = reference->count() > 0;
                       return runBenchCommand(pluginPaths(global, options->plugins), *options);
                   }};
}

}  // namespace fftbench
