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
#include <vector>

#include "check/entry_checks.h"

namespace fftbench {

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
