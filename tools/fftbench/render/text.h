// Text built up in a string, as fmt::print would print it: the tables are
// values first (the report shows the same text bench and profile print).
#pragma once

#include <fmt/format.h>

#include <iterator>
#include <string>
#include <utility>

namespace fftbench {

// Appends `format` with `args` to `out`.
template <typename... Args>
void put(std::string& out, fmt::format_string<Args...> format, Args&&... args) {
    fmt::format_to(std::back_inserter(out), format, std::forward<Args>(args)...);
}

}  // namespace fftbench
