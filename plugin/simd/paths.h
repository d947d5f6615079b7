// The paths the kernels are built for, one row each, in the order of
// preference: the dispatching library takes the last row whose check this
// machine passes. Everything that knows the paths reads this list: the
// per-path namespaces and lanes (path.h, lanes.h), the kernel declarations
// (kernels.h), the dispatch (dispatch.cpp, path_choice.h, cpu.h), fftbench's
// naming of the path a library took, and the build (cmake/FftplugPlugin.cmake
// reads the rows' names and flags with a regular expression, so every row
// stays on one line of its own, its name and its flags first).
//
// X(name, lane, label, flags, check):
//   name   the namespace of the path's kernels (fftplug::name), its lane
//          header (plugin/simd/name.h), its fixed-path library (fftplug-name)
//          and its KernelPath
//   lane   the widest lane of the path, a type that its header defines
//   label  how reports name the path
//   flags  the compile options of its kernels, separated by spaces
//   check  true when this machine runs the path: CPUID bits through
//          has(leaf, subleaf, register, bits) and the register state the
//          system saves (XCR0 bits) through saves(bits), see cpu.h
//
// scalar: one sample at a time, the compiler's own vectoriser off, so that it
// is the plain oracle of the others; in 32-bit code it asks for SSE alone
// (entry.h), the floor of the whole library. SSE2: every x86-64 processor
// has it; 32-bit code turns it on for these kernels only. AVX2 without FMA: products and
// sums stay separate roundings. AVX-512 F, DQ, BW and VL, again without FMA.
// But AVX-512F carries fused multiply-adds of its own that -mno-fma leaves
// on, and GCC 12's vectoriser fuses the products and sums of the code it
// vectorises (the narrower lanes' Complex arithmetic) into vfmaddsub whatever
// -ffp-contract says (seen in 32-bit builds): the vectoriser stays off, the
// kernels are vectorised by hand. GCC 12's own 512-bit intrinsics leave their
// undefined pass-through operand uninitialised on purpose, which
// -Wmaybe-uninitialized and -Wuninitialized report at every use (GCC bug
// 105593); the same sources built for the other paths keep both warnings. Clang (the fuzz
// build) treats -mno-fma as switching AVX-512F off too, so there it is left
// out; -ffp-contract=off keeps clang unfused. The AVX-512 check asks for AVX2
// as well, and for the mask registers (XCR0 bit 5) and the upper halves of
// ZMM0 to 15 (bit 6) and ZMM16 to 31 (bit 7) besides the SSE and AVX state
// (bits 1 and 2).
#pragma once

#define FFTPLUG_FOR_EACH_PATH(X) \
    X(scalar, One, "scalar", "-fno-tree-vectorize -fno-tree-slp-vectorize", (true)) \
    X(sse2, Two, "SSE2", "-msse2", (has(1, 0, edx, bit_SSE2))) \
    X(avx2, Four, "AVX2", "-mavx2 -mno-fma", (has(1, 0, ecx, bit_OSXSAVE | bit_AVX) && saves(0x6) && has(7, 0, ebx, bit_AVX2))) \
    X(avx512, Eight, "AVX-512", "-mavx512f -mavx512dq -mavx512bw -mavx512vl -fno-tree-vectorize -fno-tree-slp-vectorize $<$<CXX_COMPILER_ID:GNU>:-mno-fma> $<$<CXX_COMPILER_ID:GNU>:-Wno-maybe-uninitialized> $<$<CXX_COMPILER_ID:GNU>:-Wno-uninitialized>", (has(1, 0, ecx, bit_OSXSAVE | bit_AVX) && saves(0xE6) && has(7, 0, ebx, bit_AVX2 | bit_AVX512F | bit_AVX512DQ | bit_AVX512BW | bit_AVX512VL)))

namespace fftplug {

#define FFTPLUG_PATH_ENUMERATOR(name, ...) name,
enum class KernelPath { FFTPLUG_FOR_EACH_PATH(FFTPLUG_PATH_ENUMERATOR) };
#undef FFTPLUG_PATH_ENUMERATOR

}  // namespace fftplug
