// What the plug-in tests share: the plug-in loaded once by path, as a host
// loads it, arrays with guard regions, and bit-level comparisons.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/bit_reversal.h"
#include "host/driver.h"
#include "host/guarded_array.h"
#include "host/plugin_library.h"
#include "host/plugin_variants.h"
#include "host/reference.h"
#include "host/shiftjis.h"
#include "host/twiddle.h"

namespace fftplug::test {

using namespace fftplug::host;

inline PluginLibrary& plugin() {
    static PluginLibrary library = PluginLibrary::open(defaultPluginPath());
    return library;
}

// Every build of the plug-in this CPU runs: the dispatching library first,
// then the fixed-path ones beside it, each loaded once.
struct LoadedVariant {
    std::string name;
    PluginLibrary library;
};

inline const std::vector<LoadedVariant>& variants() {
    static const std::vector<LoadedVariant> loaded = [] {
        std::vector<LoadedVariant> all;
        for (const PluginVariant& v : pluginVariants(plugin().path()))
            all.push_back({v.name, PluginLibrary::open(v.path)});
        return all;
    }();
    return loaded;
}

inline std::vector<std::string> variantNames() {
    std::vector<std::string> names;
    for (const LoadedVariant& v : variants()) names.push_back(v.name);
    return names;
}

inline const PluginLibrary& variant(const std::string& name) {
    for (const LoadedVariant& v : variants())
        if (v.name == name) return v.library;
    throw std::invalid_argument("no plug-in variant " + name);
}

// The fixed paths this build tree made ("scalar", "sse2" …), whether or not
// this CPU runs them.
inline std::vector<std::string> builtPaths() {
    std::vector<std::string> paths;
    const std::string all = FFTPLUG_BUILT_VARIANTS;
    for (size_t start = 0; start < all.size();) {
        const size_t comma = std::min(all.find(',', start), all.size());
        if (comma > start) paths.push_back(all.substr(start, comma - start));
        start = comma + 1;
    }
    return paths;
}

inline std::string variantParamName(const testing::TestParamInfo<std::string>& info) { return info.param; }

inline const CatalogueEntry& entry(uint32_t index) {
    static const std::vector<CatalogueEntry> entries = plugin().catalogue();
    return entries.at(index);
}

inline std::vector<uint32_t> allEntries() { return {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}; }

inline std::string entryParamName(const testing::TestParamInfo<uint32_t>& info) {
    return "entry" + std::to_string(info.param);
}

// The relative RMS error any entry must stay under: single precision grows
// with the number of stages a sample passes through.
inline double errorBound(uint32_t N) {
    const double stages = N > 1 ? static_cast<double>(log2Exact(N)) : 0.0;
    return 1.0e-7 * (1.0 + 0.25 * stages);
}

inline bool anyNaN(const std::vector<Complex>& v) {
    for (const Complex& c : v)
        if (std::isnan(c.re) || std::isnan(c.im)) return true;
    return false;
}

// A quiet NaN whose payload says where it came from.
inline float nanWithPayload(uint32_t payload) {
    const uint32_t bits = 0x7FC00000u | (payload & 0x3FFFFFu);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

inline Complex poisoned(uint32_t payload = 1) { return {nanWithPayload(payload), nanWithPayload(payload + 1)}; }

// The result of one entry on `signal` (natural order) in natural order, with
// a table built in `direction`.
inline std::vector<Complex> transform(uint32_t index, const std::vector<Complex>& signal,
                                      Direction direction = Direction::forward) {
    return transformWithEntry(plugin(), entry(index), signal, 1, direction);
}

}  // namespace fftplug::test
