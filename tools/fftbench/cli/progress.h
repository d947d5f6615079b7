// Progress of long work on standard error: one line redrawn in place, shown
// only when standard error is a terminal, so that logs and pipes stay clean.
#pragma once

#include <string>

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

}  // namespace fftbench
