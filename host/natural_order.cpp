// The C interface of natural_order.h over the bit-reversal permutation of
// bit_reverse.h and the host's twiddle table.
#include "natural_order.h"

#include <cstring>
#include <new>
#include <type_traits>
#include <vector>

#include "bit_reverse.h"
#include "twiddle.h"

struct FftplugNaturalPlan {
    FftplugRunEntry runEntry;
    uint32_t index;
    uint32_t flags;
    int32_t n;
    std::vector<Complex> table;  // built and prepared once
};

namespace {

using fftplug::host::reorder::Finish;
namespace reorder = fftplug::host::reorder;

bool validPoints(int32_t n) { return n >= 1 && n <= FFTPLUG_NATURAL_MAX_POINTS && (n & (n - 1)) == 0; }

unsigned log2Points(int32_t n) {
    unsigned bits = 0;
    while ((int32_t{1} << bits) < n) ++bits;
    return bits;
}

// The bytes [begin, end) that `rows` rows of rowBytes each, `stride` apart,
// cover; false if they leave the address space.
bool rowSpan(const void* p, int64_t stride, int32_t rows, uint64_t rowBytes, uint64_t& begin, uint64_t& end) {
    const uint64_t first = reinterpret_cast<uintptr_t>(p);
    const uint64_t reach = static_cast<uint64_t>(rows - 1) * static_cast<uint64_t>(stride < 0 ? -stride : stride);
    if (stride < 0) {
        if (reach > first) return false;
        begin = first - reach;
        end = first + rowBytes;
    } else {
        begin = first;
        end = first + reach + rowBytes;
    }
    return end >= begin && end - 1 <= UINTPTR_MAX;
}

// The arrays' rules of natural_order.h: rows of one array apart from each
// other, src and dst the same (with the same stride) or apart.
bool validRows(const void* src, int64_t srcStride, const void* dst, int64_t dstStride, int32_t n, int32_t rows) {
    if (rows < 0) return false;
    if (rows == 0) return true;
    if (src == nullptr || dst == nullptr) return false;
    const uint64_t rowBytes = static_cast<uint64_t>(n) * sizeof(Complex);
    const auto magnitude = [](int64_t s) { return s < 0 ? -static_cast<uint64_t>(s) : static_cast<uint64_t>(s); };
    if (rows > 1 && (magnitude(srcStride) < rowBytes || magnitude(dstStride) < rowBytes)) return false;
    uint64_t srcBegin, srcEnd, dstBegin, dstEnd;
    if (!rowSpan(src, srcStride, rows, rowBytes, srcBegin, srcEnd)) return false;
    if (!rowSpan(dst, dstStride, rows, rowBytes, dstBegin, dstEnd)) return false;
    if (src == dst && (rows == 1 || srcStride == dstStride)) return true;
    return srcEnd <= dstBegin || dstEnd <= srcBegin;
}

template <typename T>
T* row(T* base, int64_t stride, int32_t r) {
    using Byte = std::conditional_t<std::is_const_v<T>, const char, char>;
    return reinterpret_cast<T*>(reinterpret_cast<Byte*>(base) + static_cast<ptrdiff_t>(stride) * r);
}

int32_t transformRows(FftplugRunEntry runEntry, uint32_t index, uint32_t flags, int32_t n, Complex* table,
                      const void* src, int64_t srcStride, void* dst, int64_t dstStride, int32_t rows,
                      int32_t options, float scale) {
    if (runEntry == nullptr || table == nullptr || !validPoints(n) || (options & ~FFTPLUG_NATURAL_CONJUGATE) != 0 ||
        !validRows(src, srcStride, dst, dstStride, n, rows))
        return FFTPLUG_NATURAL_BAD_ARGUMENT;
    const unsigned bits = log2Points(n);
    const bool conjugate = (options & FFTPLUG_NATURAL_CONJUGATE) != 0;
    const Finish input{conjugate, 1.0f}, result{conjugate, scale};
    const reorder::Path path = reorder::widestPath();
    for (int32_t r = 0; r < rows; ++r) {
        const Complex* s = row(static_cast<const Complex*>(src), srcStride, r);
        Complex* d = row(static_cast<Complex*>(dst), dstStride, r);
        if (flags & FFTPLUG_FLAG_NATURAL_INPUT) {
            // natural in, bit-reversed out: the entry copies, the result is put back in order
            if (conjugate) {
                reorder::applyFinish(s, d, static_cast<size_t>(n), input);
                s = d;
            }
            runEntry(index, n, s, 0, d, 0, table, 0, 1);
            reorder::bitReverse(path, d, d, bits, result);
        } else {
            // bit-reversed in: the reordering is the copy, the entry transforms in place
            reorder::bitReverse(path, s, d, bits, input);
            runEntry(index, n, d, 0, d, 0, table, 0, 1);
            if (result.any()) reorder::applyFinish(d, d, static_cast<size_t>(n), result);
        }
    }
    return FFTPLUG_NATURAL_OK;
}

}  // namespace

extern "C" {

int32_t FFTPLUG_CALL fftplugBitReverseCopy(const void* src, void* dst, int32_t n) {
    return fftplugBitReverseCopyRows(src, 0, dst, 0, n, 1);
}

int32_t FFTPLUG_CALL fftplugBitReverseCopyRows(const void* src, int64_t srcStride, void* dst, int64_t dstStride,
                                               int32_t n, int32_t rows) {
    if (!validPoints(n) || !validRows(src, srcStride, dst, dstStride, n, rows)) return FFTPLUG_NATURAL_BAD_ARGUMENT;
    const unsigned bits = log2Points(n);
    const reorder::Path path = reorder::widestPath();
    for (int32_t r = 0; r < rows; ++r)
        reorder::bitReverse(path, row(static_cast<const Complex*>(src), srcStride, r),
                            row(static_cast<Complex*>(dst), dstStride, r), bits);
    return FFTPLUG_NATURAL_OK;
}

int32_t FFTPLUG_CALL fftplugNaturalTransform(FftplugRunEntry runEntry, uint32_t index, uint32_t flags, int32_t n,
                                             Complex* table, const void* src, int64_t srcStride, void* dst,
                                             int64_t dstStride, int32_t rows, int32_t options, float scale) {
    return transformRows(runEntry, index, flags, n, table, src, srcStride, dst, dstStride, rows, options, scale);
}

FftplugNaturalPlan* FFTPLUG_CALL fftplugNaturalPlanCreate(FftplugRunEntry runEntry, uint32_t index, uint32_t flags,
                                                          int32_t n) {
    if (runEntry == nullptr || !validPoints(n)) return nullptr;
    try {
        auto* plan = new FftplugNaturalPlan{runEntry, index, flags, n, fftplug::host::makeTwiddleTable(n)};
        if (flags & FFTPLUG_FLAG_PREPARES_TABLE) runEntry(index, n, nullptr, 0, nullptr, 0, plan->table.data(), 0, 0);
        return plan;
    } catch (...) {  // out of memory
        return nullptr;
    }
}

void FFTPLUG_CALL fftplugNaturalPlanDestroy(FftplugNaturalPlan* plan) { delete plan; }

int32_t FFTPLUG_CALL fftplugNaturalPlanExecute(const FftplugNaturalPlan* plan, const void* src, int64_t srcStride,
                                               void* dst, int64_t dstStride, int32_t rows, int32_t options,
                                               float scale) {
    if (plan == nullptr) return FFTPLUG_NATURAL_BAD_ARGUMENT;
    // The entries only read the table on a transform call.
    Complex* table = const_cast<Complex*>(plan->table.data());
    return transformRows(plan->runEntry, plan->index, plan->flags, plan->n, table, src, srcStride, dst, dstStride,
                         rows, options, scale);
}

int32_t FFTPLUG_CALL fftplugNaturalPlanPoints(const FftplugNaturalPlan* plan) { return plan ? plan->n : 0; }

int64_t FFTPLUG_CALL fftplugNaturalPlanBytes(const FftplugNaturalPlan* plan) {
    if (plan == nullptr) return 0;
    return static_cast<int64_t>(sizeof *plan + plan->table.capacity() * sizeof(Complex));
}

}  // extern "C"
