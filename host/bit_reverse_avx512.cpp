// The 8 × 8 tile of the bit-reversal permutation in AVX-512 registers: one
// row of eight samples (a cache line) a register, transposed in three rounds
// of shuffles (pairs of samples, then 128-bit lanes twice).
#include "bit_reverse.h"
#include "bit_reverse_tiles.h"

#if defined(__AVX512F__)
#include <immintrin.h>
#endif

namespace fftplug::host::reorder::detail {

#if defined(__AVX512F__)

namespace {

struct Avx512Tile {
    struct State {
        explicit State(const Finish& f)
            : sign(_mm512_set1_epi64(f.conjugate ? int64_t{INT64_MIN} : 0)), scale(_mm512_set1_ps(f.scale)),
              scaled(f.scale != 1.0f) {}
        __m512i sign;  // the imaginary parts' sign bits
        __m512 scale;
        bool scaled;
    };
    template <bool kFinish>
    static __m512d finish(__m512d v, const State& state) {
        if constexpr (kFinish) {
            v = _mm512_castsi512_pd(_mm512_xor_si512(_mm512_castpd_si512(v), state.sign));
            if (state.scaled) v = _mm512_castps_pd(_mm512_mul_ps(_mm512_castpd_ps(v), state.scale));
        }
        return v;
    }
    template <bool kFinish>
    static void move(const Complex* src, ptrdiff_t S, Complex* dst, ptrdiff_t D, const State& state) {
        __m512d r[8];
        for (int j = 0; j < 8; ++j) r[j] = _mm512_loadu_pd(reinterpret_cast<const double*>(src + S * kRev3[j]));
        // t[2p], t[2p + 1]: rows 2p and 2p + 1 interleaved, even and odd columns
        __m512d t[8];
        for (unsigned p = 0; p < 4; ++p) {
            t[2 * p] = _mm512_unpacklo_pd(r[2 * p], r[2 * p + 1]);
            t[2 * p + 1] = _mm512_unpackhi_pd(r[2 * p], r[2 * p + 1]);
        }
        // u: columns {0, 4}, {2, 6}, {1, 5}, {3, 7} of rows 0-3 (u[0 … 3]) and 4-7 (u[4 … 7])
        __m512d u[8];
        for (unsigned q = 0; q < 2; ++q) {
            const __m512d* a = t + 4 * q;
            u[4 * q + 0] = _mm512_shuffle_f64x2(a[0], a[2], 0x88);
            u[4 * q + 1] = _mm512_shuffle_f64x2(a[0], a[2], 0xDD);
            u[4 * q + 2] = _mm512_shuffle_f64x2(a[1], a[3], 0x88);
            u[4 * q + 3] = _mm512_shuffle_f64x2(a[1], a[3], 0xDD);
        }
        // the columns of the tile, whole: column[k] holds rows 0-7 of column k
        static constexpr unsigned kFirst[4] = {0, 2, 1, 3};  // the lower column each u pair holds
        __m512d column[8];
        for (unsigned v = 0; v < 4; ++v) {
            column[kFirst[v]] = _mm512_shuffle_f64x2(u[v], u[4 + v], 0x88);
            column[kFirst[v] + 4] = _mm512_shuffle_f64x2(u[v], u[4 + v], 0xDD);
        }
        for (int e = 0; e < 8; ++e)
            _mm512_storeu_pd(reinterpret_cast<double*>(dst + D * e), finish<kFinish>(column[kRev3[e]], state));
    }
};

}  // namespace

bool avx512Built() { return true; }
void permuteAvx512(const Complex* src, Complex* dst, unsigned bits, const Finish& finish) {
    permute<Avx512Tile>(src, dst, bits, finish);
}

#else

bool avx512Built() { return false; }
void permuteAvx512(const Complex*, Complex*, unsigned, const Finish&) {}

#endif

}  // namespace fftplug::host::reorder::detail
