// Every path gives the same bits: each fixed-path build this CPU runs (SSE2,
// AVX2 …) and the dispatching library against the scalar build, the exact
// oracle, for every entry and every N up to 2^16, on random input and on the
// impulses whose transforms are exact; each one also within accuracy of the
// double-precision reference; and on arrays placed off a 64-byte line, as
// hosts' allocators place them.
#include <cstdio>

#include "test_support.h"

namespace fftplug::test {
namespace {

constexpr unsigned kLargestLog2 = 16;

class Paths : public testing::TestWithParam<std::string> {
   protected:
    static void SetUpTestSuite() {
        for (const std::string& path : builtPaths())
            if (!cpuRunsPath(path))
                std::printf("path %s: built but not tested, this CPU (or its operating system) does not run it\n",
                            path.c_str());
    }
};

TEST_P(Paths, SameBitsAsTheScalarBuildForEveryEntryAndSize) {
    const PluginLibrary& oracle = variant("scalar");
    const PluginLibrary& tested = variant(GetParam());
    for (unsigned bits = 0; bits <= kLargestLog2; ++bits) {
        const uint32_t N = 1u << bits;
        std::vector<std::vector<Complex>> signals{randomSignal(N, 500 + bits)};
        if (N > 1) {  // impulses at 1 and at N/2: twiddles and signs in every output
            signals.emplace_back(N, Complex{0, 0});
            signals.back()[1] = {1, 0};
            signals.emplace_back(N, Complex{0, 0});
            signals.back()[N / 2] = {0, 1};
        }
        const Spectrum reference = referenceTransform(toSpectrum(signals[0]));
        for (uint32_t index : allEntries()) {
            for (size_t s = 0; s < signals.size(); ++s) {
                const auto expected = transformWithEntry(oracle, entry(index), signals[s]);
                const auto result = transformWithEntry(tested, entry(index), signals[s]);
                ASSERT_TRUE(sameBits(result, expected))
                    << GetParam() << " against scalar: entry " << index << ", N = " << N << ", signal " << s;
                if (s == 0) {
                    ASSERT_LE(relativeRmsError(result, reference), errorBound(N)) << "entry " << index << ", N = " << N;
                }
            }
        }
    }
}

// `values` copied into `buffer` at `offset` bytes past a 64-byte line (a
// multiple of 8, so that the samples stay whole), as a host's allocator may
// place them: 8 bytes off on 32-bit Windows, 16 on x86-64 glibc.
Complex* placeOffLine(std::vector<Complex>& buffer, const std::vector<Complex>& values, uintptr_t offset) {
    buffer.assign(values.size() + 8, Complex{0, 0});
    const uintptr_t at = reinterpret_cast<uintptr_t>(buffer.data());
    Complex* placed = buffer.data() + (offset + 64 - at % 64) % 64 / sizeof(Complex);
    std::copy(values.begin(), values.end(), placed);
    return placed;
}

// Where the arrays lie changes only how lanes meet memory: at every offset
// from a line, each array at its own, the bits are the scalar build's.
TEST_P(Paths, SameBitsOnArraysOffALine) {
    const PluginLibrary& oracle = variant("scalar");
    const PluginLibrary& tested = variant(GetParam());
    for (unsigned bits = 0; bits <= 11; ++bits) {
        const uint32_t N = 1u << bits;
        const int32_t n = static_cast<int32_t>(N);
        const std::vector<Complex> signal = randomSignal(N, 700 + bits);
        for (uint32_t index : allEntries()) {
            EntryArrays plain = arrangeForEntry(oracle, entry(index), signal);
            const std::vector<Complex> input = plain.input, table = plain.table;
            oracle.run(index, n, plain.input.data(), plain.work.data(), plain.table.data(), 1);
            for (uintptr_t offset = 8; offset < 64; offset += 8) {
                std::vector<Complex> inputBuffer, workBuffer, tableBuffer;
                const Complex* in = placeOffLine(inputBuffer, input, offset);
                Complex* work = placeOffLine(workBuffer, std::vector<Complex>(N, Complex{0, 0}), (offset + 8) % 64);
                Complex* tab = placeOffLine(tableBuffer, table, (offset + 16) % 64);
                tested.run(index, n, in, work, tab, 1);
                ASSERT_TRUE(sameBits(std::vector<Complex>(work, work + N), plain.work))
                    << GetParam() << ": entry " << index << ", N = " << N << ", input " << offset
                    << " bytes off a line, work " << (offset + 8) % 64 << ", table " << (offset + 16) % 64;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryPathTheCpuRuns, Paths, testing::ValuesIn(variantNames()), variantParamName);

}  // namespace
}  // namespace fftplug::test
