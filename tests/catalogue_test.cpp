// What a host reads before it runs anything: signature, creator string, entry
// count and the sixteen catalogue records, byte for byte.
#include <array>
#include <iterator>

#include "plugin/entries.h"
#include "test_support.h"

namespace fftplug::test {
namespace {

// The names as a reader sees them; the plug-in stores them in Shift-JIS.
const std::array<const char*, 10> kNames = {
    "時間 間引き(基数2)",
    "時間 間引き(基数2+テーブル半分)",
    "周波数 間引き(基数2)",
    "周波数 間引き(基数2+添字反転+テーブル半分)",
    "周波数 間引き(基数2+反転+半分+再帰分割)",
    "周波数 間引き(基数2+反転+半分+5バタフライ)",
    "周波数 間引き(基数4+反転+半分)",
    "周波数 間引き(基数4+反転+半分+3バタフライ)",
    "周波数 間引き(SplitRadix+反転+半分)",
    "周波数 間引き(SplitRadix+反転+半分+3バタフライ)",
};
const std::array<size_t, 10> kNameBytes = {18, 31, 20, 42, 39, 42, 30, 42, 35, 47};
const std::array<uint32_t, 16> kFlags = {1, 1, 513, 1025, 1025, 1025, 1025, 1025,
                                         1025, 1025, 1, 1, 1, 1, 1, 1};

TEST(Catalogue, SignatureAndCount) {
    EXPECT_EQ(plugin().circuitSignature(), 3);
    EXPECT_EQ(plugin().entryCount(), 10);
}

TEST(Catalogue, CreatorStringIsExactly24BytesAndReturnsItsArgument) {
    std::array<char, 64> buffer;
    buffer.fill('#');
    EXPECT_EQ(plugin().exports().getCreatorSignature(buffer.data()), buffer.data());
    EXPECT_EQ(std::string(buffer.data(), 24), std::string("SDK-C Tavelo 2000/09/27\0", 24));
    for (size_t i = 24; i < buffer.size(); ++i) ASSERT_EQ(buffer[i], '#') << "byte " << i << " written";
}

TEST(Catalogue, RecordsKeepTheHostBytesBehindEachTerminator) {
    constexpr unsigned char kMarker = 0xCD;
    std::array<unsigned char, FFTPLUG_CATALOGUE_BYTES + 16> buffer;
    buffer.fill(kMarker);
    auto* specs = reinterpret_cast<EntrySpec*>(buffer.data());
    EXPECT_EQ(plugin().exports().getEntrySpecs(specs), specs);

    for (size_t i = 0; i < 16; ++i) {
        const unsigned char* record = buffer.data() + 68 * i;
        const size_t length = i < 10 ? kNameBytes[i] : 0;
        ASSERT_EQ(record[length], 0) << "record " << i << " terminator";
        for (size_t b = 0; b < length; ++b) ASSERT_NE(record[b], 0) << "record " << i << " byte " << b;
        for (size_t b = length + 1; b < 64; ++b)
            ASSERT_EQ(record[b], kMarker) << "record " << i << " name byte " << b << " overwritten";
        uint32_t flags;
        std::memcpy(&flags, record + 64, 4);
        EXPECT_EQ(flags, kFlags[i]) << "record " << i;
        // Little-endian on the wire, whatever the host.
        EXPECT_EQ(record[64], kFlags[i] & 0xFF);
        EXPECT_EQ(record[65], kFlags[i] >> 8);
    }
    for (size_t i = FFTPLUG_CATALOGUE_BYTES; i < buffer.size(); ++i)
        ASSERT_EQ(buffer[i], kMarker) << "byte " << i << " past the catalogue written";
}

TEST(Catalogue, NamesAreTheShiftJisOfTheJapaneseNames) {
    const auto specs = plugin().rawSpecs();
    for (size_t i = 0; i < 10; ++i) {
        const std::string stored(specs[i].name);
        EXPECT_EQ(stored, utf8ToShiftJis(kNames[i])) << "entry " << i;
        EXPECT_EQ(shiftJisToUtf8(stored), kNames[i]) << "entry " << i;
    }
    // The encoding pinned down independently of any converter.
    const unsigned char entry0[] = {0x8E, 0x9E, 0x8A, 0xD4, 0x20, 0x8A, 0xD4, 0x88, 0xF8,
                                    0x82, 0xAB, 0x28, 0x8A, 0xEE, 0x90, 0x94, 0x32, 0x29};
    EXPECT_EQ(std::string(specs[0].name), std::string(reinterpret_cast<const char*>(entry0), sizeof entry0));
}

// Each row of plugin/entry_rows.txt is its record: the catalogue holds the
// row's Shift-JIS bytes and flags, and those bytes encode the name hosts show.
TEST(Catalogue, EveryRowIsItsRecord) {
    struct Row {
        const char* shiftJis;
        const char* name;
        uint32_t flags;
    };
#define FFTPLUG_TEST_ROW(context, kernel, order, shiftJis, name, gloss, label) Row{shiftJis, name, order},
    const Row rows[] = {FFTPLUG_FOR_EACH_ENTRY_ROW(FFTPLUG_TEST_ROW, )};
#undef FFTPLUG_TEST_ROW
    ASSERT_EQ(std::size(rows), size_t{FFTPLUG_ENTRY_COUNT});
    const auto specs = plugin().rawSpecs();
    for (size_t i = 0; i < std::size(rows); ++i) {
        EXPECT_EQ(std::string(specs[i].name), rows[i].shiftJis) << "entry " << i;
        EXPECT_EQ(specs[i].flags, rows[i].flags) << "entry " << i;
        EXPECT_EQ(shiftJisToUtf8(rows[i].shiftJis), rows[i].name) << "entry " << i;
    }
}

TEST(Catalogue, HostDecodesTheCatalogue) {
    const auto entries = plugin().catalogue();
    ASSERT_EQ(entries.size(), 10u);
    for (size_t i = 0; i < 10; ++i) {
        EXPECT_EQ(entries[i].name, kNames[i]);
        EXPECT_EQ(entries[i].preparesTable(), i >= 3);
        EXPECT_EQ(entries[i].naturalInput(), i == 2);
    }
}

TEST(Catalogue, NullBuffersAreReturnedUntouched) {
    EXPECT_EQ(plugin().exports().getCreatorSignature(nullptr), nullptr);
    EXPECT_EQ(plugin().exports().getEntrySpecs(nullptr), nullptr);
}

}  // namespace
}  // namespace fftplug::test
