// Test builds only: a hook through which the test suite watches the order of
// calls inside an entry. The shipped library compiles it to nothing and keeps
// no state.
#pragma once

#include <cstdint>

#if defined(FFTPLUG_TRACE)
namespace fftplug::trace {
// kind 'C': a worker call opens block (size, index); 'J': the block's halves
// are joined with table[index].
void event(char kind, int32_t size, int32_t index);
}  // namespace fftplug::trace
#define FFTPLUG_TRACE_EVENT(kind, size, index) ::fftplug::trace::event(kind, size, index)
#else
#define FFTPLUG_TRACE_EVENT(kind, size, index) ((void)0)
#endif
