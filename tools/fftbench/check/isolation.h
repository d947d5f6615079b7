// The checks of one entry in a child process of their own, so that an entry
// that crashes or never returns stops itself and not fftbench. On Linux the
// child is a fork of fftbench. Windows has no fork: there the child is
// fftbench started again, `verify --entries K --report-to-parent`, which runs
// the checks of that one entry in its own process and writes what they find
// to its standard output. Either way the child reports each call of runEntry
// before and after it is made and each size's verdict when it is complete, so
// that the parent can say which call crashed or hung.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "check/entry_checks.h"

namespace fftbench {

// How the checks of each entry run. With a time limit, in a child process
// of their own (a fork on Linux; on Windows `program` started with the hidden
// --report-to-parent option, see above): a crash or a hang stops that entry,
// reported as such, and the others go on. Without one, in this process.
struct Isolation {
    double timeoutSeconds = 0;  // per entry and size up to 2^16, see limitAt; 0: no child, no limit
    std::string program;        // Windows: the fftbench executable (empty: this one)

    // The time the checks of one entry may take at N points: timeoutSeconds
    // up to 2^16 points, and in proportion to N·log2 N above, where the work
    // of the checks grows that way.
    double limitAt(uint32_t N) const;
};

// The parent's half: the checks of `entry` at every one of `sizes`, each size
// within isolation.timeoutSeconds. A crash, a timeout or a child that could not
// finish ends the entry with `stop` set; the sizes checked before it stay.
EntryVerdict verifyEntryIsolated(const fftplug::host::PluginLibrary& plugin, const fftplug::host::CatalogueEntry& entry,
                                 const std::vector<uint32_t>& sizes, uint32_t seed, const Isolation& isolation,
                                 const VerifyProgress& progress);

// The child's half as a process of its own (--report-to-parent): runs the
// checks and writes the report to standard output. Returns the exit status.
int reportEntryToParent(const fftplug::host::PluginLibrary& plugin, const fftplug::host::CatalogueEntry& entry,
                        const std::vector<uint32_t>& sizes, uint32_t seed);

}  // namespace fftbench
