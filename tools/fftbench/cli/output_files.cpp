#include "cli/output_files.h"

#include <fmt/format.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace fftbench {

namespace {

std::ofstream openForWriting(const std::string& option, const std::string& path) {
    std::ofstream stream(path, std::ios::binary | std::ios::trunc);
    if (!stream) throw OutputError(fmt::format("{} {}: cannot write the file ({})", option, path, std::strerror(errno)));
    return stream;
}

}  // namespace

void OutputFiles::open(const std::string& option, const std::string& path) {
    if (path.empty()) return;
    files_.push_back(File{option, path, openForWriting(option, path)});
}

void OutputFiles::reserve(const std::string& option, const std::string& path) {
    if (path.empty()) return;
    openForWriting(option, path).close();
    std::remove(path.c_str());
}

bool OutputFiles::requested(const std::string& option) const {
    for (const File& file : files_)
        if (file.option == option) return true;
    return false;
}

void OutputFiles::write(const std::string& option, const std::string& text) {
    for (File& file : files_) {
        if (file.option != option) continue;
        file.stream << text;
        file.stream.close();
        if (!file.stream) fail(fmt::format("could not write {}", file.path));
    }
}

void OutputFiles::fail(const std::string& message) {
    fmt::print(stderr, "fftbench: {}\n", message);
    failed_ = true;
}

}  // namespace fftbench
