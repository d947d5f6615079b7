#include "guarded_array.h"

#include <cstring>
#include <random>
#include <stdexcept>

namespace fftplug::host {

GuardedArray::GuardedArray(size_t count) : count_(count) {
    const size_t bytes = count * sizeof(Complex);
    storage_.reset(new unsigned char[kAlignment + 2 * kGuardBytes + bytes]);
    // kGuardBytes is a multiple of kAlignment, so aligning the start of the
    // first guard aligns the samples.
    const auto address = reinterpret_cast<uintptr_t>(storage_.get());
    before_ = storage_.get() + (kAlignment - address % kAlignment) % kAlignment;
    samples_ = reinterpret_cast<Complex*>(before_ + kGuardBytes);
    after_ = before_ + kGuardBytes + bytes;
    std::memset(samples_, 0, bytes);
    restoreGuards();
}

GuardedArray::GuardedArray(const std::vector<Complex>& values) : GuardedArray(values.size()) { assign(values); }

unsigned char GuardedArray::sentinel(size_t offset) {
    // Not a value a transform is likely to produce, and not the same byte
    // throughout, so that a shifted copy of a guard does not pass for it.
    return static_cast<unsigned char>(0xA5 ^ ((offset * 0x3B) & 0xFF));
}

void GuardedArray::restoreGuards() {
    for (size_t i = 0; i < kGuardBytes; ++i) {
        before_[i] = sentinel(i);
        after_[i] = sentinel(kGuardBytes + i);
    }
}

void GuardedArray::assign(const std::vector<Complex>& values) {
    if (values.size() != count_) throw std::invalid_argument("GuardedArray::assign: size mismatch");
    if (count_ > 0) std::memcpy(samples_, values.data(), count_ * sizeof(Complex));
}

std::vector<Complex> GuardedArray::contents() const { return std::vector<Complex>(samples_, samples_ + count_); }

void GuardedArray::fillGarbage(uint32_t seed) {
    std::mt19937 generator(seed);
    for (size_t i = 0; i < count_; ++i) {
        uint32_t bits[2] = {static_cast<uint32_t>(generator()), static_cast<uint32_t>(generator())};
        // Every eighth sample a NaN or an infinity, the rest arbitrary bits.
        if (i % 8 == 3) bits[0] = 0x7FC00000u | (bits[0] & 0x3FFFFF);
        if (i % 8 == 6) bits[1] = (bits[1] & 0x80000000u) | 0x7F800000u;
        std::memcpy(&samples_[i], bits, sizeof(Complex));
    }
}

std::optional<std::string> GuardedArray::guardDamage(const std::string& arrayName) const {
    size_t changedBefore = 0, nearestBefore = 0, changedAfter = 0, firstAfter = 0;
    for (size_t i = 0; i < kGuardBytes; ++i) {
        if (before_[i] != sentinel(i)) {
            ++changedBefore;
            nearestBefore = i;  // the last one found is the nearest to the samples
        }
        if (after_[i] != sentinel(kGuardBytes + i) && changedAfter++ == 0) firstAfter = i;
    }
    auto bytes = [](size_t n) { return std::to_string(n) + (n == 1 ? " byte" : " bytes"); };
    std::string damage;
    if (changedAfter > 0)
        damage = bytes(changedAfter) + " after the end of " + arrayName + " changed (the first at byte +" +
                 std::to_string(firstAfter) + ")";
    if (changedBefore > 0)
        damage += (damage.empty() ? "" : "; ") + bytes(changedBefore) + " before the start of " + arrayName +
                  " changed (the nearest at byte -" + std::to_string(kGuardBytes - nearestBefore) + ")";
    if (damage.empty()) return std::nullopt;
    return damage;
}

bool sameBits(const std::vector<Complex>& a, const std::vector<Complex>& b) {
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(Complex)) == 0);
}

std::optional<size_t> firstDifference(const std::vector<Complex>& a, const std::vector<Complex>& b, size_t begin,
                                      size_t end) {
    if (a.size() != b.size()) throw std::invalid_argument("firstDifference: sizes differ");
    if (end > a.size()) end = a.size();
    for (size_t i = begin; i < end; ++i)
        if (std::memcmp(&a[i], &b[i], sizeof(Complex)) != 0) return i;
    return std::nullopt;
}

}  // namespace fftplug::host
