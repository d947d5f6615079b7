// How the stage builds (plugin/stages.h) end a kernel call at a stage mark:
// each kernel is called through stoppable<kernel>, which keeps the point to
// return to; the mark past the allowed stages jumps back there.
#pragma once

#include "../kernels.h"

namespace fftplug::stages {

// Calls kernel(work, table, N), ended early by the stage marks past the
// allowed stages.
void runStoppable(Kernel kernel, Complex* work, const Complex* table, int32_t N);

template <Kernel kernel>
void stoppable(Complex* work, const Complex* table, int32_t N) {
    runStoppable(kernel, work, table, N);
}

}  // namespace fftplug::stages
