#pragma once

#include <QObject>

#include <functional>
#include <memory>
#include <string>
#include <sys/types.h>

namespace parlomar {

// One trace: a worker thread that looks the host up, runs the system traceroute for it and waits
// for the command to end, then reports Ended on the GUI thread. The output is read on the GUI thread
// (ReadTraceOutput, never waiting), by the main window's timer.
//
// The worker keeps what it needs alive by itself: the object may be destroyed at any time, which
// stops the trace first (no process is left behind) and drops an Ended still on its way. A worker
// still busy with the lookup then ends on its own without starting anything.
class TTracertThread : public QObject {
    Q_OBJECT
public:
    // The lookup run before the command: the address to show for a host, or "None" when the host
    // does not resolve (no command is started then). TraceAddress unless replaced (tests).
    using Lookup = std::function<std::string(const std::string& host)>;

    explicit TTracertThread(std::string hostName, QObject* parent = nullptr);
    ~TTracertThread() override;
    TTracertThread(const TTracertThread&) = delete;
    TTracertThread& operator=(const TTracertThread&) = delete;

    // The host to trace, handed to the command unchanged as one argument.
    const std::string HostName;

    // Replaces the lookup; only before Start.
    void SetLookup(Lookup lookup);
    // Starts the worker (once).
    void Start();

    // The host's address once the lookup has run ("None" when it did not resolve), else empty.
    std::string HostAddress() const;
    // The rewritten output waiting in the pipe, or empty text; never waits.
    std::string ReadTraceOutput();
    // StopTrace: marks the trace cancelled and kills the command. Returns once no process of the
    // trace is left; Ended follows from the worker.
    void StopTrace();
    bool Cancelled() const;
    // True from Start until the command has ended (or was never started).
    bool Running() const;
    // The command's process id while it runs (-1 before and when none was started).
    pid_t ProcessId() const;

signals:
    // The command has ended, or could not be started; delivered on the GUI thread.
    void Ended();

private:
    struct State;
    static void StartTraceThread(const std::shared_ptr<State>& state);
    std::shared_ptr<State> state_;
};

} // namespace parlomar
