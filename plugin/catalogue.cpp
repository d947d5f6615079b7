#include "catalogue.h"

namespace fftplug {

namespace {
constexpr uint32_t kPlain = FFTPLUG_FLAG_ENTRY;                                      // 0x001
constexpr uint32_t kNaturalInput = FFTPLUG_FLAG_ENTRY | FFTPLUG_FLAG_NATURAL_INPUT;  // 0x201
constexpr uint32_t kPrepares = FFTPLUG_FLAG_ENTRY | FFTPLUG_FLAG_PREPARES_TABLE;     // 0x401
}  // namespace

// Names in Shift-JIS (code page 932), written as octal escapes so that no
// source encoding can change a byte. The UTF-8 text is in the comment.
const CatalogueRecord kCatalogue[FFTPLUG_CATALOGUE_RECORDS] = {
    // 時間 間引き(基数2)
    {"\216\236\212\324 \212\324\210\370\202\253(\212\356\220\2242)", kPlain, ditRadix2},
    // 時間 間引き(基数2+テーブル半分)
    {"\216\236\212\324 \212\324\210\370\202\253(\212\356\220\2242+\203e\201[\203u\203\213\224"
     "\274\225\252)",
     kPlain, ditRadix2Half},
    // 周波数 間引き(基数2)
    {"\216\374\224g\220\224 \212\324\210\370\202\253(\212\356\220\2242)", kNaturalInput, difRadix2},
    // 周波数 間引き(基数2+添字反転+テーブル半分)
    {"\216\374\224g\220\224 \212\324\210\370\202\253(\212\356\220\2242+\223Y\216\232\224\275\223]"
     "+\203e\201[\203u\203\213\224\274\225\252)",
     kPrepares, difRadix2Reversed},
    // 周波数 間引き(基数2+反転+半分+再帰分割)
    {"\216\374\224g\220\224 \212\324\210\370\202\253(\212\356\220\2242+\224\275\223]+\224\274\225"
     "\252+\215\304\213A\225\252\212\204)",
     kPrepares, difRadix2Recursive},
    // 周波数 間引き(基数2+反転+半分+5バタフライ)
    {"\216\374\224g\220\224 \212\324\210\370\202\253(\212\356\220\2242+\224\275\223]+\224\274\225"
     "\252+5\203o\203^\203t\203\211\203C)",
     kPrepares, difRadix2Special},
    // 周波数 間引き(基数4+反転+半分)
    {"\216\374\224g\220\224 \212\324\210\370\202\253(\212\356\220\2244+\224\275\223]+\224\274\225"
     "\252)",
     kPrepares, difRadix4},
    // 周波数 間引き(基数4+反転+半分+3バタフライ)
    {"\216\374\224g\220\224 \212\324\210\370\202\253(\212\356\220\2244+\224\275\223]+\224\274\225"
     "\252+3\203o\203^\203t\203\211\203C)",
     kPrepares, difRadix4Special},
    // 周波数 間引き(SplitRadix+反転+半分)
    {"\216\374\224g\220\224 \212\324\210\370\202\253(SplitRadix+\224\275\223]+\224\274\225\252)",
     kPrepares, splitRadix},
    // 周波数 間引き(SplitRadix+反転+半分+3バタフライ)
    {"\216\374\224g\220\224 \212\324\210\370\202\253(SplitRadix+\224\275\223]+\224\274\225\252+3"
     "\203o\203^\203t\203\211\203C)",
     kPrepares, splitRadixSpecial},
    {"", kPlain, nullptr},
    {"", kPlain, nullptr},
    {"", kPlain, nullptr},
    {"", kPlain, nullptr},
    {"", kPlain, nullptr},
    {"", kPlain, nullptr},
};

}  // namespace fftplug
