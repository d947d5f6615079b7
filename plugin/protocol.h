// The run protocol that every entry follows, written once:
//   reps < 0  nothing is read or written;
//   reps = 0  the preparation call: entries that prepare the table rewrite its
//             first half, the others do nothing;
//   reps > 0  reps times: copy input to work, transform work in place.
//             The copy is the path's own (plugin/copy.cpp), in the lanes its
//             kernel loads them with.
//
// The host is trusted with sizes it can not tell us, but calls that could
// only crash or corrupt the host's memory do nothing instead: an N that is not
// a positive power of two or whose arrays would not fit the address space, a
// null array, or arrays that partly overlap. input == work is an in-place
// request: no copy, one transform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "kernels.h"
#include "simd/paths.h"
#include "table.h"

namespace fftplug {

enum class Preparation { none, bitReversedTable };

// Copies N samples of input into work, bit for bit; N a power of two.
using Copy = void (*)(Complex* work, const Complex* input, int32_t N);

// Each path's copy, plugin/copy.cpp.
#define FFTPLUG_DECLARE_PATH_COPY(path, ...) \
    namespace path {                         \
    void copySamples(Complex* work, const Complex* input, int32_t N); \
    }
FFTPLUG_FOR_EACH_PATH(FFTPLUG_DECLARE_PATH_COPY)
#undef FFTPLUG_DECLARE_PATH_COPY

namespace protocol {

inline bool isPowerOfTwo(int32_t N) { return N > 0 && (N & (N - 1)) == 0; }

// True when N samples starting at p lie inside the address space.
inline bool fitsAddressSpace(const void* p, int32_t N) {
    const std::uint64_t bytes = static_cast<std::uint64_t>(N) * sizeof(Complex);
    if (bytes > SIZE_MAX) return false;
    return reinterpret_cast<std::uintptr_t>(p) <= UINTPTR_MAX - static_cast<std::uintptr_t>(bytes);
}

inline bool overlap(const void* a, const void* b, int32_t N) {
    const std::uintptr_t pa = reinterpret_cast<std::uintptr_t>(a);
    const std::uintptr_t pb = reinterpret_cast<std::uintptr_t>(b);
    const std::uintptr_t bytes = static_cast<std::uintptr_t>(N) * sizeof(Complex);
    return pa < pb + bytes && pb < pa + bytes;
}

}  // namespace protocol

inline void runProtocol(Kernel kernel, Copy copy, int32_t N, const Complex* input, Complex* work, Complex* table,
                        int32_t reps, Preparation preparation) {
    using namespace protocol;
    if (reps < 0 || !isPowerOfTwo(N)) return;

    if (reps == 0) {
        if (preparation == Preparation::bitReversedTable && table != nullptr &&
            fitsAddressSpace(table, N))
            prepareTable(table, N);
        return;
    }

    if (input == nullptr || work == nullptr || table == nullptr) return;
    if (!fitsAddressSpace(input, N) || !fitsAddressSpace(work, N) || !fitsAddressSpace(table, N))
        return;
    if (overlap(table, input, N) || overlap(table, work, N)) return;

    if (input == work) {  // in place: the input is its own fresh copy once only
        kernel(work, table, N);
        return;
    }
    if (overlap(input, work, N)) return;

    for (int32_t r = 0; r < reps; ++r) {
        copy(work, input, N);
        kernel(work, table, N);
    }
}

}  // namespace fftplug
