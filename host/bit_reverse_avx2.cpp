// The 8 × 8 tile of the bit-reversal permutation in AVX2 registers: four
// samples a register, the tile as two halves of eight rows, each half two
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
    template <bool kFinish>
    static void move(const Complex* src, ptrdiff_t S, Complex* dst, ptrdiff_t D, const State& state) {
        for (int half = 0; half < 2; ++half) {
            __m256d h[8];
            for (int j = 0; j < 8; ++j)
                h[j] = _mm256_loadu_pd(reinterpret_cast<const double*>(src + S * kRev3[j] + 4 * half));
            for (int group = 0; group < 2; ++group) {
                const __m256d* g = h + 4 * group;
                const __m256d t0 = _mm256_unpacklo_pd(g[0], g[1]), t1 = _mm256_unpackhi_pd(g[0], g[1]);
                const __m256d t2 = _mm256_unpacklo_pd(g[2], g[3]), t3 = _mm256_unpackhi_pd(g[2], g[3]);
                // column k of the tile, rows 4·group to 4·group + 3, for k = 4·half + 0 … 3
                const __m256d column[4] = {_mm256_permute2f128_pd(t0, t2, 0x20), _mm256_permute2f128_pd(t1, t3, 0x20),
                                           _mm256_permute2f128_pd(t0, t2, 0x31), _mm256_permute2f128_pd(t1, t3, 0x31)};
                for (int k = 0; k < 4; ++k)
                    _mm256_storeu_pd(reinterpret_cast<double*>(dst + D * kRev3[4 * half + k] + 4 * group),
                                     finish<kFinish>(column[k], state));
            }
        }
    }
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
