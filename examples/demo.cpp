// A short tour of the plug-in as a host sees it: load it, print its
// catalogue, and transform an impulse with every entry.
#include <cstdio>

#include "host/driver.h"
#include "host/plugin_library.h"
#include "host/reference.h"

using namespace fftplug::host;

int main(int argc, char** argv) {
    try {
        const std::string path = argc > 1 ? argv[1] : defaultPluginPath();
        PluginLibrary plugin = PluginLibrary::open(path);
        std::printf("%s\nsignature %d, creator \"%s\", %d entries\n", path.c_str(),
                    plugin.circuitSignature(), plugin.creator().c_str(), plugin.entryCount());
        const int32_t N = 1024;
        const auto signal = randomSignal(N, 1);
        const Spectrum reference = referenceTransform(toSpectrum(signal));
        for (const CatalogueEntry& entry : plugin.catalogue()) {
            const auto result = transformWithEntry(plugin, entry, signal);
            std::printf("%2u  0x%03x  error %.2e  %s\n", entry.index, entry.flags,
                        relativeRmsError(result, reference), entry.name.c_str());
        }
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "fftplug_demo: %s\n", error.what());
        return 2;
    }
}
