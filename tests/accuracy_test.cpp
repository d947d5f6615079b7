// Every entry against the double-precision reference for every size from 1 to
// 2^20, the impulse and constant inputs whose transforms are known exactly,
// and the pairs of entries that must agree bit for bit.
#include <cstdio>
#include <map>

#include "test_support.h"

namespace fftplug::test {
namespace {

constexpr unsigned kLargestLog2 = 20;

TEST(Accuracy, EveryEntryEverySizeAgainstTheReference) {
    std::map<uint32_t, std::pair<double, uint32_t>> worst;  // entry -> (error, N)
    for (unsigned bits = 0; bits <= kLargestLog2; ++bits) {
        const uint32_t N = 1u << bits;
        const auto signal = randomSignal(N, 1000 + bits);
        const Spectrum reference = referenceTransform(toSpectrum(signal));
        for (uint32_t index : allEntries()) {
            const double error = relativeRmsError(transform(index, signal), reference);
            EXPECT_LE(error, errorBound(N)) << "entry " << index << ", N = " << N;
            auto& w = worst[index];
            if (!(error <= w.first)) w = {error, N};
        }
    }
    for (const auto& [index, w] : worst)
        std::printf("entry %u: worst relative RMS error %.3e (N = %u)\n", index, w.first, w.second);
}

class KnownTransforms : public testing::TestWithParam<uint32_t> {};

TEST_P(KnownTransforms, ImpulseAtZeroGivesAllOnes) {
    for (uint32_t N : {1u, 2u, 4u, 8u, 64u, 1024u}) {
        std::vector<Complex> x(N, Complex{0, 0});
        x[0] = {1, 0};
        for (const Complex& X : transform(GetParam(), x)) {
            ASSERT_EQ(X.re, 1.0f) << "N = " << N;
            ASSERT_EQ(X.im, 0.0f) << "N = " << N;
        }
    }
}

TEST_P(KnownTransforms, ImpulseAtOneGivesTheRootsOfUnity) {
    for (uint32_t N : {2u, 4u, 8u, 16u, 256u, 4096u}) {
        std::vector<Complex> x(N, Complex{0, 0});
        x[1] = {1, 0};
        const auto X = transform(GetParam(), x);
        for (uint32_t k = 0; k < N; ++k) {
            const Complex w = twiddle(k, N);
            ASSERT_NEAR(X[k].re, w.re, 4e-7) << "N = " << N << ", k = " << k;
            ASSERT_NEAR(X[k].im, w.im, 4e-7) << "N = " << N << ", k = " << k;
        }
    }
}

TEST_P(KnownTransforms, ImpulseAtHalfAlternatesSign) {
    for (uint32_t N : {2u, 4u, 32u, 2048u}) {
        std::vector<Complex> x(N, Complex{0, 0});
        x[N / 2] = {1, 0};
        const auto X = transform(GetParam(), x);
        for (uint32_t k = 0; k < N; ++k) {
            ASSERT_NEAR(X[k].re, k % 2 == 0 ? 1.0f : -1.0f, 1e-6) << "N = " << N << ", k = " << k;
            ASSERT_NEAR(X[k].im, 0.0f, 1e-6) << "N = " << N << ", k = " << k;
        }
    }
}

TEST_P(KnownTransforms, ConstantGoesToBinZeroOnly) {
    for (uint32_t N : {2u, 8u, 128u, 8192u}) {
        const Complex z = {0.75f, -1.25f};
        const auto X = transform(GetParam(), std::vector<Complex>(N, z));
        EXPECT_NEAR(X[0].re, N * z.re, N * 1e-6);
        EXPECT_NEAR(X[0].im, N * z.im, N * 1e-6);
        for (uint32_t k = 1; k < N; ++k) {
            ASSERT_NEAR(X[k].re, 0.0f, N * 1e-6) << "N = " << N << ", k = " << k;
            ASSERT_NEAR(X[k].im, 0.0f, N * 1e-6) << "N = " << N << ", k = " << k;
        }
    }
}

TEST_P(KnownTransforms, TimeShiftMultipliesByTheRoot) {
    // x shifted by one sample (cyclically) has X[k]·W(N, k) as its transform.
    for (uint32_t N : {16u, 1024u}) {
        const auto x = randomSignal(N, 5);
        std::vector<Complex> shifted(N);
        for (uint32_t n = 0; n < N; ++n) shifted[(n + 1) % N] = x[n];
        const Spectrum X = toSpectrum(transform(GetParam(), x));
        Spectrum expected(N);
        for (uint32_t k = 0; k < N; ++k) {
            const auto w = unitRoot(k, N);
            expected[k] = X[k] * std::complex<double>(static_cast<double>(w.real()), static_cast<double>(w.imag()));
        }
        EXPECT_LE(relativeRmsError(transform(GetParam(), shifted), expected), 2 * errorBound(N)) << "N = " << N;
    }
}

INSTANTIATE_TEST_SUITE_P(AllEntries, KnownTransforms, testing::ValuesIn(allEntries()), entryParamName);

TEST(Agreement, StridedHalfTableMatchesTheFullTableBitForBit) {
    for (unsigned bits = 0; bits <= kLargestLog2; ++bits) {
        const auto signal = randomSignal(1u << bits, 77 + bits);
        EXPECT_TRUE(sameBits(transform(0, signal), transform(1, signal))) << "N = 2^" << bits;
    }
}

TEST(Agreement, RecursiveDivisionMatchesTheStageLoopBitForBit) {
    for (unsigned bits = 0; bits <= kLargestLog2; ++bits) {
        const auto signal = randomSignal(1u << bits, 99 + bits);
        EXPECT_TRUE(sameBits(transform(3, signal), transform(4, signal))) << "N = 2^" << bits;
    }
}

TEST(Agreement, SpecialButterfliesAgreeWithTheGeneralOnes) {
    for (unsigned bits : {4u, 5u, 10u, 15u}) {
        const uint32_t N = 1u << bits;
        const auto signal = randomSignal(N, 11 + bits);
        for (auto [general, special] : {std::pair{3u, 5u}, std::pair{6u, 7u}, std::pair{8u, 9u}}) {
            const double difference = relativeRmsError(transform(special, signal), toSpectrum(transform(general, signal)));
            EXPECT_LE(difference, 2 * errorBound(N)) << "entries " << general << " and " << special << ", N = " << N;
            EXPECT_GT(difference, 0.0) << "entries " << general << " and " << special
                                       << " identical: the fixed factors are not in use, N = " << N;
        }
    }
}

}  // namespace
}  // namespace fftplug::test
