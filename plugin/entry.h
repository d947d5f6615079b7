// The processor the library needs, and the check that the DLL's entry
// routine makes before the library is mapped into a host for good.
#pragma once

namespace fftplug {

// True when the processor has SSE (Pentium III, Athlon XP and later) and the
// operating system saves the XMM registers across thread switches: the floor
// of every kernel, the scalar ones included (their single-precision
// arithmetic is SSE's, so that it rounds as on x86-64). Built without any
// SSE or x87 instruction, so that it runs on the processors it turns away.
bool meetsProcessorFloor();

}  // namespace fftplug
