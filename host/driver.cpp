#include "driver.h"

#include "bit_reversal.h"

namespace fftplug::host {

EntryArrays arrangeForEntry(const PluginLibrary& plugin, const CatalogueEntry& entry,
                            const std::vector<Complex>& signal, Direction tableDirection) {
    const int32_t N = static_cast<int32_t>(signal.size());
    EntryArrays arrays;
    arrays.input = entry.naturalInput() ? signal : bitReversed(signal);
    arrays.work.assign(signal.size(), Complex{0, 0});
    arrays.table = makeTwiddleTable(N, tableDirection);
    if (entry.preparesTable())
        plugin.run(entry.index, N, arrays.input.data(), arrays.work.data(), arrays.table.data(), 0);
    return arrays;
}

std::vector<Complex> naturalOrderResult(const CatalogueEntry& entry, const std::vector<Complex>& work) {
    return entry.naturalInput() ? bitReversed(work) : work;
}

std::vector<Complex> transformWithEntry(const PluginLibrary& plugin, const CatalogueEntry& entry,
                                        const std::vector<Complex>& signal, int32_t reps,
                                        Direction tableDirection) {
    EntryArrays arrays = arrangeForEntry(plugin, entry, signal, tableDirection);
    plugin.run(entry.index, static_cast<int32_t>(signal.size()), arrays.input.data(),
               arrays.work.data(), arrays.table.data(), reps);
    return naturalOrderResult(entry, arrays.work);
}

std::vector<Complex> randomSignal(uint32_t N, uint32_t seed) {
    std::mt19937 generator(seed);  // the engine's output sequence is fixed by the standard
    auto next = [&] { return static_cast<float>(generator() >> 8) * (2.0f / 16777216.0f) - 1.0f; };
    std::vector<Complex> signal(N);
    for (auto& sample : signal) {
        sample.re = next();
        sample.im = next();
    }
    return signal;
}

}  // namespace fftplug::host
