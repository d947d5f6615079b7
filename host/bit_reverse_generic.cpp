// The bit-reversal permutation in plain C++, the path every build has, and
// the choice among the paths.
#include <cpuid.h>

#include "bit_reverse.h"
#include "bit_reverse_tiles.h"

namespace fftplug::host::reorder {

namespace detail {

// Each vector path's entry point, in its own unit compiled for its
// instruction set; built == false where this build has no such path.
bool avx2Built();
void permuteAvx2(const Complex* src, Complex* dst, unsigned bits, const Finish& finish);
bool avx512Built();
void permuteAvx512(const Complex* src, Complex* dst, unsigned bits, const Finish& finish);

namespace {

struct GenericTile {
    struct State {
        explicit State(const Finish& f) : finish(f) {}
        Finish finish;
    };
    template <bool kFinish>
    static void move(const Complex* src, ptrdiff_t S, Complex* dst, ptrdiff_t D, const State& state) {
        for (int e = 0; e < 8; ++e) {
            const Complex* column = src + kRev3[e];
            Complex* row = dst + D * e;
            for (int j = 0; j < 8; ++j) moveSample<kFinish>(column + S * kRev3[j], row + j, state.finish);
        }
    }
    static constexpr bool kCanStream = false;
    template <bool kStream>
    static void copyRun(const Complex* in, Complex* out) {
        std::memcpy(out, in, kBlock * sizeof(Complex));
    }
    static void streamFence() {}
};

// What CPUID reports and XCR0 says the system saves.
bool cpuHas(unsigned leaf, unsigned subleaf, int reg, unsigned bits) {
    unsigned r[4] = {0, 0, 0, 0};
    if (__get_cpuid_count(leaf, subleaf, &r[0], &r[1], &r[2], &r[3]) == 0) return false;
    return (r[reg] & bits) == bits;
}
bool systemSaves(uint64_t bits) {
    if (!cpuHas(1, 0, 2, bit_OSXSAVE | bit_AVX)) return false;
    uint32_t low = 0, high = 0;
    __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    return (((static_cast<uint64_t>(high) << 32) | low) & bits) == bits;
}

}  // namespace
}  // namespace detail

const char* pathName(Path path) {
    switch (path) {
        case Path::generic: return "generic";
        case Path::avx2: return "AVX2";
        case Path::avx512: return "AVX-512";
    }
    return "?";
}

std::vector<Path> runnablePaths() {
    using namespace detail;
    std::vector<Path> paths{Path::generic};
    if (avx2Built() && systemSaves(0x6) && cpuHas(7, 0, 1, bit_AVX2)) paths.push_back(Path::avx2);
    if (avx512Built() && systemSaves(0xE6) && cpuHas(7, 0, 1, bit_AVX512F)) paths.push_back(Path::avx512);
    return paths;
}

Path widestPath() {
    static const Path widest = runnablePaths().back();
    return widest;
}

void bitReverse(Path path, const Complex* src, Complex* dst, unsigned bits, const Finish& finish) {
    switch (path) {
        case Path::avx512: return detail::permuteAvx512(src, dst, bits, finish);
        case Path::avx2: return detail::permuteAvx2(src, dst, bits, finish);
        case Path::generic: break;
    }
    detail::permute<detail::GenericTile>(src, dst, bits, finish);
}

void bitReverse(const Complex* src, Complex* dst, unsigned bits, const Finish& finish) {
    bitReverse(widestPath(), src, dst, bits, finish);
}

void applyFinish(const Complex* src, Complex* dst, size_t n, const Finish& finish) {
    const uint32_t sign = finish.conjugate ? 0x80000000u : 0u;
    const float scale = finish.scale;
    if (scale == 1.0f) {
        for (size_t i = 0; i < n; ++i) {
            uint32_t w[2];
            std::memcpy(w, src + i, sizeof w);
            w[1] ^= sign;
            std::memcpy(dst + i, w, sizeof w);
        }
        return;
    }
    for (size_t i = 0; i < n; ++i) {
        uint32_t w[2];
        std::memcpy(w, src + i, sizeof w);
        w[1] ^= sign;
        float v[2];
        std::memcpy(v, w, sizeof v);
        v[0] *= scale;
        v[1] *= scale;
        std::memcpy(dst + i, v, sizeof v);
    }
}

}  // namespace fftplug::host::reorder
