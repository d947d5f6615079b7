#include "check/verify_run.h"

namespace fftbench {

using fftplug::host::CatalogueEntry;
using fftplug::host::PluginLibrary;

bool VerifyReport::passed() const {
    if (!catalogueFaults.empty()) return false;
    for (const EntryVerdict& entry : entries)
        if (!entry.passed()) return false;
    return true;
}

VerifyReport verifyPlugin(const PluginLibrary& plugin, const std::vector<CatalogueEntry>& entries,
                          const std::vector<uint32_t>& sizes, uint32_t seed, const VerifyProgress& progress,
                          const Isolation& isolation) {
    VerifyReport report;
    report.pluginPath = plugin.path();
    report.signature = plugin.circuitSignature();
    report.creator = plugin.creator();
    report.sizes = sizes;
    report.seed = seed;
    for (const CatalogueEntry& entry : entries) {
        if (isolation.timeoutSeconds > 0) {
            report.entries.push_back(verifyEntryIsolated(plugin, entry, sizes, seed, isolation, progress));
            continue;
        }
        EntryVerdict verdict{entry, {}, std::nullopt};
        for (const uint32_t N : sizes) {
            if (progress) progress(entry, N);
            verdict.sizes.push_back(verifyEntryAt(plugin, entry, N, sizeSeed(seed, entry, N)));
        }
        report.entries.push_back(std::move(verdict));
    }
    return report;
}

}  // namespace fftbench
