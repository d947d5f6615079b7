// fftbench report --out DIR: verify, a short bench, profile, and every
// entry's graph and access map, on one self-contained HTML page,
// DIR/index.html (render/report_page.h).
#include <fmt/chrono.h>
#include <fmt/format.h>

#include <algorithm>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "check/isolation.h"
#include "host/bit_reversal.h"
#include "check/verify_run.h"
#include "cli/arguments.h"
#include "cli/builds.h"
#include "cli/interrupt.h"
#include "cli/options.h"
#include "cli/output_files.h"
#include "cli/progress.h"
#include "commands/commands.h"
#include "machine/machine_caches.h"
#include "machine/processor.h"
#include "measure/bench_run.h"
#include "measure/stage_run.h"
#include "measure/counted_figures.h"
#include "measure/peers/peers.h"
#include "model/access_trace.h"
#include "model/flowgraph.h"
#include "model/operation_counts.h"
#include "render/bench_output.h"
#include "render/gnuplot.h"
#include "render/profile_output.h"
#include "render/report_page.h"
#include "render/sizes.h"
#include "subject/identity.h"

#include "build_facts.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/utsname.h>
#endif

namespace fftbench {

namespace {

struct ReportOptions {
    std::vector<std::string> plugins;
    std::string out;
    std::string entries = "all";
    std::string verifySizes = "2^0..2^12";
    std::string benchSizes = "2^4..2^20";
    std::string profileSizes = "2^1..2^20";
    std::string traceSize = "2^18";
    uint32_t graphSize = 16;
    double minTimeMs = 10;
    int measurements = 3;
    double confirmPercent = 2;
    bool noPeers = false;
    std::string instrumented;
};

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A plot gnuplot drew to `path`, read back for the page.
Picture plotPicture(const std::optional<std::string>& problem, const std::string& path) {
    if (problem) return {{}, *problem};
    return {readFile(path), {}};
}

// The command line of this process, as the page was asked for.
std::string commandLine() {
#if defined(_WIN32)
    const char* line = GetCommandLineA();
    return line ? line : "";
#else
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    std::string text, word;
    while (std::getline(in, word, '\0')) {
        const bool quote = word.empty() || word.find_first_of(" \t'\"$\\") != std::string::npos;
        text += (text.empty() ? "" : " ") + (quote ? "'" + word + "'" : word);
    }
    return text;
#endif
}

std::string operatingSystem() {
#if defined(_WIN32)
    return "Windows (or Wine)";
#else
    utsname name{};
    if (uname(&name) != 0) return {};
    return fmt::format("{} {} {}", name.sysname, name.release, name.machine);
#endif
}

Provenance provenance(const CpuInfo& cpu, std::time_t now) {
    Provenance p;
    p.pluginCompiler = FFTBENCH_COMPILER;
    p.pluginFlags = FFTBENCH_PLUGIN_FLAGS;
    p.buildType = FFTBENCH_BUILD_TYPE;
    const std::string describe = FFTBENCH_GIT_DESCRIBE;
    p.version = fmt::format("{}{}", FFTPLUG_VERSION, describe.empty() ? "" : " (git " + describe + " when configured)");
    p.os = operatingSystem();
    p.commandLine = commandLine();
    p.cpu = fmt::format("{} (family {}, model {}; {})", cpu.brand.empty() ? "an unnamed processor" : cpu.brand,
                        cpu.family, cpu.model, describeInstructionSets(cpu));
    p.caches = dataCaches();
    p.date = fmt::format("{:%Y-%m-%d %H:%M} UTC", fmt::gmtime(now));
    return p;
}

// The graph of `entry` at N, or, for an entry of four-point stages, at 2N
// where log2 N is even: radix 4 has its closing radix-2 pass only when log2 N
// is odd, and radix 4 and split radix are compared at one size.
std::pair<FlowGraph, uint32_t> reportGraph(const InstrumentedLibrary& instrumented,
                                           const fftplug::host::CatalogueEntry& entry, uint32_t N) {
    FlowGraph graph = recordFlowGraph(instrumented, entry, N);
    const bool fourPoint = std::any_of(graph.stages.begin(), graph.stages.end(),
                                       [](const Stage& s) { return s.points == 4; });
    if (fourPoint && fftplug::host::log2Exact(N) % 2 == 0 && 2 * N <= kDrawMaxSize)
        return {recordFlowGraph(instrumented, entry, 2 * N), 2 * N};
    return {std::move(graph), N};
}

// The size at which a 256-point block's stages show in an access map: a few
// blocks of them, small enough that each is a visible stroke.
constexpr uint32_t kSmallTraceSize = 1u << 12;

int runReport(const std::vector<std::string>& pluginPaths, const ReportOptions& options) {
    const std::string plugin = singlePlugin("report", pluginPaths);
    const auto wanted = parseEntries(options.entries);
    const auto verifySizes = parseSizes(options.verifySizes, "--verify-sizes");
    const auto benchSizes = parseSizes(options.benchSizes, "--bench-sizes");
    const auto profileSizes = parseSizes(options.profileSizes, "--profile-sizes");
    const uint32_t traceSize =
        parseOneSize("--trace-size", options.traceSize, kTraceMinSize, kTraceMaxSize, "the access maps take");
    parseOneSize("--graph-size", std::to_string(options.graphSize), kDrawMinSize, kDrawMaxSize,
                 "the signal-flow graphs take");

    const fftplug::host::PluginLibrary library = loadPlugin(plugin);
    const auto catalogue = library.readCatalogue();
    const auto entries = selectEntries(catalogue.entries, wanted);
    const InstrumentedLibrary instrumented = openInstrumentedBuild(options.instrumented, "report");
    const bool described = instrumented.describes(library);

    std::error_code error;
    std::filesystem::create_directories(options.out, error);
    const std::string folder = options.out + "/";
    OutputFiles outputs;
    outputs.open("--out", folder + "index.html");
    const std::string speedPath = folder + "bench.svg", profilePath = folder + "profile.svg";
    outputs.open("--out (bench.csv)", folder + "bench.csv");
    outputs.open("--out (profile.csv)", folder + "profile.csv");
    outputs.reserve("--out", speedPath);
    outputs.reserve("--out", accuracyPlotPath(speedPath));
    outputs.reserve("--out", limitPlotPath(speedPath));  // drawn and shown only where the rates were measured
    outputs.reserve("--out", profilePath);
    if (!findGnuplot())
        fmt::print(stderr, "fftbench: warning: gnuplot not found; the page will have no bench or profile plots\n");

    ReportPage page;
    page.pluginPath = library.path();
    const CpuInfo cpu = detectCpu();
    page.machine = fmt::format("{} ({})", cpu.brand.empty() ? "an unnamed processor" : cpu.brand,
                               describeInstructionSets(cpu));
    const std::time_t now = std::time(nullptr);
    page.generated = fmt::format("on {:%Y-%m-%d at %H:%M}", fmt::localtime(now));
    page.provenance = provenance(cpu, now);
    page.catalogue = catalogue.entries;

    ProgressLine progress;
    // verify
    VerifyReport verify = verifyPlugin(
        library, entries, verifySizes, 1,
        [&](const fftplug::host::CatalogueEntry& entry, uint32_t N) {
            progress.show(fmt::format("report: verifying entry {} at N = {}", entry.index, powerOfTwoText(N)));
        },
        Isolation{10, {}});
    verify.catalogueFaults = catalogue.faults;
    page.verify = &verify;

    // bench, short
    BenchSettings settings;
    settings.minSeconds = options.minTimeMs / 1e3;
    settings.measurements = options.measurements;
    settings.confirmWithin = options.confirmPercent / 100;
    settings.peers = !options.noPeers;
    const std::string label = pluginLabels({library.path()}).front();
    std::vector<Contender> contenders = pluginContenders(library, entries, label, false);
    if (!options.noPeers)
        for (Contender& peer : peerContenders()) contenders.push_back(std::move(peer));
    installInterruptHandler();
    BenchRun bench = runBench(
        {describePlugin(library, label)}, std::move(contenders), benchSizes, settings,
        [&](size_t done, size_t total, const Contender& contender, uint32_t N, int round) {
            progress.show(fmt::format("report: [{:>3}%] timing {} at N = {}{}",
                                      percentDone(done, total),
                                      contender.implementation, powerOfTwoText(N),
                                      round == 0 ? std::string(", calibrating") : fmt::format(", round {}", round)));
        },
        [] { return interruptRequested(); });
    if (bench.interrupted) {
        progress.clear();
        fmt::print(stderr, "fftbench: interrupted; no report written\n");
        return kExitInterrupted;
    }
    bench.caches = dataCaches();
    if (described) attachCountedFlops(bench, instrumented, {label});
    page.bench = &bench;
    progress.show("report: drawing the bench plots");
    const auto benchProblem = renderPlot(bench, speedPath);
    page.speed = plotPicture(benchProblem, speedPath);
    page.accuracy = plotPicture(benchProblem, accuracyPlotPath(speedPath));
    page.limit = plotPicture(benchProblem, limitPlotPath(speedPath));

    // profile
    progress.show("report: counting operations");
    const ProfileRun profile = runProfile(instrumented, selectEntries(instrumented.catalogue(), wanted), profileSizes,
                                          options.noPeers ? std::vector<CountedPeer>{} : countingPeers());
    page.profile = &profile;
    page.profilePlot = plotPicture(runGnuplot(profileGnuplotScript(profile, profilePath, false), profilePath),
                                   profilePath);

    // each entry's stages at 2^10, on the stage build beside fftbench
    std::vector<uint32_t> stageEntries;
    for (const auto& entry : entries) stageEntries.push_back(entry.index);
    const auto stages = briefStageRun(stageEntries, {1024}, instrumented, [&](size_t, size_t, const std::string&, uint32_t,
                                                                          const std::string& what) {
        progress.show("report: stages, " + what);
    }, [] { return interruptRequested(); });
    page.stages = stages ? &*stages : nullptr;

    // each entry's graph and access map
    for (const auto& entry : selectEntries(instrumented.catalogue(), wanted)) {
        progress.show(fmt::format("report: entry {}: graph at N = {}", entry.index, options.graphSize));
        ReportEntry e;
        e.entry = entry;
        auto [graph, graphSize] = reportGraph(instrumented, entry, options.graphSize);
        e.graph = std::move(graph);
        e.graphSize = graphSize;
        if ((entry.index == 3 || entry.index == 4) && traceSize != kSmallTraceSize) {
            e.smallTraceSize = std::min(kSmallTraceSize, traceSize);
            e.smallTrace = recordAccessTrace(instrumented, entry, e.smallTraceSize);
        } else if (entry.index == 3 || entry.index == 4) {
            e.smallTraceSize = traceSize;
        }
        e.traceSize = traceSize;
        e.trace = recordAccessTrace(instrumented, entry, traceSize, [&](uint64_t accesses, uint64_t) {
            progress.show(fmt::format("report: entry {}: tracing N = {}, {:.1f} M accesses", entry.index,
                                      powerOfTwoText(traceSize), double(accesses) / 1e6));
        });
        if (!e.smallTrace && e.smallTraceSize) e.smallTrace = e.trace;
        page.entries.push_back(std::move(e));
    }
    progress.clear();

    outputs.write("--out (bench.csv)", benchCsv(bench));
    page.benchCsv = "bench.csv";
    outputs.write("--out (profile.csv)", profileCsv(profile));
    page.profileCsv = "profile.csv";

    outputs.write("--out", reportHtml(page));
    if (benchProblem) outputs.fail(*benchProblem);
    if (!page.profilePlot.missing.empty()) outputs.fail(page.profilePlot.missing);
    fmt::print("report: {}index.html\n", folder);
    return outputs.failed() ? kExitOutputFailed : kExitOk;
}

}  // namespace

Command addReportCommand(CLI::App& app) {
    auto options = std::make_shared<ReportOptions>();
    CLI::App* sub = app.add_subcommand(
        "report", "Write one self-contained HTML page, DIR/index.html: the catalogue, verify, a short bench, profile, "
                  "and every entry's signal-flow graph and memory accesses");
    addPluginOption(sub, options->plugins, false);
    sub->add_option("--out", options->out, "The folder of the page (created if need be)")->required()->type_name("DIR");
    sub->add_option("--entries", options->entries, "Entries: 'all' or a list such as 0,3-9" + defaultText(options->entries))
        ->type_name("LIST");
    sub->add_option("--verify-sizes", options->verifySizes, "Sizes verify checks" + defaultText(options->verifySizes))
        ->type_name("SIZES");
    sub->add_option("--bench-sizes", options->benchSizes, "Sizes bench times" + defaultText(options->benchSizes))
        ->type_name("SIZES");
    addMinTimeOption(sub, options->minTimeMs, "Shortest bench measurement in milliseconds");
    addMeasurementsOption(sub, options->measurements, "Bench measurements per cell");
    addConfirmOption(sub, options->confirmPercent);
    sub->add_option("--profile-sizes", options->profileSizes, "Sizes profile counts" + defaultText(options->profileSizes))
        ->type_name("SIZES");
    sub->add_option("--graph-size", options->graphSize, "N of the signal-flow graphs" + defaultText(options->graphSize))
        ->type_name("N");
    sub->add_option("--trace-size", options->traceSize, "N of the access maps" + defaultText(options->traceSize))
        ->type_name("N");
    sub->add_flag("--no-peers", options->noPeers, "Leave FFTW and KissFFT out of bench and profile");
    addInstrumentedOption(sub, options->instrumented);
    return Command{sub, [options](const std::vector<std::string>& global) {
                       return runReport(pluginPaths(global, options->plugins), *options);
                   }};
}

}  // namespace fftbench
