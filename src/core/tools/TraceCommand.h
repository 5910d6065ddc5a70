#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

#include "core/tools/TraceRewriter.h"

namespace parlomar {

// Runs the system traceroute for one host and hands its output on in the classic route-table
// columns (see TraceRewriter.h). The program is started directly, never through a shell, with the
// host as a single argument; its standard output comes through a pipe, standard input and standard
// error are /dev/null. It runs in a process group of its own, so that Terminate also ends whatever
// it may have started itself.
//
// Threads: Start, ReadTraceOutput and Terminate belong to one thread (the GUI thread); Wait may run
// on a worker thread at the same time. The object must outlive a running Wait.
class TraceCommand {
public:
    static constexpr int kMaxHops = 30;
    static constexpr int kProbeWaitSeconds = 3;
    // The longest host name the name service takes (253 characters, one more for a final dot).
    static constexpr size_t kMaxHostLength = 253;

    TraceCommand() = default;
    ~TraceCommand();
    TraceCommand(const TraceCommand&) = delete;
    TraceCommand& operator=(const TraceCommand&) = delete;

    // The traceroute program: the first executable "traceroute" in /usr/sbin, /usr/bin, /sbin and
    // /bin, else the first on PATH (absolute entries only); empty when there is none.
    static std::string FindTraceroute();
    // Test seam: the folders searched before PATH in place of the system's (empty: the system's).
    static void SetSystemFolders(std::vector<std::string> folders);
    // Hosts that are refused: empty ones, ones beginning with "-" (they would be read as an
    // option), ones holding blanks or control characters, and ones longer than a host name can be.
    static bool IsAcceptableHost(std::string_view host);
    // The arguments after the program name: at most 30 hops, 3 probes per hop, 3 s wait per probe,
    // hop names resolved, then "--" and the host.
    static std::vector<std::string> TraceArguments(const std::string& host);

    // Starts the trace. False (and nothing started) when the host is refused, no traceroute program
    // exists, or the pipe or the process cannot be created. One trace per object.
    bool Start(const std::string& host);
    // Starts program with args (without the program name) the same way; Start uses it.
    bool StartProgram(const std::string& program, const std::vector<std::string>& args);

    // The rewritten output that is waiting in the pipe, or empty text; never waits. Only complete
    // lines are handed on; an incomplete last line follows once its line feed arrives, or when
    // the output ends.
    std::string ReadTraceOutput();
    // True once the command's output has ended (read up to its end) or no command was started.
    bool OutputEnded() const { return readFd_ < 0; }

    // Blocks until the command has ended and is reaped; returns at once when none runs.
    void Wait();
    // Kills the command (with its process group) and reaps it; safe when it has already ended or
    // never started. Returns once the command is gone.
    void Terminate();

    pid_t ProcessId() const { return pid_; }

private:
    void CloseReadEnd();

    pid_t pid_ = -1;
    int readFd_ = -1;
    TraceOutputRewriter rewriter_;

    std::mutex mutex_;
    std::condition_variable reapedCondition_;
    bool reaped_ = true;
    bool waiting_ = false;
};

} // namespace parlomar
