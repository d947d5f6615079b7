// The rate kernels at 256 bits (AVX2), compiled with -mavx2.
#include "machine/rate_kernels.h"

#if defined(__i386__) || defined(__x86_64__)
#include <immintrin.h>

namespace fftbench {
namespace {
struct W {
    using Int = __m256i;
    using Float = __m256;
    static constexpr unsigned kLanes = 8, kBytes = 32;
    static Int loadInt(const void* p) { return _mm256_loadu_si256(static_cast<const Int*>(p)); }
    static void storeInt(void* p, Int v) { _mm256_storeu_si256(static_cast<Int*>(p), v); }
    static Int orInt(Int a, Int b) { return _mm256_or_si256(a, b); }
    static Int splatInt(int x) { return _mm256_set1_epi32(x); }
    static uint64_t low64(Int v) {
        const __m128i low = _mm256_castsi256_si128(v);
        return static_cast<uint32_t>(_mm_cvtsi128_si32(low)) |
               static_cast<uint64_t>(static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(low, 4)))) << 32;
    }
    static Float splat(float x) { return _mm256_set1_ps(x); }
    static Float add(Float a, Float b) { return _mm256_add_ps(a, b); }
    static Float mul(Float a, Float b) { return _mm256_mul_ps(a, b); }
    static Float swap(Float a) { return _mm256_permute_ps(a, _MM_SHUFFLE(2, 3, 0, 1)); }
    static Float low(Float a) { return _mm256_moveldup_ps(a); }
    static Float high(Float a) { return _mm256_movehdup_ps(a); }
    static float first(Float a) { return _mm256_cvtss_f32(a); }
};
#include "machine/rate_loops.h"
}  // namespace
const RateKernels* avx2RateKernels() { return kernelsOf<W>(true); }
}  // namespace fftbench
#else
namespace fftbench {
const RateKernels* avx2RateKernels() { return nullptr; }
}  // namespace fftbench
#endif
