// The cache sizes the limit model and the access maps use, from each source
// in turn: sysfs, CPUID (AMD's old leaves, AMD's and Intel's per-cache
// leaves), the load-rate sweep, and the assumed set, with the source named.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>

#include "machine/caches.h"

namespace fftbench {
namespace {

constexpr uint64_t KiB = 1024, MiB = 1024 * KiB;

std::vector<std::string> described(const std::vector<CacheLevel>& caches) {
    std::vector<std::string> out;
    for (const CacheLevel& c : caches) out.push_back(describeCache(c));
    return out;
}

// A processor answering CPUID from a table; unknown leaves answer zeros.
using Leaves = std::map<std::pair<uint32_t, uint32_t>, CpuidAnswer>;
CacheSources answering(const Leaves& leaves) {
    CacheSources sources;
    sources.cpuid = [leaves](uint32_t leaf, uint32_t subleaf) {
        const auto found = leaves.find({leaf, subleaf});
        return found == leaves.end() ? CpuidAnswer{} : found->second;
    };
    return sources;
}

// Leaf 4 / 0x8000001D's layout for one cache.
CpuidAnswer perCache(uint32_t type, uint32_t level, uint32_t ways, uint32_t sets) {
    return {type | (level << 5), ((ways - 1) << 22) | (64 - 1), sets - 1, 0};
}

constexpr CpuidAnswer kAmdVendor{0x80000000u, 0x68747541, 0x444D4163, 0x69746E65};    // AuthenticAMD
constexpr CpuidAnswer kIntelVendor{0x16, 0x756E6547, 0x6C65746E, 0x49656E69};          // GenuineIntel
// AMD's 0x80000005 and 0x80000006: L1d KiB in ecx[31:24], L2 KiB in ecx[31:16], L3 in 512 KiB in edx[31:18].
Leaves amdOldLeaves(uint32_t l1KiB, uint32_t l2KiB, uint32_t l3Halves) {
    return {{{0, 0}, kAmdVendor},
            {{0x80000000u, 0}, {0x80000008u, 0, 0, 0}},
            {{0x80000005u, 0}, {0, 0, l1KiB << 24, 0}},
            {{0x80000006u, 0}, {0, 0, l2KiB << 16, l3Halves << 18}}};
}

TEST(Caches, SysfsFirst) {
    const auto folder =
        std::filesystem::temp_directory_path() / ("fftbench-caches-" + std::to_string(std::random_device{}()));
    const struct {
        int level;
        const char *type, *size;
    } files[] = {{1, "Data", "64K"}, {1, "Instruction", "32K"}, {2, "Unified", "2048K"}, {3, "Unified", "16384K"}};
    for (size_t i = 0; i < std::size(files); ++i) {
        const auto at = folder / ("index" + std::to_string(i));
        std::filesystem::create_directories(at);
        std::ofstream(at / "level") << files[i].level << "\n";
        std::ofstream(at / "type") << files[i].type << "\n";
        std::ofstream(at / "size") << files[i].size << "\n";
    }
    CacheSources sources = answering(amdOldLeaves(24, 512, 16));  // CPUID disagrees and is not asked
    sources.sysfsFolder = folder.string();
    EXPECT_EQ(described(readDataCaches(sources)),
              (std::vector<std::string>{"L1d 64 KiB (sysfs)", "L2 2 MiB (sysfs)", "L3 16 MiB (sysfs)"}));
    std::filesystem::remove_all(folder);
}

TEST(Caches, CpuidWhereSysfsIsHidden) {
    CacheSources amd = answering(amdOldLeaves(24, 768, 12));
    amd.sysfsFolder = "/nonexistent/cache";
    EXPECT_EQ(described(readDataCaches(amd)),
              (std::vector<std::string>{"L1d 24 KiB (CPUID)", "L2 768 KiB (CPUID)", "L3 6 MiB (CPUID)"}));

    // AMD with topology extensions: 0x8000001D, one subleaf a cache.
    Leaves topology = amdOldLeaves(0, 0, 0);
    topology[{0x80000000u, 0}] = {0x80000021u, 0, 0, 0};
    topology[{0x80000001u, 0}] = {0, 0, 1u << 22, 0};
    topology[{0x8000001Du, 0}] = perCache(1, 1, 16, 64);      // 64 KiB data
    topology[{0x8000001Du, 1}] = perCache(2, 1, 8, 64);       // instructions: skipped
    topology[{0x8000001Du, 2}] = perCache(3, 2, 16, 2048);    // 2 MiB
    topology[{0x8000001Du, 3}] = perCache(3, 3, 16, 98304);   // 96 MiB
    EXPECT_EQ(described(readDataCaches(answering(topology))),
              (std::vector<std::string>{"L1d 64 KiB (CPUID)", "L2 2 MiB (CPUID)", "L3 96 MiB (CPUID)"}));

    const Leaves intel = {{{0, 0}, kIntelVendor},
                          {{4, 0}, perCache(1, 1, 10, 64)},
                          {{4, 1}, perCache(2, 1, 8, 64)},
                          {{4, 2}, perCache(3, 2, 16, 2048)}};
    EXPECT_EQ(described(readDataCaches(answering(intel))),
              (std::vector<std::string>{"L1d 40 KiB (CPUID)", "L2 2 MiB (CPUID)"}));
}

// Plateaus of 500, 250, 120 and 30 GB/s ending at 40 KiB, 3 MiB and 24 MiB.
double steppedRate(uint64_t bytes) {
    return bytes <= 40 * KiB ? 500e9 : bytes <= 3 * MiB ? 250e9 : bytes <= 24 * MiB ? 120e9 : 30e9;
}

TEST(Caches, RateSweepFindsTheEdgesOnTheFastSide) {
    CacheSources sources;
    sources.loadRate = steppedRate;
    const std::vector<CacheLevel> caches = readDataCaches(sources);
    ASSERT_EQ(caches.size(), 3u) << describeCaches(caches);
    const uint64_t truth[] = {40 * KiB, 3 * MiB, 24 * MiB};
    for (size_t c = 0; c < 3; ++c) {
        EXPECT_EQ(caches[c].source, "rate sweep");
        // Never smaller than the cache (no line priced slower than it comes),
        // and within one step of the sweep above it.
        EXPECT_GE(caches[c].bytes, truth[c]) << describeCache(caches[c]);
        EXPECT_LE(caches[c].bytes, truth[c] * 3 / 2) << describeCache(caches[c]);
    }
}

TEST(Caches, ImplausibleCpuidLevelTakesTheNextSource) {
    // A virtual machine's L3 of 1 GiB: the sweep answers for it, the rest stays CPUID's.
    CacheSources sources = answering(amdOldLeaves(40, 3072, 2048));
    sources.loadRate = steppedRate;
    const std::vector<CacheLevel> caches = readDataCaches(sources);
    ASSERT_EQ(caches.size(), 3u) << describeCaches(caches);
    EXPECT_EQ(describeCache(caches[0]), "L1d 40 KiB (CPUID)");
    EXPECT_EQ(describeCache(caches[1]), "L2 3 MiB (CPUID)");
    EXPECT_EQ(caches[2].source, "rate sweep");
    EXPECT_GE(caches[2].bytes, 24 * MiB);
    EXPECT_LE(caches[2].bytes, 36 * MiB);
}

TEST(Caches, AssumedWhereNothingAnswers) {
    EXPECT_EQ(described(readDataCaches(CacheSources{})),
              (std::vector<std::string>{"L1d 32 KiB (assumed)", "L2 1 MiB (assumed)", "L3 32 MiB (assumed)"}));
    // A flat sweep finds no edge: assumed too.
    CacheSources flat;
    flat.loadRate = [](uint64_t) { return 100e9; };
    EXPECT_EQ(readDataCaches(flat).front().source, "assumed");
}

}  // namespace
}  // namespace fftbench
