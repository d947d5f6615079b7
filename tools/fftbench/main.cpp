// fftbench: a command-line host for plug-ins of the fftplug ABI. It lists a
// plug-in's catalogue, verifies its entries, benchmarks them against the
// peers (FFTW, KissFFT), profiles what they do, draws their signal-flow
// graphs and traces their memory accesses on the instrumented build, times
// each entry stage by stage on the stage builds, and puts all of it on one
// HTML page. Each command lives in
// commands/, over the layers below it (README, Layout). See docs/fftbench.md,
// docs/profile.md and docs/pictures.md.
#include <CLI/CLI.hpp>
#include <fmt/format.h>

#include <algorithm>
#include <new>

#include "cli/arguments.h"
#include "cli/options.h"
#include "cli/output_files.h"
#include "commands/commands.h"

#if defined(_WIN32)
#include <windows.h>
#endif

#ifndef FFTPLUG_VERSION
#define FFTPLUG_VERSION "unknown"
#endif

using namespace fftbench;

int main(int argc, char** argv) {
#if defined(_WIN32)
    SetConsoleOutputCP(CP_UTF8);  // catalogue names are printed as UTF-8
#endif
    CLI::App app{"fftbench: lists, verifies, benchmarks and profiles the entries of a plug-in of the fftplug ABI, "
                 "draws their signal-flow graphs and memory accesses, and writes all of it on one page.",
                 "fftbench"};
    app.set_version_flag("--version", FFTPLUG_VERSION);
    app.require_subcommand(1, 1);
    app.fallthrough();
    app.footer(kExitStatusHelp);
    std::vector<std::string> globalPlugins;
    addPluginOption(&app, globalPlugins, true, true);

    const std::vector<Command> commands{addListCommand(app),    addVerifyCommand(app), addBenchCommand(app),
                                        addProfileCommand(app), addDrawCommand(app),   addTraceCommand(app),
                                        addReportCommand(app),  addStagesCommand(app)};
    // "list, verify, bench and profile" ("… or profile").
    auto names = [&](const char* last) {
        std::string text;
        for (size_t i = 0; i < commands.size(); ++i)
            text += (i == 0 ? "" : i + 1 == commands.size() ? last : ", ") + commands[i].sub->get_name();
        return text;
    };
    for (const Command& command : commands) command.sub->footer(kExitStatusHelp);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) return app.exit(error);
        const bool chosen = std::any_of(commands.begin(), commands.end(), [](const Command& c) { return c.sub->parsed(); });
        // A misspelt command reaches CLI11 as a stray word, not as a command.
        const std::vector<std::string> stray = app.remaining();
        if (!chosen && !stray.empty() && stray.front().rfind('-', 0) != 0) {
            fmt::print(stderr, "fftbench: unknown command '{}': the commands are {}\n", stray.front(), names(" and "));
            return kExitUsage;
        }
        if (!chosen && dynamic_cast<const CLI::RequiredError*>(&error) != nullptr) {
            fmt::print(stderr, "fftbench: a command is required: {} (see fftbench --help)\n", names(" or "));
            return kExitUsage;
        }
        fmt::print(stderr, "fftbench: {} (see fftbench --help)\n", oneLine(error.what()));
        return kExitUsage;
    }

    try {
        for (const Command& command : commands)
            if (command.sub->parsed()) return command.run(globalPlugins);
    } catch (const OutputError& error) {
        fmt::print(stderr, "fftbench: {}\n", oneLine(error.what()));
        return kExitOutputFailed;
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
