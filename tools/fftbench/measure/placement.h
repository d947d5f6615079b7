// Where a timed run's arrays and the stack of its timed calls lie within their
// 4 KiB pages: the same in every run, so that a figure does not depend on
// where the heap and the stack happened to start.
//
// A load whose address shares its low twelve bits with a store still in
// flight can be held back as if it depended on it (the core compares those
// bits first). Which loads meet which stores that way depends on where the
// arrays and the stack lie within their pages, and the heap and the stack
// start at a different place in every process: an entry of a few dozen
// points, whose registers are saved on the stack just before it loads its
// arrays, ran a fifth slower at some stack positions than at the others.
// Up to 128 points (1 KiB) the three arrays and the stack below the timed
// call keep to separate quarters of the page; beyond that they overlap, the
// same way in every run.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "host/guarded_array.h"

namespace fftbench::placement {

// Each array's first sample, bytes past a page boundary (before the line
// offset a run asks for is added).
constexpr size_t kInput = 0;
constexpr size_t kWork = 1024;
constexpr size_t kTable = 2048;
// Where the timed call's frames begin, bytes past a page boundary (give or
// take the few bytes of onPlacedStack's own): they and those below them,
// down to the kernels', fill the last quarter.
constexpr size_t kStackTop = 4032;

// `count` samples at `role` (kInput, kWork or kTable) plus `lineOffset`.
fftplug::host::GuardedArray array(size_t role, size_t count, size_t lineOffset = 0);

// The placement in words, for the headers of bench's and stages' output.
std::string describe();

// Calls `timed` with the stack moved down so that its frames begin just
// below kStackTop within their page, wherever the caller's stack lies.
void onPlacedStack(const std::function<void()>& timed);

}  // namespace fftbench::placement
