// The bit-reversal permutation of complex samples, at close to the rate of a
// copy: dst[rev(i, bits)] = src[i], out of place or in place, optionally with
// the samples conjugated and scaled on the way (`Finish`).
//
// The samples move in 8 × 8 tiles: with n = 2^bits, index i splits into a
// (top 3 bits), c (the middle bits − 6) and d (low 3 bits), rev(i) = (rev(d),
// rev(c), rev(a)), and the 64 samples of one c are eight runs of eight
// contiguous samples (a cache line each) in the source that land on eight
// such runs at rev(c) in the destination: a tile is read as whole lines,
// transposed in registers with its rows and columns taken in bit-reversed
// order, and written as whole lines. Past the first-level cache, out of
// place, the tiles are ordered so that the destination is written as eight
// runs of 4 KiB at a time while the source is read a line at a time at a
// stride shorter than a page; from there on (and in place) they are grouped
// into 32 × 32 blocks that pass through a buffer on the stack
// (bit_reverse_tiles.h), so that both sides are visited in runs of several
// lines rather than a line at a time across the array; in place, tiles and
// blocks at c and rev(c) trade places. Each vector path (generic C++, AVX2,
// AVX-512) has its own tile; the widest the processor runs is chosen once.
// Nothing is allocated.
#pragma once

#include <fftplug/fftplug.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace fftplug::host::reorder {

enum class Path { generic, avx2, avx512 };

// What happens to every sample as it moves: the imaginary part's sign
// flipped (conjugate), then a multiplication by scale (unless it is 1).
struct Finish {
    bool conjugate = false;
    float scale = 1.0f;
    bool any() const { return conjugate || scale != 1.0f; }
};

const char* pathName(Path path);
// The paths this build has and this processor runs, narrowest first.
std::vector<Path> runnablePaths();
// The last of them: what bitReverse() without a path uses.
Path widestPath();

// dst[rev(i, bits)] = finish(src[i]) for 0 <= i < 2^bits; src == dst in
// place, otherwise the arrays must not overlap. Only dst's 2^bits samples
// are written.
void bitReverse(Path path, const Complex* src, Complex* dst, unsigned bits, const Finish& finish = {});
void bitReverse(const Complex* src, Complex* dst, unsigned bits, const Finish& finish = {});

// dst[i] = finish(src[i]) (src == dst allowed).
void applyFinish(const Complex* src, Complex* dst, size_t n, const Finish& finish);

namespace detail {
struct ReversedBytes {
    uint8_t value[256];
};
constexpr ReversedBytes reversedBytes() {
    ReversedBytes t{};
    for (unsigned b = 0; b < 256; ++b) {
        unsigned r = 0;
        for (unsigned k = 0; k < 8; ++k) r |= ((b >> k) & 1u) << (7 - k);
        t.value[b] = static_cast<uint8_t>(r);
    }
    return t;
}
inline constexpr ReversedBytes kReversedBytes = reversedBytes();
}  // namespace detail

// rev(i, bits) for bits <= 32, by bytes.
inline uint32_t reverseIndex(uint32_t i, unsigned bits) {
    const uint8_t* r = detail::kReversedBytes.value;
    const uint32_t all = (uint32_t{r[i & 0xFF]} << 24) | (uint32_t{r[(i >> 8) & 0xFF]} << 16) |
                         (uint32_t{r[(i >> 16) & 0xFF]} << 8) | uint32_t{r[i >> 24]};
    return bits == 0 ? 0 : all >> (32 - bits);
}

}  // namespace fftplug::host::reorder
