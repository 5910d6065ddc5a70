// A skin switch in the settings dialog with the real main window (offscreen) signed in to the
// stand-in server and 10,000 accounts listed: from choosing the other shipped skin (or switching
// skins off and on again) until the main window and the dialog are repainted in it. Each choice
// reads its package afresh. Counter: maxrss_MB is the process's peak resident size so far.
#include "GuiBench.h"
#include "core/settings/IniFile.h"
#include "core/settings/Localization.h"
#include "core/settings/Paths.h"
#include "gui/settings/CustUnit.h"
#include "gui/skins/BitCheckBox.h"
#include "gui/skins/Controls.h"
#include "gui/skins/SkinedStringGrid.h"
#include "gui/skins/Skins.h"

#include <QApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

namespace {

using namespace parlomar;

using bench::AcceptingUi;

using bench::MaxRssMb;

// The main window signed in with 10,000 accounts listed and the settings dialog open on its Skins
// page, Daylight active.
struct Session {
    QTemporaryDir folder;
    standin_test::TempDir data;
    std::unique_ptr<standin_test::StandinProcess> server;
    std::shared_ptr<AcceptingUi> ui = std::make_shared<AcceptingUi>();
    std::unique_ptr<TParlomarClientMainForm> form;
    std::unique_ptr<TCustForm> dialog;

    Session() {
        bench::UseProgramFolder(folder.path(),
                                "[General]\nShowTray=0\nUntrustedCert=1\n[SKINS]\nCurrent=Daylight\n");
        std::filesystem::create_directories(SkinsFolder());
        for (const char* skin : {"Daylight", "Graphite"})
            std::filesystem::copy_file(std::string(PARLOMAR_PROGRAM_DIR) + "/skins/" + skin + ".zip",
                                       SkinsFolder() / (std::string(skin) + ".zip"));
        server = std::make_unique<standin_test::StandinProcess>(data.Path(),
                                                                std::vector<std::string>{"--seed", "10000"});
        SetTransportUi(ui);
        form = std::make_unique<TParlomarClientMainForm>();
        ui->SetMainForm(form.get());
        form->resize(800, 700);
        form->show();
        bench::SignIn(*form, server->Port());
        WaitIdle();
        form->Listaccounts1Click();
        WaitIdle();
        dialog = std::make_unique<TCustForm>(form.get(), kSkinsPage);
        dialog->Calls.skinChanged = [this] { form->SkinChanged(); };
        dialog->show();
    }
    ~Session() {
        dialog.reset();
        form.reset();
        SetTransportUi(nullptr);
    }
    void WaitIdle() {
        while (form->FetchRunning() || form->ListBuildRunning())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    void Repaint() {
        form->repaint();
        form->AccList->viewport()->repaint();
        dialog->repaint();
    }
};

Session& TheSession() {
    static auto session = std::make_unique<Session>();
    return *session;
}

void BM_ChooseOtherSkin(benchmark::State& state) {
    Session& session = TheSession();
    int row = 0;
    for (auto _ : state) {
        row = 1 - row; // Graphite, Daylight, Graphite ...
        session.dialog->SkinsCombo->setCurrentRow(row);
        session.dialog->SkinsComboClick();
        session.Repaint();
    }
    if (session.form->AccList->VisibleRowCount() != 10000 || !SkinActive())
        state.SkipWithError("the list or the skin went missing");
    state.counters["maxrss_MB"] = MaxRssMb();
}

void BM_SkinsOffAndOn(benchmark::State& state) {
    Session& session = TheSession();
    for (auto _ : state) {
        session.dialog->EnableSkinsCheck->click(); // off: plain look, platform frame
        session.Repaint();
        session.dialog->EnableSkinsCheck->click(); // on: the first package, skin frame
        session.Repaint();
    }
    state.counters["maxrss_MB"] = MaxRssMb();
}

BENCHMARK(BM_ChooseOtherSkin)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);
BENCHMARK(BM_SkinsOffAndOn)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

} // namespace

int main(int argc, char** argv) {
    return parlomar::bench::RunWindowBenchmarks(argc, argv);
}
