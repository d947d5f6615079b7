#include "cli/progress.h"

#include "cli/interrupt.h"
#include "machine/machine_caches.h"
#include "machine/processor.h"
#include "subject/path_taken.h"

#include <fmt/format.h>

#include <cstdio>

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace fftbench {

namespace {

bool stderrIsTerminal() {
#if defined(_WIN32)
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(fileno(stderr)) != 0;
#endif
}

}  // namespace

ProgressLine::ProgressLine() : enabled_(stderrIsTerminal()) {}

ProgressLine::~ProgressLine() { clear(); }

void ProgressLine::show(const std::string& text) {
    if (!enabled_) return;
    fmt::print(stderr, "\r{:<76}", text.substr(0, 76));
    std::fflush(stderr);
    shown_ = true;
}

void ProgressLine::clear() {
    if (!shown_) return;
    fmt::print(stderr, "\r{:<76}\r", "");
    std::fflush(stderr);
    shown_ = false;
}

std::function<bool()> stopOnInterrupt(ProgressLine& progress) {
    installInterruptHandler();
    return [&progress, announced = false]() mutable {
        if (interruptRequested() && !announced) {
            progress.clear();
            fmt::print(stderr, "fftbench: interrupted; stopping after the current measurement\n");
            announced = true;
        }
        return interruptRequested();
    };
}

std::vector<PeakRates> measureRatesOfPaths(const std::vector<std::string>& labels, const std::vector<uint32_t>& entries,
                                           const std::vector<uint32_t>& sizes,
                                           ProgressLine& progress) {
    std::vector<PeakRates> rates;
    for (const auto& [path, at] : pathsTaken(labels, entries, sizes, detectCpu())) {
        progress.show(fmt::format("measuring this processor's peak rates at the {} path", path));
        if (auto measured = measureRates(path, at, dataCaches())) rates.push_back(std::move(*measured));
    }
    return rates;
}

}  // namespace fftbench
