#include "GuiTestSupport.h"

#include "core/server/HttpTransport.h"
#include "core/settings/Localization.h"
#include "core/settings/Paths.h"
#include "core/skins/SkinPackage.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QProcess>
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
    ui = std::make_shared<AnsweringUi>();
    SetTransportUi(ui);
}

void WindowTest::cleanup() {
    SetTransportUi(nullptr);
}

int FreePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t size = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    close(fd);
    return ntohs(address.sin_port);
}

QString Status(int n, const std::string& suffix) {
    return QString::fromStdString(StatusText(n) + " " + suffix);
}

bool TakingShots() {
    return !qEnvironmentVariableIsEmpty("PARLOMAR_SCREENSHOTS") &&
           QGuiApplication::platformName() == QLatin1String("xcb");
}

void SaveShot(QWidget* window, const QString& name) {
    window->raise();
    QTest::qWait(300);
    const QString path = qEnvironmentVariable("PARLOMAR_SCREENSHOTS") + QLatin1Char('/') + name;
    QVERIFY(window->grab().save(path));
}

void ShootScreen(QWidget* window, const QString& name, QWidget* also) {
    QTest::qWait(400);
    QApplication::processEvents();
    const QRect area = also ? window->frameGeometry().united(also->frameGeometry()) : window->frameGeometry();
    const QString crop =
        QStringLiteral("%1x%2+%3+%4").arg(area.width()).arg(area.height()).arg(area.x()).arg(area.y());
    const QString path = qEnvironmentVariable("PARLOMAR_SCREENSHOTS") + QLatin1Char('/') + name;
    QProcess::execute(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"),
                                                 QStringLiteral("-crop"), crop, path});
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
