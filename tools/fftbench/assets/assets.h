// The text files under tools/fftbench/assets/ (the pictures' style sheets,
// the report's page and style, the paragraphs on the entries), built into
// fftbench by CMake (embed_assets.cmake), so that an installed fftbench needs
// no file beside it.
#pragma once

#include <string_view>

namespace fftbench {

// The content of assets/<name>, e.g. asset("flowgraph.css"); throws
// std::out_of_range for a name that is not there.
std::string_view asset(std::string_view name);

}  // namespace fftbench
