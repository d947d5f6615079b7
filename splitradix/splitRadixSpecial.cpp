// Entry 9: entry 8's transform with three butterfly kinds. Block 0 of every
// stage has the factors 1 and 1 and needs no multiplication; block 1 has
// W(8, 1) and W(8, 3), done with four multiplications by c = √½; blocks 2 and
// later use the general butterfly with factors from the table.
#include "../plugin/protocol.h"
#include "../plugin/transform.h"
#include "splitradix.h"

namespace fftplug {
namespace {

// Block 0: D0 − i·D1 and D0 + i·D1 unmultiplied.
inline void twiddleFree(Complex* p, uint32_t q) {
    const Complex x0 = p[0], x1 = p[q], x2 = p[2 * q], x3 = p[3 * q];
    const Complex d0 = sub(x0, x1), d1 = sub(x2, x3);
    p[0] = add(x0, x1);
    p[2 * q] = add(x2, x3);
    p[q] = subTimesI(d0, d1);
    p[3 * q] = addTimesI(d0, d1);
}

// Block 1: (D0 − i·D1)·(c − i·c) and (D0 + i·D1)·(−c − i·c). With P, Q the
// parts of D0 − i·D1 and U = D1.im − D0.re, V = D0.im + D1.re, each component
// is one sum or difference followed by one multiplication by c.
inline void blockOne(Complex* p, uint32_t q) {
    const Complex x0 = p[0], x1 = p[q], x2 = p[2 * q], x3 = p[3 * q];
    const Complex d0 = sub(x0, x1), d1 = sub(x2, x3);
    const float P = d0.re + d1.im, Q = d0.im - d1.re;
    const float U = d1.im - d0.re, V = d0.im + d1.re;
    p[0] = add(x0, x1);
    p[2 * q] = add(x2, x3);
    p[q] = {(P + Q) * kSqrtHalf, (Q - P) * kSqrtHalf};
    p[3 * q] = {(U + V) * kSqrtHalf, (U - V) * kSqrtHalf};
}

template <void (*kind)(Complex*, uint32_t)>
inline void specialBlock(Complex* block, uint32_t q) {
    splitradix::forEachOffsetRun(q, [&](uint32_t first, uint32_t count) {
        for (uint32_t j = first; j < first + count; ++j) kind(block + j, q);
    });
}

void splitRadixSpecialKernel(Complex* a, const Complex* table, int32_t N) {
    const uint64_t n = static_cast<uint32_t>(N);
    for (uint64_t b = 4, q = 1; b <= n; b *= 2, q *= 2) {
        const uint32_t quarter = static_cast<uint32_t>(q);
        const uint32_t size = static_cast<uint32_t>(b);
        specialBlock<twiddleFree>(a, quarter);
        if (b == n) break;  // the last stage has block 0 alone
        specialBlock<blockOne>(a + size, quarter);
        for (uint32_t k = 2, s = 2 * size; s < n; ++k, s += size)
            splitradix::generalBlock(a, s, quarter, splitradix::blockFactors(table, k));
    }
    splitradix::closingPass(a, static_cast<uint32_t>(n));
}

}  // namespace

FFTPLUG_DEFINE_TRANSFORM(splitRadixSpecial, splitRadixSpecialKernel, Preparation::bitReversedTable)

}  // namespace fftplug
