// Driving one entry as a host must: the input order and the preparation come
// from the entry's flags, the table is built fresh in the segmented layout.
#pragma once

#include <fftplug/fftplug.h>

#include <cstdint>
#include <random>
#include <vector>

#include "plugin_library.h"
#include "twiddle.h"

namespace fftplug::host {

// The arrays of one call, in the order the entry wants them.
struct EntryArrays {
    std::vector<Complex> input;
    std::vector<Complex> work;
    std::vector<Complex> table;
};

// Lays out `signal` (natural order) for the entry: bit-reversed unless the
// entry takes natural input; builds the table and prepares it if the entry
// prepares tables.
EntryArrays arrangeForEntry(const PluginLibrary& plugin, const CatalogueEntry& entry,
                            const std::vector<Complex>& signal,
                            Direction tableDirection = Direction::forward);

// The entry's result in natural order, read from `work` in the entry's order.
std::vector<Complex> naturalOrderResult(const CatalogueEntry& entry, const std::vector<Complex>& work);

// arrangeForEntry, one call with `reps`, naturalOrderResult.
std::vector<Complex> transformWithEntry(const PluginLibrary& plugin, const CatalogueEntry& entry,
                                        const std::vector<Complex>& signal, int32_t reps = 1,
                                        Direction tableDirection = Direction::forward);

// N samples with real and imaginary parts uniform in [−1, 1), the same for a
// seed on every platform.
std::vector<Complex> randomSignal(uint32_t N, uint32_t seed);

}  // namespace fftplug::host
