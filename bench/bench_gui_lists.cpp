// The account list in the real main window (offscreen) against the stand-in server seeded with
// 10,000 and 100,000 accounts: from "List accounts" to the sorted grid shown, one keystroke of the
// local filter, one heading-click sort. Counters: max_gui_stall_ms is the longest gap between the
// ticks of a 10 ms timer on the GUI thread while the list arrives and is built; maxrss_MB is the
// process's peak resident size so far.
#include "StandinProcess.h"
#include "app/GuiTransportUi.h"
#include "app/MainUnit.h"
#include "settings/Localization.h"
#include "settings/Paths.h"
#include "skins/ButtonEdit.h"
#include "skins/Controls.h"
#include "skins/SkinedStringGrid.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

namespace {

using namespace parlomar;

class AcceptingUi : public GuiTransportUi {
protected:
    void ShowMessageOnGui(const std::string& text) override {
        std::fprintf(stderr, "message: %s\n", text.c_str());
    }
    bool AskQuestionOnGui(const std::string&) override { return false; }
    bool AskCertificateOnGui(const CertificateInfo&) override { return true; }
};

double MaxRssMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// One stand-in server with N accounts and a signed-in main window, kept for all benchmarks of N.
struct Session {
    QTemporaryDir folder;
    standin_test::TempDir data;
    std::unique_ptr<standin_test::StandinProcess> server;
    std::shared_ptr<AcceptingUi> ui = std::make_shared<AcceptingUi>();
    std::unique_ptr<TParlomarClientMainForm> form;

    explicit Session(int accounts) {
        SetProgramFolder(folder.path().toStdString());
        std::filesystem::create_directories(LanguageFile().parent_path());
        std::filesystem::copy_file(std::string(PARLOMAR_SOURCE_DIR) + "/data/Localization/English.lng",
                                   LanguageFile());
        std::ofstream(SettingsFile()) << "[General]\nShowTray=0\nUntrustedCert=1\n";
        ResetLanguageGlobals();
        server = std::make_unique<standin_test::StandinProcess>(
            data.Path(), std::vector<std::string>{"--seed", std::to_string(accounts)});
        SetTransportUi(ui);
        form = std::make_unique<TParlomarClientMainForm>();
        ui->SetMainForm(form.get());
        form->resize(800, 700);
        form->show();
        form->IPEdit->setText(QStringLiteral("127.0.0.1"));
        form->PortEdit->setText(QString::number(server->Port()));
        form->LoginEdit->setText(QString::fromUtf8(standin_test::kUser));
        form->PswEdit->setText(QString::fromUtf8(standin_test::kPassword));
        form->LoginButtonClick();
        WaitIdle();
    }
    ~Session() {
        form.reset();
        SetTransportUi(nullptr);
    }
    void WaitIdle() {
        while (form->FetchRunning() || form->ListBuildRunning())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    // "List accounts" until the sorted grid is painted; returns the longest GUI-thread stall in ms.
    double ListAccounts() {
        QElapsedTimer sinceTick;
        sinceTick.start();
        qint64 maxGap = 0;
        QTimer ticker;
        ticker.setInterval(10);
        QObject::connect(&ticker, &QTimer::timeout, &ticker,
                         [&] { maxGap = std::max(maxGap, sinceTick.restart()); });
        ticker.start();
        form->Listaccounts1Click();
        WaitIdle();
        form->AccList->viewport()->repaint();
        maxGap = std::max(maxGap, sinceTick.elapsed());
        return static_cast<double>(maxGap);
    }
};

std::map<int, std::unique_ptr<Session>>& Sessions() {
    static std::map<int, std::unique_ptr<Session>> sessions;
    return sessions;
}

Session& SessionFor(int accounts) {
    if (!Sessions().count(accounts))
        Sessions().clear();
    auto& session = Sessions()[accounts];
    if (!session)
        session = std::make_unique<Session>(accounts);
    return *session;
}

void BM_ListAccountsToSortedGrid(benchmark::State& state) {
    Session& session = SessionFor(static_cast<int>(state.range(0)));
    double stall = 0;
    for (auto _ : state)
        stall = std::max(stall, session.ListAccounts());
    const int rows = session.form->AccList->VisibleRowCount();
    if (rows != state.range(0))
        state.SkipWithError("the grid does not show every account");
    state.counters["rows"] = rows;
    state.counters["max_gui_stall_ms"] = stall;
    state.counters["maxrss_MB"] = MaxRssMb();
}

void BM_FilterKeystroke(benchmark::State& state) {
    Session& session = SessionFor(static_cast<int>(state.range(0)));
    if (session.form->AccList->ListMode != 1)
        session.ListAccounts();
    TButtonEdit* box = session.form->QueryEdit;
    for (auto _ : state) {
        box->setText(QStringLiteral("c")); // one letter typed: hides every domain not starting with it
        session.form->AccList->viewport()->repaint();
        state.PauseTiming();
        box->clear();
        state.ResumeTiming();
    }
    state.counters["maxrss_MB"] = MaxRssMb();
}

void BM_HeaderClickSort(benchmark::State& state) {
    Session& session = SessionFor(static_cast<int>(state.range(0)));
    if (session.form->AccList->ListMode != 1)
        session.ListAccounts();
    for (auto _ : state) {
        session.form->AccListHeaderClick(2); // domain, ascending and descending in turn
        session.form->AccList->viewport()->repaint();
    }
    state.counters["maxrss_MB"] = MaxRssMb();
}

// One size at a time: the sign-in values are the process's, so one session lives at once.
BENCHMARK(BM_ListAccountsToSortedGrid)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK(BM_FilterKeystroke)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_HeaderClickSort)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ListAccountsToSortedGrid)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK(BM_FilterKeystroke)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_HeaderClickSort)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    Sessions().clear();
    return 0;
}
