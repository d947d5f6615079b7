// The input copied into work before each transform, in the lanes of the
// path whose kernel reads it next. At small N the kernel loads the samples
// while the copy's stores are still on their way to the cache, and a load
// is served from a store only when that one store covers it: a copy in
// narrower pieces (the C library's memcpy under Wine stores 4 bytes at a
// time) makes every whole-lane load of the first stage wait for the stores
// to drain. Lane loads and stores move bits as they are, NaN payloads too;
// the single samples of the scalar lane, whose load is a Complex that a
// 32-bit build might pass through the x87 stack, go through memcpy.
#include <cstring>

#include <fftplug/fftplug.h>

#include "protocol.h"
#include "simd/lanes.h"

namespace fftplug::FFTPLUG_PATH_NS {

void copySamples(Complex* work, const Complex* input, int32_t N) {
    const uint32_t n = static_cast<uint32_t>(N);
    uint32_t copied = 0;
    if constexpr (Widest::width > 1) {
        forEachLaneUnrolled(n, [&](auto lane, uint32_t i, auto unroll) {
            if constexpr (decltype(lane)::width > 1) {
                constexpr uint32_t W = decltype(lane)::width;
                constexpr int U = decltype(unroll)::count;
                Samples<decltype(lane)> v[U];
                for (int u = 0; u < U; ++u) v[u] = load(lane, input + i + u * W);
                for (int u = 0; u < U; ++u) store(work + i + u * W, v[u]);
                copied = i + U * W;
            }
        });
    }
    // what is left, a single sample on a vector path (N = 1) or all of N
    if (copied < n) std::memcpy(work + copied, input + copied, (n - copied) * sizeof(Complex));
}

}  // namespace fftplug::FFTPLUG_PATH_NS
