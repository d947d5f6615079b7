// What the processor and the operating system offer, for choosing a path.
#pragma once

namespace fftplug::cpu {

// True when the processor has AVX2 and the operating system saves the 256-bit
// registers across context switches (CPUID and XGETBV).
bool runsAvx2();

// True when the processor has AVX-512 F, DQ, BW and VL and the operating
// system saves the 512-bit registers and the mask registers as well.
bool runsAvx512();

}  // namespace fftplug::cpu
