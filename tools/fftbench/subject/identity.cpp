#include "subject/identity.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace fftbench {

std::vector<std::string> pluginLabels(const std::vector<std::string>& paths) {
    std::vector<std::string> labels;
    for (const std::string& path : paths) {
        const size_t slash = path.find_last_of("/\\");
        std::string stem = slash == std::string::npos ? path : path.substr(slash + 1);
        std::string lower = stem;
        std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
        for (const char* suffix : {".so.", ".so", ".dll", ".dylib"}) {
            const size_t at = lower.rfind(suffix);
            const bool last = std::string(suffix).back() == '.' || at + std::strlen(suffix) == lower.size();
            if (at != std::string::npos && at > 0 && last) {
                stem.resize(at);
                break;
            }
        }
        if (stem.empty()) stem = "plug-in";
        std::string label = stem;
        for (int n = 2; std::find(labels.begin(), labels.end(), label) != labels.end(); ++n)
            label = fmt::format("{}#{}", stem, n);
        labels.push_back(label);
    }
    return labels;
}

PluginInfo describePlugin(const fftplug::host::PluginLibrary& plugin, const std::string& label) {
    return PluginInfo{plugin.path(), label, plugin.circuitSignature(), plugin.creator()};
}

}  // namespace fftbench
