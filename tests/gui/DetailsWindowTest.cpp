// The details window against the real stand-in server: the shipped view of an account and of a
// package, group headers collapsing and expanding, the usage bar, Run/Pause, Delete, Escape, and two
// windows keeping their own tables.

#include "TestRegistry.h"
#include "WindowsTestSupport.h"
#include "core/server/XMLParser.h"
#include "core/settings/Localization.h"
#include "gui/accounts/SummaryUnit.h"
#include "gui/app/MainUnit.h"
#include "gui/app/WindowOpeners.h"
#include "gui/skins/Controls.h"
#include "gui/skins/SkinButton.h"

#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using namespace parlomar;

namespace {

// The row whose name cell shows the label, or -1.
int RowOf(const TSummaryForm& form, const std::string& label) {
    for (int row = 0; row < form.Table().RowCount(); ++row)
        if (form.Table().Grid().Cell(0, row) == label)
            return row;
    return -1;
}

std::string Value(const TSummaryForm& form, const std::string& label) {
    const int row = RowOf(form, label);
    return row < 0 ? "<none>" : form.Table().DisplayText(1, row);
}

void ClickGroupIcon(TSummaryForm& form, int row) {
    const QRect cell = form.SummaryGrid->visualRect(form.SummaryGrid->model()->index(row, 0));
    QTest::mouseClick(form.SummaryGrid->viewport(), Qt::LeftButton, {},
                      TSummaryForm::GroupIconRect(cell).center());
}

// Opens a details window the way the main window does and returns it.
TSummaryForm* OpenDetails(TParlomarClientMainForm& main, bool account, const std::string& name) {
    if (account)
        OpenAccountDetails(&main, name);
    else
        OpenPackageDetails(&main, name);
    test::WaitForRequests(); // an account's window opens with its summary
    const QList<TSummaryForm*> windows = OpenDetailsWindows();
    return windows.isEmpty() ? nullptr : windows.last();
}

} // namespace

class DetailsWindowTest : public test::WindowTest {
    Q_OBJECT

private slots:
    void cleanup() {
        CloseDetailsWindows();
        WindowTest::cleanup();
    }

    void AccountViewGroupsAndUsageBar() {
        test::ShippedProgramFolder folder;
        LoadLanguageGlobals();
        test::SignedInServer server;
        TParlomarClientMainForm main;
        main.SetWindowsSession(server.session);
        TSummaryForm* form = OpenDetails(main, true, "greenleaf");
        QVERIFY(form && form->isVisible() && !form->isModal());
        QVERIFY(form->windowTitle().startsWith(QStringLiteral("greenleafgardens.org - ")));
        QCOMPARE(form->NameLabel->text(), QStringLiteral("greenleafgardens.org"));
        QCOMPARE(form->TitleLabel->text(), QString::fromStdString(StatusText(21)));
        QVERIFY(form->RunButton->isEnabled() && !form->PauseButton->isEnabled()); // suspended

        // The shipped view: headers at rows 0, 5 and 8, the password link at 7, labels, Yes/No.
        const TDetailsTable& table = form->Table();
        QCOMPARE(table.Grid().Cell(0, 0), StatusText(16));
        QCOMPARE(table.Grid().Cell(0, 5), StatusText(32));
        QCOMPARE(table.Grid().Cell(0, 8), StatusText(33));
        QCOMPARE(table.Grid().Cell(1, 7), StatusText(25));
        QVERIFY(table.IsPasswordLink(1, 7));
        QCOMPARE(Value(*form, "Domain"), std::string("greenleafgardens.org"));
        QCOMPARE(Value(*form, "Package"), std::string("bronze"));
        QCOMPARE(Value(*form, "Suspended"), std::string("Yes"));
        // The summary names the reason "suspendedreason"; it shows under the one shipped row.
        QVERIFY(test::Contains(form->RecordText, "<suspendedreason>Payment overdue</suspendedreason>"));
        QCOMPARE(Value(*form, "Suspension reason"), std::string("Payment overdue"));
        QCOMPARE(Value(*form, "Partition"), std::string("<none>")); // view value 0
        QVERIFY(table.IsUsageBar(1, 3));
        QVERIFY(form->SummaryGrid->isRowHidden(4)); // the disk limit row, "-2"
        QCOMPARE(table.Usage().usedText, XmlExtract(form->RecordText, "acct", "diskused", kXmlLastValue));
        const QRect bar = form->SummaryGrid->visualRect(form->SummaryGrid->model()->index(3, 1));
        QCOMPARE(form->HintAt(bar.center()), QString::fromStdString(table.UsageHint()));
        QVERIFY(form->HintAt(QPoint(2, 2)).isEmpty());
        QVERIFY(form->SummaryGrid->columnSpan(0, 0) == 2 && form->SummaryGrid->columnSpan(1, 0) == 1);

        // Collapsing the first group hides rows 1 to 4; expanding keeps the "-2" row hidden.
        ClickGroupIcon(*form, 0);
        QVERIFY(!table.IsGroupOpen(0));
        for (int row = 1; row <= 4; ++row)
            QVERIFY(form->SummaryGrid->isRowHidden(row));
        QVERIFY(!form->SummaryGrid->isRowHidden(5) && !form->SummaryGrid->isRowHidden(6));
        ClickGroupIcon(*form, 0);
        QVERIFY(table.IsGroupOpen(0));
        QVERIFY(!form->SummaryGrid->isRowHidden(1) && !form->SummaryGrid->isRowHidden(3));
        QVERIFY(form->SummaryGrid->isRowHidden(4));

        // The bar: its used share (88 MB of 1000) filled green from the left, the rest light.
        const QImage image = form->SummaryGrid->viewport()->grab().toImage();
        QCOMPARE(image.pixelColor(bar.left() + 8, bar.top() + 5), QColor(0xA6, 0xD9, 0x7C));
        QCOMPARE(image.pixelColor(bar.right() - 30, bar.top() + 5), QColor(0xF4, 0xF8, 0xFA));

        // Escape closes the window.
        QTest::keyClick(form->SummaryGrid, Qt::Key_Escape);
        QVERIFY(!form->isVisible());
    }

    void ServerValuesWithMarkupStayText() {
        test::ShippedProgramFolder folder;
        test::SignedInServer server;
        // The server's record with a disk limit that holds markup (escaped, as XML carries it).
        std::string record = server.Summary("greenleaf");
        const auto start = record.find("<disklimit>") + 11;
        record.replace(start, record.find("</disklimit>") - start, "&lt;img width=2000 height=10 src=x&gt;");
        TSummaryForm form;
        form.Session = server.session;
        form.DetailsKind = kAccountDetails;
        form.RecordText = record;
        form.UserName = "greenleaf";
        form.show();
        QVERIFY(form.Table().IsUsageBar(1, 3));
        const QRect bar = form.SummaryGrid->visualRect(form.SummaryGrid->model()->index(3, 1));
        QVERIFY(form.HintAt(bar.center()).contains(QStringLiteral("<img width=2000 height=10 src=x>")));
        const int width = test::ShownHintWidth(form.SummaryGrid->viewport(), bar.center());
        QVERIFY(width > 0 && width < 1000);
    }

    void RunPauseAndTwoWindowsKeepTheirTables() {
        test::ShippedProgramFolder folder;
        test::SignedInServer server;
        TParlomarClientMainForm main;
        main.SetWindowsSession(server.session);
        TSummaryForm* suspended = OpenDetails(main, true, "greenleaf");
        TSummaryForm* active = OpenDetails(main, true, "alpinebk");
        QVERIFY(suspended && active && suspended != active);
        QCOMPARE(OpenDetailsWindows().size(), 2);
        QVERIFY(!active->RunButton->isEnabled() && active->PauseButton->isEnabled());
        ClickGroupIcon(*active, 5);
        QVERIFY(active->SummaryGrid->isRowHidden(6) && !suspended->SummaryGrid->isRowHidden(6));

        // Run unsuspends after the question; the buttons and the table follow the server.
        ui->answers = {true};
        QTest::mouseClick(suspended->RunButton, Qt::LeftButton);
        QCOMPARE(ui->questions.back(), StatusText(20) + " greenleaf?");
        // While its request runs the window takes no second action.
        QVERIFY(!suspended->RunButton->isEnabled() && !suspended->DeleteButton->isEnabled());
        QVERIFY(test::WaitForRequests());
        QVERIFY(!ui->messages.empty());
        QVERIFY(!suspended->RunButton->isEnabled() && suspended->PauseButton->isEnabled());
        QVERIFY(!suspended->Suspended);
        QCOMPARE(Value(*suspended, "Suspended"), std::string("No"));
        QCOMPARE(Value(*active, "Domain"), std::string("alpine-bakery.com")); // untouched

        // Declining Pause changes nothing.
        const std::size_t shown = ui->messages.size();
        ui->answers = {false};
        suspended->PauseButtonClick();
        QVERIFY(test::WaitForRequests());
        QCOMPARE(ui->messages.size(), shown);
        QVERIFY(suspended->PauseButton->isEnabled());

        // Delete: after the question the account goes and the window closes.
        ui->answers = {true};
        QTest::mouseClick(active->DeleteButton, Qt::LeftButton);
        QVERIFY(test::Contains(ui->questions.back(), "alpinebk"));
        QVERIFY(test::WaitForRequests());
        QVERIFY(!active->isVisible());
        QVERIFY(test::Contains(server.Summary("alpinebk"), "<status>0</status>"));
    }

    void AWindowClosedWhileItsRequestRuns() {
        test::ShippedProgramFolder folder;
        test::SignedInServer server;
        TParlomarClientMainForm main;
        main.SetWindowsSession(server.session);
        QPointer<TSummaryForm> form = OpenDetails(main, true, "alpinebk");
        QVERIFY(form);
        standin_test::RequestOptions options;
        standin_test::Get(server.server.Url("/standin/faults?delay_ms=1500&times=1"), options);
        // The window goes while Pause waits for its reply: the reply reaches nothing of it.
        QTimer::singleShot(300, form, [form] { delete form.data(); });
        ui->answers = {true};
        const std::size_t shown = ui->messages.size();
        form->PauseButtonClick();
        QVERIFY(test::WaitForRequests());
        QVERIFY(!form);
        QCOMPARE(ui->messages.size(), shown);
        QVERIFY(test::Contains(server.Summary("alpinebk"), "<suspended>1</suspended>"));
    }

    void PackageView() {
        test::ShippedProgramFolder folder;
        LoadLanguageGlobals();
        test::SignedInServer server;
        TParlomarClientMainForm main;
        main.SetWindowsSession(server.session);
        main.PackageListReply = server.PackageList();
        TSummaryForm* form = OpenDetails(main, false, "gold");
        QVERIFY(form && form->isVisible());
        QVERIFY(form->windowTitle().startsWith(QStringLiteral("gold - ")));
        QCOMPARE(form->TitleLabel->text(), QString::fromStdString(StatusText(22)));
        QVERIFY(form->RunButton->isHidden() && form->PauseButton->isHidden());
        QCOMPARE(form->Table().Grid().Cell(0, 0), std::string("Package name"));
        QCOMPARE(Value(*form, "Package name"), std::string("gold"));
        QCOMPARE(Value(*form, "Shell access"), std::string("Yes"));
        QCOMPARE(Value(*form, "Dedicated IP address"), std::string("No"));
        QCOMPARE(Value(*form, "Publishing extensions"), std::string("<none>")); // view value 0
        QVERIFY(!form->Table().IsGroupHeader(0));

        // A package that is not in the list: the text panel in place of the grid.
        TSummaryForm* missing = OpenDetails(main, false, "ghost");
        QVERIFY(missing->MessPanel->isVisible() && !missing->GridPanel->isVisible());
        QVERIFY(!missing->MessRichEdit->toPlainText().isEmpty());

        // Delete, refused by nobody: the package goes and the window closes.
        ui->answers = {true};
        form->DeleteButtonClick();
        QVERIFY(test::WaitForRequests());
        QVERIFY(!form->isVisible());
        QVERIFY(!test::Contains(server.PackageList(), "<name>gold</name>"));
    }
};

static test::RegisterTest<DetailsWindowTest> registerDetailsWindowTest;

#include "DetailsWindowTest.moc"
