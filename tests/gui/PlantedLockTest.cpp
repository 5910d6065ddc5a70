// The single-instance lock: a lock file that is not this user's own never keeps the program from
// starting, while a live lock of this user's still does.

#include "TestRegistry.h"
#include "gui/app/SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace parlomar;

class PlantedLockTest : public QObject {
    Q_OBJECT

private slots:
    void OnlyTheUsersOwnLiveLockMeansRunning() {
        QTemporaryDir folder;
        SingleInstanceGuard guard(folder.path());
        const QByteArray lockPath = QFile::encodeName(guard.LockPath());
        // A lock naming a process that runs (this one), as a running instance leaves it.
        const QByteArray live = QByteArray::number(qint64(getpid())) + "\nParlomarClient\n" +
                                QSysInfo::machineHostName().toUtf8() + "\n";
        const auto plant = [&](const QString& path) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(live);
        };

        // A link to another file with that content.
        plant(folder.filePath(QStringLiteral("elsewhere")));
        QVERIFY(QFile::link(folder.filePath(QStringLiteral("elsewhere")), guard.LockPath()));
        QCOMPARE(guard.Acquire(), SingleInstanceGuard::Result::Acquired);
        QCOMPARE(QFile(folder.filePath(QStringLiteral("elsewhere"))).size(),
                 qint64(live.size())); // left alone

        // This user's own live lock: already running.
        SingleInstanceGuard second(folder.path());
        QCOMPARE(second.Acquire(), SingleInstanceGuard::Result::AlreadyRunning);

        // The same file, but another user's (only root can make one): not a lock of this user.
        if (geteuid() == 0) {
            SingleInstanceGuard planted(folder.path() + QStringLiteral("/planted"));
            QVERIFY(QDir().mkdir(folder.path() + QStringLiteral("/planted")));
            plant(planted.LockPath());
            QCOMPARE(chown(QFile::encodeName(planted.LockPath()).constData(), 65534, 65534), 0);
            QCOMPARE(planted.Acquire(), SingleInstanceGuard::Result::Acquired);
        }
    }
};

static test::RegisterTest<PlantedLockTest> registerPlantedLockTest;

#include "PlantedLockTest.moc"
