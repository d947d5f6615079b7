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
    static constexpr size_t kPageBytes = 4096;

    explicit GuardedArray(size_t count);
    // The first sample `lineOffset` bytes past a 64-byte line (0 or 64:
    // aligned; 16 as x86-64 glibc's malloc gives, 8 as 32-bit Windows'
    // msvcrt's), a multiple of 4 below 64, so that the samples straddle lines as a
    // host's own arrays may.
    GuardedArray(size_t count, size_t lineOffset);
    // The first sample `pageOffset` bytes past a 4 KiB boundary (a multiple
    // of 4 below 4096; lineOffset() is its remainder by 64), so that where
    // arrays fall within their pages, and so which of their addresses share
    // their low twelve bits, is the same from run to run.
    static GuardedArray inPage(size_t count, size_t pageOffset);
    // An array holding `values`.
    explicit GuardedArray(const std::vector<Complex>& values);
    GuardedArray(GuardedArray&&) noexcept = default;
    GuardedArray& operator=(GuardedArray&&) noexcept = default;

    Complex* data() { return samples_; }
    const Complex* data() const { return samples_; }
    size_t size() const { return count_; }
    // Bytes past a 64-byte line at which the first sample sits.
    size_t lineOffset() const { return lineOffset_; }
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
    // The first sample `offset` bytes past a multiple of `boundary`.
    GuardedArray(size_t count, size_t offset, size_t boundary);
    std::unique_ptr<unsigned char[]> storage_;
    unsigned char* before_ = nullptr;
    Complex* samples_ = nullptr;
    unsigned char* after_ = nullptr;
    size_t count_ = 0;
    size_t lineOffset_ = 0;
};

// An array of `count` samples of which only [begin, end) can be touched: the
// accessible samples sit flush against an inaccessible page on one side
// (`Flush::start`: the page just before sample `begin`; `Flush::end`: the
// page just after sample end - 1), and every sample outside [begin, end), plus
// a whole page beyond either end of the array, lies in inaccessible pages. On
// the other side the rest of the last accessible page stays accessible: a
// test runs both placements to cover both sides. data() points at sample 0,
// which may itself be inaccessible. Faults are reported by
// installPageFaultReport().
class PageGuardedArray {
   public:
    enum class Flush { start, end };
    enum class Access { none, readOnly, readWrite };

    PageGuardedArray(const char* name, size_t count, Flush flush) : PageGuardedArray(name, count, 0, count, flush) {}
    PageGuardedArray(const char* name, size_t count, size_t begin, size_t end, Flush flush);
    PageGuardedArray(const PageGuardedArray&) = delete;
    PageGuardedArray& operator=(const PageGuardedArray&) = delete;
    ~PageGuardedArray();

    Complex* data() { return samples_; }
    size_t size() const { return count_; }
    size_t begin() const { return begin_; }
    size_t end() const { return end_; }

    // Copies values[begin, end) into the accessible samples (values holds
    // size() samples); contents() gives them back, the rest as zeros.
    void assign(const std::vector<Complex>& values);
    std::vector<Complex> contents() const;
    // Sets the protection of the accessible pages (read-write at first).
    void setAccess(Access access);

    static size_t pageSize();

   private:
    friend struct PageFaultReport;
    const char* name_;
    unsigned char* reservation_ = nullptr;
    size_t reservedBytes_ = 0;
    unsigned char* accessible_ = nullptr;  // first accessible page
    size_t accessibleBytes_ = 0;           // whole pages
    Complex* samples_ = nullptr;
    size_t count_, begin_, end_;
    Access access_ = Access::readWrite;
};

// From now on an access to an inaccessible page ends the process with a line
// on standard error that names the array, the sample and the side, preceded
// by `context` as last set (a call being made, say), instead of a bare crash.
void installPageFaultReport();
void setPageFaultContext(const std::string& context);

// Bit-for-bit equality (NaNs compare by their bits).
bool sameBits(const std::vector<Complex>& a, const std::vector<Complex>& b);
// The first index at which the bits differ; nullopt if none (sizes must match).
std::optional<size_t> firstDifference(const std::vector<Complex>& a, const std::vector<Complex>& b,
                                      size_t begin = 0, size_t end = SIZE_MAX);

}  // namespace fftplug::host
