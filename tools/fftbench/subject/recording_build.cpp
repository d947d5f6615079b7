#include "subject/recording_build.h"

#include <fmt/format.h>

#include <exception>
#include <stdexcept>

#include "host/driver.h"
#include "host/plugin_variants.h"

namespace fftbench {

using fftplug::host::PluginLibrary;

RecordingLibrary::RecordingLibrary(PluginLibrary library, FftplugRecordEntry recordEntry)
    : library_(std::move(library)), recordEntry_(recordEntry), catalogue_(library_.catalogue()) {}

RecordingLibrary RecordingLibrary::open(const std::string& path) {
    PluginLibrary library = PluginLibrary::open(path);
    const auto recordEntry = reinterpret_cast<FftplugRecordEntry>(library.symbol("recordEntry"));
    if (recordEntry == nullptr)
        throw fftplug::host::LoadError(
            fmt::format("{}: not the recording build: it does not export 'recordEntry'", path));
    return RecordingLibrary(std::move(library), recordEntry);
}

namespace {

// What the library's sink calls back into: the consumer, and what it threw,
// which must not travel through the library's frames.
struct SinkContext {
    const RecordingLibrary::Consumer* consume;
    std::exception_ptr failure;
};

extern "C" void FFTPLUG_CALL forwardEvents(void* context, const FftplugEvent* events, uint32_t count) {
    auto* sink = static_cast<SinkContext*>(context);
    if (sink->failure) return;
    try {
        (*sink->consume)(events, count);
    } catch (...) {
        sink->failure = std::current_exception();
    }
}

constexpr uint32_t kBufferEvents = uint32_t{1} << 16;

}  // namespace

void RecordingLibrary::record(uint32_t index, uint32_t N, uint32_t mask, const Consumer& consume) const {
    const fftplug::host::CatalogueEntry& entry = catalogue_.at(index);
    // The events do not depend on the values; a random signal keeps the
    // arithmetic away from special cases all the same.
    auto arrays = fftplug::host::arrangeForEntry(library_, entry, fftplug::host::randomSignal(N, 1));
    std::vector<FftplugEvent> buffer(kBufferEvents);
    SinkContext context{&consume, nullptr};
    if (recordEntry_(index, static_cast<int32_t>(N), arrays.input.data(), arrays.work.data(), arrays.table.data(),
                     mask, buffer.data(), kBufferEvents, forwardEvents, &context) != 1)
        throw std::runtime_error(fmt::format("{}: recordEntry refused entry {} at N = {}", path(), index, N));
    if (context.failure) std::rethrow_exception(context.failure);
}

std::vector<FftplugEvent> RecordingLibrary::recordAll(uint32_t index, uint32_t N) const {
    std::vector<FftplugEvent> events;
    record(index, N, FFTPLUG_RECORD_ALL,
           [&](const FftplugEvent* some, size_t count) { events.insert(events.end(), some, some + count); });
    return events;
}

std::string defaultRecordingLibraryPath() {
    return fftplug::host::executableDirectory() + fftplug::host::platformLibraryName("fftplug_recording");
}

}  // namespace fftbench
