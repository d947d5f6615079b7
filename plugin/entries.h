// The ten entries in catalogue order, one row each: X(context, name, order).
//   name   the entry's transform (fftplug::name, transform.h), its kernel in
//          every path's namespace (fftplug::<path>::name, kernels.h) and its
//          record in the catalogue (catalogue.cpp, which holds the names)
//   order  the catalogue's flags: kPlain (bit-reversed input, natural
//          result), kNaturalInput (natural input, bit-reversed result) or
//          kPrepares (a call with reps = 0 prepares the table, which the
//          entry then reads in its prepared form; the run protocol's
//          preparation follows from this flag alone)
// `context` is handed to X unchanged (a path's name, or nothing).
#pragma once

#include <fftplug/fftplug.h>

#define FFTPLUG_FOR_EACH_ENTRY(X, context)         \
    X(context, ditRadix2, kPlain)                  \
    X(context, ditRadix2Half, kPlain)              \
    X(context, difRadix2, kNaturalInput)           \
    X(context, difRadix2Reversed, kPrepares)       \
    X(context, difRadix2Recursive, kPrepares)      \
    X(context, difRadix2Special, kPrepares)        \
    X(context, difRadix4, kPrepares)               \
    X(context, difRadix4Special, kPrepares)        \
    X(context, splitRadix, kPrepares)              \
    X(context, splitRadixSpecial, kPrepares)

namespace fftplug {

constexpr uint32_t kPlain = FFTPLUG_FLAG_ENTRY;                                      // 0x001
constexpr uint32_t kNaturalInput = FFTPLUG_FLAG_ENTRY | FFTPLUG_FLAG_NATURAL_INPUT;  // 0x201
constexpr uint32_t kPrepares = FFTPLUG_FLAG_ENTRY | FFTPLUG_FLAG_PREPARES_TABLE;     // 0x401

#define FFTPLUG_COUNT_ENTRY(context, name, order) +1
static_assert(0 FFTPLUG_FOR_EACH_ENTRY(FFTPLUG_COUNT_ENTRY, ) == FFTPLUG_ENTRY_COUNT,
              "one row for each entry that runEntry runs");
#undef FFTPLUG_COUNT_ENTRY

}  // namespace fftplug
