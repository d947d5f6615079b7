// fftbench profile: every entry run once on the instrumented build, its
// operations, table reads, loads and stores and stages reported beside the
// peers' own counts of their plans (model/operation_counts.h).
#include "cli/arguments.h"
#include "cli/builds.h"
#include "cli/options.h"
#include "cli/output_files.h"
#include "commands/commands.h"
#include "measure/peers/peers.h"
#include "model/operation_counts.h"
#include "render/gnuplot.h"
#include "render/profile_output.h"

#ifndef FFTPLUG_VERSION
#define FFTPLUG_VERSION "unknown"
#endif

namespace fftbench {

namespace {

struct ProfileOptions {
    std::vector<std::string> plugins;  // refused: profile counts the instrumented build
    std::string entries = "all";
    std::string sizes = "2^1..2^20";
    std::string instrumented;
    std::string csv, json, plot;
    bool noPeers = false;
};

int runProfileCommand(const ProfileOptions& options) {
    const auto sizes = parseSizes(options.sizes);
    const auto wanted = parseEntries(options.entries);
    const bool png = parsePlotPath("--plot", options.plot) == PlotFormat::png;
    const InstrumentedLibrary instrumented = openInstrumentedBuild(options.instrumented, "profile");
    const auto entries = selectEntries(instrumented.catalogue(), wanted);

    OutputFiles outputs;
    outputs.open("--csv", options.csv);
    outputs.open("--json", options.json);
    outputs.reserve("--plot", options.plot);

    const ProfileRun run =
        runProfile(instrumented, entries, sizes, options.noPeers ? std::vector<CountedPeer>{} : countingPeers());
    printProfileTable(stdout, run);
    std::fflush(stdout);

    outputs.write("--csv", profileCsv(run));
    outputs.write("--json", profileJson(run, FFTPLUG_VERSION));
    if (!options.plot.empty()) {
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
                   "stages) on the instrumented build, and FFTW's own count of its plan");
    sub->add_option("--entries", options->entries,
                    "Entries to count: 'all' or a list such as 0,3-9" + defaultText(options->entries))
        ->type_name("LIST");
    sub->add_option("--sizes", options->sizes,
                    "Sizes: powers of two, lists and ranges such as 2^1..2^20" + defaultText(options->sizes))
        ->type_name("SIZES");
    addInstrumentedOption(sub, options->instrumented);
    sub->add_option("--csv", options->csv, "Write the counts as CSV to this file")->type_name("FILE");
    sub->add_option("--json", options->json, "Write the counts as JSON to this file")->type_name("FILE");
    sub->add_option("--plot", options->plot,
                    "Draw flops / (N log2 N) against log2 N with gnuplot into FILE (.svg or .png)")
        ->type_name("FILE");
    sub->add_flag("--no-peers", options->noPeers, "Leave FFTW's count out");
    // Taken only to refuse it with a reason: profile counts no plug-in of the user's.
    sub->add_option("--plugin", options->plugins)->group("");
    return Command{sub, [options](const std::vector<std::string>& global) {
                       refusePlugins(pluginPaths(global, options->plugins),
                                     "profile counts the instrumented build of fftplug (--instrumented PATH)");
                       return runProfileCommand(*options);
                   }};
}

}  // namespace fftbench
