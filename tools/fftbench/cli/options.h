// The options the commands share: --plugin and the plug-in it names, the
// checks of numbers, the help's exit-status table and its default values.
#pragma once

#include <CLI/CLI.hpp>

#include <cstdint>
#include <string>
#include <vector>

#include "host/plugin_library.h"

namespace fftbench {

// The one exit-status table of every command, as the help prints it.
extern const char* const kExitStatusHelp;

// --plugin on a command (it is also taken before the command's name):
// `several` for bench, which compares plug-ins; `global` for the one before
// the command's name, which serves every command that loads a plug-in.
void addPluginOption(CLI::App* command, std::vector<std::string>& paths, bool several, bool global = false);
// The global --plugin paths and the command's own, in the order given.
std::vector<std::string> pluginPaths(const std::vector<std::string>& global, const std::vector<std::string>& own);
// The one plug-in of list, verify and report (UsageError for several); empty: the default.
std::string singlePlugin(const std::string& command, const std::vector<std::string>& paths);
// For the commands that run an instrumented build, not the user's plug-in:
// UsageError when --plugin was given, saying what they run instead (`what`:
// "trace records the instrumented build of fftplug (--instrumented PATH)").
void refusePlugins(const std::vector<std::string>& paths, const std::string& what);
// Loads the plug-in at `path`, or the default one (findDefaultPlugin) when empty.
fftplug::host::PluginLibrary loadPlugin(const std::string& path);

// A number option's check, worded as fftbench words it: "--min-time: 0.01
// is not a number of milliseconds from 0.1 to 60000". CLI11 runs it on the
// text before converting it, so a word that is no number gets the same.
CLI::Validator numberFrom(double lowest, double highest, const std::string& unit);
CLI::Validator wholeNumberFrom(long long lowest, long long highest, const std::string& unit);

// The timing options of bench, stages and report, one range each: --min-time
// (milliseconds, 0.1 to 60000), --measurements (1 to 1000) and --seed (any
// 32-bit number). `help` is the option's help without its default.
void addMinTimeOption(CLI::App* command, double& milliseconds, const std::string& help);
void addMeasurementsOption(CLI::App* command, int& count, const std::string& help);
// --confirm PCT: measure a cell again, up to twice --measurements in all,
// until a second measurement comes within PCT % of its best (0: never).
void addConfirmOption(CLI::App* command, double& percent);
void addSeedOption(CLI::App* command, uint32_t& seed);

// "(default: 50)", for the help of an option whose default is `value`.
template <typename T>
std::string defaultText(const T& value) {
    return " (default: " + CLI::detail::to_string(value) + ")";
}

// A message on one line: CLI11's and the loaders' texts may hold line ends.
std::string oneLine(std::string text);

}  // namespace fftbench
