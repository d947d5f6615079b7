// Text built up in a string, as fmt::print would print it: the tables are
// values first (the report shows the same text bench and profile print).
#pragma once

#include <fmt/format.h>

#include <cstdint>
#include <iterator>
#include <string>
#include <utility>

namespace fftbench {

// Appends `format` with `args` to `out`.
template <typename... Args>
void put(std::string& out, fmt::format_string<Args...> format, Args&&... args) {
    fmt::format_to(std::back_inserter(out), format, std::forward<Args>(args)...);
}

// Where a run's arrays start against a 64-byte line: "aligned", "+16 bytes
// off a line", or with `lineSize` the line's size said too ("aligned to a
// 64-byte line").
inline std::string lineOffsetText(uint32_t lineOffset, bool lineSize = false) {
    const std::string line = lineSize ? "a 64-byte line" : "a line";
    if (lineOffset != 0) return fmt::format("+{} bytes off {}", lineOffset, line);
    return lineSize ? "aligned to " + line : "aligned";
}

}  // namespace fftbench
