// Other FFT libraries timed in the same run, for scale: FFTW in single
// precision and KissFFT, each where the build found it (never on Windows).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "measure/bench_run.h"

namespace fftbench {

// The peers built into this fftbench, in the order they are benchmarked.
// FFTW is the system's single-precision FFTW 3 (libfftw3f.so.3), or with
// `fftwPath` non-empty the library at that path in its place (Linux only),
// each opened at run time and bound to its own symbols; a path that does
// not load, or a library without the functions the peer calls, is a
// UsageError.
std::vector<Contender> peerContenders(const std::string& fftwPath = "");

// FFTW's own count (fftwf_flops) of the real operations of its plan for N
// points, forward, out of place, planned with FFTW_ESTIMATE | FFTW_NO_SIMD:
// the plan its planner expects to be cheapest, without vector codelets
// (whose instructions fftwf_flops counts as one operation each). nullopt
// without FFTW.
struct OperationCount {
    double additions = 0, multiplications = 0, fusedMultiplyAdds = 0;
    double flops() const { return additions + multiplications + 2 * fusedMultiplyAdds; }
};
std::optional<OperationCount> fftwOperationCount(uint32_t N);
// The plan fftwOperationCount counts, in words; empty without FFTW.
std::string fftwCountDescription();

// One line per peer library this fftbench was built with ("none" if none).
std::vector<std::string> peerDescriptions(const std::string& fftwPath = "");

}  // namespace fftbench
