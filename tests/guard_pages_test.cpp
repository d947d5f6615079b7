// Every call with its arrays against inaccessible pages, on every build of
// the plug-in: the samples a call may touch sit flush against pages that
// fault on any access (first on one side, then on the other), input and
// table are read-only, and the table entries an entry never reads are made
// inaccessible too. A stray access ends the test with a line that names the
// call, the array and the sample.
#include <climits>

#include "test_support.h"

namespace fftplug::test {
namespace {

using Flush = PageGuardedArray::Flush;
using Access = PageGuardedArray::Access;

struct Range {
    uint32_t begin, end;
};

// The span of table entries a transform of entry `index` reads. (The odd
// entries from N/4 on, which radix 4 and split radix skip, lie inside it.)
Range tableReads(uint32_t index, uint32_t N) {
    if (N < 2) return {0, 0};
    switch (index) {
        case 0:
        case 2: return {1, N};
        case 1: return {N / 2, N};
        case 3:
        case 4: return {0, N / 2};
        case 5: return N <= 8 ? Range{0, 0} : Range{4, N / 2};
        case 6:
        case 8: return N < 4 ? Range{0, 0} : Range{0, N / 2 - 1};
        case 7:
        case 9: return N <= 8 ? Range{0, 0} : Range{2, N / 2 - 1};
    }
    return {0, 0};
}

std::string describe(const std::string& variantName, uint32_t index, int64_t N, Flush flush, const char* call) {
    return variantName + ": entry " + std::to_string(index) + ", N = " + std::to_string(N) + ", " + call +
           (flush == Flush::start ? ", arrays starting right after a guard page" : ", arrays ending right before a guard page");
}

class GuardPages : public testing::TestWithParam<std::string> {
   protected:
    void SetUp() override { installPageFaultReport(); }
    const PluginLibrary& library() const { return variant(GetParam()); }
};

TEST_P(GuardPages, EveryEntryAtEverySizeTouchesOnlyWhatItMay) {
    for (uint32_t index : allEntries()) {
        for (unsigned bits = 0; bits <= 16; ++bits) {
            const uint32_t N = 1u << bits;
            const int32_t n = static_cast<int32_t>(N);
            // The expected result: the dispatching library on ordinary memory.
            EntryArrays plain = arrangeForEntry(plugin(), entry(index), randomSignal(N, 11 * N + index));
            plugin().run(index, n, plain.input.data(), plain.work.data(), plain.table.data(), 1);

            for (Flush flush : {Flush::start, Flush::end}) {
                std::vector<Complex> table = makeTwiddleTable(n);
                if (entry(index).preparesTable()) {
                    // The preparation touches the table alone: input and
                    // work are wholly inaccessible.
                    PageGuardedArray whole("table", N, flush);
                    PageGuardedArray input("input", N, 0, 0, flush), work("work", N, 0, 0, flush);
                    whole.assign(table);
                    setPageFaultContext(describe(GetParam(), index, N, flush, "preparation"));
                    library().run(index, n, input.data(), work.data(), whole.data(), 0);
                    table = whole.contents();
                    ASSERT_TRUE(sameBits(table, plain.table)) << describe(GetParam(), index, N, flush, "preparation");
                }

                const Range reads = tableReads(index, N);
                PageGuardedArray input("input", N, flush), work("work", N, flush);
                PageGuardedArray guardedTable("table", N, reads.begin, reads.end, flush);
                input.assign(plain.input);
                input.setAccess(Access::readOnly);
                guardedTable.assign(table);
                guardedTable.setAccess(Access::readOnly);
                setPageFaultContext(describe(GetParam(), index, N, flush, "transform"));
                library().run(index, n, input.data(), work.data(), guardedTable.data(), 2);
                ASSERT_TRUE(sameBits(work.contents(), plain.work)) << describe(GetParam(), index, N, flush, "transform");

                // In place: input and work the same array.
                setPageFaultContext(describe(GetParam(), index, N, flush, "in-place transform"));
                work.assign(plain.input);
                library().run(index, n, work.data(), work.data(), guardedTable.data(), 3);
                ASSERT_TRUE(sameBits(work.contents(), plain.work))
                    << describe(GetParam(), index, N, flush, "in-place transform");
            }
        }
    }
}

TEST_P(GuardPages, CallsThatDoNothingTouchNothing) {
    const int32_t N = 64;
    for (Flush flush : {Flush::start, Flush::end}) {
        // Arrays with no accessible sample at all: any touch faults.
        PageGuardedArray input("input", N, 0, 0, flush), work("work", N, 0, 0, flush), table("table", N, 0, 0, flush);
        for (uint32_t index : {0u, 1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u, 9u, 10u, 15u, 16u, 0x80000000u, UINT32_MAX}) {
            auto run = [&](int32_t size, const Complex* in, Complex* out, Complex* factors, int32_t reps,
                           const char* call) {
                setPageFaultContext(describe(GetParam(), index, size, flush, call) + ", reps " + std::to_string(reps));
                library().run(index, size, in, out, factors, reps);
            };
            for (int32_t reps : {-1, -7, INT_MIN}) run(N, input.data(), work.data(), table.data(), reps, "negative reps");
            for (int32_t size : {0, -1, -64, 3, 6, 100, INT_MIN, INT_MAX})
                for (int32_t reps : {0, 1, 2}) run(size, input.data(), work.data(), table.data(), reps, "invalid N");
            run(N, nullptr, work.data(), table.data(), 1, "null input");
            run(N, input.data(), nullptr, table.data(), 1, "null work");
            run(N, input.data(), work.data(), nullptr, 1, "null table");
            run(N, input.data(), work.data(), nullptr, 0, "preparation without a table");
            if (index <= 2 || index >= 10) run(N, input.data(), work.data(), table.data(), 0, "no preparation");
            if (index >= 10) run(N, input.data(), work.data(), table.data(), 1, "no such entry");
            if (sizeof(void*) == 4) run(1 << 29, input.data(), work.data(), table.data(), 1, "arrays beyond 4 GiB");
        }

        // Overlapping arrays, all inside one inaccessible array.
        PageGuardedArray shared("shared", 4 * N, 0, 0, flush);
        Complex* base = shared.data();
        Complex* halfSample = reinterpret_cast<Complex*>(reinterpret_cast<unsigned char*>(base) + 4);
        for (uint32_t index : allEntries()) {
            auto run = [&](const Complex* in, Complex* out, Complex* factors, const char* call) {
                setPageFaultContext(describe(GetParam(), index, N, flush, call));
                library().run(index, N, in, out, factors, 1);
            };
            run(base, base + 1, base + 2 * N, "work one sample after input");
            run(base + N - 1, base, base + 2 * N, "work ending one sample into input");
            run(base, halfSample, base + 2 * N, "work half a sample after input");
            run(base, base + N, base + N / 2, "table over input and work");
            run(base, base + N, base, "table on input");
            run(base, base + N, base + N + 5, "table inside work");
            run(base, base, base + N / 2, "in place with the table overlapping");
            run(base + 2 * N, base, base + 2 * N - 1, "table ending one sample into input");
        }
    }
}

TEST_P(GuardPages, SignatureAndCatalogueStayInTheirBuffers) {
    const Exports& exports = library().exports();
    std::vector<unsigned char> creator(FFTPLUG_CREATOR_BYTES), specs(sizeof(EntrySpec) * FFTPLUG_CATALOGUE_RECORDS);
    plugin().exports().getCreatorSignature(reinterpret_cast<char*>(creator.data()));
    plugin().exports().getEntrySpecs(reinterpret_cast<EntrySpec*>(specs.data()));
    static_assert(FFTPLUG_CREATOR_BYTES % sizeof(Complex) == 0 && sizeof(EntrySpec) * FFTPLUG_CATALOGUE_RECORDS % sizeof(Complex) == 0, "");
    for (Flush flush : {Flush::start, Flush::end}) {
        setPageFaultContext(GetParam() + ": getCreatorSignature");
        PageGuardedArray creatorBuffer("creator", FFTPLUG_CREATOR_BYTES / sizeof(Complex), flush);
        char* text = reinterpret_cast<char*>(creatorBuffer.data());
        EXPECT_EQ(exports.getCreatorSignature(text), text);
        EXPECT_EQ(std::memcmp(text, creator.data(), creator.size()), 0);
        EXPECT_EQ(exports.getCreatorSignature(nullptr), nullptr);

        setPageFaultContext(GetParam() + ": getEntrySpecs");
        PageGuardedArray specBuffer("specs", specs.size() / sizeof(Complex), flush);
        auto* records = reinterpret_cast<EntrySpec*>(specBuffer.data());
        EXPECT_EQ(exports.getEntrySpecs(records), records);
        EXPECT_EQ(std::memcmp(records, specs.data(), specs.size()), 0);
        EXPECT_EQ(exports.getEntrySpecs(nullptr), nullptr);
    }
}

INSTANTIATE_TEST_SUITE_P(AllVariants, GuardPages, testing::ValuesIn(variantNames()), variantParamName);

// Every fixed-path build made by this build tree is found beside the
// dispatching library, so that none is left out of the comparisons.
TEST(Variants, EveryBuiltVariantIsCompared) {
    const std::vector<std::string> found = variantNames();
    for (const std::string& name : builtPaths()) {
        if (!cpuRunsPath(name)) continue;
        EXPECT_NE(std::find(found.begin(), found.end(), name), found.end()) << "fftplug-" << name << " not found";
    }
}

}  // namespace
}  // namespace fftplug::test
