#include "catalogue.h"

namespace fftplug {

namespace {

// The entries' names in Shift-JIS (code page 932), each byte as
// entry_rows.txt gives it, so that no source encoding can change one.
namespace names {
#define FFTPLUG_NAME(context, name, order, shiftJis, ...) constexpr char name[] = shiftJis;
FFTPLUG_FOR_EACH_ENTRY_ROW(FFTPLUG_NAME, )
#undef FFTPLUG_NAME
}  // namespace names

// The entries in the order of entries.h.
#define FFTPLUG_RECORD(context, name, order) CatalogueRecord{names::name, order, name},
constexpr CatalogueRecord kEntries[] = {FFTPLUG_FOR_EACH_ENTRY(FFTPLUG_RECORD, )};
static_assert(sizeof kEntries / sizeof kEntries[0] == FFTPLUG_ENTRY_COUNT, "one row for each entry");

// Record i: an entry, or an empty slot (no name, flags 0x001, nothing to run).
constexpr CatalogueRecord record(uint32_t i) {
    return i < FFTPLUG_ENTRY_COUNT ? kEntries[i] : CatalogueRecord{"", kPlain, nullptr};
}

}  // namespace

#undef FFTPLUG_RECORD

// The entries, then empty slots up to the sixteen records of the catalogue.
const CatalogueRecord kCatalogue[FFTPLUG_CATALOGUE_RECORDS] = {
    record(0), record(1), record(2),  record(3),  record(4),  record(5),  record(6),  record(7),
    record(8), record(9), record(10), record(11), record(12), record(13), record(14), record(15),
};
static_assert(FFTPLUG_CATALOGUE_RECORDS == 16, "a record for each of the sixteen");

}  // namespace fftplug
