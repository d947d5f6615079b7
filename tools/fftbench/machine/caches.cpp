#include "machine/caches.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>

namespace fftbench {

namespace {

constexpr const char* kNames[] = {"L1d", "L2", "L3"};

// The levels one source gives, by name; empty if it does not answer.
using Sizes = std::map<std::string, uint64_t>;

std::string sizeText(uint64_t bytes) {
    if (bytes >= (uint64_t{1} << 20) && bytes % (uint64_t{1} << 20) == 0) return fmt::format("{} MiB", bytes >> 20);
    return fmt::format("{} KiB", bytes >> 10);
}

Sizes fromSysfs(const std::string& folder) {
    Sizes sizes;
    if (folder.empty()) return sizes;
    for (int index = 0; index < 8; ++index) {
        const std::string at = fmt::format("{}/index{}/", folder, index);
        std::ifstream levelFile(at + "level"), typeFile(at + "type"), sizeFile(at + "size");
        if (!levelFile || !typeFile || !sizeFile) break;
        int level = 0;
        std::string type, size;
        levelFile >> level;
        typeFile >> type;
        sizeFile >> size;
        if ((type != "Data" && type != "Unified") || level < 1 || level > 3) continue;
        uint64_t bytes = std::strtoull(size.c_str(), nullptr, 10);
        if (!size.empty() && size.back() == 'K') bytes <<= 10;
        if (!size.empty() && size.back() == 'M') bytes <<= 20;
        if (bytes != 0) sizes[kNames[level - 1]] = bytes;
    }
    return sizes;
}

// Leaf 4 (Intel) and 0x8000001D (AMD) share one layout: a subleaf per cache,
// type in eax[4:0] (1 data, 3 unified; 0 ends the list), level in eax[7:5],
// size = ways · partitions · line bytes · sets, each stored less one.
Sizes fromDeterministicLeaf(const CacheSources& sources, uint32_t leaf) {
    Sizes sizes;
    for (uint32_t subleaf = 0; subleaf < 16; ++subleaf) {
        const CpuidAnswer r = sources.cpuid(leaf, subleaf);
        const uint32_t type = r.eax & 0x1F, level = (r.eax >> 5) & 0x7;
        if (type == 0) break;
        if ((type != 1 && type != 3) || level < 1 || level > 3) continue;
        const uint64_t ways = (r.ebx >> 22) + 1, partitions = ((r.ebx >> 12) & 0x3FF) + 1,
                       line = (r.ebx & 0xFFF) + 1, sets = uint64_t{r.ecx} + 1;
        sizes[kNames[level - 1]] = ways * partitions * line * sets;
    }
    return sizes;
}

Sizes fromCpuid(const CacheSources& sources) {
    if (!sources.cpuid) return {};
    const CpuidAnswer vendor = sources.cpuid(0, 0);
    const bool intel = vendor.ebx == 0x756E6547 && vendor.edx == 0x49656E69 && vendor.ecx == 0x6C65746E;  // GenuineIntel
    if (intel && vendor.eax >= 4)
        if (Sizes sizes = fromDeterministicLeaf(sources, 4); !sizes.empty()) return sizes;
    const uint32_t extended = sources.cpuid(0x80000000u, 0).eax;
    // 0x8000001D where the processor says it has topology extensions.
    if (extended >= 0x8000001Du && ((sources.cpuid(0x80000001u, 0).ecx >> 22) & 1u) != 0)
        if (Sizes sizes = fromDeterministicLeaf(sources, 0x8000001Du); !sizes.empty()) return sizes;
    Sizes sizes;
    if (extended >= 0x80000005u)
        if (const uint32_t kib = sources.cpuid(0x80000005u, 0).ecx >> 24; kib != 0) sizes["L1d"] = uint64_t{kib} << 10;
    if (extended >= 0x80000006u) {
        const CpuidAnswer r = sources.cpuid(0x80000006u, 0);
        if (const uint32_t kib = r.ecx >> 16; kib != 0) sizes["L2"] = uint64_t{kib} << 10;
        if (const uint32_t halves = r.edx >> 18; halves != 0) sizes["L3"] = uint64_t{halves} << 19;
    }
    return sizes;
}

bool plausible(const std::string& name, uint64_t bytes, uint64_t before) {
    const uint64_t most = name == "L1d" ? uint64_t{1} << 20 : name == "L2" ? uint64_t{64} << 20 : uint64_t{256} << 20;
    return bytes >= 1024 && bytes <= most && bytes > before;
}

}  // namespace

std::string describeCache(const CacheLevel& cache) {
    return fmt::format("{} {} ({})", cache.name, sizeText(cache.bytes), cache.source);
}

std::string describeCaches(const std::vector<CacheLevel>& caches) {
    std::string text;
    for (const CacheLevel& cache : caches) text += (text.empty() ? "" : ", ") + describeCache(cache);
    return text.empty() ? "none" : text;
}

std::vector<uint64_t> sweepSizes() {
    std::vector<uint64_t> sizes;
    for (uint64_t bytes = 4096; bytes <= (uint64_t{256} << 20); bytes *= 2) {
        sizes.push_back(bytes);
        if (bytes < (uint64_t{256} << 20)) sizes.push_back(bytes + bytes / 2);
    }
    return sizes;
}

std::vector<CacheLevel> cacheEdges(const std::vector<std::pair<uint64_t, double>>& sweep) {
    std::vector<CacheLevel> levels;
    double best = 0;
    for (const auto& [bytes, rate] : sweep) {
        if (levels.size() == 3) break;
        if (best > 0 && rate < 0.75 * best) {
            levels.push_back({kNames[levels.size()], bytes, "rate sweep"});
            best = rate;
        } else {
            best = std::max(best, rate);
        }
    }
    return levels;
}

std::vector<CacheLevel> readDataCaches(const CacheSources& sources) {
    const Sizes assumed = {{"L1d", 32 << 10}, {"L2", 1 << 20}, {"L3", 32 << 20}};
    std::optional<Sizes> swept;  // measured only if a level needs it
    auto sweep = [&]() -> const Sizes& {
        if (!swept) {
            swept.emplace();
            if (sources.loadRate) {
                std::vector<std::pair<uint64_t, double>> points;
                for (const uint64_t bytes : sweepSizes()) points.emplace_back(bytes, sources.loadRate(bytes));
                for (const CacheLevel& level : cacheEdges(points)) (*swept)[level.name] = level.bytes;
            }
        }
        return *swept;
    };
    const std::vector<std::pair<Sizes, std::string>> direct = {{fromSysfs(sources.sysfsFolder), "sysfs"},
                                                              {fromCpuid(sources), "CPUID"}};
    // The levels there are: those of the first source that answers.
    const Sizes* first = nullptr;
    for (const auto& [sizes, source] : direct)
        if (!first && !sizes.empty()) first = &sizes;
    if (!first && !sweep().empty()) first = &sweep();
    if (!first) first = &assumed;

    std::vector<CacheLevel> caches;
    uint64_t before = 0;
    for (const char* name : kNames) {
        if (!first->count(name)) continue;
        std::optional<CacheLevel> level;
        for (const auto& [sizes, source] : direct)
            if (const auto found = sizes.find(name); !level && found != sizes.end() && plausible(name, found->second, before))
                level = CacheLevel{name, found->second, source};
        if (!level)
            if (const auto found = sweep().find(name); found != sweep().end() && plausible(name, found->second, before))
                level = CacheLevel{name, found->second, "rate sweep"};
        if (!level && plausible(name, assumed.at(name), before)) level = CacheLevel{name, assumed.at(name), "assumed"};
        if (!level) continue;
        before = level->bytes;
        caches.push_back(std::move(*level));
    }
    return caches;
}

}  // namespace fftbench
