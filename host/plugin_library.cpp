#include "plugin_library.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "shiftjis.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#endif

namespace fftplug::host {

namespace {

#if defined(_WIN32)
// Paths are UTF-8 in std::string on every platform; Windows takes them as
// UTF-16, so that a folder name outside the ANSI code page still loads.
std::wstring widen(const std::string& text) {
    if (text.empty()) return {};
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

std::string narrow(const wchar_t* text, size_t size) {
    if (size == 0) return {};
    const int length = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(size), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(length > 0 ? length : 0), '\0');
    if (length > 0)
        WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(size), out.data(), length, nullptr, nullptr);
    return out;
}

// "Windows error 126: The specified module could not be found." on one line;
// a "%1" in the system's text names `subject`.
std::string describeError(DWORD code, const std::string& subject) {
    wchar_t* message = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        code, 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
    std::string text = "Windows error " + std::to_string(code);
    if (length > 0 && message != nullptr) {
        std::string detail = narrow(message, length);
        while (!detail.empty() && (detail.back() == '\n' || detail.back() == '\r' || detail.back() == ' '))
            detail.pop_back();
        for (char& c : detail)
            if (c == '\r' || c == '\n') c = ' ';
        for (size_t at = detail.find("%1"); at != std::string::npos; at = detail.find("%1", at + subject.size()))
            detail.replace(at, 2, subject);
        if (!detail.empty()) text += ": " + detail;
    }
    if (message != nullptr) LocalFree(message);
    return text;
}

void* openLibrary(const std::string& path, std::string& error) {
    // LoadLibrary wants backslashes, and a bare name would make it search the
    // application and system folders; a host means a file.
    std::string file = path;
    for (char& c : file)
        if (c == '/') c = '\\';
    if (file.find('\\') == std::string::npos && file.find(':') == std::string::npos) file = ".\\" + file;
    // No "cannot load" message box for a missing or broken file: the caller
    // reports the error.
    DWORD previousMode = 0;
    SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previousMode);
    HMODULE module = LoadLibraryW(widen(file).c_str());
    const DWORD code = module == nullptr ? GetLastError() : 0;
    SetThreadErrorMode(previousMode, nullptr);
    if (module == nullptr) error = describeError(code, file);
    return reinterpret_cast<void*>(module);
}
void* findSymbol(void* handle, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}
void closeLibrary(void* handle) { FreeLibrary(static_cast<HMODULE>(handle)); }
#else
void* openLibrary(const std::string& path, std::string& error) {
    // A bare name would make dlopen search the system paths; a host means a file.
    const std::string file = path.find('/') == std::string::npos ? "./" + path : path;
    void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* message = dlerror();
        error = message != nullptr ? message : "dlopen failed";
    }
    return handle;
}
void* findSymbol(void* handle, const char* name) { return dlsym(handle, name); }
void closeLibrary(void* handle) { dlclose(handle); }
#endif

template <typename Function>
void resolve(void* handle, const std::string& path, const char* name, Function& out) {
    void* address = findSymbol(handle, name);
    if (address == nullptr) {
        closeLibrary(handle);
        throw LoadError(path + ": not a plug-in of this kind: it does not export '" + name + "'");
    }
    out = reinterpret_cast<Function>(address);
}

}  // namespace

PluginLibrary PluginLibrary::open(const std::string& path) {
    std::string error;
    void* handle = openLibrary(path, error);
    if (handle == nullptr) throw LoadError(path + ": cannot load: " + error);
    Exports exports;
    resolve(handle, path, "getCircuitSignature", exports.getCircuitSignature);
    resolve(handle, path, "getCreatorSignature", exports.getCreatorSignature);
    resolve(handle, path, "getEntryCount", exports.getEntryCount);
    resolve(handle, path, "getEntrySpecs", exports.getEntrySpecs);
    resolve(handle, path, "runEntry", exports.runEntry);
    return PluginLibrary(handle, path, exports);
}

PluginLibrary::PluginLibrary(void* handle, std::string path, Exports exports)
    : handle_(handle), path_(std::move(path)), exports_(exports) {}

PluginLibrary::PluginLibrary(PluginLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)),
      path_(std::move(other.path_)),
      exports_(other.exports_) {}

PluginLibrary& PluginLibrary::operator=(PluginLibrary&& other) noexcept {
    if (this != &other) {
        if (handle_ != nullptr) closeLibrary(handle_);
        handle_ = std::exchange(other.handle_, nullptr);
        path_ = std::move(other.path_);
        exports_ = other.exports_;
    }
    return *this;
}

PluginLibrary::~PluginLibrary() {
    if (handle_ != nullptr) closeLibrary(handle_);
}

int32_t PluginLibrary::circuitSignature() const { return exports_.getCircuitSignature(); }

std::string PluginLibrary::creator() const {
    // Room beyond the 24 bytes the ABI promises, zeroed, so that a plug-in
    // that forgets its terminator still yields a bounded string.
    char buffer[256] = {};
    exports_.getCreatorSignature(buffer);
    return std::string(buffer, strnlen(buffer, sizeof(buffer) - 1));
}

int32_t PluginLibrary::entryCount() const { return exports_.getEntryCount(); }

namespace {

// The host's bytes in every name field behind the terminator and in the guard
// after the 16 records. Not zero: a name written without its terminator must
// not find one among the host's bytes.
constexpr unsigned char kCatalogueMarker = 0xA5;
// Room after the 16 records, compared with the marker after the call: a
// plug-in that writes more records than it may damages this and nothing else
// of the host's (up to this many bytes).
constexpr size_t kCatalogueGuardBytes = 4096;

std::string hexBytes(const std::string& bytes) {
    std::string hex;
    char cell[4];
    for (const unsigned char byte : bytes) {
        std::snprintf(cell, sizeof cell, "%02X", byte);
        hex += (hex.empty() ? "" : " ") + std::string(cell);
    }
    return hex;
}

// Calls getEntrySpecs on a marked buffer of 16 records and a guard; the
// records land in `specs`, and the return value describes any write past
// them.
std::optional<std::string> callGetEntrySpecs(FftplugGetEntrySpecs getEntrySpecs,
                                             std::array<EntrySpec, FFTPLUG_CATALOGUE_RECORDS>& specs) {
    std::vector<unsigned char> buffer(FFTPLUG_CATALOGUE_BYTES + kCatalogueGuardBytes, kCatalogueMarker);
    getEntrySpecs(reinterpret_cast<EntrySpec*>(buffer.data()));
    std::memcpy(specs.data(), buffer.data(), FFTPLUG_CATALOGUE_BYTES);
    size_t first = buffer.size(), last = 0;
    for (size_t at = FFTPLUG_CATALOGUE_BYTES; at < buffer.size(); ++at) {
        if (buffer[at] == kCatalogueMarker) continue;
        first = std::min(first, at);
        last = at;
    }
    if (first == buffer.size()) return std::nullopt;
    const size_t record = sizeof(EntrySpec);
    std::string where = last / record == first / record
                            ? "where record " + std::to_string(first / record) + " would lie"
                            : "where records " + std::to_string(first / record) + " to " +
                                  std::to_string(last / record) + " would lie";
    if (last + 1 == buffer.size()) where += ", and perhaps further: the host checks no more";
    return "wrote past the 16 records (" + std::to_string(FFTPLUG_CATALOGUE_BYTES) + " bytes) it may write: bytes " +
           std::to_string(first) + " to " + std::to_string(last) + " of the buffer changed, " + where;
}

}  // namespace

std::string CatalogueFault::text() const {
    return exportName + ": " + (entry ? "entry " + std::to_string(*entry) + ": " : std::string()) + what;
}

std::array<EntrySpec, FFTPLUG_CATALOGUE_RECORDS> PluginLibrary::rawSpecs() const {
    std::array<EntrySpec, FFTPLUG_CATALOGUE_RECORDS> specs{};
    callGetEntrySpecs(exports_.getEntrySpecs, specs);
    return specs;
}

Catalogue PluginLibrary::readCatalogue() const {
    Catalogue catalogue;
    std::array<EntrySpec, FFTPLUG_CATALOGUE_RECORDS> specs{};
    if (const auto overrun = callGetEntrySpecs(exports_.getEntrySpecs, specs))
        catalogue.faults.push_back({"getEntrySpecs", std::nullopt, *overrun});
    const int32_t count = entryCount();
    catalogue.count = count;
    if (count < 1)
        catalogue.faults.push_back({"getEntryCount", std::nullopt,
                                    "returned " + std::to_string(count) + ": the plug-in offers no entries"});
    else if (count > FFTPLUG_CATALOGUE_RECORDS)
        catalogue.faults.push_back({"getEntryCount", std::nullopt,
                                    "returned " + std::to_string(count) +
                                        ", more than the 16 records getEntrySpecs writes: only those 16 are read"});
    const int32_t shown = std::clamp<int32_t>(count, 0, FFTPLUG_CATALOGUE_RECORDS);
    for (int32_t i = 0; i < shown; ++i) {
        CatalogueEntry entry;
        entry.index = static_cast<uint32_t>(i);
        entry.flags = specs[i].flags;
        const size_t length = strnlen(specs[i].name, sizeof(specs[i].name));
        entry.terminated = length < sizeof(specs[i].name);
        entry.rawName.assign(specs[i].name, length);
        if (!entry.terminated) {
            catalogue.faults.push_back({"getEntrySpecs", entry.index, "the name has no terminator within its 64 bytes"});
        } else {
            try {
                entry.name = shiftJisToUtf8(entry.rawName);
            } catch (const std::exception&) {
                catalogue.faults.push_back(
                    {"getEntrySpecs", entry.index, "the name is not valid Shift-JIS (bytes " + hexBytes(entry.rawName) + ")"});
            }
        }
        catalogue.entries.push_back(std::move(entry));
    }
    return catalogue;
}

std::vector<CatalogueEntry> PluginLibrary::catalogue() const { return readCatalogue().entries; }

void PluginLibrary::run(uint32_t index, int32_t N, const Complex* input, Complex* work,
                        Complex* table, int32_t reps) const {
    exports_.runEntry(index, N, input, 0, work, 0, table, 0, reps);
}

void* PluginLibrary::symbol(const char* name) const { return findSymbol(handle_, name); }

std::string platformLibraryName(const std::string& base) {
#if defined(_WIN32)
    return base + ".dll";
#else
    return "lib" + base + ".so";
#endif
}

std::string executableDirectory() {
#if defined(_WIN32)
    // GetModuleFileName truncates silently when the buffer is full; grow it.
    std::wstring buffer(MAX_PATH, L'\0');
    DWORD length = 0;
    for (;;) {
        length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length < buffer.size() || buffer.size() >= 32768) break;
        buffer.resize(buffer.size() * 2);
    }
    const std::string path = narrow(buffer.data(), length);
    const auto slash = path.find_last_of("\\/");
#else
    char buffer[PATH_MAX] = {};
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    std::string path(buffer, length > 0 ? static_cast<size_t>(length) : 0);
    const auto slash = path.find_last_of('/');
#endif
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string defaultPluginPath(const std::string& base) {
    if (const char* fromEnvironment = std::getenv("FFTPLUG_PLUGIN");
        fromEnvironment != nullptr && *fromEnvironment != '\0' && base == "fftplug")
        return fromEnvironment;
    return executableDirectory() + platformLibraryName(base);
}

}  // namespace fftplug::host
