// `fftbench verify`'s job: every chosen entry of a plug-in at every chosen
// size through the checks of entry_checks.h, each entry in a child process
// of its own where a time limit is set (isolation.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "check/entry_checks.h"
#include "check/isolation.h"
#include "host/plugin_library.h"

namespace fftbench {

struct VerifyReport {
    std::string pluginPath;
    int32_t signature = 0;
    std::string creator;
    std::vector<fftplug::host::CatalogueFault> catalogueFaults;
    std::vector<uint32_t> sizes;
    uint32_t seed = 1;
    std::vector<EntryVerdict> entries;
    bool passed() const;
};

VerifyReport verifyPlugin(const fftplug::host::PluginLibrary& plugin,
                          const std::vector<fftplug::host::CatalogueEntry>& entries,
                          const std::vector<uint32_t>& sizes, uint32_t seed, const VerifyProgress& progress = {},
                          const Isolation& isolation = {});

}  // namespace fftbench
