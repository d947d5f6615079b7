// Progress of long work on standard error: one line redrawn in place, shown
// only when standard error is a terminal, so that logs and pipes stay clean.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "machine/rates.h"

namespace fftbench {

class ProgressLine {
   public:
    ProgressLine();
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;
    void show(const std::string& text);
    void clear();

   private:
    bool enabled_;
    bool shown_ = false;
};

// How far `done` of `total` steps are, in whole per cent for a progress
// line: at most 99 until the work has ended, since rounds that confirm a
// best may come on top of the planned ones.
inline size_t percentDone(size_t done, size_t total) {
    return total == 0 ? 0 : std::min<size_t>(99, 100 * done / total);
}

// Installs the Ctrl-C handler and gives the check a long run polls between
// measurements: true once Ctrl-C was pressed, saying so once on standard
// error (the progress line cleared first).
std::function<bool()> stopOnInterrupt(ProgressLine& progress);

// This processor's peak rates for each path the plug-ins labelled `labels`
// take for `entries` (catalogue indices) at `sizes`, each measured with a
// line of progress.
std::vector<PeakRates> measureRatesOfPaths(const std::vector<std::string>& labels, const std::vector<uint32_t>& entries,
                                           const std::vector<uint32_t>& sizes,
                                           ProgressLine& progress);

}  // namespace fftbench
