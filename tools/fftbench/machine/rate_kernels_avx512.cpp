// The rate kernels at 512 bits (AVX-512F), compiled with -mavx512f.
#include "machine/rate_kernels.h"

#if defined(__i386__) || defined(__x86_64__)
#include <immintrin.h>

namespace fftbench {
namespace {
struct W {
    using Int = __m512i;
    using Float = __m512;
    static constexpr unsigned kLanes = 16, kBytes = 64;
    static Int loadInt(const void* p) { return _mm512_loadu_si512(p); }
    static void storeInt(void* p, Int v) { _mm512_storeu_si512(p, v); }
    static Int orInt(Int a, Int b) { return _mm512_or_si512(a, b); }
    static Int splatInt(int x) { return _mm512_set1_epi32(x); }
    static uint64_t low64(Int v) {
        const __m128i low = _mm512_castsi512_si128(v);
        return static_cast<uint32_t>(_mm_cvtsi128_si32(low)) |
               static_cast<uint64_t>(static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(low, 4)))) << 32;
    }
    static Float splat(float x) { return _mm512_set1_ps(x); }
    static Float add(Float a, Float b) { return _mm512_add_ps(a, b); }
    static Float mul(Float a, Float b) { return _mm512_mul_ps(a, b); }
    static Float swap(Float a) { return _mm512_permute_ps(a, _MM_SHUFFLE(2, 3, 0, 1)); }
    static Float low(Float a) { return _mm512_moveldup_ps(a); }
    static Float high(Float a) { return _mm512_movehdup_ps(a); }
    static float first(Float a) { return _mm512_cvtss_f32(a); }
};
#include "machine/rate_loops.h"
}  // namespace
const RateKernels* avx512RateKernels() { return kernelsOf<W>(true); }
}  // namespace fftbench
#else
namespace fftbench {
const RateKernels* avx512RateKernels() { return nullptr; }
}  // namespace fftbench
#endif
