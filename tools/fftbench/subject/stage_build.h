// The stage builds of the plug-in (fftplug_stages and fftplug_stages-<path>:
// the shipped kernels with a stage counter that can end a transform after
// its first k stages, plugin/stages.h; built beside fftbench and never
// installed), loaded. What `fftbench stages` times comes from here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/plugin_library.h"
#include "plugin/stages.h"

namespace fftbench {

class StageLibrary {
   public:
    // Loads it; throws fftplug::host::LoadError (also when limitStages or
    // countStages is missing).
    static StageLibrary open(const std::string& path);
    const fftplug::host::PluginLibrary& plugin() const { return library_; }
    const std::string& path() const { return library_.path(); }

    // Every kernel call from now on runs its first `stages` stages (< 0: all).
    void limit(int32_t stages) const { limitStages_(stages); }
    // How many stage marks entry `index` passes at N (one run on a random
    // signal laid out as the entry needs). Their shapes come from the
    // instrumented build, which passes the same marks in the same order.
    uint32_t markCount(uint32_t index, uint32_t N) const;

   private:
    StageLibrary(fftplug::host::PluginLibrary library, FftplugLimitStages limitStages, FftplugCountStages countStages);
    fftplug::host::PluginLibrary library_;
    FftplugLimitStages limitStages_;
    FftplugCountStages countStages_;
};

// The library beside fftbench: the stage build of `path` ("avx2" …), or the
// dispatching one for "dispatch"; and the shipped library it mirrors
// (libfftplug-avx2.so, libfftplug.so …).
std::string defaultStageLibraryPath(const std::string& path);
std::string defaultShippedLibraryPath(const std::string& path);

}  // namespace fftbench
