// Calls on separate work arrays may run at the same time: several threads run
// every entry over one shared input and one shared table per size (the
// segmented table for entries 0 to 2, the prepared one for entries 1 and 3
// to 9), each into its own work arrays, and must get the results of one
// thread bit for bit, leaving the shared arrays as they were. Under
// ThreadSanitizer (the tsan preset) any write to a shared array is a race
// it reports.
#include <thread>

#include "test_support.h"

namespace fftplug::test {
namespace {

constexpr unsigned kThreads = 4;
constexpr unsigned kRounds = 3;

struct SizeArrays {
    int32_t N;
    std::vector<Complex> input, segmented, prepared;
};

// One call: an entry at one size over one of the shared tables.
struct Call {
    uint32_t index;
    size_t size;  // into the SizeArrays
    bool onPrepared;
};

class Threads : public testing::TestWithParam<std::string> {};

TEST_P(Threads, SharedTablesGiveEveryThreadTheResultOfOne) {
    const PluginLibrary& library = variant(GetParam());
    std::vector<SizeArrays> sizes;
    for (int32_t N : {1, 2, 8, 32, 256, 1024, 4096}) {
        SizeArrays s{N, randomSignal(static_cast<uint32_t>(N), static_cast<uint32_t>(N)), makeTwiddleTable(N), {}};
        s.prepared = s.segmented;
        library.run(3, N, nullptr, nullptr, s.prepared.data(), 0);
        sizes.push_back(std::move(s));
    }
    std::vector<Call> calls;
    for (uint32_t index : allEntries())
        for (size_t size = 0; size < sizes.size(); ++size) {
            if (index <= 2) calls.push_back({index, size, false});
            if (index >= 1) calls.push_back({index, size, true});
        }
    auto run = [&](const Call& call, std::vector<Complex>& work) {
        SizeArrays& s = sizes[call.size];
        work.assign(s.input.size(), Complex{0, 0});
        library.run(call.index, s.N, s.input.data(), work.data(),
                    call.onPrepared ? s.prepared.data() : s.segmented.data(), 2);
    };

    std::vector<std::vector<Complex>> alone(calls.size());
    for (size_t c = 0; c < calls.size(); ++c) run(calls[c], alone[c]);
    const std::vector<SizeArrays> before = sizes;

    // Each thread takes the calls in its own rotation, so that different
    // entries and sizes overlap in time; mismatches are collected per thread.
    std::vector<std::vector<std::string>> mismatches(kThreads);
    std::vector<std::thread> threads;
    for (unsigned t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            std::vector<Complex> work;
            for (unsigned round = 0; round < kRounds; ++round)
                for (size_t k = 0; k < calls.size(); ++k) {
                    const size_t c = (k * (2 * t + 1) + t * calls.size() / kThreads) % calls.size();
                    run(calls[c], work);
                    if (!sameBits(work, alone[c]))
                        mismatches[t].push_back("entry " + std::to_string(calls[c].index) + ", N = " +
                                                std::to_string(sizes[calls[c].size].N));
                }
        });
    for (std::thread& thread : threads) thread.join();

    for (unsigned t = 0; t < kThreads; ++t)
        EXPECT_TRUE(mismatches[t].empty()) << GetParam() << ", thread " << t << ": " << mismatches[t].size()
                                           << " results differ from one thread's, the first " << mismatches[t][0];
    for (size_t s = 0; s < sizes.size(); ++s) {
        EXPECT_TRUE(sameBits(sizes[s].input, before[s].input)) << "input written, N = " << sizes[s].N;
        EXPECT_TRUE(sameBits(sizes[s].segmented, before[s].segmented)) << "table written, N = " << sizes[s].N;
        EXPECT_TRUE(sameBits(sizes[s].prepared, before[s].prepared)) << "prepared table written, N = " << sizes[s].N;
    }
}

INSTANTIATE_TEST_SUITE_P(AllVariants, Threads, testing::ValuesIn(variantNames()), variantParamName);

}  // namespace
}  // namespace fftplug::test
