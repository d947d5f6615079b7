// Loading a plug-in of the fftplug ABI the way a host does: by path, at run
// time, resolving the five exports by name.
#pragma once

#include <fftplug/fftplug.h>

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace fftplug::host {

// A plug-in that could not be loaded or lacks an export. what() is one line
// that names the path and what went wrong.
class LoadError : public std::runtime_error {
   public:
    using std::runtime_error::runtime_error;
};

struct Exports {
    FftplugGetCircuitSignature getCircuitSignature = nullptr;
    FftplugGetCreatorSignature getCreatorSignature = nullptr;
    FftplugGetEntryCount getEntryCount = nullptr;
    FftplugGetEntrySpecs getEntrySpecs = nullptr;
    FftplugRunEntry runEntry = nullptr;
};

// One catalogue record as the host reads it.
struct CatalogueEntry {
    uint32_t index = 0;
    std::string rawName;  // the Shift-JIS bytes, without the terminator
    std::string name;     // the same name in UTF-8 (empty if it does not decode)
    uint32_t flags = 0;
    bool terminated = true;  // false: no zero byte in the 64 (rawName then holds all 64)

    bool preparesTable() const { return (flags & FFTPLUG_FLAG_PREPARES_TABLE) != 0; }
    // Natural-order input and bit-reversed result; otherwise the reverse.
    bool naturalInput() const { return (flags & FFTPLUG_FLAG_NATURAL_INPUT) != 0; }
};

// Something a plug-in's catalogue exports did wrong: the export, the record
// (entry) concerned if there is one, and what.
struct CatalogueFault {
    std::string exportName;
    std::optional<uint32_t> entry;
    std::string what;
    // "getEntrySpecs: entry 1: the name has no terminator within its 64 bytes"
    std::string text() const;
};

struct Catalogue {
    int32_t count = 0;                    // what getEntryCount returned
    std::vector<CatalogueEntry> entries;  // the records announced, at most the 16 written
    std::vector<CatalogueFault> faults;
};

class PluginLibrary {
   public:
    // Loads the library at `path`; throws LoadError.
    static PluginLibrary open(const std::string& path);

    PluginLibrary(PluginLibrary&& other) noexcept;
    PluginLibrary& operator=(PluginLibrary&& other) noexcept;
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;
    ~PluginLibrary();

    const std::string& path() const { return path_; }
    const Exports& exports() const { return exports_; }

    int32_t circuitSignature() const;
    std::string creator() const;
    int32_t entryCount() const;
    std::array<EntrySpec, FFTPLUG_CATALOGUE_RECORDS> rawSpecs() const;
    // The records that getEntryCount announces (at most the 16 written), and
    // every fault seen on the way: a count outside 1 to 16, a write past the
    // 16 records, a name without terminator or not in Shift-JIS.
    Catalogue readCatalogue() const;
    // readCatalogue().entries.
    std::vector<CatalogueEntry> catalogue() const;

    // runEntry with zero reserved words.
    void run(uint32_t index, int32_t N, const Complex* input, Complex* work, Complex* table,
             int32_t reps) const;

    // Any further symbol, or null (the instrumented build's own export).
    void* symbol(const char* name) const;

   private:
    PluginLibrary(void* handle, std::string path, Exports exports);
    void* handle_ = nullptr;
    std::string path_;
    Exports exports_;
};

// "fftplug" -> "libfftplug.so" on Linux, "fftplug.dll" on Windows.
std::string platformLibraryName(const std::string& base);
// The folder of the running executable, with a trailing separator.
std::string executableDirectory();
// The plug-in beside the executable: FFTPLUG_PLUGIN from the environment if
// set, otherwise executableDirectory() + platformLibraryName(base).
std::string defaultPluginPath(const std::string& base = "fftplug");

}  // namespace fftplug::host
