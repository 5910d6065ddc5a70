// Program entry: the file locations, the command line, the single-instance guard, the main window and
// the event loop.

#include "core/CommandLine.h"
#include "core/settings/Paths.h"
#include "gui/app/CommandChannel.h"
#include "gui/app/GuiTransportUi.h"
#include "gui/app/MainUnit.h"
#include "gui/app/SingleInstance.h"
#include "gui/settings/Captions.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

int main(int argc, char* argv[]) {
    const std::filesystem::path programFolder = parlomar::ExecutableFolder();
    parlomar::UseFileLocations(parlomar::ResolveFileLocations(
        programFolder, parlomar::FolderWritable(programFolder), parlomar::UserFolders()));

    // The command line is answered before anything needs a display.
    const parlomar::TCommandLine command = parlomar::ParseCommandLine({argv + 1, argv + argc});
    switch (command.action) {
    case parlomar::TCommandLine::Action::Run:
        break;
    case parlomar::TCommandLine::Action::Help:
    case parlomar::TCommandLine::Action::Version:
        std::fputs(command.text.c_str(), stdout);
        return 0;
    case parlomar::TCommandLine::Action::Refuse:
        std::fputs(command.text.c_str(), stderr);
        return 2;
    }
    if (const auto problem = parlomar::PrepareSettingsFile())
        std::fprintf(stderr, "ParlomarClient: %s\n", problem->c_str());

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ParlomarClient"));
    QGuiApplication::setDesktopFileName(QStringLiteral(PARLOMAR_APP_ID)); // the desktop entry's name
    QApplication::setQuitOnLastWindowClosed(false); // the window may live on in the tray

    parlomar::SingleInstanceGuard guard; // in the user's private runtime folder
    switch (guard.Acquire()) {
    case parlomar::SingleInstanceGuard::Result::Acquired:
        break;
    case parlomar::SingleInstanceGuard::Result::AlreadyRunning: {
        // The running instance shows its window (from the tray too); this one ends. The message only
        // when that window cannot be reached.
        const bool shown = guard.AskToShow();
        if (std::getenv("PARLOMAR_REPORT")) {
            std::printf(shown ? "already running, brought to the front\n" : "already running\n");
            std::fflush(stdout);
        }
        if (shown)
            return 0;
        const QString text = QString::fromUtf8(parlomar::kAlreadyRunningText);
        std::fprintf(stderr, "%s\n", parlomar::kAlreadyRunningText);
        QMessageBox box(QMessageBox::Warning, QStringLiteral("ParlomarClient"), text, QMessageBox::Ok);
        box.setTextFormat(Qt::PlainText);
        if (std::getenv("PARLOMAR_REPORT")) // scripted runs: the box is shown, then closed at once
            QTimer::singleShot(200, &box, &QMessageBox::accept);
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
        QPointer<parlomar::TParlomarClientMainForm> window(&form);
        guard.Listen([window] {
            if (window)
                window->BringToFront();
        });
        if (std::getenv("PARLOMAR_REPORT")) // scripted runs also take commands on standard input
            parlomar::ListenForCommands(&form);
        result = QApplication::exec();
        ui->BeginShutdown();
        guard.StopListening();
    }
    parlomar::SetTransportUi(nullptr);
    return result;
}
