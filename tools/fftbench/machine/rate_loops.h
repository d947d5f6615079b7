// The body of the rate kernels, over a width W (rate_kernels_*.cpp defines
// it): W::Int and W::Float vector types, kLanes floats and kBytes a load, loadInt, orInt, low64 (a 64-bit
// lane), storeInt, splatInt, splat, add, mul, and the shuffles swap, low, high.
// Included inside an unnamed namespace, so that nothing here is shared.

// Independent chains of arithmetic: enough to cover an operation's latency
// on every unit that executes it, and few enough to stay in registers (32-bit
// code has eight vector registers, two of which hold the constants).
#if defined(__i386__)
constexpr int kChains = 6;
#else
constexpr int kChains = 8;
#endif

// Eight loads a step into four OR chains (an OR's latency is one cycle, so
// four chains keep up with any number of loads a cycle a core has), from
// `Streams` parts of the buffer at once (8 / Streams loads from each): one
// stream, or four, as the stages of a transform walk several parts of
// their arrays together and so use more of a cache level's prefetchers and
// misses in flight (this machine's shared L3 gave some transforms more than
// one stream measured). The rates take the faster.
template <typename W, int Streams>
uint64_t loadLoop(const void* p, size_t bytes, int64_t passes) {
    static_assert(Streams == 1 || Streams == 4, "one stream or four");
    constexpr int kEach = 8 / Streams;
    const char* base = static_cast<const char*>(p);
    const size_t v = W::kBytes, part = bytes / Streams;
    typename W::Int a[4] = {W::splatInt(0), W::splatInt(0), W::splatInt(0), W::splatInt(0)};
    for (int64_t pass = 0; pass < passes; ++pass) {
        for (size_t at = 0; at < part; at += kEach * v) {
#pragma GCC unroll 8
            for (int k = 0; k < 8; ++k)
                a[k % 4] = W::orInt(a[k % 4], W::loadInt(base + at + (k % Streams) * part + (k / Streams) * v));
        }
        __asm__ volatile("" ::: "memory");
    }
    return W::low64(W::orInt(W::orInt(a[0], a[1]), W::orInt(a[2], a[3])));
}

// Eight stores a step, from `Streams` parts of the buffer as the loads.
template <typename W, int Streams>
void storeLoop(void* p, size_t bytes, int64_t passes) {
    static_assert(Streams == 1 || Streams == 4, "one stream or four");
    constexpr int kEach = 8 / Streams;
    char* base = static_cast<char*>(p);
    const size_t v = W::kBytes, part = bytes / Streams;
    for (int64_t pass = 0; pass < passes; ++pass) {
        // A value that changes every pass and is no byte pattern memset could write.
        const typename W::Int x = W::splatInt(0x3f800001 + static_cast<int>(pass & 0xffff) * 0x100);
        for (size_t at = 0; at < part; at += kEach * v) {
#pragma GCC unroll 8
            for (int k = 0; k < 8; ++k) W::storeInt(base + at + (k % Streams) * part + (k / Streams) * v, x);
        }
        __asm__ volatile("" ::: "memory");
    }
}

// Each chain alternates two operations that undo each other (+c, −c; ×c,
// ×1/c), so the values stay ordinary numbers, never denormal or infinite.
// The values start from a volatile, so that the compiler cannot work the
// loop out in advance.
inline volatile float rateSeed = 1.0f;
// Sums the chains, so that every operation counts towards the result.
template <typename W>
float sumOf(const typename W::Float (&a)[kChains]) {
    typename W::Float sum = a[0];
#pragma GCC unroll 8
    for (int k = 1; k < kChains; ++k) sum = W::add(sum, a[k]);
    return W::first(sum);
}

template <typename W>
void seedChains(typename W::Float (&a)[kChains], float seed) {
#pragma GCC unroll 8
    for (int k = 0; k < kChains; ++k) a[k] = W::splat(static_cast<float>(k + 1) * seed);
}

template <typename W>
float addLoop(int64_t iterations) {
    const float seed = rateSeed;
    typename W::Float a[kChains];
    seedChains<W>(a, seed);
    const typename W::Float c = W::splat(0.5f * seed), d = W::splat(-0.5f * seed);
    for (int64_t i = 0; i < iterations; ++i) {
#pragma GCC unroll 8
        for (int k = 0; k < kChains; ++k) a[k] = W::add(a[k], c);
#pragma GCC unroll 8
        for (int k = 0; k < kChains; ++k) a[k] = W::add(a[k], d);
    }
    return sumOf<W>(a);
}

template <typename W>
float multiplyLoop(int64_t iterations) {
    const float seed = rateSeed;
    typename W::Float a[kChains];
    seedChains<W>(a, seed);
    const typename W::Float c = W::splat(2.0f * seed), d = W::splat(0.5f * seed);
    for (int64_t i = 0; i < iterations; ++i) {
#pragma GCC unroll 8
        for (int k = 0; k < kChains; ++k) a[k] = W::mul(a[k], c);
#pragma GCC unroll 8
        for (int k = 0; k < kChains; ++k) a[k] = W::mul(a[k], d);
    }
    return sumOf<W>(a);
}

// Hides a register's contents from the compiler, so that it cannot merge
// two shuffles in a row into one (or none): it costs no instruction.
template <typename F>
inline void opaque(F& a) {
    __asm__("" : "+v"(a));
}

// Each chain takes the three shuffles in turn, a different one from its
// neighbours at every step.
template <typename W>
typename W::Float shuffled(typename W::Float a, int kind) {
    return kind == 0 ? W::swap(a) : kind == 1 ? W::low(a) : W::high(a);
}

template <typename W>
float shuffleLoop(int64_t iterations) {
    typename W::Float a[kChains];
    seedChains<W>(a, rateSeed);
    for (int64_t i = 0; i < iterations; ++i) {
#pragma GCC unroll 8
        for (int k = 0; k < kChains; ++k) {
            a[k] = shuffled<W>(a[k], k % 3);
            opaque(a[k]);
        }
#pragma GCC unroll 8
        for (int k = 0; k < kChains; ++k) {
            a[k] = shuffled<W>(a[k], (k + 1) % 3);
            opaque(a[k]);
        }
    }
    return sumOf<W>(a);
}

template <typename W>
const RateKernels* kernelsOf(bool shuffles) {
    static const RateKernels kernels{loadLoop<W, 1>, storeLoop<W, 1>, loadLoop<W, 4>, storeLoop<W, 4>,
                                     addLoop<W>, multiplyLoop<W>,
                                     shuffles ? shuffleLoop<W> : nullptr, W::kLanes, W::kBytes,
                                     static_cast<unsigned>(kChains)};
    return &kernels;
}
