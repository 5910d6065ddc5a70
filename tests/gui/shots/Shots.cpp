#include "Shots.h"

#include <QApplication>
#include <QProcess>
#include <QTest>
#include <QWidget>

namespace parlomar::test {

QString ShotsFolder() {
    return qEnvironmentVariable("PARLOMAR_SCREENSHOTS") + QLatin1Char('/');
}

void SaveShot(QWidget* window, const QString& name) {
    window->raise();
    QTest::qWait(300);
    QVERIFY(window->grab().save(ShotsFolder() + name));
}

void ShootScreen(QWidget* window, const QString& name, QWidget* also) {
    QTest::qWait(400);
    QApplication::processEvents();
    const QRect area = also ? window->frameGeometry().united(also->frameGeometry()) : window->frameGeometry();
    const QString crop =
        QStringLiteral("%1x%2+%3+%4").arg(area.width()).arg(area.height()).arg(area.x()).arg(area.y());
    QCOMPARE(
        QProcess::execute(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"),
                                                     QStringLiteral("-crop"), crop, ShotsFolder() + name}),
        0);
}

} // namespace parlomar::test
