#pragma once

#include <QString>

#include <memory>

class QLockFile;

namespace parlomar {

// The single-instance marker: a per-user lock file in folder (the user's runtime folder; the
// temporary folder when empty), held while the program runs. A lock left behind by an instance that
// ended without releasing it (a crash) is recovered.
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
