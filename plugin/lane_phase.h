// Blocks of rows off a lane boundary, in phase.
//
// A host's allocator may place the arrays 8 or 16 bytes off a 64-byte line;
// a stage whose rows (the halves of a radix-2 block, the quarters of a
// radix-4 one) are whole widest lanes long then has every row start the
// same s samples past a lane boundary, so that each widest lane loaded from
// a row's start would span two lines. Loaded from the boundaries instead,
// every lane meets memory whole, and the lanes inside a row still line up
// across the rows (the same sample of each row in the same lane): only the
// lane at each row's start is mixed, the previous row's last s samples below
// s and the row's first W − s above. A butterfly over the rows takes, for
// each row, that boundary lane's upper part and the next boundary lane's
// lower part, blended into one lane: the row's first W − s samples and its
// last s, each in the lane it would meet on any other lane walk. So every
// butterfly and factor is the one the walk from the row's start computes,
// sample by sample: the same bits, the same count of lane butterflies, one
// blend a row each way. The array's first and last boundary lanes, which
// reach past the rows, are read and written under a mask.
#pragma once

#include <type_traits>

#include "simd/lanes.h"

namespace fftplug::FFTPLUG_PATH_NS {

template <typename L, typename = void>
struct HasLanePhase : std::false_type {};
template <typename L>
struct HasLanePhase<L, std::void_t<decltype(lanePhaseMask(L{}, 1u))>> : std::true_type {};

// Whether blocks of rows q samples long from `row` on run in phase: off a
// boundary (lanePhase, plugin/simd/lanes.h), on a path with the moves for
// it, q whole widest lanes.
inline bool inPhase(const Complex* row, uint32_t q) {
    if constexpr (HasLanePhase<Widest>::value) return q % Widest::width == 0 && lanePhase(row) != 0;
    else return false;
}

// A walk over `total` adjacent blocks of K rows q samples long from x on
// (inPhase(x, q)), in runs of blocks each with a butterfly of its own kind:
// blocks(count, block) runs the next `count` blocks, block(b) giving the
// butterfly of the run's block b, which takes one lane of each of the
// block's K rows, the same samples of each, and leaves its results in their
// place; the boundary lanes between runs stay in registers. Lanes a step: U
// (1 or 2). The walk is done when all `total` blocks have run.
template <int K, int U = 2, typename Lane = Widest>
class PhaseWalk {
public:
    PhaseWalk(Complex* x, uint32_t total, uint32_t q)
        : m_(lanePhaseMask(Lane{}, lanePhase(x))),
          at_(reinterpret_cast<Complex*>(reinterpret_cast<uintptr_t>(x) - lanePhase(x) * sizeof(Complex))),
          q_(q),
          left_(total) {
        if (total != 0) first_ = carry_ = loadAbove(Lane{}, at_, m_);  // the rows start above the phase there
    }

    template <typename Block>
    FFTPLUG_ALWAYS_INLINE void blocks(uint32_t count, Block&& block) {
        steps<true>(count, block);
    }
    // The same over the lanes at the rows' starts alone, for a caller that
    // runs the lanes inside the rows itself (in another order).
    template <typename Block>
    FFTPLUG_ALWAYS_INLINE void boundaries(uint32_t count, Block&& block) {
        steps<false>(count, block);
    }

private:
    using V = Samples<Lane>;

    template <bool kInside, typename Block>
    FFTPLUG_ALWAYS_INLINE void steps(uint32_t count, Block& block) {
        constexpr uint32_t W = Lane::width;
        const uint32_t q = q_;
        for (uint32_t b = 0; b < count; ++b, at_ += K * q) {
            const auto butterfly = block(b);
            // The boundary lanes: d[r] at row r's start, d[K] at the next
            // block's (past the last block, only its lower part is a row's).
            V d[K + 1], rows[U][K];
            d[0] = first_;
            for (int r = 1; r < K; ++r) d[r] = load(Lane{}, at_ + r * q);
            d[K] = --left_ != 0 ? load(Lane{}, at_ + K * q) : loadBelow(Lane{}, at_ + K * q, m_);
            for (int r = 0; r < K; ++r) rows[0][r] = blend(m_, d[r + 1], d[r]);
            const bool second = kInside && U > 1 && q > W;  // the rows' next lane, in the same step
            if (second)
                for (int r = 0; r < K; ++r) rows[U - 1][r] = load(Lane{}, at_ + r * q + W);
            butterfly(rows[0]);
            if (second) butterfly(rows[U - 1]);
            // Row r's start lane: the end of row r − 1 below the phase (of the
            // previous block's last row at r = 0, none before the first).
            if (started_) store(at_, blend(m_, carry_, rows[0][0]));
            else storeAbove(at_, rows[0][0], m_);
            started_ = true;
            for (int r = 1; r < K; ++r) store(at_ + r * q, blend(m_, rows[0][r - 1], rows[0][r]));
            if (second)
                for (int r = 0; r < K; ++r) store(at_ + r * q + W, rows[U - 1][r]);
            carry_ = rows[0][K - 1];
            first_ = d[K];
            if constexpr (kInside)
                for (uint32_t t = second ? 2 * W : W; t < q; t += U * W) wholeLanes(at_ + t, butterfly);
        }
        // The lower part of the boundary lane past the last block: its last row's end.
        if (left_ == 0 && count != 0) storeBelow(at_, carry_, m_);
    }

    // U lanes of the K rows at `at`: all loads, the butterflies, all stores.
    template <typename Butterfly>
    FFTPLUG_ALWAYS_INLINE void wholeLanes(Complex* at, const Butterfly& butterfly) const {
        constexpr uint32_t W = Lane::width;
        V v[U][K];
        for (int u = 0; u < U; ++u)
            for (int r = 0; r < K; ++r) v[u][r] = load(Lane{}, at + r * q_ + u * W);
        for (int u = 0; u < U; ++u) butterfly(v[u]);
        for (int u = 0; u < U; ++u)
            for (int r = 0; r < K; ++r) store(at + r * q_ + u * W, v[u][r]);
    }

    decltype(lanePhaseMask(Lane{}, 0u)) m_;
    Complex* at_;  // the boundary lane before the next block's first row
    uint32_t q_, left_;
    V first_{}, carry_{};  // that lane as loaded; the last row's lane before it, its results
    bool started_ = false;
};

// The butterflies of `blocks` adjacent blocks of K rows q samples long from
// x on (inPhase(x, q)), all of one kind: block(b) gives block b's.
template <int K, int U = 2, typename Lane = Widest, typename Block>
FFTPLUG_ALWAYS_INLINE inline void blocksInPhase(Complex* x, uint32_t blocks, uint32_t q, Block&& block) {
    if constexpr (HasLanePhase<Lane>::value) {
        PhaseWalk<K, U, Lane> walk(x, blocks, q);
        walk.blocks(blocks, block);
    }
}

}  // namespace fftplug::FFTPLUG_PATH_NS
