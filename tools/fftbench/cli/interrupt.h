// Ctrl-C: the first SIGINT asks the running command to stop after the
// current measurement; a second one ends the process as usual.
#pragma once

namespace fftbench {

void installInterruptHandler();
bool interruptRequested();

}  // namespace fftbench
