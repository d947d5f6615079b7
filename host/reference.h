// The double-precision reference that every entry is measured against, and
// the error measure.
#pragma once

#include <fftplug/fftplug.h>

#include <complex>
#include <cstdint>
#include <vector>

#include "twiddle.h"

namespace fftplug::host {

using Spectrum = std::vector<std::complex<double>>;

// X[k] = Σ x[n]·W(N, n·k), unscaled, natural order in and out, computed in
// double precision with twiddles from long double (error about 1e-16·log2 N).
// N must be a power of two.
Spectrum referenceTransform(const Spectrum& x, Direction direction = Direction::forward);

// The same sum evaluated term by term in long double: O(N²), for checking the
// reference itself on small N.
Spectrum directTransform(const Spectrum& x, Direction direction = Direction::forward);

Spectrum toSpectrum(const std::vector<Complex>& samples);

// ‖got − ref‖₂ / ‖ref‖₂, the relative RMS error of benchFFT; the plain RMS
// of got when ref is zero. NaN anywhere gives NaN.
double relativeRmsError(const std::vector<Complex>& got, const Spectrum& ref);
double relativeRmsError(const Spectrum& got, const Spectrum& ref);

}  // namespace fftplug::host
