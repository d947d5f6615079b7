// The entries in catalogue order, one row each, from plugin/entry_rows.txt
// (cmake/FftplugRows.cmake makes the rows; that file says what each field
// holds):
//   FFTPLUG_FOR_EACH_ENTRY(X, context): X(context, name, order)
//   FFTPLUG_FOR_EACH_ENTRY_ROW(X, context):
//       X(context, name, order, "Shift-JIS name", "name", "gloss", "label")
//   name   the entry's transform (fftplug::name, transform.h), its kernel in
//          every path's namespace (fftplug::<path>::name, kernels.h) and its
//          file (<folder>/<name>.cpp)
//   order  the catalogue's flags: kPlain (bit-reversed input, natural
//          result), kNaturalInput (natural input, bit-reversed result) or
//          kPrepares (a call with reps = 0 prepares the table, which the
//          entry then reads in its prepared form; the run protocol's
//          preparation follows from this flag alone)
// The catalogue (catalogue.cpp) holds the Shift-JIS names; hosts read the
// others (fftbench's names and labels, the Python host's words).
// `context` is handed to X unchanged (a path's name, or nothing).
#pragma once

#include <fftplug/fftplug.h>

#include "entry_rows.h"  // made from entry_rows.txt

namespace fftplug {

constexpr uint32_t kPlain = FFTPLUG_FLAG_ENTRY;                                      // 0x001
constexpr uint32_t kNaturalInput = FFTPLUG_FLAG_ENTRY | FFTPLUG_FLAG_NATURAL_INPUT;  // 0x201
constexpr uint32_t kPrepares = FFTPLUG_FLAG_ENTRY | FFTPLUG_FLAG_PREPARES_TABLE;     // 0x401

#define FFTPLUG_COUNT_ENTRY(context, name, order) +1
static_assert(0 FFTPLUG_FOR_EACH_ENTRY(FFTPLUG_COUNT_ENTRY, ) == FFTPLUG_ENTRY_COUNT,
              "one row for each entry that runEntry runs");
#undef FFTPLUG_COUNT_ENTRY

}  // namespace fftplug
