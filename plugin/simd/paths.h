// The paths the kernels are built for, in the order of preference: the
// rows of plugin/simd/path_rows.txt (which says what each field means),
// made into FFTPLUG_FOR_EACH_PATH by cmake/FftplugRows.cmake, which builds
// each path's kernels from the same rows. Everything that knows the paths
// reads this list: the per-path namespaces and lanes (path.h, lanes.h), the
// kernel declarations (kernels.h), the dispatch (dispatch.cpp,
// path_choice.h, cpu.h), fftbench's naming of the path a library took, and
// the build.
//
// X(name, lane, "label", "flags", (check)).
#pragma once

#include "path_rows.h"  // FFTPLUG_FOR_EACH_PATH, made from path_rows.txt

namespace fftplug {

#define FFTPLUG_PATH_ENUMERATOR(name, ...) name,
enum class KernelPath { FFTPLUG_FOR_EACH_PATH(FFTPLUG_PATH_ENUMERATOR) };
#undef FFTPLUG_PATH_ENUMERATOR

}  // namespace fftplug
