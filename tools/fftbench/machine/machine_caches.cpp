#include "machine/machine_caches.h"

#include "machine/processor.h"
#include "plugin/path_choice.h"
#include "machine/rates.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

namespace fftbench {

CacheSources machineCacheSources() {
    CacheSources sources;
#if defined(__linux__)
    sources.sysfsFolder = "/sys/devices/system/cpu/cpu0/cache";
#endif
#if defined(__i386__) || defined(__x86_64__)
    sources.cpuid = [](uint32_t leaf, uint32_t subleaf) {
        CpuidAnswer r;
        if (__get_cpuid_max(leaf & 0x80000000u, nullptr) >= leaf) __cpuid_count(leaf, subleaf, r.eax, r.ebx, r.ecx, r.edx);
        return r;
    };
#endif
    sources.loadRate = [](uint64_t bytes) {
        return loadRateOver(fftplug::kernelPathName(detectCpu().widestPath), bytes);
    };
    return sources;
}

const std::vector<CacheLevel>& dataCaches() {
    static const std::vector<CacheLevel> caches = readDataCaches(machineCacheSources());
    return caches;
}

}  // namespace fftbench
