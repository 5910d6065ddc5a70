// Several servers: the saved list of the sign-in panel across restarts and beside an older settings
// file, a read-only server on which no window can change anything, and the activity log window.

#include "StandinProcess.h"
#include "TestRegistry.h"
#include "WindowsTestSupport.h"
#include "core/accounts/PackageList.h"
#include "core/server/ActivityLog.h"
#include "core/server/RequestGuard.h"
#include "core/settings/IniFile.h"
#include "core/settings/Localization.h"
#include "gui/accounts/AddUnit.h"
#include "gui/accounts/BulkUnit.h"
#include "gui/accounts/InputUnit.h"
#include "gui/accounts/SummaryUnit.h"
#include "gui/app/MainUnit.h"
#include "gui/app/ServerList.h"
#include "gui/app/WindowOpeners.h"
#include "gui/info/ActivityUnit.h"
#include "gui/skins/BitCheckBox.h"
#include "gui/skins/Controls.h"
#include "gui/skins/SkinButton.h"
#include "gui/skins/SkinedStringGrid.h"
#include <QPushButton>

#include <QClipboard>
#include <QListWidget>

#include <fstream>

using namespace parlomar;

namespace {

QStringList Rows(const TServerList* list) {
    QStringList rows;
    for (int row = 0; row < list->ServersList->count(); ++row)
        rows << list->ServersList->itemWidget(list->ServersList->item(row))->findChild<TLabel*>()->text();
    return rows;
}

// Runs call; a modal window it opens (it should open none) is closed and reported.
bool OpensAModalWindow(const std::function<void()>& call) {
    bool opened = false;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (auto* window = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            opened = true;
            window->reject();
        }
    });
    closer.start(100);
    call();
    QTest::qWait(250);
    return opened;
}

} // namespace

class ServersTest : public test::WindowTest {
    Q_OBJECT

private slots:
    void init() {
        WindowTest::init();
        std::filesystem::remove_all(ActivityLogFolder());
    }
    void cleanup() { WindowTest::cleanup(); }

    void SavedServersAcrossRestartsBesideAnOlderFile() {
        test::ShippedProgramFolder folder;
        test::LoggedServer first;
        test::LoggedServer second("12");
        const std::string port = std::to_string(first.Port());
        // A settings file as an older program leaves it: the current server in [USERS] only.
        folder.WriteSettings(test::ShippedFile("ParlomarClient.ini") +
                             "\n[USERS]\nIP=127.0.0.1\nPort=" + port + "\nlogin=operator\nSavePsw=0\nPsw=\n");
        {
            TParlomarClientMainForm form;
            ui->SetMainForm(&form);
            form.show();
            QCOMPARE(form.PortEdit->text(), QString::fromStdString(port));
            QCOMPARE(form.LoginEdit->text(), QStringLiteral("operator"));
            QVERIFY(!form.RememberCheck->Checked() && !form.ReadOnlyCheck->Checked());
            QVERIFY(!form.ServersAction->isVisible());
            QTest::keyClick(form.IPEdit, Qt::Key_Down, Qt::AltModifier);
            QVERIFY(!form.ServerList); // nothing saved yet: no list

            // The first server with its password remembered, the second read-only without.
            test::TypeSignIn(form, first.Port());
            form.RememberCheck->SetChecked(true);
            form.LoginButtonClick();
            QVERIFY(QTest::qWaitFor([&] { return !form.RequestRunning(); }, 20000));
            QTRY_VERIFY_WITH_TIMEOUT(form.SignedIn() && test::Idle(form), 20000);
            form.Signout1Click();
            test::TypeSignIn(form, second.Port());
            form.RememberCheck->SetChecked(false);
            form.ReadOnlyCheck->SetChecked(true);
            form.LoginButtonClick();
            QVERIFY(QTest::qWaitFor([&] { return !form.RequestRunning(); }, 20000));
            QTRY_VERIFY_WITH_TIMEOUT(form.SignedIn() && test::Idle(form), 20000);
            form.Signout1Click();
        }

        // Started again: the list under the address field, the newest first.
        TParlomarClientMainForm form;
        ui->SetMainForm(&form);
        form.show();
        QVERIFY(form.ServersAction->isVisible());
        QVERIFY(!form.ReadOnlyCheck->Checked()); // [USERS] names the first server, which is not read-only
        QTest::keyClick(form.IPEdit, Qt::Key_Down, Qt::AltModifier);
        QVERIFY(form.ServerList && form.ServerList->isVisible());
        const QString secondRow =
            QStringLiteral("127.0.0.1:%1 \u2014 operator  (read-only)").arg(second.Port());
        const QString firstRow = QStringLiteral("127.0.0.1:%1 \u2014 operator").arg(first.Port());
        QCOMPARE(Rows(form.ServerList), (QStringList{secondRow, firstRow}));

        form.ServerList->close();

        // A sign-in to a wrong port fails; its message goes once a saved server is chosen.
        form.PortEdit->setText(QString::number(test::FreePort()));
        form.LoginButtonClick();
        QVERIFY(QTest::qWaitFor([&] { return !form.RequestRunning(); }, 20000));
        QTRY_VERIFY_WITH_TIMEOUT(!form.LoginMessLabel->isHidden() && test::Idle(form), 20000);
        QTest::keyClick(form.IPEdit, Qt::Key_Down, Qt::AltModifier);
        QCOMPARE(Rows(form.ServerList), (QStringList{secondRow, firstRow}));

        // The first server chosen with the keys: its remembered password signs in.
        form.PortEdit->clear();
        form.PswEdit->clear();
        QTest::keyClick(form.ServerList->ServersList, Qt::Key_Down);
        QTest::keyClick(form.ServerList->ServersList, Qt::Key_Return);
        QVERIFY(!form.ServerList->isVisible());
        QCOMPARE(form.PortEdit->text(), QString::number(first.Port()));
        QVERIFY(form.LoginMessLabel->isHidden());
        QVERIFY(form.RememberCheck->Checked() && !form.ReadOnlyCheck->Checked());
        QCOMPARE(form.TypedSignInValues().encipheredPassword, EncipherPassword(standin_test::kPassword));
        QCOMPARE(form.focusWidget(), form.LoginButton); // and Enter there signs in
        QTest::keyClick(form.LoginButton, Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(form.SignedIn() && test::Idle(form), 20000);
        QVERIFY(!form.ReadOnly());
        form.Signout1Click();

        // The second one: no password to fill, read-only; a port typed by hand follows the entry.
        form.ShowSavedServers();
        QCOMPARE(Rows(form.ServerList), (QStringList{firstRow, secondRow}));
        QTest::mouseClick(
            form.ServerList->ServersList->viewport(), Qt::LeftButton, {},
            form.ServerList->ServersList->visualItemRect(form.ServerList->ServersList->item(1)).center());
        QVERIFY(form.PswEdit->text().isEmpty() && !form.RememberCheck->Checked());
        QVERIFY(form.ReadOnlyCheck->Checked());
        form.PortEdit->clear();
        QTest::keyClicks(form.PortEdit, QString::number(first.Port()));
        QVERIFY(!form.ReadOnlyCheck->Checked());
        form.PortEdit->clear();
        QTest::keyClicks(form.PortEdit, QString::number(second.Port()));
        QVERIFY(form.ReadOnlyCheck->Checked());

        // Delete takes an entry out; [USERS] stays what it was.
        const std::string users = IniLookup(folder.Settings(), "USERS", "Port");
        form.ShowSavedServers();
        QTest::keyClick(form.ServerList->ServersList, Qt::Key_Delete);
        QCOMPARE(Rows(form.ServerList), (QStringList{secondRow}));
        const std::string settings = folder.Settings();
        QCOMPARE(IniLookup(settings, "Server1", "Port"), std::to_string(second.Port()));
        QCOMPARE(IniLookup(settings, "Server2", "IP"), std::string("0"));
        QCOMPARE(IniLookup(settings, "USERS", "Port"), users);
        QCOMPARE(settings.find(EncipherPassword(standin_test::kPassword) + "\n[Server"), std::string::npos);
        form.ServerList->close();

        // The removal offers its undo, naming what went; the list comes back as it was.
        QVERIFY(form.UndoRemoveButton && form.UndoRemoveButton->isVisible());
        QVERIFY2(form.UndoRemoveButton->text().contains(QStringLiteral(":%1").arg(first.Port())),
                 qPrintable(form.UndoRemoveButton->text()));
        form.UndoRemoveButton->click();
        QVERIFY(!form.UndoRemoveButton->isVisible());
        QCOMPARE(IniLookup(folder.Settings(), "Server1", "Port"), std::to_string(first.Port()));
        form.ShowSavedServers();
        QCOMPARE(Rows(form.ServerList), (QStringList{firstRow, secondRow}));
        // Removing both: no empty list stays behind, and the drop-down button goes.
        QTest::keyClick(form.ServerList->ServersList, Qt::Key_Delete);
        QTest::keyClick(form.ServerList->ServersList, Qt::Key_Delete);
        QVERIFY(!form.ServerList->isVisible());
        QVERIFY(!form.ServersAction->isVisible());
        QCOMPARE(IniLookup(folder.Settings(), "Server1", "IP"), std::string("0"));
    }

    void ASavedPortOutsideTheRangeIsNamedNotWrapped() {
        test::ShippedProgramFolder folder;
        folder.WriteSettings("[General]\nShowTray=0\n[Server1]\nIP=cp.example.com\nPort=65537\nLogin=root\n");
        TParlomarClientMainForm form;
        ui->SetMainForm(&form);
        form.show();
        form.ShowSavedServers();
        QCOMPARE(Rows(form.ServerList),
                 (QStringList{QStringLiteral("cp.example.com (no valid port) \u2014 root")}));
        form.ServerList->ChooseRow(0);
        QVERIFY(form.PortEdit->text().isEmpty()); // not 1, the low bits of 65537
        QVERIFY(form.LoginMessLabel->isVisible() &&
                form.LoginMessLabel->text().contains(QStringLiteral("not a number from 1 to 65535")));
        QCOMPARE(form.focusWidget(), form.PortEdit);
        form.LoginButtonClick();
        QVERIFY(!form.SignedIn() && !test::Contains(folder.Settings(), "login=root"));
    }

    void ReadOnlyServerChangesNothingAnywhere() {
        test::ShippedProgramFolder folder;
        test::LoggedServer server;
        TParlomarClientMainForm form;
        test::ShowMainWindow(form, *ui);
        test::TypeSignIn(form, server.Port());
        form.ReadOnlyCheck->SetChecked(true);
        form.LoginButtonClick();
        QVERIFY(QTest::qWaitFor([&] { return !form.RequestRunning(); }, 20000));
        QTRY_VERIFY_WITH_TIMEOUT(form.SignedIn() && test::Idle(form), 20000);
        QVERIFY(form.ReadOnlyLabel->isVisible());
        QCOMPARE(form.ReadOnlyLabel->text(), QStringLiteral("read-only"));
        for (QAction* off :
             {static_cast<QAction*>(form.Createaccounts1), static_cast<QAction*>(form.Createpackage1),
              static_cast<QAction*>(form.Edit1), static_cast<QAction*>(form.Delete1)})
            QVERIFY2(!off->isEnabled(), qPrintable(off->objectName()));
        QVERIFY(!form.AddButton->isEnabled());
        QVERIFY(form.Listaccounts1->isEnabled() && form.Activitylog1->isEnabled() &&
                form.Viewserverinformation1->isEnabled());

        form.Listaccounts1Click();
        QTRY_VERIFY_WITH_TIMEOUT(test::Idle(form) && form.AccList->VisibleRowCount() > 0, 20000);
        int row = 0;
        for (int r = 1; r < form.AccList->Data().RowCount() && row == 0; ++r)
            if (form.AccList->Data().Cell(kAccSuspendedCol, r) == "0")
                row = r;
        form.AccList->SelectDataRow(row);
        const std::string user(form.AccList->Data().Cell(kAccUserCol, row));
        form.ListPopupMenuPopup();
        QVERIFY(test::WaitForRequests());
        for (QAction* off :
             {static_cast<QAction*>(form.Suspend1), static_cast<QAction*>(form.LimitBandWidth1),
              static_cast<QAction*>(form.Changepassword1), static_cast<QAction*>(form.Deleteaccount1)})
            QVERIFY2(!off->isEnabled(), qPrintable(off->objectName()));
        QVERIFY(form.Viewsummary1->isEnabled() && form.CopyToClipboard1->isEnabled());

        // Keys and handlers reached another way do nothing either: no question, no dialog.
        ui->answers = {true, true, true};
        QApplication::setActiveWindow(&form);
        form.AccList->setFocus();
        QTest::keyClick(form.AccList, Qt::Key_U, Qt::ControlModifier);
        form.Deleteaccount1Click();
        QVERIFY(test::WaitForRequests());
        QVERIFY(!OpensAModalWindow([&] { form.LimitBandWidth1Click(); }));
        QVERIFY(!OpensAModalWindow([&] { form.Changepassword1Click(); }));
        QVERIFY(!OpensAModalWindow([&] { form.AddButtonClick(); }));
        QVERIFY(ui->questions.empty());

        // Several rows: the actions for all of them are off too.
        const auto click = [&](int viewRow, Qt::KeyboardModifiers modifiers) {
            const QRect cell = form.AccList->visualRect(form.AccList->Model()->index(viewRow, kAccUserCol));
            QTest::mouseClick(form.AccList->viewport(), Qt::LeftButton, modifiers, cell.center());
        };
        click(0, Qt::NoModifier);
        click(3, Qt::ShiftModifier);
        form.ListPopupMenuPopup();
        QVERIFY(test::WaitForRequests());
        QVERIFY(form.Suspendselected1->isVisible());
        for (QAction* off :
             {static_cast<QAction*>(form.Suspendselected1), static_cast<QAction*>(form.Unsuspendselected1),
              static_cast<QAction*>(form.Deleteselected1)})
            QVERIFY2(!off->isEnabled(), qPrintable(off->objectName()));
        form.Deleteselected1Click();
        QVERIFY(ui->questions.empty() && !form.BulkForm);
        form.AccList->SelectDataRow(row);

        // The details window: Run, Pause, Delete and the password link are off.
        OpenAccountDetails(&form, user);
        QVERIFY(test::WaitForRequests());
        QPointer<TSummaryForm> details = OpenDetailsWindows().value(0);
        QVERIFY(details && details->isVisible());
        QVERIFY(!details->RunButton->isEnabled() && !details->PauseButton->isEnabled() &&
                !details->DeleteButton->isEnabled());
        details->PauseButtonClick();
        QVERIFY(test::WaitForRequests());
        details->DeleteButtonClick();
        QVERIFY(test::WaitForRequests());
        int pswRow = -1;
        for (int r = 0; r < details->Table().Grid().RowCount(); ++r)
            if (details->Table().IsPasswordLink(1, r))
                pswRow = r;
        QVERIFY(pswRow > 0);
        const QRect link = details->SummaryGrid->visualRect(details->SummaryGrid->model()->index(pswRow, 1));
        bool passwordAsked = false;
        details->Calls.changePassword = [&](const std::string&) { passwordAsked = true; };
        details->SummaryGridMouseDown(link.topLeft() + QPoint(8, link.height() / 2));
        QVERIFY(!passwordAsked);
        QVERIFY(ui->questions.empty());
        details->close();

        // The editor reached directly: OK is off and sends nothing.
        test::OnNextModal<TAddForm>([](TAddForm* editor) {
            QVERIFY(!editor->OKButton->isEnabled());
            editor->OKButtonClick();
            QVERIFY(test::WaitForRequests());
        });
        OpenAccountEditor(&form);

        // Nothing but listing and viewing reached the server.
        for (const std::string& path : server.Paths())
            QVERIFY2(path == "version" || path == "listpkgs" || path == "listaccts" ||
                         path == "accountsummary",
                     path.c_str());

        // Signed in again without the switch: everything is back.
        form.Signout1Click();
        QVERIFY(!form.ReadOnlyLabel->isVisible() && form.Createaccounts1->isEnabled());
        form.ReadOnlyCheck->SetChecked(false);
        form.LoginButtonClick();
        QVERIFY(QTest::qWaitFor([&] { return !form.RequestRunning(); }, 20000));
        QTRY_VERIFY_WITH_TIMEOUT(form.SignedIn() && test::Idle(form), 20000);
        QVERIFY(!form.ReadOnlyLabel->isVisible());
        QVERIFY(form.Createaccounts1->isEnabled() && form.Delete1->isEnabled() &&
                form.AddButton->isEnabled());
    }

    void ActivityLogWindowListsTheChanges() {
        test::ShippedProgramFolder folder;
        test::LoggedServer server;
        TParlomarClientMainForm form;
        test::ShowMainWindow(form, *ui);
        test::SignIn(form, server.Port());
        QTRY_VERIFY_WITH_TIMEOUT(form.SignedIn() && test::Idle(form), 20000);
        form.Listaccounts1Click();
        QTRY_VERIFY_WITH_TIMEOUT(test::Idle(form) && form.AccList->VisibleRowCount() > 0, 20000);
        int row = 0;
        for (int r = 1; r < form.AccList->Data().RowCount() && row == 0; ++r)
            if (form.AccList->Data().Cell(kAccSuspendedCol, r) == "0")
                row = r;
        const std::string user(form.AccList->Data().Cell(kAccUserCol, row));
        form.AccList->SelectDataRow(row);
        ui->answers = {true};
        form.Suspend1Click();
        QVERIFY(test::WaitForRequests());
        QCOMPARE(form.AccList->Data().Cell(kAccSuspendedCol, row), std::string("1"));
        HttpGet(form.Session(), SuspendAccountUrl(form.Session()->BaseUrl(), "nosuchuser"));

        form.Activitylog1Click();
        QPointer<TActivityForm> window = form.ActivityForm;
        QVERIFY(window && window->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!window->Reading() && window->ShownRows() == 2, 10000);
        QCOMPARE(window->ShownText(0, 4), QStringLiteral("nosuchuser"));
        QVERIFY(window->ShownText(0, 6).startsWith(QStringLiteral("Refused: ")));
        QCOMPARE(window->ShownText(1, 1), QStringLiteral("127.0.0.1:%1").arg(server.Port()));
        QCOMPARE(window->ShownText(1, 2), QString::fromUtf8(standin_test::kUser));
        QCOMPARE(window->ShownText(1, 3), QStringLiteral("suspendacct"));
        QCOMPARE(window->ShownText(1, 4), QString::fromStdString(user));
        QVERIFY(window->ShownText(1, 6).startsWith(QStringLiteral("Done: ")));

        // The filter ignores letter case; copy takes the selected rows, else every row shown.
        window->FilterEdit->setText(QString::fromStdString(user).toUpper());
        QCOMPARE(window->ShownRows(), 1);
        window->CopyButtonClick();
        QCOMPARE(QApplication::clipboard()->text().count(QLatin1Char('\n')), 0);
        QVERIFY(QApplication::clipboard()->text().startsWith(window->ShownText(0, 0) + QLatin1Char('\t')));
        window->FilterEdit->clear();
        // Selected through the model: selectRow would follow whatever modifier keys earlier tests left.
        window->ActivityGrid->selectionModel()->select(window->ActivityGrid->model()->index(0, 0),
                                                       QItemSelectionModel::ClearAndSelect |
                                                           QItemSelectionModel::Rows);
        QVERIFY(window->CopyText().contains(QStringLiteral("\tnosuchuser\t")));
        QVERIFY(!window->CopyText().contains(QString::fromStdString("\t" + user + "\t")));

        // The file as outside input: a broken line is skipped, a request without its outcome is shown
        // as such, and the open window follows the file.
        std::ofstream(ActivityLogFile(), std::ios::app)
            << "{\"entry\":\n\x01\xFF garbage\n"
            << "{\"time\":\"2025-01-02T03:04:05.000Z\",\"entry\":\"z-1\",\"phase\":\"sending\","
               "\"function\":\"removeacct\",\"target\":\"gone\"}\n";
        QTRY_VERIFY_WITH_TIMEOUT(window->ShownRows() == 3, 10000);
        QCOMPARE(window->ShownText(0, 4), QStringLiteral("gone"));
        QVERIFY(window->ShownText(0, 6).startsWith(QStringLiteral("No outcome recorded")));
        // The selection stays with its entry, though the new one came in above it.
        QVERIFY(window->CopyText().contains(QStringLiteral("\tnosuchuser\t")));
        QVERIFY(!window->CopyText().contains(QStringLiteral("\tgone\t")));

        // A very long value: its hint wraps and ends after its first thousand characters, as text.
        std::string target;
        for (int n = 0; n < 400; ++n)
            target += "<b>" + std::to_string(n) + "</b> ";
        std::ofstream(ActivityLogFile(), std::ios::app)
            << "{\"time\":\"2025-01-02T03:04:06.000Z\",\"entry\":\"z-2\",\"phase\":\"sending\","
               "\"function\":\"killpkg\",\"target\":\""
            << target << "\"}\n";
        QTRY_VERIFY_WITH_TIMEOUT(window->ShownRows() == 4, 10000);
        const QString hint = window->ActivityGrid->model()->index(0, 4).data(Qt::ToolTipRole).toString();
        QVERIFY(hint.startsWith(QStringLiteral("<p>&lt;b&gt;0&lt;/b&gt; &lt;b&gt;1&lt;")));
        QVERIFY(hint.endsWith(QStringLiteral("\u2026</p>")) && !hint.contains(QStringLiteral("&gt;399&lt;")));
        window->close();
    }
};

static parlomar::test::RegisterTest<ServersTest> registerServersTest;

#include "ServersTest.moc"
