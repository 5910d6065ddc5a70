#include "app/SingleInstance.h"

#include <QDir>
#include <QLockFile>

#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace parlomar {

SingleInstanceGuard::SingleInstanceGuard(const QString& folder) {
    const QString base = folder.isEmpty() ? QDir::tempPath() : folder;
    path_ =
        QDir(base).filePath(QStringLiteral("ParlomarClient-%1.lock").arg(static_cast<qulonglong>(getuid())));
}

SingleInstanceGuard::~SingleInstanceGuard() = default;

SingleInstanceGuard::Result SingleInstanceGuard::Acquire() {
    lock_ = std::make_unique<QLockFile>(path_);
    // Never stale by age (the program runs for days); a lock whose process is gone is recovered.
    lock_->setStaleLockTime(0);
    if (lock_->tryLock(0))
        return Result::Acquired;
    if (lock_->error() == QLockFile::LockFailedError) {
        qint64 pid = 0;
        QString host, application;
        if (lock_->getLockInfo(&pid, &host, &application) && pid > 0 &&
            ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH && lock_->removeStaleLockFile() &&
            lock_->tryLock(0))
            return Result::Acquired;
        return Result::AlreadyRunning;
    }
    return Result::Failed;
}

} // namespace parlomar
