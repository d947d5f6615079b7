// The twiddle table's bit-reversed preparation.
#pragma once

#include <fftplug/fftplug.h>

namespace fftplug {

// dst[rev(i, log2 count)] = src[i] for 0 <= i < count, moving each sample as
// raw bytes. count is a power of two (or 0 or less: nothing is done); the two
// arrays do not overlap.
void bitReverseCopy(Complex* dst, const Complex* src, int32_t count);

// Rewrites table[0 .. N/2) as the bit-reversed copy of table[N/2 .. N), so
// that table[k] = W(N, rev(k, log2(N/2))). The upper half is left as it is.
void prepareTable(Complex* table, int32_t N);

}  // namespace fftplug
