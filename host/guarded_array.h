// Arrays handed to a plug-in with a fence on either side: the samples sit
// between two regions of sentinel bytes, so that a write just before or just
// after an array shows up afterwards.
#pragma once

#include <fftplug/fftplug.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace fftplug::host {

class GuardedArray {
   public:
    static constexpr size_t kGuardBytes = 256;  // 32 samples on either side
    static constexpr size_t kAlignment = 64;    // of the first sample

    explicit GuardedArray(size_t count);
    // An array holding `values`.
    explicit GuardedArray(const std::vector<Complex>& values);
    GuardedArray(GuardedArray&&) noexcept = default;
    GuardedArray& operator=(GuardedArray&&) noexcept = default;

    Complex* data() { return samples_; }
    const Complex* data() const { return samples_; }
    size_t size() const { return count_; }
    Complex& operator[](size_t i) { return samples_[i]; }
    const Complex& operator[](size_t i) const { return samples_[i]; }

    // Copies `values` (exactly size() of them) into the array.
    void assign(const std::vector<Complex>& values);
    std::vector<Complex> contents() const;
    // Random bit patterns, NaNs and infinities among them.
    void fillGarbage(uint32_t seed);

    // nullopt while both guards hold their sentinels; otherwise one line such
    // as "8 bytes after the end of work changed (the first at byte +0)".
    std::optional<std::string> guardDamage(const std::string& arrayName) const;
    bool guardsIntact() const { return !guardDamage("array").has_value(); }
    void restoreGuards();

    // The byte pattern of the guards (the same for every array).
    static unsigned char sentinel(size_t offset);

   private:
    std::unique_ptr<unsigned char[]> storage_;
    unsigned char* before_ = nullptr;
    Complex* samples_ = nullptr;
    unsigned char* after_ = nullptr;
    size_t count_ = 0;
};

// Bit-for-bit equality (NaNs compare by their bits).
bool sameBits(const std::vector<Complex>& a, const std::vector<Complex>& b);
// The first index at which the bits differ; nullopt if none (sizes must match).
std::optional<size_t> firstDifference(const std::vector<Complex>& a, const std::vector<Complex>& b,
                                      size_t begin = 0, size_t end = SIZE_MAX);

}  // namespace fftplug::host
