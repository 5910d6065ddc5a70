// The traceroute window and the main window's timer flow, with a fake traceroute on PATH that
// replays recorded output slowly, and one run of the real traceroute against 127.0.0.1.

#include "TestRegistry.h"
#include "TraceTestSupport.h"
#include "WindowsTestSupport.h"
#include "core/accounts/AccountList.h"
#include "core/tools/TraceCommand.h"
#include "gui/app/MainUnit.h"
#include "gui/skins/Controls.h"
#include "gui/skins/SkinButton.h"
#include "gui/skins/SkinedStringGrid.h"
#include "gui/tools/TracertUnit.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QProgressBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <set>
#include <unistd.h>

using namespace parlomar;
using test::FakeTraceroute;
using test::Lines;
using test::Recorded;
using test::TraceEnds;

namespace {

// Live processes of a trace: our children called "traceroute", and members of the trace's process
// group (what a command started of its own).
int TraceProcesses(pid_t group) {
    int count = 0;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile file(QStringLiteral("/proc/") + entry + QStringLiteral("/stat"));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const std::string stat = file.readAll().toStdString(); // empty when the process just went
        const size_t open = stat.find('('), close = stat.rfind(')');
        if (open == std::string::npos || close == std::string::npos)
            continue;
        const std::string comm = stat.substr(open + 1, close - open - 1);
        char state = 0;
        long ppid = 0, pgrp = 0;
        if (std::sscanf(stat.c_str() + close + 1, " %c %ld %ld", &state, &ppid, &pgrp) != 3 || state == 'Z')
            continue;
        if ((ppid == getpid() && comm == "traceroute") || (group > 0 && pgrp == group))
            ++count;
    }
    return count;
}

// The command of a trace is gone at once (reaped); what it started itself dies with its group
// within moments (a kill is delivered, not awaited).
bool TraceGone(pid_t pid) {
    return TraceProcesses(-1) == 0 && QTest::qWaitFor([&] { return TraceProcesses(pid) == 0; }, 2000);
}

QColor PixelOfRow(TTracertForm& form, int viewRow) {
    const QRect cell = form.Grid->visualRect(form.Grid->model()->index(viewRow, 3));
    return form.Grid->viewport()->grab().toImage().pixelColor(cell.center() +
                                                              QPoint(cell.width() / 2 - 2, 0));
}

} // namespace

class TracerouteTest : public test::WindowTest {
    Q_OBJECT

private slots:
    void RowsArriveInStepsWhileTheCommandRuns() {
        test::ShippedProgramFolder folder;
        std::vector<std::string> pieces = Lines(Recorded("linux_route.txt"));
        // Hop 4 arrives cut in two, the second half a tick later.
        const std::string hop4 = pieces[4];
        pieces[4] = hop4.substr(0, 20);
        pieces.insert(pieces.begin() + 5, hop4.substr(20));
        FakeTraceroute fake(pieces, 0.3);
        TParlomarClientMainForm main;
        ui->SetMainForm(&main);
        main.show();
        main.Traceroute1->setVisible(true); // a hidden item always reads as disabled

        // "Test" while signed out traces localhost; nothing shows before the first hop.
        main.est1->trigger();
        QVERIFY(main.TraceRunning());
        QVERIFY(!main.Traceroute1->isEnabled());
        QPointer<TTracertForm> form = main.TracertForm;
        QVERIFY(form && form->isHidden());
        QVERIFY(form->CancelButton->isVisibleTo(form) && form->ProgressBar->isVisibleTo(form));
        QCOMPARE(form->CancelButton->toolTip(), QStringLiteral("Cancel tracert process"));

        // Row counts and progress as each tick leaves them.
        std::vector<int> rowsSeen;
        std::vector<int> progressSeen;
        bool partialHop4 = false;
        connect(main.Timer, &QTimer::timeout, form, [&] {
            rowsSeen.push_back(form->Grid->RowCount());
            progressSeen.push_back(form->ProgressBar->value());
            partialHop4 =
                partialHop4 || (form->Grid->RowCount() >= 5 &&
                                form->Grid->Data().Cell(4, 4) != "core1.isp.example [198.51.100.17]");
        });
        QVERIFY(TraceEnds(main));
        QVERIFY(form && form->isVisible());
        QVERIFY(std::set<int>(rowsSeen.begin(), rowsSeen.end()).size() >= 3); // several steps
        QVERIFY(std::is_sorted(rowsSeen.begin(), rowsSeen.end()));
        QVERIFY(progressSeen.size() >= 3 && progressSeen.back() > progressSeen.front());
        QVERIFY(!partialHop4); // a cut line never shows half a hop
        QCOMPARE(form->windowTitle(), QStringLiteral("Route to localhost (127.0.0.1) - at most 30 hops"));
        QCOMPARE(QString::fromStdString(fake.Args()),
                 QStringLiteral("-m\n30\n-q\n3\n-w\n3\n--\nlocalhost\n"));

        // The end: no progress bar, no cancel button, no timer, "Traceroute..." stays disabled.
        QVERIFY(!form->ProgressBar->isVisibleTo(form) && !form->CancelButton->isVisibleTo(form));
        QVERIFY(!form->StatusPanels[1]->isVisibleTo(form));
        QVERIFY(!main.Timer->isActive());
        QVERIFY(!main.Traceroute1->isEnabled());
        QVERIFY(ui->messages.empty());
        QCOMPARE(TraceProcesses(-1), 0);

        // Nine rows: the heading and eight hops; lost probes colour their row, other rows alternate.
        QCOMPARE(form->Grid->RowCount(), 9);
        QCOMPARE(form->Grid->Data().Cell(4, 3), std::string("Request timed out."));
        QCOMPARE(form->Grid->Data().Cell(4, 4), std::string("core1.isp.example [198.51.100.17]"));
        QCOMPARE(form->Grid->Data().Cell(2, 5), std::string("*"));
        QCOMPARE(PixelOfRow(*form, 2), QColor(0xFF, 0xCA, 0xE4)); // hop 3: "* * *"
        QCOMPARE(PixelOfRow(*form, 1), QColor(0xF3, 0xF3, 0xF3)); // hop 2: an even row
        QCOMPARE(PixelOfRow(*form, 0), QColor(Qt::white));        // hop 1: an odd row
        // The newest hop is selected, yet drawn in the colour of its row; the user's own choice is
        // drawn as selected.
        QCOMPARE(form->Grid->SelectedRow(), 8);
        QCOMPARE(PixelOfRow(*form, 7), QColor(0xF3, 0xF3, 0xF3));
        QTest::mouseClick(form->Grid->viewport(), Qt::LeftButton, {},
                          form->Grid->visualRect(form->Grid->model()->index(0, 1)).center());
        QCOMPARE(PixelOfRow(*form, 0), TSkinedStringGrid::SelectedColour);
        QCOMPARE(PixelOfRow(*form, 7), QColor(0xF3, 0xF3, 0xF3));
        QTest::keyClick(form->Grid, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(PixelOfRow(*form, 7), TSkinedStringGrid::SelectedColour);
        QCOMPARE(PixelOfRow(*form, 0), QColor(Qt::white));
        QTest::keyClick(form->Grid, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(),
                 QStringLiteral("8\t104 ms\t105 ms\t104 ms\twww.example.net [203.0.113.80]"));

        // Output whose newest hop went unanswered: that row is pink while it is the selected one.
        form->ShowTraceOutput("  1    <1 ms    <1 ms    <1 ms  10.0.0.1\r\n"
                              "  2     *        *        *     Request timed out.\r\n");
        QCOMPARE(form->Grid->SelectedRow(), 2);
        QCOMPARE(PixelOfRow(*form, 1), QColor(0xFF, 0xCA, 0xE4));
        QTest::keyClick(form->Grid, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text().section(QLatin1Char('\t'), 0, 1), QStringLiteral("2\t*"));

        // OK closes the window and enables "Traceroute..." again.
        QTest::mouseClick(form->OKButton, Qt::LeftButton);
        QVERIFY(QTest::qWaitFor([&] { return form.isNull(); }));
        QVERIFY(main.Traceroute1->isEnabled());
    }

    void HostsThatAreRefusedOrGiveNoHop() {
        test::ShippedProgramFolder folder;
        FakeTraceroute fake({" 1  10.0.0.1  1.0 ms  1.0 ms  1.0 ms\n"}, 0.05);
        TParlomarClientMainForm main;
        ui->SetMainForm(&main);
        main.Traceroute1->setVisible(true);
        const std::string tooLong = std::string(250, 'a') + ".com";
        for (const std::string& host :
             {std::string(), std::string("-n"), std::string("--help"), std::string("a b"),
              std::string("a\tb"), std::string("host\n"), tooLong}) {
            ui->messages.clear();
            QVERIFY(!main.StartTrace(host));
            QVERIFY(!main.TraceRunning() && !main.TracertForm);
            QCOMPARE(ui->messages.size(), size_t(1));
            QVERIFY2(ui->messages[0].rfind("Not a host name that can be traced: \"", 0) == 0,
                     ui->messages[0].c_str());
        }
        QCOMPARE(ui->messages[0], "Not a host name that can be traced: \"" + tooLong.substr(0, 60) + "...\"");
        QVERIFY(fake.Args().empty()); // no process was started

        // A name that does not resolve: no command, no window, the message.
        ui->messages.clear();
        main.TraceLookup = [](const std::string&) { return std::string("None"); };
        QVERIFY(main.StartTrace("nowhere.example"));
        QVERIFY(TraceEnds(main));
        QVERIFY(!main.TracertForm);
        QCOMPARE(ui->messages, std::vector<std::string>{"No route could be traced to nowhere.example!"});
        QVERIFY(main.Traceroute1->isEnabled());
        QVERIFY(fake.Args().empty());

        // An internationalised domain is looked up (and would be traced) by its ASCII form.
        ui->messages.clear();
        std::string lookedUp;
        main.TraceLookup = [&lookedUp](const std::string& name) {
            lookedUp = name;
            return std::string("None");
        };
        QVERIFY(main.StartTrace("b\xC3\xBC"
                                "cher.example"));
        QVERIFY(TraceEnds(main));
        QCOMPARE(lookedUp, std::string("xn--bcher-kva.example"));
    }

    void CancelLeavesNoProcessAndNoOutputArrives() {
        test::ShippedProgramFolder folder;
        const std::vector<std::string> pieces = Lines(Recorded("linux_route.txt"));
        auto traceUntilRows = [&](TParlomarClientMainForm& main, int rows) {
            QVERIFY(main.StartTrace("localhost"));
            QVERIFY(QTest::qWaitFor(
                [&] { return main.TracertForm && main.TracertForm->Grid->RowCount() >= rows; }, 10000));
        };

        // The cancel button mid-way: the rows so far stay, nothing more arrives, no message.
        {
            FakeTraceroute fake(pieces, 0.4);
            TParlomarClientMainForm main;
            traceUntilRows(main, 3);
            const pid_t pid = main.Tracert()->ProcessId();
            QVERIFY(pid > 0 && TraceProcesses(pid) > 0);
            QPointer<TTracertForm> form = main.TracertForm;
            QTest::mouseClick(form->CancelButton, Qt::LeftButton);
            QVERIFY(TraceGone(pid));
            QVERIFY(TraceEnds(main));
            const int rows = form->Grid->RowCount();
            QVERIFY(rows >= 3 && rows < 9);
            QTest::qWait(800);
            QCOMPARE(form->Grid->RowCount(), rows);
            QVERIFY(form->isVisible() && !form->CancelButton->isVisibleTo(form));
            QVERIFY(ui->messages.empty());
        }
        // Cancelled before its first hop: no window, no message.
        {
            FakeTraceroute fake(pieces, 0.1, 5);
            TParlomarClientMainForm main;
            QVERIFY(main.StartTrace("localhost"));
            QVERIFY(QTest::qWaitFor([&] { return main.Tracert()->ProcessId() > 0; }));
            const pid_t pid = main.Tracert()->ProcessId();
            main.TracertForm->CancelButtonClick();
            QVERIFY(TraceGone(pid));
            QVERIFY(TraceEnds(main));
            QVERIFY(!main.TracertForm);
            QVERIFY(ui->messages.empty());
        }
        // Closing the window: the window goes, the process too.
        {
            FakeTraceroute fake(pieces, 0.4);
            TParlomarClientMainForm main;
            main.Traceroute1->setVisible(true);
            traceUntilRows(main, 2);
            const pid_t pid = main.Tracert()->ProcessId();
            QPointer<TTracertForm> form = main.TracertForm;
            form->close();
            QVERIFY(TraceGone(pid));
            QVERIFY(TraceEnds(main));
            QVERIFY(QTest::qWaitFor([&] { return form.isNull(); }));
            QVERIFY(main.Traceroute1->isEnabled());
            QVERIFY(ui->messages.empty());
        }
        // Exit: the main window goes with a trace running.
        {
            FakeTraceroute fake(pieces, 0.4);
            auto main = std::make_unique<TParlomarClientMainForm>();
            traceUntilRows(*main, 2);
            const pid_t pid = main->Tracert()->ProcessId();
            QPointer<TTracertForm> form = main->TracertForm;
            main.reset();
            QVERIFY(TraceGone(pid));
            QVERIFY(form.isNull());
            QTest::qWait(600); // a late end of the trace finds nothing to write to
        }
        QCOMPARE(TraceProcesses(-1), 0);
    }

    void TheAccountMenuTracesTheAccountsDomainOneAtATime() {
        test::ShippedProgramFolder folder;
        FakeTraceroute fake(Lines(Recorded("linux_route.txt")), 0.2);
        TParlomarClientMainForm main;
        ui->SetMainForm(&main);
        main.TraceLookup = [](const std::string& host) {
            return std::string(host == "shop.example" ? "192.0.2.7" : "None");
        };
        // Two accounts in the list (no server needed for a trace).
        std::string reply;
        for (const char* user : {"shop", "blog"})
            reply += std::string("<acct><user>") + user + "</user><domain>" + user +
                     ".example</domain><suspended>0</suspended><diskused>1M</diskused><disklimit>9M</"
                     "disklimit></acct>";
        FillAccountRows(main.AccList->Data(), reply);
        main.AccList->ShownList = kListModeAccounts;
        main.AccList->RowsChanged();
        main.AccList->SelectDataRow(1);
        main.ListPopupMenuPopup();
        QVERIFY(test::WaitForRequests());
        QVERIFY(main.Traceroute1->isVisible() && main.Traceroute1->isEnabled());
        main.Traceroute1->trigger();
        QVERIFY(main.TraceRunning() && !main.Traceroute1->isEnabled());
        // One trace at a time: the other account's trace does not start while this one runs.
        main.AccList->SelectDataRow(2);
        main.Traceroute1Click();
        QVERIFY(TraceEnds(main));
        QCOMPARE(main.TracertForm->windowTitle(),
                 QStringLiteral("Route to shop.example (192.0.2.7) - at most 30 hops"));
        QVERIFY(fake.Args().find("--\nshop.example\n") != std::string::npos);
        QVERIFY(ui->messages.empty());
        // Once its window is closed, the next account: a domain that does not resolve gives the message.
        main.TracertForm->close();
        QVERIFY(QTest::qWaitFor([&] { return main.Traceroute1->isEnabled(); }));
        main.Traceroute1->trigger();
        QVERIFY(TraceEnds(main));
        QCOMPARE(ui->messages, std::vector<std::string>{"No route could be traced to blog.example!"});
    }

    void SignOutStopsTheTraceOfTheServer() {
        test::ShippedProgramFolder folder;
        test::SignedInServer server;
        FakeTraceroute fake(Lines(Recorded("linux_route.txt")), 0.4);
        TParlomarClientMainForm main;
        main.SetWindowsSession(server.session);
        ui->SetMainForm(&main);
        main.IPEdit->setText(QStringLiteral("127.0.0.1"));
        main.PortEdit->setText(QString::number(server.server.Port()));
        main.LoginEdit->setText(QString::fromUtf8(standin_test::kUser));
        main.PswEdit->setText(QString::fromUtf8(standin_test::kPassword));
        main.SignIn();
        QVERIFY(QTest::qWaitFor([&] { return !main.RequestRunning(); }, 20000));
        QTRY_VERIFY_WITH_TIMEOUT(main.SignedIn(), 20000);
        main.est1->trigger(); // "Test" while signed in traces the server
        QVERIFY(QTest::qWaitFor([&] { return main.TracertForm && main.TracertForm->isVisible(); }, 10000));
        QVERIFY(fake.Args().find("--\n127.0.0.1\n") != std::string::npos);
        const pid_t pid = main.Tracert()->ProcessId();
        QPointer<TTracertForm> form = main.TracertForm;
        main.Signout1Click();
        QVERIFY(TraceGone(pid));
        QVERIFY(!main.TraceRunning() && !main.Timer->isActive());
        QVERIFY(QTest::qWaitFor([&] { return form.isNull(); }));
        QVERIFY(ui->messages.empty());
    }

    void RealTracerouteToLoopback() {
        if (TraceCommand::FindTraceroute().empty())
            QSKIP("no traceroute installed");
        test::ShippedProgramFolder folder;
        TParlomarClientMainForm main;
        ui->SetMainForm(&main);
        QVERIFY(main.StartTrace("127.0.0.1"));
        QVERIFY(TraceEnds(main, 30000));
        QVERIFY(ui->messages.empty());
        QPointer<TTracertForm> form = main.TracertForm;
        QVERIFY(form && form->isVisible());
        QCOMPARE(form->windowTitle(), QStringLiteral("Route to 127.0.0.1 (127.0.0.1) - at most 30 hops"));
        QCOMPARE(form->Grid->RowCount(), 2);
        QCOMPARE(form->Grid->Data().Cell(0, 1), std::string("1"));
        QVERIFY(form->Grid->Data().Cell(4, 1).find("127.0.0.1") != std::string::npos);
        QCOMPARE(TraceProcesses(-1), 0);
    }
};

static test::RegisterTest<TracerouteTest> registerTracerouteTest;

#include "TracerouteTest.moc"
