#pragma once

#include <QString>

#include <functional>
#include <memory>

class QLocalServer;
class QLockFile;

namespace parlomar {

// The single-instance marker: a per-user lock file in folder (PrivateRuntimeFolder() when empty),
// held while the program runs. A lock left behind by an instance that ended without releasing it (a
// crash) is recovered; a file in its place that is not this user's own is never taken for a lock.
//
// Beside the lock the running instance listens on a local socket of the user's own; a second start
// asks it there to bring its window to the front and ends.
class SingleInstanceGuard {
public:
    explicit SingleInstanceGuard(const QString& folder = {});
    ~SingleInstanceGuard();

    enum class Result { Acquired, AlreadyRunning, Failed };
    Result Acquire();
    QString LockPath() const { return path_; }
    QString SocketPath() const { return socketPath_; }

    // The instance that holds the lock: every request on the socket runs show on the GUI thread and
    // is answered once it ran. False when the socket cannot be set up (a second start then shows its
    // message instead).
    bool Listen(std::function<void()> show);
    void StopListening();
    // A second start: asks the running instance to show its window; true when it answered that it
    // did within timeoutMs.
    bool AskToShow(int timeoutMs = 3000) const;

private:
    QString path_;
    QString socketPath_;
    std::unique_ptr<QLockFile> lock_;
    std::unique_ptr<QLocalServer> server_;
};

// The message of a second start whose request the running instance did not answer.
inline constexpr const char* kAlreadyRunningText =
    "ParlomarClient is already running, but its window could not be brought to the front.";

} // namespace parlomar
