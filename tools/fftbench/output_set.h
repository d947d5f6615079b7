// The output files of one command: each opened before the work starts, so
// that a path that cannot be written fails at once (status 2), and written
// at the end; a write that fails is reported and makes the status 3.
#pragma once

#include <fmt/format.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>

#include "cli.h"

namespace fftbench {

class OutputSet {
   public:
    // Creates `path` (nothing for an empty one); UsageError naming `option` if it cannot.
    void open(const std::string& option, const std::string& path) {
        if (path.empty()) return;
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        if (!file)
            throw UsageError(fmt::format("{} {}: cannot write the file ({})", option, path, std::strerror(errno)));
    }
    // Writes `text` to the file opened at `path` (nothing for an empty path).
    void write(const std::string& path, const std::string& text) {
        if (path.empty()) return;
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file << text;
        file.close();
        if (!file) report(path, "could not write " + path);
    }
    // A file written by another program: its problem, if any, is reported.
    void report(const std::string& path, const std::optional<std::string>& problem) {
        if (!problem) return;
        fmt::print(stderr, "fftbench: {}\n", *problem);
        std::remove(path.c_str());  // no empty file where a picture was promised
        failed_ = true;
    }
    bool failed() const { return failed_; }

   private:
    bool failed_ = false;
};

}  // namespace fftbench
