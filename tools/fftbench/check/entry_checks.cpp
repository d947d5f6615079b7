#include "check/entry_checks.h"

#include <fmt/format.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <cmath>
#include <complex>
#include <random>

#include "host/guarded_array.h"
#include "host/bit_reversal.h"
#include "host/driver.h"
#include "host/reference.h"
#include "host/twiddle.h"

namespace fftbench {

using fftplug::host::CatalogueEntry;
using fftplug::host::PluginLibrary;
using fftplug::host::Spectrum;
using fftplug::host::GuardedArray;
using fftplug::host::firstDifference;
using fftplug::host::sameBits;

const char* checkName(Check check) {
    switch (check) {
        case Check::accuracy: return "accuracy";
        case Check::linearity: return "linearity";
        case Check::impulse: return "impulse";
        case Check::shift: return "shift";
        case Check::protocol: return "protocol";
        case Check::bounds: return "bounds";
    }
    return "?";
}

double errorBound(uint32_t N) {
    return kErrorBoundScale * std::sqrt(static_cast<double>(fftplug::host::log2Exact(N)) + 1.0);
}

void CheckOutcome::fail(std::string why) {
    if (passed) detail = std::move(why);
    passed = false;
}

void CheckOutcome::observe(double measure, double tolerance) {
    const double r = tolerance > 0 ? measure / tolerance : (measure == 0 ? 0 : INFINITY);
    if (!(r <= ratio)) ratio = std::isnan(r) ? INFINITY : r;
}

bool SizeVerdict::passed() const {
    for (const CheckOutcome& outcome : outcomes)
        if (!outcome.passed) return false;
    return true;
}

const char* stopName(EntryStop::Kind kind) {
    switch (kind) {
        case EntryStop::Kind::crash: return "CRASH";
        case EntryStop::Kind::timeout: return "TIMEOUT";
        case EntryStop::Kind::error: return "ERROR";
    }
    return "?";
}

bool EntryVerdict::passed() const {
    if (stop) return false;
    for (const SizeVerdict& size : sizes)
        if (!size.passed()) return false;
    return true;
}

bool EntryVerdict::passed(Check check) const {
    for (const SizeVerdict& size : sizes)
        if (!size[check].passed) return false;
    return true;
}

namespace {

double norm2(const Spectrum& x) {
    long double sum = 0;
    for (const auto& v : x) sum += std::norm(std::complex<long double>(v));
    return std::sqrt(static_cast<double>(sum));
}

double distance(const Spectrum& a, const Spectrum& b) {
    long double sum = 0;
    for (size_t i = 0; i < a.size(); ++i) sum += std::norm(std::complex<long double>(a[i]) - std::complex<long double>(b[i]));
    return std::sqrt(static_cast<double>(sum));
}

std::complex<double> rootOfUnity(uint64_t j, uint64_t N) {
    const auto w = fftplug::host::unitRoot(j, N);
    return {static_cast<double>(w.real()), static_cast<double>(w.imag())};
}

// One entry at one size, driven as a host drives it: the segmented table
// built by the host, prepared by the entry when its flags say so, the input
// in the order its flags give. Every call is followed by a look at the
// guards of all three arrays and at the input, which must not change.
class Harness {
   public:
    Harness(const PluginLibrary& plugin, const CatalogueEntry& entry, uint32_t N, const CallObserver& observer)
        : plugin_(plugin), entry_(entry), N_(N), observer_(observer), input_(N), work_(N), table_(N) {
        rebuildTable();
    }

    GuardedArray& input() { return input_; }
    GuardedArray& work() { return work_; }
    GuardedArray& table() { return table_; }
    const CatalogueEntry& entry() const { return entry_; }
    uint32_t N() const { return N_; }
    CheckOutcome& bounds() { return bounds_; }
    // The check whose calls follow (for the observer).
    void startCheck(Check check) { check_ = check; }

    void rebuildTable() {
        table_.assign(fftplug::host::makeTwiddleTable(static_cast<int32_t>(N_)));
        prepared_ = false;
    }
    void markPrepared() { prepared_ = true; }

    void call(int32_t reps) {
        const std::vector<Complex> inputBefore = input_.contents();
        if (observer_) observer_({check_, reps, false});
        plugin_.run(entry_.index, static_cast<int32_t>(N_), input_.data(), work_.data(), table_.data(), reps);
        if (observer_) observer_({check_, reps, true});
        const std::string when = fmt::format("reps = {}", reps);
        const std::pair<GuardedArray*, const char*> arrays[] = {{&input_, "input"}, {&work_, "work"}, {&table_, "table"}};
        for (const auto& [array, name] : arrays) {
            if (const auto damage = array->guardDamage(name)) {
                bounds_.fail(when + ": " + *damage);
                array->restoreGuards();
            }
        }
        if (const auto i = firstDifference(inputBefore, input_.contents())) {
            bounds_.fail(fmt::format("{}: input[{}] changed", when, *i));
            input_.assign(inputBefore);
        }
    }

    // The natural-order signal laid out in the entry's input order.
    std::vector<Complex> ordered(const std::vector<Complex>& signal) const {
        return entry_.naturalInput() ? signal : fftplug::host::bitReversed(signal);
    }

    // The transform of a natural-order signal, in natural order: one call
    // with reps = 1 over garbage in work, after the preparation if the entry
    // wants one.
    Spectrum transform(const std::vector<Complex>& signal) {
        if (entry_.preparesTable() && !prepared_) {
            call(0);
            prepared_ = true;
        }
        input_.assign(ordered(signal));
        work_.fillGarbage(++garbageSeed_);
        call(1);
        return fftplug::host::toSpectrum(fftplug::host::naturalOrderResult(entry_, work_.contents()));
    }

   private:
    const PluginLibrary& plugin_;
    const CatalogueEntry& entry_;
    uint32_t N_;
    const CallObserver& observer_;
    Check check_ = Check::protocol;
    GuardedArray input_, work_, table_;
    CheckOutcome bounds_;
    bool prepared_ = false;
    uint32_t garbageSeed_ = 1000;
};

// Negative and zero repeat counts change nothing they should not; the
// preparation is the bit-reversed copy of the upper half and repeating it
// changes nothing; a transform call never writes the table; three
// repetitions leave the same bits as one, whatever work held before.
void checkProtocol(Harness& h, uint32_t seed, CheckOutcome& out) {
    const uint32_t N = h.N();
    GuardedArray& work = h.work();
    GuardedArray& table = h.table();
    h.input().assign(h.ordered(fftplug::host::randomSignal(N, seed)));
    work.fillGarbage(seed + 1);

    // Compares work and table[from, N) with `before`; false (and the failure
    // noted) at the first difference.
    auto unchanged = [&](const std::vector<Complex>& workBefore, const std::vector<Complex>& tableBefore,
                         const std::string& when, size_t from) {
        if (const auto i = firstDifference(workBefore, work.contents())) {
            out.fail(fmt::format("{} changed work[{}]", when, *i));
            return false;
        }
        if (const auto i = firstDifference(tableBefore, table.contents(), from)) {
            out.fail(fmt::format("{} changed table[{}]", when, *i));
            return false;
        }
        return true;
    };

    for (const int32_t reps : {-1, INT_MIN}) {
        const auto workBefore = work.contents(), tableBefore = table.contents();
        h.call(reps);
        if (!unchanged(workBefore, tableBefore, fmt::format("reps = {}", reps), 0)) return;
    }

    const auto workBefore = work.contents(), segmented = table.contents();
    h.call(0);
    if (!h.entry().preparesTable()) {
        if (!unchanged(workBefore, segmented, "reps = 0 (the entry does not prepare the table)", 0)) return;
    } else {
        if (!unchanged(workBefore, segmented, "reps = 0", N / 2)) return;
        // table[i] = table[N/2 + rev(i, log2(N/2))] for i < N/2.
        const auto prepared = table.contents();
        const unsigned bits = N >= 2 ? fftplug::host::log2Exact(N / 2) : 0;
        for (uint32_t i = 0; i < N / 2; ++i) {
            const uint32_t from = N / 2 + fftplug::host::reverseBits(i, bits);
            if (std::memcmp(&prepared[i], &segmented[from], sizeof(Complex)) != 0) {
                out.fail(fmt::format("reps = 0: table[{}] is not the bit-reversed copy table[{}] of the upper half", i, from));
                return;
            }
        }
        h.call(0);
        if (!unchanged(workBefore, prepared, "a second reps = 0", 0)) return;
    }
    h.markPrepared();

    const auto tableBefore = table.contents();
    h.call(1);
    const auto once = work.contents();
    if (const auto i = firstDifference(tableBefore, table.contents())) {
        out.fail(fmt::format("reps = 1 wrote table[{}]", *i));
        return;
    }
    work.fillGarbage(seed + 2);
    h.call(3);
    if (const auto i = firstDifference(once, work.contents())) {
        out.fail(fmt::format("reps = 3 left other bits than reps = 1 (the first at work[{}])", *i));
        return;
    }
    if (const auto i = firstDifference(tableBefore, table.contents())) out.fail(fmt::format("reps = 3 wrote table[{}]", *i));
}

void checkAccuracy(Harness& h, uint32_t seed, SizeVerdict& verdict) {
    const auto signal = fftplug::host::randomSignal(h.N(), seed);
    const Spectrum result = h.transform(signal);
    const double error = fftplug::host::relativeRmsError(result, fftplug::host::referenceTransform(fftplug::host::toSpectrum(signal)));
    const double bound = errorBound(h.N());
    verdict.error = error;
    CheckOutcome& out = verdict[Check::accuracy];
    out.observe(error, bound);
    if (!(error <= bound)) out.fail(fmt::format("relative RMS error {:.3g} exceeds the bound {:.3g}", error, bound));
}

// δ at n0 transforms to X[k] = W(N, n0·k): at 0, 1, N − 1 and one more place.
void checkImpulse(Harness& h, uint32_t seed, CheckOutcome& out) {
    const uint32_t N = h.N();
    std::vector<uint32_t> places{0, 1 % N, N - 1, static_cast<uint32_t>(std::mt19937(seed)() % N)};
    std::sort(places.begin(), places.end());
    places.erase(std::unique(places.begin(), places.end()), places.end());
    const double bound = errorBound(N);
    for (const uint32_t n0 : places) {
        std::vector<Complex> impulse(N, Complex{0, 0});
        impulse[n0] = Complex{1, 0};
        Spectrum expected(N);
        for (uint32_t k = 0; k < N; ++k) expected[k] = rootOfUnity(static_cast<uint64_t>(n0) * k % N, N);
        const double error = fftplug::host::relativeRmsError(h.transform(impulse), expected);
        out.observe(error, bound);
        if (!(error <= bound))
            out.fail(fmt::format("impulse at n = {}: relative RMS error {:.3g} exceeds the bound {:.3g}", n0, error, bound));
    }
}

// T(a·x + b·y) = a·T(x) + b·T(y), up to the error the bound allows each of
// the three transforms.
void checkLinearity(Harness& h, uint32_t seed, CheckOutcome& out) {
    const uint32_t N = h.N();
    std::mt19937 generator(seed * 31 + 7);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    const std::complex<double> a(uniform(generator), uniform(generator)), b(uniform(generator), uniform(generator));
    const auto x = fftplug::host::randomSignal(N, seed * 31 + 1), y = fftplug::host::randomSignal(N, seed * 31 + 2);
    std::vector<Complex> z(N);
    for (uint32_t n = 0; n < N; ++n) {
        const auto v = a * std::complex<double>(x[n].re, x[n].im) + b * std::complex<double>(y[n].re, y[n].im);
        z[n] = Complex{static_cast<float>(v.real()), static_cast<float>(v.imag())};
    }
    const Spectrum X = h.transform(x), Y = h.transform(y), Z = h.transform(z);
    Spectrum combined(N);
    for (uint32_t k = 0; k < N; ++k) combined[k] = a * X[k] + b * Y[k];
    const double gap = distance(Z, combined);
    const double tolerance = errorBound(N) * (norm2(Z) + std::abs(a) * norm2(X) + std::abs(b) * norm2(Y));
    out.observe(gap, tolerance);
    if (!(gap <= tolerance)) {
        const double scale = norm2(combined) > 0 ? norm2(combined) : 1;
        out.fail(fmt::format("T(a·x + b·y) differs from a·T(x) + b·T(y) by {:.3g} (relative), more than {:.3g}",
                             gap / scale, tolerance / scale));
    }
}

// Delaying x by one sample, y[n] = x[n − 1 mod N], multiplies X[k] by W(N, k).
void checkShift(Harness& h, uint32_t seed, CheckOutcome& out) {
    const uint32_t N = h.N();
    const auto x = fftplug::host::randomSignal(N, seed * 31 + 3);
    std::vector<Complex> y(N);
    for (uint32_t n = 0; n < N; ++n) y[n] = x[(n + N - 1) % N];
    const Spectrum X = h.transform(x), Y = h.transform(y);
    Spectrum rotated(N);
    for (uint32_t k = 0; k < N; ++k) rotated[k] = rootOfUnity(k, N) * X[k];
    const double gap = distance(Y, rotated);
    const double tolerance = errorBound(N) * (norm2(Y) + norm2(X));
    out.observe(gap, tolerance);
    if (!(gap <= tolerance)) {
        const double scale = norm2(rotated) > 0 ? norm2(rotated) : 1;
        out.fail(fmt::format("the transform of x delayed by one sample differs from W(N,k)·X[k] by {:.3g} (relative), "
                             "more than {:.3g}",
                             gap / scale, tolerance / scale));
    }
}

}  // namespace

SizeVerdict verifyEntryAt(const PluginLibrary& plugin, const CatalogueEntry& entry, uint32_t N, uint32_t seed,
                          const CallObserver& observer) {
    SizeVerdict verdict;
    verdict.N = N;
    Harness h(plugin, entry, N, observer);
    h.startCheck(Check::protocol);
    checkProtocol(h, seed, verdict[Check::protocol]);
    // The other checks start from a table the host has just built, whatever
    // the protocol check left in it.
    h.rebuildTable();
    h.startCheck(Check::accuracy);
    checkAccuracy(h, seed, verdict);
    h.startCheck(Check::impulse);
    checkImpulse(h, seed, verdict[Check::impulse]);
    h.startCheck(Check::linearity);
    checkLinearity(h, seed, verdict[Check::linearity]);
    h.startCheck(Check::shift);
    checkShift(h, seed, verdict[Check::shift]);
    verdict[Check::bounds] = h.bounds();
    return verdict;
}

uint32_t sizeSeed(uint32_t seed, const CatalogueEntry& entry, uint32_t N) {
    return seed * 1000003u + entry.index * 97u + N;
}

}  // namespace fftbench
