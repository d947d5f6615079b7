#include "cli/builds.h"

#include <fmt/format.h>

#include "cli/arguments.h"
#include "host/plugin_variants.h"

namespace fftbench {

InstrumentedLibrary openInstrumentedBuild(const std::string& path, const std::string& command) {
    if (!path.empty()) return InstrumentedLibrary::open(path);
    const std::string besideFftbench = defaultInstrumentedLibraryPath();
    if (!fftplug::host::fileExists(besideFftbench))
        throw UsageError(fmt::format("{} needs the instrumented build of the plug-in, {}, which is built beside "
                                     "fftbench in a build tree but not installed; it is not at {} (name it with "
                                     "--instrumented PATH)",
                                     command, fftplug::host::platformLibraryName("fftplug_instrumented"),
                                     besideFftbench));
    return InstrumentedLibrary::open(besideFftbench);
}

void addInstrumentedOption(CLI::App* command, std::string& path) {
    command
        ->add_option("--instrumented", path,
                     "The instrumented build of the plug-in (default: fftplug_instrumented beside fftbench)")
        ->type_name("PATH");
    command->add_option("--counting,--recording", path)->group("");
}

}  // namespace fftbench
