// fftbench stages: where each entry's time goes, stage by stage, on the real
// kernels of each path (measure/stage_run.h); the table on standard output,
// CSV, JSON and a stacked-bar plot per N on request.
#include <fmt/format.h>

#include <algorithm>

#include "cli/arguments.h"
#include "cli/builds.h"
#include "cli/options.h"
#include "cli/output_files.h"
#include "cli/progress.h"
#include "commands/commands.h"
#include "host/plugin_variants.h"
#include "machine/machine_caches.h"
#include "measure/stage_run.h"
#include "render/sizes.h"
#include "render/stage_output.h"
#include "subject/instrumented_build.h"
#include "subject/identity.h"
#include "subject/stage_build.h"

#ifndef FFTPLUG_VERSION
#define FFTPLUG_VERSION "unknown"
#endif

namespace fftbench {

namespace {

struct StagesOptions {
    std::vector<std::string> plugins;  // refused: stages times the stage builds beside fftbench
    std::string entries = "all";
    std::string sizes = "2^8..2^16";
    std::string paths = "dispatch";
    std::string csv, json, plot;
    double minTimeMs = 10;
    int measurements = 5;
    double confirmPercent = 2;
    uint32_t seed = 1;
    bool noRates = false;
    std::string align = "64";
    std::string instrumented;  // default: beside fftbench
};

// "dispatch,avx2" or "all" (the dispatching build and every path this
// processor runs), in the order of plugin/simd/path_rows.txt after dispatch.
std::vector<std::string> parsePaths(const std::string& text) {
    const auto& fixed = fftplug::host::fixedPathNames();
    std::vector<std::string> paths;
    if (text == "all") {
        paths.push_back("dispatch");
        for (const std::string& name : fixed)
            if (fftplug::host::cpuRunsPath(name)) paths.push_back(name);
        return paths;
    }
    size_t start = 0;
    while (start <= text.size()) {
        const size_t comma = std::min(text.find(',', start), text.size());
        const std::string name = text.substr(start, comma - start);
        if (name != "dispatch" && std::find(fixed.begin(), fixed.end(), name) == fixed.end()) {
            std::string known = "dispatch";
            for (const std::string& f : fixed) known += ", " + f;
            throw UsageError(fmt::format("--paths {}: '{}' is not a path: {} or all", text, name, known));
        }
        if (name != "dispatch" && !fftplug::host::cpuRunsPath(name))
            throw UsageError(fmt::format("--paths {}: this processor does not run the {} path", text, name));
        if (std::find(paths.begin(), paths.end(), name) == paths.end()) paths.push_back(name);
        start = comma + 1;
    }
    return paths;
}

int runStagesCommand(const StagesOptions& options) {
    const auto sizes = parseSizes(options.sizes);
    const auto wanted = parseEntries(options.entries);
    const auto pathNames = parsePaths(options.paths);
    const auto offsets = parseAlignments(options.align);
    parsePlotPath("--plot", options.plot);

    std::vector<StageLibrary> stageLibraries;
    std::vector<fftplug::host::PluginLibrary> shipped;
    stageLibraries.reserve(pathNames.size());
    shipped.reserve(pathNames.size());
    for (const std::string& name : pathNames) {
        stageLibraries.push_back(StageLibrary::open(defaultStageLibraryPath(name)));
        shipped.push_back(fftplug::host::PluginLibrary::open(defaultShippedLibraryPath(name)));
    }
    std::vector<std::string> shippedPaths;
    for (const auto& library : shipped) shippedPaths.push_back(library.path());
    const auto labels = pluginLabels(shippedPaths);
    std::vector<StagePath> paths;
    for (size_t p = 0; p < pathNames.size(); ++p)
        paths.push_back(StagePath{pathNames[p], labels[p], &stageLibraries[p], &shipped[p]});
    std::vector<uint32_t> entries;
    for (const auto& entry : selectEntries(shipped.front().catalogue(), wanted)) entries.push_back(entry.index);

    OutputFiles outputs;
    outputs.open("--csv", options.csv);
    outputs.open("--json", options.json);
    if (!options.plot.empty())
        for (const uint32_t N : sizes) outputs.reserve("--plot", stagePlotPath(options.plot, N));

    // The stages' shapes, what each counts and where its lines come from.
    const InstrumentedLibrary instrumented = openInstrumentedBuild(options.instrumented, "stages");

    StageSettings settings;
    settings.minSeconds = options.minTimeMs / 1e3;
    settings.measurements = options.measurements;
    settings.confirmWithin = options.confirmPercent / 100;
    settings.seed = options.seed;
    settings.lineOffsets = offsets;
    settings.rates = !options.noRates;

    ProgressLine progress;
    const auto stop = stopOnInterrupt(progress);
    std::vector<PeakRates> rates;
    if (settings.rates) rates = measureRatesOfPaths(labels, entries, sizes, progress);
    StageRun run = runStages(
        paths, entries, sizes, settings,
        [&](size_t done, size_t total, const std::string& path, uint32_t N, const std::string& what) {
            progress.show(fmt::format("[{:>3}%] {} N = {}: {}", 100 * done / std::max<size_t>(total, 1), path,
                                      powerOfTwoText(N), what));
        },
        stop, instrumented);
    run.rates = std::move(rates);
    run.caches = dataCaches();
    if (!run.rates.empty()) {
        progress.show("tracing the instrumented build for each stage's cache levels");
        attachStageLimits(run, instrumented);
    }
    progress.clear();

    const std::string text = stagesTableText(run);
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    for (const std::string& warning : run.warnings) fmt::print(stderr, "fftbench: warning: {}\n", warning);

    outputs.write("--csv", stagesCsv(run));
    outputs.write("--json", stagesJson(run, FFTPLUG_VERSION));
    if (!options.plot.empty())
        if (const auto problem = renderStagePlots(run, options.plot)) outputs.fail(*problem);
    if (run.interrupted) return kExitInterrupted;
    const bool bitsDiffer =
        std::any_of(run.timings.begin(), run.timings.end(), [](const StageTiming& t) { return !t.sameBits; });
    if (bitsDiffer) return kExitCheckFailed;
    return outputs.failed() ? kExitOutputFailed : kExitOk;
}

}  // namespace

Command addStagesCommand(CLI::App& app) {
    auto options = std::make_shared<StagesOptions>();
    CLI::App* sub = app.add_subcommand(
        "stages", "Time every entry stage by stage on the real kernels, each stage against its own limit");
    addPluginOption(sub, options->plugins, false);
    sub->add_option("--entries", options->entries,
                    "Entries to time: 'all' or a list such as 3,6,8" + defaultText(options->entries))
        ->type_name("LIST");
    sub->add_option("--sizes", options->sizes,
                    "Sizes: powers of two, lists and ranges such as 2^8..2^20" + defaultText(options->sizes))
        ->type_name("SIZES");
    sub->add_option("--paths", options->paths,
                    "Builds to time: dispatch (the library as shipped, choosing its path), scalar, sse2, avx2, "
                    "avx512, a list of them, or all (those this processor runs)" +
                        defaultText(options->paths))
        ->type_name("LIST");
    sub->add_option("--csv", options->csv, "Write the stages as CSV to this file")->type_name("FILE");
    sub->add_option("--json", options->json, "Write the stages as JSON to this file")->type_name("FILE");
    sub->add_option("--plot", options->plot,
                    "Draw a stacked-bar plot per N with gnuplot (one bar per entry, one segment per stage) into "
                    "FILE with -n<N> before its extension (out/stages.svg: out/stages-n1024.svg …)")
        ->type_name("FILE");
    addMinTimeOption(sub, options->minTimeMs, "Shortest measurement in milliseconds");
    addMeasurementsOption(sub, options->measurements, "Measurements per stage; the best one counts");
    addConfirmOption(sub, options->confirmPercent);
    addSeedOption(sub, options->seed);
    sub->add_option("--align", options->align,
                    "Where the arrays start: 64 (on a 64-byte line), 16 (as x86-64 glibc's malloc gives them), 8 "
                    "(as 32-bit Windows' msvcrt's does), or a list such as 64,16,8 timed side by side, each stage of "
                    "the later ones set against the first" +
                        defaultText(options->align))
        ->type_name("BYTES");
    sub->add_flag("--no-rates", options->noRates,
                  "Skip measuring this processor's peak rates, and so each stage's limit");
    addInstrumentedOption(sub, options->instrumented);
    return Command{sub, [options](const std::vector<std::string>& global) {
                       refusePlugins(pluginPaths(global, options->plugins),
                                     "stages times the stage builds beside fftbench (--paths names them)");
                       return runStagesCommand(*options);
                   }};
}

}  // namespace fftbench
