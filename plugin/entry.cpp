// The library's entry routine and the processor floor it checks. This unit is
// compiled for general-purpose registers only: it runs before anything tells
// that the processor has SSE.
#include "entry.h"

#if defined(__i386__)
#include <cpuid.h>
#endif
#if defined(_WIN32)
#include <windows.h>
#endif

namespace fftplug {

bool meetsProcessorFloor() {
#if defined(__i386__)
    // CPUID itself is missing on the oldest processors; __get_cpuid says so
    // by returning 0. FXSR is what lets a system save the XMM registers.
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) return false;
    const unsigned needed = bit_SSE | bit_FXSAVE;
    if ((edx & needed) != needed) return false;
#if defined(_WIN32)
    // Windows reports the feature only where it also saves the registers
    // (Windows 2000 and later, on a processor that has them); Windows NT 4
    // does not, and there SSE instructions fault.
    return IsProcessorFeaturePresent(PF_XMMI_INSTRUCTIONS_AVAILABLE) != FALSE;
#else
    // Linux has saved the XMM registers of every processor that has them
    // since 2.4.
    return true;
#endif
#else
    // x86-64: SSE and SSE2 are part of the architecture.
    return true;
#endif
}

}  // namespace fftplug

#if defined(_WIN32)
// The image's entry point: no C runtime start-up runs before or after it. It
// turns the load away (LoadLibrary then fails cleanly) on a processor below
// the floor, where the first transform would raise an illegal instruction in
// the host, and otherwise reports success and does nothing else.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH && !fftplug::meetsProcessorFloor()) return FALSE;
    return TRUE;
}
#endif
