#include "guarded_array.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <random>
#include <stdexcept>

#if defined(_WIN32)
#include <windows.h>
#else
#include <signal.h>
#include <sys/mman.h>
#include <ucontext.h>
#include <unistd.h>
#endif

namespace fftplug::host {

GuardedArray::GuardedArray(size_t count) : GuardedArray(count, 0) {}

GuardedArray::GuardedArray(size_t count, size_t lineOffset) : GuardedArray(count, lineOffset % kAlignment, kAlignment) {}

GuardedArray GuardedArray::inPage(size_t count, size_t pageOffset) {
    return GuardedArray(count, pageOffset % kPageBytes, kPageBytes);
}

GuardedArray::GuardedArray(size_t count, size_t offset, size_t boundary)
    : count_(count), lineOffset_(offset % kAlignment) {
    if (offset % alignof(Complex) != 0)
        throw std::invalid_argument("GuardedArray: a sample's alignment is 4 bytes, the offset " +
                                    std::to_string(offset) + " is none");
    const size_t bytes = count * sizeof(Complex);
    storage_.reset(new unsigned char[boundary + 2 * kGuardBytes + bytes]);
    // The first sample at the first address, a guard's length or more into
    // the storage, that lies `offset` bytes past a multiple of `boundary`;
    // the guards just before and after the samples.
    const auto first = reinterpret_cast<uintptr_t>(storage_.get()) + kGuardBytes;
    samples_ = reinterpret_cast<Complex*>(first + (offset + boundary - first % boundary) % boundary);
    before_ = reinterpret_cast<unsigned char*>(samples_) - kGuardBytes;
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

// --- arrays against inaccessible pages -----------------------------------------

namespace {

// The arrays alive now, for the fault report (which must not allocate).
constexpr size_t kMaxLiveArrays = 64;
PageGuardedArray* liveArrays[kMaxLiveArrays] = {};
char faultContext[512] = "";

size_t pagesFor(size_t bytes, size_t page) { return (bytes + page - 1) / page; }

}  // namespace

size_t PageGuardedArray::pageSize() {
#if defined(_WIN32)
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwPageSize;
#else
    return static_cast<size_t>(sysconf(_SC_PAGESIZE));
#endif
}

PageGuardedArray::PageGuardedArray(const char* name, size_t count, size_t begin, size_t end, Flush flush)
    : name_(name), count_(count), begin_(begin), end_(end) {
    if (begin > end || end > count) throw std::invalid_argument("PageGuardedArray: bad accessible range");
    const size_t page = pageSize();
    const size_t sampleBytes = (end - begin) * sizeof(Complex);
    const size_t pagesBefore = pagesFor(begin * sizeof(Complex), page) + 1;
    const size_t pagesAfter = pagesFor((count - end) * sizeof(Complex), page) + 1;
    const size_t accessiblePages = pagesFor(sampleBytes, page);
    reservedBytes_ = (pagesBefore + accessiblePages + pagesAfter) * page;
    accessibleBytes_ = accessiblePages * page;
#if defined(_WIN32)
    void* memory = VirtualAlloc(nullptr, reservedBytes_, MEM_RESERVE | MEM_COMMIT, PAGE_NOACCESS);
    if (memory == nullptr) throw std::bad_alloc();
#else
    void* memory = mmap(nullptr, reservedBytes_, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) throw std::bad_alloc();
#endif
    reservation_ = static_cast<unsigned char*>(memory);
    accessible_ = reservation_ + pagesBefore * page;
    unsigned char* first = flush == Flush::start ? accessible_ : accessible_ + accessibleBytes_ - sampleBytes;
    samples_ = reinterpret_cast<Complex*>(first - begin * sizeof(Complex));
    setAccess(Access::readWrite);
    for (auto& slot : liveArrays)
        if (slot == nullptr) {
            slot = this;
            break;
        }
}

PageGuardedArray::~PageGuardedArray() {
    for (auto& slot : liveArrays)
        if (slot == this) slot = nullptr;
#if defined(_WIN32)
    VirtualFree(reservation_, 0, MEM_RELEASE);
#else
    munmap(reservation_, reservedBytes_);
#endif
}

void PageGuardedArray::setAccess(Access access) {
    access_ = access;
    if (accessibleBytes_ == 0) return;
#if defined(_WIN32)
    const DWORD protection = access == Access::none       ? PAGE_NOACCESS
                             : access == Access::readOnly ? PAGE_READONLY
                                                          : PAGE_READWRITE;
    DWORD previous = 0;
    if (!VirtualProtect(accessible_, accessibleBytes_, protection, &previous))
        throw std::runtime_error("VirtualProtect failed");
#else
    const int protection = access == Access::none       ? PROT_NONE
                           : access == Access::readOnly ? PROT_READ
                                                        : PROT_READ | PROT_WRITE;
    if (mprotect(accessible_, accessibleBytes_, protection) != 0) throw std::runtime_error("mprotect failed");
#endif
}

void PageGuardedArray::assign(const std::vector<Complex>& values) {
    if (values.size() != count_) throw std::invalid_argument("PageGuardedArray::assign: size mismatch");
    const Access access = access_;
    if (access != Access::readWrite) setAccess(Access::readWrite);
    if (end_ > begin_) std::memcpy(samples_ + begin_, values.data() + begin_, (end_ - begin_) * sizeof(Complex));
    if (access != Access::readWrite) setAccess(access);
}

std::vector<Complex> PageGuardedArray::contents() const {
    std::vector<Complex> values(count_, Complex{0, 0});
    if (end_ > begin_) std::memcpy(values.data() + begin_, samples_ + begin_, (end_ - begin_) * sizeof(Complex));
    return values;
}

void setPageFaultContext(const std::string& context) {
    std::snprintf(faultContext, sizeof faultContext, "%s", context.c_str());
}

// Describes an access to `address` if it falls in one of the live arrays'
// reservations; false otherwise.
struct PageFaultReport {
    static bool describe(const void* address, const char* kind, char* out, size_t size) {
        const auto* at = static_cast<const unsigned char*>(address);
        for (const PageGuardedArray* array : liveArrays) {
            if (array == nullptr || at < array->reservation_ || at >= array->reservation_ + array->reservedBytes_)
                continue;
            const long long offset = static_cast<long long>(at - reinterpret_cast<const unsigned char*>(array->samples_));
            const long long sample = offset >= 0 ? offset / 8 : -((-offset + 7) / 8);
            const long long first = static_cast<long long>(array->begin_) * 8;
            const long long end = static_cast<long long>(array->end_) * 8;
            const bool before = offset < first;
            std::snprintf(out, size,
                          "%s: %s of %s[%lld] (byte %lld), byte %lld counting %s the accessible samples [%zu, %zu) of %zu\n",
                          faultContext, kind, array->name_, sample, offset, before ? first - offset : offset - end + 1,
                          before ? "before" : "after", array->begin_, array->end_, array->count_);
            return true;
        }
        return false;
    }
};

#if defined(_WIN32)
namespace {
LONG WINAPI reportAccessViolation(EXCEPTION_POINTERS* pointers) {
    const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
    if (record->ExceptionCode != EXCEPTION_ACCESS_VIOLATION || record->NumberParameters < 2)
        return EXCEPTION_CONTINUE_SEARCH;
    const ULONG_PTR kind = record->ExceptionInformation[0];
    char line[1024];
    if (!PageFaultReport::describe(reinterpret_cast<const void*>(record->ExceptionInformation[1]),
                                   kind == 1 ? "write" : kind == 8 ? "execution" : "read", line, sizeof line))
        return EXCEPTION_CONTINUE_SEARCH;
    std::fputs(line, stderr);
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_CONTINUE_SEARCH;
}
}  // namespace

void installPageFaultReport() {
    static const bool installed = AddVectoredExceptionHandler(1, reportAccessViolation) != nullptr;
    (void)installed;
}
#else
namespace {
void reportFault(int signal, siginfo_t* info, void* context) {
    const char* kind = "access";
#if defined(__x86_64__) && defined(REG_ERR)
    kind = (static_cast<ucontext_t*>(context)->uc_mcontext.gregs[REG_ERR] & 2) ? "write" : "read";
#else
    (void)context;
#endif
    char line[1024];
    if (PageFaultReport::describe(info->si_addr, kind, line, sizeof line)) {
        const ssize_t written = write(2, line, std::strlen(line));
        (void)written;
        _exit(3);
    }
    // Not ours: the default action, on return, for the same fault.
    ::signal(signal, SIG_DFL);
}
}  // namespace

void installPageFaultReport() {
    struct sigaction action = {};
    action.sa_sigaction = reportFault;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    sigaction(SIGSEGV, &action, nullptr);
    sigaction(SIGBUS, &action, nullptr);
}
#endif

// --- comparisons --------------------------------------------------------------

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
