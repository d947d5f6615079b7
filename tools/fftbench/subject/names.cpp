#include "subject/names.h"

#include <fmt/format.h>

#include <array>

namespace fftbench {

namespace {

struct KnownName {
    const char* name;   // UTF-8, as decoded from the catalogue's Shift-JIS
    const char* gloss;  // what the name says, in English
    const char* label;  // a few words for plot legends
};

constexpr std::array<KnownName, 10> kKnownNames{{
    {"時間 間引き(基数2)", "decimation in time (radix 2)", "DIT r2"},
    {"時間 間引き(基数2+テーブル半分)", "decimation in time (radix 2 + half table)", "DIT r2 half table"},
    {"周波数 間引き(基数2)", "decimation in frequency (radix 2)", "DIF r2"},
    {"周波数 間引き(基数2+添字反転+テーブル半分)",
     "decimation in frequency (radix 2 + index reversal + half table)", "DIF r2 reversed half"},
    {"周波数 間引き(基数2+反転+半分+再帰分割)",
     "decimation in frequency (radix 2 + reversal + half + recursive division)", "DIF r2 recursive"},
    {"周波数 間引き(基数2+反転+半分+5バタフライ)",
     "decimation in frequency (radix 2 + reversal + half + 5 butterflies)", "DIF r2 5 butterflies"},
    {"周波数 間引き(基数4+反転+半分)", "decimation in frequency (radix 4 + reversal + half)", "DIF r4"},
    {"周波数 間引き(基数4+反転+半分+3バタフライ)",
     "decimation in frequency (radix 4 + reversal + half + 3 butterflies)", "DIF r4 3 butterflies"},
    {"周波数 間引き(SplitRadix+反転+半分)", "decimation in frequency (split radix + reversal + half)",
     "DIF split radix"},
    {"周波数 間引き(SplitRadix+反転+半分+3バタフライ)",
     "decimation in frequency (split radix + reversal + half + 3 butterflies)", "DIF split radix 3 butterflies"},
}};

const KnownName* findKnown(const std::string& utf8Name) {
    for (const KnownName& known : kKnownNames)
        if (utf8Name == known.name) return &known;
    return nullptr;
}

}  // namespace

std::optional<std::string> englishGloss(const std::string& utf8Name) {
    if (const KnownName* known = findKnown(utf8Name)) return std::string(known->gloss);
    return std::nullopt;
}

std::string shortLabel(const fftplug::host::CatalogueEntry& entry) {
    if (const KnownName* known = findKnown(entry.name)) return fmt::format("{} {}", entry.index, known->label);
    return fmt::format("entry {}", entry.index);
}

std::string displayName(const fftplug::host::CatalogueEntry& entry) {
    if (!entry.terminated) return "(no terminator within the 64 bytes of the name)";
    if (!entry.name.empty() || entry.rawName.empty()) return entry.name;
    std::string hex;
    for (unsigned char byte : entry.rawName) hex += fmt::format("{}{:02X}", hex.empty() ? "" : " ", byte);
    return fmt::format("(not Shift-JIS: {})", hex);
}

std::vector<std::string> flagMeanings(uint32_t flags) {
    std::vector<std::string> meanings;
    if (flags & FFTPLUG_FLAG_PREPARES_TABLE) meanings.emplace_back("prepares the table");
    meanings.emplace_back((flags & FFTPLUG_FLAG_NATURAL_INPUT) != 0 ? "natural input and bit-reversed output"
                                                                   : "bit-reversed input and natural output");
    if ((flags & FFTPLUG_FLAG_ENTRY) == 0) meanings.emplace_back("entry bit 0x001 missing");
    const uint32_t known = FFTPLUG_FLAG_ENTRY | FFTPLUG_FLAG_NATURAL_INPUT | FFTPLUG_FLAG_PREPARES_TABLE;
    if ((flags & ~known) != 0) meanings.push_back(fmt::format("unknown bits 0x{:x}", flags & ~known));
    return meanings;
}

}  // namespace fftbench
