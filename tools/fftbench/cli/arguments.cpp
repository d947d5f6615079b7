#include "cli/arguments.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>

#include "host/bit_reversal.h"

#ifndef FFTBENCH_LIBDIR_FROM_BINDIR
#define FFTBENCH_LIBDIR_FROM_BINDIR "../lib"
#endif

namespace fftbench {

namespace {

std::string_view trim(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
    return text;
}

std::vector<std::string_view> splitOn(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) return parts;
        start = end + 1;
    }
}

// A run of decimal digits, at most nine of them (no overflow).
std::optional<uint32_t> parseDecimal(std::string_view text) {
    if (text.empty() || text.size() > 9) return std::nullopt;
    uint32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    return value;
}

// One size: "1024" or "2^10"; returns log2 of it.
unsigned parseSize(std::string_view item, std::string_view whole, std::string_view option) {
    const std::string_view text = trim(item);
    std::optional<uint32_t> exponent;
    if (text.size() > 2 && text[0] == '2' && text[1] == '^') {
        exponent = parseDecimal(text.substr(2));
        if (!exponent)
            throw UsageError(fmt::format("{} '{}': '{}' is not a size (expected 2^k with a whole k)", option, whole, text));
    } else {
        const std::optional<uint32_t> value = parseDecimal(text);
        if (!value)
            throw UsageError(fmt::format("{} '{}': '{}' is not a size (expected a power of two such as 1024 or 2^10)",
                                         option, whole, text));
        if (!fftplug::host::isPowerOfTwo(*value))
            throw UsageError(fmt::format("{} '{}': {} is not a power of two", option, whole, *value));
        exponent = fftplug::host::log2Exact(*value);
    }
    if (*exponent > kMaxLog2Size)
        throw UsageError(
            fmt::format("{} '{}': '{}' is larger than the largest size, 2^{}", option, whole, text, kMaxLog2Size));
    return *exponent;
}

template <typename T>
void sortUnique(std::vector<T>& values) {
    std::sort(values.begin(), values.end());
    values.erase(std::unique(values.begin(), values.end()), values.end());
}

}  // namespace

std::vector<uint32_t> parseSizes(std::string_view text, std::string_view option) {
    const std::string_view whole = trim(text);
    if (whole.empty()) throw UsageError(fmt::format("{}: the list is empty", option));
    std::vector<uint32_t> sizes;
    for (std::string_view item : splitOn(whole, ',')) {
        if (trim(item).empty()) throw UsageError(fmt::format("{} '{}': empty item in the list", option, whole));
        const size_t dots = item.find("..");
        if (dots == std::string_view::npos) {
            sizes.push_back(uint32_t{1} << parseSize(item, whole, option));
            continue;
        }
        const unsigned low = parseSize(item.substr(0, dots), whole, option);
        const unsigned high = parseSize(item.substr(dots + 2), whole, option);
        if (low > high)
            throw UsageError(fmt::format("{} '{}': the range '{}' runs backwards", option, whole, trim(item)));
        for (unsigned e = low; e <= high; ++e) sizes.push_back(uint32_t{1} << e);
    }
    sortUnique(sizes);
    return sizes;
}

namespace {

// A bound as the messages give it: "64", "2^20".
std::string boundText(uint32_t N) {
    return N < 1024 ? std::to_string(N) : fmt::format("2^{}", fftplug::host::log2Exact(N));
}

}  // namespace

uint32_t parseOneSize(std::string_view option, std::string_view text, uint32_t lowest, uint32_t highest,
                      std::string_view taker) {
    const std::vector<uint32_t> sizes = parseSizes(text, option);
    if (sizes.size() != 1) throw UsageError(fmt::format("{} {}: {} one size", option, trim(text), taker));
    if (sizes.front() < lowest || sizes.front() > highest)
        throw UsageError(fmt::format("{} {}: {} N from {} to {}", option, trim(text), taker, boundText(lowest),
                                     boundText(highest)));
    return sizes.front();
}

std::optional<PlotFormat> parsePlotPath(std::string_view option, const std::string& path) {
    if (path.empty()) return std::nullopt;
    const auto format = plotFormatFor(path);
    if (!format) throw UsageError(fmt::format("{} {}: the file name must end in .svg or .png", option, path));
    return format;
}

std::optional<std::vector<uint32_t>> parseEntries(std::string_view text) {
    const std::string_view whole = trim(text);
    if (whole == "all") return std::nullopt;
    if (whole.empty()) throw UsageError("--entries: the list is empty");
    std::vector<uint32_t> entries;
    for (std::string_view item : splitOn(whole, ',')) {
        const std::string_view part = trim(item);
        const size_t dash = part.find('-');
        const std::optional<uint32_t> first = parseDecimal(trim(part.substr(0, dash)));
        const std::optional<uint32_t> last =
            dash == std::string_view::npos ? first : parseDecimal(trim(part.substr(dash + 1)));
        if (!first || !last)
            throw UsageError(fmt::format("--entries '{}': '{}' is not an entry index or a range such as 3-9", whole, part));
        if (*first > *last)
            throw UsageError(fmt::format("--entries '{}': the range '{}' runs backwards", whole, part));
        if (*last >= 1000) throw UsageError(fmt::format("--entries '{}': {} is not an entry index", whole, *last));
        for (uint32_t i = *first; i <= *last; ++i) entries.push_back(i);
    }
    sortUnique(entries);
    return entries;
}

std::vector<fftplug::host::CatalogueEntry> selectEntries(
    const std::vector<fftplug::host::CatalogueEntry>& catalogue,
    const std::optional<std::vector<uint32_t>>& wanted) {
    if (!wanted) return catalogue;
    std::vector<fftplug::host::CatalogueEntry> chosen;
    for (uint32_t index : *wanted) {
        if (index >= catalogue.size()) {
            if (catalogue.empty()) throw UsageError(fmt::format("entry {} is not in the catalogue: the plug-in announces no entries", index));
            throw UsageError(fmt::format("entry {} is not in the catalogue (entries 0 to {})", index, catalogue.size() - 1));
        }
        chosen.push_back(catalogue[index]);
    }
    return chosen;
}

std::vector<std::string> defaultPluginCandidates() {
    using namespace fftplug::host;
    std::vector<std::string> candidates;
    if (const char* fromEnvironment = std::getenv("FFTPLUG_PLUGIN"); fromEnvironment != nullptr && *fromEnvironment != '\0')
        candidates.emplace_back(fromEnvironment);
    const std::string here = executableDirectory();
    const std::string file = platformLibraryName("fftplug");
    candidates.push_back(here + file);
    candidates.push_back(here + FFTBENCH_LIBDIR_FROM_BINDIR + "/" + file);
    return candidates;
}

std::string findDefaultPlugin() {
    const std::vector<std::string> candidates = defaultPluginCandidates();
    // A plug-in named in the environment is meant, whether it exists or not:
    // loading it reports the problem.
    if (const char* fromEnvironment = std::getenv("FFTPLUG_PLUGIN"); fromEnvironment != nullptr && *fromEnvironment != '\0')
        return fromEnvironment;
    for (const std::string& path : candidates)
        if (std::ifstream(path, std::ios::binary).good()) return path;
    std::string tried;
    for (const std::string& path : candidates) tried += (tried.empty() ? "" : ", ") + path;
    throw UsageError(fmt::format("no plug-in found (looked for {}); name one with --plugin PATH", tried));
}

}  // namespace fftbench

namespace fftbench {

std::vector<uint32_t> parseAlignments(std::string_view text) {
    std::vector<uint32_t> offsets;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t comma = std::min(text.find(',', start), text.size());
        const std::string item(text.substr(start, comma - start));
        uint32_t value = 0;
        bool number = !item.empty() && item.size() <= 2;
        for (const char c : item) number = number && c >= '0' && c <= '9';
        if (number) value = static_cast<uint32_t>(std::stoul(item));
        if (!number || value < 4 || value > 64 || (value & (value - 1)) != 0)
            throw UsageError("--align " + std::string(text) + ": '" + item +
                             "' is not an alignment: 4, 8, 16, 32 or 64 bytes (a list such as 64,16)");
        const uint32_t offset = value % 64;
        if (std::find(offsets.begin(), offsets.end(), offset) == offsets.end()) offsets.push_back(offset);
        start = comma + 1;
    }
    return offsets;
}

}  // namespace fftbench
