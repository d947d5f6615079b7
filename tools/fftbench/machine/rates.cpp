#include "machine/rates.h"

#include <algorithm>
#include <chrono>
#include <memory>

#include "machine/rate_kernels.h"
#include "machine/timing.h"

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
    TimingGoal goal;
    goal.minSeconds = minSeconds;
    goal.measurements = 5;
    const Timing timing = measure(
        [&](int64_t count) {
            const auto begin = std::chrono::steady_clock::now();
            run(count);
            return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        },
        goal, int64_t{1} << 40, [] { return false; });
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

std::optional<PeakRates> measureRates(const std::string& path, const std::vector<uint32_t>& sizes,
                                      const std::vector<CacheLevel>& caches, double minSeconds) {
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

    // Sweeps of an eighth, a quarter and a half of each cache (the eighth at
    // least four times the cache before), the fastest for each rate: the
    // loop's lines stay in the cache whatever its replacement, and the
    // eighth stays in it even where the cache is shared with other cores or
    // other machines (a virtual machine's last cache), while a core's
    // prefetchers may keep up better with one length than with another
    // (Zen 5's L2 delivers a fifth more to a 512 KiB sweep than to 256 KiB).
    // Memory at four times the last cache, where the arrays of the largest N
    // (input, work and a table of up to N entries: 24N bytes) could outgrow it.
    const uint64_t step = 8 * uint64_t{kernels->vectorBytes};  // the loops' stride
    auto rounded = [&](uint64_t bytes) { return std::max<uint64_t>(bytes / step * step, step); };
    uint64_t before = 0;
    for (const CacheLevel& cache : caches) {
        const uint64_t half = rounded(cache.bytes / 2);
        const uint64_t eighth = std::min(rounded(std::max(cache.bytes / 8, 4 * before)), half);
        rates.levels.push_back({cache.name, cache.bytes, eighth, half, 0, 0});
        before = cache.bytes;
    }
    if (!caches.empty() && uint64_t{24} * ascending.back() > caches.back().bytes) {
        const uint64_t bytes = 4 * caches.back().bytes;
        rates.levels.push_back({"memory", 0, bytes, bytes, 0, 0});
    }

    uint64_t largest = workingSetBytes(ascending.back());
    for (const LevelRate& level : rates.levels) largest = std::max(largest, level.largestBytes);
    // 64-byte aligned, as the plug-in's arrays are at least 8-byte aligned
    // and a wide vector's natural alignment is its width.
    std::unique_ptr<char[]> storage(new char[largest + 64]());
    char* buffer = storage.get() + (64 - reinterpret_cast<uintptr_t>(storage.get()) % 64) % 64;
    auto sweep = [&](uint64_t bytes, double& loadRate, double& storeRate) {
        kernels->store(buffer, bytes, 1);  // touched before it is timed
        // one stream and four, the faster
        loadRate = std::max(
            ratePerSecond([&](int64_t n) { sink = kernels->load(buffer, bytes, n); }, double(bytes), minSeconds),
            ratePerSecond([&](int64_t n) { sink = kernels->loadFourStreams(buffer, bytes, n); }, double(bytes),
                          minSeconds));
        storeRate = std::max(
            ratePerSecond([&](int64_t n) { kernels->store(buffer, bytes, n); }, double(bytes), minSeconds),
            ratePerSecond([&](int64_t n) { kernels->storeFourStreams(buffer, bytes, n); }, double(bytes),
                          minSeconds));
    };
    for (const uint32_t N : ascending) {
        MemoryRate m;
        m.N = N;
        m.bytes = workingSetBytes(N);
        sweep(m.bytes, m.loadBytesPerSecond, m.storeBytesPerSecond);
        rates.memory.push_back(m);
    }
    for (LevelRate& level : rates.levels) {
        sweep(level.bytes, level.loadBytesPerSecond, level.storeBytesPerSecond);
        for (uint64_t bytes = 2 * level.bytes; level.largestBytes != level.bytes; bytes *= 2) {
            double load = 0, store = 0;
            sweep(std::min(bytes, level.largestBytes), load, store);
            level.loadBytesPerSecond = std::max(level.loadBytesPerSecond, load);
            level.storeBytesPerSecond = std::max(level.storeBytesPerSecond, store);
            if (bytes >= level.largestBytes) break;
        }
    }
    return rates;
}

double loadRateOver(const std::string& path, uint64_t bytes, double minSeconds) {
    const RateKernels* kernels = kernelsFor(path);
    if (kernels == nullptr) return 0;
    const uint64_t step = 8 * uint64_t{kernels->vectorBytes};
    bytes = std::max<uint64_t>(bytes / step * step, step);
    std::unique_ptr<char[]> storage(new char[bytes + 64]());
    char* buffer = storage.get() + (64 - reinterpret_cast<uintptr_t>(storage.get()) % 64) % 64;
    kernels->store(buffer, bytes, 1);
    return std::max(
        ratePerSecond([&](int64_t n) { sink = kernels->load(buffer, bytes, n); }, double(bytes), minSeconds),
        ratePerSecond([&](int64_t n) { sink = kernels->loadFourStreams(buffer, bytes, n); }, double(bytes), minSeconds));
}

}  // namespace fftbench
