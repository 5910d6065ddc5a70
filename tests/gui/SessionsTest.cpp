// Sign-in sessions against the real stand-in server: a retry after a failure uses what is typed now,
// a sign-out ends every window, request and list of the sign-in, list fetches replace each other and
// can be stopped, and buttons that send a request cannot send it twice.

#include "StandinProcess.h"
#include "TestRegistry.h"
#include "WindowsTestSupport.h"
#include "core/accounts/PackageList.h"
#include "core/settings/Localization.h"
#include "gui/accounts/AddUnit.h"
#include "gui/accounts/InputUnit.h"
#include "gui/accounts/SummaryUnit.h"
#include "gui/app/MainUnit.h"
#include "gui/app/WindowOpeners.h"
#include "gui/info/MessageUnit.h"
#include "gui/settings/CustUnit.h"
#include "gui/skins/BitCheckBox.h"
#include "gui/skins/ButtonEdit.h"
#include "gui/skins/Controls.h"
#include "gui/skins/SkinButton.h"
#include "gui/skins/SkinedStringGrid.h"

#include <QStatusBar>
#include <QTabBar>

using namespace parlomar;

namespace {

// The whole text fits the label as it is laid out now (word-wrapped where the label wraps).
bool ShownInFull(const QLabel* label) {
    const QRect room = label->contentsRect();
    const int flags = label->wordWrap() ? Qt::TextWordWrap : 0;
    const QRect needed = label->fontMetrics().boundingRect(room, flags, label->text());
    return label->isVisible() && needed.width() <= room.width() && needed.height() <= room.height();
}

} // namespace

class SessionsTest : public test::WindowTest {
    Q_OBJECT

private slots:
    void RetryAfterAFailureUsesWhatIsTypedNow() {
        test::ShippedProgramFolder folder;
        test::LoggedServer server;
        const int wrongPort = test::FreePort();
        folder.WriteSettings("[General]\nShowTray=0\n[USERS]\nIP=127.0.0.1\nPort=" +
                             std::to_string(wrongPort) + "\nLogin=" + standin_test::kUser +
                             "\nSavePSW=1\nPsw=" + EncipherPassword(standin_test::kPassword) + "\n");
        TParlomarClientMainForm form;
        ui->SetMainForm(&form);
        form.resize(form.minimumSize());
        form.show();
        // The remembered port fails at start; the reason stays readable on the sign-in panel.
        QTRY_COMPARE_WITH_TIMEOUT(ui->messages.size(), std::size_t(1), 20000);
        QVERIFY(ui->messages[0].rfind(ErrorText(12029) + " (", 0) == 0); // with the address and port tried
        QCOMPARE(form.LoginMessLabel->text(), QString::fromStdString(ui->messages[0]));
        QVERIFY(ShownInFull(form.LoginMessLabel));

        // The port corrected and Enter: the retry goes to the port typed now.
        form.PortEdit->setText(QString::number(server.Port()));
        QTest::keyClick(form.PortEdit, Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(form.SignedIn(), 20000);
        QVERIFY(folder.Settings().find("Port=" + std::to_string(server.Port()) + "\n") != std::string::npos);
        QVERIFY(!form.LoginMessLabel->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(test::Idle(form), 20000);

        // A mistyped password, then the right one: the refusal is shown in full, in the status
        // display of the smallest window too, and the next try is signed in.
        form.Signout1Click();
        form.PswEdit->setText(QStringLiteral("mistyped"));
        form.LoginButtonClick();
        QVERIFY(QTest::qWaitFor([&] { return !form.RequestRunning(); }, 20000));
        QVERIFY(!form.SignedIn());
        QCOMPARE(form.StatusSlot(0), test::Status(11));
        QVERIFY(ShownInFull(form.StatusPanels[0]));
        QCOMPARE(form.LoginMessLabel->text(), QString::fromStdString(StatusText(11)));
        QVERIFY(ShownInFull(form.LoginMessLabel));
        form.PswEdit->setText(QString::fromUtf8(standin_test::kPassword));
        form.LoginButtonClick();
        QVERIFY(QTest::qWaitFor([&] { return !form.RequestRunning(); }, 20000));
        QTRY_VERIFY_WITH_TIMEOUT(form.SignedIn(), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(test::Idle(form), 20000);
    }

    void SignOutEndsTheWindowsListsAndRequestsOfTheSignIn() {
        test::ShippedProgramFolder folder;
        test::LoggedServer first;
        test::LoggedServer second("12");
        TParlomarClientMainForm form;
        test::ShowMainWindow(form, *ui);
        test::SignIn(form, first.Port());
        QTRY_VERIFY_WITH_TIMEOUT(form.SignedIn() && test::Idle(form), 20000);
        form.Listaccounts1Click();
        QTRY_VERIFY_WITH_TIMEOUT(test::Idle(form) && form.AccList->VisibleRowCount() == 40, 20000);
        form.FilterPaintBoxMouseDown(3); // suspended only
        QTRY_VERIFY_WITH_TIMEOUT(test::Idle(form), 20000);

        // A details window of an account, then the package tab.
        OpenAccountDetails(&form, "alpinebk");
        QVERIFY(test::WaitForRequests());
        QPointer<TSummaryForm> details = OpenDetailsWindows().value(0);
        QVERIFY(details && details->isVisible());
        form.TabSet->setCurrentIndex(1);

        // Signing out while the settings dialog is open closes it and the details window.
        bool settingsClosed = false;
        test::OnNextModal<TCustForm>([&](TCustForm* settings) {
            QPointer<TCustForm> open(settings);
            form.Signout1Click();
            settingsClosed = !open || !open->isVisible();
        });
        form.OpenSettings(0);
        QVERIFY(settingsClosed);
        QVERIFY(!form.SignedIn());
        QTRY_VERIFY(!details);
        QVERIFY(OpenDetailsWindows().isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(first.Requests("/", "logout"), 1, 5000); // the sign-out request

        // Signed in to another server, its accounts tab shows nothing of the first server.
        test::SignIn(form, second.Port());
        QTRY_VERIFY_WITH_TIMEOUT(form.SignedIn() && test::Idle(form), 20000);
        form.TabSet->setCurrentIndex(0);
        QTRY_VERIFY_WITH_TIMEOUT(test::Idle(form), 20000);
        QVERIFY(form.MessPanel->isVisible() && !form.AccList->isVisible());
        QCOMPARE(form.MessLabel->text(), QString::fromStdString(ErrorText(12)));
        QVERIFY(form.PackageListReply.find("<listpkgs>") != std::string::npos);
        QCOMPARE(form.ListState.filterMode, 1);
        QCOMPARE(form.ServerAccountCount(), 0);
        form.Listaccounts1Click();
        QTRY_VERIFY_WITH_TIMEOUT(test::Idle(form) && form.AccList->VisibleRowCount() == 12, 20000);
        QCOMPARE(second.Requests("/xml-api/accountsummary"), 0);
        QCOMPARE(second.Requests("/xml-api/removeacct"), 0);
    }

    void ListFetchesReplaceEachOtherAndCanBeStopped() {
        test::ShippedProgramFolder folder;
        test::LoggedServer server;
        TParlomarClientMainForm form;
        test::ShowMainWindow(form, *ui);
        test::SignIn(form, server.Port());
        QTRY_VERIFY_WITH_TIMEOUT(form.SignedIn() && test::Idle(form), 20000);
        QCOMPARE(form.TabSet->currentIndex(), 1);

        // A search typed while the package list is still on its way is carried out, and a later
        // search replaces one still running: the grid ends with what was asked last. Each request is
        // on the server before the next goes out, and the answers come in a fixed order: the package
        // list (1.5 s), the last search (1.8 s after it was sent), then the replaced one (2.5 s),
        // which would overwrite the grid if it were still wanted.
        server.Faults("delay_ms=1500&times=1");
        form.Listpakages1Click();
        QVERIFY(form.FetchRunning() && !form.GetListButton->isEnabled() && form.StopButton->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(server.Requests("/xml-api/listpkgs"), 2, 5000);
        server.Faults("delay_ms=2500&times=1");
        form.QueryEdit->setText(QStringLiteral("a"));
        QTest::keyClick(form.QueryEdit, Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(server.Requests("/xml-api/listaccts", "search=a\t"), 1, 5000);
        server.Faults("delay_ms=1800&times=1");
        form.QueryEdit->setText(QStringLiteral("alpinebk"));
        QTest::keyClick(form.QueryEdit, Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(test::Idle(form) && form.AccList->ShownList == kListModeAccounts, 20000);
        QTest::qWait(1200); // the replaced search would have arrived by now
        QCOMPARE(form.TabSet->currentIndex(), 0);
        QCOMPARE(form.AccList->VisibleRowCount(), 1);
        QCOMPARE(form.AccList->Data().Cell(kAccUserCol, 1), std::string("alpinebk"));
        QCOMPARE(form.GetListButton->text(), test::Status(55).trimmed());
        QCOMPARE(form.StatusSlot(0), test::Status(12, "1"));
        QVERIFY(form.PackageListReply.find("<listpkgs>") != std::string::npos); // stored, not shown
        QVERIFY(form.GetListButton->isEnabled() && !form.StopButton->isVisible());

        // A server that trickles: Escape stops the fetch and the controls come back at once; the
        // stop control does the same, and a stopped fetch writes nothing afterwards.
        server.Faults("rate=2");
        form.Listpakages1Click();
        QVERIFY(form.FetchRunning() && form.StopButton->isVisible());
        QTest::qWait(300);
        QApplication::setActiveWindow(&form); // keys reach the window's preview only when active
        form.QueryEdit->setFocus();
        QTest::keyClick(form.QueryEdit, Qt::Key_Escape);
        QVERIFY(!form.FetchRunning());
        QVERIFY(form.GetListButton->isEnabled() && form.ServerButton->isEnabled() &&
                form.SignOutLabel->isEnabled() && !form.StopButton->isVisible());
        QCOMPARE(form.AccList->Data().Cell(kAccUserCol, 1), std::string("alpinebk"));
        form.Listaccounts1Click();
        QVERIFY(form.FetchRunning());
        QTest::qWait(300);
        form.StopButton->click();
        QVERIFY(!form.FetchRunning() && form.ServerButton->isEnabled());
        const QString stopped = form.StatusSlot(0);
        QCOMPARE(stopped, QString::fromStdString(ErrorText(2)));
        QTest::qWait(1500);
        QCOMPARE(form.StatusSlot(0), stopped);

        // A fetch still running at sign-out writes nothing over the signed-out status.
        form.Listaccounts1Click();
        QTest::qWait(300);
        form.Signout1Click();
        QTest::qWait(1500);
        QCOMPARE(form.StatusSlot(0), test::Status(6));

        // The first list of a sign-in stopped: the refresh button fetches that list again.
        form.TabSet->setCurrentIndex(0);
        server.Faults("delay_ms=1500&times=2"); // the sign-in and its package list
        test::SignIn(form, server.Port());
        QVERIFY(form.SignedIn() && form.FetchRunning());
        form.StopButton->click();
        QCOMPARE(form.TabSet->currentIndex(), 1);
        form.GetListButton->click();
        QVERIFY(form.FetchRunning());
        QTRY_VERIFY_WITH_TIMEOUT(test::Idle(form) && form.AccList->ShownList == kListModePackages, 20000);
        QVERIFY(form.AccList->isVisible() && form.AccList->VisibleRowCount() > 0);
        server.Faults("");
    }

    void PackageTabAfterAFailedFetchAndOnePressOneWindow() {
        test::ShippedProgramFolder folder;
        test::LoggedServer server;
        TParlomarClientMainForm form;
        test::ShowMainWindow(form, *ui);
        test::SignIn(form, server.Port());
        QTRY_VERIFY_WITH_TIMEOUT(form.SignedIn() && test::Idle(form), 20000);
        form.Listaccounts1Click();
        QTRY_VERIFY_WITH_TIMEOUT(test::Idle(form) && form.AccList->ShownList == kListModeAccounts, 20000);

        // A failed package fetch, then back to the accounts and to the packages again.
        server.Faults("drop_after=10&times=1"); // a broken transfer
        form.Listpakages1Click();
        QTRY_VERIFY_WITH_TIMEOUT(test::Idle(form), 20000);
        form.TabSet->setCurrentIndex(0);
        QTRY_VERIFY_WITH_TIMEOUT(test::Idle(form), 20000);
        form.TabSet->setCurrentIndex(1);
        QVERIFY(form.MessPanel->isVisible() && !form.AccList->isVisible());
        QCOMPARE(form.MessLabel->text(), QString::fromStdString(ErrorText(12)));

        // One press on a package name, as the first click of a double click: one details window.
        form.Listpakages1Click();
        QTRY_VERIFY_WITH_TIMEOUT(test::Idle(form) && form.AccList->isVisible(), 20000);
        TSkinedStringGrid* grid = form.AccList;
        const QRect cell = grid->visualRect(grid->model()->index(0, kPkgNameCol));
        const QPoint onName(cell.left() + cell.height() + 6, cell.center().y());
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, onName);
        QTRY_COMPARE(OpenDetailsWindows().size(), 1);
        QTest::qWait(100);
        QCOMPARE(OpenDetailsWindows().size(), 1);
        CloseDetailsWindows();
    }

    void ButtonsThatSendCannotSendTwice() {
        test::ShippedProgramFolder folder;
        test::LoggedServer server;
        TParlomarClientMainForm form;
        test::ShowMainWindow(form, *ui);
        test::SignIn(form, server.Port());
        QTRY_VERIFY_WITH_TIMEOUT(form.SignedIn() && test::Idle(form), 20000);

        // The editor: a second OK, Cancel and Escape while the request runs do nothing; the list
        // is fetched again when it is done.
        server.Faults("delay_ms=800&times=1");
        bool lockedWhileSending = false;
        test::OnNextModal<TAddForm>([&](TAddForm* editor) {
            editor->Edit(QStringLiteral("DomainEdit"))->setText(QStringLiteral("twice.example.com"));
            editor->Edit(QStringLiteral("UsernameEdit"))->setText(QStringLiteral("twice"));
            editor->Edit(QStringLiteral("PasswordEdit"))->setText(QStringLiteral("Secret-123"));
            QTimer::singleShot(200, editor, [&, editor] {
                lockedWhileSending = !editor->OKButton->isEnabled() && !editor->CancelButton->isEnabled();
                QTest::mouseClick(editor->OKButton, Qt::LeftButton);
                editor->CancelButton->click();
                QTest::keyClick(editor, Qt::Key_Escape);
            });
            editor->OKButton->click();
            QVERIFY(test::WaitForRequests());
        });
        form.Createaccounts1Click();
        QVERIFY(lockedWhileSending);
        QCOMPARE(server.Requests("/xml-api/createacct"), 1);
        QTRY_VERIFY_WITH_TIMEOUT(test::Idle(form) && form.AccList->ShownList == kListModeAccounts, 20000);
        QCOMPARE(server.Requests("/xml-api/listaccts"), 1);

        // A details window: Pause and Delete are disabled while Pause's request runs.
        OpenAccountDetails(&form, "twice");
        QVERIFY(test::WaitForRequests());
        TSummaryForm* details = OpenDetailsWindows().value(0);
        QVERIFY(details && details->PauseButton->isEnabled());
        server.Faults("delay_ms=800&times=1");
        ui->answers = {true, true};
        bool detailsLocked = false;
        QTimer::singleShot(200, details, [&, details] {
            detailsLocked = !details->PauseButton->isEnabled() && !details->DeleteButton->isEnabled();
            details->PauseButton->click();
        });
        details->PauseButton->click();
        QVERIFY(test::WaitForRequests());
        QVERIFY(detailsLocked);
        QCOMPARE(server.Requests("/xml-api/suspendacct"), 1);
        QVERIFY(details->RunButton->isEnabled() && details->DeleteButton->isEnabled());
        CloseDetailsWindows();
    }

    void AlwaysOnTopThenOk() {
        test::ShippedProgramFolder folder;
        TParlomarClientMainForm form;
        ui->SetMainForm(&form);
        form.show();
        bool openAfterTick = false;
        test::OnNextModal<TCustForm>([&](TCustForm* settings) {
            settings->TaskBarCheck->SetChecked(true);
            settings->OnTopCheck->click();
            QTest::qWait(50);
            openAfterTick = settings->isVisible() && QApplication::activeModalWidget() == settings;
            settings->OKButton->click();
        });
        form.OpenSettings(0);
        QVERIFY(openAfterTick);
        QVERIFY(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        const std::string settings = folder.Settings();
        QVERIFY(settings.find("StayOnTop=1\n") != std::string::npos);
        QVERIFY(settings.find("TaskBar=1\n") != std::string::npos);
    }
};

static parlomar::test::RegisterTest<SessionsTest> registerSessionsTest;
#include "SessionsTest.moc"
