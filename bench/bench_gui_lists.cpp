// The account list in the real main window (offscreen) against the stand-in server seeded with
// 10,000 and 100,000 accounts: from "List accounts" to the sorted grid shown, one keystroke of the
// local filter, one heading-click sort. Counters: max_gui_stall_ms is the longest gap between the
// ticks of a 10 ms timer on the GUI thread while the list arrives and is built; maxrss_MB is the
// process's peak resident size so far.
//
// The baseline, measured in the same run against the same server: the same reply fetched by the
// curl program (TLS on loopback, the same credentials) plus one streaming pass of xmllint over the
// saved reply. BM_ListAccountsToSortedGrid lists three times in a row and reports
// ratio_to_baseline = its time / that sum and ratio_to_fetch = its time / the curl fetch alone;
// maxrss_MB after it is the peak of the three listings (the 10,000 run before it included).
#include "StandinProcess.h"
#include "core/settings/Localization.h"
#include "core/settings/Paths.h"
#include "gui/app/GuiTransportUi.h"
#include "gui/app/MainUnit.h"
#include "gui/skins/ButtonEdit.h"
#include "gui/skins/Controls.h"
#include "gui/skins/SkinedStringGrid.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
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
    // Waits for the sign-in, the fetches and the list builds in the event loop as the program does (a busy
    // loop here would take a core from the fetch); a timer wakes it now and then in case the end came without
    // an event.
    void WaitIdle() {
        QTimer wake;
        wake.start(20);
        while (form->RequestRunning() || form->FetchRunning() || form->ListBuildRunning()) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            if (!form->FetchRunning() && replyAt < 0 && listing.isValid())
                replyAt = listing.elapsed(); // the reply is in: what follows is the list build
        }
    }
    QElapsedTimer listing;
    qint64 replyAt = -1;
    // The time from the last byte of the reply to the painted grid, summed over the listings.
    double afterReplyMs = 0;
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
        listing.start();
        replyAt = -1;
        form->Listaccounts1Click();
        WaitIdle();
        form->AccList->viewport()->repaint();
        if (replyAt >= 0)
            afterReplyMs += static_cast<double>(listing.elapsed() - replyAt);
        listing.invalidate();
        maxGap = std::max(maxGap, sinceTick.elapsed());
        return static_cast<double>(maxGap);
    }
};

// Runs a program to its end; its run time in ms, or -1 when it did not run or failed.
double RunTimed(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        return -1;
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

// The baseline of each size (ms): curl fetch + xmllint --stream.
std::map<int, double>& Baselines() {
    static std::map<int, double> baselines;
    return baselines;
}

// The curl fetch alone of each size (ms).
std::map<int, double>& FetchBaselines() {
    static std::map<int, double> baselines;
    return baselines;
}

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

void BM_CurlFetchPlusXmllintStream(benchmark::State& state) {
    Session& session = SessionFor(static_cast<int>(state.range(0)));
    const QString reply = session.folder.filePath(QStringLiteral("reply.xml"));
    const QString url = QStringLiteral("https://127.0.0.1:%1/xml-api/listaccts?searchtype=user&search=")
                            .arg(session.server->Port());
    const QString credentials = QString::fromUtf8(standin_test::kUser) + QLatin1Char(':') +
                                QString::fromUtf8(standin_test::kPassword);
    double fetch = 0, parse = 0;
    for (auto _ : state) {
        const double fetched = RunTimed(
            QStringLiteral("curl"), {QStringLiteral("-sSk"), QStringLiteral("--http1.0"),
                                     QStringLiteral("-u"), credentials, QStringLiteral("-o"), reply, url});
        const double parsed = RunTimed(QStringLiteral("xmllint"),
                                       {QStringLiteral("--stream"), QStringLiteral("--noout"), reply});
        if (fetched < 0 || parsed < 0) {
            state.SkipWithError("curl or xmllint did not run (scripts/install-deps installs them)");
            return;
        }
        fetch += fetched;
        parse += parsed;
        state.SetIterationTime((fetched + parsed) / 1000.0);
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["curl_ms"] = fetch / runs;
    state.counters["xmllint_stream_ms"] = parse / runs;
    state.counters["reply_MB"] = static_cast<double>(QFileInfo(reply).size()) / (1024.0 * 1024.0);
    Baselines()[static_cast<int>(state.range(0))] = (fetch + parse) / runs;
    FetchBaselines()[static_cast<int>(state.range(0))] = fetch / runs;
}

void BM_ListAccountsToSortedGrid(benchmark::State& state) {
    Session& session = SessionFor(static_cast<int>(state.range(0)));
    double stall = 0;
    session.afterReplyMs = 0;
    QElapsedTimer timer;
    timer.start();
    for (auto _ : state)
        stall = std::max(stall, session.ListAccounts());
    const double each =
        static_cast<double>(timer.nsecsElapsed()) / 1e6 / static_cast<double>(state.iterations());
    if (const auto it = Baselines().find(static_cast<int>(state.range(0))); it != Baselines().end())
        state.counters["ratio_to_baseline"] = each / it->second;
    if (const auto it = FetchBaselines().find(static_cast<int>(state.range(0))); it != FetchBaselines().end())
        state.counters["ratio_to_fetch"] = each / it->second;
    const int rows = session.form->AccList->VisibleRowCount();
    if (rows != state.range(0))
        state.SkipWithError("the grid does not show every account");
    state.counters["rows"] = rows;
    state.counters["after_reply_ms"] = session.afterReplyMs / static_cast<double>(state.iterations());
    state.counters["max_gui_stall_ms"] = stall;
    state.counters["maxrss_MB"] = MaxRssMb();
}

void BM_FilterKeystroke(benchmark::State& state) {
    Session& session = SessionFor(static_cast<int>(state.range(0)));
    if (session.form->AccList->ShownList != 1)
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
    if (session.form->AccList->ShownList != 1)
        session.ListAccounts();
    for (auto _ : state) {
        session.form->AccListHeaderClick(2); // domain, ascending and descending in turn
        session.form->AccList->viewport()->repaint();
    }
    state.counters["maxrss_MB"] = MaxRssMb();
}

// One size at a time: the sign-in values are the process's, so one session lives at once.
BENCHMARK(BM_CurlFetchPlusXmllintStream)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);
BENCHMARK(BM_ListAccountsToSortedGrid)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK(BM_FilterKeystroke)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_HeaderClickSort)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CurlFetchPlusXmllintStream)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);
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
