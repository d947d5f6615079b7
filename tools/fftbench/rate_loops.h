// The body of the rate kernels, over a width W (rate_kernels_*.cpp defines
// it): W::Int and W::Float vector types, kLanes floats and kBytes a load, loadInt, orInt, low64 (a 64-bit
// lane), storeInt, splatInt, splat, add, mul, and the shuffles swap, low, high.
// Included inside an unnamed namespace, so that nothing here is shared.

template <typename W>
uint64_t loadLoop(const void* p, size_t bytes, int64_t passes) {
    const char* base = static_cast<const char*>(p);
    const size_t step = 8 * W::kBytes;
    typename W::Int a0 = W::splatInt(0), a1 = a0, a2 = a0, a3 = a0, a4 = a0, a5 = a0, a6 = a0, a7 = a0;
    for (int64_t pass = 0; pass < passes; ++pass) {
        for (size_t at = 0; at < bytes; at += step) {
            const char* q = base + at;
            const size_t v = W::kBytes;
            a0 = W::orInt(a0, W::loadInt(q));
            a1 = W::orInt(a1, W::loadInt(q + v));
            a2 = W::orInt(a2, W::loadInt(q + 2 * v));
            a3 = W::orInt(a3, W::loadInt(q + 3 * v));
            a4 = W::orInt(a4, W::loadInt(q + 4 * v));
            a5 = W::orInt(a5, W::loadInt(q + 5 * v));
            a6 = W::orInt(a6, W::loadInt(q + 6 * v));
            a7 = W::orInt(a7, W::loadInt(q + 7 * v));
        }
        __asm__ volatile("" ::: "memory");
    }
    a0 = W::orInt(W::orInt(W::orInt(a0, a1), W::orInt(a2, a3)), W::orInt(W::orInt(a4, a5), W::orInt(a6, a7)));
    return W::low64(a0);
}

template <typename W>
void storeLoop(void* p, size_t bytes, int64_t passes) {
    char* base = static_cast<char*>(p);
    const size_t v = W::kBytes;
    for (int64_t pass = 0; pass < passes; ++pass) {
        // A value that changes every pass and is no byte pattern memset could write.
        const typename W::Int x = W::splatInt(0x3f800001 + static_cast<int>(pass & 0xffff) * 0x100);
        for (size_t at = 0; at < bytes; at += 8 * v) {
            char* q = base + at;
            W::storeInt(q, x);
            W::storeInt(q + v, x);
            W::storeInt(q + 2 * v, x);
            W::storeInt(q + 3 * v, x);
            W::storeInt(q + 4 * v, x);
            W::storeInt(q + 5 * v, x);
            W::storeInt(q + 6 * v, x);
            W::storeInt(q + 7 * v, x);
        }
        __asm__ volatile("" ::: "memory");
    }
}

// Each chain alternates two operations that undo each other (+c, −c; ×c,
// ×1/c), so the values stay ordinary numbers, never denormal or infinite.
// The values start from a volatile, so that the compiler cannot work the
// loop out in advance.
inline volatile float rateSeed = 1.0f;
template <typename W>
float addLoop(int64_t iterations) {
    const float seed = rateSeed;
    typename W::Float a0 = W::splat(seed), a1 = W::splat(2 * seed), a2 = W::splat(3 * seed), a3 = W::splat(4 * seed),
                      a4 = W::splat(5 * seed), a5 = W::splat(6 * seed), a6 = W::splat(7 * seed), a7 = W::splat(8 * seed);
    const typename W::Float c = W::splat(0.5f * seed), d = W::splat(-0.5f * seed);
    for (int64_t i = 0; i < iterations; ++i) {
        a0 = W::add(a0, c); a1 = W::add(a1, c); a2 = W::add(a2, c); a3 = W::add(a3, c);
        a4 = W::add(a4, c); a5 = W::add(a5, c); a6 = W::add(a6, c); a7 = W::add(a7, c);
        a0 = W::add(a0, d); a1 = W::add(a1, d); a2 = W::add(a2, d); a3 = W::add(a3, d);
        a4 = W::add(a4, d); a5 = W::add(a5, d); a6 = W::add(a6, d); a7 = W::add(a7, d);
    }
    return W::first(W::add(W::add(W::add(a0, a1), W::add(a2, a3)), W::add(W::add(a4, a5), W::add(a6, a7))));
}

template <typename W>
float multiplyLoop(int64_t iterations) {
    const float seed = rateSeed;
    typename W::Float a0 = W::splat(seed), a1 = W::splat(2 * seed), a2 = W::splat(3 * seed), a3 = W::splat(4 * seed),
                      a4 = W::splat(5 * seed), a5 = W::splat(6 * seed), a6 = W::splat(7 * seed), a7 = W::splat(8 * seed);
    const typename W::Float c = W::splat(2.0f * seed), d = W::splat(0.5f * seed);
    for (int64_t i = 0; i < iterations; ++i) {
        a0 = W::mul(a0, c); a1 = W::mul(a1, c); a2 = W::mul(a2, c); a3 = W::mul(a3, c);
        a4 = W::mul(a4, c); a5 = W::mul(a5, c); a6 = W::mul(a6, c); a7 = W::mul(a7, c);
        a0 = W::mul(a0, d); a1 = W::mul(a1, d); a2 = W::mul(a2, d); a3 = W::mul(a3, d);
        a4 = W::mul(a4, d); a5 = W::mul(a5, d); a6 = W::mul(a6, d); a7 = W::mul(a7, d);
    }
    return W::first(W::add(W::add(W::add(a0, a1), W::add(a2, a3)), W::add(W::add(a4, a5), W::add(a6, a7))));
}

// Hides the registers' contents from the compiler, so that it cannot merge
// two shuffles in a row into one (or none): it costs no instruction.
template <typename F>
inline void opaque(F& a0, F& a1, F& a2, F& a3, F& a4, F& a5, F& a6, F& a7) {
    __asm__("" : "+v"(a0), "+v"(a1), "+v"(a2), "+v"(a3), "+v"(a4), "+v"(a5), "+v"(a6), "+v"(a7));
}

template <typename W>
float shuffleLoop(int64_t iterations) {
    const float seed = rateSeed;
    typename W::Float a0 = W::splat(seed), a1 = W::splat(2 * seed), a2 = W::splat(3 * seed), a3 = W::splat(4 * seed),
                      a4 = W::splat(5 * seed), a5 = W::splat(6 * seed), a6 = W::splat(7 * seed), a7 = W::splat(8 * seed);
    for (int64_t i = 0; i < iterations; ++i) {
        a0 = W::swap(a0); a1 = W::low(a1); a2 = W::high(a2); a3 = W::swap(a3);
        a4 = W::low(a4); a5 = W::high(a5); a6 = W::swap(a6); a7 = W::low(a7);
        opaque(a0, a1, a2, a3, a4, a5, a6, a7);
        a0 = W::high(a0); a1 = W::swap(a1); a2 = W::low(a2); a3 = W::high(a3);
        a4 = W::swap(a4); a5 = W::low(a5); a6 = W::high(a6); a7 = W::swap(a7);
        opaque(a0, a1, a2, a3, a4, a5, a6, a7);
    }
    return W::first(W::add(W::add(W::add(a0, a1), W::add(a2, a3)), W::add(W::add(a4, a5), W::add(a6, a7))));
}

template <typename W>
const RateKernels* kernelsOf(bool shuffles) {
    static const RateKernels kernels{loadLoop<W>, storeLoop<W>, addLoop<W>, multiplyLoop<W>,
                                     shuffles ? shuffleLoop<W> : nullptr, W::kLanes, W::kBytes};
    return &kernels;
}
