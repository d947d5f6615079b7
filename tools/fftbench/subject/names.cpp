#include "subject/names.h"

#include <fmt/format.h>

#include <sstream>
#include <stdexcept>
#include <string_view>

#include "assets/assets.h"

namespace fftbench {

namespace {

struct KnownName {
    std::string name;   // UTF-8, as decoded from the catalogue's Shift-JIS
    std::string gloss;  // what the name says, in English
    std::string label;  // a few words for plot legends
};

std::string trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    return std::string(text.substr(first, text.find_last_not_of(" \t\r") - first + 1));
}

// The lines "name | gloss | label" of assets/names.txt, which the Python
// host reads too.
std::vector<KnownName> readKnownNames() {
    std::vector<KnownName> names;
    std::istringstream in{std::string(asset("names.txt"))};
    for (std::string line; std::getline(in, line);) {
        if (trimmed(line).empty() || line.front() == '#') continue;
        const auto bar1 = line.find(" | ");
        const auto bar2 = bar1 == std::string::npos ? bar1 : line.find(" | ", bar1 + 3);
        if (bar2 == std::string::npos) throw std::logic_error("assets/names.txt: no three fields in: " + line);
        names.push_back({trimmed(std::string_view(line).substr(0, bar1)),
                         trimmed(std::string_view(line).substr(bar1 + 3, bar2 - bar1 - 3)),
                         trimmed(std::string_view(line).substr(bar2 + 3))});
    }
    return names;
}

const KnownName* findKnown(const std::string& utf8Name) {
    static const std::vector<KnownName> known = readKnownNames();
    for (const KnownName& k : known)
        if (utf8Name == k.name) return &k;
    return nullptr;
}

}  // namespace

std::optional<std::string> englishGloss(const std::string& utf8Name) {
    if (const KnownName* known = findKnown(utf8Name)) return known->gloss;
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
