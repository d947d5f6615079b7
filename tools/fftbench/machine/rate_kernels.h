// The loops that measure the processor's rates (rates.h), one set per
// vector width, each compiled for its own instruction set (rate_kernels_*.cpp).
// This header and those files include no library header but the intrinsics:
// code compiled for a wider instruction set must not provide inline
// functions the rest of fftbench might take (and then run on a processor
// without that set).
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace fftbench {

struct RateKernels {
    // Reads bytes (a multiple of 8 vectors) from p, `passes` times, with
    // vector loads; returns a value that depends on every load.
    uint64_t (*load)(const void* p, size_t bytes, int64_t passes);
    // Writes bytes (a multiple of 8 vectors) to p, `passes` times, with vector stores.
    void (*store)(void* p, size_t bytes, int64_t passes);
    // The same over the four quarters of the buffer at once: four streams.
    uint64_t (*loadFourStreams)(const void* p, size_t bytes, int64_t passes);
    void (*storeFourStreams)(void* p, size_t bytes, int64_t passes);
    // 2 · chains vector additions (or multiplications) an iteration, in
    // `chains` independent chains.
    float (*add)(int64_t iterations);
    float (*multiply)(int64_t iterations);
    // 2 · chains in-lane shuffles an iteration, in independent chains: the swap of
    // real and imaginary parts and the duplications of one part that a
    // complex multiplication of interleaved samples makes. Null for the
    // scalar path, whose complex multiplication has none.
    float (*shuffle)(int64_t iterations);
    unsigned lanes;        // floats in a vector
    unsigned vectorBytes;  // bytes a load or store moves
    unsigned chains;       // independent chains of the arithmetic loops
};

// Null where this build has no such kernels (not x86).
const RateKernels* scalarRateKernels();
const RateKernels* sse2RateKernels();
const RateKernels* avx2RateKernels();
const RateKernels* avx512RateKernels();

}  // namespace fftbench
