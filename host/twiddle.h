// Building the twiddle table a host hands to every entry.
#pragma once

#include <fftplug/fftplug.h>

#include <complex>
#include <cstdint>
#include <vector>

namespace fftplug::host {

// forward: W(M, j) = e^(−2πi·j/M); inverse: the conjugate root.
enum class Direction { forward, inverse };

// e^(∓2πi·j/M) in long double, reduced to the first octant so that the
// values at multiples of π/4 come out exact (1, 0, ±i) or symmetric.
std::complex<long double> unitRoot(uint64_t j, uint64_t M, Direction direction = Direction::forward);

// W(M, j) rounded once to single precision.
Complex twiddle(uint64_t j, uint64_t M, Direction direction = Direction::forward);

// The segmented table for N points: table[m + j] = W(2m, j) for every
// m = 1, 2, 4, …, N/2 and 0 <= j < m. The half table table[N/2 + k] = W(N, k)
// is computed once; every lower segment is an exact copy of its values.
// table[0] belongs to no segment and holds 1.
std::vector<Complex> makeTwiddleTable(int32_t N, Direction direction = Direction::forward);

}  // namespace fftplug::host
