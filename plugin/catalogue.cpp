#include "catalogue.h"

namespace fftplug {

namespace {

// The entries' names in Shift-JIS (code page 932), written as octal escapes so
// that no source encoding can change a byte. The UTF-8 text is in the comment.
namespace names {
// 時間 間引き(基数2)
constexpr char ditRadix2[] = "\216\236\212\324 \212\324\210\370\202\253(\212\356\220\2242)";
// 時間 間引き(基数2+テーブル半分)
constexpr char ditRadix2Half[] =
    "\216\236\212\324 \212\324\210\370\202\253(\212\356\220\2242+\203e\201[\203u\203\213\224"
    "\274\225\252)";
// 周波数 間引き(基数2)
constexpr char difRadix2[] = "\216\374\224g\220\224 \212\324\210\370\202\253(\212\356\220\2242)";
// 周波数 間引き(基数2+添字反転+テーブル半分)
constexpr char difRadix2Reversed[] =
    "\216\374\224g\220\224 \212\324\210\370\202\253(\212\356\220\2242+\223Y\216\232\224\275\223]"
    "+\203e\201[\203u\203\213\224\274\225\252)";
// 周波数 間引き(基数2+反転+半分+再帰分割)
constexpr char difRadix2Recursive[] =
    "\216\374\224g\220\224 \212\324\210\370\202\253(\212\356\220\2242+\224\275\223]+\224\274\225"
    "\252+\215\304\213A\225\252\212\204)";
// 周波数 間引き(基数2+反転+半分+5バタフライ)
constexpr char difRadix2Special[] =
    "\216\374\224g\220\224 \212\324\210\370\202\253(\212\356\220\2242+\224\275\223]+\224\274\225"
    "\252+5\203o\203^\203t\203\211\203C)";
// 周波数 間引き(基数4+反転+半分)
constexpr char difRadix4[] =
    "\216\374\224g\220\224 \212\324\210\370\202\253(\212\356\220\2244+\224\275\223]+\224\274\225"
    "\252)";
// 周波数 間引き(基数4+反転+半分+3バタフライ)
constexpr char difRadix4Special[] =
    "\216\374\224g\220\224 \212\324\210\370\202\253(\212\356\220\2244+\224\275\223]+\224\274\225"
    "\252+3\203o\203^\203t\203\211\203C)";
// 周波数 間引き(SplitRadix+反転+半分)
constexpr char splitRadix[] =
    "\216\374\224g\220\224 \212\324\210\370\202\253(SplitRadix+\224\275\223]+\224\274\225\252)";
// 周波数 間引き(SplitRadix+反転+半分+3バタフライ)
constexpr char splitRadixSpecial[] =
    "\216\374\224g\220\224 \212\324\210\370\202\253(SplitRadix+\224\275\223]+\224\274\225\252+3"
    "\203o\203^\203t\203\211\203C)";
}  // namespace names

}  // namespace

#define FFTPLUG_RECORD(context, name, order) {names::name, order, name},

// The entries in the order of entries.h, then the six empty slots.
const CatalogueRecord kCatalogue[FFTPLUG_CATALOGUE_RECORDS] = {
    FFTPLUG_FOR_EACH_ENTRY(FFTPLUG_RECORD, )
    {"", kPlain, nullptr},
    {"", kPlain, nullptr},
    {"", kPlain, nullptr},
    {"", kPlain, nullptr},
    {"", kPlain, nullptr},
    {"", kPlain, nullptr},
};
static_assert(FFTPLUG_ENTRY_COUNT + 6 == FFTPLUG_CATALOGUE_RECORDS, "ten entries and six empty slots");

#undef FFTPLUG_RECORD

}  // namespace fftplug
