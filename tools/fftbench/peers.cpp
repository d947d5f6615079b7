#include "peers.h"

#include <fmt/format.h>

#include <cstring>
#include <map>
#include <new>
#include <stdexcept>

#if defined(FFTBENCH_HAVE_FFTW)
#include <fftw3.h>
#endif
#if defined(FFTBENCH_HAVE_KISSFFT)
#include <kiss_fft.h>
#endif

namespace fftbench {

namespace {

#if defined(FFTBENCH_HAVE_FFTW)
static_assert(sizeof(fftwf_complex) == sizeof(Complex), "fftwf_complex is two floats");

// FFTW single precision, planned with FFTW_MEASURE (untimed), out of place,
// forward: the same unscaled transform as the entries.
class FftwRun final : public TimedRun {
   public:
    explicit FftwRun(const std::vector<Complex>& signal) : N_(signal.size()) {
        in_ = fftwf_alloc_complex(N_);
        out_ = fftwf_alloc_complex(N_);
        if (in_ == nullptr || out_ == nullptr) {
            release();
            throw std::bad_alloc();
        }
        plan_ = fftwf_plan_dft_1d(static_cast<int>(N_), in_, out_, FFTW_FORWARD, FFTW_MEASURE);
        if (plan_ == nullptr) {
            release();
            throw std::runtime_error("FFTW could not plan the transform");
        }
        // Planning with FFTW_MEASURE overwrites both arrays: the input goes in afterwards.
        std::memcpy(in_, signal.data(), N_ * sizeof(Complex));
    }
    ~FftwRun() override { release(); }
    void run(int64_t reps) override {
        for (int64_t r = 0; r < reps; ++r) fftwf_execute(plan_);
    }
    std::vector<Complex> naturalResult() const override {
        std::vector<Complex> result(N_);
        std::memcpy(result.data(), out_, N_ * sizeof(Complex));
        return result;
    }

   private:
    void release() {
        if (plan_ != nullptr) fftwf_destroy_plan(plan_);
        if (in_ != nullptr) fftwf_free(in_);
        if (out_ != nullptr) fftwf_free(out_);
        plan_ = nullptr;
        in_ = out_ = nullptr;
    }
    size_t N_;
    fftwf_complex* in_ = nullptr;
    fftwf_complex* out_ = nullptr;
    fftwf_plan plan_ = nullptr;
};

std::string fftwDescription() { return fmt::format("{}, single precision, FFTW_MEASURE, out of place", fftwf_version); }
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

std::vector<Contender> peerContenders() {
    std::vector<Contender> peers;
#if defined(FFTBENCH_HAVE_FFTW)
    peers.push_back(Contender{"fftwf", std::nullopt, fftwDescription(), "FFTW (fftwf, measure)", kPeerMaxReps,
                              [](const std::vector<Complex>& signal) -> std::unique_ptr<TimedRun> {
                                  return std::make_unique<FftwRun>(signal);
                              },
                              ""});
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

std::vector<std::string> peerDescriptions() {
    std::vector<std::string> descriptions;
    for (const Contender& peer : peerContenders()) descriptions.push_back(peer.implementation + ": " + peer.name);
    if (descriptions.empty()) descriptions.emplace_back("none");
    return descriptions;
}

}  // namespace fftbench
