// The program without a mouse and for assistive technology: where the focus goes, Tab out of the
// grids, Enter and the menu keys on rows, the filter bar by keys, the server menu's sign-out and
// exit, the names the controls give; the first run's help in the sign-in panel; a second start.

#include "StandinProcess.h"
#include "TestRegistry.h"
#include "WindowsTestSupport.h"
#include "core/accounts/AccountList.h"
#include "core/accounts/PackageList.h"
#include "core/settings/Localization.h"
#include "gui/accounts/AddUnit.h"
#include "gui/accounts/FilterPaintBox.h"
#include "gui/accounts/SummaryUnit.h"
#include "gui/app/MainUnit.h"
#include "gui/app/SingleInstance.h"
#include "gui/settings/Captions.h"
#include "gui/skins/ButtonEdit.h"
#include "gui/skins/Controls.h"
#include "gui/skins/SkinButton.h"
#include "gui/skins/SkinedStringGrid.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QMenu>
#include <QTabBar>
#include <QTest>

#include <future>

using namespace parlomar;

namespace {

QAccessibleInterface* Accessible(QObject* object) {
    return QAccessible::queryAccessibleInterface(object);
}

// The letter after the access key marker of a caption ('\0' for none).
QChar AccessKey(const QString& text) {
    const qsizetype at = text.indexOf(QLatin1Char('&'));
    return at >= 0 && at + 1 < text.size() ? text[at + 1].toLower() : QChar();
}

} // namespace

class KeyboardTest : public test::WindowTest {
    Q_OBJECT

private slots:
    void SignInPanelFocusAndFirstRunHelp() {
        test::ProgramFolder folder;
        folder.WriteSettings("[General]\nShowTray=0\n");
        {
            TParlomarClientMainForm form;
            test::ShowMainWindow(form, *ui);
            QCOMPARE(form.focusWidget(), form.IPEdit); // nothing filled in yet
            QVERIFY(form.IPEdit->placeholderText().contains(QStringLiteral("host name")));

            // A pasted web address gives the host to the field and the port to its own.
            QApplication::clipboard()->setText(QStringLiteral("https://srv-01.example.com:2096/cpsess1/x?y"));
            QTest::keyClick(form.IPEdit, Qt::Key_V, Qt::ControlModifier);
            QCOMPARE(form.IPEdit->text(), QStringLiteral("srv-01.example.com"));
            QCOMPARE(form.PortEdit->text(), QStringLiteral("2096"));
            QCOMPARE(form.TypedSignInValues().serverAddress, "srv-01.example.com");
            form.IPEdit->clear();
            QApplication::clipboard()->setText(QStringLiteral("10.1.2.3:2087"));
            QTest::keyClick(form.IPEdit, Qt::Key_V, Qt::ControlModifier);
            QCOMPARE(form.IPEdit->text(), QStringLiteral("10.1.2.3"));
            QCOMPARE(form.PortEdit->text(), QStringLiteral("2087"));

            // An empty port is named as the problem, nothing is stored, and the port takes the focus.
            form.PortEdit->clear();
            form.LoginEdit->setText(QStringLiteral("root"));
            form.LoginEdit->setFocus();
            form.LoginButtonClick();
            QVERIFY(QTest::qWaitFor([&] { return !form.RequestRunning(); }, 20000));
            QCOMPARE(ui->messages.size(), std::size_t(1));
            QVERIFY(ui->messages[0].find("port") != std::string::npos);
            QCOMPARE(form.focusWidget(), form.PortEdit);
            QVERIFY(!test::Contains(folder.Settings(), "login=root"));

            // An address that is more than a host: back to the address field.
            form.PortEdit->setText(QStringLiteral("2087"));
            form.IPEdit->setText(QStringLiteral("ftp://10.1.2.3"));
            form.LoginButtonClick();
            QVERIFY(QTest::qWaitFor([&] { return !form.RequestRunning(); }, 20000));
            QCOMPARE(ui->messages.size(), std::size_t(2));
            QCOMPARE(form.focusWidget(), form.IPEdit);
        }
        // Only the password is missing: the password field has the focus at start.
        folder.WriteSettings("[General]\nShowTray=0\n[USERS]\nIP=10.1.2.3\nPort=2087\nLogin=root\n");
        TParlomarClientMainForm form;
        test::ShowMainWindow(form, *ui);
        QCOMPARE(form.focusWidget(), form.PswEdit);
    }

    void KeyboardRoutesThroughListsMenusAndDetails() {
        test::ProgramFolder folder;
        folder.WriteLanguage(test::ShippedFile("Localization/English.lng"));
        folder.WriteSettings("[General]\nShowTray=0\nUntrustedCert=1\n");
        standin_test::TempDir data;
        standin_test::StandinProcess server(data.Path(), {"--seed", "demo"});
        TParlomarClientMainForm form;
        test::ShowMainWindow(form, *ui);
        test::SignIn(form, server.Port());
        QTRY_VERIFY_WITH_TIMEOUT(test::Idle(form) && form.AccList->isVisible(), 20000);

        // The package list came: the grid has the focus on its first row.
        TSkinedStringGrid* grid = form.AccList;
        QCOMPARE(form.focusWidget(), grid);
        QCOMPARE(grid->CurrentDataRow(), grid->Model()->DataRow(0));
        // Arrows, End and Home move within the grid; Tab and Shift+Tab leave it.
        QTest::keyClick(grid, Qt::Key_Down);
        QCOMPARE(grid->CurrentDataRow(), grid->Model()->DataRow(1));
        QTest::keyClick(grid, Qt::Key_End);
        QCOMPARE(grid->CurrentDataRow(), grid->Model()->DataRow(grid->VisibleRowCount() - 1));
        QTest::keyClick(grid, Qt::Key_Home);
        QCOMPARE(grid->CurrentDataRow(), grid->Model()->DataRow(0));
        QTest::keyClick(grid, Qt::Key_Tab);
        QCOMPARE(form.focusWidget(), form.GetListButton);
        QTest::keyClick(form.GetListButton, Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(form.focusWidget(), grid);
        QCOMPARE(grid->CurrentDataRow(), grid->Model()->DataRow(0));

        // Enter on a package opens its editor; the Menu key its menu.
        const std::string package(form.CurrentCell(kPkgNameCol));
        std::string edited;
        test::OnNextModal<TAddForm>([&edited](TAddForm* editor) { edited = editor->PackageName; });
        QTest::keyClick(grid, Qt::Key_Return);
        QCOMPARE(edited, package);
        QTest::keyClick(grid, Qt::Key_Menu);
        QTRY_VERIFY(form.PackageMenu->isVisible());
        form.PackageMenu->close();

        // The account list: Enter opens the current account's details, Shift+F10 the row menu.
        QTest::keyClick(grid, Qt::Key_L, Qt::ControlModifier);
        QTRY_VERIFY_WITH_TIMEOUT(test::Idle(form) && grid->ShownList == kListModeAccounts, 20000);
        QCOMPARE(form.focusWidget(), grid);
        QTest::keyClick(grid, Qt::Key_Down);
        const std::string user(form.CurrentCell(kAccUserCol));
        QTest::keyClick(grid, Qt::Key_Enter, Qt::KeypadModifier);
        QTRY_COMPARE_WITH_TIMEOUT(OpenDetailsWindows().size(), qsizetype(1), 10000);
        TSummaryForm* details = OpenDetailsWindows().front();
        QCOMPARE(details->UserName, user);
        // In the details window Tab goes from the grid to "Configure view" and "Close window".
        details->SummaryGrid->setFocus();
        QTest::keyClick(details->SummaryGrid, Qt::Key_Tab);
        QCOMPARE(details->focusWidget(), details->ConfigureViewButton);
        QTest::keyClick(details->ConfigureViewButton, Qt::Key_Tab);
        QCOMPARE(details->focusWidget(), details->CloseBtn);
        QTest::keyClick(details->CloseBtn, Qt::Key_Space);
        QTRY_VERIFY(OpenDetailsWindows().isEmpty() || !OpenDetailsWindows().front()->isVisible());
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_F10, Qt::ShiftModifier);
        QTRY_VERIFY(form.ListPopupMenu->isVisible());
        form.ListPopupMenu->close();

        // The filter bar takes the focus and switches with the arrow keys; the focus stays on it.
        TFilterPaintBox* bar = form.FilterPaintBox;
        QVERIFY(bar->focusPolicy() & Qt::TabFocus);
        QTest::keyClick(grid, Qt::Key_Tab);
        QCOMPARE(form.focusWidget(), bar);
        QTest::keyClick(bar, Qt::Key_Right);
        QTRY_VERIFY_WITH_TIMEOUT(test::Idle(form), 20000);
        QCOMPARE(form.ListState.filterMode, 2);
        QTest::keyClick(bar, Qt::Key_End);
        QTRY_VERIFY_WITH_TIMEOUT(test::Idle(form), 20000);
        QCOMPARE(form.ListState.filterMode, 3);
        QCOMPARE(form.focusWidget(), bar);
        for (int row = 0; row < grid->VisibleRowCount(); ++row) // only suspended accounts are shown
            QCOMPARE(grid->Data().Cell(kAccSuspendedCol, grid->Model()->DataRow(row)), "1");

        // ... and assistive technology hears the same: three choices, the third one checked.
        QAccessibleInterface* barAccess = Accessible(bar);
        QCOMPARE(barAccess->childCount(), 3);
        QCOMPARE(barAccess->child(0)->text(QAccessible::Name), QStringLiteral("All"));
        QCOMPARE(barAccess->child(2)->text(QAccessible::Name), QStringLiteral("Suspended"));
        QVERIFY(barAccess->child(2)->state().checked && !barAccess->child(0)->state().checked);
        barAccess->child(0)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QTRY_VERIFY_WITH_TIMEOUT(test::Idle(form) && form.ListState.filterMode == 1, 20000);

        // A suspended account's row says so, not only in grey; a panel cell is the control panel link.
        int suspended = 0;
        for (int row = 0; row < grid->VisibleRowCount() && !suspended; ++row)
            if (grid->Data().Cell(kAccSuspendedCol, grid->Model()->DataRow(row)) == "1")
                suspended = row;
        QVERIFY(suspended > 0);
        QAccessibleTableInterface* table = Accessible(grid)->tableInterface();
        QVERIFY(table);
        QCOMPARE(Accessible(grid)->text(QAccessible::Name), QStringLiteral("Accounts"));
        const std::string suspendedUser(grid->Data().Cell(kAccUserCol, grid->Model()->DataRow(suspended)));
        QCOMPARE(table->cellAt(suspended, kAccUserCol)->text(QAccessible::Name),
                 Q(suspendedUser) + QStringLiteral(", suspended"));
        QCOMPARE(table->cellAt(suspended, kAccDomainCol)->text(QAccessible::Description),
                 QStringLiteral("suspended"));
        QAccessibleInterface* panel = table->cellAt(0, kAccPanelCol);
        QCOMPARE(panel->text(QAccessible::Name), QStringLiteral("Open the account's control panel"));
        QVERIFY(panel->text(QAccessible::Description).startsWith(QStringLiteral("http")));
        // The header cells are made for the caller, who gives them back.
        const QList<QAccessibleInterface*> headers =
            table->cellAt(0, kAccDomainCol)->tableCellInterface()->columnHeaderCells();
        QVERIFY(!headers.isEmpty());
        const QString headerName = headers.value(0)->text(QAccessible::Name);
        for (QAccessibleInterface* header : headers)
            QAccessible::deleteAccessibleInterface(QAccessible::registerAccessibleInterface(header));
        QCOMPARE(headerName, Q(grid->Data().Cell(kAccDomainCol, 0)));

        // The main window is a window; every control that takes the focus has a name, without blanks
        // around it.
        QCOMPARE(Accessible(&form)->role(), QAccessible::Window);
        for (QWidget* control : form.findChildren<QWidget*>()) {
            if (!control->isVisibleTo(&form) || !(control->focusPolicy() & Qt::TabFocus))
                continue;
            const QString name = Accessible(control)->text(QAccessible::Name);
            QVERIFY2(!name.isEmpty() && name == name.trimmed(),
                     qPrintable(control->objectName() + QLatin1Char('=') + name));
        }
        QCOMPARE(Accessible(form.SettingsButton)->text(QAccessible::Name), QStringLiteral("Settings"));

        // The server menu holds "Sign out" and "Exit" with short cuts; every item has an access key
        // of its own once the menu opens, and the captions the language file holds stay without it.
        QVERIFY(form.ServerMenu->actions().contains(form.Signout1));
        QVERIFY(form.ServerMenu->actions().contains(form.Exit1));
        QVERIFY(!form.Exit1->shortcut().isEmpty() && !form.Signout1->shortcut().isEmpty());
        emit form.ServerMenu->aboutToShow();
        QString keys;
        for (QAction* action : form.ServerMenu->actions()) {
            if (action->isSeparator() || !action->isVisible())
                continue;
            const QChar key = AccessKey(action->text());
            QVERIFY2(!key.isNull() && !keys.contains(key), qPrintable(action->text()));
            keys += key;
        }
        QCOMPARE(CaptionOf(form.Exit1), QStringLiteral("Exit"));
        QVERIFY(!AccessKey(form.ServerButton->text()).isNull());
        QVERIFY(AccessKey(form.ServerButton->text()) != AccessKey(form.SettingsButton->text()));

        QApplication::setActiveWindow(&form); // the offscreen platform leaves the closed menu active
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(!form.SignedIn());
        QCOMPARE(form.focusWidget(), form.LoginButton); // every field is filled in
    }

    void SecondStartBringsTheWindowToTheFront() {
        test::ProgramFolder folder;
        folder.WriteSettings("[General]\nShowTray=0\n");
        QTemporaryDir locks;
        SingleInstanceGuard first(locks.path());
        QCOMPARE(first.Acquire(), SingleInstanceGuard::Result::Acquired);
        // A socket left by a crashed instance is taken over.
        QFile stale(first.SocketPath());
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.close();
        TParlomarClientMainForm form;
        int shown = 0;
        QVERIFY(first.Listen([&] {
            ++shown;
            form.BringToFront();
        }));
        form.hide(); // closed to the tray

        SingleInstanceGuard second(locks.path());
        QCOMPARE(second.Acquire(), SingleInstanceGuard::Result::AlreadyRunning);
        auto asked = std::async(std::launch::async, [&second] { return second.AskToShow(); });
        QTRY_VERIFY_WITH_TIMEOUT(asked.wait_for(std::chrono::seconds(0)) == std::future_status::ready, 10000);
        QVERIFY(asked.get());
        QCOMPARE(shown, 1);
        QVERIFY(form.isVisible());

        // Nobody listens: the second start says so (the message names the program).
        first.StopListening();
        QVERIFY(!second.AskToShow(1000));
        QVERIFY(QString::fromUtf8(kAlreadyRunningText).startsWith(QStringLiteral("ParlomarClient ")));
    }
};

static parlomar::test::RegisterTest<KeyboardTest> registerKeyboardTest;
#include "KeyboardTest.moc"
