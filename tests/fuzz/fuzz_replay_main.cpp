// Replays fuzz inputs without libFuzzer: every file named on the command line,
// and every file in every folder named there, through the same checks. A
// failed check aborts; otherwise the count of inputs is printed.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
    size_t inputs = 0;
    auto replay = [&](const std::filesystem::path& path) {
        std::ifstream file(path, std::ios::binary);
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
        ++inputs;
    };
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path path(argv[i]);
        if (std::filesystem::is_directory(path)) {
            for (const auto& item : std::filesystem::directory_iterator(path))
                if (item.is_regular_file()) replay(item.path());
        } else {
            replay(path);
        }
    }
    if (inputs == 0) {
        std::fprintf(stderr, "fuzz_replay: no input found\n");
        return 1;
    }
    std::printf("fuzz_replay: %zu inputs, every check passed\n", inputs);
    return 0;
}
