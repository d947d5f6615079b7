// The loops of the bit-reversal permutation around one path's 8 × 8 tile
// (bit_reverse.h). A path's unit defines
//
//   struct Tile {
//       struct State { explicit State(const Finish&); };  // its constants
//       // dst[e·D + j] = finish(src[rev3(j)·S + rev3(e)]) for e, j < 8
//       template <bool kFinish>
//       static void move(const Complex* src, ptrdiff_t S, Complex* dst, ptrdiff_t D, const State&);
//       // out[0 .. 32) = in[0 .. 32), with stores past the caches if kStream
//       // (out then 64-byte aligned), which streamFence() orders
//       static constexpr bool kCanStream;
//       template <bool kStream> static void copyRun(const Complex* in, Complex* out);
//       static void streamFence();
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

// From 2^6 to 2^(kBlockFromBits − 1) samples: 8 × 8 tiles straight from
// src to dst (all of it fits the first-level cache).
template <class Tile, bool kFinish>
[[gnu::always_inline]] inline void permuteTilesApart(const Complex* src, Complex* dst, unsigned bits,
                                                     const typename Tile::State& state) {
    const unsigned middle = bits - 6;
    const uint32_t tiles = uint32_t{1} << middle;
    const ptrdiff_t S = ptrdiff_t{1} << (bits - 3);  // samples between the rows of a tile
    for (uint32_t c = 0; c < tiles; ++c)
        Tile::template move<kFinish>(src + 8 * size_t{c}, S, dst + 8 * size_t{reverseIndex(c, middle)}, S, state);
}

// The same in place: the tiles at c and rev(c) trade places through a buffer.
template <class Tile, bool kFinish>
void permuteTiles(const Complex* src, Complex* dst, unsigned bits, const typename Tile::State& state) {
    if (src != dst) return permuteTilesApart<Tile, kFinish>(src, dst, bits, state);
    const unsigned middle = bits - 6;
    const uint32_t tiles = uint32_t{1} << middle;
    const ptrdiff_t S = ptrdiff_t{1} << (bits - 3);  // samples between the rows of a tile
    Complex buffer[64];
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

// From 2^kBlockFromBits samples on, blocks of 32 × 32 (8 KiB) through a
// buffer. Index i splits into a (top 5 bits), c (the middle bits − 10) and
// d (low 5 bits); the block of one c is 32 runs of 32 contiguous samples (4
// cache lines each) in the source and 32 such runs at rev(c) in the
// destination. The 16 tiles of a block gather it into the buffer with each
// destination run as one row, and the rows go out as whole runs: both sides
// see runs of four lines in turn, never a line at a time all over the array
// (and on one cache set: the runs of a block are a power of two apart).
inline constexpr unsigned kBlockBits = 5;
inline constexpr uint32_t kBlock = 1u << kBlockBits;  // samples in a run, runs in a block
inline constexpr unsigned kBlockFromBits = 12;
// Destinations out of place from 2^kStreamFromBits samples (8 MiB, the
// source as much again) on are written past the caches: each line of them
// would otherwise be read in before it is written whole. In place the
// source's lines are the destination's, already on their way in, and
// streaming them out only to read the next block's from memory lost more
// than half the rate (Zen 4, 2^20 to 2^22 points).
inline constexpr unsigned kStreamFromBits = 20;

// The block at `from` (runs R samples apart) into `buffer`, finished.
template <class Tile, bool kFinish>
void gatherBlock(const Complex* from, ptrdiff_t R, Complex* buffer, const typename Tile::State& state) {
    static constexpr int kRev2[4] = {0, 2, 1, 3};
    const ptrdiff_t S = 4 * R;  // between the rows of a tile: the top 3 bits of a
    for (int a1 = 0; a1 < 4; ++a1)
        for (int d1 = 0; d1 < 4; ++d1)
            Tile::template move<kFinish>(from + a1 * R + d1 * 8, S, buffer + kRev2[d1] * kBlock + kRev2[a1] * 8,
                                         4 * kBlock, state);
}

template <class Tile, bool kStream>
void scatterBlock(const Complex* buffer, Complex* to, ptrdiff_t R) {
    for (uint32_t x = 0; x < kBlock; ++x) Tile::template copyRun<kStream>(buffer + x * kBlock, to + x * R);
}

// The source lines of the block at `from` (runs R samples apart) asked for
// one block ahead, into the second-level cache: past the caches the runs of
// a block lie too far apart for the hardware's prefetchers, and each line
// would wait its whole trip from memory. Into the first level they would
// evict one another (the runs fall on the same few sets). Only where the
// destination is streamed: with it going through the caches, the same
// requests measured a few per cent slower (Zen 4, 2^18 and 2^19 points).
inline void prefetchSource(const Complex* from, ptrdiff_t R) {
    constexpr uint32_t kLine = 64 / sizeof(Complex);
    for (uint32_t x = 0; x < kBlock; ++x)
        for (uint32_t k = 0; k < kBlock; k += kLine) __builtin_prefetch(from + x * R + k, 0, 1);
}

template <class Tile, bool kFinish, bool kStream>
void permuteBlocks(const Complex* src, Complex* dst, unsigned bits, const typename Tile::State& state) {
    const unsigned middle = bits - 2 * kBlockBits;
    const uint32_t blocks = uint32_t{1} << middle;
    const ptrdiff_t R = ptrdiff_t{1} << (bits - kBlockBits);  // samples between the runs of a block
    Complex first[kBlock * kBlock];
    if (src != dst) {
        for (uint32_t c = 0; c < blocks; ++c) {
            if constexpr (kStream)
                if (c + 1 < blocks) prefetchSource(src + kBlock * size_t{c + 1}, R);
            gatherBlock<Tile, kFinish>(src + kBlock * size_t{c}, R, first, state);
            scatterBlock<Tile, kStream>(first, dst + kBlock * size_t{reverseIndex(c, middle)}, R);
        }
    } else {
        // the blocks at c and rev(c) trade places
        Complex second[kBlock * kBlock];
        for (uint32_t c = 0; c < blocks; ++c) {
            const uint32_t r = reverseIndex(c, middle);
            if (r < c) continue;
            gatherBlock<Tile, kFinish>(dst + kBlock * size_t{c}, R, first, state);
            if (r != c) {
                gatherBlock<Tile, kFinish>(dst + kBlock * size_t{r}, R, second, state);
                scatterBlock<Tile, kStream>(second, dst + kBlock * size_t{c}, R);
            }
            scatterBlock<Tile, kStream>(first, dst + kBlock * size_t{r}, R);
        }
    }
    if constexpr (kStream) Tile::streamFence();
}

// Out of place, from 2^kBlockFromBits samples while a block's source lines
// lie less than a page apart: index i splits into a (top kRunBits bits), c
// (the middle bits) and d (low 3 bits). The block of one c is 2^kRunBits
// single lines in the source, R samples apart, that land on eight runs of
// 2^kRunBits contiguous samples (4 KiB) at rev(c) in the destination. Its
// tiles take a's low bits a1 in turn (their rows a's top 3 bits) and write
// one line into each run, so the stores go to eight runs front to back with
// no buffer between, and the loads sweep the array at a stride under a
// page. With the source lines a page apart or more, the blocks below, through
// a buffer, do better.
inline constexpr unsigned kRunBits = 9;
// R·8 bytes below a 4 KiB page: R = 2^(bits − kRunBits) samples.
inline constexpr unsigned kRunsBeforeBits = kRunBits + 12 - 3;

template <class Tile, bool kFinish>
void permuteRuns(const Complex* src, Complex* dst, unsigned bits, const typename Tile::State& state) {
    constexpr unsigned kTileBits = kRunBits - 3;  // a1: the low bits of a
    const unsigned middle = bits - kRunBits - 3;
    const uint32_t blocks = uint32_t{1} << middle;
    const ptrdiff_t R = ptrdiff_t{1} << (bits - kRunBits);  // samples between the source lines of a block
    const ptrdiff_t D = ptrdiff_t{1} << (bits - 3);         // samples between the destination runs
    uint16_t reversed[1u << kTileBits];
    for (uint32_t a1 = 0; a1 < (1u << kTileBits); ++a1) reversed[a1] = static_cast<uint16_t>(reverseIndex(a1, kTileBits));
    for (uint32_t c = 0; c < blocks; ++c) {
        const Complex* from = src + 8 * size_t{c};
        Complex* to = dst + (size_t{reverseIndex(c, middle)} << kRunBits);
        for (uint32_t a1 = 0; a1 < (1u << kTileBits); ++a1)
            Tile::template move<kFinish>(from + a1 * R, R << kTileBits, to + 8 * size_t{reversed[a1]}, D, state);
    }
}

template <class Tile, bool kFinish>
void permuteLarge(const Complex* src, Complex* dst, unsigned bits, const Finish& finish) {
    const typename Tile::State state(finish);
    if (bits < kBlockFromBits) return permuteTiles<Tile, kFinish>(src, dst, bits, state);
    if (src != dst && bits < kRunsBeforeBits) return permuteRuns<Tile, kFinish>(src, dst, bits, state);
    const bool stream = Tile::kCanStream && src != dst && bits >= kStreamFromBits &&
                        reinterpret_cast<uintptr_t>(dst) % 64 == 0;
    if (stream) return permuteBlocks<Tile, kFinish, true>(src, dst, bits, state);
    permuteBlocks<Tile, kFinish, false>(src, dst, bits, state);
}

template <class Tile>
__attribute__((noinline)) void permuteAny(const Complex* src, Complex* dst, unsigned bits, const Finish& finish) {
    const bool any = finish.any();
    if (bits < 6) return any ? permuteSmall<true>(src, dst, bits, finish) : permuteSmall<false>(src, dst, bits, finish);
    if (any) return permuteLarge<Tile, true>(src, dst, bits, finish);
    permuteLarge<Tile, false>(src, dst, bits, finish);
}

// permuteTilesApart with its sizes known at compile time: strides and tile
// counts as constants, no registers kept for them.
template <class Tile, unsigned kBits>
void permuteTilesOf(const Complex* src, Complex* dst, const typename Tile::State& state) {
    permuteTilesApart<Tile, false>(src, dst, kBits, state);
}

// The commonest small call, out of place with nothing to finish, goes
// straight to its tiles, each size compiled on its own, in a frame that
// holds nothing else; everything else goes through permuteAny. Through the
// general walk (its buffers, saved registers and checks) a 2^6-point call
// took 10.8 ns on Zen 4, its one tile alone 4.6 ns: about a sixth of a
// transform that size went to the call. So it takes 7.0 ns.
template <class Tile>
void permute(const Complex* src, Complex* dst, unsigned bits, const Finish& finish) {
    static_assert(kBlockFromBits == 12, "a case below for each size the tiles alone take");
    if (src != dst && !finish.any()) {
        const typename Tile::State state(finish);
        switch (bits) {
            case 6: return permuteTilesOf<Tile, 6>(src, dst, state);
            case 7: return permuteTilesOf<Tile, 7>(src, dst, state);
            case 8: return permuteTilesOf<Tile, 8>(src, dst, state);
            case 9: return permuteTilesOf<Tile, 9>(src, dst, state);
            case 10: return permuteTilesOf<Tile, 10>(src, dst, state);
            case 11: return permuteTilesOf<Tile, 11>(src, dst, state);
            default: break;
        }
    }
    permuteAny<Tile>(src, dst, bits, finish);
}

}  // namespace fftplug::host::reorder::detail
