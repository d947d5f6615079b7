#include "cli/interrupt.h"

#include <csignal>

namespace fftbench {

namespace {

volatile std::sig_atomic_t interruptFlag = 0;

extern "C" void onInterrupt(int) {
    interruptFlag = 1;
    std::signal(SIGINT, SIG_DFL);  // a second Ctrl-C ends the process
}

}  // namespace

void installInterruptHandler() { std::signal(SIGINT, onInterrupt); }

bool interruptRequested() { return interruptFlag != 0; }

}  // namespace fftbench
