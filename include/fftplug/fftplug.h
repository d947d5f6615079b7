/*
 * fftplug: the plug-in ABI.
 *
 * A host loads the library (fftplug.dll on 32-bit Windows, libfftplug.so on
 * Linux), resolves the five functions below by name and calls them on its own
 * thread. All memory belongs to the host: the library allocates nothing, keeps
 * no state between calls and reports no errors.
 *
 * Calling convention: __cdecl on 32-bit Windows, the platform's C convention
 * elsewhere. On 32-bit Windows every argument of runEntry is one 32-bit word.
 */
#ifndef FFTPLUG_FFTPLUG_H
#define FFTPLUG_FFTPLUG_H

#include <stdint.h>

#if defined(_WIN32)
#define FFTPLUG_CALL __cdecl
#else
#define FFTPLUG_CALL
#endif

#if defined(FFTPLUG_BUILDING_PLUGIN) && !defined(_WIN32)
#define FFTPLUG_EXPORT __attribute__((visibility("default")))
#else
/* On Windows the export list is the module definition file. */
#define FFTPLUG_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* One sample: two IEEE-754 single-precision floats, real part first. */
typedef struct Complex {
    float re;
    float im;
} Complex;

/* One catalogue record: a NUL-terminated Shift-JIS name and a flags word. */
typedef struct EntrySpec {
    char name[64];
    uint32_t flags;
} EntrySpec;

#ifdef __cplusplus
static_assert(sizeof(Complex) == 8, "Complex is two packed floats");
static_assert(sizeof(EntrySpec) == 68, "EntrySpec is 68 bytes with no gaps");
#else
_Static_assert(sizeof(Complex) == 8, "Complex is two packed floats");
_Static_assert(sizeof(EntrySpec) == 68, "EntrySpec is 68 bytes with no gaps");
#endif

enum {
    FFTPLUG_CIRCUIT_SIGNATURE = 3,  /* value of getCircuitSignature() */
    FFTPLUG_ENTRY_COUNT = 10,       /* entries that runEntry can run */
    FFTPLUG_CATALOGUE_RECORDS = 16, /* records written by getEntrySpecs() */
    FFTPLUG_CATALOGUE_BYTES = 16 * 68,
    FFTPLUG_CREATOR_BYTES = 24      /* creator string with its terminator */
};

/* Catalogue flags. */
enum {
    FFTPLUG_FLAG_ENTRY = 0x001,          /* set in every record */
    FFTPLUG_FLAG_NATURAL_INPUT = 0x200,  /* natural-order input, bit-reversed result */
    FFTPLUG_FLAG_PREPARES_TABLE = 0x400  /* a call with reps = 0 prepares the table */
};

FFTPLUG_EXPORT int32_t FFTPLUG_CALL getCircuitSignature(void);
/* Copies the 24-byte creator string to dst; returns dst. */
FFTPLUG_EXPORT char* FFTPLUG_CALL getCreatorSignature(char* dst);
FFTPLUG_EXPORT int32_t FFTPLUG_CALL getEntryCount(void);
/* Writes the 16 records (1088 bytes) to dst; returns dst. Only each name, its
 * terminator and the flags word are written: the rest of a name field keeps
 * the host's bytes. */
FFTPLUG_EXPORT EntrySpec* FFTPLUG_CALL getEntrySpecs(EntrySpec* dst);
/* Runs entry `index`:
 *   reps < 0  nothing;
 *   reps = 0  entries with FFTPLUG_FLAG_PREPARES_TABLE rewrite table[0 .. N/2)
 *             as the bit-reversed copy of table[N/2 .. N); others nothing;
 *   reps > 0  reps times: copy the N samples of input to work, transform work
 *             in place. */
FFTPLUG_EXPORT void FFTPLUG_CALL runEntry(uint32_t index, int32_t N, const Complex* input,
                                          uint32_t reserved1, Complex* work, uint32_t reserved2,
                                          Complex* table, uint32_t reserved3, int32_t reps);

/* Pointer types for hosts that resolve the exports at run time. */
typedef int32_t(FFTPLUG_CALL* FftplugGetCircuitSignature)(void);
typedef char*(FFTPLUG_CALL* FftplugGetCreatorSignature)(char*);
typedef int32_t(FFTPLUG_CALL* FftplugGetEntryCount)(void);
typedef EntrySpec*(FFTPLUG_CALL* FftplugGetEntrySpecs)(EntrySpec*);
typedef void(FFTPLUG_CALL* FftplugRunEntry)(uint32_t, int32_t, const Complex*, uint32_t, Complex*,
                                            uint32_t, Complex*, uint32_t, int32_t);

#ifdef __cplusplus
}
#endif

#endif /* FFTPLUG_FFTPLUG_H */
