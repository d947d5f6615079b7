// fftbench verify: every entry at every size against the double-precision
// reference and the properties of the DFT, each entry in a process of its
// own (check/verify_run.h).
#include <fmt/format.h>

#include "check/isolation.h"
#include "check/verify_run.h"
#include "cli/arguments.h"
#include "cli/options.h"
#include "cli/progress.h"
#include "commands/commands.h"
#include "render/sizes.h"
#include "render/verify_text.h"

namespace fftbench {

namespace {

struct VerifyOptions {
    std::vector<std::string> plugins;
    std::string entries = "all";
    std::string sizes = "2^0..2^16";
    uint32_t seed = 1;
    bool verbose = false;
    double timeoutSeconds = 10;
    bool reportToParent = false;  // the child of a verify on Windows (isolation.h)
};

int runVerify(const std::string& pluginPath, const VerifyOptions& options) {
    const auto sizes = parseSizes(options.sizes);
    const auto wanted = parseEntries(options.entries);
    const auto plugin = loadPlugin(pluginPath);
    const auto catalogue = plugin.readCatalogue();
    const auto entries = selectEntries(catalogue.entries, wanted);
    if (options.reportToParent) {
        if (entries.size() != 1) throw UsageError("--report-to-parent checks exactly one entry");
        return reportEntryToParent(plugin, entries.front(), sizes, options.seed);
    }
    ProgressLine progress;
    VerifyReport report = verifyPlugin(
        plugin, entries, sizes, options.seed,
        [&](const fftplug::host::CatalogueEntry& entry, uint32_t N) {
            progress.show(fmt::format("verifying entry {} at N = {}", entry.index, powerOfTwoText(N)));
        },
        Isolation{options.timeoutSeconds, {}});
    report.catalogueFaults = catalogue.faults;
    progress.clear();
    printVerifyReport(stdout, report, options.verbose);
    return report.passed() ? kExitOk : kExitCheckFailed;
}

}  // namespace

Command addVerifyCommand(CLI::App& app) {
    auto options = std::make_shared<VerifyOptions>();
    CLI::App* sub = app.add_subcommand("verify", "Check every entry at every size: accuracy, linearity, impulse, "
                                                 "shift, run protocol, writes outside the arrays");
    addPluginOption(sub, options->plugins, false);
    sub->add_option("--entries", options->entries,
                    "Entries to check: 'all' or a list such as 0,3-9" + defaultText(options->entries))
        ->type_name("LIST");
    sub->add_option("--sizes", options->sizes,
                    "Sizes: powers of two, lists and ranges such as 2^1..2^20,4096" + defaultText(options->sizes))
        ->type_name("SIZES");
    sub->add_option("--seed", options->seed, "Seed of the random test signals" + defaultText(options->seed))
        ->type_name("NUMBER")
        ->check(wholeNumberFrom(0, 4294967295LL, ""));
    sub->add_flag("--verbose,-v", options->verbose, "One row per entry and size");
    sub->add_option("--timeout", options->timeoutSeconds,
                    "Seconds an entry may take at one size up to 2^16 (more above, in proportion to N log N), "
                    "each entry in a process of its own; 0: all in fftbench's process, no limit" +
                        defaultText(options->timeoutSeconds))
        ->type_name("SECONDS")
        ->check(numberFrom(0.0, 86400.0, "seconds"));
    sub->add_flag("--report-to-parent", options->reportToParent)->group("");
    return Command{sub, [options](const std::vector<std::string>& global) {
                       return runVerify(singlePlugin("verify", pluginPaths(global, options->plugins)), *options);
                   }};
}

}  // namespace fftbench
