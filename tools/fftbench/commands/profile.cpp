// fftbench profile: every entry run once on the counting build, its
// operations, table reads, loads and stores and stages reported beside
// FFTW's own count (profile.h).
#include <fmt/format.h>

#include "cli/arguments.h"
#include "render/gnuplot.h"
#include "host/plugin_variants.h"
#include "commands/commands.h"
#include "cli/output_files.h"
#include "model/operation_counts.h"

#ifndef FFTPLUG_VERSION
#define FFTPLUG_VERSION "unknown"
#endif

namespace fftbench {

namespace {

struct ProfileOptions {
    std::vector<std::string> plugins;  // refused: profile counts the counting build
    std::string entries = "all";
    std::string sizes = "2^1..2^20";
    std::string counting;
    std::string csv, json, plot;
    bool noPeers = false;
};

int runProfileCommand(const ProfileOptions& options) {
    const auto sizes = parseSizes(options.sizes);
    const auto wanted = parseEntries(options.entries);
    if (!options.plot.empty() && !plotFormatFor(options.plot))
        throw UsageError(fmt::format("--plot {}: the file name must end in .svg or .png", options.plot));
    const std::string path = options.counting.empty() ? defaultCountingLibraryPath() : options.counting;
    if (options.counting.empty() && !fftplug::host::fileExists(path))
        throw UsageError(fmt::format("profile needs the counting build of the plug-in, {}, which is built beside "
                                     "fftbench in a build tree but not installed; it is not at {} (name it with "
                                     "--counting PATH)",
                                     fftplug::host::platformLibraryName("fftplug_counting"), path));
    const CountingLibrary counting = CountingLibrary::open(path);
    const auto entries = selectEntries(counting.catalogue(), wanted);

    OutputFiles outputs;
    outputs.open("--csv", options.csv);
    outputs.open("--json", options.json);
    outputs.reserve("--plot", options.plot);

    const ProfileRun run = runProfile(counting, entries, sizes, !options.noPeers);
    printProfileTable(stdout, run);
    std::fflush(stdout);

    outputs.write("--csv", profileCsv(run));
    outputs.write("--json", profileJson(run, FFTPLUG_VERSION));
    if (!options.plot.empty()) {
        const bool png = plotFormatFor(options.plot) == PlotFormat::png;
        if (const auto problem = runGnuplot(profileGnuplotScript(run, options.plot, png), options.plot))
            outputs.fail(*problem);
    }
    return outputs.failed() ? kExitOutputFailed : kExitOk;
}

}  // namespace

Command addProfileCommand(CLI::App& app) {
    auto options = std::make_shared<ProfileOptions>();
    CLI::App* sub = app.add_subcommand(
        "profile", "Count what every entry does (real additions and multiplications, table reads, loads and stores, "
                   "stages) on the counting build, and FFTW's own count of its plan");
    sub->add_option("--entries", options->entries,
                    "Entries to count: 'all' or a list such as 0,3-9" + defaultText(options->entries))
        ->type_name("LIST");
    sub->add_option("--sizes", options->sizes,
                    "Sizes: powers of two, lists and ranges such as 2^1..2^20" + defaultText(options->sizes))
        ->type_name("SIZES");
    sub->add_option("--counting", options->counting,
                    "The counting build of the plug-in (default: fftplug_counting beside fftbench)")
        ->type_name("PATH");
    sub->add_option("--csv", options->csv, "Write the counts as CSV to this file")->type_name("FILE");
    sub->add_option("--json", options->json, "Write the counts as JSON to this file")->type_name("FILE");
    sub->add_option("--plot", options->plot,
                    "Draw flops / (N log2 N) against log2 N with gnuplot into FILE (.svg or .png)")
        ->type_name("FILE");
    sub->add_flag("--no-peers", options->noPeers, "Leave FFTW's count out");
    // Taken only to refuse it with a reason: profile counts no plug-in of the user's.
    sub->add_option("--plugin", options->plugins)->group("");
    return Command{sub, [options](const std::vector<std::string>& global) {
                       if (!pluginPaths(global, options->plugins).empty())
                           throw UsageError("profile counts the counting build of fftplug (--counting PATH), not a "
                                            "plug-in given with --plugin");
                       return runProfileCommand(*options);
                   }};
}

}  // namespace fftbench
