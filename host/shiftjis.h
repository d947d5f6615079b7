// Catalogue names are Shift-JIS (code page 932); hosts show them as UTF-8.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace fftplug::host {

class EncodingError : public std::runtime_error {
   public:
    using std::runtime_error::runtime_error;
};

// Throw EncodingError for bytes that are not valid in the source encoding.
std::string shiftJisToUtf8(std::string_view shiftJis);
std::string utf8ToShiftJis(std::string_view utf8);

}  // namespace fftplug::host
