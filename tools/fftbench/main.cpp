// fftbench: a command-line host for plug-ins of the fftplug ABI. It lists a
// plug-in's catalogue, verifies its entries, benchmarks them against FFTW
// and KissFFT, and profiles what they do on the counting build. See
// docs/fftbench.md and docs/profile.md.
#include <CLI/CLI.hpp>
#include <fmt/format.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <fstream>
#include <new>

#include "bench.h"
#include "cli.h"
#include "cpu.h"
#include "list.h"
#include "output.h"
#include "host/plugin_variants.h"
#include "peers.h"
#include "profile.h"
#include "isolation.h"
#include "verify.h"

#if defined(_WIN32)
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

#ifndef FFTPLUG_VERSION
#define FFTPLUG_VERSION "unknown"
#endif

using namespace fftbench;

namespace {

bool stderrIsTerminal() {
#if defined(_WIN32)
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(fileno(stderr)) != 0;
#endif
}

// A progress line on standard error, redrawn in place; only on a terminal.
class ProgressLine {
   public:
    ProgressLine() : enabled_(stderrIsTerminal()) {}
    ~ProgressLine() { clear(); }
    void show(const std::string& text) {
        if (!enabled_) return;
        fmt::print(stderr, "\r{:<76}", text.substr(0, 76));
        std::fflush(stderr);
        shown_ = true;
    }
    void clear() {
        if (!shown_) return;
        fmt::print(stderr, "\r{:<76}\r", "");
        std::fflush(stderr);
        shown_ = false;
    }

   private:
    bool enabled_;
    bool shown_ = false;
};

std::string oneLine(std::string text) {
    for (char& c : text)
        if (c == '\n' || c == '\r') c = ' ';
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

fftplug::host::PluginLibrary loadPlugin(const std::string& chosen) {
    return fftplug::host::PluginLibrary::open(chosen.empty() ? findDefaultPlugin() : chosen);
}

// An output file opened before the benchmark runs, so that a path that
// cannot be written is reported at once rather than after minutes of work.
std::ofstream openOutput(const std::string& option, const std::string& path) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) throw UsageError(fmt::format("{} {}: cannot write the file ({})", option, path, std::strerror(errno)));
    return file;
}

struct VerifyOptions {
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

struct BenchOptions {
    std::string entries = "all";
    std::string sizes = "2^2..2^20";
    std::string csv, json, plot;
    double minTimeMs = 50;
    int measurements = 5;
    uint32_t seed = 1;
    bool noPeers = false;
};

// Several --plugin options: every plug-in's entries in one run, the first
// the reference of the ratios.
int runBenchCommand(const std::vector<std::string>& pluginPaths, const BenchOptions& options) {
    const auto sizes = parseSizes(options.sizes);
    const auto wanted = parseEntries(options.entries);
    if (!options.plot.empty() && !plotFormatFor(options.plot))
        throw UsageError(fmt::format("--plot {}: the file name must end in .svg or .png", options.plot));
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
        for (Contender& c : pluginContenders(plugins[p], entries, labels[p])) contenders.push_back(std::move(c));
    }
    if (!options.noPeers)
        for (Contender& peer : peerContenders()) contenders.push_back(std::move(peer));

    std::ofstream csvFile, jsonFile;
    if (!options.csv.empty()) csvFile = openOutput("--csv", options.csv);
    if (!options.json.empty()) jsonFile = openOutput("--json", options.json);
    if (!options.plot.empty()) openOutput("--plot", options.plot);  // written by gnuplot later
    if (!options.plot.empty() && !findGnuplot())
        fmt::print(stderr, "fftbench: warning: gnuplot not found; the plot {} will not be drawn (CSV and JSON will)\n",
                   options.plot);

    BenchSettings settings;
    settings.minSeconds = options.minTimeMs / 1e3;
    settings.measurements = options.measurements;
    settings.seed = options.seed;
    settings.peers = !options.noPeers;

    installInterruptHandler();
    ProgressLine progress;
    bool announced = false;
    auto stop = [&] {
        if (interruptRequested() && !announced) {
            progress.clear();
            fmt::print(stderr, "fftbench: interrupted; stopping after the current measurement\n");
            announced = true;
        }
        return interruptRequested();
    };
    const BenchRun bench = runBench(
        std::move(infos), std::move(contenders), sizes, settings,
        [&](size_t done, size_t total, const Contender& contender, uint32_t N) {
            progress.show(fmt::format("[{:>3}/{}] {}{} at N = {}", done + 1, total,
                                      plugins.size() > 1 ? contender.plugin + " " : "", contender.implementation,
                                      powerOfTwoText(N)));
        },
        stop);
    progress.clear();

    // Counted mflops for the plug-ins whose entries the counting build
    // describes, where it is found beside fftbench.
    BenchRun counted = bench;
    attachFftwCounts(counted);
    if (fftplug::host::fileExists(defaultCountingLibraryPath())) {
        try {
            const CountingLibrary counting = CountingLibrary::open(defaultCountingLibraryPath());
            std::vector<std::string> described;
            for (size_t p = 0; p < plugins.size(); ++p)
                if (counting.describes(plugins[p])) described.push_back(labels[p]);
            attachCountedFlops(counted, counting, described);
        } catch (const fftplug::host::LoadError& error) {
            counted.warnings.push_back(fmt::format("no counted mflops: {}", oneLine(error.what())));
        }
    }
    printBenchTable(stdout, counted);
    std::fflush(stdout);
    for (const std::string& warning : counted.warnings) fmt::print(stderr, "fftbench: warning: {}\n", warning);

    bool outputFailed = false;
    auto write = [&](std::ofstream& file, const std::string& path, const std::string& text) {
        file << text;
        file.close();
        if (!file) {
            fmt::print(stderr, "fftbench: could not write {}\n", path);
            outputFailed = true;
        }
    };
    if (!options.csv.empty()) write(csvFile, options.csv, benchCsv(counted));
    if (!options.json.empty()) write(jsonFile, options.json, benchJson(counted, FFTPLUG_VERSION));
    if (!options.plot.empty()) {
        if (const auto problem = renderPlot(counted, options.plot)) {
            fmt::print(stderr, "fftbench: {}\n", *problem);
            std::remove(options.plot.c_str());  // no empty file where a plot was promised
            std::remove(accuracyPlotPath(options.plot).c_str());
            outputFailed = true;
        }
    }
    if (bench.interrupted) return kExitInterrupted;
    return outputFailed ? kExitOutputFailed : kExitOk;
}

struct ProfileOptions {
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

    std::ofstream csvFile, jsonFile;
    if (!options.csv.empty()) csvFile = openOutput("--csv", options.csv);
    if (!options.json.empty()) jsonFile = openOutput("--json", options.json);
    if (!options.plot.empty()) openOutput("--plot", options.plot);

    const ProfileRun run = runProfile(counting, entries, sizes, !options.noPeers);
    printProfileTable(stdout, run);
    std::fflush(stdout);

    bool outputFailed = false;
    auto write = [&](std::ofstream& file, const std::string& file_path, const std::string& text) {
        file << text;
        file.close();
        if (!file) {
            fmt::print(stderr, "fftbench: could not write {}\n", file_path);
            outputFailed = true;
        }
    };
    if (!options.csv.empty()) write(csvFile, options.csv, profileCsv(run));
    if (!options.json.empty()) write(jsonFile, options.json, profileJson(run, FFTPLUG_VERSION));
    if (!options.plot.empty()) {
        const bool png = plotFormatFor(options.plot) == PlotFormat::png;
        if (const auto problem = runGnuplot(profileGnuplotScript(run, options.plot, png), options.plot)) {
            fmt::print(stderr, "fftbench: {}\n", *problem);
            std::remove(options.plot.c_str());
            outputFailed = true;
        }
    }
    return outputFailed ? kExitOutputFailed : kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
#if defined(_WIN32)
    SetConsoleOutputCP(CP_UTF8);  // catalogue names are printed as UTF-8
#endif
    CLI::App app{"fftbench: lists, verifies and benchmarks the entries of a plug-in of the fftplug ABI.",
                 "fftbench"};
    app.set_version_flag("--version", FFTPLUG_VERSION);
    app.require_subcommand(1, 1);
    app.fallthrough();
    app.footer("Exit status: 0 success, 1 a list or verify check failed, 2 bad arguments or a plug-in that does not load,\n"
               "3 an output file could not be written, 130 bench interrupted by Ctrl-C. See docs/fftbench.md.");
    std::vector<std::string> pluginPaths;
    app.add_option("--plugin", pluginPaths,
                   "Plug-in library to load (default: $FFTPLUG_PLUGIN, else fftplug beside fftbench or in the "
                   "installation's library folder); bench takes it repeatedly, to compare plug-ins")
        ->type_name("PATH")
        ->take_all()
        ->expected(1)
        ->allow_extra_args(false);

    CLI::App* list = app.add_subcommand("list", "Signature, creator, entry count and catalogue of the plug-in");

    VerifyOptions verifyOptions;
    CLI::App* verify = app.add_subcommand("verify", "Check every entry at every size: accuracy, linearity, impulse, "
                                                    "shift, run protocol, writes outside the arrays");
    verify->add_option("--entries", verifyOptions.entries, "Entries to check: 'all' or a list such as 0,3-9")
        ->capture_default_str();
    verify->add_option("--sizes", verifyOptions.sizes, "Sizes: powers of two, lists and ranges such as 2^1..2^20,4096")
        ->capture_default_str();
    verify->add_option("--seed", verifyOptions.seed, "Seed of the random test signals")->capture_default_str();
    verify->add_flag("--verbose,-v", verifyOptions.verbose, "One row per entry and size");
    verify->add_option("--timeout", verifyOptions.timeoutSeconds,
                       "Seconds an entry may take at one size up to 2^16 (more above, in proportion to N log N), "
                       "each entry in a process of its own; 0: all in fftbench's process, no limit")
        ->check(CLI::Range(0.0, 86400.0))
        ->capture_default_str();
    verify->add_flag("--report-to-parent", verifyOptions.reportToParent)->group("");

    BenchOptions benchOptions;
    CLI::App* bench = app.add_subcommand("bench", "Time every entry (and FFTW and KissFFT where built in) at every size");
    bench->add_option("--entries", benchOptions.entries, "Entries to time: 'all' or a list such as 0,3-9")
        ->capture_default_str();
    bench->add_option("--sizes", benchOptions.sizes, "Sizes: powers of two, lists and ranges such as 2^1..2^20")
        ->capture_default_str();
    bench->add_option("--csv", benchOptions.csv, "Write the results as CSV to this file")->type_name("FILE");
    bench->add_option("--json", benchOptions.json, "Write the results as JSON to this file")->type_name("FILE");
    bench->add_option("--plot", benchOptions.plot, "Draw mflops against log2 N with gnuplot into FILE.svg or FILE.png")
        ->type_name("FILE");
    bench->add_option("--min-time", benchOptions.minTimeMs, "Shortest measurement in milliseconds")
        ->check(CLI::Range(0.1, 60000.0))
        ->capture_default_str();
    bench->add_option("--measurements", benchOptions.measurements, "Measurements per cell; the best one counts")
        ->check(CLI::Range(1, 1000))
        ->capture_default_str();
    bench->add_option("--seed", benchOptions.seed, "Seed of the random input signal")->capture_default_str();
    bench->add_flag("--no-peers", benchOptions.noPeers, "Time the plug-in's entries only");

    ProfileOptions profileOptions;
    CLI::App* profile = app.add_subcommand(
        "profile", "Count what every entry does (real additions and multiplications, table reads, loads and stores, "
                   "stages) on the counting build, and FFTW's own count of its plan");
    profile->add_option("--entries", profileOptions.entries, "Entries to count: 'all' or a list such as 0,3-9")
        ->capture_default_str();
    profile->add_option("--sizes", profileOptions.sizes, "Sizes: powers of two, lists and ranges such as 2^1..2^20")
        ->capture_default_str();
    profile->add_option("--counting", profileOptions.counting,
                        "The counting build of the plug-in (default: fftplug_counting beside fftbench)")
        ->type_name("PATH");
    profile->add_option("--csv", profileOptions.csv, "Write the counts as CSV to this file")->type_name("FILE");
    profile->add_option("--json", profileOptions.json, "Write the counts as JSON to this file")->type_name("FILE");
    profile->add_option("--plot", profileOptions.plot, "Draw flops / (N log2 N) against log2 N into FILE.svg or FILE.png")
        ->type_name("FILE");
    profile->add_flag("--no-peers", profileOptions.noPeers, "Leave FFTW's count out");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) return app.exit(error);
        // A misspelt command reaches CLI11 as a stray word, not as a command.
        const std::vector<std::string> stray = app.remaining();
        if (!*list && !*verify && !*bench && !*profile && !stray.empty() && stray.front().rfind('-', 0) != 0) {
            fmt::print(stderr, "fftbench: unknown command '{}': the commands are list, verify, bench and profile\n",
                       stray.front());
            return kExitUsage;
        }
        if (!*list && !*verify && !*bench && !*profile && dynamic_cast<const CLI::RequiredError*>(&error) != nullptr) {
            fmt::print(stderr, "fftbench: a command is required: list, verify, bench or profile (see fftbench --help)\n");
            return kExitUsage;
        }
        fmt::print(stderr, "fftbench: {} (see fftbench --help)\n", oneLine(error.what()));
        return kExitUsage;
    }

    try {
        if ((*list || *verify) && pluginPaths.size() > 1)
            throw UsageError(fmt::format("{} takes one plug-in, --plugin was given {} times (bench compares several)",
                                         *list ? "list" : "verify", pluginPaths.size()));
        const std::string pluginPath = pluginPaths.empty() ? std::string() : pluginPaths.front();
        if (*list) {
            const bool sound = printList(stdout, loadPlugin(pluginPath));
            std::fputc('\n', stdout);
            printCpu(stdout, detectCpu(), 14);
            return sound ? kExitOk : kExitCheckFailed;
        }
        if (*verify) return runVerify(pluginPath, verifyOptions);
        if (*bench) return runBenchCommand(pluginPaths, benchOptions);
        if (*profile) {
            if (!pluginPaths.empty())
                throw UsageError("profile counts the counting build of fftplug (--counting PATH), not a plug-in "
                                 "given with --plugin");
            return runProfileCommand(profileOptions);
        }
    } catch (const UsageError& error) {
        fmt::print(stderr, "fftbench: {}\n", oneLine(error.what()));
    } catch (const fftplug::host::LoadError& error) {
        fmt::print(stderr, "fftbench: {}\n", oneLine(error.what()));
    } catch (const std::bad_alloc&) {
        fmt::print(stderr, "fftbench: out of memory (try smaller --sizes)\n");
    } catch (const std::exception& error) {
        fmt::print(stderr, "fftbench: {}\n", oneLine(error.what()));
    }
    return kExitUsage;
}
