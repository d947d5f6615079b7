// Fuzzing the five exports of every build of the plug-in at once.
//
// Each input is read as a short sequence of calls. A runEntry call gets an
// index (0 to 20 or an extreme), an N (a power of two up to 2^12, a larger
// one, a non-power, 0, a negative, INT_MIN, INT_MAX), a repeat count (-2^31,
// -5, -1, 0 to 3), a table (segmented, prepared, or arbitrary bits), an input
// (bounded values or arbitrary bits), and its arrays either as three separate
// allocations sized from the input or at offsets inside one shared block (so
// that they overlap, or coincide, or sit half a sample apart), with any of
// them possibly null. The same call is made on the dispatching library and on
// every fixed-path library beside it that the CPU runs, each on a fresh copy
// of the memory, and:
//   - every build must leave the same bytes everywhere;
//   - the call must have exactly the effect the run protocol gives: nothing
//     at all for the calls that do nothing, the bit-reversed lower half for a
//     preparation, a transform that writes only `work` (once for input ==
//     work), input and table and every other byte untouched;
//   - a transform over a proper table of a bounded input must be within the
//     error bound of the double-precision reference.
// A failed check prints the call and aborts. Under libFuzzer (the fuzz
// preset) AddressSanitizer and UBSan catch any access outside the
// allocations; the same file, with fuzz_replay_main.cpp, replays the corpus
// in every other build.
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "host/bit_reversal.h"
#include "host/driver.h"
#include "host/plugin_library.h"
#include "host/plugin_variants.h"
#include "host/reference.h"
#include "host/twiddle.h"

namespace {

using namespace fftplug::host;

constexpr unsigned kMaxBits = 12;  // the largest N a transform is run at: 2^12
constexpr size_t kNameBytes = sizeof(EntrySpec::name);

// The input, read front to back; past its end every read gives zeros.
class Choices {
   public:
    Choices(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool empty() const { return at_ >= size_; }
    uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
    uint32_t u16() { return byte() | uint32_t{byte()} << 8; }
    uint32_t u32() { return u16() | u16() << 16; }
    template <typename T, size_t n>
    T pick(const T (&options)[n]) {
        return options[byte() % n];
    }

   private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

struct Library {
    std::string name;
    PluginLibrary plugin;
};

const std::vector<Library>& libraries() {
    static const std::vector<Library> all = [] {
        std::vector<Library> loaded;
        for (const PluginVariant& v : pluginVariants()) loaded.push_back({v.name, PluginLibrary::open(v.path)});
        return loaded;
    }();
    return all;
}

[[noreturn]] void fail(const std::string& call, const std::string& what) {
    std::fprintf(stderr, "fuzz_exports: %s: %s\n", call.c_str(), what.c_str());
    std::fflush(stderr);
    std::abort();
}

const std::vector<Complex>& segmentedTable(int32_t N) {
    static std::map<int32_t, std::vector<Complex>> tables;
    auto found = tables.find(N);
    if (found == tables.end()) found = tables.emplace(N, makeTwiddleTable(N)).first;
    return found->second;
}

std::vector<Complex> preparedTable(int32_t N) {
    std::vector<Complex> table = segmentedTable(N);
    if (N >= 2) {
        const std::vector<Complex> upper(table.begin() + N / 2, table.end());
        const std::vector<Complex> reversed = bitReversed(upper);
        std::copy(reversed.begin(), reversed.end(), table.begin());
    }
    return table;
}

// --- the catalogue exports ---------------------------------------------------

void checkSignatureExports(Choices& in) {
    const bool null = in.byte() % 4 == 0;
    std::vector<unsigned char> creatorStart(FFTPLUG_CREATOR_BYTES), specsStart(sizeof(EntrySpec) * FFTPLUG_CATALOGUE_RECORDS);
    for (auto& b : creatorStart) b = in.byte();
    for (size_t i = 0; i < specsStart.size(); ++i) specsStart[i] = static_cast<unsigned char>(in.byte() ^ (i * 37));

    std::vector<unsigned char> firstCreator, firstSpecs;
    for (const Library& library : libraries()) {
        const Exports& e = library.plugin.exports();
        if (e.getCircuitSignature() != 3) fail(library.name, "getCircuitSignature is not 3");
        if (e.getEntryCount() != 10) fail(library.name, "getEntryCount is not 10");
        // Exactly sized buffers, so that the sanitizer sees a byte too many.
        std::vector<unsigned char> creator = creatorStart, specs = specsStart;
        char* text = null ? nullptr : reinterpret_cast<char*>(creator.data());
        auto* records = null ? nullptr : reinterpret_cast<EntrySpec*>(specs.data());
        if (e.getCreatorSignature(text) != text) fail(library.name, "getCreatorSignature returns another pointer");
        if (e.getEntrySpecs(records) != records) fail(library.name, "getEntrySpecs returns another pointer");
        if (null) continue;
        if (std::memcmp(creator.data(), "SDK-C Tavelo 2000/09/27", FFTPLUG_CREATOR_BYTES) != 0)
            fail(library.name, "creator string");
        // Each record: a terminated name, the host's bytes after the
        // terminator, flags with bit 0 set.
        for (size_t r = 0; r < FFTPLUG_CATALOGUE_RECORDS; ++r) {
            const unsigned char* record = specs.data() + r * sizeof(EntrySpec);
            const void* zero = std::memchr(record, 0, kNameBytes);
            if (zero == nullptr) fail(library.name, "record " + std::to_string(r) + " has no terminator");
            const size_t length = static_cast<size_t>(static_cast<const unsigned char*>(zero) - record);
            if (std::memcmp(record + length + 1, specsStart.data() + r * sizeof(EntrySpec) + length + 1,
                            kNameBytes - length - 1) != 0)
                fail(library.name, "record " + std::to_string(r) + ": bytes after the name's terminator written");
            if ((record[kNameBytes] & 1) == 0) fail(library.name, "record " + std::to_string(r) + " flags");
        }
        if (firstCreator.empty()) {
            firstCreator = creator;
            firstSpecs = specs;
        } else if (creator != firstCreator || specs != firstSpecs) {
            fail(library.name, "catalogue differs from " + libraries()[0].name + "'s");
        }
    }
}

// --- runEntry ------------------------------------------------------------------

enum class TableKind { segmented, prepared, arbitrary };
enum class InputKind { bounded, arbitrary };

// Where one array of the call lives: a region and a byte offset, or null.
struct Place {
    int region = -1;
    size_t offset = 0;
};

struct Call {
    uint32_t index = 0;
    int32_t N = 0;
    int32_t reps = 0;
    TableKind tableKind = TableKind::segmented;
    InputKind inputKind = InputKind::bounded;
    std::vector<std::vector<unsigned char>> regions;  // the memory before the call
    Place input, work, table;

    std::string describe() const {
        auto place = [](const Place& p) {
            return p.region < 0 ? std::string("null") : "region " + std::to_string(p.region) + "+" + std::to_string(p.offset);
        };
        static const char* tables[] = {"segmented", "prepared", "arbitrary"};
        return "runEntry(" + std::to_string(index) + ", N " + std::to_string(N) + ", input " + place(input) +
               ", work " + place(work) + ", table " + place(table) + " (" + tables[static_cast<int>(tableKind)] +
               "), reps " + std::to_string(reps) + ")";
    }
};

bool isPowerOfTwo32(int32_t N) { return N > 0 && (N & (N - 1)) == 0; }

int32_t chooseN(Choices& in) {
    const uint8_t kind = in.byte() % 16;
    if (kind < 10) return 1 << (in.byte() % (kMaxBits + 1));
    switch (kind) {
        case 10: return 1 << (kMaxBits + 1 + in.byte() % (30 - kMaxBits));  // too large to run: only do-nothing calls
        case 11: return static_cast<int32_t>(in.u16());                       // mostly not a power of two
        case 12: return -static_cast<int32_t>(in.u16());
        case 13: return INT_MIN;
        case 14: return INT_MAX;
        default: return static_cast<int32_t>(in.u32());
    }
}

void writeSamples(std::vector<unsigned char>& region, size_t offset, const std::vector<Complex>& samples) {
    const size_t bytes = std::min(samples.size() * sizeof(Complex), region.size() - std::min(offset, region.size()));
    if (bytes > 0) std::memcpy(region.data() + offset, samples.data(), bytes);
}

std::vector<Complex> readSamples(const std::vector<unsigned char>& region, size_t offset, size_t count) {
    std::vector<Complex> samples(count);
    if (count > 0) std::memcpy(samples.data(), region.data() + offset, count * sizeof(Complex));
    return samples;
}

Call chooseCall(Choices& in) {
    static const uint32_t extremeIndices[] = {10, 15, 16, 21, 255, 0x10000, 0x7FFFFFFF, 0x80000000u, UINT32_MAX};
    static const int32_t repeatCounts[] = {INT_MIN, -5, -1, 0, 0, 1, 1, 2, 3};
    Call call;
    const uint8_t indexChoice = in.byte();
    call.index = indexChoice < 200 ? indexChoice % 21 : extremeIndices[indexChoice % 9];
    call.N = chooseN(in);
    call.reps = in.pick(repeatCounts);
    call.tableKind = static_cast<TableKind>(in.byte() % 3);
    call.inputKind = static_cast<InputKind>(in.byte() % 2);

    // Arrays hold N samples when N can be run, a few otherwise.
    const bool runnable = isPowerOfTwo32(call.N) && call.N <= (1 << kMaxBits);
    const size_t n = runnable ? static_cast<size_t>(call.N) : in.byte() % 17;
    const uint8_t layout = in.byte();
    const bool shared = layout % 3 == 0;
    if (shared) {
        // One block of 3n to 4n samples and half a sample; offsets in half
        // samples, so that the arrays may overlap anywhere.
        const size_t bytes = (3 * n + layout / 3 % 8) * sizeof(Complex) + 4;
        call.regions.push_back(std::vector<unsigned char>(bytes));
        const size_t slots = (bytes - n * sizeof(Complex)) / 4 + 1;
        const uint32_t a = in.u16(), b = in.u16(), c = in.u16();
        call.input = {0, a % slots * 4};
        call.work = {0, (in.byte() % 4 == 0 ? a : b) % slots * 4};
        call.table = {0, c % slots * 4};
    } else {
        for (int r = 0; r < 3; ++r) call.regions.push_back(std::vector<unsigned char>((n + in.byte() % 8 / 7) * sizeof(Complex)));
        call.input = {0, 0};
        call.work = {1, 0};
        call.table = {2, 0};
    }
    const uint8_t nulls = in.byte();
    if (nulls & 0x10) call.input.region = -1;
    if (nulls & 0x20) call.work.region = -1;
    if (nulls & 0x40) call.table.region = -1;

    // Contents: garbage everywhere, then the table, then the input.
    for (auto& region : call.regions)
        for (size_t i = 0; i < region.size(); ++i) region[i] = static_cast<unsigned char>(in.byte() + i * 101);
    if (call.table.region >= 0) {
        if (runnable && call.tableKind == TableKind::segmented)
            writeSamples(call.regions[call.table.region], call.table.offset, segmentedTable(call.N));
        else if (runnable && call.tableKind == TableKind::prepared)
            writeSamples(call.regions[call.table.region], call.table.offset, preparedTable(call.N));
    }
    if (call.input.region >= 0 && call.inputKind == InputKind::bounded) {
        const std::vector<Complex> signal = randomSignal(static_cast<uint32_t>(n), in.u32());
        writeSamples(call.regions[call.input.region], call.input.offset, signal);
    }
    return call;
}

// The protocol's verdict on a call.
enum class Effect { nothing, prepare, transform, transformInPlace };

struct Span {
    uintptr_t begin, end;
    bool overlaps(const Span& other) const { return begin < other.end && other.begin < end; }
};

Effect expectedEffect(const Call& call, const std::vector<std::vector<unsigned char>>& regions) {
    if (call.index >= 10 || call.reps < 0 || !isPowerOfTwo32(call.N)) return Effect::nothing;
    if (call.reps == 0) return call.index >= 3 && call.table.region >= 0 ? Effect::prepare : Effect::nothing;
    if (call.input.region < 0 || call.work.region < 0 || call.table.region < 0) return Effect::nothing;
    auto span = [&](const Place& p) {
        const auto start = reinterpret_cast<uintptr_t>(regions[p.region].data()) + p.offset;
        return Span{start, start + static_cast<uintptr_t>(call.N) * sizeof(Complex)};
    };
    const Span input = span(call.input), work = span(call.work), table = span(call.table);
    if (table.overlaps(input) || table.overlaps(work)) return Effect::nothing;
    if (input.begin == work.begin) return Effect::transformInPlace;
    return input.overlaps(work) ? Effect::nothing : Effect::transform;
}

// "region 0, byte 272: 0x3f800000 against 0x3f800001", the first 32-bit
// word that differs.
std::string firstDifference(const std::vector<std::vector<unsigned char>>& got,
                            const std::vector<std::vector<unsigned char>>& expected) {
    for (size_t r = 0; r < got.size(); ++r)
        for (size_t at = 0; at < got[r].size(); at += 4) {
            uint32_t a = 0, b = 0;
            const size_t n = std::min<size_t>(4, got[r].size() - at);
            std::memcpy(&a, got[r].data() + at, n);
            std::memcpy(&b, expected[r].data() + at, n);
            if (a != b) {
                char line[96];
                std::snprintf(line, sizeof line, "region %zu, byte %zu: 0x%08x against 0x%08x", r, at,
                              static_cast<unsigned>(a), static_cast<unsigned>(b));
                return line;
            }
        }
    return "no difference";
}

bool isNaNWord(uint32_t w) { return (w & 0x7F800000u) == 0x7F800000u && (w & 0x007FFFFFu) != 0; }

// The paths compute the same float operations, but a NaN that an arbitrary
// input carries in may come out with another sign or payload on another
// path (how an instruction passes a NaN on is the instruction's choice).
// Between paths, then, a NaN matches any NaN at the same place, unless
// FFTPLUG_FUZZ_NAN_BITS is set in the environment; everything else must
// match bit for bit.
bool samePathResults(const std::vector<std::vector<unsigned char>>& got,
                     const std::vector<std::vector<unsigned char>>& expected) {
    static const bool nanBits = std::getenv("FFTPLUG_FUZZ_NAN_BITS") != nullptr;
    if (got == expected) return true;
    if (nanBits) return false;
    for (size_t r = 0; r < got.size(); ++r)
        for (size_t at = 0; at + 4 <= got[r].size(); at += 4) {
            uint32_t a, b;
            std::memcpy(&a, got[r].data() + at, 4);
            std::memcpy(&b, expected[r].data() + at, 4);
            if (a != b && !(isNaNWord(a) && isNaNWord(b))) return false;
        }
    return true;
}

bool holds(const Call& call, const Place& place) {
    return place.region >= 0 &&
           call.regions[place.region].size() >= place.offset + static_cast<size_t>(call.N) * sizeof(Complex);
}

// The table kinds an entry computes a true transform over.
bool properTable(uint32_t index, TableKind kind) {
    if (index == 1) return kind != TableKind::arbitrary;
    return kind == (index <= 2 ? TableKind::segmented : TableKind::prepared);
}

double errorBound(int32_t N) { return 1.5e-7 * std::sqrt(static_cast<double>(log2Exact(static_cast<uint64_t>(N))) + 1.0); }

void checkRunEntry(Choices& in) {
    const Call call = chooseCall(in);
    const std::string what = call.describe();

    std::vector<std::vector<unsigned char>> first;
    Effect effect = Effect::nothing;
    for (const Library& library : libraries()) {
        std::vector<std::vector<unsigned char>> regions = call.regions;  // exactly sized copies
        effect = expectedEffect(call, regions);
        // A call that would touch arrays smaller than N is the host's
        // mistake, not the plug-in's: not made.
        if (effect == Effect::prepare && !holds(call, call.table)) return;
        if ((effect == Effect::transform || effect == Effect::transformInPlace) &&
            (!holds(call, call.input) || !holds(call, call.work) || !holds(call, call.table)))
            return;
        auto pointer = [&](const Place& p) {
            return p.region < 0 ? nullptr : reinterpret_cast<Complex*>(regions[p.region].data() + p.offset);
        };
        library.plugin.exports().runEntry(call.index, call.N, pointer(call.input), 0xDEADBEEF, pointer(call.work),
                                          0x12345678, pointer(call.table), 0xFFFFFFFF, call.reps);
        if (first.empty())
            first = std::move(regions);
        else if (!samePathResults(regions, first))
            fail(what, library.name + " leaves other bytes than " + libraries()[0].name + ": " +
                           firstDifference(regions, first));
    }

    // The effect, from the first library's memory.
    std::vector<std::vector<unsigned char>> expected = call.regions;
    const size_t n = static_cast<size_t>(call.N);
    if (effect == Effect::prepare) {
        writeSamples(expected[call.table.region], call.table.offset,
                     [&] {
                         std::vector<Complex> t = readSamples(call.regions[call.table.region], call.table.offset, n);
                         if (n >= 2) {
                             const std::vector<Complex> upper(t.begin() + n / 2, t.end());
                             const std::vector<Complex> reversed = bitReversed(upper);
                             std::copy(reversed.begin(), reversed.end(), t.begin());
                         }
                         return t;
                     }());
    } else if (effect != Effect::nothing) {
        // Only `work` may change: copy its result into the expectation, then
        // compare everything and judge the result on its own.
        const std::vector<Complex> result = readSamples(first[call.work.region], call.work.offset, n);
        writeSamples(expected[call.work.region], call.work.offset, result);
        const std::vector<Complex> input = readSamples(call.regions[call.input.region], call.input.offset, n);
        if (call.inputKind == InputKind::bounded && properTable(call.index, call.tableKind)) {
            const bool naturalInput = call.index == 2;
            const Spectrum reference = referenceTransform(toSpectrum(naturalInput ? input : bitReversed(input)));
            const double error = relativeRmsError(naturalInput ? bitReversed(result) : result, reference);
            if (!(error <= errorBound(call.N)))
                fail(what, "relative RMS error " + std::to_string(error) + " over the bound " +
                               std::to_string(errorBound(call.N)));
        }
    }
    if (first != expected) {
        static const char* effects[] = {"nothing", "the preparation", "a transform", "an in-place transform"};
        fail(what, std::string("the memory after the call is not that of ") + effects[static_cast<int>(effect)] +
                       ": " + firstDifference(first, expected));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Choices in(data, size);
    for (int calls = 0; calls < 4 && !in.empty(); ++calls) {
        if (in.byte() % 8 == 0)
            checkSignatureExports(in);
        else
            checkRunEntry(in);
    }
    return 0;
}
