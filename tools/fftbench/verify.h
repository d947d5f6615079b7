// `fftbench verify`: drives every chosen entry at every chosen size exactly
// as a host must and checks what comes back, in the manner of FFTW's
// self-test: accuracy against a double-precision reference, linearity, the
// impulse response, the time-shift theorem, the run protocol, and that
// nothing is written outside the work array.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "host/plugin_library.h"

namespace fftbench {

enum class Check { accuracy, linearity, impulse, shift, protocol, bounds };
inline constexpr std::array<Check, 6> kChecks{Check::accuracy, Check::linearity, Check::impulse,
                                              Check::shift,    Check::protocol,  Check::bounds};
const char* checkName(Check check);

// The bound on the relative RMS error of an entry against the reference:
// kErrorBoundScale · sqrt(log2 N + 1). A single-precision FFT's error grows
// like the square root of the number of stages; fftplug's entries stay below
// a third of this bound at every size from 2^0 to 2^22 (docs/fftbench.md).
inline constexpr double kErrorBoundScale = 1.5e-7;
double errorBound(uint32_t N);

struct CheckOutcome {
    bool passed = true;
    std::string detail;  // what went wrong, the first time it did
    double ratio = 0;    // the worst measure / tolerance seen (numerical checks)
    void fail(std::string why);
    void observe(double measure, double tolerance);  // fails when measure > tolerance or NaN
};

struct SizeVerdict {
    uint32_t N = 0;
    double error = 0;  // relative RMS error on a random signal
    std::array<CheckOutcome, kChecks.size()> outcomes{};
    CheckOutcome& operator[](Check check) { return outcomes[static_cast<size_t>(check)]; }
    const CheckOutcome& operator[](Check check) const { return outcomes[static_cast<size_t>(check)]; }
    bool passed() const;
};

// All checks of one entry at N points. The plug-in must not crash: a check
// can only report what the entry returns.
SizeVerdict verifyEntryAt(const fftplug::host::PluginLibrary& plugin, const fftplug::host::CatalogueEntry& entry,
                          uint32_t N, uint32_t seed);

struct EntryVerdict {
    fftplug::host::CatalogueEntry entry;
    std::vector<SizeVerdict> sizes;
    bool passed() const;
    bool passed(Check check) const;
};

struct VerifyReport {
    std::string pluginPath;
    int32_t signature = 0;
    std::string creator;
    std::vector<uint32_t> sizes;
    uint32_t seed = 1;
    std::vector<EntryVerdict> entries;
    bool passed() const;
};

using VerifyProgress = std::function<void(const fftplug::host::CatalogueEntry& entry, uint32_t N)>;

VerifyReport verifyPlugin(const fftplug::host::PluginLibrary& plugin,
                          const std::vector<fftplug::host::CatalogueEntry>& entries,
                          const std::vector<uint32_t>& sizes, uint32_t seed, const VerifyProgress& progress = {});

// The PASS/FAIL table (one row per entry; with `verbose` one per entry and
// size), then one line per failing check naming the entry, the check, the
// sizes and what went wrong.
void printVerifyReport(std::FILE* out, const VerifyReport& report, bool verbose);

}  // namespace fftbench
