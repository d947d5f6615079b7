#include "subject/instrumented_build.h"

#include <fmt/format.h>

#include <exception>
#include <stdexcept>

#include "host/driver.h"
#include "host/plugin_variants.h"

namespace fftbench {

using fftplug::host::CatalogueEntry;
using fftplug::host::PluginLibrary;

InstrumentedLibrary::InstrumentedLibrary(PluginLibrary library, FftplugInstrumentEntry instrumentEntry)
    : library_(std::move(library)), instrumentEntry_(instrumentEntry), catalogue_(library_.catalogue()) {}

InstrumentedLibrary InstrumentedLibrary::open(const std::string& path) {
    PluginLibrary library = PluginLibrary::open(path);
    const auto instrumentEntry = reinterpret_cast<FftplugInstrumentEntry>(library.symbol("instrumentEntry"));
    if (instrumentEntry == nullptr)
        throw fftplug::host::LoadError(
            fmt::format("{}: not the instrumented build: it does not export 'instrumentEntry'", path));
    return InstrumentedLibrary(std::move(library), instrumentEntry);
}

bool InstrumentedLibrary::describes(const PluginLibrary& plugin) const {
    if (plugin.creator() != library_.creator()) return false;
    const auto theirs = plugin.catalogue();
    if (theirs.size() != catalogue_.size()) return false;
    for (size_t i = 0; i < theirs.size(); ++i)
        if (theirs[i].rawName != catalogue_[i].rawName || theirs[i].flags != catalogue_[i].flags) return false;
    return true;
}

void InstrumentedLibrary::run(uint32_t index, uint32_t N, FftplugCounts* counts,
                              const FftplugEventStream* events) const {
    const CatalogueEntry& entry = catalogue_.at(index);
    // What the kernels do does not depend on the values; a random signal
    // keeps the arithmetic away from special cases all the same.
    auto arrays = fftplug::host::arrangeForEntry(library_, entry, fftplug::host::randomSignal(N, 1));
    if (instrumentEntry_(index, static_cast<int32_t>(N), arrays.input.data(), arrays.work.data(), arrays.table.data(),
                         counts, events) != 1)
        throw std::runtime_error(fmt::format("{}: instrumentEntry refused entry {} at N = {}", path(), index, N));
}

FftplugCounts InstrumentedLibrary::count(uint32_t index, uint32_t N) const {
    FftplugCounts counts{};
    run(index, N, &counts, nullptr);
    return counts;
}

const FftplugCounts& InstrumentedLibrary::countCached(uint32_t index, uint32_t N) const {
    const auto key = std::pair{index, N};
    auto found = cache_.find(key);
    if (found == cache_.end()) found = cache_.emplace(key, count(index, N)).first;
    return found->second;
}

namespace {

// What the library's sink calls back into: the consumer, and what it threw,
// which must not travel through the library's frames.
struct SinkContext {
    const InstrumentedLibrary::Consumer* consume;
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

void InstrumentedLibrary::record(uint32_t index, uint32_t N, uint32_t mask, const Consumer& consume) const {
    std::vector<FftplugEvent> buffer(kBufferEvents);
    SinkContext context{&consume, nullptr};
    const FftplugEventStream events{mask, buffer.data(), kBufferEvents, forwardEvents, &context};
    run(index, N, nullptr, &events);
    if (context.failure) std::rethrow_exception(context.failure);
}

std::vector<FftplugEvent> InstrumentedLibrary::recordAll(uint32_t index, uint32_t N) const {
    std::vector<FftplugEvent> events;
    record(index, N, FFTPLUG_RECORD_ALL,
           [&](const FftplugEvent* some, size_t count) { events.insert(events.end(), some, some + count); });
    return events;
}

std::string defaultInstrumentedLibraryPath() {
    return fftplug::host::executableDirectory() + fftplug::host::platformLibraryName("fftplug_instrumented");
}

const std::vector<InstrumentedLibrary::StageCounts>& InstrumentedLibrary::countStages(uint32_t index,
                                                                                      uint32_t N) const {
    const auto key = std::pair{index, N};
    if (const auto found = stageCache_.find(key); found != stageCache_.end()) return found->second;
    std::vector<StageCounts> stages;
    const uint32_t mask = (1u << FFTPLUG_EVENT_LOAD) | (1u << FFTPLUG_EVENT_STORE) | (1u << FFTPLUG_EVENT_TABLE) |
                          (1u << FFTPLUG_EVENT_STAGE) | (1u << FFTPLUG_EVENT_ARITHMETIC);
    record(index, N, mask, [&](const FftplugEvent* events, size_t count) {
        for (size_t k = 0; k < count; ++k) {
            const FftplugEvent& e = events[k];
            if (e.what == FFTPLUG_EVENT_STAGE) {
                stages.emplace_back().mark = FftplugStageMark{e.value, e.extra};
                continue;
            }
            if (stages.empty()) continue;
            StageCounts& s = stages.back();
            switch (e.what) {
                case FFTPLUG_EVENT_LOAD: ++s.loads; break;
                case FFTPLUG_EVENT_STORE: ++s.stores; break;
                case FFTPLUG_EVENT_TABLE: ++s.tableReads; break;
                case FFTPLUG_EVENT_ARITHMETIC:
                    s.additions += e.value;
                    s.multiplications += e.extra;
                    break;
                default: break;
            }
        }
    });
    return stageCache_.emplace(key, std::move(stages)).first->second;
}

}  // namespace fftbench
