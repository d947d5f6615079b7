// fftbench verify against the real plug-in, against plug-ins with one fault
// each, and the sensitivity of its error bound.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "host/guarded_array.h"
#include "host/bit_reversal.h"
#include "host/driver.h"
#include "host/reference.h"
#include "host/twiddle.h"
#include "check/entry_checks.h"
#include "check/verify_run.h"
#include "render/verify_text.h"

using namespace fftbench;
using namespace fftplug::host;
using fftplug::host::CatalogueEntry;
using fftplug::host::PluginLibrary;

namespace {

PluginLibrary openBeside(const std::string& base) {
    return PluginLibrary::open(fftplug::host::executableDirectory() + fftplug::host::platformLibraryName(base));
}

std::vector<Check> failedChecks(const SizeVerdict& verdict) {
    std::vector<Check> failed;
    for (const Check check : kChecks)
        if (!verdict[check].passed) failed.push_back(check);
    return failed;
}

}  // namespace

TEST(GuardedArray, SamplesAlignedAndGuardsIntactUntilTouched) {
    GuardedArray array(16);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(array.data()) % GuardedArray::kAlignment, 0u);
    array.fillGarbage(7);
    for (size_t i = 0; i < array.size(); ++i) array[i] = Complex{float(i), -float(i)};
    EXPECT_FALSE(array.guardDamage("work").has_value());
    EXPECT_EQ(array.contents()[5].im, -5.0f);
}

TEST(GuardedArray, ReportsAWriteJustPastTheEnd) {
    GuardedArray array(8);
    array.data()[8] = Complex{1, 2};  // the first sample after the array lies in the guard
    const auto damage = array.guardDamage("work");
    ASSERT_TRUE(damage.has_value());
    EXPECT_NE(damage->find("after the end of work"), std::string::npos) << *damage;
    EXPECT_NE(damage->find("byte +0"), std::string::npos) << *damage;
    array.restoreGuards();
    EXPECT_FALSE(array.guardDamage("work").has_value());
}

TEST(GuardedArray, ReportsAWriteJustBeforeTheStart) {
    GuardedArray array(8);
    reinterpret_cast<unsigned char*>(array.data())[-1] ^= 0xFF;
    const auto damage = array.guardDamage("input");
    ASSERT_TRUE(damage.has_value());
    EXPECT_NE(damage->find("1 byte before the start of input"), std::string::npos) << *damage;
    EXPECT_NE(damage->find("byte -1"), std::string::npos) << *damage;
}

TEST(GuardedArray, GarbageIncludesNaNs) {
    GuardedArray array(64);
    array.fillGarbage(3);
    size_t nans = 0;
    for (size_t i = 0; i < array.size(); ++i) nans += std::isnan(array[i].re) ? 1 : 0;
    EXPECT_GE(nans, 8u);
}

TEST(SameBits, ComparesBitsNotValues) {
    const float nan = std::nanf("");
    EXPECT_TRUE(sameBits({Complex{nan, 0}}, {Complex{nan, 0}}));
    EXPECT_FALSE(sameBits({Complex{0.0f, 0}}, {Complex{-0.0f, 0}}));
    EXPECT_EQ(firstDifference({Complex{1, 1}, Complex{2, 2}, Complex{3, 3}}, {Complex{1, 1}, Complex{2, 2}, Complex{3, 4}}), 2u);
    EXPECT_EQ(firstDifference({Complex{1, 1}, Complex{2, 2}}, {Complex{0, 1}, Complex{2, 2}}, 1), std::nullopt);
}

TEST(ErrorBound, GrowsWithTheSquareRootOfTheStages) {
    EXPECT_DOUBLE_EQ(errorBound(1), kErrorBoundScale);
    EXPECT_DOUBLE_EQ(errorBound(8), kErrorBoundScale * 2);
    EXPECT_DOUBLE_EQ(errorBound(1u << 15), kErrorBoundScale * 4);
}

TEST(VerifyFftplug, EveryEntryPassesEveryCheck) {
    const PluginLibrary plugin = openBeside("fftplug");
    const auto catalogue = plugin.catalogue();
    ASSERT_EQ(catalogue.size(), 10u);
    const VerifyReport report = verifyPlugin(plugin, catalogue, {1, 2, 4, 8, 64, 1024, 4096}, 5);
    for (const EntryVerdict& entry : report.entries)
        for (const SizeVerdict& size : entry.sizes)
            for (const Check check : kChecks)
                EXPECT_TRUE(size[check].passed) << "entry " << entry.entry.index << " N " << size.N << " "
                                                << checkName(check) << ": " << size[check].detail;
    EXPECT_TRUE(report.passed());
}

TEST(VerifyBroken, WrongSignFailsAccuracyImpulseAndShiftOfEntryOneOnly) {
    const PluginLibrary plugin = openBeside("fftplug_broken_sign");
    const auto catalogue = plugin.catalogue();
    ASSERT_EQ(catalogue.size(), 2u);
    const SizeVerdict good = verifyEntryAt(plugin, catalogue[0], 64, 1);
    EXPECT_TRUE(good.passed());
    const SizeVerdict bad = verifyEntryAt(plugin, catalogue[1], 64, 1);
    // The inverse transform is linear and keeps the protocol; its spectrum is the mirror image.
    EXPECT_EQ(failedChecks(bad), (std::vector<Check>{Check::accuracy, Check::impulse, Check::shift}));
    EXPECT_NE(bad[Check::accuracy].detail.find("exceeds the bound"), std::string::npos) << bad[Check::accuracy].detail;
    EXPECT_GT(bad.error, 1.0);
    // N = 1 and 2: the inverse and the forward transform agree there.
    EXPECT_TRUE(verifyEntryAt(plugin, catalogue[1], 2, 1).passed());
}

TEST(VerifyBroken, OverrunFailsBoundsNamingWork) {
    const PluginLibrary plugin = openBeside("fftplug_broken_overrun");
    const auto catalogue = plugin.catalogue();
    ASSERT_EQ(catalogue.size(), 2u);
    EXPECT_TRUE(verifyEntryAt(plugin, catalogue[0], 16, 1).passed());
    for (const uint32_t N : {1u, 16u, 256u}) {
        const SizeVerdict bad = verifyEntryAt(plugin, catalogue[1], N, 1);
        EXPECT_EQ(failedChecks(bad), std::vector<Check>{Check::bounds}) << "N " << N;
        EXPECT_NE(bad[Check::bounds].detail.find("8 bytes after the end of work changed (the first at byte +0)"),
                  std::string::npos)
            << bad[Check::bounds].detail;
    }
}

TEST(VerifyBroken, IgnoringTheRepeatCountFailsProtocol) {
    const PluginLibrary plugin = openBeside("fftplug_broken_protocol");
    const auto catalogue = plugin.catalogue();
    ASSERT_EQ(catalogue.size(), 2u);
    EXPECT_TRUE(verifyEntryAt(plugin, catalogue[0], 32, 1).passed());
    const SizeVerdict bad = verifyEntryAt(plugin, catalogue[1], 32, 1);
    EXPECT_EQ(failedChecks(bad), std::vector<Check>{Check::protocol});
    // The first call it gets wrong is reps = -1, which must change nothing.
    EXPECT_EQ(bad[Check::protocol].detail.rfind("reps = -1 changed work[", 0), 0u) << bad[Check::protocol].detail;
}

TEST(VerifyBroken, TransformingRepeatedlyFailsProtocolAtThreeRepetitions) {
    const PluginLibrary plugin = openBeside("fftplug_broken_repeats");
    const auto catalogue = plugin.catalogue();
    ASSERT_EQ(catalogue.size(), 2u);
    // Negative and zero counts are right, and reps = 1 gives the transform.
    const SizeVerdict bad = verifyEntryAt(plugin, catalogue[1], 16, 1);
    EXPECT_EQ(failedChecks(bad), std::vector<Check>{Check::protocol});
    EXPECT_EQ(bad[Check::protocol].detail.rfind("reps = 3 left other bits than reps = 1", 0), 0u)
        << bad[Check::protocol].detail;
    // At N = 1 the transform is the identity, so repeating it changes nothing.
    EXPECT_TRUE(verifyEntryAt(plugin, catalogue[1], 1, 1).passed());
}

TEST(VerifyBroken, ReportNamesEntryAndCheck) {
    const PluginLibrary plugin = openBeside("fftplug_broken_sign");
    const VerifyReport report = verifyPlugin(plugin, plugin.catalogue(), {8, 16}, 1);
    EXPECT_FALSE(report.passed());
    EXPECT_TRUE(report.entries[0].passed());
    EXPECT_FALSE(report.entries[1].passed(Check::accuracy));
    EXPECT_TRUE(report.entries[1].passed(Check::linearity));

    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    printVerifyReport(out, report, false);
    std::rewind(out);
    std::string text;
    for (int c; (c = std::fgetc(out)) != EOF;) text += static_cast<char>(c);
    std::fclose(out);
    EXPECT_NE(text.find("entry 1: accuracy FAIL at 2 of 2 sizes; at N = 2^3: relative RMS error"), std::string::npos)
        << text;
    EXPECT_NE(text.find("FAIL: 1 of 2 entries failed"), std::string::npos) << text;
}

// The bound is tight enough to catch one twiddle factor replaced by its
// neighbour, W(N, 1) read as W(N, 2), in every entry up to 2^12 points.
TEST(ErrorBound, CatchesOneWrongTwiddle) {
    const PluginLibrary plugin = openBeside("fftplug");
    for (const CatalogueEntry& entry : plugin.catalogue()) {
        for (uint32_t N = 16; N <= 4096; N *= 2) {
            const auto signal = fftplug::host::randomSignal(N, N + entry.index);
            auto table = fftplug::host::makeTwiddleTable(static_cast<int32_t>(N));
            table[N / 2 + 1] = fftplug::host::twiddle(2, N);
            std::vector<Complex> input = entry.naturalInput() ? signal : fftplug::host::bitReversed(signal);
            std::vector<Complex> work(N);
            if (entry.preparesTable()) plugin.run(entry.index, N, input.data(), work.data(), table.data(), 0);
            plugin.run(entry.index, N, input.data(), work.data(), table.data(), 1);
            const double error = fftplug::host::relativeRmsError(
                fftplug::host::naturalOrderResult(entry, work),
                fftplug::host::referenceTransform(fftplug::host::toSpectrum(signal)));
            EXPECT_GT(error, errorBound(N)) << "entry " << entry.index << " N " << N;
        }
    }
}
