// The host's natural order: the bit-reversal permutation (host/bit_reverse.h)
// on every vector path this machine runs, against the plain reverseBits
// permutation at every size, out of place and in place, with nothing written
// outside the array; and its C interface (host/natural_order.h): rows with
// strides, every entry's natural-order transform bit for bit as the host's
// driver gets it, plans, concurrent calls, and bad arguments refused with
// nothing written.
#include <cstdlib>
#include <thread>

#include "host/bit_reverse.h"
#include "host/natural_order.h"
#include "test_support.h"

namespace fftplug::test {
namespace {

namespace reorder = host::reorder;
using reorder::Finish;
using reorder::Path;

uint32_t bitsOf(float f) {
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}
float fromBits(uint32_t u) {
    float f;
    std::memcpy(&f, &u, sizeof f);
    return f;
}

// What the finish makes of one sample, one operation at a time.
Complex finished(Complex c, const Finish& finish) {
    if (finish.conjugate) c.im = fromBits(bitsOf(c.im) ^ 0x80000000u);
    if (finish.scale != 1.0f) {
        c.re *= finish.scale;
        c.im *= finish.scale;
    }
    return c;
}

std::vector<Complex> reversedByIndex(const std::vector<Complex>& v, const Finish& finish = {}) {
    const unsigned bits = log2Exact(v.size());
    std::vector<Complex> out(v.size());
    for (uint32_t i = 0; i < v.size(); ++i) {
        if (finish.any()) out[reverseBits(i, bits)] = finished(v[i], finish);
        else  // as bits: a float copy on the x87 stack (32-bit builds) would quiet signalling NaNs
            std::memcpy(&out[reverseBits(i, bits)], &v[i], sizeof(Complex));
    }
    return out;
}

std::string pathParamName(const testing::TestParamInfo<Path>& info) {
    std::string name = reorder::pathName(info.param);
    name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
    return name;
}

class BitReverse : public testing::TestWithParam<Path> {};

// Up to 2^22, where the destination is written past the caches.
TEST_P(BitReverse, PermutesLikeReverseBitsAtEverySizeOutOfPlaceAndInPlace) {
    for (unsigned bits = 0; bits <= 22; ++bits) {
        SCOPED_TRACE("N = 2^" + std::to_string(bits));
        const size_t n = size_t{1} << bits;
        GuardedArray src(n), dst(n);
        src.fillGarbage(bits + 1);  // NaN payloads and all: moved as bits
        dst.fillGarbage(bits + 100);
        const std::vector<Complex> signal = src.contents();
        const std::vector<Complex> expected = reversedByIndex(signal);

        reorder::bitReverse(GetParam(), src.data(), dst.data(), bits);
        EXPECT_EQ(firstDifference(dst.contents(), expected), std::nullopt);
        EXPECT_TRUE(sameBits(src.contents(), signal)) << "the source changed";
        EXPECT_EQ(dst.guardDamage("dst"), std::nullopt);

        reorder::bitReverse(GetParam(), src.data(), src.data(), bits);
        EXPECT_EQ(firstDifference(src.contents(), expected), std::nullopt) << "in place";
        EXPECT_EQ(src.guardDamage("in place"), std::nullopt);
    }
}

TEST_P(BitReverse, ConjugatesAndScalesOnTheWay) {
    for (unsigned bits : {0u, 3u, 6u, 9u, 11u, 14u, 21u}) {
        for (const Finish finish : {Finish{true, 1.0f}, Finish{true, 0.125f}, Finish{false, 3.0f}}) {
            SCOPED_TRACE("N = 2^" + std::to_string(bits) + (finish.conjugate ? ", conjugated" : "") +
                         ", scale " + std::to_string(finish.scale));
            const size_t n = size_t{1} << bits;
            const std::vector<Complex> signal = randomSignal(static_cast<uint32_t>(n), bits);
            const std::vector<Complex> expected = reversedByIndex(signal, finish);
            GuardedArray src(signal), dst(n);
            reorder::bitReverse(GetParam(), src.data(), dst.data(), bits, finish);
            EXPECT_EQ(firstDifference(dst.contents(), expected), std::nullopt);
            reorder::bitReverse(GetParam(), src.data(), src.data(), bits, finish);
            EXPECT_EQ(firstDifference(src.contents(), expected), std::nullopt) << "in place";
            EXPECT_TRUE(dst.guardsIntact() && src.guardsIntact());
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Paths, BitReverse, testing::ValuesIn(reorder::runnablePaths()), pathParamName);

// Rows of n samples inside one buffer, `stride` bytes apart (negative: the
// last row first), the bytes between them filled with a marker.
struct Rows {
    Rows(size_t n, int32_t rows, int64_t stride) : n(n), rows(rows), stride(stride) {
        const size_t span = static_cast<size_t>(std::llabs(stride)) * static_cast<size_t>(rows);
        bytes.assign(span + 64, 0xA5);
        // 4-byte aligned only, when the stride says so
        base = bytes.data() + 32 + (stride < 0 ? span - static_cast<size_t>(-stride) : 0);
    }
    Complex* row(int32_t r) { return reinterpret_cast<Complex*>(base + stride * r); }
    void set(int32_t r, const std::vector<Complex>& v) { std::memcpy(row(r), v.data(), n * sizeof(Complex)); }
    std::vector<Complex> get(int32_t r) {
        std::vector<Complex> v(n);
        std::memcpy(v.data(), row(r), n * sizeof(Complex));
        return v;
    }
    // Bytes outside the rows that lost the marker.
    size_t damage() {
        std::vector<bool> inside(bytes.size());
        for (int32_t r = 0; r < rows; ++r)
            for (size_t b = 0; b < n * sizeof(Complex); ++b)
                inside[static_cast<size_t>(reinterpret_cast<unsigned char*>(row(r)) - bytes.data()) + b] = true;
        size_t damaged = 0;
        for (size_t b = 0; b < bytes.size(); ++b) damaged += !inside[b] && bytes[b] != 0xA5;
        return damaged;
    }
    size_t n;
    int32_t rows;
    int64_t stride;
    std::vector<unsigned char> bytes;
    unsigned char* base;
};

TEST(BitReverseRows, EachRowPermutedNothingBetweenThemWritten) {
    for (unsigned bits : {0u, 5u, 10u, 13u}) {
        SCOPED_TRACE("N = 2^" + std::to_string(bits));
        const size_t n = size_t{1} << bits;
        const int32_t rows = 3;
        const int64_t rowBytes = static_cast<int64_t>(n * sizeof(Complex));
        Rows src(n, rows, rowBytes + 44), dst(n, rows, -(rowBytes + 8));
        for (int32_t r = 0; r < rows; ++r) src.set(r, randomSignal(static_cast<uint32_t>(n), 7 * bits + r));
        ASSERT_EQ(fftplugBitReverseCopyRows(src.row(0), src.stride, dst.row(0), dst.stride, static_cast<int32_t>(n), rows),
                  FFTPLUG_NATURAL_OK);
        for (int32_t r = 0; r < rows; ++r) {
            EXPECT_TRUE(sameBits(dst.get(r), reversedByIndex(src.get(r)))) << "row " << r;
            // and back again, in place
            ASSERT_EQ(fftplugBitReverseCopy(dst.row(r), dst.row(r), static_cast<int32_t>(n)), FFTPLUG_NATURAL_OK);
            EXPECT_TRUE(sameBits(dst.get(r), src.get(r))) << "row " << r << ", in place";
        }
        EXPECT_EQ(dst.damage(), 0u);
        EXPECT_EQ(src.damage(), 0u);
    }
}

// The entry's natural-order result as the host's driver gets it (input
// arranged, one runEntry call, result read in the entry's order).
std::vector<Complex> viaDriver(uint32_t index, const std::vector<Complex>& signal) {
    return transformWithEntry(plugin(), entry(index), signal);
}

class NaturalTransform : public testing::TestWithParam<uint32_t> {
   protected:
    uint32_t index() const { return GetParam(); }
    uint32_t flags() const { return entry(index()).flags; }
    FftplugRunEntry runEntry() const { return plugin().exports().runEntry; }
};

TEST_P(NaturalTransform, RowsGiveTheDriversBitsOutOfPlaceInPlaceAndThroughAPlan) {
    for (unsigned bits : {0u, 1u, 2u, 6u, 11u, 13u}) {
        SCOPED_TRACE("N = 2^" + std::to_string(bits));
        const int32_t n = int32_t{1} << bits;
        const size_t count = static_cast<size_t>(n);
        const int32_t rows = 2;
        const int64_t rowBytes = n * static_cast<int64_t>(sizeof(Complex));
        Rows src(count, rows, rowBytes + 24), dst(count, rows, rowBytes + 64), same(count, rows, -rowBytes);
        std::vector<std::vector<Complex>> signal, expected;
        for (int32_t r = 0; r < rows; ++r) {
            signal.push_back(randomSignal(static_cast<uint32_t>(n), 31 * bits + r));
            expected.push_back(viaDriver(index(), signal.back()));
            src.set(r, signal.back());
            same.set(r, signal.back());
        }
        std::vector<Complex> table = makeTwiddleTable(n);
        if (flags() & FFTPLUG_FLAG_PREPARES_TABLE) plugin().run(index(), n, nullptr, nullptr, table.data(), 0);

        ASSERT_EQ(fftplugNaturalTransform(runEntry(), index(), flags(), n, table.data(), src.row(0), src.stride,
                                          dst.row(0), dst.stride, rows, 0, 1.0f),
                  FFTPLUG_NATURAL_OK);
        ASSERT_EQ(fftplugNaturalTransform(runEntry(), index(), flags(), n, table.data(), same.row(0), same.stride,
                                          same.row(0), same.stride, rows, 0, 1.0f),
                  FFTPLUG_NATURAL_OK);
        for (int32_t r = 0; r < rows; ++r) {
            EXPECT_EQ(firstDifference(dst.get(r), expected[r]), std::nullopt) << "row " << r;
            EXPECT_EQ(firstDifference(same.get(r), expected[r]), std::nullopt) << "row " << r << ", in place";
            EXPECT_TRUE(sameBits(src.get(r), signal[r])) << "the source changed";
        }
        EXPECT_EQ(dst.damage() + same.damage() + src.damage(), 0u);

        FftplugNaturalPlan* plan = fftplugNaturalPlanCreate(runEntry(), index(), flags(), n);
        ASSERT_NE(plan, nullptr);
        EXPECT_EQ(fftplugNaturalPlanPoints(plan), n);
        EXPECT_GE(fftplugNaturalPlanBytes(plan), rowBytes);
        Rows planned(count, rows, rowBytes);
        ASSERT_EQ(fftplugNaturalPlanExecute(plan, src.row(0), src.stride, planned.row(0), planned.stride, rows, 0, 1.0f),
                  FFTPLUG_NATURAL_OK);
        fftplugNaturalPlanDestroy(plan);
        for (int32_t r = 0; r < rows; ++r)
            EXPECT_EQ(firstDifference(planned.get(r), expected[r]), std::nullopt) << "row " << r << ", plan";
    }
}

// conj(F(conj(x)))·s, the inverse transform scaled, with the conjugations
// and the scaling where the reordering does them.
TEST_P(NaturalTransform, ConjugatedAndScaledIsTheConjugateOfTheForwardTransform) {
    for (unsigned bits : {0u, 3u, 7u, 12u}) {
        SCOPED_TRACE("N = 2^" + std::to_string(bits));
        const int32_t n = int32_t{1} << bits;
        const float scale = 1.0f / static_cast<float>(n) * 3.0f;
        const std::vector<Complex> signal = randomSignal(static_cast<uint32_t>(n), 5 + bits);
        std::vector<Complex> conjugated = signal;
        for (Complex& c : conjugated) c = finished(c, {true, 1.0f});
        std::vector<Complex> expected = viaDriver(index(), conjugated);
        for (Complex& c : expected) c = finished(c, {true, scale});

        FftplugNaturalPlan* plan = fftplugNaturalPlanCreate(runEntry(), index(), flags(), n);
        ASSERT_NE(plan, nullptr);
        GuardedArray src(signal), dst(static_cast<size_t>(n));
        ASSERT_EQ(fftplugNaturalPlanExecute(plan, src.data(), 0, dst.data(), 0, 1, FFTPLUG_NATURAL_CONJUGATE, scale),
                  FFTPLUG_NATURAL_OK);
        EXPECT_EQ(firstDifference(dst.contents(), expected), std::nullopt);
        ASSERT_EQ(fftplugNaturalPlanExecute(plan, src.data(), 0, src.data(), 0, 1, FFTPLUG_NATURAL_CONJUGATE, scale),
                  FFTPLUG_NATURAL_OK);
        EXPECT_EQ(firstDifference(src.contents(), expected), std::nullopt) << "in place";
        EXPECT_TRUE(src.guardsIntact() && dst.guardsIntact());
        fftplugNaturalPlanDestroy(plan);
    }
}

INSTANTIATE_TEST_SUITE_P(Entries, NaturalTransform, testing::ValuesIn(allEntries()), entryParamName);

TEST(NaturalPlan, RunsOnSeveralThreadsAtOnce) {
    const int32_t n = 1 << 12, rows = 16;
    FftplugNaturalPlan* plan = fftplugNaturalPlanCreate(plugin().exports().runEntry, 7, entry(7).flags, n);
    ASSERT_NE(plan, nullptr);
    std::vector<std::vector<Complex>> signal, expected, result(rows, std::vector<Complex>(n));
    for (int32_t r = 0; r < rows; ++r) {
        signal.push_back(randomSignal(n, 900 + r));
        expected.push_back(viaDriver(7, signal.back()));
    }
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int repeat = 0; repeat < 20; ++repeat)
                for (int32_t r = t; r < rows; r += 4)
                    fftplugNaturalPlanExecute(plan, signal[r].data(), 0, result[r].data(), 0, 1, 0, 1.0f);
        });
    for (std::thread& thread : threads) thread.join();
    fftplugNaturalPlanDestroy(plan);
    for (int32_t r = 0; r < rows; ++r) EXPECT_TRUE(sameBits(result[r], expected[r])) << "row " << r;
}

TEST(NaturalOrderArguments, RefusedWithNothingWritten) {
    const int32_t n = 64;
    const FftplugRunEntry run = plugin().exports().runEntry;
    std::vector<Complex> table = makeTwiddleTable(n);
    GuardedArray src(randomSignal(2 * n, 1)), dst(2 * n);
    dst.fillGarbage(2);
    const std::vector<Complex> before = dst.contents();
    Complex* s = src.data();
    Complex* d = dst.data();
    const int64_t row = n * 8;
    const auto transform = [&](FftplugRunEntry entryRun, int32_t points, Complex* t, const void* from, int64_t fromStride,
                               void* to, int64_t toStride, int32_t rows, int32_t options) {
        return fftplugNaturalTransform(entryRun, 7, entry(7).flags, points, t, from, fromStride, to, toStride, rows,
                                       options, 1.0f);
    };
    struct Case {
        const char* what;
        int32_t result;
    };
    const Case cases[] = {
        {"N = 0", fftplugBitReverseCopy(s, d, 0)},
        {"N = 3", fftplugBitReverseCopy(s, d, 3)},
        {"N = -64", fftplugBitReverseCopy(s, d, -64)},
        {"N = 2^29", fftplugBitReverseCopy(s, d, 1 << 29)},
        {"null source", fftplugBitReverseCopy(nullptr, d, n)},
        {"null destination", fftplugBitReverseCopy(s, nullptr, n)},
        {"partly overlapping", fftplugBitReverseCopy(d + 1, d, n)},
        {"negative rows", fftplugBitReverseCopyRows(s, row, d, row, n, -1)},
        {"rows overlapping each other", fftplugBitReverseCopyRows(s, row, d, row / 2, n, 2)},
        {"in place with another stride", fftplugBitReverseCopyRows(d, row, d, -row, n, 2)},
        {"null runEntry", transform(nullptr, n, table.data(), s, 0, d, 0, 1, 0)},
        {"null table", transform(run, n, nullptr, s, 0, d, 0, 1, 0)},
        {"N = 48", transform(run, 48, table.data(), s, 0, d, 0, 1, 0)},
        {"unknown option", transform(run, n, table.data(), s, 0, d, 0, 1, 2)},
        {"rows overlapping the destination", transform(run, n, table.data(), d + n / 2, row, d, row, 2, 0)},
        {"null plan", fftplugNaturalPlanExecute(nullptr, s, 0, d, 0, 1, 0, 1.0f)},
    };
    for (const Case& c : cases) EXPECT_EQ(c.result, FFTPLUG_NATURAL_BAD_ARGUMENT) << c.what;
    EXPECT_TRUE(sameBits(dst.contents(), before)) << "a refused call wrote";
    EXPECT_TRUE(dst.guardsIntact());

    // no rows: nothing to do, with any pointers
    EXPECT_EQ(fftplugBitReverseCopyRows(nullptr, 0, nullptr, 0, n, 0), FFTPLUG_NATURAL_OK);
    EXPECT_EQ(fftplugNaturalPlanCreate(run, 7, entry(7).flags, 3), nullptr);
    EXPECT_EQ(fftplugNaturalPlanCreate(nullptr, 7, entry(7).flags, n), nullptr);
    EXPECT_EQ(fftplugNaturalPlanPoints(nullptr), 0);
    fftplugNaturalPlanDestroy(nullptr);
}

}  // namespace
}  // namespace fftplug::test
