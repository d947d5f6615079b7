// Which path this unit is built for: FFTPLUG_PATH names a row of paths.h
// (the build defines it, with FFTPLUG_PATH_<NAME> beside it, for each path's
// objects). The kernels and their vocabulary are compiled once per path, each
// time into a namespace of its own (fftplug::scalar, fftplug::sse2 …), so
// that the inline helpers built with AVX2 or AVX-512 instructions never stand
// in for those of another path.
#pragma once

#include "paths.h"

// A unit outside the build's per-path objects (a test reading the kernels'
// headers) asks for the scalar vocabulary by FFTPLUG_PATH_SCALAR alone.
#if !defined(FFTPLUG_PATH) && defined(FFTPLUG_PATH_SCALAR)
#define FFTPLUG_PATH scalar
#endif
#if !defined(FFTPLUG_PATH)
#error "kernels are built for one path: define FFTPLUG_PATH as the name of a row of plugin/simd/paths.h"
#endif

#define FFTPLUG_PATH_NS FFTPLUG_PATH

// The lane header of the path, plugin/simd/<name>.h.
#define FFTPLUG_PATH_QUOTE_(text) #text
#define FFTPLUG_PATH_QUOTE(text) FFTPLUG_PATH_QUOTE_(text)
#define FFTPLUG_PATH_HEADER FFTPLUG_PATH_QUOTE(FFTPLUG_PATH.h)
