// The five functions a host resolves by name. The load routine is entry.cpp.
#include <cstddef>
#include <cstring>

#include "catalogue.h"

namespace {
constexpr char kCreator[FFTPLUG_CREATOR_BYTES] = "SDK-C Tavelo 2000/09/27";
static_assert(sizeof(kCreator) == 24, "23 characters and the terminator");
}  // namespace

extern "C" {

FFTPLUG_EXPORT int32_t FFTPLUG_CALL getCircuitSignature(void) { return FFTPLUG_CIRCUIT_SIGNATURE; }

FFTPLUG_EXPORT char* FFTPLUG_CALL getCreatorSignature(char* dst) {
    if (dst != nullptr) std::memcpy(dst, kCreator, sizeof(kCreator));
    return dst;
}

FFTPLUG_EXPORT int32_t FFTPLUG_CALL getEntryCount(void) { return FFTPLUG_ENTRY_COUNT; }

FFTPLUG_EXPORT EntrySpec* FFTPLUG_CALL getEntrySpecs(EntrySpec* dst) {
    if (dst == nullptr) return dst;
    // The host's bytes behind each terminator stay as they were: only the
    // name, its zero byte and the flags word are stored.
    unsigned char* records = reinterpret_cast<unsigned char*>(dst);
    for (int i = 0; i < FFTPLUG_CATALOGUE_RECORDS; ++i) {
        unsigned char* record = records + i * sizeof(EntrySpec);
        const fftplug::CatalogueRecord& entry = fftplug::kCatalogue[i];
        std::memcpy(record + offsetof(EntrySpec, name), entry.name, std::strlen(entry.name) + 1);
        std::memcpy(record + offsetof(EntrySpec, flags), &entry.flags, sizeof(entry.flags));
    }
    return dst;
}

FFTPLUG_EXPORT void FFTPLUG_CALL runEntry(uint32_t index, int32_t N, const Complex* input,
                                          uint32_t reserved1, Complex* work, uint32_t reserved2,
                                          Complex* table, uint32_t reserved3, int32_t reps) {
    if (index >= FFTPLUG_CATALOGUE_RECORDS) return;
    const fftplug::Transform transform = fftplug::kCatalogue[index].transform;
    if (transform == nullptr) return;
    transform(N, input, reserved1, work, reserved2, table, reserved3, reps);
}

}  // extern "C"
