#include "GuiTestSupport.h"

#include "settings/Localization.h"
#include "settings/Paths.h"
#include "skins/SkinPackage.h"

#include <QApplication>
#include <QHelpEvent>
#include <QToolTip>

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
