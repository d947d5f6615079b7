// The outside programs fftbench draws with (gnuplot, rsvg-convert): found
// on the PATH or where an environment variable names them, and fed a
// script or a document on standard input to write one file.
#pragma once

#include <optional>
#include <string>

namespace fftbench {

// The program named by $`variable` if that is set (nullopt if it names no
// file), otherwise `name` on the PATH (".exe" added on Windows); nullopt
// when there is none.
std::optional<std::string> findProgram(const char* variable, const std::string& name);

// A word for the shell: single-quoted (double-quoted on Windows).
std::string shellQuoted(const std::string& text);

// Runs `command` with `input` on its standard input; it is to write `path`.
// nullopt when it exited 0 and `path` is a file of some bytes; otherwise
// what went wrong, and no file is left at `path`. `program` names it in
// messages.
std::optional<std::string> writeThrough(const std::string& program, const std::string& command,
                                        const std::string& input, const std::string& path);

}  // namespace fftbench
