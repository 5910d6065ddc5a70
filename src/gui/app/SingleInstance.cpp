#include "gui/app/SingleInstance.h"

#include "core/settings/Paths.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>

#include <sys/stat.h>

#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace parlomar {

namespace {
constexpr char kShowRequest[] = "show\n";
constexpr char kShownReply[] = "shown\n";
} // namespace

SingleInstanceGuard::SingleInstanceGuard(const QString& folder) {
    const QString base = folder.isEmpty() ? QString::fromStdString(PrivateRuntimeFolder().string()) : folder;
    if (base.isEmpty())
        return; // no folder of this user's own: Acquire fails
    const auto uid = static_cast<qulonglong>(getuid());
    path_ = QDir(base).filePath(QStringLiteral("ParlomarClient-%1.lock").arg(uid));
    socketPath_ = QDir(base).filePath(QStringLiteral("ParlomarClient-%1.socket").arg(uid));
}

SingleInstanceGuard::~SingleInstanceGuard() {
    StopListening();
}

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

bool SingleInstanceGuard::Listen(std::function<void()> show) {
    StopListening();
    // Holding the lock, this instance is the only one that may own the socket: one an instance left
    // behind (a crash) is removed first.
    QLocalServer::removeServer(socketPath_);
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(socketPath_)) {
        server_.reset();
        return false;
    }
    QLocalServer* server = server_.get();
    QObject::connect(server, &QLocalServer::newConnection, server, [server, show] {
        while (QLocalSocket* client = server->nextPendingConnection()) {
            QObject::connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            QObject::connect(client, &QLocalSocket::readyRead, client, [client, show] {
                // Only the one request is understood; anything else (or more than a line) is dropped.
                if (!client->canReadLine()) {
                    if (client->bytesAvailable() > 64)
                        client->abort();
                    return;
                }
                const QByteArray line = client->readLine(64);
                if (line == kShowRequest) {
                    show();
                    client->write(kShownReply);
                    client->flush();
                }
                client->disconnectFromServer();
            });
        }
    });
    return true;
}

void SingleInstanceGuard::StopListening() {
    if (server_) {
        server_->close();
        server_.reset();
    }
}

bool SingleInstanceGuard::AskToShow(int timeoutMs) const {
    QLocalSocket socket;
    QDeadlineTimer deadline(timeoutMs);
    socket.connectToServer(socketPath_);
    if (!socket.waitForConnected(static_cast<int>(deadline.remainingTime())))
        return false;
    socket.write(kShowRequest);
    if (!socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime())))
        return false;
    QByteArray reply;
    while (!reply.contains('\n') && reply.size() < 64 && !deadline.hasExpired()) {
        if (!socket.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
            break;
        reply += socket.readAll();
    }
    return reply == kShownReply;
}

} // namespace parlomar
