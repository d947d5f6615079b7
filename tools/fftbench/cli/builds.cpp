#include "cli/builds.h"

#include <fmt/format.h>

#include "cli/arguments.h"
#include "host/plugin_variants.h"

namespace fftbench {

namespace {

// The path to load: `path`, or `besideFftbench` when it is empty and there.
std::string chosenBuild(const std::string& path, const std::string& besideFftbench, const std::string& command,
                        const char* build, const char* library, const char* option) {
    if (!path.empty()) return path;
    if (!fftplug::host::fileExists(besideFftbench))
        throw UsageError(fmt::format("{} needs the {} build of the plug-in, {}, which is built beside fftbench in a "
                                     "build tree but not installed; it is not at {} (name it with {} PATH)",
                                     command, build, fftplug::host::platformLibraryName(library), besideFftbench,
                                     option));
    return besideFftbench;
}

}  // namespace

CountingLibrary openCountingBuild(const std::string& path, const std::string& command) {
    return CountingLibrary::open(
        chosenBuild(path, defaultCountingLibraryPath(), command, "counting", "fftplug_counting", "--counting"));
}

RecordingLibrary openRecordingBuild(const std::string& path, const std::string& command) {
    return RecordingLibrary::open(
        chosenBuild(path, defaultRecordingLibraryPath(), command, "recording", "fftplug_recording", "--recording"));
}

}  // namespace fftbench
