// The entry catalogue: sixteen records, ten entries and six empty slots.
#pragma once

#include "transform.h"

namespace fftplug {

struct CatalogueRecord {
    const char* name;  // Shift-JIS bytes, NUL-terminated
    uint32_t flags;
    Transform transform;  // null for the empty slots
};

extern const CatalogueRecord kCatalogue[FFTPLUG_CATALOGUE_RECORDS];

}  // namespace fftplug
