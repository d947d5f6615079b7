// What a plug-in of a run is called: its label, made from its file name,
// and what it says of itself.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/plugin_library.h"

namespace fftbench {

// A plug-in of the run, as its header and outputs name it.
struct PluginInfo {
    std::string path;
    std::string label;  // its file name without the library suffix, unique in the run
    int32_t signature = 0;
    std::string creator;
};

// Labels for the plug-ins of one run: each file's name without directory
// and library suffix ("libfftplug-scalar" for .../libfftplug-scalar.so,
// "fftplug-avx2" for fftplug-avx2.dll); a label that repeats gets "#2", "#3".
std::vector<std::string> pluginLabels(const std::vector<std::string>& paths);

PluginInfo describePlugin(const fftplug::host::PluginLibrary& plugin, const std::string& label);

}  // namespace fftbench
