/*
 * fftplug natural order: the host's side of a transform in natural order.
 *
 * Every entry but entry 2 takes its input in bit-reversed order (position i
 * holds sample rev(i, log2 N)) and leaves its result in natural order; entry 2
 * (catalogue flag FFTPLUG_FLAG_NATURAL_INPUT) takes natural order and leaves
 * the result bit-reversed. The functions below give a host natural order in
 * and out at close to the speed of the entry alone:
 *
 *   - fftplugBitReverseCopy: the bit-reversal permutation of n samples of 8
 *     bytes (two floats), cache-blocked, out of place or in place.
 *   - fftplugNaturalTransform: one natural-order transform of `rows` rows.
 *     For an entry with bit-reversed input, each row of src is copied into
 *     the row of dst in bit-reversed order (the data is touched once before
 *     the transform) and the entry then transforms dst in place with one
 *     runEntry(index, n, dst, 0, dst, 0, table, 0, 1) call (input == work).
 *     For entry 2 the entry copies src into dst and transforms it; dst is then
 *     put back into natural order in place.
 *   - FftplugNaturalPlan: the table for one (runEntry, entry, n), built and
 *     prepared once at creation and kept by the plan (8·n bytes plus a few
 *     dozen); executing a plan allocates nothing.
 *
 * Conventions:
 *   - A sample is two IEEE-754 floats, real part first (Complex in
 *     <fftplug/fftplug.h>); arrays need 4-byte alignment. The entry
 *     transforms dst: rows of dst that start on a 64-byte line run fastest
 *     (16 bytes off a line, as malloc often gives, costs the transform a
 *     fifth to a third of its speed on AVX-512 machines).
 *   - n is a power of two from 1 to 2^28; rows >= 0. A row stride is the
 *     distance in bytes from one row to the next (8·n for contiguous rows;
 *     any value, negative included, for which the rows of one array do not
 *     overlap each other).
 *   - src and dst either are the same array with the same row stride (in
 *     place) or do not overlap at all. Nothing outside dst's rows of n samples
 *     is written; src is only read.
 *   - The functions return 0 on success and FFTPLUG_NATURAL_BAD_ARGUMENT (-1),
 *     having touched nothing, when an argument breaks the rules they can check
 *     (n not a power of two or out of range, rows < 0, a null pointer where
 *     rows > 0, a null runEntry or table).
 *   - options: 0, or FFTPLUG_NATURAL_CONJUGATE for the unscaled inverse
 *     transform conj(F(conj(x))); scale: every result sample multiplied by it
 *     (1.0f: left as the entry computed it, bit for bit the entry's result).
 *     The input conjugation is fused with the reordering copy; for an entry
 *     with natural-order results, conjugating or scaling the result is one
 *     more pass over dst.
 *   - Threads: no function keeps state between calls. Calls may run at the
 *     same time on one plan (or one prepared table) if their dst rows are
 *     disjoint; creating and destroying a plan are the caller's to order.
 *   - The runEntry pointer is the plug-in's own export (fftplug.h's
 *     FftplugRunEntry, __cdecl on 32-bit Windows, as are these functions).
 *
 * Installed as <fftplug/natural_order.h> with the library fftplug_natural
 * (CMake: find_package(fftplug) and link fftplug::natural). Inside this
 * tree: #include "host/natural_order.h" and link fftplug_natural (shared)
 * or fftplug_host (static). From Python: ctypes.CDLL on the fftplug_natural
 * library, CFUNCTYPE/c_void_p for runEntry, c_int64 for strides.
 */
#ifndef FFTPLUG_NATURAL_ORDER_H
#define FFTPLUG_NATURAL_ORDER_H

#include <fftplug/fftplug.h>
#include <stdint.h>

#if defined(FFTPLUG_NATURAL_BUILDING)
#if defined(_WIN32)
#define FFTPLUG_NATURAL_API __declspec(dllexport)
#else
#define FFTPLUG_NATURAL_API __attribute__((visibility("default")))
#endif
#else
#define FFTPLUG_NATURAL_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

enum {
    FFTPLUG_NATURAL_OK = 0,
    FFTPLUG_NATURAL_BAD_ARGUMENT = -1,
    FFTPLUG_NATURAL_MAX_POINTS = 1 << 28
};

/* options of a transform */
enum {
    FFTPLUG_NATURAL_CONJUGATE = 1  /* conjugate input and result: the unscaled inverse transform */
};

/* dst[rev(i, log2 n)] = src[i] for 0 <= i < n, samples of 8 bytes moved as
 * they are. src == dst permutes in place; otherwise the arrays must not
 * overlap. */
FFTPLUG_NATURAL_API int32_t FFTPLUG_CALL fftplugBitReverseCopy(const void* src, void* dst, int32_t n);

/* The same for `rows` rows of n samples, src rows srcStride bytes apart and
 * dst rows dstStride bytes apart. */
FFTPLUG_NATURAL_API int32_t FFTPLUG_CALL fftplugBitReverseCopyRows(const void* src, int64_t srcStride, void* dst,
                                                                   int64_t dstStride, int32_t n, int32_t rows);

/* One natural-order transform of each of `rows` rows of n samples: row r of
 * dst receives the transform of row r of src, both in natural order.
 * `flags` is the entry's catalogue flags word: FFTPLUG_FLAG_NATURAL_INPUT
 * (entry 2) selects the reordering of the result instead of the input.
 * `table` holds n samples, built as the entry needs and already prepared by
 * a runEntry call with reps = 0 where the entry prepares it; it is only
 * read. */
FFTPLUG_NATURAL_API int32_t FFTPLUG_CALL fftplugNaturalTransform(FftplugRunEntry runEntry, uint32_t index,
                                                                 uint32_t flags, int32_t n, Complex* table,
                                                                 const void* src, int64_t srcStride, void* dst,
                                                                 int64_t dstStride, int32_t rows, int32_t options,
                                                                 float scale);

/* A plan: the twiddle table for (runEntry, index, n) in the host's layout
 * (the forward table of host/twiddle.h), prepared by runEntry(index, n, …,
 * reps = 0) when `flags` carries FFTPLUG_FLAG_PREPARES_TABLE, and the
 * entry's flags. Create returns NULL for a bad argument or when memory runs
 * out. */
typedef struct FftplugNaturalPlan FftplugNaturalPlan;

FFTPLUG_NATURAL_API FftplugNaturalPlan* FFTPLUG_CALL fftplugNaturalPlanCreate(FftplugRunEntry runEntry,
                                                                              uint32_t index, uint32_t flags,
                                                                              int32_t n);
/* NULL is ignored. */
FFTPLUG_NATURAL_API void FFTPLUG_CALL fftplugNaturalPlanDestroy(FftplugNaturalPlan* plan);

/* fftplugNaturalTransform with the plan's runEntry, entry, n and table. */
FFTPLUG_NATURAL_API int32_t FFTPLUG_CALL fftplugNaturalPlanExecute(const FftplugNaturalPlan* plan, const void* src,
                                                                   int64_t srcStride, void* dst, int64_t dstStride,
                                                                   int32_t rows, int32_t options, float scale);

/* The plan's n, and the bytes it holds (its table and itself). */
FFTPLUG_NATURAL_API int32_t FFTPLUG_CALL fftplugNaturalPlanPoints(const FftplugNaturalPlan* plan);
FFTPLUG_NATURAL_API int64_t FFTPLUG_CALL fftplugNaturalPlanBytes(const FftplugNaturalPlan* plan);

#ifdef __cplusplus
}
#endif

#endif /* FFTPLUG_NATURAL_ORDER_H */
