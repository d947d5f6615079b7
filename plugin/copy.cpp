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
namespace {

void copyInLanes(Complex* work, const Complex* input, uint32_t n) {
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

// From this many samples on, work off a widest lane's boundary (a host's
// arrays 8 or 16 bytes off a line) is copied from its first boundary on, the
// samples before it on narrower lanes, so that no widest store spans two
// lines. Below it, the first stage's whole-lane loads would each meet two
// stores (see above): at 16 points on AVX2, 1.4-2.2 times slower.
constexpr uint32_t kFromLineAt = 512;

// Out of line, so that the small sizes' copy stays as short as it was.
__attribute__((noinline)) void copyFromLine(Complex* work, const Complex* input, uint32_t n) {
    const uint32_t head = samplesBeforeLine(work);
    copyInLanes(work, input, head);
    copyInLanes(work + head, input + head, n - head);
}

}  // namespace

void copySamples(Complex* work, const Complex* input, int32_t N) {
    const uint32_t n = static_cast<uint32_t>(N);
    if (Widest::width > 1 && n >= kFromLineAt) return copyFromLine(work, input, n);
    copyInLanes(work, input, n);
}

}  // namespace fftplug::FFTPLUG_PATH_NS
