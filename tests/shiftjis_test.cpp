// The host's Shift-JIS conversions: the catalogue names decode, and fail to
// decode, the same way with iconv on Linux and with code page 932 on Windows.
#include <gtest/gtest.h>

#include <string>

#include "host/shiftjis.h"

namespace {

using fftplug::host::EncodingError;
using fftplug::host::shiftJisToUtf8;
using fftplug::host::utf8ToShiftJis;

std::string bytes(std::initializer_list<unsigned> values) {
    std::string out;
    for (unsigned v : values) out.push_back(static_cast<char>(v));
    return out;
}

TEST(ShiftJis, DecodesSingleAndDoubleByteCharacters) {
    EXPECT_EQ(shiftJisToUtf8(""), "");
    EXPECT_EQ(shiftJisToUtf8("SplitRadix+(2)"), "SplitRadix+(2)");
    // 0x5C and 0x7E are the ASCII characters in code page 932, not yen and overline.
    EXPECT_EQ(shiftJisToUtf8("\\~"), "\\~");
    EXPECT_EQ(shiftJisToUtf8(bytes({0x8E, 0x9E, 0x8A, 0xD4})), "時間");
    EXPECT_EQ(shiftJisToUtf8(bytes({0x83, 0x65, 0x81, 0x5B, 0x83, 0x75, 0x83, 0x8B})), "テーブル");
    EXPECT_EQ(shiftJisToUtf8(bytes({0xB1})), "\uFF71");  // half-width katakana
    EXPECT_EQ(shiftJisToUtf8(bytes({0x81, 0x5C})), "\u2015");
    EXPECT_EQ(shiftJisToUtf8(bytes({0x81, 0x60})), "\uFF5E");
    // The NEC and IBM extension rows of code page 932.
    EXPECT_EQ(shiftJisToUtf8(bytes({0x87, 0x90})), "\u2252");
    EXPECT_EQ(shiftJisToUtf8(bytes({0xED, 0x40})), "\u7E8A");
    EXPECT_EQ(shiftJisToUtf8(bytes({0xFA, 0x5C})), "\u7E8A");
    EXPECT_EQ(shiftJisToUtf8(bytes({0xF0, 0x40})), "\uE000");  // user-defined area
}

TEST(ShiftJis, RejectsBytesShiftJisLeavesUndefined) {
    // Code page 932 on Windows (and Wine) gives these single bytes a meaning;
    // the host must not, or Linux and Windows would disagree on a name.
    for (unsigned b : {0x80u, 0xA0u, 0xFDu, 0xFEu, 0xFFu}) {
        EXPECT_THROW(shiftJisToUtf8(bytes({b})), EncodingError) << std::hex << b;
        EXPECT_THROW(shiftJisToUtf8(bytes({0x41, b, 0x41})), EncodingError) << std::hex << b;
    }
    // 0x80 as a trail byte is fine.
    EXPECT_NO_THROW(shiftJisToUtf8(bytes({0x81, 0x80})));
}

TEST(ShiftJis, RejectsMalformedDoubleByteSequences) {
    EXPECT_THROW(shiftJisToUtf8(bytes({0x82})), EncodingError);        // lead byte at the end
    EXPECT_THROW(shiftJisToUtf8(bytes({0x8E, 0x9E, 0x8A})), EncodingError);
    EXPECT_THROW(shiftJisToUtf8(bytes({0x81, 0x20})), EncodingError);  // trail byte out of range
    EXPECT_THROW(shiftJisToUtf8(bytes({0x82, 0x40})), EncodingError);  // unassigned code
    EXPECT_THROW(shiftJisToUtf8(bytes({0xFC, 0x4C})), EncodingError);  // past the last IBM extension
}

TEST(ShiftJis, EncodesWhatCodePage932Has) {
    EXPECT_EQ(utf8ToShiftJis(""), "");
    EXPECT_EQ(utf8ToShiftJis("時間"), bytes({0x8E, 0x9E, 0x8A, 0xD4}));
    EXPECT_EQ(utf8ToShiftJis("\uFF71"), bytes({0xB1}));
    EXPECT_EQ(utf8ToShiftJis("\uFF5E"), bytes({0x81, 0x60}));
    EXPECT_EQ(utf8ToShiftJis("\u2015"), bytes({0x81, 0x5C}));
    // A character with two codes takes the one both platforms choose.
    EXPECT_EQ(utf8ToShiftJis("\u7E8A"), bytes({0xFA, 0x5C}));
    EXPECT_EQ(utf8ToShiftJis("\u2252"), bytes({0x81, 0xE0}));
}

TEST(ShiftJis, RefusesCharactersWithoutACodeRatherThanSubstituting) {
    // Windows would best-fit these ('e', 'c', '|') without WC_NO_BEST_FIT_CHARS.
    EXPECT_THROW(utf8ToShiftJis("\u00E9"), EncodingError);
    EXPECT_THROW(utf8ToShiftJis("\u00A9"), EncodingError);
    EXPECT_THROW(utf8ToShiftJis("\u00A6"), EncodingError);
    // iconv maps these one way only (to 0x5C, 0x815C, 0x8160), which decode to
    // other characters.
    EXPECT_THROW(utf8ToShiftJis("\u00A5"), EncodingError);
    EXPECT_THROW(utf8ToShiftJis("\u2014"), EncodingError);
    EXPECT_THROW(utf8ToShiftJis("\u301C"), EncodingError);
    // U+0080 would become the undefined byte 0x80.
    EXPECT_THROW(utf8ToShiftJis("\u0080"), EncodingError);
    EXPECT_THROW(utf8ToShiftJis("\U0001F600"), EncodingError);
    EXPECT_THROW(utf8ToShiftJis("a\u00E9b"), EncodingError);
}

TEST(ShiftJis, RejectsMalformedUtf8) {
    EXPECT_THROW(utf8ToShiftJis(bytes({0xC3})), EncodingError);
    EXPECT_THROW(utf8ToShiftJis(bytes({0xE6, 0x99})), EncodingError);
    EXPECT_THROW(utf8ToShiftJis(bytes({0x80})), EncodingError);
}

TEST(ShiftJis, EveryDecodableDoubleByteCodeRoundTripsThroughItsCharacter) {
    int decoded = 0;
    for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
        for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
            std::string text;
            try {
                text = shiftJisToUtf8(bytes({lead, trail}));
            } catch (const EncodingError&) {
                continue;
            }
            ++decoded;
            // Duplicated codes encode to one of them, which decodes to the same text.
            const std::string encoded = utf8ToShiftJis(text);
            EXPECT_EQ(encoded.size(), 2u) << std::hex << lead << ' ' << trail;
            EXPECT_EQ(shiftJisToUtf8(encoded), text) << std::hex << lead << ' ' << trail;
        }
    }
    // JIS X 0208 alone has 6879 characters; code page 932 adds the NEC and
    // IBM rows and 1880 user-defined codes.
    EXPECT_GT(decoded, 6879 + 1880);
}

}  // namespace
