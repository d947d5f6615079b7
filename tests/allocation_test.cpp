// The plug-in allocates nothing: every allocation function is counted while
// an export runs, on every build, and the count must stay at zero.
//
// Linux: this executable defines malloc, calloc, realloc, the aligned
// allocators and operator new; the dynamic linker binds the plug-in's calls
// (and those of the C and C++ runtimes it might use) to these definitions,
// which count and then forward to the C library.
// Windows: a DLL reaches an allocator only through its import table (the C++
// runtime is linked into the DLL and imports msvcrt's malloc). Every
// allocation function the DLL imports, from msvcrt or KERNEL32, is redirected
// to a counting wrapper by rewriting its slot in the loaded DLL's import
// address table.
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <new>

#include "host/natural_order.h"
#include "test_support.h"

// operator delete below frees what operator new took from malloc.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace {
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};

void noteAllocation() {
    if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1, std::memory_order_relaxed);
}
}  // namespace

#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* p, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* p);

void* malloc(size_t size) noexcept {
    noteAllocation();
    return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) noexcept {
    noteAllocation();
    return __libc_calloc(count, size);
}
void* realloc(void* p, size_t size) noexcept {
    noteAllocation();
    return __libc_realloc(p, size);
}
void free(void* p) noexcept { __libc_free(p); }
void* memalign(size_t alignment, size_t size) noexcept {
    noteAllocation();
    return __libc_memalign(alignment, size);
}
void* aligned_alloc(size_t alignment, size_t size) noexcept { return memalign(alignment, size); }
int posix_memalign(void** out, size_t alignment, size_t size) noexcept {
    void* p = memalign(alignment, size);
    if (p == nullptr) return ENOMEM;
    *out = p;
    return 0;
}
void* valloc(size_t size) noexcept { return memalign(4096, size); }
}  // extern "C"
#endif

// operator new on every platform (on Windows it matters for this executable
// only: the DLL carries its own copy, which calls malloc through its imports).
void* operator new(size_t size) {
    noteAllocation();
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void* operator new[](size_t size) { return operator new(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    noteAllocation();
    return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }

namespace fftplug::test {
namespace {

#if defined(_WIN32)
// One counting wrapper per allocator signature, forwarding to the function
// the import table held before.
template <typename Function>
struct Original {
    static inline Function function = nullptr;
};
using CMalloc = void*(__cdecl*)(size_t);
using CCalloc = void*(__cdecl*)(size_t, size_t);
using CRealloc = void*(__cdecl*)(void*, size_t);
using CAlignedMalloc = void*(__cdecl*)(size_t, size_t);
using CStrdup = char*(__cdecl*)(const char*);
using WHeapAlloc = LPVOID(WINAPI*)(HANDLE, DWORD, SIZE_T);
using WHeapReAlloc = LPVOID(WINAPI*)(HANDLE, DWORD, LPVOID, SIZE_T);
using WLocalAlloc = HLOCAL(WINAPI*)(UINT, SIZE_T);
using WVirtualAlloc = LPVOID(WINAPI*)(LPVOID, SIZE_T, DWORD, DWORD);

void* __cdecl countedMalloc(size_t size) {
    noteAllocation();
    return Original<CMalloc>::function(size);
}
void* __cdecl countedCalloc(size_t count, size_t size) {
    noteAllocation();
    return Original<CCalloc>::function(count, size);
}
void* __cdecl countedRealloc(void* p, size_t size) {
    noteAllocation();
    return Original<CRealloc>::function(p, size);
}
void* __cdecl countedAlignedMalloc(size_t size, size_t alignment) {
    noteAllocation();
    return Original<CAlignedMalloc>::function(size, alignment);
}
char* __cdecl countedStrdup(const char* text) {
    noteAllocation();
    return Original<CStrdup>::function(text);
}
LPVOID WINAPI countedHeapAlloc(HANDLE heap, DWORD flags, SIZE_T size) {
    noteAllocation();
    return Original<WHeapAlloc>::function(heap, flags, size);
}
LPVOID WINAPI countedHeapReAlloc(HANDLE heap, DWORD flags, LPVOID p, SIZE_T size) {
    noteAllocation();
    return Original<WHeapReAlloc>::function(heap, flags, p, size);
}
HLOCAL WINAPI countedLocalAlloc(UINT flags, SIZE_T size) {
    noteAllocation();
    return Original<WLocalAlloc>::function(flags, size);
}
LPVOID WINAPI countedVirtualAlloc(LPVOID address, SIZE_T size, DWORD type, DWORD protection) {
    noteAllocation();
    return Original<WVirtualAlloc>::function(address, size, type, protection);
}

template <typename Function>
void* redirect(void* slot, Function wrapper) {
    Original<Function>::function = reinterpret_cast<Function>(slot);
    return reinterpret_cast<void*>(wrapper);
}

// The counting wrapper for an imported allocator; null if `name` is none.
// An allocator with no wrapper here fails the test, so that none goes uncounted.
void* counterFor(const std::string& name, void* original) {
    if (name == "malloc") return redirect<CMalloc>(original, countedMalloc);
    if (name == "calloc") return redirect<CCalloc>(original, countedCalloc);
    if (name == "realloc") return redirect<CRealloc>(original, countedRealloc);
    if (name == "_aligned_malloc") return redirect<CAlignedMalloc>(original, countedAlignedMalloc);
    if (name == "_strdup") return redirect<CStrdup>(original, countedStrdup);
    if (name == "HeapAlloc") return redirect<WHeapAlloc>(original, countedHeapAlloc);
    if (name == "HeapReAlloc") return redirect<WHeapReAlloc>(original, countedHeapReAlloc);
    if (name == "LocalAlloc") return redirect<WLocalAlloc>(original, countedLocalAlloc);
    if (name == "VirtualAlloc") return redirect<WVirtualAlloc>(original, countedVirtualAlloc);
    static const char* uncounted[] = {"_recalloc", "_expand", "_aligned_realloc", "_malloca", "strdup", "_wcsdup",
                                      "GlobalAlloc", "GlobalReAlloc", "LocalReAlloc", "RtlAllocateHeap",
                                      "VirtualAllocEx", "CoTaskMemAlloc", "HeapCreate"};
    for (const char* other : uncounted)
        if (name == other) ADD_FAILURE() << "the DLL imports " << name << ", which this test does not count";
    return nullptr;
}

// Rewrites the import address table of the loaded module that holds
// `anyFunction`; returns the names of the allocators it redirected.
std::vector<std::string> countAllocationsOf(const void* anyFunction) {
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       static_cast<LPCSTR>(anyFunction), &module);
    static std::vector<HMODULE> done;  // a slot rewritten twice would point at its own wrapper
    if (std::find(done.begin(), done.end(), module) != done.end()) return {};
    done.push_back(module);
    auto* base = reinterpret_cast<unsigned char*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    std::vector<std::string> redirected;
    if (imports.VirtualAddress == 0) return redirected;
    for (auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); d->Name != 0; ++d) {
        if (d->OriginalFirstThunk == 0) {  // no name table: nothing can be told apart
            ADD_FAILURE() << "an import table without names";
            continue;
        }
        auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            const std::string name = reinterpret_cast<const char*>(byName->Name);
            void* counter = counterFor(name, reinterpret_cast<void*>(slots->u1.Function));
            if (counter == nullptr) continue;
            DWORD previous = 0;
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &previous);
            slots->u1.Function = reinterpret_cast<ULONG_PTR>(counter);
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, previous, &previous);
            redirected.push_back(std::string(reinterpret_cast<const char*>(base + d->Name)) + "!" + name);
        }
    }
    return redirected;
}
#endif

// The number of allocations `call` makes.
template <typename Call>
long allocationsDuring(Call call) {
    allocations = 0;
    counting = true;
    call();
    counting = false;
    return allocations.load();
}

class Allocation : public testing::TestWithParam<std::string> {};

TEST_P(Allocation, NoExportAllocatesOnAnyPathAtAnySize) {
    const PluginLibrary& library = variant(GetParam());
    const Exports& exports = library.exports();
#if defined(_WIN32)
    const std::vector<std::string> redirected = countAllocationsOf(reinterpret_cast<const void*>(exports.runEntry));
    for (const std::string& name : redirected) std::cout << GetParam() << " imports " << name << ", now counted\n";
#endif
    char creator[FFTPLUG_CREATOR_BYTES];
    EntrySpec specs[FFTPLUG_CATALOGUE_RECORDS];
    EXPECT_EQ(allocationsDuring([&] {
                  exports.getCircuitSignature();
                  exports.getCreatorSignature(creator);
                  exports.getCreatorSignature(nullptr);
                  exports.getEntryCount();
                  exports.getEntrySpecs(specs);
                  exports.getEntrySpecs(nullptr);
              }),
              0);

    for (uint32_t index : allEntries()) {
        for (uint32_t N : {1u, 2u, 4u, 8u, 16u, 64u, 512u, 1024u, 4096u, 1u << 16}) {
            const int32_t n = static_cast<int32_t>(N);
            std::vector<Complex> input = randomSignal(N, N), work(N), table = makeTwiddleTable(n);
            EXPECT_EQ(allocationsDuring([&] {
                          library.run(index, n, input.data(), work.data(), table.data(), 0);
                          library.run(index, n, input.data(), work.data(), table.data(), 2);
                          library.run(index, n, input.data(), input.data(), table.data(), 1);
                          library.run(index, n, input.data(), work.data(), table.data(), -1);
                      }),
                      0)
                << GetParam() << ", entry " << index << ", N = " << N;
        }
        // The calls that do nothing.
        std::vector<Complex> arrays(64);
        EXPECT_EQ(allocationsDuring([&] {
                      library.run(index, 6, arrays.data(), arrays.data() + 8, arrays.data() + 16, 1);
                      library.run(index, INT_MIN, arrays.data(), arrays.data() + 8, arrays.data() + 16, 1);
                      library.run(index, 8, nullptr, arrays.data() + 8, arrays.data() + 16, 1);
                      library.run(index, 8, arrays.data(), arrays.data() + 4, arrays.data() + 16, 1);
                  }),
                  0)
            << GetParam() << ", entry " << index;
    }
    EXPECT_EQ(allocationsDuring([&] { library.run(10, 8, nullptr, nullptr, nullptr, 1); }), 0);
}

INSTANTIATE_TEST_SUITE_P(AllVariants, Allocation, testing::ValuesIn(variantNames()), variantParamName);

// The host's natural-order transform allocates when a plan is made (its
// table) and never per call: every size of permutation, in place or not,
// rows of a batch, the inverse, on a plan of an entry of either kind.
TEST(NaturalOrderAllocation, ExecutingAPlanAllocatesNothing) {
    const FftplugRunEntry runEntry = plugin().exports().runEntry;
    for (const uint32_t index : {2u, 7u}) {
        for (const int32_t n : {1, 64, 1 << 12, 1 << 21}) {
            FftplugNaturalPlan* plan = fftplugNaturalPlanCreate(runEntry, index, entry(index).flags, n);
            ASSERT_NE(plan, nullptr);
            std::vector<Complex> src = randomSignal(static_cast<uint32_t>(2 * n), 3), dst(2 * static_cast<size_t>(n));
            const int64_t row = n * static_cast<int64_t>(sizeof(Complex));
            fftplugNaturalPlanExecute(plan, src.data(), row, dst.data(), row, 2, 0, 1.0f);  // the first call sets up
            EXPECT_EQ(allocationsDuring([&] {
                          fftplugNaturalPlanExecute(plan, src.data(), row, dst.data(), row, 2, 0, 1.0f);
                          fftplugNaturalPlanExecute(plan, dst.data(), row, dst.data(), row, 2,
                                                    FFTPLUG_NATURAL_CONJUGATE, 0.5f);
                          fftplugBitReverseCopyRows(src.data(), row, dst.data(), row, n, 2);
                          fftplugBitReverseCopy(dst.data(), dst.data(), n);
                      }),
                      0)
                << "entry " << index << ", N = " << n;
            fftplugNaturalPlanDestroy(plan);
        }
    }
}

// The counter itself sees an allocation: on Linux one made inside the C
// library, on Windows one made through a rewritten import table (this
// executable's own).
TEST(AllocationCounter, SeesAnAllocation) {
#if defined(_WIN32)
    ASSERT_FALSE(countAllocationsOf(reinterpret_cast<const void*>(&noteAllocation)).empty());
    void* volatile block = nullptr;  // kept, or the compiler drops the malloc and free
    EXPECT_EQ(allocationsDuring([&] { block = std::malloc(24); }), 1);
    std::free(block);
#else
    char* copy = nullptr;
    EXPECT_EQ(allocationsDuring([&] { copy = strdup("counted"); }), 1);
    std::free(copy);
#endif
}

}  // namespace
}  // namespace fftplug::test
