// reorder_rate: the host's bit-reversal permutation (host/bit_reverse.h) in
// GB/s beside a plain memcpy of the same bytes, per size and per vector path,
// out of place and in place. A byte counts once read and once written, as
// for the copy. Figures only: the machine's load shows in them, so the runs
// of the contenders are interleaved and the best of several kept.
//
//   reorder_rate [--from 6] [--to 22] [--rounds 7] [--seconds 0.02]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "host/bit_reverse.h"

namespace {

using fftplug::host::reorder::Path;
namespace reorder = fftplug::host::reorder;

double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Seconds per call of `f`, one measurement: repeated for at least `seconds`.
double timeOnce(const std::function<void()>& f, double seconds) {
    f();  // warm
    int64_t reps = 1;
    for (;;) {
        const double start = now();
        for (int64_t r = 0; r < reps; ++r) f();
        const double took = now() - start;
        if (took >= seconds) return took / static_cast<double>(reps);
        reps *= took > 0 ? std::max<int64_t>(2, static_cast<int64_t>(seconds / took * 1.2)) : 16;
    }
}

std::string cpuName() {
    std::FILE* f = std::fopen("/proc/cpuinfo", "r");
    if (!f) return "unknown";
    char line[512];
    std::string name, family, model;
    while (std::fgets(line, sizeof line, f)) {
        std::string s = line;
        const auto value = [&] { std::string v = s.substr(s.find(':') + 2); v.pop_back(); return v; };
        if (name.empty() && s.rfind("model name", 0) == 0) name = value();
        if (family.empty() && s.rfind("cpu family", 0) == 0) family = value();
        if (model.empty() && s.rfind("model\t", 0) == 0) model = value();
    }
    std::fclose(f);
    return name + " (family " + family + ", model " + model + ")";
}

}  // namespace

int main(int argc, char** argv) {
    unsigned from = 6, to = 22;
    int rounds = 7;
    double seconds = 0.02;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--from") from = static_cast<unsigned>(std::atoi(argv[i + 1]));
        else if (a == "--to") to = static_cast<unsigned>(std::atoi(argv[i + 1]));
        else if (a == "--rounds") rounds = std::atoi(argv[i + 1]);
        else if (a == "--seconds") seconds = std::atof(argv[i + 1]);
        else {
            std::fprintf(stderr, "usage: reorder_rate [--from 6] [--to 22] [--rounds 7] [--seconds 0.02]\n");
            return 2;
        }
    }
    const std::vector<Path> paths = reorder::runnablePaths();
    std::printf("CPU: %s\n", cpuName().c_str());
    std::printf("GB/s (bytes read + written per second), best of %d interleaved rounds\n", rounds);
    std::printf("%8s %10s", "N", "memcpy");
    for (Path p : paths) std::printf(" %14s %14s", (std::string(reorder::pathName(p)) + " copy").c_str(),
                                     (std::string(reorder::pathName(p)) + " in place").c_str());
    std::printf("   widest/memcpy (copy, in place)\n");
    for (unsigned bits = from; bits <= to; ++bits) {
        const size_t n = size_t{1} << bits;
        // 64-byte aligned, as fftbench's arrays are
        std::vector<Complex> srcStore(n + 8), dstStore(n + 8);
        const auto aligned = [](std::vector<Complex>& v) {
            const uintptr_t p = reinterpret_cast<uintptr_t>(v.data());
            return v.data() + (64 - p % 64) % 64 / sizeof(Complex);
        };
        Complex* const src = aligned(srcStore);
        Complex* const dst = aligned(dstStore);
        for (size_t i = 0; i < n; ++i) src[i] = {static_cast<float>(i), -static_cast<float>(i)};
        std::vector<std::function<void()>> runs;
        runs.push_back([&] { std::memcpy(dst, src, n * sizeof(Complex)); });
        for (Path p : paths) {
            runs.push_back([&, p] { reorder::bitReverse(p, src, dst, bits); });
            runs.push_back([&, p] { reorder::bitReverse(p, dst, dst, bits); });
        }
        std::vector<double> best(runs.size(), 1e30);
        for (int r = 0; r < rounds; ++r)
            for (size_t k = 0; k < runs.size(); ++k) best[k] = std::min(best[k], timeOnce(runs[k], seconds));
        const double bytes = 2.0 * static_cast<double>(n * sizeof(Complex));
        std::printf("%8zu %10.1f", n, bytes / best[0] / 1e9);
        for (size_t k = 1; k < runs.size(); ++k) std::printf(" %14.1f", bytes / best[k] / 1e9);
        std::printf("   %.2f %.2f\n", best[0] / best[runs.size() - 2], best[0] / best[runs.size() - 1]);
        std::fflush(stdout);
    }
}
