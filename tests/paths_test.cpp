// Every path gives the same bits: each fixed-path build this CPU runs (SSE2,
// AVX2 …) and the dispatching library against the scalar build, the exact
// oracle, for every entry and every N up to 2^16, on random input and on the
// impulses whose transforms are exact; each one also within accuracy of the
// double-precision reference.
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

INSTANTIATE_TEST_SUITE_P(EveryPathTheCpuRuns, Paths, testing::ValuesIn(variantNames()), variantParamName);

}  // namespace
}  // namespace fftplug::test
