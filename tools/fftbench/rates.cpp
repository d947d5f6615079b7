#include "rates.h"

#include <algorithm>
#include <chrono>
#include <memory>

#include "bench.h"
#include "rate_kernels.h"

namespace fftbench {

namespace {

const RateKernels* kernelsFor(const std::string& path) {
    if (path == "scalar") return scalarRateKernels();
    if (path == "SSE2") return sse2RateKernels();
    if (path == "AVX2") return avx2RateKernels();
    if (path == "AVX-512") return avx512RateKernels();
    return nullptr;
}

// Units of `run(count)` per second: calibrated and measured as bench times
// a contender (measure()), the best of three.
template <typename Run>
double ratePerSecond(Run run, double unitsPerCount, double minSeconds) {
    BenchSettings settings;
    settings.minSeconds = minSeconds;
    settings.measurements = 5;
    const Timing timing = measure(
        [&](int64_t count) {
            const auto begin = std::chrono::steady_clock::now();
            run(count);
            return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        },
        settings, int64_t{1} << 40, [] { return false; });
    return timing.best > 0 ? unitsPerCount * static_cast<double>(timing.reps) / timing.best : 0;
}

volatile uint64_t sink;  // keeps the loops' results alive
volatile float floatSink;

}  // namespace

const MemoryRate* PeakRates::at(uint32_t N) const {
    for (const MemoryRate& m : memory)
        if (m.N == N) return &m;
    return nullptr;
}

uint64_t workingSetBytes(uint32_t N) { return std::max<uint64_t>(uint64_t{16} * N, 4096); }

std::optional<PeakRates> measureRates(const std::string& path, const std::vector<uint32_t>& sizes, double minSeconds) {
    const RateKernels* kernels = kernelsFor(path);
    if (kernels == nullptr) return std::nullopt;
    PeakRates rates;
    rates.path = path;
    rates.lanes = kernels->lanes;
    rates.vectorBytes = kernels->vectorBytes;
    const double opsPerIteration = 2.0 * kernels->chains * kernels->lanes;
    rates.additionsPerSecond = ratePerSecond([&](int64_t n) { floatSink = kernels->add(n * 1000); },
                                             1000 * opsPerIteration, minSeconds);
    rates.multiplicationsPerSecond = ratePerSecond([&](int64_t n) { floatSink = kernels->multiply(n * 1000); },
                                                   1000 * opsPerIteration, minSeconds);
    if (kernels->shuffle != nullptr)
        rates.shufflesPerSecond = ratePerSecond([&](int64_t n) { floatSink = kernels->shuffle(n * 1000); },
                                                1000 * opsPerIteration, minSeconds);

    std::vector<uint32_t> ascending = sizes;
    std::sort(ascending.begin(), ascending.end());
    ascending.erase(std::unique(ascending.begin(), ascending.end()), ascending.end());
    if (ascending.empty()) return rates;
    const uint64_t largest = workingSetBytes(ascending.back());
    // 64-byte aligned, as the plug-in's arrays are at least 8-byte aligned
    // and a wide vector's natural alignment is its width.
    std::unique_ptr<char[]> storage(new char[largest + 64]());
    char* buffer = storage.get() + (64 - reinterpret_cast<uintptr_t>(storage.get()) % 64) % 64;
    for (const uint32_t N : ascending) {
        MemoryRate m;
        m.N = N;
        m.bytes = workingSetBytes(N);
        const double bytes = static_cast<double>(m.bytes);
        kernels->store(buffer, m.bytes, 1);  // touched before it is timed
        m.loadBytesPerSecond =
            ratePerSecond([&](int64_t n) { sink = kernels->load(buffer, m.bytes, n); }, bytes, minSeconds);
        m.storeBytesPerSecond = ratePerSecond([&](int64_t n) { kernels->store(buffer, m.bytes, n); }, bytes, minSeconds);
        rates.memory.push_back(m);
    }
    return rates;
}

Operations operationsOf(const FftplugCounts& counts, uint32_t N) {
    Operations o;
    o.loadBytes = 8.0 * static_cast<double>(counts.loads) + 8.0 * N;
    o.storeBytes = 8.0 * static_cast<double>(counts.stores) + 8.0 * N;
    o.additions = static_cast<double>(counts.additions);
    o.multiplications = static_cast<double>(counts.multiplications);
    return o;
}

std::optional<LeastTime> leastTime(const Operations& o, uint32_t N, const PeakRates& rates) {
    const MemoryRate* memory = rates.at(N);
    if (memory == nullptr || memory->loadBytesPerSecond <= 0 || memory->storeBytesPerSecond <= 0 ||
        rates.additionsPerSecond <= 0 || rates.multiplicationsPerSecond <= 0)
        return std::nullopt;
    const std::pair<double, const char*> terms[] = {{o.loadBytes / memory->loadBytesPerSecond, "loads"},
                                                    {o.storeBytes / memory->storeBytesPerSecond, "stores"},
                                                    {o.additions / rates.additionsPerSecond, "additions"},
                                                    {o.multiplications / rates.multiplicationsPerSecond, "multiplications"}};
    const auto& slowest = *std::max_element(std::begin(terms), std::end(terms),
                                            [](const auto& a, const auto& b) { return a.first < b.first; });
    return LeastTime{slowest.first, slowest.second};
}

double limitPercent(double least, double measured) { return measured > 0 ? 100.0 * least / measured : 0; }

}  // namespace fftbench
