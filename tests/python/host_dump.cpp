// Raw floats from the C++ host for the Python host's tests to compare bits
// with:
//   fftplug_host_dump table N FILE
//       the twiddle table makeTwiddleTable(N), N samples
//   fftplug_host_dump transform PLUGIN ENTRY N SEED FILE
//       randomSignal(N, SEED), then its transform by ENTRY as the host's
//       driver makes it (transformWithEntry), natural order: 2·N samples
// Each sample is two little-endian floats, real part first. Exit status 2
// with a one-line message on any error.
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/driver.h"
#include "host/plugin_library.h"
#include "host/twiddle.h"

using namespace fftplug::host;

namespace {

uint32_t number(const char* text) {
    char* end = nullptr;
    const unsigned long value = std::strtoul(text, &end, 10);
    if (end == text || *end != '\0' || value > 0x7fffffffUL) throw std::invalid_argument(std::string("not a count: ") + text);
    return static_cast<uint32_t>(value);
}

void write(const std::string& path, const std::vector<Complex>& samples) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) throw std::runtime_error("cannot write " + path);
    const size_t written = std::fwrite(samples.data(), sizeof(Complex), samples.size(), file);
    if (std::fclose(file) != 0 || written != samples.size()) throw std::runtime_error("cannot write " + path);
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const std::string command = argc > 1 ? argv[1] : "";
        if (command == "table" && argc == 4) {
            write(argv[3], makeTwiddleTable(static_cast<int32_t>(number(argv[2]))));
        } else if (command == "transform" && argc == 7) {
            const PluginLibrary plugin = PluginLibrary::open(argv[2]);
            const auto catalogue = plugin.catalogue();
            const uint32_t index = number(argv[3]);
            if (index >= catalogue.size()) throw std::invalid_argument("no entry " + std::string(argv[3]));
            std::vector<Complex> out = randomSignal(number(argv[4]), number(argv[5]));
            const auto result = transformWithEntry(plugin, catalogue[index], out);
            out.insert(out.end(), result.begin(), result.end());
            write(argv[6], out);
        } else {
            std::fprintf(stderr, "usage: fftplug_host_dump table N FILE | transform PLUGIN ENTRY N SEED FILE\n");
            return 2;
        }
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "fftplug_host_dump: %s\n", error.what());
        return 2;
    }
}
