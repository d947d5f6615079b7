// The table entries each entry reads, as the table-read test pins them
// down; the instrumented build's count of distinct reads must agree.
#pragma once

#include <cstdint>
#include <set>

namespace fftplug::test {

inline std::set<uint32_t> range(uint32_t first, uint32_t end) {
    std::set<uint32_t> s;
    for (uint32_t i = first; i < end; ++i) s.insert(i);
    return s;
}

// Blocks k of a radix-4 or split-radix stage read table[k] and table[2k];
// the first stage has the most blocks (N/4) and later stages read subsets.
inline std::set<uint32_t> blockFactorReads(uint32_t N, uint32_t firstBlock) {
    std::set<uint32_t> s;
    for (uint32_t k = firstBlock; k < N / 4; ++k) {
        s.insert(k);
        s.insert(2 * k);
    }
    return s;
}

inline std::set<uint32_t> expectedReads(uint32_t index, uint32_t N) {
    if (N < 2) return {};
    switch (index) {
        case 0:
        case 2: return range(1, N);
        case 1: return range(N / 2, N);
        case 3:
        case 4: return range(0, N / 2);
        case 5: return range(4, N / 2);
        case 6:
        case 8: return blockFactorReads(N, 0);
        case 7:
        case 9: return blockFactorReads(N, 2);
    }
    return {};
}

}  // namespace fftplug::test
