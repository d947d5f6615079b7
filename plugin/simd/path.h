// Which path this unit is built for. The kernels and their vocabulary are
// compiled once per path, each time into a namespace of its own
// (fftplug::scalar, fftplug::sse2, fftplug::avx2, fftplug::avx512), so that
// the inline helpers built with AVX2 or AVX-512 instructions never stand in
// for those of another path.
#pragma once

#if defined(FFTPLUG_PATH_AVX512)
#define FFTPLUG_PATH_NS avx512
#elif defined(FFTPLUG_PATH_AVX2)
#define FFTPLUG_PATH_NS avx2
#elif defined(FFTPLUG_PATH_SSE2)
#define FFTPLUG_PATH_NS sse2
#elif defined(FFTPLUG_PATH_SCALAR)
#define FFTPLUG_PATH_NS scalar
#else
#error "kernels are built for one path: define FFTPLUG_PATH_SCALAR, FFTPLUG_PATH_SSE2, FFTPLUG_PATH_AVX2 or FFTPLUG_PATH_AVX512"
#endif
