// The instrumented builds of the plug-in a command needs: the counting build
// (profile, report) and the recording build (draw, trace, report), at the
// path its option names or beside fftbench, where a build tree has them.
// One check and one message for every command.
#pragma once

#include <string>

#include "subject/counting_build.h"
#include "subject/recording_build.h"

namespace fftbench {

// The build at `path`, or beside fftbench when `path` is empty; a
// UsageError naming `command` and the option that names the build when it
// is not there, a LoadError when it does not load.
CountingLibrary openCountingBuild(const std::string& path, const std::string& command);
RecordingLibrary openRecordingBuild(const std::string& path, const std::string& command);

}  // namespace fftbench
