#include "reference.h"

#include <cmath>
#include <stdexcept>

#include "bit_reversal.h"

namespace fftplug::host {

Spectrum referenceTransform(const Spectrum& x, Direction direction) {
    const size_t n = x.size();
    if (!isPowerOfTwo(n)) throw std::invalid_argument("reference transform needs a power of two");
    Spectrum a = bitReversed(x);
    Spectrum roots(n / 2);
    for (size_t k = 0; k < n / 2; ++k) {
        const auto w = unitRoot(k, n, direction);
        roots[k] = {static_cast<double>(w.real()), static_cast<double>(w.imag())};
    }
    // Iterative decimation in time: the stage of span 2h uses W(2h, j) = W(N, j·N/2h).
    for (size_t h = 1; h < n; h *= 2) {
        const size_t stride = n / (2 * h);
        for (size_t start = 0; start < n; start += 2 * h) {
            for (size_t j = 0; j < h; ++j) {
                const std::complex<double> t = a[start + j + h] * roots[j * stride];
                a[start + j + h] = a[start + j] - t;
                a[start + j] += t;
            }
        }
    }
    return a;
}

Spectrum directTransform(const Spectrum& x, Direction direction) {
    const size_t n = x.size();
    Spectrum out(n);
    for (size_t k = 0; k < n; ++k) {
        std::complex<long double> sum = 0;
        for (size_t j = 0; j < n; ++j)
            sum += std::complex<long double>(x[j].real(), x[j].imag()) *
                   unitRoot(static_cast<uint64_t>(j) * k % n, n, direction);
        out[k] = {static_cast<double>(sum.real()), static_cast<double>(sum.imag())};
    }
    return out;
}

Spectrum toSpectrum(const std::vector<Complex>& samples) {
    Spectrum out(samples.size());
    for (size_t i = 0; i < samples.size(); ++i) out[i] = {samples[i].re, samples[i].im};
    return out;
}

double relativeRmsError(const Spectrum& got, const Spectrum& ref) {
    if (got.size() != ref.size()) throw std::invalid_argument("relativeRmsError: sizes differ");
    long double error = 0, norm = 0;
    for (size_t i = 0; i < got.size(); ++i) {
        error += std::norm(std::complex<long double>(got[i]) - std::complex<long double>(ref[i]));
        norm += std::norm(std::complex<long double>(ref[i]));
    }
    if (norm == 0) return std::sqrt(static_cast<double>(error / (got.empty() ? 1 : got.size())));
    return std::sqrt(static_cast<double>(error / norm));
}

double relativeRmsError(const std::vector<Complex>& got, const Spectrum& ref) {
    return relativeRmsError(toSpectrum(got), ref);
}

}  // namespace fftplug::host
