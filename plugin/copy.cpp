// The input copied into work before each transform, in the lanes of the
// path whose kernel reads it next. At small N the kernel loads the samples
// while the copy's stores are still waiting to reach the cache, and a load
// is served from a store only when that one store covers it: a copy in
// narrower pieces (the C library's memcpy under Wine stores 4 bytes at a
// time, an SSE2 copy 16) makes every 32- or 64-byte load of the first stage
// wait for the stores to drain. The bits are moved as they are, NaN
// payloads too; neither array need be aligned beyond its samples.
#include <cstring>

#include <fftplug/fftplug.h>

#include "protocol.h"
#include "simd/path.h"

#if defined(FFTPLUG_PATH_SSE2) || defined(FFTPLUG_PATH_AVX2) || defined(FFTPLUG_PATH_AVX512)
#include <immintrin.h>
#endif

namespace fftplug::FFTPLUG_PATH_NS {

namespace {

#if defined(FFTPLUG_PATH_SSE2) || defined(FFTPLUG_PATH_AVX2) || defined(FFTPLUG_PATH_AVX512)
// The pieces narrower than the path's lane: what is left of N below it.
inline void copyTwo(unsigned char* to, const unsigned char* from) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to), _mm_loadu_si128(reinterpret_cast<const __m128i*>(from)));
}
inline void copyOne(unsigned char* to, const unsigned char* from) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(to), _mm_loadl_epi64(reinterpret_cast<const __m128i*>(from)));
}
#endif
#if defined(FFTPLUG_PATH_AVX2) || defined(FFTPLUG_PATH_AVX512)
inline void copyFour(unsigned char* to, const unsigned char* from) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(to),
                        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from)));
}
#endif
#if defined(FFTPLUG_PATH_AVX512)
inline void copyEight(unsigned char* to, const unsigned char* from) {
    _mm512_storeu_si512(to, _mm512_loadu_si512(from));
}
#endif

}  // namespace

void copySamples(Complex* work, const Complex* input, int32_t N) {
    const std::size_t bytes = static_cast<std::size_t>(N) * sizeof(Complex);
#if defined(FFTPLUG_PATH_SCALAR)
    std::memcpy(work, input, bytes);
#else
    const unsigned char* from = reinterpret_cast<const unsigned char*>(input);
    unsigned char* to = reinterpret_cast<unsigned char*>(work);
    std::size_t at = 0;
#if defined(FFTPLUG_PATH_AVX512)
    for (; at + 128 <= bytes; at += 128) {
        copyEight(to + at, from + at);
        copyEight(to + at + 64, from + at + 64);
    }
    if (at + 64 <= bytes) { copyEight(to + at, from + at); at += 64; }
#elif defined(FFTPLUG_PATH_AVX2)
    for (; at + 64 <= bytes; at += 64) {
        copyFour(to + at, from + at);
        copyFour(to + at + 32, from + at + 32);
    }
    if (at + 32 <= bytes) { copyFour(to + at, from + at); at += 32; }
#else
    for (; at + 32 <= bytes; at += 32) {
        copyTwo(to + at, from + at);
        copyTwo(to + at + 16, from + at + 16);
    }
    if (at + 16 <= bytes) { copyTwo(to + at, from + at); at += 16; }
#endif
    // N is a power of two: below the lane's width it is the whole of N.
#if defined(FFTPLUG_PATH_AVX512)
    if (at + 32 <= bytes) { copyFour(to + at, from + at); at += 32; }
#endif
#if defined(FFTPLUG_PATH_AVX2) || defined(FFTPLUG_PATH_AVX512)
    if (at + 16 <= bytes) { copyTwo(to + at, from + at); at += 16; }
#endif
    if (at < bytes) copyOne(to + at, from + at);
#endif
}

}  // namespace fftplug::FFTPLUG_PATH_NS
