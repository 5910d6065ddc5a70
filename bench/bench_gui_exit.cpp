// Exit while signed in against a stalled server: the real main window (offscreen), signed in to the
// stand-in server, then "Exit" with the server stalled in one of two ways:
// - stall_fault: the stand-in's stall switch holds every reply after its headers (a list fetch is
//   running when the operator exits, and the sign-out request at exit stalls too);
// - frozen: the server process is stopped (SIGSTOP): connections are accepted by the system and
//   nothing more happens;
// - bulk_stall: an action on all 40 accounts runs, its request in flight held by the stall switch.
// The time is that of the exit itself, from "Exit" to the window's teardown done.
#include "GuiBench.h"
#include "gui/skins/SkinedStringGrid.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

namespace {

using namespace parlomar;

using bench::AcceptingUi;

void Pump(int ms) {
    QElapsedTimer since;
    since.start();
    while (since.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

enum class Stall { Fault, Frozen, Bulk };

// Signs in, stalls the server, and returns the seconds "Exit" takes.
double ExitWhileStalled(Stall stall) {
    QTemporaryDir folder;
    bench::UseProgramFolder(folder.path(), "[General]\nShowTray=0\nUntrustedCert=1\n");
    standin_test::TempDir data;
    standin_test::StandinProcess server(data.Path(), {"--seed", "demo"});
    auto ui = std::make_shared<AcceptingUi>();
    SetTransportUi(ui);
    double seconds = 0;
    {
        TParlomarClientMainForm form;
        ui->SetMainForm(&form);
        form.show();
        bench::SignIn(form, server.Port());
        while (form.FetchRunning() || form.ListBuildRunning())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (stall == Stall::Fault) {
            standin_test::RequestOptions options;
            standin_test::Get(server.Url("/standin/faults?stall_after=0&stall_ms=120000"), options);
            form.Listaccounts1Click();
            Pump(300); // the list fetch waits for its reply
        } else if (stall == Stall::Bulk) {
            form.Listaccounts1Click();
            while (form.FetchRunning() || form.ListBuildRunning())
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            standin_test::RequestOptions options;
            standin_test::Get(server.Url("/standin/faults?stall_after=0&stall_ms=120000"), options);
            form.AccList->selectAll();
            ui->answer = true;
            form.Suspendselected1Click();
            Pump(300); // the first request waits for its reply
        } else {
            kill(server.Pid(), SIGSTOP);
        }
        QElapsedTimer exit;
        exit.start();
        form.Exit1Click();
        seconds = static_cast<double>(exit.nsecsElapsed()) / 1e9;
        if (stall == Stall::Frozen)
            kill(server.Pid(), SIGCONT);
    }
    SetTransportUi(nullptr);
    return seconds;
}

void BM_ExitWhileSignedIn(benchmark::State& state) {
    const Stall stall = static_cast<Stall>(state.range(0));
    for (auto _ : state)
        state.SetIterationTime(ExitWhileStalled(stall));
    state.SetLabel(stall == Stall::Fault ? "stall_fault" : stall == Stall::Frozen ? "frozen" : "bulk_stall");
}

BENCHMARK(BM_ExitWhileSignedIn)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);

} // namespace

int main(int argc, char** argv) {
    return parlomar::bench::RunWindowBenchmarks(argc, argv);
}
