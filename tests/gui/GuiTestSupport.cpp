#include "GuiTestSupport.h"

#include "core/server/GetXMLThreadUnit.h"
#include "core/server/HttpTransport.h"
#include "core/settings/Localization.h"
#include "core/settings/Paths.h"
#include "core/skins/SkinPackage.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QToolTip>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

namespace parlomar::test {

namespace {
void WriteFile(const std::filesystem::path& path, const std::string& text) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}
std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}
} // namespace

void WindowTest::init() {
    ResetFetchShutdown(); // a main window of an earlier test ended the fetches when it went
    ui = std::make_shared<AnsweringUi>();
    SetTransportUi(ui);
}

void WindowTest::cleanup() {
    SetTransportUi(nullptr);
}

QString Status(int n, const std::string& suffix) {
    return QString::fromStdString(StatusText(n) + " " + suffix);
}

int ShownHintWidth(QWidget* widget, const QPoint& at) {
    QHelpEvent event(QEvent::ToolTip, at, widget->mapToGlobal(at));
    QApplication::sendEvent(widget, &event);
    int width = -1;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top->inherits("QTipLabel") && top->isVisible())
            width = top->width();
    QToolTip::hideText();
    return width;
}

ProgramFolder::ProgramFolder() {
    SetProgramFolder(dir_.path().toStdString());
    ResetLanguageGlobals();
    CurrentSkin = std::string(NoSkin);
}

ProgramFolder::~ProgramFolder() {
    ResetLanguageGlobals();
}

void ProgramFolder::WriteLanguage(const std::string& text) {
    WriteFile(LanguageFile(), text);
}

void ProgramFolder::WriteSettings(const std::string& text) {
    WriteFile(SettingsFile(), text);
}

std::string ProgramFolder::Settings() const {
    return ReadFile(SettingsFile());
}

std::string ProgramFolder::Language() const {
    return ReadFile(LanguageFile());
}

} // namespace parlomar::test
