// Other FFT libraries timed in the same run, for scale: FFTW in single
// precision and KissFFT, each where the build found it (never on Windows).
#pragma once

#include <string>
#include <vector>

#include "bench.h"

namespace fftbench {

// The peers built into this fftbench, in the order they are benchmarked.
std::vector<Contender> peerContenders();

// One line per peer library this fftbench was built with ("none" if none).
std::vector<std::string> peerDescriptions();

}  // namespace fftbench
