#include "table.h"

#include <cstring>

namespace fftplug {

void bitReverseCopy(Complex* dst, const Complex* src, int32_t count) {
    if (count <= 0) return;
    // a walks the destination in bit-reversed order: adding one at the top
    // bit and carrying downward. Each XOR that clears a bit leaves a below
    // it, so the carry moves on to the next lower bit; the first XOR that
    // sets a bit ends it.
    int32_t a = 0;
    for (int32_t i = 0; i < count; ++i) {
        std::memcpy(&dst[a], &src[i], sizeof(Complex));  // bits as they are, NaN payloads too
        int32_t bit = count / 2;
        a ^= bit;
        while (a < bit) {
            bit /= 2;
            a ^= bit;
        }
    }
}

void prepareTable(Complex* table, int32_t N) {
    const int32_t half = N / 2;
    bitReverseCopy(table, table + half, half);
}

}  // namespace fftplug
