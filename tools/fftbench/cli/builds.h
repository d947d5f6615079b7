// The instrumented build of the plug-in, for the commands that need it
// (profile, draw, trace, report), at the path --instrumented names or beside
// fftbench, where a build tree has it. One check and one message for every
// command.
#pragma once

#include <CLI/CLI.hpp>

#include <string>

#include "subject/instrumented_build.h"

namespace fftbench {

// The build at `path`, or beside fftbench when `path` is empty; a
// UsageError naming `command` and the option that names the build when it
// is not there, a LoadError when it does not load.
InstrumentedLibrary openInstrumentedBuild(const std::string& path, const std::string& command);

// --instrumented PATH on a command that runs the instrumented build. The
// names of the two builds it took the place of, --counting and --recording,
// are taken too, unlisted, for the scripts that still give them.
void addInstrumentedOption(CLI::App* command, std::string& path);

}  // namespace fftbench
