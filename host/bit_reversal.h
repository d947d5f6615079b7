// Putting a signal into and out of bit-reversed order: position i holds
// element rev(i, log2 N). The permutation is its own inverse.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <vector>

namespace fftplug::host {

inline bool isPowerOfTwo(uint64_t n) { return n != 0 && (n & (n - 1)) == 0; }

inline unsigned log2Exact(uint64_t n) {
    if (!isPowerOfTwo(n)) throw std::invalid_argument("not a power of two");
    unsigned bits = 0;
    while ((uint64_t{1} << bits) < n) ++bits;
    return bits;
}

// rev(i, bits): bit 0 of i becomes bit bits − 1.
inline uint32_t reverseBits(uint32_t i, unsigned bits) {
    uint32_t r = 0;
    for (unsigned b = 0; b < bits; ++b, i >>= 1) r = (r << 1) | (i & 1u);
    return r;
}

template <typename T>
std::vector<T> bitReversed(const std::vector<T>& v) {
    const unsigned bits = log2Exact(v.size());
    std::vector<T> out(v.size());
    for (uint32_t i = 0; i < v.size(); ++i) out[reverseBits(i, bits)] = v[i];
    return out;
}

}  // namespace fftplug::host
