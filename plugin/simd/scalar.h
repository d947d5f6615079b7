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
    using narrower = One;
};

inline Complex load(One, const Complex* p) {
    FFTPLUG_LOAD(p);
    return *p;
}
inline void store(Complex* p, Complex v) {
    FFTPLUG_STORE(p);
    *p = v;
}
// One factor for every sample of the lane.
inline Complex factor(One, Complex w) { return w; }
// Lane-wise factors: sample l of the lane is multiplied by w[l].
inline Complex factors(One, const Complex* w) { return twiddle(w); }
// Lane-wise factors read `stride` samples apart: sample l by w[l·stride].
inline Complex factorsStrided(One, const Complex* w, uint32_t) { return twiddle(w); }
inline Complex scale(Complex a, float c) {
    FFTPLUG_MULTIPLICATIONS(2);
    return {a.re * c, a.im * c};
}

// ---- Narrow radix-2 stages: vocabulary shared by every path ----
// A radix-2 stage whose half-span H is narrower than a lane is done a group
// of adjacent blocks at a time: the 2·width samples of a group are loaded as
// two lanes x (the first half of every block of 2H samples) and y (the
// second halves), in an order of the path's choosing, and stored back the
// same way. The scalar lane never needs it (its half-spans are never
// narrower than one sample).
template <uint32_t H>
struct Span {
    static constexpr uint32_t half = H;
};
template <typename V>
struct Halves {
    V x, y;
};


// ---- Radix-4 and split-radix narrow stages (one butterfly per block) ----
// Lane::width blocks of four samples at p, across the blocks: x[i] holds
// sample i of every block (lane l: p[4l + i]); one block on this lane.
inline void loadAcrossBlocks(One, const Complex* p, Complex (&x)[4]) {
    for (int i = 0; i < 4; ++i) {
        FFTPLUG_LOAD(p + i);
        x[i] = p[i];
    }
}
inline void storeAcrossBlocks(Complex* p, const Complex (&y)[4]) {
    for (int i = 0; i < 4; ++i) {
        FFTPLUG_STORE(p + i);
        p[i] = y[i];
    }
}
// Lane-wise factors from the even entries: sample l multiplied by w[2l].
inline Complex factorsEven(One, const Complex* w) { return twiddle(w); }
// The samples p[0], p[stride], … of a lane, one to a sample, and back.
inline Complex loadStrided(One, const Complex* p, uint32_t) {
    FFTPLUG_LOAD(p);
    return *p;
}
inline void storeStrided(Complex* p, uint32_t, Complex v) {
    FFTPLUG_STORE(p);
    *p = v;
}
// ---- end of radix-4 and split-radix section ----

}  // namespace fftplug::FFTPLUG_PATH_NS
