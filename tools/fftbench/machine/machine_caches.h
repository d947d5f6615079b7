// This machine's data caches (caches.h), from its own sources: sysfs on
// Linux, CPUID on x86, and a load-rate sweep of the widest loops the
// processor runs (rates.h) where neither answers.
#pragma once

#include <vector>

#include "machine/caches.h"

namespace fftbench {

CacheSources machineCacheSources();

// readDataCaches(machineCacheSources()), read once per process.
const std::vector<CacheLevel>& dataCaches();

}  // namespace fftbench
