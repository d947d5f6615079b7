// A peer: another FFT library timed in the same run as the entries, for
// scale. Each peer is one file of this folder, which says how it is timed
// and how it appears, and one line of the list in peers.h.
#pragma once

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "measure/contender.h"
#include "model/operation_counts.h"

namespace fftbench {

// A library named for a peer that cannot serve it (it does not load, or it
// lacks a function the peer calls): which library, and why, in words that
// name no option of any command.
class PeerError : public std::runtime_error {
   public:
    PeerError(std::string library, const std::string& why) : std::runtime_error(why), library_(std::move(library)) {}
    const std::string& library() const { return library_; }

   private:
    std::string library_;
};

class Peer {
   public:
    virtual ~Peer() = default;
    // How it is timed; its implementation is the peer's name ("fftwf").
    virtual Contender contender() const = 0;
    // The label of its line in bench's header, which names the library and
    // plan timed ("fftw"); empty: no line.
    virtual std::string headerLabel() const { return {}; }
    // Why it has no counted mflops, where that needs saying: "none for
    // FFTW, whose count …"; empty: nothing to say.
    virtual std::string countedNote() const { return {}; }
    // Its own count of the real operations of its plan, for profile;
    // nullopt where it counts none.
    virtual std::optional<CountedPeer> counted() const { return std::nullopt; }
};

// Opens the peer called `name`: with `library` empty the library this
// build found, otherwise the one at that path in its place. nullptr where
// this build has no such peer or its library does not load; PeerError where
// the library named cannot serve.
using PeerOpener = std::unique_ptr<Peer> (*)(const std::string& name, const std::string& library);

}  // namespace fftbench
