#include "check/isolation.h"

#include <fmt/format.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <new>
#include <stdexcept>
#include <string>

#include "host/bit_reversal.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#endif

namespace fftbench {

using fftplug::host::CatalogueEntry;
using fftplug::host::PluginLibrary;

double Isolation::limitAt(uint32_t N) const {
    const double work = static_cast<double>(N) * fftplug::host::log2Exact(N);
    const double workAt2To16 = 65536.0 * 16;
    return timeoutSeconds * std::max(1.0, work / workAt2To16);
}

namespace {

// The report from child to parent: a stream of records, each a tag byte and
// its fields in the machine's own byte order (both ends are the same build).
enum Tag : char {
    kCall = 'c',      // check (1 byte), reps (4): runEntry is about to be called
    kReturned = 'r',  // the call announced last has returned
    kVerdict = 'v',   // one SizeVerdict, complete
    kError = 'e'      // text: the checks threw and stop
};

class Encoder {
   public:
    explicit Encoder(Tag tag) { bytes_.push_back(tag); }
    template <typename T>
    Encoder& put(T value) {
        bytes_.append(reinterpret_cast<const char*>(&value), sizeof value);
        return *this;
    }
    Encoder& putText(const std::string& text) {
        put(static_cast<uint32_t>(text.size()));
        bytes_ += text;
        return *this;
    }
    const std::string& bytes() const { return bytes_; }

   private:
    std::string bytes_;
};

// Reads the records as they arrive, keeping an incomplete one for later.
class Decoder {
   public:
    std::vector<SizeVerdict> verdicts;
    std::optional<CallEvent> lastCall;  // at the size being checked
    std::optional<std::string> error;   // the child's exception, or a report that makes no sense
    bool corrupt = false;

    // Takes `size` more bytes; false once the stream cannot be read.
    bool feed(const char* data, size_t size) {
        pending_.append(data, size);
        size_t start = 0;
        while (!corrupt) {
            at_ = start;
            if (!parseOne()) break;
            start = at_;
        }
        pending_.erase(0, start);
        return !corrupt;
    }

   private:
    // Parses one whole record at at_; false if it is not all there yet.
    bool parseOne() {
        char tag = 0;
        if (!get(tag)) return false;
        switch (tag) {
            case kCall: {
                uint8_t check = 0;
                CallEvent call;
                if (!get(check) || !get(call.reps)) return false;
                if (check >= kChecks.size()) return fail();
                call.check = kChecks[check];
                lastCall = call;
                return true;
            }
            case kReturned:
                if (lastCall) lastCall->returned = true;
                return true;
            case kVerdict: {
                SizeVerdict verdict;
                if (!get(verdict.N) || !get(verdict.error)) return false;
                for (CheckOutcome& outcome : verdict.outcomes) {
                    uint8_t passed = 0;
                    if (!get(passed) || !get(outcome.ratio) || !getText(outcome.detail)) return false;
                    outcome.passed = passed != 0;
                }
                if (corrupt) return false;
                verdicts.push_back(std::move(verdict));
                lastCall.reset();
                return true;
            }
            case kError: {
                std::string text;
                if (!getText(text)) return false;
                error = text;
                return true;
            }
            default: return fail();
        }
    }
    template <typename T>
    bool get(T& value) {
        if (pending_.size() - at_ < sizeof value) return false;
        std::memcpy(&value, pending_.data() + at_, sizeof value);
        at_ += sizeof value;
        return true;
    }
    bool getText(std::string& text) {
        uint32_t length = 0;
        if (!get(length)) return false;
        if (length > (1u << 20)) return fail();
        if (pending_.size() - at_ < length) return false;
        text.assign(pending_, at_, length);
        at_ += length;
        return true;
    }
    bool fail() {
        corrupt = true;
        error = "the child's report could not be read";
        return false;
    }

    std::string pending_;
    size_t at_ = 0;
};

using Sink = std::function<bool(const std::string& bytes)>;

// The child's work: every size in turn, every call and verdict sent as it
// happens.
void streamChecks(const PluginLibrary& plugin, const CatalogueEntry& entry, const std::vector<uint32_t>& sizes,
                  uint32_t seed, const Sink& send) {
    const CallObserver observer = [&](const CallEvent& call) {
        if (call.returned)
            send(Encoder(kReturned).bytes());
        else
            send(Encoder(kCall).put(static_cast<uint8_t>(call.check)).put(call.reps).bytes());
    };
    try {
        for (const uint32_t N : sizes) {
            const SizeVerdict verdict = verifyEntryAt(plugin, entry, N, sizeSeed(seed, entry, N), observer);
            Encoder record(kVerdict);
            record.put(verdict.N).put(verdict.error);
            for (const CheckOutcome& outcome : verdict.outcomes)
                record.put(static_cast<uint8_t>(outcome.passed)).put(outcome.ratio).putText(outcome.detail);
            if (!send(record.bytes())) return;
        }
    } catch (const std::bad_alloc&) {
        send(Encoder(kError).putText("out of memory").bytes());
    } catch (const std::exception& error) {
        send(Encoder(kError).putText(error.what()).bytes());
    }
}

using Clock = std::chrono::steady_clock;

// How the child ended.
struct Ending {
    bool crashed = false;
    std::string how;  // "signal 11, Segmentation fault", "exception 0xC0000005, access violation", "exit status 2"
};

#if defined(_WIN32)

std::wstring widen(const std::string& text) {
    if (text.empty()) return {};
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

// One argument quoted so that CommandLineToArgvW (and the C runtime) give it
// back unchanged.
std::wstring quoted(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) return argument;
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(2 * backslashes, L'\\');
    return out + L"\"";
}

std::wstring thisExecutable() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) return path.substr(0, length);
        if (path.size() >= 32768) throw std::runtime_error("the path of fftbench is too long to start it again");
        path.resize(path.size() * 2);
    }
}

const char* exceptionName(DWORD code) {
    switch (code) {
        case EXCEPTION_ACCESS_VIOLATION: return "access violation";
        case EXCEPTION_ILLEGAL_INSTRUCTION: return "illegal instruction";
        case EXCEPTION_PRIV_INSTRUCTION: return "privileged instruction";
        case EXCEPTION_INT_DIVIDE_BY_ZERO: return "integer division by zero";
        case EXCEPTION_STACK_OVERFLOW: return "stack overflow";
        case EXCEPTION_DATATYPE_MISALIGNMENT: return "misaligned data";
        case EXCEPTION_BREAKPOINT: return "breakpoint";
        case EXCEPTION_IN_PAGE_ERROR: return "in-page error";
        default: return "unhandled exception";
    }
}

// fftbench run again with --report-to-parent, its standard output a pipe.
class ChildProcess {
   public:
    ChildProcess(const PluginLibrary& plugin, const CatalogueEntry& entry, const std::vector<uint32_t>& sizes,
                 uint32_t seed, const Isolation& isolation) {
        std::string sizeList;
        for (const uint32_t N : sizes) sizeList += (sizeList.empty() ? "" : ",") + std::to_string(N);
        const std::wstring program = isolation.program.empty() ? thisExecutable() : widen(isolation.program);
        std::wstring commandLine = quoted(program);
        for (const std::string& argument :
             {std::string("--plugin"), plugin.path(), std::string("verify"), std::string("--entries"),
              std::to_string(entry.index), std::string("--sizes"), sizeList, std::string("--seed"),
              std::to_string(seed), std::string("--report-to-parent")})
            commandLine += L" " + quoted(widen(argument));

        SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        HANDLE writeEnd = nullptr;
        if (!CreatePipe(&readEnd_, &writeEnd, &inheritable, 0))
            throw std::runtime_error(fmt::format("cannot create a pipe (Windows error {})", GetLastError()));
        SetHandleInformation(readEnd_, HANDLE_FLAG_INHERIT, 0);
        // The child's errors go to ours, through an inheritable copy of the
        // handle (the original need not be inheritable).
        HANDLE errorCopy = nullptr;
        if (!DuplicateHandle(GetCurrentProcess(), GetStdHandle(STD_ERROR_HANDLE), GetCurrentProcess(), &errorCopy, 0,
                             TRUE, DUPLICATE_SAME_ACCESS))
            errorCopy = nullptr;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = nullptr;
        startup.hStdOutput = writeEnd;
        startup.hStdError = errorCopy;
        PROCESS_INFORMATION info{};
        const BOOL started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                            &startup, &info);
        const DWORD code = started ? 0 : GetLastError();
        CloseHandle(writeEnd);  // the child holds the only writing end: end of file when it ends
        if (errorCopy != nullptr) CloseHandle(errorCopy);
        if (!started) {
            CloseHandle(readEnd_);
            throw std::runtime_error(fmt::format("cannot start fftbench again to check entry {} (Windows error {})",
                                                 entry.index, code));
        }
        CloseHandle(info.hThread);
        process_ = info.hProcess;
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess() {
        if (!waited_) {
            TerminateProcess(process_, 1);
            WaitForSingleObject(process_, INFINITE);
        }
        CloseHandle(process_);
        CloseHandle(readEnd_);
    }

    // Bytes read (waiting at most `seconds` for them), 0 at the end of the
    // report, -1 when nothing came in time. Anonymous pipes cannot be waited
    // on, so this looks at the pipe every few milliseconds.
    long read(char* buffer, size_t capacity, double seconds) {
        const auto until = Clock::now() + std::chrono::duration<double>(seconds);
        for (;;) {
            DWORD available = 0;
            if (!PeekNamedPipe(readEnd_, nullptr, 0, nullptr, &available, nullptr)) return 0;
            if (available > 0) {
                DWORD got = 0;
                if (!ReadFile(readEnd_, buffer, static_cast<DWORD>(std::min<size_t>(available, capacity)), &got, nullptr))
                    return 0;
                return static_cast<long>(got);
            }
            if (Clock::now() >= until) return -1;
            WaitForSingleObject(process_, 2);
        }
    }

    void kill() { TerminateProcess(process_, 1); }

    Ending wait() {
        WaitForSingleObject(process_, INFINITE);
        waited_ = true;
        DWORD code = 0;
        GetExitCodeProcess(process_, &code);
        // The child ends itself with the code of an exception nothing handled
        // (see reportEntryToParent): NTSTATUS values of severity error, and
        // the breakpoint.
        if (code >= 0xC0000000u || code == EXCEPTION_BREAKPOINT)
            return {true, fmt::format("exception 0x{:08X}, {}", code, exceptionName(code))};
        return {false, fmt::format("exit status {}", code)};
    }

   private:
    HANDLE readEnd_ = nullptr;
    HANDLE process_ = nullptr;
    bool waited_ = false;
};

LONG WINAPI endOnException(EXCEPTION_POINTERS* exception) {
    TerminateProcess(GetCurrentProcess(), exception->ExceptionRecord->ExceptionCode);
    return EXCEPTION_EXECUTE_HANDLER;
}

bool writeAll(HANDLE out, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        if (!WriteFile(out, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &written, nullptr)) return false;
        done += written;
    }
    return true;
}

#else

bool writeAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        done += static_cast<size_t>(written);
    }
    return true;
}

// A fork of fftbench that runs the checks and writes the report to a pipe.
class ChildProcess {
   public:
    ChildProcess(const PluginLibrary& plugin, const CatalogueEntry& entry, const std::vector<uint32_t>& sizes,
                 uint32_t seed, const Isolation&) {
        int ends[2];
        if (pipe2(ends, O_CLOEXEC) != 0)
            throw std::runtime_error(fmt::format("cannot create a pipe: {}", std::strerror(errno)));
        std::fflush(nullptr);  // nothing buffered is written twice
        pid_ = fork();
        if (pid_ < 0) {
            const int error = errno;
            close(ends[0]);
            close(ends[1]);
            throw std::runtime_error(fmt::format("cannot start a process to check entry {}: {}", entry.index,
                                                 std::strerror(error)));
        }
        if (pid_ == 0) {
            close(ends[0]);
            // Gone with fftbench, whatever ends it; and no core file for a
            // crash that is reported anyway.
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            const rlimit noCore{0, 0};
            setrlimit(RLIMIT_CORE, &noCore);
            // A fault ends the child by its signal, which the parent names,
            // even where a sanitizer's runtime would catch it and exit.
            for (const int fault : {SIGSEGV, SIGBUS, SIGILL, SIGFPE}) signal(fault, SIG_DFL);
            streamChecks(plugin, entry, sizes, seed, [&](const std::string& bytes) { return writeAll(ends[1], bytes); });
            _exit(0);  // no exit handlers, no flushing of the parent's buffers
        }
        close(ends[1]);
        readEnd_ = ends[0];
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess() {
        if (!waited_) {
            ::kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        close(readEnd_);
    }

    // Bytes read (waiting at most `seconds` for them), 0 at the end of the
    // report, -1 when nothing came in time.
    long read(char* buffer, size_t capacity, double seconds) {
        pollfd ready{readEnd_, POLLIN, 0};
        const int milliseconds = static_cast<int>(std::min(seconds * 1e3 + 1, 1e9));
        const int events = poll(&ready, 1, milliseconds);
        if (events <= 0) return -1;  // nothing in time, or a signal: the caller looks at the clock again
        const ssize_t got = ::read(readEnd_, buffer, capacity);
        if (got < 0) return errno == EINTR || errno == EAGAIN ? -1 : 0;
        return static_cast<long>(got);
    }

    void kill() { ::kill(pid_, SIGKILL); }

    Ending wait() {
        int status = 0;
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        waited_ = true;
        if (WIFSIGNALED(status))
            return {true, fmt::format("signal {}, {}", WTERMSIG(status), strsignal(WTERMSIG(status)))};
        return {false, fmt::format("exit status {}", WEXITSTATUS(status))};
    }

   private:
    pid_t pid_ = -1;
    int readEnd_ = -1;
    bool waited_ = false;
};

#endif

std::string callText(const CallEvent& call) {
    return fmt::format("the call with reps = {} of the {} check", call.reps, checkName(call.check));
}

}  // namespace

EntryVerdict verifyEntryIsolated(const PluginLibrary& plugin, const CatalogueEntry& entry,
                                 const std::vector<uint32_t>& sizes, uint32_t seed, const Isolation& isolation,
                                 const VerifyProgress& progress) {
    EntryVerdict verdict{entry, {}, std::nullopt};
    if (sizes.empty()) return verdict;
    auto limit = [&](size_t size) {
        return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(isolation.limitAt(sizes[size])));
    };
    ChildProcess child(plugin, entry, sizes, seed, isolation);
    Decoder decoder;
    bool timedOut = false;
    size_t announced = 0;
    auto deadline = Clock::now() + limit(0);
    if (progress) progress(entry, sizes[0]);
    for (;;) {
        const auto now = Clock::now();
        if (now >= deadline) {
            timedOut = true;
            child.kill();
            break;
        }
        char buffer[4096];
        const long got = child.read(buffer, sizeof buffer, std::chrono::duration<double>(deadline - now).count());
        if (got == 0) break;
        if (got < 0) continue;
        if (!decoder.feed(buffer, static_cast<size_t>(got))) {
            child.kill();
            break;
        }
        // Each size has a time limit of its own.
        for (; announced < decoder.verdicts.size() && announced + 1 < sizes.size(); ++announced) {
            deadline = Clock::now() + limit(announced + 1);
            if (progress) progress(entry, sizes[announced + 1]);
        }
    }
    const Ending ending = child.wait();
    verdict.sizes = std::move(decoder.verdicts);
    if (verdict.sizes.size() >= sizes.size() && !decoder.corrupt) return verdict;

    EntryStop stop;
    stop.N = sizes[std::min(verdict.sizes.size(), sizes.size() - 1)];
    const std::optional<CallEvent>& call = decoder.lastCall;
    if (timedOut) {
        stop.kind = EntryStop::Kind::timeout;
        if (call && !call->returned)
            stop.what = fmt::format("runEntry did not return within {:.3g} s from {}, and was stopped",
                                    isolation.limitAt(stop.N), callText(*call));
        else
            stop.what = fmt::format("the checks did not finish within {:.3g} s, and were stopped ({})",
                                    isolation.limitAt(stop.N),
                                    call ? "the last call of runEntry had returned" : "before any call of runEntry");
    } else if (decoder.error) {
        stop.what = fmt::format("the checks could not go on: {}", *decoder.error);
    } else if (ending.crashed) {
        stop.kind = EntryStop::Kind::crash;
        if (call && !call->returned)
            stop.what = fmt::format("runEntry crashed ({}) on {}", ending.how, callText(*call));
        else if (call)
            stop.what = fmt::format("the checks crashed ({}) after runEntry returned from {}: the entry may have "
                                    "damaged memory beyond the guards of the arrays",
                                    ending.how, callText(*call));
        else
            stop.what = fmt::format("the checks crashed ({}) before calling runEntry", ending.how);
    } else {
        stop.what = fmt::format("the process checking the entry ended early ({})", ending.how);
    }
    verdict.stop = std::move(stop);
    return verdict;
}

int reportEntryToParent(const PluginLibrary& plugin, const CatalogueEntry& entry, const std::vector<uint32_t>& sizes,
                        uint32_t seed) {
#if defined(_WIN32)
    // A fault in the plug-in ends this process at once with the exception's
    // code, which the parent reads: no error dialog, no debugger.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(endOnException);
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    streamChecks(plugin, entry, sizes, seed, [out](const std::string& bytes) { return writeAll(out, bytes); });
#else
    std::fflush(stdout);
    streamChecks(plugin, entry, sizes, seed, [](const std::string& bytes) { return writeAll(STDOUT_FILENO, bytes); });
#endif
    return 0;
}

}  // namespace fftbench
