#include "peers.h"

#include <fmt/format.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <new>
#include <stdexcept>

#include "cli.h"

#if !defined(_WIN32)
#include <dlfcn.h>
#endif

#if defined(FFTBENCH_HAVE_FFTW)
#include <fftw3.h>
#endif
#if defined(FFTBENCH_HAVE_KISSFFT)
#include <kiss_fft.h>
#endif

namespace fftbench {

namespace {

#if !defined(_WIN32)
// The FFTW calls the peer makes, through pointers: to the linked library's
// functions, or to those of a libfftw3f the user names with --fftw.
struct FftwCalls {
    using Plan = void*;
    Plan (*planDft1d)(int n, void* in, void* out, int sign, unsigned flags) = nullptr;
    void (*execute)(Plan plan) = nullptr;
    void (*destroyPlan)(Plan plan) = nullptr;
    void* (*allocate)(size_t bytes) = nullptr;  // fftwf_malloc
    void (*release)(void* memory) = nullptr;    // fftwf_free
    std::string version;                        // fftwf_version
    std::string path;                           // the library the functions are in
};
constexpr int kFftwForward = -1;     // FFTW_FORWARD
constexpr unsigned kFftwMeasure = 0; // FFTW_MEASURE

// The file that holds `function`, as the dynamic linker found it.
std::string libraryOf(const void* function) {
    Dl_info info{};
    if (dladdr(function, &info) != 0 && info.dli_fname != nullptr) {
        char resolved[PATH_MAX];
        if (realpath(info.dli_fname, resolved) != nullptr) return resolved;
        return info.dli_fname;
    }
    return "linked";
}

// FFTW single precision, planned with FFTW_MEASURE (untimed), out of place,
// forward: the same unscaled transform as the entries.
class FftwRun final : public TimedRun {
   public:
    FftwRun(std::shared_ptr<const FftwCalls> fftw, const std::vector<Complex>& signal)
        : fftw_(std::move(fftw)), N_(signal.size()) {
        in_ = fftw_->allocate(N_ * sizeof(Complex));
        out_ = fftw_->allocate(N_ * sizeof(Complex));
        if (in_ == nullptr || out_ == nullptr) {
            release();
            throw std::bad_alloc();
        }
        plan_ = fftw_->planDft1d(static_cast<int>(N_), in_, out_, kFftwForward, kFftwMeasure);
        if (plan_ == nullptr) {
            release();
            throw std::runtime_error("FFTW could not plan the transform");
        }
        // Planning with FFTW_MEASURE overwrites both arrays: the input goes in afterwards.
        std::memcpy(in_, signal.data(), N_ * sizeof(Complex));
    }
    ~FftwRun() override { release(); }
    void run(int64_t reps) override {
        for (int64_t r = 0; r < reps; ++r) fftw_->execute(plan_);
    }
    std::vector<Complex> naturalResult() const override {
        std::vector<Complex> result(N_);
        std::memcpy(result.data(), out_, N_ * sizeof(Complex));
        return result;
    }

   private:
    void release() {
        if (plan_ != nullptr) fftw_->destroyPlan(plan_);
        if (in_ != nullptr) fftw_->release(in_);
        if (out_ != nullptr) fftw_->release(out_);
        plan_ = nullptr;
        in_ = out_ = nullptr;
    }
    std::shared_ptr<const FftwCalls> fftw_;
    size_t N_;
    void* in_ = nullptr;
    void* out_ = nullptr;
    FftwCalls::Plan plan_ = nullptr;
};

// A library named with --fftw: loaded once and kept for the life of the
// process (FFTW keeps its planner's state in the library).
std::shared_ptr<const FftwCalls> loadFftw(const std::string& path) {
    static std::map<std::string, std::shared_ptr<const FftwCalls>> loaded;
    if (const auto found = loaded.find(path); found != loaded.end()) return found->second;
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* why = dlerror();
        throw UsageError(fmt::format("--fftw {}: does not load: {}", path, why != nullptr ? why : "unknown reason"));
    }
    auto symbol = [&](const char* name) {
        void* address = dlsym(handle, name);
        if (address == nullptr) {
            dlclose(handle);
            throw UsageError(fmt::format("--fftw {}: no {} in it (a single-precision FFTW 3 library is needed)", path, name));
        }
        return address;
    };
    auto calls = std::make_shared<FftwCalls>();
    calls->planDft1d = reinterpret_cast<decltype(calls->planDft1d)>(symbol("fftwf_plan_dft_1d"));
    calls->execute = reinterpret_cast<decltype(calls->execute)>(symbol("fftwf_execute"));
    calls->destroyPlan = reinterpret_cast<decltype(calls->destroyPlan)>(symbol("fftwf_destroy_plan"));
    calls->allocate = reinterpret_cast<decltype(calls->allocate)>(symbol("fftwf_malloc"));
    calls->release = reinterpret_cast<decltype(calls->release)>(symbol("fftwf_free"));
    calls->version = static_cast<const char*>(symbol("fftwf_version"));
    char resolved[PATH_MAX];
    calls->path = realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
    loaded.emplace(path, calls);
    return calls;
}
#endif

#if defined(FFTBENCH_HAVE_FFTW)
static_assert(sizeof(fftwf_complex) == sizeof(Complex), "fftwf_complex is two floats");
static_assert(FFTW_FORWARD == kFftwForward && FFTW_MEASURE == kFftwMeasure, "FFTW's flags as fftbench uses them");

// The FFTW fftbench was linked with.
std::shared_ptr<const FftwCalls> linkedFftw() {
    static const std::shared_ptr<const FftwCalls> calls = [] {
        auto c = std::make_shared<FftwCalls>();
        c->planDft1d = [](int n, void* in, void* out, int sign, unsigned flags) -> FftwCalls::Plan {
            return fftwf_plan_dft_1d(n, static_cast<fftwf_complex*>(in), static_cast<fftwf_complex*>(out), sign, flags);
        };
        c->execute = [](FftwCalls::Plan plan) { fftwf_execute(static_cast<fftwf_plan>(plan)); };
        c->destroyPlan = [](FftwCalls::Plan plan) { fftwf_destroy_plan(static_cast<fftwf_plan>(plan)); };
        c->allocate = fftwf_malloc;
        c->release = fftwf_free;
        c->version = fftwf_version;
        c->path = libraryOf(reinterpret_cast<const void*>(&fftwf_execute));
        return c;
    }();
    return calls;
}
#endif

#if !defined(_WIN32)
std::string fftwDescription(const FftwCalls& fftw) {
    return fmt::format("{} ({}), single precision, FFTW_MEASURE, out of place", fftw.version, fftw.path);
}
#endif

#if defined(FFTBENCH_HAVE_KISSFFT)
static_assert(sizeof(kiss_fft_cpx) == sizeof(Complex), "KissFFT built for float");

// KissFFT (float), forward, out of place; its configuration is made untimed.
class KissRun final : public TimedRun {
   public:
    explicit KissRun(const std::vector<Complex>& signal) : in_(signal.size()), out_(signal.size()) {
        config_ = kiss_fft_alloc(static_cast<int>(signal.size()), 0, nullptr, nullptr);
        if (config_ == nullptr) throw std::bad_alloc();
        std::memcpy(in_.data(), signal.data(), signal.size() * sizeof(Complex));
    }
    ~KissRun() override { kiss_fft_free(config_); }
    void run(int64_t reps) override {
        for (int64_t r = 0; r < reps; ++r) kiss_fft(config_, in_.data(), out_.data());
    }
    std::vector<Complex> naturalResult() const override {
        std::vector<Complex> result(out_.size());
        std::memcpy(result.data(), out_.data(), out_.size() * sizeof(Complex));
        return result;
    }

   private:
    kiss_fft_cfg config_ = nullptr;
    std::vector<kiss_fft_cpx> in_, out_;
};

#ifndef FFTBENCH_KISSFFT_VERSION
#define FFTBENCH_KISSFFT_VERSION "unknown version"
#endif
std::string kissDescription() { return "KissFFT " FFTBENCH_KISSFFT_VERSION ", float, out of place"; }
#endif

constexpr int64_t kPeerMaxReps = int64_t{1} << 40;

}  // namespace

std::optional<OperationCount> fftwOperationCount(uint32_t N) {
#if defined(FFTBENCH_HAVE_FFTW)
    // fftwf_flops counts a vector instruction of a SIMD codelet as one
    // operation, however many samples it handles; without SIMD every count
    // is a real operation. FFTW_ESTIMATE picks the plan the planner expects
    // to be cheapest from these very counts, and does so the same way every
    // time.
    fftwf_complex* in = fftwf_alloc_complex(N);
    fftwf_complex* out = fftwf_alloc_complex(N);
    std::optional<OperationCount> count;
    if (in != nullptr && out != nullptr) {
        if (fftwf_plan plan = fftwf_plan_dft_1d(static_cast<int>(N), in, out, FFTW_FORWARD, FFTW_ESTIMATE | FFTW_NO_SIMD)) {
            count = OperationCount{};
            fftwf_flops(plan, &count->additions, &count->multiplications, &count->fusedMultiplyAdds);
            fftwf_destroy_plan(plan);
        }
    }
    fftwf_free(in);
    fftwf_free(out);
    return count;
#else
    (void)N;
    return std::nullopt;
#endif
}

std::string fftwCountDescription() {
#if defined(FFTBENCH_HAVE_FFTW)
    return fmt::format("{}, single precision, FFTW_ESTIMATE | FFTW_NO_SIMD plan, counted by fftwf_flops", fftwf_version);
#else
    return {};
#endif
}

std::vector<Contender> peerContenders(const std::string& fftwPath) {
    std::vector<Contender> peers;
#if !defined(_WIN32)
    std::shared_ptr<const FftwCalls> fftw;
    if (!fftwPath.empty()) fftw = loadFftw(fftwPath);
#if defined(FFTBENCH_HAVE_FFTW)
    else
        fftw = linkedFftw();
#endif
    if (fftw)
        peers.push_back(Contender{"fftwf", std::nullopt, fftwDescription(*fftw), "FFTW (fftwf, measure)", kPeerMaxReps,
                                  [fftw](const std::vector<Complex>& signal) -> std::unique_ptr<TimedRun> {
                                      return std::make_unique<FftwRun>(fftw, signal);
                                  },
                                  ""});
#else
    if (!fftwPath.empty()) throw UsageError("--fftw: the Windows build has no peers");
#endif
#if defined(FFTBENCH_HAVE_KISSFFT)
    peers.push_back(Contender{"kissfft", std::nullopt, kissDescription(), "KissFFT (float)", kPeerMaxReps,
                              [](const std::vector<Complex>& signal) -> std::unique_ptr<TimedRun> {
                                  return std::make_unique<KissRun>(signal);
                              },
                              ""});
#endif
    return peers;
}

std::vector<std::string> peerDescriptions(const std::string& fftwPath) {
    std::vector<std::string> descriptions;
    for (const Contender& peer : peerContenders(fftwPath)) descriptions.push_back(peer.implementation + ": " + peer.name);
    if (descriptions.empty()) descriptions.emplace_back("none");
    return descriptions;
}

}  // namespace fftbench
