#include "measure/placement.h"

#include <fmt/format.h>

#include <cstdint>

#if defined(_WIN32)
#include <malloc.h>
#else
#include <alloca.h>
#endif

namespace fftbench::placement {

fftplug::host::GuardedArray array(size_t role, size_t count, size_t lineOffset) {
    return fftplug::host::GuardedArray::inPage(count, role + lineOffset);
}

std::string describe() {
    return fmt::format(
        "input, work, table at {}, {} and {} KiB into a page (a peer's input and output as input and work); "
        "the timed calls' stack in its last quarter",
        kInput / 1024, kWork / 1024, kTable / 1024);
}

// Not inlined, so that its frame, and the stack pointer the padding leaves
// below it, are the same at every call.
__attribute__((noinline)) void onPlacedStack(const std::function<void()>& timed) {
    constexpr size_t kPage = fftplug::host::GuardedArray::kPageBytes;
    volatile unsigned char here = 0;
    const size_t at = reinterpret_cast<uintptr_t>(&here) % kPage;
    // Padding from here down to kStackTop (a whole page when already there,
    // so that the size is never zero).
    const size_t drop = (at + kPage - kStackTop) % kPage + kPage;
    auto* padding = static_cast<volatile unsigned char*>(alloca(drop));
    padding[0] = here;  // keeps the padding
    timed();
}

}  // namespace fftbench::placement
