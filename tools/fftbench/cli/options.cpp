#include "cli/options.h"

#include <fmt/format.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "cli/arguments.h"

namespace fftbench {

const char* const kExitStatusHelp =
    "Exit status, the same for every command:\n"
    "  0    success\n"
    "  1    a check failed (list: the catalogue; verify: an entry)\n"
    "  2    bad arguments, or a plug-in or instrumented build that does not load\n"
    "  3    an output file (--csv, --json, --plot, --svg, --png, --out) could not be written\n"
    "  130  bench interrupted by Ctrl-C (what was measured is still written)\n"
    "See docs/fftbench.md.\n";

void addPluginOption(CLI::App* command, std::vector<std::string>& paths, bool several, bool global) {
    command
        ->add_option("--plugin", paths,
                     global ? "Plug-in library that list, verify, bench and report load (default: $FFTPLUG_PLUGIN, else "
                              "fftplug beside fftbench or in the installation's library folder); bench takes it "
                              "repeatedly to compare plug-ins. Also taken after the command's name"
                     : several ? "Plug-in library to time; repeat it to compare plug-ins, the first the reference of "
                               "the ratios (default: $FFTPLUG_PLUGIN, else fftplug beside fftbench or in the "
                               "installation's library folder). Also taken before the command's name"
                             : "Plug-in library to load (default: $FFTPLUG_PLUGIN, else fftplug beside fftbench or "
                               "in the installation's library folder). Also taken before the command's name")
        ->type_name("PATH")
        ->take_all()
        ->expected(1)
        ->allow_extra_args(false);
}

std::vector<std::string> pluginPaths(const std::vector<std::string>& global, const std::vector<std::string>& own) {
    std::vector<std::string> paths = global;
    paths.insert(paths.end(), own.begin(), own.end());
    return paths;
}

std::string singlePlugin(const std::string& command, const std::vector<std::string>& paths) {
    if (paths.size() > 1)
        throw UsageError(fmt::format("{} takes one plug-in, --plugin was given {} times (bench compares several)",
                                     command, paths.size()));
    return paths.empty() ? std::string() : paths.front();
}

void refusePlugins(const std::vector<std::string>& paths, const std::string& what) {
    if (!paths.empty()) throw UsageError(what + ", not a plug-in given with --plugin");
}

fftplug::host::PluginLibrary loadPlugin(const std::string& path) {
    return fftplug::host::PluginLibrary::open(path.empty() ? findDefaultPlugin() : path);
}

namespace {

std::string numberText(double value) { return fmt::format("{:g}", value); }

}  // namespace

CLI::Validator numberFrom(double lowest, double highest, const std::string& unit) {
    return CLI::Validator(
        [=](std::string& text) -> std::string {
            errno = 0;
            char* end = nullptr;
            const double value = std::strtod(text.c_str(), &end);
            const bool number = !text.empty() && end == text.c_str() + text.size() && errno == 0 && std::isfinite(value);
            if (number && value >= lowest && value <= highest) return {};
            return fmt::format("{} is not a number of {} from {} to {}", text, unit, numberText(lowest),
                               numberText(highest));
        },
        "", "");
}

CLI::Validator wholeNumberFrom(long long lowest, long long highest, const std::string& unit) {
    return CLI::Validator(
        [=](std::string& text) -> std::string {
            errno = 0;
            char* end = nullptr;
            const long long value = std::strtoll(text.c_str(), &end, 10);
            const bool number = !text.empty() && end == text.c_str() + text.size() && errno == 0;
            if (number && value >= lowest && value <= highest) return {};
            return fmt::format("{} is not a whole number{} from {} to {}", text, unit.empty() ? "" : " of " + unit, lowest,
                               highest);
        },
        "", "");
}

void addMinTimeOption(CLI::App* command, double& milliseconds, const std::string& help) {
    command->add_option("--min-time", milliseconds, help + defaultText(milliseconds))
        ->type_name("MS")
        ->check(numberFrom(0.1, 60000.0, "milliseconds"));
}

void addMeasurementsOption(CLI::App* command, int& count, const std::string& help) {
    command->add_option("--measurements", count, help + defaultText(count))
        ->type_name("COUNT")
        ->check(wholeNumberFrom(1, 1000, "measurements"));
}

void addConfirmOption(CLI::App* command, double& percent) {
    command
        ->add_option("--confirm", percent,
                     "Go on measuring a cell, up to twice --measurements in all, until a second measurement comes "
                     "within this many per cent of its best, so that a best taken while the core briefly ran fast "
                     "(or the rest while it ran slow) is measured again; 0: exactly --measurements" +
                         defaultText(percent))
        ->type_name("PCT")
        ->check(numberFrom(0.0, 100.0, "per cent"));
}

void addSeedOption(CLI::App* command, uint32_t& seed) {
    command->add_option("--seed", seed, "Seed of the random input signal" + defaultText(seed))
        ->type_name("NUMBER")
        ->check(wholeNumberFrom(0, 4294967295LL, ""));
}

std::string oneLine(std::string text) {
    for (char& c : text)
        if (c == '\n' || c == '\r') c = ' ';
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

}  // namespace fftbench
