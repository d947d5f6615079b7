// The scalar lane: one Complex sample at a time. Every other lane performs,
// sample by sample, exactly the float operations written here, so the scalar
// build is the exact oracle of the vector paths.
#pragma once

#include <cstdint>

#include "../complex_math.h"
#include "path.h"

namespace fftplug::FFTPLUG_PATH_NS {

struct One {
    static constexpr uint32_t width = 1;
};

inline Complex load(One, const Complex* p) { return *p; }
inline void store(Complex* p, Complex v) { *p = v; }
// One factor for every sample of the lane.
inline Complex factor(One, Complex w) { return w; }
// Lane-wise factors: sample l of the lane is multiplied by w[l].
inline Complex factors(One, const Complex* w) { return *w; }
// Lane-wise factors read `stride` samples apart: sample l by w[l·stride].
inline Complex factorsStrided(One, const Complex* w, uint32_t) { return *w; }
inline Complex scale(Complex a, float c) { return {a.re * c, a.im * c}; }

}  // namespace fftplug::FFTPLUG_PATH_NS
