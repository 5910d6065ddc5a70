#pragma once

#include <QString>

#include <memory>

class QLockFile;

namespace parlomar {

// The single-instance marker: a per-user lock file in folder (PrivateRuntimeFolder() when empty),
// held while the program runs. A lock left behind by an instance that ended without releasing it (a
// crash) is recovered; a file in its place that is not this user's own is never taken for a lock.
class SingleInstanceGuard {
public:
    explicit SingleInstanceGuard(const QString& folder = {});
    ~SingleInstanceGuard();

    enum class Result { Acquired, AlreadyRunning, Failed };
    Result Acquire();
    QString LockPath() const { return path_; }

private:
    QString path_;
    std::unique_ptr<QLockFile> lock_;
};

inline constexpr const char* kAlreadyRunningText = "Application DirorEvad already running!";

} // namespace parlomar
