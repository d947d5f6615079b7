// A 32-bit host that asks what the DLL's entry routine asks before it loads
// the plug-in: built without SSE, it runs on processors below the floor and
// reports the refusal there, and elsewhere loads the library, runs every
// entry at every size up to 1024 and prints each result's error against the
// double-precision reference and a digest of its bits.
//
//   processor_floor_host <library>
//
// Prints "refused: ..." and exits 3 where the processor check fails; exits 1
// when an entry's error is above the suite's bound or the library does not
// load; otherwise prints, one line each,
//   path <the path the dispatch takes>
//   code <first>-<end>          the library's code, as mapped
//   entry <i> N <N> error <relative RMS error> bits <FNV-1a of the result>
// and exits 0. Under QEMU (tests/run_processor_floor.cmake) the lines of a
// Pentium III and of the widest model must agree bit for bit.
#include <dlfcn.h>
#include <link.h>

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <vector>

#include "host/driver.h"
#include "host/plugin_library.h"
#include "host/reference.h"
#include "plugin/cpu.h"
#include "plugin/entry.h"
#include "plugin/path_choice.h"

namespace {

using namespace fftplug::host;

uint32_t digest(const std::vector<Complex>& samples) {
    uint32_t hash = 2166136261u;
    const auto* bytes = reinterpret_cast<const unsigned char*>(samples.data());
    for (size_t i = 0; i < samples.size() * sizeof(Complex); ++i) hash = (hash ^ bytes[i]) * 16777619u;
    return hash;
}

// The executable segments of the loaded object that holds `address`.
struct CodeRange {
    const void* address;
    uintptr_t first = 0, end = 0;
};

int findCode(dl_phdr_info* info, size_t, void* data) {
    auto* range = static_cast<CodeRange*>(data);
    const auto wanted = reinterpret_cast<uintptr_t>(range->address);
    uintptr_t first = UINTPTR_MAX, end = 0;
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const auto& segment = info->dlpi_phdr[i];
        if (segment.p_type != PT_LOAD || (segment.p_flags & PF_X) == 0) continue;
        const uintptr_t start = info->dlpi_addr + segment.p_vaddr;
        if (start < first) first = start;
        if (start + segment.p_memsz > end) end = start + segment.p_memsz;
    }
    if (wanted < first || wanted >= end) return 0;
    range->first = first;
    range->end = end;
    return 1;
}

// The suite's bound on the relative RMS error (tests/test_support.h).
double errorBound(int32_t N) {
    int stages = 0;
    while ((1 << stages) < N) ++stages;
    return 1.0e-7 * (1.0 + 0.25 * stages);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: processor_floor_host <library>\n");
        return 2;
    }
    if (!fftplug::meetsProcessorFloor()) {
        std::printf("refused: the processor has no SSE, or the system does not save its registers\n");
        return 3;
    }
    std::printf("path %s\n", fftplug::kernelPathName(fftplug::cpu::Probe{}.widestPath()));

    try {
        const PluginLibrary plugin = PluginLibrary::open(argv[1]);
        CodeRange code{reinterpret_cast<const void*>(plugin.exports().runEntry)};
        if (dl_iterate_phdr(findCode, &code) == 0) {
            std::fprintf(stderr, "processor_floor_host: the code of %s is not mapped\n", argv[1]);
            return 1;
        }
        std::printf("code %#" PRIxPTR "-%#" PRIxPTR "\n", code.first, code.end);

        bool withinBound = true;
        const std::vector<CatalogueEntry> entries = plugin.catalogue();
        for (int32_t N = 1; N <= 1024; N *= 2) {
            const std::vector<Complex> signal = randomSignal(static_cast<uint32_t>(N), 23u + static_cast<uint32_t>(N));
            const Spectrum reference = referenceTransform(toSpectrum(signal));
            for (const CatalogueEntry& entry : entries) {
                const std::vector<Complex> result = transformWithEntry(plugin, entry, signal);
                const double error = relativeRmsError(result, reference);
                const bool ok = error <= errorBound(N);
                withinBound = withinBound && ok;
                std::printf("entry %u N %d error %.3g bits %08" PRIx32 "%s\n", entry.index, N, error,
                            digest(result), ok ? "" : " ABOVE BOUND");
            }
        }
        return withinBound ? 0 : 1;
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "processor_floor_host: %s\n", failure.what());
        return 1;
    }
}
