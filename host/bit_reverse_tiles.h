// The loops of the bit-reversal permutation around one path's 8 × 8 tile
// (bit_reverse.h). A path's unit defines
//
//   struct Tile {
//       struct State { explicit State(const Finish&); };  // its constants
//       // dst[e·D + j] = finish(src[rev3(j)·S + rev3(e)]) for e, j < 8
//       template <bool kFinish>
//       static void move(const Complex* src, ptrdiff_t S, Complex* dst, ptrdiff_t D, const State&);
//   };
//
// and calls permute<Tile>() from its own entry point, so that the tile is
// inlined into the loops compiled for its instruction set.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "bit_reverse.h"

namespace fftplug::host::reorder::detail {

inline constexpr int kRev3[8] = {0, 4, 2, 6, 1, 5, 3, 7};

// One sample through the finish, bits as they are where nothing changes it.
template <bool kFinish>
inline void moveSample(const Complex* from, Complex* to, const Finish& finish) {
    uint32_t w[2];
    std::memcpy(w, from, sizeof w);
    if constexpr (kFinish) {
        if (finish.conjugate) w[1] ^= 0x80000000u;
        if (finish.scale != 1.0f) {
            float v[2];
            std::memcpy(v, w, sizeof v);
            v[0] *= finish.scale;
            v[1] *= finish.scale;
            std::memcpy(w, v, sizeof w);
        }
    }
    std::memcpy(to, w, sizeof w);
}

// Fewer than 64 samples: one at a time.
template <bool kFinish>
void permuteSmall(const Complex* src, Complex* dst, unsigned bits, const Finish& finish) {
    const uint32_t n = uint32_t{1} << bits;
    if (src != dst) {
        for (uint32_t i = 0; i < n; ++i) moveSample<kFinish>(src + i, dst + reverseIndex(i, bits), finish);
        return;
    }
    for (uint32_t i = 0; i < n; ++i) {
        const uint32_t r = reverseIndex(i, bits);
        if (r < i) continue;
        Complex a, b;
        moveSample<kFinish>(dst + i, &a, finish);
        if (r != i) {
            moveSample<kFinish>(dst + r, &b, finish);
            moveSample<false>(&b, dst + i, finish);
        }
        moveSample<false>(&a, dst + r, finish);
    }
}

template <class Tile, bool kFinish>
void permuteTiles(const Complex* src, Complex* dst, unsigned bits, const Finish& finish) {
    const typename Tile::State state(finish);
    const unsigned middle = bits - 6;
    const uint32_t tiles = uint32_t{1} << middle;
    const ptrdiff_t S = ptrdiff_t{1} << (bits - 3);  // samples between the rows of a tile
    if (src != dst) {
        for (uint32_t c = 0; c < tiles; ++c)
            Tile::template move<kFinish>(src + 8 * size_t{c}, S, dst + 8 * size_t{reverseIndex(c, middle)}, S, state);
        return;
    }
    alignas(16) Complex buffer[64];
    for (uint32_t c = 0; c < tiles; ++c) {
        const uint32_t r = reverseIndex(c, middle);
        if (r < c) continue;
        Complex* a = dst + 8 * size_t{c};
        Complex* b = dst + 8 * size_t{r};
        // b's tile into the buffer, a's into b's place, the buffer into a's
        Tile::template move<kFinish>(b, S, buffer, 8, state);
        if (r != c) Tile::template move<kFinish>(a, S, b, S, state);
        for (int row = 0; row < 8; ++row) std::memcpy(a + row * S, buffer + 8 * row, 8 * sizeof(Complex));
    }
}

template <class Tile>
void permute(const Complex* src, Complex* dst, unsigned bits, const Finish& finish) {
    const bool any = finish.any();
    if (bits < 6) return any ? permuteSmall<true>(src, dst, bits, finish) : permuteSmall<false>(src, dst, bits, finish);
    if (any) return permuteTiles<Tile, true>(src, dst, bits, finish);
    permuteTiles<Tile, false>(src, dst, bits, finish);
}

}  // namespace fftplug::host::reorder::detail
