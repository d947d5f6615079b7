// The 8 × 8 tile of the bit-reversal permutation in AVX2 registers: four
// samples a register, the tile as two halves of four columns, each half two
// 4 × 4 transposes (unpack, then a swap of 128-bit halves).
#include "bit_reverse.h"
#include "bit_reverse_tiles.h"

#if defined(__AVX2__)
#include <immintrin.h>
#endif

namespace fftplug::host::reorder::detail {

#if defined(__AVX2__)

namespace {

struct Avx2Tile {
    struct State {
        explicit State(const Finish& f)
            : sign(_mm256_castsi256_pd(_mm256_set1_epi64x(f.conjugate ? int64_t{INT64_MIN} : 0))),
              scale(_mm256_set1_ps(f.scale)), scaled(f.scale != 1.0f) {}
        __m256d sign;  // the imaginary parts' sign bits
        __m256 scale;
        bool scaled;
    };
    template <bool kFinish>
    static __m256d finish(__m256d v, const State& state) {
        if constexpr (kFinish) {
            v = _mm256_xor_pd(v, state.sign);
            if (state.scaled) v = _mm256_castps_pd(_mm256_mul_ps(_mm256_castpd_ps(v), state.scale));
        }
        return v;
    }
    // Written out, not as loops over arrays: the compiler keeps all of it
    // in registers only so. Half h of the tile is its columns 4h to 4h + 3.
    template <bool kFinish>
    static void half(const Complex* src, ptrdiff_t S, Complex* dst, ptrdiff_t D, const State& state) {
        const auto row = [src, S](int j) { return _mm256_loadu_pd(reinterpret_cast<const double*>(src + S * j)); };
        const auto put = [dst, D, &state](int e, int group, __m256d v) {
            _mm256_storeu_pd(reinterpret_cast<double*>(dst + D * e + 4 * group), finish<kFinish>(v, state));
        };
        // a 4 × 4 transpose of rows 4·group … 4·group + 3 (in bit-reversed order)
        const auto transpose = [&](int group, __m256d a, __m256d b, __m256d c, __m256d d) {
            const __m256d t0 = _mm256_unpacklo_pd(a, b), t1 = _mm256_unpackhi_pd(a, b);
            const __m256d t2 = _mm256_unpacklo_pd(c, d), t3 = _mm256_unpackhi_pd(c, d);
            // columns 0 to 3 of the half go to the destination rows rev(4h + 0 … 3)
            put(0, group, _mm256_permute2f128_pd(t0, t2, 0x20));
            put(4, group, _mm256_permute2f128_pd(t1, t3, 0x20));
            put(2, group, _mm256_permute2f128_pd(t0, t2, 0x31));
            put(6, group, _mm256_permute2f128_pd(t1, t3, 0x31));
        };
        transpose(0, row(0), row(4), row(2), row(6));
        transpose(1, row(1), row(5), row(3), row(7));
    }
    template <bool kFinish>
    static void move(const Complex* src, ptrdiff_t S, Complex* dst, ptrdiff_t D, const State& state) {
        // columns 0-3 land on the even destination rows, columns 4-7 on the odd ones
        half<kFinish>(src, S, dst, D, state);
        half<kFinish>(src + 4, S, dst + D, D, state);
    }
    static constexpr bool kCanStream = true;
    template <bool kStream>
    static void copyRun(const Complex* in, Complex* out) {
        for (uint32_t k = 0; k < kBlock; k += 4) {
            const __m256d v = _mm256_loadu_pd(reinterpret_cast<const double*>(in + k));
            if constexpr (kStream) _mm256_stream_pd(reinterpret_cast<double*>(out + k), v);
            else _mm256_storeu_pd(reinterpret_cast<double*>(out + k), v);
        }
    }
    static void streamFence() { _mm_sfence(); }
};

}  // namespace

bool avx2Built() { return true; }
void permuteAvx2(const Complex* src, Complex* dst, unsigned bits, const Finish& finish) {
    permute<Avx2Tile>(src, dst, bits, finish);
}

#else

bool avx2Built() { return false; }
void permuteAvx2(const Complex*, Complex*, unsigned, const Finish&) {}

#endif

}  // namespace fftplug::host::reorder::detail
