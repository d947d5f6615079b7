// What bench times: an entry of a plug-in or a peer library, set up for one
// size and timed in repetitions. The entries' runs are bench_run.h's, the
// peers' are under peers/.
#pragma once

#include <fftplug/fftplug.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace fftbench {

// One implementation at one size, set up outside the timed region (input
// order, table and its preparation, a peer's plan), ready to be timed.
class TimedRun {
   public:
    virtual ~TimedRun() = default;
    // `reps` transforms of the signal (at most the contender's maxReps).
    virtual void run(int64_t reps) = 0;
    // Untimed, before each measurement: whatever puts the run in the state
    // every one of its measurements should start from. None by default, so
    // that a measurement starts where the contender before it left the caches.
    virtual void warm() {}
    // The host's reordering alone, `reps` times, where the run has one
    // (Contender::reorder); false: none, nothing done. It may leave the
    // run's arrays as the reordering left them, not the transform.
    virtual bool runReorder(int64_t /*reps*/) { return false; }
    // After run(): the transform of the signal, in natural order (after
    // runReorder(), one more repetition first).
    virtual std::vector<Complex> naturalResult() = 0;
    // Anything the implementation wrote outside its arrays; nullopt if none.
    virtual std::optional<std::string> damage() const { return std::nullopt; }
};

// Something to benchmark: an entry of a plug-in or a peer library.
struct Contender {
    std::string implementation;     // "entry 3", "fftwf", "kissfft": unique in a run with its plug-in
    std::optional<uint32_t> entry;  // the catalogue index, for entries
    std::string name;               // the catalogue name (UTF-8) or the peer's description
    std::string label;              // a few words for the plot legend
    int64_t maxReps = 0;
    // Sets up a run for the natural-order signal (its size is N).
    std::function<std::unique_ptr<TimedRun>(const std::vector<Complex>& signal)> start;
    std::string plugin;             // the plug-in's label (PluginInfo::label); empty for a peer
    // Timed with the host's reordering: every repetition puts the natural-
    // order signal into the entry's input order and, for an entry whose
    // result is bit-reversed, the result back into natural order, as a host
    // that wants natural order in and out must (implementation "entry 3+reorder").
    bool reorder = false;
    // Bytes past a 64-byte line at which the entry's arrays start (0:
    // aligned; 16 as x86-64 glibc's malloc, 8 as 32-bit Windows' msvcrt's
    // places them): implementation "entry 3 +16".
    uint32_t lineOffset = 0;
    // A peer's label of its line in bench's header ("fftw"); empty: none.
    std::string header{};
    // A peer's words on why it has no counted mflops, for bench's header;
    // empty: none.
    std::string countedNote{};
};

}  // namespace fftbench
