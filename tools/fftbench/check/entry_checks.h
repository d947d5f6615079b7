// The checks of `fftbench verify`, of one entry at one size: it is driven
// exactly as a host must drive it and what comes back is checked, in the
// manner of FFTW's self-test: accuracy against a double-precision reference,
// linearity, the impulse response, the time-shift theorem, the run protocol,
// and that nothing is written outside the work array.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
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

// One call of runEntry made by the checks: announced before the call
// (returned = false) and after it (returned = true).
struct CallEvent {
    Check check = Check::protocol;  // the check making the call
    int32_t reps = 0;
    bool returned = false;
};
using CallObserver = std::function<void(const CallEvent&)>;

// All checks of one entry at N points, in this process: a crash or a hang
// of the entry is fftbench's own (verifyPlugin, verify_run.h, can isolate
// them).
SizeVerdict verifyEntryAt(const fftplug::host::PluginLibrary& plugin, const fftplug::host::CatalogueEntry& entry,
                          uint32_t N, uint32_t seed, const CallObserver& observer = {});

// The seed of the signals of one entry at one size: different for every
// entry and size, the same on every run.
uint32_t sizeSeed(uint32_t seed, const fftplug::host::CatalogueEntry& entry, uint32_t N);

// Why the checks of an entry stopped before the last size.
struct EntryStop {
    enum class Kind { crash, timeout, error } kind = Kind::error;
    uint32_t N = 0;    // the size being checked
    std::string what;  // "runEntry crashed (signal 11, Segmentation fault) on the call with reps = 1 of the protocol check"
};
const char* stopName(EntryStop::Kind kind);  // "CRASH", "TIMEOUT", "ERROR"

struct EntryVerdict {
    fftplug::host::CatalogueEntry entry;
    std::vector<SizeVerdict> sizes;  // the sizes whose checks finished
    std::optional<EntryStop> stop;   // set when the entry crashed, hung or its checks failed to run
    bool passed() const;
    bool passed(Check check) const;
};

using VerifyProgress = std::function<void(const fftplug::host::CatalogueEntry& entry, uint32_t N)>;

}  // namespace fftbench
