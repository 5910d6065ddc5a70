#include "app/SingleInstance.h"

#include "settings/Paths.h"

#include <QDir>
#include <QFile>
#include <QLockFile>

#include <sys/stat.h>

#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace parlomar {

SingleInstanceGuard::SingleInstanceGuard(const QString& folder) {
    const QString base = folder.isEmpty() ? QString::fromStdString(PrivateRuntimeFolder().string()) : folder;
    if (!base.isEmpty())
        path_ = QDir(base).filePath(
            QStringLiteral("ParlomarClient-%1.lock").arg(static_cast<qulonglong>(getuid())));
}

SingleInstanceGuard::~SingleInstanceGuard() = default;

SingleInstanceGuard::Result SingleInstanceGuard::Acquire() {
    if (path_.isEmpty())
        return Result::Failed; // no folder of this user's own to hold the lock
    // Only a lock file of this user's counts: anything else in its place (another user's file, a
    // link, a folder) says nothing about a running instance and is taken away.
    const QByteArray native = QFile::encodeName(path_);
    struct stat st {};
    if (::lstat(native.constData(), &st) == 0 && (!S_ISREG(st.st_mode) || st.st_uid != geteuid()) &&
        ::unlink(native.constData()) != 0)
        return Result::Failed;
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
