// FFTW in single precision (fftwf), the peer bench compares the entries with
// unless another is chosen: the system's libfftw3f.so.3, or a library named
// in its place, opened at run time (never linked) and bound to its own
// symbols; planned with FFTW_MEASURE and timed out of place. Its own count of
// a plan's operations (fftwf_flops) goes beside the entries' in profile.
// Linux only: the Windows build has no peers.
#include <fmt/format.h>

#include <climits>
#include <cstdlib>
#include <map>
#include <memory>
#include <stdexcept>

#include "measure/peers/peer.h"
#include "measure/placement.h"

#if !defined(_WIN32)
#include <dlfcn.h>
#endif

#if defined(FFTBENCH_HAVE_FFTW)
#include <fftw3.h>
#endif

namespace fftbench {

namespace {

#if !defined(_WIN32)
// The FFTW calls fftbench makes, through pointers into one library loaded by
// path. fftbench links no FFTW of its own: every FFTW it times is opened
// here, with its own references bound to itself (RTLD_DEEPBIND), so that
// a library named with --fftw runs its own code throughout, never a
// namesake's that another library of the process exports.
struct FftwCalls {
    using Plan = void*;
    Plan (*planDft1d)(int n, void* in, void* out, int sign, unsigned flags) = nullptr;
    void (*execute)(Plan plan) = nullptr;
    void (*destroyPlan)(Plan plan) = nullptr;
    void* (*allocate)(size_t bytes) = nullptr;  // fftwf_malloc
    void (*release)(void* memory) = nullptr;    // fftwf_free
    void (*flops)(Plan plan, double* add, double* mul, double* fma) = nullptr;  // fftwf_flops, if there
    std::string version;                        // fftwf_version
    std::string path;                           // the library the functions are in
};
// FFTW's flags as fftbench uses them (fftw3.h).
constexpr int kFftwForward = -1;              // FFTW_FORWARD
constexpr unsigned kFftwMeasure = 0;          // FFTW_MEASURE
constexpr unsigned kFftwEstimate = 1u << 6;   // FFTW_ESTIMATE
constexpr unsigned kFftwNoSimd = 1u << 17;    // FFTW_NO_SIMD
#if defined(FFTBENCH_HAVE_FFTW)
static_assert(sizeof(fftwf_complex) == sizeof(Complex), "fftwf_complex is two floats");
static_assert(FFTW_FORWARD == kFftwForward && FFTW_MEASURE == kFftwMeasure && FFTW_ESTIMATE == kFftwEstimate &&
                  FFTW_NO_SIMD == kFftwNoSimd,
              "FFTW's flags as fftbench uses them");
#endif

// The file that holds `function`, as the dynamic linker found it.
std::string libraryOf(const void* function) {
    Dl_info info{};
    if (dladdr(function, &info) != 0 && info.dli_fname != nullptr) {
        char resolved[PATH_MAX];
        if (realpath(info.dli_fname, resolved) != nullptr) return resolved;
        return info.dli_fname;
    }
    return "unknown";
}

// FFTW single precision, planned with FFTW_MEASURE (untimed), out of place,
// forward: the same unscaled transform as the entries. Its arrays lie in
// their pages where an entry's input and work do (measure/placement.h).
class FftwRun final : public TimedRun {
   public:
    FftwRun(std::shared_ptr<const FftwCalls> fftw, const std::vector<Complex>& signal)
        : fftw_(std::move(fftw)), N_(signal.size()), in_(placement::array(placement::kInput, N_)),
          out_(placement::array(placement::kWork, N_)) {
        plan_ = fftw_->planDft1d(static_cast<int>(N_), in_.data(), out_.data(), kFftwForward, kFftwMeasure);
        if (plan_ == nullptr) throw std::runtime_error("FFTW could not plan the transform");
        // Planning with FFTW_MEASURE overwrites both arrays: the input goes in afterwards.
        in_.assign(signal);
    }
    ~FftwRun() override { fftw_->destroyPlan(plan_); }
    void run(int64_t reps) override {
        for (int64_t r = 0; r < reps; ++r) fftw_->execute(plan_);
    }
    std::vector<Complex> naturalResult() override { return out_.contents(); }
    std::optional<std::string> damage() const override {
        if (auto damage = in_.guardDamage("input")) return damage;
        return out_.guardDamage("output");
    }

   private:
    std::shared_ptr<const FftwCalls> fftw_;
    size_t N_;
    fftplug::host::GuardedArray in_, out_;
    FftwCalls::Plan plan_ = nullptr;
};

// The flags of dlopen for an FFTW: its own symbols first. The sanitizers'
// runtime refuses RTLD_DEEPBIND; their builds link no FFTW either, so the
// library's references find its own functions all the same.
int fftwOpenFlags() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    return RTLD_NOW | RTLD_LOCAL;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
    return RTLD_NOW | RTLD_LOCAL;
#else
    return RTLD_NOW | RTLD_LOCAL | RTLD_DEEPBIND;
#endif
#else
    return RTLD_NOW | RTLD_LOCAL | RTLD_DEEPBIND;
#endif
}

// Opens the FFTW at `path` (a file, or a name the dynamic linker searches
// for), once for the life of the process (FFTW keeps its planner's state in
// the library). nullptr with `why` set where it does not load or lacks a
// function the peer calls.
std::shared_ptr<const FftwCalls> openFftw(const std::string& path, std::string& why) {
    static std::map<std::string, std::shared_ptr<const FftwCalls>> loaded;
    if (const auto found = loaded.find(path); found != loaded.end()) return found->second;
    void* handle = dlopen(path.c_str(), fftwOpenFlags());
    if (handle == nullptr) {
        const char* error = dlerror();
        why = fmt::format("does not load: {}", error != nullptr ? error : "unknown reason");
        return nullptr;
    }
    auto calls = std::make_shared<FftwCalls>();
    const char* missing = nullptr;
    auto symbol = [&](const char* name) {
        void* address = dlsym(handle, name);
        if (address == nullptr && missing == nullptr) missing = name;
        return address;
    };
    calls->planDft1d = reinterpret_cast<decltype(calls->planDft1d)>(symbol("fftwf_plan_dft_1d"));
    calls->execute = reinterpret_cast<decltype(calls->execute)>(symbol("fftwf_execute"));
    calls->destroyPlan = reinterpret_cast<decltype(calls->destroyPlan)>(symbol("fftwf_destroy_plan"));
    calls->allocate = reinterpret_cast<decltype(calls->allocate)>(symbol("fftwf_malloc"));
    calls->release = reinterpret_cast<decltype(calls->release)>(symbol("fftwf_free"));
    const void* version = symbol("fftwf_version");
    if (missing != nullptr) {
        dlclose(handle);
        why = fmt::format("no {} in it (a single-precision FFTW 3 library is needed)", missing);
        return nullptr;
    }
    calls->flops = reinterpret_cast<decltype(calls->flops)>(dlsym(handle, "fftwf_flops"));
    calls->version = static_cast<const char*>(version);
    calls->path = libraryOf(reinterpret_cast<const void*>(calls->execute));
    loaded.emplace(path, calls);
    return calls;
}

// A library named in place of the system's; a PeerError where it cannot be timed.
std::shared_ptr<const FftwCalls> namedFftw(const std::string& path) {
    std::string why;
    auto calls = openFftw(path, why);
    if (!calls) throw PeerError(path, why);
    return calls;
}

// The FFTW of this system, by the name its package gives the library;
// nullptr where the build found no FFTW or it does not load now.
std::shared_ptr<const FftwCalls> systemFftw() {
#if defined(FFTBENCH_HAVE_FFTW) && defined(FFTBENCH_FFTW_LIBRARY)
    std::string why;
    return openFftw(FFTBENCH_FFTW_LIBRARY, why);
#else
    return nullptr;
#endif
}

std::string fftwDescription(const FftwCalls& fftw) {
    return fmt::format("{} ({}), single precision, FFTW_MEASURE, out of place", fftw.version, fftw.path);
}
#endif

constexpr int64_t kFftwMaxReps = int64_t{1} << 40;

#if !defined(_WIN32)
// fftwf_flops counts a vector instruction of a SIMD codelet as one
// operation, however many samples it handles; without SIMD every count is a
// real operation. FFTW_ESTIMATE picks the plan the planner expects to be
// cheapest from these very counts, and does so the same way every time.
std::optional<OperationCount> countOperations(const FftwCalls& fftw, uint32_t N) {
    void* in = fftw.allocate(size_t{N} * sizeof(Complex));
    void* out = fftw.allocate(size_t{N} * sizeof(Complex));
    std::optional<OperationCount> count;
    if (in != nullptr && out != nullptr) {
        if (FftwCalls::Plan plan = fftw.planDft1d(static_cast<int>(N), in, out, kFftwForward, kFftwEstimate | kFftwNoSimd)) {
            count = OperationCount{};
            fftw.flops(plan, &count->additions, &count->multiplications, &count->fusedMultiplyAdds);
            fftw.destroyPlan(plan);
        }
    }
    if (in != nullptr) fftw.release(in);
    if (out != nullptr) fftw.release(out);
    return count;
}

class FftwPeer final : public Peer {
   public:
    FftwPeer(std::string name, std::shared_ptr<const FftwCalls> timed) : name_(std::move(name)), timed_(std::move(timed)) {}
    Contender contender() const override {
        return Contender{name_, std::nullopt, fftwDescription(*timed_), "FFTW (" + name_ + ", measure)", kFftwMaxReps,
                         [fftw = timed_](const std::vector<Complex>& signal) -> std::unique_ptr<TimedRun> {
                             return std::make_unique<FftwRun>(fftw, signal);
                         },
                         ""};
    }
    std::string headerLabel() const override { return "fftw"; }
    std::string countedNote() const override {
        return "none for FFTW, whose count of the timed plan takes a vector instruction as one operation";
    }
    // The system's FFTW counts, whichever library is timed: the count is of
    // the plan its planner expects to be cheapest, not of the timed one.
    std::optional<CountedPeer> counted() const override {
        const std::shared_ptr<const FftwCalls> fftw = systemFftw();
        if (!fftw || fftw->flops == nullptr) return std::nullopt;
        return CountedPeer{
            name_, "FFTW (" + name_ + ", estimate, no SIMD)",
            fmt::format("{}, single precision, FFTW_ESTIMATE | FFTW_NO_SIMD plan, counted by fftwf_flops", fftw->version),
            headerLabel(), [fftw](uint32_t N) { return countOperations(*fftw, N); }};
    }

   private:
    std::string name_;
    std::shared_ptr<const FftwCalls> timed_;
};
#endif

}  // namespace

std::unique_ptr<Peer> openFftwPeer(const std::string& name, const std::string& library) {
#if !defined(_WIN32)
    const std::shared_ptr<const FftwCalls> timed = library.empty() ? systemFftw() : namedFftw(library);
    if (!timed) return nullptr;
    return std::make_unique<FftwPeer>(name, timed);
#else
    (void)name;
    if (!library.empty()) throw PeerError(library, "the Windows build has no peers");
    return nullptr;
#endif
}

}  // namespace fftbench
