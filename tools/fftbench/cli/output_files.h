// The files a command writes on request (--csv, --json, --plot …), in one
// place. Each is opened when the command starts, so that a path that cannot
// be written fails at once rather than after minutes of work, and written
// when the work is done. Either failure ends the command with exit status 3
// (kExitOutputFailed), the same for every command.
#pragma once

#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace fftbench {

// An output file that cannot be opened: one line, exit status 3.
class OutputError : public std::runtime_error {
   public:
    using std::runtime_error::runtime_error;
};

class OutputFiles {
   public:
    // Opens `path`, given with `option`, for writing now; an empty path is
    // no request. Throws OutputError.
    void open(const std::string& option, const std::string& path);
    // For a file another program writes later (gnuplot draws the plots):
    // checks now that `path` can be created, and leaves nothing behind.
    void reserve(const std::string& option, const std::string& path);
    // Writes `text` into the file opened for `option` and closes it; a
    // failure is said on standard error and remembered.
    void write(const std::string& option, const std::string& text);
    // Whether a file was opened for `option`.
    bool requested(const std::string& option) const;
    // A problem found later (a plot that was not drawn): said on standard
    // error, prefixed "fftbench: ", and remembered.
    void fail(const std::string& message);
    bool failed() const { return failed_; }

   private:
    struct File {
        std::string option, path;
        std::ofstream stream;
    };
    std::vector<File> files_;
    bool failed_ = false;
};

}  // namespace fftbench
