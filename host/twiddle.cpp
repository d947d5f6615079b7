#include "twiddle.h"

#include <cmath>
#include <stdexcept>

namespace fftplug::host {

std::complex<long double> unitRoot(uint64_t j, uint64_t M, Direction direction) {
    if (M == 0) throw std::invalid_argument("unitRoot: M must be positive");
    // The angle is 2π·n/(8M) with n = 8·(j mod M): a whole turn is 8M, so the
    // half, quarter and eighth turns are the whole numbers 4M, 2M and M.
    uint64_t n = 8 * (j % M);
    bool negateSine = false, negateCosine = false, swap = false;
    if (n > 4 * M) {  // θ = 2π − θ'
        n = 8 * M - n;
        negateSine = true;
    }
    if (n > 2 * M) {  // θ = π − θ'
        n = 4 * M - n;
        negateCosine = true;
    }
    if (n > M) {  // θ = π/2 − θ'
        n = 2 * M - n;
        swap = true;
    }
    const long double pi = 3.141592653589793238462643383279502884L;
    const long double theta = 2 * pi * static_cast<long double>(n) / (8.0L * static_cast<long double>(M));
    long double c = std::cos(theta), s = std::sin(theta);
    if (swap) std::swap(c, s);
    if (negateCosine) c = -c;
    if (negateSine) s = -s;
    // W = cos θ − i·sin θ forward; adding zero turns a −0 into +0.
    const long double im = (direction == Direction::forward ? -s : s) + 0.0L;
    return {c + 0.0L, im};
}

Complex twiddle(uint64_t j, uint64_t M, Direction direction) {
    const std::complex<long double> w = unitRoot(j, M, direction);
    return {static_cast<float>(w.real()), static_cast<float>(w.imag())};
}

std::vector<Complex> makeTwiddleTable(int32_t N, Direction direction) {
    if (N < 1 || (N & (N - 1)) != 0) throw std::invalid_argument("N must be a positive power of two");
    const uint32_t n = static_cast<uint32_t>(N);
    std::vector<Complex> table(n);
    table[0] = {1.0f, 0.0f};
    const uint32_t half = n / 2;
    for (uint32_t k = 0; k < half; ++k) table[half + k] = twiddle(k, n, direction);
    for (uint32_t m = 1; m < half; m *= 2) {
        const uint32_t stride = n / (2 * m);
        for (uint32_t j = 0; j < m; ++j) table[m + j] = table[half + j * stride];
    }
    return table;
}

}  // namespace fftplug::host
