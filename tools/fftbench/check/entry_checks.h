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
// of the entry is fftbench's own (verifyPlugin can isolate them).
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

using VerifyProgress = std::function<void(const fftplug::host::CatalogueEntry& entry, uint32_t N)>;

// How the checks of each entry run. With a time limit, in a child process
// of their own (a fork on Linux; on Windows `program` started with the hidden
// --report-to-parent option, see isolation.h): a crash or a hang stops that
// entry, reported as such, and the others go on. Without one, in this process.
struct Isolation {
    double timeoutSeconds = 0;  // per entry and size up to 2^16, see limitAt; 0: no child, no limit
    std::string program;        // Windows: the fftbench executable (empty: this one)

    // The time the checks of one entry may take at N points: timeoutSeconds
    // up to 2^16 points, and in proportion to N·log2 N above, where the work
    // of the checks grows that way.
    double limitAt(uint32_t N) const;
};

VerifyReport verifyPlugin(const fftplug::host::PluginLibrary& plugin,
                          const std::vector<fftplug::host::CatalogueEntry>& entries,
                          const std::vector<uint32_t>& sizes, uint32_t seed, const VerifyProgress& progress = {},
                          const Isolation& isolation = {});

// The catalogue's faults, the PASS/FAIL table (one row per entry; with
// `verbose` one per entry and size), then one line per failing check naming
// the entry, the check, the sizes and what went wrong, and one per entry
// that crashed or hung.
void printVerifyReport(std::FILE* out, const VerifyReport& report, bool verbose);

}  // namespace fftbench
