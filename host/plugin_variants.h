// The builds of the plug-in that a test compares: the dispatching library and
// the fixed-path ones beside it (fftplug-scalar, -sse2 …, one for each row of
// plugin/simd/paths.h), each with the same five exports. A fixed-path build
// is used only where this CPU can run its instructions.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "plugin/simd/paths.h"
#include "plugin_library.h"
#if defined(__i386__) || defined(__x86_64__)
#include "plugin/cpu.h"
#endif

namespace fftplug::host {

// The fixed paths a build may ship, in the order they are compared.
inline const std::vector<std::string>& fixedPathNames() {
#define FFTPLUG_HOST_PATH_NAME(name, ...) #name,
    static const std::vector<std::string> names = {FFTPLUG_FOR_EACH_PATH(FFTPLUG_HOST_PATH_NAME)};
#undef FFTPLUG_HOST_PATH_NAME
    return names;
}

// Whether this CPU (and the operating system, which must save the wide
// registers) runs the instructions of path `name`, by the check of its row;
// the scalar path runs anywhere.
inline bool cpuRunsPath(const std::string& name) {
#if defined(__i386__) || defined(__x86_64__)
#define FFTPLUG_HOST_PATH_RUNS(path, ...) \
    if (name == #path) return fftplug::cpu::Probe{}.runs(fftplug::KernelPath::path);
    FFTPLUG_FOR_EACH_PATH(FFTPLUG_HOST_PATH_RUNS)
#undef FFTPLUG_HOST_PATH_RUNS
    return false;
#else
    return name == "scalar";
#endif
}

struct PluginVariant {
    std::string name;  // "dispatch" for the main library, otherwise the path's name
    std::string path;
};

inline bool fileExists(const std::string& path) {
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        std::fclose(f);
        return true;
    }
    return false;
}

// The folder part of `path`, with its trailing separator (empty if none).
inline std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The library at `mainPath` and every fixed-path library found beside it
// that this CPU runs.
inline std::vector<PluginVariant> pluginVariants(const std::string& mainPath = defaultPluginPath()) {
    std::vector<PluginVariant> variants{{"dispatch", mainPath}};
    const std::string folder = folderOf(mainPath);
    for (const std::string& name : fixedPathNames()) {
        const std::string path = folder + platformLibraryName("fftplug-" + name);
        if (cpuRunsPath(name) && fileExists(path)) variants.push_back({name, path});
    }
    return variants;
}

}  // namespace fftplug::host
