// Compiled into the stage builds of the library alone (fftplug_stages and
// fftplug_stages-<path>), never shipped: the stage counter behind the stage
// mark of plugin/instrument/marks.h, the return point that ends a kernel
// call after its allowed stages, and the two exports of plugin/stages.h.
//
// The return is GCC's __builtin_setjmp and __builtin_longjmp: a saved frame
// and stack pointer, no C library and no unwinding. The kernels keep nothing
// that needs undoing (no destructors, no allocation), so that leaving them
// between two stages leaves work half transformed and nothing else changed.
#include "stages.h"

#include "../stages.h"
#include "marks.h"

namespace fftplug::stages {

uint64_t begun = 0;
uint64_t allowed = ~uint64_t{0};

namespace {

void* returnPoint[5];

}  // namespace

void endCall() { __builtin_longjmp(returnPoint, 1); }

__attribute__((noinline)) void runStoppable(Kernel kernel, Complex* work, const Complex* table, int32_t N) {
    begun = 0;
    if (__builtin_setjmp(returnPoint) == 0) kernel(work, table, N);
}

}  // namespace fftplug::stages

extern "C" FFTPLUG_EXPORT int32_t FFTPLUG_CALL limitStages(int32_t stages) {
    using namespace fftplug::stages;
    const int32_t before = allowed > 0x7FFFFFFF ? -1 : static_cast<int32_t>(allowed);
    allowed = stages < 0 ? ~uint64_t{0} : static_cast<uint64_t>(stages);
    return before;
}

extern "C" FFTPLUG_EXPORT int32_t FFTPLUG_CALL countStages(uint32_t index, int32_t N, const Complex* input,
                                                          Complex* work, Complex* table) {
    using namespace fftplug::stages;
    if (N < 1 || (N & (N - 1)) != 0 || N > (int32_t{1} << 30)) return -1;
    const uint64_t before = allowed;
    allowed = ~uint64_t{0};
    begun = 0;  // a call that fails its checks reaches no kernel
    runEntry(index, N, input, 0, work, 0, table, 0, 1);
    allowed = before;
    return begun > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int32_t>(begun);
}
