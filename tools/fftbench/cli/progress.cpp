#include "cli/progress.h"

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

}  // namespace fftbench
