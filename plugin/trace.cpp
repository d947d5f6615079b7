// Compiled into the test-only traced build of the library, never shipped.
#include "trace.h"

#include <fftplug/fftplug.h>

namespace {
using Hook = void (*)(char, int32_t, int32_t);
Hook hook = nullptr;
}  // namespace

namespace fftplug::trace {
void event(char kind, int32_t size, int32_t index) {
    if (hook != nullptr) hook(kind, size, index);
}
}  // namespace fftplug::trace

extern "C" FFTPLUG_EXPORT void FFTPLUG_CALL setTraceHook(Hook h) { hook = h; }
