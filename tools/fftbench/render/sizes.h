// Sizes in words, as every table, message and page of fftbench writes them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fftbench {

// "2^3" for 8.
std::string powerOfTwoText(uint32_t N);
// "2^0..2^16 (17 sizes)"; "2^1, 2^5..2^7 (4 sizes)" with gaps.
std::string describeSizes(const std::vector<uint32_t>& sizes);

}  // namespace fftbench
