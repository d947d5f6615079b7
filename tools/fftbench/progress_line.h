// A progress line on standard error, redrawn in place; only on a terminal.
#pragma once

#include <fmt/format.h>

#include <cstdio>
#include <string>

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace fftbench {

class ProgressLine {
   public:
    ProgressLine() : enabled_(isTerminal()) {}
    ~ProgressLine() { clear(); }
    void show(const std::string& text) {
        if (!enabled_) return;
        fmt::print(stderr, "\r{:<76}", text.substr(0, 76));
        std::fflush(stderr);
        shown_ = true;
    }
    void clear() {
        if (!shown_) return;
        fmt::print(stderr, "\r{:<76}\r", "");
        std::fflush(stderr);
        shown_ = false;
    }

   private:
    static bool isTerminal() {
#if defined(_WIN32)
        return _isatty(_fileno(stderr)) != 0;
#else
        return isatty(fileno(stderr)) != 0;
#endif
    }
    bool enabled_;
    bool shown_ = false;
};

}  // namespace fftbench
