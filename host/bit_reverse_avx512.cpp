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
    // Written out, not as loops over arrays: the compiler keeps all of it
    // in registers only so.
    template <bool kFinish>
    static void move(const Complex* src, ptrdiff_t S, Complex* dst, ptrdiff_t D, const State& state) {
        const auto row = [src, S](int j) { return _mm512_loadu_pd(reinterpret_cast<const double*>(src + S * j)); };
        // rows in bit-reversed order
        const __m512d r0 = row(0), r1 = row(4), r2 = row(2), r3 = row(6), r4 = row(1), r5 = row(5), r6 = row(3),
                      r7 = row(7);
        // pairs of rows interleaved: even and odd columns
        const __m512d t0 = _mm512_unpacklo_pd(r0, r1), t1 = _mm512_unpackhi_pd(r0, r1);
        const __m512d t2 = _mm512_unpacklo_pd(r2, r3), t3 = _mm512_unpackhi_pd(r2, r3);
        const __m512d t4 = _mm512_unpacklo_pd(r4, r5), t5 = _mm512_unpackhi_pd(r4, r5);
        const __m512d t6 = _mm512_unpacklo_pd(r6, r7), t7 = _mm512_unpackhi_pd(r6, r7);
        // columns {0, 4}, {2, 6}, {1, 5}, {3, 7} of rows 0-3 (u0-u3) and 4-7 (u4-u7)
        const __m512d u0 = _mm512_shuffle_f64x2(t0, t2, 0x88), u1 = _mm512_shuffle_f64x2(t0, t2, 0xDD);
        const __m512d u2 = _mm512_shuffle_f64x2(t1, t3, 0x88), u3 = _mm512_shuffle_f64x2(t1, t3, 0xDD);
        const __m512d u4 = _mm512_shuffle_f64x2(t4, t6, 0x88), u5 = _mm512_shuffle_f64x2(t4, t6, 0xDD);
        const __m512d u6 = _mm512_shuffle_f64x2(t5, t7, 0x88), u7 = _mm512_shuffle_f64x2(t5, t7, 0xDD);
        // whole columns, stored as the rows of the destination in bit-reversed order
        const auto put = [dst, D, &state](int e, __m512d v) {
            _mm512_storeu_pd(reinterpret_cast<double*>(dst + D * e), finish<kFinish>(v, state));
        };
        put(0, _mm512_shuffle_f64x2(u0, u4, 0x88));  // column 0
        put(4, _mm512_shuffle_f64x2(u2, u6, 0x88));  // column 1
        put(2, _mm512_shuffle_f64x2(u1, u5, 0x88));  // column 2
        put(6, _mm512_shuffle_f64x2(u3, u7, 0x88));  // column 3
        put(1, _mm512_shuffle_f64x2(u0, u4, 0xDD));  // column 4
        put(5, _mm512_shuffle_f64x2(u2, u6, 0xDD));  // column 5
        put(3, _mm512_shuffle_f64x2(u1, u5, 0xDD));  // column 6
        put(7, _mm512_shuffle_f64x2(u3, u7, 0xDD));  // column 7
    }
    static constexpr bool kCanStream = true;
    template <bool kStream>
    static void copyRun(const Complex* in, Complex* out) {
        for (uint32_t k = 0; k < kBlock; k += 8) {
            const __m512d v = _mm512_loadu_pd(reinterpret_cast<const double*>(in + k));
            if constexpr (kStream) _mm512_stream_pd(reinterpret_cast<double*>(out + k), v);
            else _mm512_storeu_pd(reinterpret_cast<double*>(out + k), v);
        }
    }
    static void streamFence() { _mm_sfence(); }
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
