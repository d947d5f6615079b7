// Command-line vocabulary shared by the subcommands: size and entry lists,
// the default plug-in, and the error that ends a run with status 2.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "host/plugin_library.h"
#include "render/gnuplot.h"

namespace fftbench {

// Exit statuses, as documented in docs/fftbench.md.
enum ExitStatus : int {
    kExitOk = 0,
    kExitCheckFailed = 1,   // list: a faulty catalogue; verify: some check failed
    kExitUsage = 2,         // bad arguments, a plug-in that does not load, ...
    kExitOutputFailed = 3,  // a CSV, JSON or plot file could not be opened or written
    kExitInterrupted = 130  // bench: stopped by Ctrl-C (what was measured is kept)
};

// Anything wrong with what the user asked for: one line, exit status 2.
class UsageError : public std::runtime_error {
   public:
    using std::runtime_error::runtime_error;
};

// The largest transform the tools accept: 2^24 points (128 MiB an array).
constexpr unsigned kMaxLog2Size = 24;

// "2^1..2^20", "64,256,1024", "2^4,2^8..2^10", "1..1024": powers of two
// between 1 and 2^24, ranges inclusive. Sorted ascending, without repeats.
// Throws UsageError naming `option` and the offending item.
std::vector<uint32_t> parseSizes(std::string_view text, std::string_view option = "--sizes");

// The one size of an option such as trace's --size: a power of two from
// `lowest` to `highest`. Throws UsageError naming the option and what takes
// it: "--size 2^21: trace takes N from 2 to 2^20" for `taker` "trace takes".
uint32_t parseOneSize(std::string_view option, std::string_view text, uint32_t lowest, uint32_t highest,
                      std::string_view taker);

// The format of a picture option's file (--plot out/bench.svg): nullopt for
// no file; UsageError for a name that ends in neither .svg nor .png.
std::optional<PlotFormat> parsePlotPath(std::string_view option, const std::string& path);

// "0,3-9" or "all" (nullopt: every entry of the catalogue). Sorted, without
// repeats. Throws UsageError.
std::optional<std::vector<uint32_t>> parseEntries(std::string_view text);

// "64,16": the alignments --align takes, each a power of two from 4 to 64
// bytes, as line offsets: the bytes past a 64-byte line at which arrays so
// aligned (and no more) start (64 -> 0, 16 -> 16, 8 -> 8), in the order
// given, without repeats. Throws UsageError.
std::vector<uint32_t> parseAlignments(std::string_view text);

// The entries of `catalogue` named by `wanted` (all when nullopt). Throws
// UsageError for an index the catalogue does not have.
std::vector<fftplug::host::CatalogueEntry> selectEntries(
    const std::vector<fftplug::host::CatalogueEntry>& catalogue,
    const std::optional<std::vector<uint32_t>>& wanted);

// Where fftbench looks for the plug-in when --plugin is not given, in order:
// $FFTPLUG_PLUGIN, beside the executable, and the library folder of the
// installation prefix the executable sits in.
std::vector<std::string> defaultPluginCandidates();
// $FFTPLUG_PLUGIN when set, else the first other candidate that exists;
// UsageError listing them all otherwise.
std::string findDefaultPlugin();

}  // namespace fftbench
