// Program entry: the single-instance guard, the main window and the event loop.

#include "app/CommandChannel.h"
#include "app/GuiTransportUi.h"
#include "app/MainUnit.h"
#include "app/SingleInstance.h"
#include "settings/Captions.h"
#include "settings/Paths.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ParlomarClient"));
    QApplication::setQuitOnLastWindowClosed(false); // the window may live on in the tray
    parlomar::SetProgramFolder(parlomar::ExecutableFolder());

    parlomar::SingleInstanceGuard guard;
    switch (guard.Acquire()) {
    case parlomar::SingleInstanceGuard::Result::Acquired:
        break;
    case parlomar::SingleInstanceGuard::Result::AlreadyRunning: {
        const QString text = QString::fromUtf8(parlomar::kAlreadyRunningText);
        std::fprintf(stderr, "%s\n", parlomar::kAlreadyRunningText);
        QMessageBox box(QMessageBox::Warning, QStringLiteral("ParlomarClient"), text, QMessageBox::Ok);
        box.setTextFormat(Qt::PlainText);
        if (std::getenv("PARLOMAR_REPORT")) { // scripted runs: the box is shown, then closed at once
            std::printf("already running\n");
            std::fflush(stdout);
            QTimer::singleShot(200, &box, &QMessageBox::accept);
        }
        box.exec();
        return 0;
    }
    case parlomar::SingleInstanceGuard::Result::Failed:
        return 1;
    }

    auto ui = std::make_shared<parlomar::GuiTransportUi>();
    parlomar::SetTransportUi(ui);
    int result = 0;
    {
        parlomar::TParlomarClientMainForm form;
        ui->SetMainForm(&form);
        form.ShowMainWindow();
        if (std::getenv("PARLOMAR_REPORT")) // scripted runs also take commands on standard input
            parlomar::ListenForCommands(&form);
        result = QApplication::exec();
        ui->BeginShutdown();
    }
    parlomar::SetTransportUi(nullptr);
    return result;
}
