// Several accounts at once against the real stand-in server: the selection, one question, the run
// with its refusals and failures, the summary and the grid kept true without a refetch; Stop, a
// sign-out and the exit ending a run; the export of the shown list read back with Python.

#include "StandinProcess.h"
#include "TestRegistry.h"
#include "WindowsTestSupport.h"
#include "core/server/ActivityLog.h"
#include "core/server/GetXMLThreadUnit.h"
#include "core/settings/Localization.h"
#include "gui/accounts/BulkUnit.h"
#include "gui/app/MainUnit.h"
#include "gui/info/ActivityUnit.h"
#include "gui/skins/ButtonEdit.h"
#include "gui/skins/Controls.h"
#include "gui/skins/SkinButton.h"
#include "gui/skins/SkinedStringGrid.h"

#include <QProcess>

using namespace parlomar;

namespace {

void SignInAndList(TParlomarClientMainForm& form, const test::LoggedServer& server) {
    test::SignIn(form, server.Port());
    QTRY_VERIFY_WITH_TIMEOUT(form.SignedIn() && !form.FetchRunning(), 20000);
    form.Listaccounts1Click();
    QTRY_VERIFY_WITH_TIMEOUT(test::Idle(form) && form.AccList->VisibleRowCount() == 40, 20000);
}

void Click(TParlomarClientMainForm& form, int viewRow, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    const QRect cell = form.AccList->visualRect(form.AccList->Model()->index(viewRow, kAccUserCol));
    QTest::mouseClick(form.AccList->viewport(), Qt::LeftButton, modifiers, cell.center());
}

std::string Outcome(const TBulkForm& bulk, const std::string& user) {
    const TStringGridData& data = bulk.ResultGrid->Data();
    for (int row = 1; row < data.RowCount(); ++row)
        if (data.Cell(0, row) == user)
            return std::string(data.Cell(2, row));
    return "(missing)";
}

std::string Suspended(const TParlomarClientMainForm& form, const std::string& user) {
    const TStringGridData& data = form.AccList->Data();
    for (int row = 1; row < data.RowCount(); ++row)
        if (data.Cell(kAccUserCol, row) == user)
            return std::string(data.Cell(kAccSuspendedCol, row));
    return "(gone)";
}

// Starts a run over every shown account.
QPointer<TBulkForm> RunOnAll(TParlomarClientMainForm& form, test::AnsweringUi& ui, TMenuItem* item) {
    QTest::keyClick(form.AccList, Qt::Key_A, Qt::ControlModifier);
    ui.answers = {true};
    item->trigger();
    return form.BulkForm;
}

int Sent(const QPointer<TBulkForm>& bulk) {
    return bulk ? CountBulk(bulk->Entries()).sent : -1;
}

} // namespace

class BulkTest : public test::WindowTest {
    Q_OBJECT

private slots:
    void SuspendAndDeleteSeveralAccounts() {
        test::ShippedProgramFolder folder;
        test::LoggedServer server;
        TParlomarClientMainForm form;
        test::ShowMainWindow(form, *ui);
        SignInAndList(form, server);

        // Click, Shift+click, Ctrl+click off and on: eight rows; the menu offers the actions for all.
        Click(form, 0);
        Click(form, 7, Qt::ShiftModifier);
        Click(form, 3, Qt::ControlModifier);
        QCOMPARE(form.AccList->SelectedDataRows().size(), std::size_t(7));
        Click(form, 3, Qt::ControlModifier);
        QCOMPARE(form.AccList->SelectedDataRows().size(), std::size_t(8));
        form.ListPopupMenuPopup();
        QVERIFY(test::WaitForRequests());
        QVERIFY(form.Suspendselected1->isVisible() && form.Deleteselected1->isVisible());
        QVERIFY(!form.Suspend1->isVisible() && !form.Changepassword1->isVisible() &&
                !form.Traceroute1->isVisible());
        QCOMPARE(form.Suspendselected1->text(), QStringLiteral("Suspend the 8 selected accounts"));

        // Meanwhile bluefin was suspended elsewhere, and the first reply will be cut.
        server.Get("/xml-api/suspendacct?user=bluefin");
        server.Faults("drop_after=10&times=1");
        ui->answers = {true};
        form.Suspendselected1->trigger();
        QCOMPARE(ui->questions.back(),
                 std::string("Do you want to suspend 7 accounts?\n"
                             "alpinebk, amberwood, bluefin, brightsky, cedarlaw and 2 more\n"
                             "1 of the selected accounts is suspended already and will be "
                             "skipped."));
        QPointer<TBulkForm> bulk = form.BulkForm;
        QVERIFY(bulk && bulk->isVisible() && bulk->StopButton->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(bulk->Finished(), 20000);
        // The cut reply's suspend reached the server: its outcome is unknown, and the list is fetched
        // again so that the grid shows what the server did.
        QVERIFY(QString::fromStdString(Outcome(*bulk, "alpinebk"))
                    .startsWith(QStringLiteral("Sent, outcome unknown: ")));
        const QString refusal = QString::fromStdString(Outcome(*bulk, "bluefin")); // the server's own words
        QVERIFY(refusal.startsWith(QStringLiteral("Refused: The account ")) &&
                refusal.contains(QStringLiteral("bluefin")) &&
                refusal.endsWith(QStringLiteral(" is already suspended.")));
        QCOMPARE(Outcome(*bulk, "copperpot"), std::string("Skipped: suspended already"));
        for (const char* user : {"amberwood", "brightsky", "cedarlaw", "driftwood", "dunmore"}) {
            QCOMPARE(Outcome(*bulk, user), std::string("Done"));
            QCOMPARE(Suspended(form, user), std::string("1"));
        }
        QCOMPARE(
            bulk->ProgressLabel->text(),
            QStringLiteral("5 done, 1 skipped, 1 refused, 0 failed, 0 not sent, 1 sent, outcome unknown"));
        QVERIFY(!bulk->StopButton->isVisible() && bulk->CloseBtn->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(test::Idle(form) && server.SignedRequests("/xml-api/listaccts") == 2, 20000);
        QTRY_COMPARE(Suspended(form, "alpinebk"), std::string("1"));
        QCOMPARE(server.SignedRequests("/xml-api/suspendacct", "copperpot"), 0);
        QCOMPARE(server.SignedRequests("/xml-api/suspendacct", "dunmore"), 1);

        // The "Active" bar counts them from the stored reply too; a single click selects one row again.
        form.FilterPaintBoxMouseDown(2);
        QTRY_VERIFY_WITH_TIMEOUT(!form.ListBuildRunning(), 20000);
        // (alpinebk and bluefin as the server has them now: suspended)
        QCOMPARE(form.AccList->VisibleRowCount(), 28);
        QCOMPARE(form.StatusSlot(1), QStringLiteral("Active 28"));
        Click(form, 1);
        QCOMPARE(form.AccList->SelectedDataRows().size(), std::size_t(1));

        // Deleting three under the "Active" bar: the rows go, the count and the server's count follow.
        Click(form, 2, Qt::ShiftModifier);
        QCOMPARE(form.AccList->SelectedDataRows().size(), std::size_t(2));
        Click(form, 4, Qt::ControlModifier);
        ui->answers = {true};
        form.Deleteselected1->trigger();
        QCOMPARE(ui->questions.back(), std::string("Do you really want to delete 3 accounts?\n"
                                                   "emberart, fjordtrv, granite"));
        QTRY_VERIFY_WITH_TIMEOUT(form.BulkForm && form.BulkForm->Finished(), 20000);
        QVERIFY(!bulk); // the earlier summary gave way
        QCOMPARE(form.AccList->VisibleRowCount(), 25);
        QCOMPARE(form.StatusSlot(1), QStringLiteral("Active 25"));
        QCOMPARE(Suspended(form, "emberart"), std::string("(gone)"));
        QCOMPARE(form.ServerAccountCount(), 37);
        form.FilterPaintBoxMouseDown(1);
        QTRY_VERIFY_WITH_TIMEOUT(!form.ListBuildRunning(), 20000);
        QCOMPARE(form.AccList->VisibleRowCount(), 37);
        QCOMPARE(server.SignedRequests("/xml-api/removeacct"), 3);
        form.BulkForm->CloseBtn->click();
        QTRY_VERIFY(!form.BulkForm);
    }

    void StopSignOutAndExitEndARun() {
        test::ShippedProgramFolder folder;
        test::LoggedServer server;
        auto form = std::make_unique<TParlomarClientMainForm>();
        test::ShowMainWindow(*form, *ui);
        SignInAndList(*form, server);
        server.Faults("delay_ms=250");

        // Stop: the request in flight finishes, nothing more is sent; closing asks for the same.
        QPointer<TBulkForm> bulk = RunOnAll(*form, *ui, form->Suspendselected1);
        QTRY_VERIFY_WITH_TIMEOUT(Sent(bulk) >= 2, 20000);
        bulk->close();
        QVERIFY(bulk->isVisible() && !bulk->StopButton->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(bulk->Finished(), 10000);
        BulkCounts counts = CountBulk(bulk->Entries());
        QVERIFY(counts.notSent > 20 && counts.failed == 0 && counts.skipped == 5);
        QCOMPARE(server.SignedRequests("/xml-api/suspendacct"), counts.done);
        QVERIFY(!form->BulkRunning());

        // A sign-out ends the run: the summary stays, and nothing more reaches the server.
        bulk = RunOnAll(*form, *ui, form->Unsuspendselected1);
        QTRY_VERIFY_WITH_TIMEOUT(Sent(bulk) >= 1, 20000);
        form->Signout1Click();
        QTRY_VERIFY_WITH_TIMEOUT(bulk && bulk->Finished(), 10000);
        counts = CountBulk(bulk->Entries());
        QVERIFY(counts.notSent > 0);
        const int unsuspends = server.SignedRequests("/xml-api/unsuspendacct");
        QVERIFY(unsuspends <= counts.done + counts.failed + counts.unknown);
        QTest::qWait(600);
        QCOMPARE(server.SignedRequests("/xml-api/unsuspendacct"), unsuspends);
        QVERIFY(bulk->isVisible());

        // Exit while a run goes: the run ends with the window, and nothing more is sent.
        SignInAndList(*form, server);
        bulk = RunOnAll(*form, *ui, form->Deleteselected1);
        QTRY_VERIFY_WITH_TIMEOUT(Sent(bulk) >= 1, 20000);
        form->Exit1Click();
        QVERIFY(WaitForFetchThreads(std::chrono::milliseconds(0)));
        const int removes = server.SignedRequests("/xml-api/removeacct");
        form.reset();
        QTest::qWait(600);
        QCOMPARE(server.SignedRequests("/xml-api/removeacct"), removes);
        QVERIFY(removes < 10);
    }

    void StoppedRunTellsWhatTheServerDidAndKeysActOnTheSelection() {
        test::ShippedProgramFolder folder;
        test::LoggedServer server;
        TParlomarClientMainForm form;
        test::ShowMainWindow(form, *ui);
        SignInAndList(form, server);
        // The bulk items show their keys.
        QCOMPARE(form.Suspendselected1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_U));
        QCOMPARE(form.Unsuspendselected1->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_U));
        QCOMPARE(form.Deleteselected1->shortcut(), QKeySequence(Qt::Key_Delete));

        // Ctrl+U on three rows: one question for the three, and the server gets three suspends.
        Click(form, 0);
        Click(form, 2, Qt::ShiftModifier);
        form.AccList->setFocus();
        const std::string first(form.AccList->Data().Cell(kAccUserCol, form.AccList->Model()->DataRow(0)));
        QCOMPARE(Suspended(form, first), std::string("0"));
        // The server carries the suspends out at once but answers them only after 6 s.
        server.Faults("delay_ms=6000&function=suspendacct");
        const std::size_t asked = ui->questions.size();
        ui->answers = {true};
        QTest::keyClick(form.AccList, Qt::Key_U, Qt::ControlModifier);
        QCOMPARE(ui->questions.size(), asked + 1);
        QVERIFY(ui->questions.back().rfind("Do you want to suspend 3 accounts?\n", 0) == 0);
        QPointer<TBulkForm> bulk = form.BulkForm;
        QVERIFY(bulk);

        // Stop while the first reply is awaited: that suspend was sent, so it is not "failed" nor
        // "not sent"; the other two never went out. The list is fetched again and shows the truth.
        QTRY_VERIFY_WITH_TIMEOUT(server.SignedRequests("/xml-api/suspendacct") == 1, 20000);
        bulk->StopButton->click();
        QTRY_VERIFY_WITH_TIMEOUT(bulk->Finished(), 10000);
        QCOMPARE(Outcome(*bulk, first),
                 std::string("Sent, outcome unknown: the wait for the reply was ended"));
        const BulkCounts counts = CountBulk(bulk->Entries());
        QCOMPARE(counts.notSent, 2);
        QCOMPARE(counts.unknown, 1);
        QCOMPARE(
            bulk->ProgressLabel->text(),
            QStringLiteral("0 done, 0 skipped, 0 refused, 0 failed, 2 not sent, 1 sent, outcome unknown"));
        QTRY_VERIFY_WITH_TIMEOUT(server.SignedRequests("/xml-api/listaccts") == 2 && test::Idle(form), 20000);
        QTRY_COMPARE(Suspended(form, first), std::string("1"));
        QCOMPARE(server.SignedRequests("/xml-api/suspendacct"), 1);
        // The activity log says the same of that request.
        const std::vector<ActivityEntry> log = ReadActivityLog();
        const ActivityEntry* latest = nullptr; // the log is shared by the tests of this run
        for (const ActivityEntry& entry : log)
            if (entry.record.target == first && (!latest || entry.record.time > latest->record.time))
                latest = &entry;
        QVERIFY(latest);
        QCOMPARE(ActivityOutcomeText(*latest),
                 QStringLiteral("Sent, outcome unknown: the wait for the reply was ended"));
        server.Faults("");

        // Delete on two rows asks once for both; declined, nothing is sent.
        bulk->CloseBtn->click();
        QTRY_VERIFY(!form.BulkForm);
        form.activateWindow(); // back from the summary to the grid
        QVERIFY(QTest::qWaitForWindowActive(&form));
        Click(form, 3);
        Click(form, 4, Qt::ShiftModifier);
        form.AccList->setFocus();
        ui->answers = {false};
        QTest::keyClick(form.AccList, Qt::Key_Delete);
        QVERIFY(ui->questions.back().rfind("Do you really want to delete 2 accounts?\n", 0) == 0);
        QCOMPARE(server.SignedRequests("/xml-api/removeacct"), 0);
        // Ctrl+Shift+U on them (both active): the question says so, nothing to send, no request.
        QTest::keyClick(form.AccList, Qt::Key_U, Qt::ControlModifier | Qt::ShiftModifier);
        QTRY_VERIFY(form.BulkForm && form.BulkForm->Finished());
        QCOMPARE(CountBulk(form.BulkForm->Entries()).skipped, 2);
        QCOMPARE(server.SignedRequests("/xml-api/unsuspendacct"), 0);
    }

    void ExportWritesTheShownList() {
        test::ShippedProgramFolder folder;
        test::LoggedServer server;
        TParlomarClientMainForm form;
        test::ShowMainWindow(form, *ui);
        SignInAndList(form, server);
        // Sorted by domain, descending, and filtered to the domains starting with "h".
        form.AccListHeaderClick(kAccDomainCol);
        form.AccListHeaderClick(kAccDomainCol);
        QTest::keyClicks(form.QueryEdit, QStringLiteral("h"));
        QTRY_COMPARE(form.AccList->VisibleRowCount(), 3);

        QTemporaryDir dir;
        QString suggested;
        form.ExportPathChooser = [&](const QString& name) {
            suggested = name;
            return dir.filePath(QStringLiteral("shown.csv"));
        };
        form.Exportlist2->trigger();
        QVERIFY(suggested.endsWith(QStringLiteral("/accounts.csv")));
        QProcess python;
        python.start(QStringLiteral("python3"),
                     {QStringLiteral("-c"),
                      QStringLiteral("import csv, sys\nfor r in csv.reader(open(sys.argv[1], newline='', "
                                     "encoding='utf-8')): print('|'.join(r))"),
                      dir.filePath(QStringLiteral("shown.csv"))});
        QVERIFY(python.waitForFinished(10000));
        QCOMPARE(QString::fromUtf8(python.readAllStandardOutput()),
                 QStringLiteral("No.|User name|Domain|Panel\n"
                                "1|hostpro|hostpro-resell.net|http://hostpro-resell.net/panel\n"
                                "2|hollybush|hollybush-inn.co.uk|http://hollybush-inn.co.uk/panel\n"
                                "3|harbor|harborview-hotel.com|http://harborview-hotel.com/panel\n"));
        QCOMPARE(form.StatusSlot(0),
                 QStringLiteral("3 rows written to ") + dir.filePath(QStringLiteral("shown.csv")));

        // A place that cannot be written: a clear message, and no file.
        form.ExportPathChooser = [&](const QString&) {
            return dir.filePath(QStringLiteral("no/such/folder.csv"));
        };
        form.Exportlist1->trigger();
        QCOMPARE(ui->messages.back(),
                 "Unable to write to " + dir.filePath(QStringLiteral("no/such/folder.csv")).toStdString());
        QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 QStringList{QStringLiteral("shown.csv")});
    }
};

static parlomar::test::RegisterTest<BulkTest> registerBulkTest;
#include "BulkTest.moc"
