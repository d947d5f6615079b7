// The command-line vocabulary of fftbench: sizes, entries, catalogue
// selection, and the words for names and flags.
#include <gtest/gtest.h>

#include "cli/arguments.h"
#include "render/sizes.h"
#include "subject/names.h"

using namespace fftbench;
using fftplug::host::CatalogueEntry;

namespace {

std::vector<uint32_t> powers(unsigned from, unsigned to) {
    std::vector<uint32_t> out;
    for (unsigned e = from; e <= to; ++e) out.push_back(uint32_t{1} << e);
    return out;
}

CatalogueEntry entryNamed(uint32_t index, const std::string& name, uint32_t flags) {
    CatalogueEntry entry;
    entry.index = index;
    entry.name = entry.rawName = name;
    entry.flags = flags;
    return entry;
}

}  // namespace

TEST(ParseSizes, RangesOfPowersOfTwo) {
    EXPECT_EQ(parseSizes("2^1..2^20"), powers(1, 20));
    EXPECT_EQ(parseSizes("2^0..2^0"), powers(0, 0));
    EXPECT_EQ(parseSizes("16..256"), powers(4, 8));
    EXPECT_EQ(parseSizes("4..2^5"), powers(2, 5));
}

TEST(ParseSizes, ListsAndPlainNumbersSortedWithoutRepeats) {
    EXPECT_EQ(parseSizes("1024,64, 2^6,1"), (std::vector<uint32_t>{1, 64, 1024}));
    EXPECT_EQ(parseSizes("2^10,2^2..2^4"), (std::vector<uint32_t>{4, 8, 16, 1024}));
    EXPECT_EQ(parseSizes(" 8 "), (std::vector<uint32_t>{8}));
    EXPECT_EQ(parseSizes("2^24"), (std::vector<uint32_t>{uint32_t{1} << 24}));
}

TEST(ParseSizes, RejectsWhatIsNotAPowerOfTwo) {
    for (const char* bad : {"", "0", "3", "100", "2^", "2^x", "x", "2^1..", "..8", "2^5..2^3", "8,,16", "2^25",
                            "33554432", "-4", "2^-1", "1e3", "4096.0", "9999999999"}) {
        EXPECT_THROW(parseSizes(bad), UsageError) << "'" << bad << "'";
    }
}

TEST(ParseSizes, ErrorsNameTheOffendingItem) {
    try {
        parseSizes("64,96,128");
        FAIL() << "96 accepted";
    } catch (const UsageError& error) {
        EXPECT_NE(std::string(error.what()).find("96 is not a power of two"), std::string::npos) << error.what();
    }
}

// The message of a usage error, empty when none is thrown.
template <typename F>
std::string usageMessage(F call) {
    try {
        call();
    } catch (const UsageError& error) {
        return error.what();
    }
    return {};
}

TEST(ParseSizes, ErrorsNameTheOptionGiven) {
    EXPECT_EQ(usageMessage([] { parseSizes("2^3,12", "--bench-sizes"); }), "--bench-sizes '2^3,12': 12 is not a power of two");
    EXPECT_EQ(usageMessage([] { parseSizes("", "--verify-sizes"); }), "--verify-sizes: the list is empty");
}

// One size between two bounds, one message for every command that takes one
// (trace's --size, report's --trace-size and --graph-size, draw's --size).
TEST(ParseOneSize, OneSizeWithinTheBounds) {
    EXPECT_EQ(parseOneSize("--size", "2^20", 2, uint32_t{1} << 20, "trace takes"), uint32_t{1} << 20);
    EXPECT_EQ(parseOneSize("--size", "2", 2, 64, "draw takes"), 2u);
    EXPECT_EQ(usageMessage([] { parseOneSize("--size", "2^21", 2, uint32_t{1} << 20, "trace takes"); }),
              "--size 2^21: trace takes N from 2 to 2^20");
    EXPECT_EQ(usageMessage([] { parseOneSize("--size", "1", 2, 64, "draw takes"); }), "--size 1: draw takes N from 2 to 64");
    EXPECT_EQ(usageMessage([] { parseOneSize("--trace-size", "2^4..2^6", 2, 1024, "the access maps take"); }),
              "--trace-size 2^4..2^6: the access maps take one size");
    EXPECT_EQ(usageMessage([] { parseOneSize("--graph-size", "3", 2, 64, "the graphs take"); }),
              "--graph-size '3': 3 is not a power of two");
}

TEST(ParsePlotPath, SvgOrPngByTheName) {
    EXPECT_FALSE(parsePlotPath("--plot", "").has_value());
    EXPECT_EQ(parsePlotPath("--plot", "out/a.SVG"), PlotFormat::svg);
    EXPECT_EQ(parsePlotPath("--plot", "a.png"), PlotFormat::png);
    EXPECT_EQ(usageMessage([] { parsePlotPath("--plot", "a.pdf"); }), "--plot a.pdf: the file name must end in .svg or .png");
}

TEST(ParseEntries, ListsRangesAndAll) {
    EXPECT_EQ(parseEntries("0,3-9"), (std::vector<uint32_t>{0, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(parseEntries("7, 2 , 2-3"), (std::vector<uint32_t>{2, 3, 7}));
    EXPECT_EQ(parseEntries("5-5"), (std::vector<uint32_t>{5}));
    EXPECT_FALSE(parseEntries("all").has_value());
}

TEST(ParseEntries, RejectsMalformedLists) {
    for (const char* bad : {"", "a", "1,", ",1", "3-", "-3", "9-3", "1-2-3", "1.5", "0x3", "1000", "0-1000"})
        EXPECT_THROW(parseEntries(bad), UsageError) << "'" << bad << "'";
}

TEST(SelectEntries, PicksFromTheCatalogueAndRejectsMissingIndices) {
    const std::vector<CatalogueEntry> catalogue{entryNamed(0, "a", 1), entryNamed(1, "b", 0x201),
                                                entryNamed(2, "c", 0x401)};
    EXPECT_EQ(selectEntries(catalogue, std::nullopt).size(), 3u);
    const auto chosen = selectEntries(catalogue, std::vector<uint32_t>{0, 2});
    ASSERT_EQ(chosen.size(), 2u);
    EXPECT_EQ(chosen[1].name, "c");
    try {
        selectEntries(catalogue, std::vector<uint32_t>{1, 3});
        FAIL() << "entry 3 accepted";
    } catch (const UsageError& error) {
        EXPECT_EQ(std::string(error.what()), "entry 3 is not in the catalogue (entries 0 to 2)");
    }
    EXPECT_THROW(selectEntries({}, std::vector<uint32_t>{0}), UsageError);
}

TEST(DescribeSizes, ContiguousRangesAndLists) {
    EXPECT_EQ(describeSizes(powers(0, 16)), "2^0..2^16 (17 sizes)");
    EXPECT_EQ(describeSizes({8}), "2^3 (1 size)");
    EXPECT_EQ(describeSizes({8, 32}), "2^3, 2^5 (2 sizes)");
    EXPECT_EQ(describeSizes({2, 32, 64, 128, 1u << 20}), "2^1, 2^5..2^7, 2^20 (5 sizes)");
}

TEST(Glossary, EnglishForFftplugNamesOnly) {
    EXPECT_EQ(englishGloss("時間 間引き(基数2)"), "decimation in time (radix 2)");
    EXPECT_EQ(englishGloss("周波数 間引き(SplitRadix+反転+半分+3バタフライ)"),
              "decimation in frequency (split radix + reversal + half + 3 butterflies)");
    EXPECT_FALSE(englishGloss("時間 間引き").has_value());
    EXPECT_FALSE(englishGloss("").has_value());
    EXPECT_EQ(shortLabel(entryNamed(6, "周波数 間引き(基数4+反転+半分)", 0x401)), "6 DIF r4");
    EXPECT_EQ(shortLabel(entryNamed(1, "something else", 1)), "entry 1");
}

TEST(Glossary, UndecodableNamesShownAsBytes) {
    CatalogueEntry entry;
    entry.rawName = "\x8E\xFF";
    EXPECT_EQ(displayName(entry), "(not Shift-JIS: 8E FF)");
}

TEST(FlagMeanings, EachBitInWords) {
    EXPECT_EQ(flagMeanings(0x001), (std::vector<std::string>{"bit-reversed input and natural output"}));
    EXPECT_EQ(flagMeanings(0x201), (std::vector<std::string>{"natural input and bit-reversed output"}));
    EXPECT_EQ(flagMeanings(0x401),
              (std::vector<std::string>{"prepares the table", "bit-reversed input and natural output"}));
    EXPECT_EQ(flagMeanings(0x1801),
              (std::vector<std::string>{"bit-reversed input and natural output", "unknown bits 0x1800"}));
    EXPECT_EQ(flagMeanings(0x000),
              (std::vector<std::string>{"bit-reversed input and natural output", "entry bit 0x001 missing"}));
}
