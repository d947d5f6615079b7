// `fftbench list` on standard output: what a plug-in says about itself, in
// UTF-8 with English glosses, and the processor's lines that bench's header
// shares.
#pragma once

#include <cstdio>
#include <string>

#include "host/plugin_library.h"
#include "machine/processor.h"
#include "machine/timing.h"

namespace fftbench {

// Prints the signature, creator, entry count and catalogue of `plugin`, and
// every fault of the catalogue (fftplug::host::Catalogue); false if there was
// one.
bool printList(std::FILE* out, const fftplug::host::PluginLibrary& plugin);

// The "cpu" (brand) and "instructions" lines, labels padded to `labelWidth`.
std::string cpuText(const CpuInfo& cpu, int labelWidth);
void printCpu(std::FILE* out, const CpuInfo& cpu, int labelWidth);

// How each figure was taken, as the "method" lines of bench and stages say
// it: "best of 5 measurements of at least 20 ms each, up to 10 where no
// second came within 2 % of the best".
std::string bestOfText(const TimingGoal& goal);

}  // namespace fftbench
