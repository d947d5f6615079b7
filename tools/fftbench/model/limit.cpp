#include "model/limit.h"

#include <algorithm>

namespace fftbench {

Operations operationsOf(const FftplugCounts& counts, uint32_t N, const CacheTraffic& traffic) {
    Operations o;
    o.loadBytes = 8.0 * static_cast<double>(counts.loads) + 8.0 * N;
    o.storeBytes = 8.0 * static_cast<double>(counts.stores) + 8.0 * N;
    o.additions = static_cast<double>(counts.additions);
    o.multiplications = static_cast<double>(counts.multiplications);
    for (size_t c = 0; c < traffic.caches.size(); ++c) {
        o.loadMissBytes.push_back(double(kLineBytes) * static_cast<double>(traffic.loadMisses[c]));
        o.storeMissBytes.push_back(double(kLineBytes) * static_cast<double>(traffic.storeMisses[c]));
    }
    return o;
}

std::optional<LeastTime> leastTime(const Operations& o, const PeakRates& rates) {
    if (rates.levels.empty() || rates.additionsPerSecond <= 0 || rates.multiplicationsPerSecond <= 0) return std::nullopt;
    std::vector<std::pair<double, std::string>> terms;
    // Rate 0: a level not measured, fatal only where something comes from it.
    auto add = [&](double amount, double rate, std::string name) {
        if (amount <= 0) return true;
        if (!(rate > 0)) return false;
        terms.emplace_back(amount / rate, std::move(name));
        return true;
    };
    // No level delivers more slowly than one beyond it: a rate measured
    // below a farther level's (the machine busy while it was measured)
    // is priced at the faster one.
    std::vector<double> loadRate, storeRate;
    for (const LevelRate& level : rates.levels) {
        loadRate.push_back(level.loadBytesPerSecond);
        storeRate.push_back(level.storeBytesPerSecond);
    }
    for (size_t k = loadRate.size() - 1; k-- > 0;) {
        if (loadRate[k] > 0) loadRate[k] = std::max(loadRate[k], loadRate[k + 1]);
        if (storeRate[k] > 0) storeRate[k] = std::max(storeRate[k], storeRate[k + 1]);
    }
    bool known = add(o.loadBytes, loadRate[0], "loads") && add(o.storeBytes, storeRate[0], "stores") &&
                 add(o.additions, rates.additionsPerSecond, "additions") &&
                 add(o.multiplications, rates.multiplicationsPerSecond, "multiplications");
    // What cache c misses comes from level c + 1 (the next cache, or memory).
    for (size_t c = 0; known && c < o.loadMissBytes.size(); ++c) {
        const bool measured = c + 1 < rates.levels.size();
        const std::string name = measured ? rates.levels[c + 1].name : "memory";
        known = add(o.loadMissBytes[c], measured ? loadRate[c + 1] : 0, name + " loads") &&
                add(o.storeMissBytes[c], measured ? storeRate[c + 1] : 0, name + " stores");
    }
    if (!known || terms.empty()) return std::nullopt;
    const auto& slowest =
        *std::max_element(terms.begin(), terms.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    return LeastTime{slowest.first, slowest.second};
}

double limitPercent(double least, double measured) { return measured > 0 ? 100.0 * least / measured : 0; }

}  // namespace fftbench
