// KissFFT in single precision (kiss_fft with float samples), where the build
// found it (Linux only): forward, out of place, its configuration made
// untimed.
#include <memory>
#include <new>

#include "measure/peers/peer.h"
#include "measure/placement.h"

#if defined(FFTBENCH_HAVE_KISSFFT)
#include <kiss_fft.h>
#endif

namespace fftbench {

#if defined(FFTBENCH_HAVE_KISSFFT)
namespace {

static_assert(sizeof(kiss_fft_cpx) == sizeof(Complex), "KissFFT built for float");

// KissFFT (float), forward, out of place; its configuration is made untimed.
// Its arrays lie in their pages where an entry's input and work do
// (measure/placement.h).
class KissRun final : public TimedRun {
   public:
    explicit KissRun(const std::vector<Complex>& signal)
        : in_(placement::array(placement::kInput, signal.size())),
          out_(placement::array(placement::kWork, signal.size())) {
        config_ = kiss_fft_alloc(static_cast<int>(signal.size()), 0, nullptr, nullptr);
        if (config_ == nullptr) throw std::bad_alloc();
        in_.assign(signal);
    }
    ~KissRun() override { kiss_fft_free(config_); }
    void run(int64_t reps) override {
        for (int64_t r = 0; r < reps; ++r) kiss_fft(config_, cpx(in_), cpx(out_));
    }
    std::vector<Complex> naturalResult() override { return out_.contents(); }
    std::optional<std::string> damage() const override {
        if (auto damage = in_.guardDamage("input")) return damage;
        return out_.guardDamage("output");
    }

   private:
    static kiss_fft_cpx* cpx(fftplug::host::GuardedArray& array) {
        return reinterpret_cast<kiss_fft_cpx*>(array.data());
    }
    kiss_fft_cfg config_ = nullptr;
    fftplug::host::GuardedArray in_, out_;
};

#ifndef FFTBENCH_KISSFFT_VERSION
#define FFTBENCH_KISSFFT_VERSION "unknown version"
#endif
std::string kissDescription() { return "KissFFT " FFTBENCH_KISSFFT_VERSION ", float, out of place"; }

class KissPeer final : public Peer {
   public:
    explicit KissPeer(std::string name) : name_(std::move(name)) {}
    Contender contender() const override {
        return Contender{name_, std::nullopt, kissDescription(), "KissFFT (float)", int64_t{1} << 40,
                         [](const std::vector<Complex>& signal) -> std::unique_ptr<TimedRun> {
                             return std::make_unique<KissRun>(signal);
                         },
                         ""};
    }

   private:
    std::string name_;
};

}  // namespace
#endif

std::unique_ptr<Peer> openKissfftPeer(const std::string& name, const std::string& library) {
    if (!library.empty()) throw PeerError(library, "KissFFT is built in, not loaded from a library");
#if defined(FFTBENCH_HAVE_KISSFFT)
    return std::make_unique<KissPeer>(name);
#else
    (void)name;
    return nullptr;
#endif
}

}  // namespace fftbench
