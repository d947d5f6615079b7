// The words for what a plug-in's catalogue says: the English glosses and
// short labels of fftplug's entry names, a name as it is shown, and the
// flags in words.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/plugin_library.h"

namespace fftbench {

// The English gloss of one of fftplug's ten catalogue names (UTF-8), e.g.
// "decimation in time (radix 2)"; nullopt for any other name.
std::optional<std::string> englishGloss(const std::string& utf8Name);

// A short label for plots and tables: "3 DIF r2 reversed half" for fftplug's
// names, "entry 3" otherwise.
std::string shortLabel(const fftplug::host::CatalogueEntry& entry);

// The name as shown: UTF-8, the raw bytes in hex when they are not valid
// Shift-JIS, or a note that the name has no terminator.
std::string displayName(const fftplug::host::CatalogueEntry& entry);

// The flags word in words, one phrase per meaning: "prepares the table",
// "natural input and bit-reversed output" or "bit-reversed input and natural
// output", and any bits the ABI does not define.
std::vector<std::string> flagMeanings(uint32_t flags);

}  // namespace fftbench
