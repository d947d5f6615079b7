#include "subject/names.h"

#include <fmt/format.h>

#include "plugin/entries.h"

namespace fftbench {

namespace {

struct KnownName {
    const char* name;   // UTF-8, as decoded from the catalogue's Shift-JIS
    const char* gloss;  // what the name says, in English
    const char* label;  // a few words for plot legends
};

// fftplug's entries, from their rows (plugin/entry_rows.txt, which the
// Python host reads too).
#define FFTBENCH_KNOWN_NAME(context, kernel, order, shiftJis, name, gloss, label) KnownName{name, gloss, label},
constexpr KnownName kKnownNames[] = {FFTPLUG_FOR_EACH_ENTRY_ROW(FFTBENCH_KNOWN_NAME, )};
#undef FFTBENCH_KNOWN_NAME

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
