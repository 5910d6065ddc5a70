#pragma once

// Shared pieces of the benchmarks that drive real windows (offscreen) against the stand-in server.

#include "StandinProcess.h"
#include "core/settings/Localization.h"
#include "core/settings/Paths.h"
#include "gui/app/GuiTransportUi.h"
#include "gui/app/MainUnit.h"
#include "gui/skins/ButtonEdit.h"
#include "gui/skins/Controls.h"

#include <QApplication>
#include <QString>

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace parlomar::bench {

// The GUI seam of a benchmark: messages go to stderr, certificates are accepted, every question
// gets `answer`.
class AcceptingUi : public GuiTransportUi {
public:
    bool answer = false;

protected:
    void ShowMessageOnGui(const std::string& text) override {
        std::fprintf(stderr, "message: %s\n", text.c_str());
    }
    bool AskQuestionOnGui(const std::string&) override { return answer; }
    bool AskCertificateOnGui(const CertificateInfo&) override { return true; }
};

// The process's peak resident size so far, in MB.
inline double MaxRssMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// Makes `folder` the program folder with the shipped language file and the settings text.
inline void UseProgramFolder(const QString& folder, const std::string& settings) {
    SetProgramFolder(folder.toStdString());
    std::filesystem::create_directories(LanguageFile().parent_path());
    std::filesystem::copy_file(std::string(PARLOMAR_SOURCE_DIR) + "/data/Localization/English.lng",
                               LanguageFile());
    std::ofstream(SettingsFile()) << settings;
    ResetLanguageGlobals();
}

// Types the stand-in's sign-in values and presses the sign-in button.
inline void SignIn(TParlomarClientMainForm& form, int port) {
    form.IPEdit->setText(QStringLiteral("127.0.0.1"));
    form.PortEdit->setText(QString::number(port));
    form.LoginEdit->setText(QString::fromUtf8(standin_test::kUser));
    form.PswEdit->setText(QString::fromUtf8(standin_test::kPassword));
    form.LoginButtonClick();
}

// The main of a window benchmark: the offscreen platform unless another is asked for.
inline int RunWindowBenchmarks(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace parlomar::bench
