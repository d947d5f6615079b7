// The commands of fftbench, one file each. A command adds its subcommand
// and options to the application and hands back how to run it: options, the
// job (in the layers below), its output. main.cpp keeps only the global
// options, the parsing and the exit statuses.
#pragma once

#include <CLI/CLI.hpp>

#include <functional>
#include <string>
#include <vector>

namespace fftbench {

struct Command {
    CLI::App* sub = nullptr;
    // Runs the command once the command line is parsed; the argument is
    // the --plugin paths given before the command's name. Returns the exit
    // status; throws UsageError, OutputError or LoadError.
    std::function<int(const std::vector<std::string>& globalPlugins)> run;
};

Command addListCommand(CLI::App& app);
Command addVerifyCommand(CLI::App& app);
Command addBenchCommand(CLI::App& app);
Command addProfileCommand(CLI::App& app);
Command addDrawCommand(CLI::App& app);
Command addTraceCommand(CLI::App& app);
Command addReportCommand(CLI::App& app);
Command addStagesCommand(CLI::App& app);

}  // namespace fftbench
