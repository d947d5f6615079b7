#include "render/programs.h"

#include <fmt/format.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#if defined(_WIN32)
#define popen _popen
#define pclose _pclose
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fftbench {

std::optional<std::string> findProgram(const char* variable, const std::string& name) {
    if (const char* chosen = std::getenv(variable); chosen != nullptr && *chosen != '\0') {
        if (std::ifstream(chosen).good()) return std::string(chosen);
        return std::nullopt;
    }
#if defined(_WIN32)
    const char separator = ';';
    const std::string program = name + ".exe";
#else
    const char separator = ':';
    const std::string& program = name;
#endif
    const char* path = std::getenv("PATH");
    if (path == nullptr) return std::nullopt;
    const std::string folders(path);
    for (size_t start = 0; start <= folders.size();) {
        size_t end = folders.find(separator, start);
        if (end == std::string::npos) end = folders.size();
        std::string folder = folders.substr(start, end - start);
        if (folder.empty()) folder = ".";
        const std::string candidate = folder + "/" + program;
#if defined(_WIN32)
        if (std::ifstream(candidate).good()) return candidate;
#else
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
#endif
        start = end + 1;
    }
    return std::nullopt;
}

std::string shellQuoted(const std::string& text) {
#if defined(_WIN32)
    return "\"" + text + "\"";
#else
    std::string quoted = "'";
    for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
#endif
}

std::optional<std::string> writeThrough(const std::string& program, const std::string& command,
                                        const std::string& input, const std::string& path) {
    std::remove(path.c_str());  // so that a file left from before cannot pass for the new one
    std::FILE* pipe = popen(command.c_str(), "w");
    if (pipe == nullptr) return fmt::format("could not start {}", program);
#if !defined(_WIN32)
    // A program that quits early must not take fftbench with it.
    const auto previousHandler = std::signal(SIGPIPE, SIG_IGN);
#endif
    std::fwrite(input.data(), 1, input.size(), pipe);
    const int status = pclose(pipe);
#if !defined(_WIN32)
    std::signal(SIGPIPE, previousHandler);
    const bool failed = status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0;
#else
    const bool failed = status != 0;
#endif
    bool written = false;
    {
        std::ifstream file(path, std::ios::binary | std::ios::ate);
        written = file.good() && file.tellg() > 0;
    }
    if (failed || !written) {
        std::remove(path.c_str());  // no empty or half-written file where one was promised
        return fmt::format("{} did not draw {} (exit status {})", program, path, status);
    }
    return std::nullopt;
}

}  // namespace fftbench
