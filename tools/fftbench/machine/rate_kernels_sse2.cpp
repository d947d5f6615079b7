// The rate kernels at 128 bits (SSE2) and those of the scalar path (one
// float an addition, one sample a load), compiled with -msse2.
#include "machine/rate_kernels.h"

#if defined(__i386__) || defined(__x86_64__)
#include <emmintrin.h>

namespace fftbench {
namespace {
inline uint64_t low64Of(__m128i v) {
    return static_cast<uint32_t>(_mm_cvtsi128_si32(v)) |
           static_cast<uint64_t>(static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(v, 4)))) << 32;
}
struct Sse2 {
    using Int = __m128i;
    using Float = __m128;
    static constexpr unsigned kLanes = 4, kBytes = 16;
    static Int loadInt(const void* p) { return _mm_loadu_si128(static_cast<const Int*>(p)); }
    static void storeInt(void* p, Int v) { _mm_storeu_si128(static_cast<Int*>(p), v); }
    static Int orInt(Int a, Int b) { return _mm_or_si128(a, b); }
    static Int splatInt(int x) { return _mm_set1_epi32(x); }
    static uint64_t low64(Int v) { return low64Of(v); }
    static Float splat(float x) { return _mm_set1_ps(x); }
    static Float add(Float a, Float b) { return _mm_add_ps(a, b); }
    static Float mul(Float a, Float b) { return _mm_mul_ps(a, b); }
    // SSE2 has no duplication of one part: the path shuffles for both.
    static Float swap(Float a) { return _mm_shuffle_ps(a, a, _MM_SHUFFLE(2, 3, 0, 1)); }
    static Float low(Float a) { return _mm_shuffle_ps(a, a, _MM_SHUFFLE(2, 2, 0, 0)); }
    static Float high(Float a) { return _mm_shuffle_ps(a, a, _MM_SHUFFLE(3, 3, 1, 1)); }
    static float first(Float a) { return _mm_cvtss_f32(a); }
};
// One sample (8 bytes) a load or store, one float an operation.
struct ScalarW {
    using Int = __m128i;
    using Float = __m128;
    static constexpr unsigned kLanes = 1, kBytes = 8;
    static Int loadInt(const void* p) { return _mm_loadl_epi64(static_cast<const __m128i*>(p)); }
    static void storeInt(void* p, Int v) { _mm_storel_epi64(static_cast<__m128i*>(p), v); }
    static Int orInt(Int a, Int b) { return _mm_or_si128(a, b); }
    static Int splatInt(int x) { return _mm_set1_epi32(x); }
    static uint64_t low64(Int v) { return low64Of(v); }
    static Float splat(float x) { return _mm_set1_ps(x); }
    static Float add(Float a, Float b) { return _mm_add_ss(a, b); }
    static Float mul(Float a, Float b) { return _mm_mul_ss(a, b); }
    static Float swap(Float a) { return a; }
    static Float low(Float a) { return a; }
    static Float high(Float a) { return a; }
    static float first(Float a) { return _mm_cvtss_f32(a); }
};
#include "machine/rate_loops.h"
}  // namespace
const RateKernels* sse2RateKernels() { return kernelsOf<Sse2>(true); }
const RateKernels* scalarRateKernels() { return kernelsOf<ScalarW>(false); }
}  // namespace fftbench
#else
namespace fftbench {
const RateKernels* sse2RateKernels() { return nullptr; }
const RateKernels* scalarRateKernels() { return nullptr; }
}  // namespace fftbench
#endif
