#include "render/sizes.h"

#include <fmt/format.h>

#include "host/bit_reversal.h"

namespace fftbench {

std::string powerOfTwoText(uint32_t N) { return fmt::format("2^{}", fftplug::host::log2Exact(N)); }

std::string describeSizes(const std::vector<uint32_t>& sizes) {
    if (sizes.empty()) return "no sizes";
    // Runs of consecutive powers of two as ranges: "2^1, 2^5..2^7, 2^20".
    std::string listed;
    for (size_t first = 0; first < sizes.size();) {
        size_t last = first;
        while (last + 1 < sizes.size() && sizes[last + 1] == 2 * sizes[last]) ++last;
        listed += listed.empty() ? "" : ", ";
        listed += powerOfTwoText(sizes[first]);
        if (last > first) listed += ".." + powerOfTwoText(sizes[last]);
        first = last + 1;
    }
    return fmt::format("{} ({} size{})", listed, sizes.size(), sizes.size() == 1 ? "" : "s");
}

}  // namespace fftbench
