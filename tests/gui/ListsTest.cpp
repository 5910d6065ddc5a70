// The results area against the real stand-in server: the package and account lists in the grid,
// search, local filter, filter bar, sorting, links, copy, the account and package actions, the
// input dialog, the server information view, and the failures (transport error, no accounts,
// refusals, a signed-out reply).

#include "StandinProcess.h"
#include "TestRegistry.h"
#include "WindowsTestSupport.h"
#include "core/accounts/AccountList.h"
#include "core/accounts/PackageList.h"
#include "core/server/HttpTransport.h"
#include "core/server/PasswordCipher.h"
#include "core/settings/Localization.h"
#include "gui/accounts/FilterPaintBox.h"
#include "gui/accounts/InputUnit.h"
#include "gui/app/MainUnit.h"
#include "gui/info/MessageUnit.h"
#include "gui/skins/BitCheckBox.h"
#include "gui/skins/ButtonEdit.h"
#include "gui/skins/Controls.h"
#include "gui/skins/SkinButton.h"
#include "gui/skins/SkinedStringGrid.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QPointer>
#include <QTabBar>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace parlomar;

namespace {

// The main window signed in to a stand-in server with the demo data, its package list shown.
struct SignedIn {
    test::ProgramFolder folder;
    standin_test::TempDir data;
    standin_test::StandinProcess server{data.Path(), {"--seed", "demo"}};
    TParlomarClientMainForm form;
    std::vector<QString> opened;

    explicit SignedIn(test::AnsweringUi& ui) {
        form.LinkOpener = [this](const QString& address) { opened.push_back(address); };
        test::ShowMainWindow(form, ui);
        test::SignIn(form, server.Port());
    }
    bool Idle() const { return test::Idle(form); }
    const TStringGridData& Grid() const { return form.AccList->Data(); }
    std::string Api(const std::string& path) {
        standin_test::RequestOptions options;
        return standin_test::Get(server.Url(path), options).body;
    }
    int RowOf(int col, const std::string& text) const {
        for (int row = 1; row < Grid().RowCount(); ++row)
            if (Grid().Cell(col, row) == text)
                return row;
        return 0;
    }
};

bool SortedBy(const TStringGridData& grid, int col, bool ascending) {
    for (int row = 2; row < grid.RowCount(); ++row) {
        const int order = CompareListTexts(grid.Cell(col, row - 1), grid.Cell(col, row));
        if (ascending ? order > 0 : order < 0)
            return false;
    }
    return true;
}

} // namespace

class ListsTest : public test::WindowTest {
    Q_OBJECT

    void WaitIdle(SignedIn& s) { QTRY_VERIFY_WITH_TIMEOUT(s.Idle(), 20000); }

private slots:
    void PackageListAfterSignInCopySortDeleteAndServerInformation() {
        SignedIn s(*ui);
        s.folder.WriteLanguage(test::ShippedFile("Localization/English.lng"));
        QVERIFY(s.form.SignedIn());
        QTRY_VERIFY_WITH_TIMEOUT(s.Idle() && s.form.AccList->ShownList == kListModePackages, 20000);
        TParlomarClientMainForm& form = s.form;
        QCOMPARE(form.TabSet->currentIndex(), 1);
        const int packages = PackageCountOf(form.PackageListReply);
        QVERIFY(packages >= 3);
        QCOMPARE(form.AccList->VisibleRowCount(), packages);
        QVERIFY(form.AccList->isVisible() && !form.MessPanel->isVisible() && !form.FilterPanel->isVisible());
        QCOMPARE(form.StatusSlot(0), test::Status(40, std::to_string(packages)));
        QCOMPARE(form.AddButton->text(), test::Status(63).trimmed());
        QCOMPARE(form.GetListButton->text(), test::Status(68).trimmed());
        QCOMPARE(s.Grid().Cell(kPkgNameCol, 0), StatusText(37));
        QVERIFY(SortedBy(s.Grid(), kPkgNameCol, true));
        QCOMPARE(s.Grid().Object(kPkgNameCol, 1), kRowVisiblePackage); // a package name is a link

        // Copy: name, quota and bandwidth limit separated by single blanks.
        form.AccList->SelectDataRow(2);
        form.Copytoclipboard2Click();
        QCOMPARE(QApplication::clipboard()->text(),
                 QString::fromStdString(std::string(s.Grid().Cell(1, 2)) + " " +
                                        std::string(s.Grid().Cell(2, 2)) + " " +
                                        std::string(s.Grid().Cell(3, 2))));

        // Sorting by quota compares texts; a second click reverses; the number column does nothing.
        form.AccListHeaderClick(kPkgQuotaCol);
        QVERIFY(SortedBy(s.Grid(), kPkgQuotaCol, true));
        QCOMPARE(s.Grid().Object(kPkgQuotaCol, 0), kSortAscending);
        QCOMPARE(s.Grid().Object(kPkgNameCol, 0), kSortNone);
        form.AccListHeaderClick(kPkgQuotaCol);
        QVERIFY(SortedBy(s.Grid(), kPkgQuotaCol, false));
        const std::string firstBefore(s.Grid().Cell(1, 1));
        form.AccListHeaderClick(0);
        QCOMPARE(s.Grid().Cell(1, 1), firstBefore);

        // A declined deletion still fetches the package list again (package mode).
        form.AccList->SelectDataRow(1);
        const std::string victim(s.Grid().Cell(kPkgNameCol, 1));
        ui->answers = {false};
        form.Delete1Click();
        QVERIFY(test::WaitForRequests());
        QCOMPARE(ui->questions.size(), std::size_t(1));
        QVERIFY(ui->questions.back().find(victim) != std::string::npos);
        QVERIFY(form.FetchRunning());
        WaitIdle(s);
        QCOMPARE(form.AccList->VisibleRowCount(), packages);
        // An accepted one deletes it on the server and lists the packages again.
        form.AccList->SelectDataRow(s.RowOf(kPkgNameCol, victim));
        ui->answers = {true};
        form.Delete1Click();
        QVERIFY(test::WaitForRequests());
        WaitIdle(s);
        QTRY_COMPARE_WITH_TIMEOUT(form.AccList->VisibleRowCount(), packages - 1, 20000);
        QCOMPARE(s.RowOf(kPkgNameCol, victim), 0);

        // The server information view: six lines before any account listing ...
        QString info;
        auto readInfo = [&info](TMessageForm* window) {
            QVERIFY(test::WaitForRequests()); // the version row follows its reply
            info = window->ServerInfoText();
            QApplication::setActiveWindow(window); // keys reach the window's preview only when active
            window->OKButton->setFocus();
            QTest::keyClick(window->OKButton, Qt::Key_C, Qt::ControlModifier);
            window->close();
        };
        test::OnNextModal<TMessageForm>(readInfo);
        form.Viewserverinformation1Click();
        QStringList lines = info.split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 6);
        QCOMPARE(QApplication::clipboard()->text(), info);
        QCOMPARE(lines[0], QStringLiteral("IP: 127.0.0.1"));
        QVERIFY(lines[1].endsWith(QStringLiteral(" 11.110.0.7")));
        QCOMPARE(lines[3], QStringLiteral("Port: ") + QString::number(s.server.Port()));
        QCOMPARE(lines[5], QStringLiteral("Packages: ") + QString::number(packages - 1));
        // ... seven with the account count of a full listing.
        form.Listaccounts1Click();
        WaitIdle(s);
        test::OnNextModal<TMessageForm>(readInfo);
        form.Viewserverinformation1Click();
        lines = info.split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 7);
        QCOMPARE(lines[6], QStringLiteral("Accounts: ") + QString::number(form.ServerAccountCount()));
        QVERIFY(form.ServerAccountCount() > 10);
    }

    void AccountListSearchFilterSortAndLinks() {
        SignedIn s(*ui);
        TParlomarClientMainForm& form = s.form;
        WaitIdle(s);
        form.Listaccounts1Click();
        QVERIFY(form.FetchRunning() && !form.GetListButton->isEnabled());
        WaitIdle(s);
        const TStringGridData& grid = s.Grid();
        const int accounts = grid.RowCount() - 1;
        QVERIFY(accounts > 10);
        QCOMPARE(form.ListMode(), kListModeAccounts);
        QCOMPARE(form.TabSet->currentIndex(), 0);
        QCOMPARE(form.AccList->VisibleRowCount(), accounts);
        QCOMPARE(form.StatusSlot(0), test::Status(12, std::to_string(accounts)));
        QVERIFY(form.FilterPanel->isVisible() && form.GetListButton->isEnabled());
        QCOMPARE(form.GetListButton->text(), test::Status(68).trimmed());
        QVERIFY(SortedBy(grid, kAccUserCol, true));
        QCOMPARE(grid.Cell(kAccPanelCol, 1), "http://" + std::string(grid.Cell(kAccDomainCol, 1)) + "/panel");
        QCOMPARE(form.ServerAccountCount(), accounts);
        for (int col : {3, 4, 5, 6})
            QVERIFY(form.AccList->isColumnHidden(col));

        // Heading clicks: user descending, then ascending; columns 0 and 7 do nothing.
        form.AccListHeaderClick(kAccUserCol);
        QVERIFY(SortedBy(grid, kAccUserCol, false));
        form.AccListHeaderClick(kAccPanelCol);
        QVERIFY(SortedBy(grid, kAccUserCol, false));
        form.AccListHeaderClick(kAccDomainCol);
        QVERIFY(SortedBy(grid, kAccDomainCol, true));
        QCOMPARE(grid.Cell(0, 1), "1");

        // Selection shows the domain in slot 2; copy gives user and domain.
        form.AccList->SelectDataRow(3);
        // Drawn: the selected row in the selection colour, even rows shaded, odd rows plain.
        const QImage picture = form.AccList->viewport()->grab().toImage();
        auto background = [&](int dataRow) {
            const QRect cell =
                form.AccList->visualRect(form.AccList->Model()->index(dataRow - 1, kAccUserCol));
            return QColor(picture.pixel(cell.right() - 2, cell.top() + 2));
        };
        QCOMPARE(background(3), TSkinedStringGrid::SelectedColour);
        QCOMPARE(background(2), TSkinedStringGrid::EvenRowColour);
        QCOMPARE(background(1), form.AccList->palette().color(QPalette::Base));
        QCOMPARE(form.StatusSlot(2), QString::fromStdString(std::string(grid.Cell(kAccDomainCol, 3))));
        form.CopyToClipboard1Click();
        QCOMPARE(QApplication::clipboard()->text(),
                 QString::fromStdString(std::string(grid.Cell(kAccUserCol, 3)) + " " +
                                        std::string(grid.Cell(kAccDomainCol, 3))));

        // Local filter: two letters in either case; the rest renumbered; cleared shows all again.
        const std::string prefix(grid.Cell(kAccDomainCol, 2).substr(0, 2));
        int expected = 0;
        for (int row = 1; row <= accounts; ++row)
            expected += QString::fromStdString(std::string(grid.Cell(kAccDomainCol, row)))
                            .startsWith(QString::fromStdString(prefix), Qt::CaseInsensitive);
        QTest::keyClicks(form.QueryEdit, QString::fromStdString(prefix).toUpper());
        QCOMPARE(form.AccList->VisibleRowCount(), expected);
        QCOMPARE(form.StatusSlot(1), test::Status(17, std::to_string(expected)));
        QCOMPARE(grid.Cell(0, form.AccList->Model()->DataRow(expected - 1)), std::to_string(expected));
        QVERIFY(!form.FetchRunning()); // the local filter asks nothing
        // Keyboard selection moves over visible rows only.
        form.AccList->setFocus();
        form.AccList->SelectDataRow(form.AccList->Model()->DataRow(0));
        QTest::keyClick(form.AccList, Qt::Key_Down);
        if (expected > 1)
            QCOMPARE(form.AccList->CurrentDataRow(), form.AccList->Model()->DataRow(1));
        form.QueryEdit->clear();
        QCOMPARE(form.AccList->VisibleRowCount(), accounts);

        // Links: a domain opens with "www." in front; the panel cell opens its address.
        const int viewRow = 0;
        const int row = form.AccList->Model()->DataRow(viewRow);
        const QRect text = form.AccList->TextRect(viewRow, kAccDomainCol);
        QTest::mouseClick(form.AccList->viewport(), Qt::LeftButton, {}, text.center());
        QTest::mouseClick(
            form.AccList->viewport(), Qt::LeftButton, {},
            form.AccList->visualRect(form.AccList->Model()->index(viewRow, kAccPanelCol)).center());
        QCOMPARE(s.opened.size(), std::size_t(2));
        QCOMPARE(s.opened[0],
                 QString::fromStdString("http://www." + std::string(grid.Cell(kAccDomainCol, row))));
        QCOMPARE(s.opened[1], QString::fromStdString(std::string(grid.Cell(kAccPanelCol, row))));
        QCOMPARE(form.AccList->CellHint(row, kAccUserCol),
                 QString::fromStdString(std::string(grid.Cell(kAccDiskUsedCol, row)) + "/" +
                                        std::string(grid.Cell(kAccDiskLimitCol, row))));

        // Hints show server texts as they are, never as markup.
        QVERIFY(TSkinedStringGrid::PlainHint(QStringLiteral("<b>9M</b>"))
                    .contains(QStringLiteral("&lt;b&gt;9M")));

        // Filter bar: active only, suspended only, all.
        int suspended = 0;
        for (int r = 1; r <= accounts; ++r)
            suspended += grid.Cell(kAccSuspendedCol, r) == "1";
        QVERIFY(suspended > 0);
        // (the bar itself: a press on the second item's text)
        const QList<int> x = form.FilterPaintBox->ItemX();
        QTest::mouseClick(form.FilterPaintBox, Qt::LeftButton, {},
                          QPoint(x[1] + 3, form.FilterPaintBox->height() / 2));
        QCOMPARE(form.ListState.filterMode, kFilterActive);
        WaitIdle(s);
        QCOMPARE(form.AccList->VisibleRowCount(), accounts - suspended);
        QCOMPARE(s.RowOf(kAccSuspendedCol, "1"), 0);
        QCOMPARE(form.StatusSlot(1), test::Status(65, std::to_string(accounts - suspended)));
        form.FilterPaintBoxMouseDown(kFilterSuspended);
        WaitIdle(s);
        QCOMPARE(form.AccList->VisibleRowCount(), suspended);
        QCOMPARE(s.RowOf(kAccSuspendedCol, "0"), 0);
        form.FilterPaintBoxMouseDown(kFilterAll);
        WaitIdle(s);
        QCOMPARE(form.AccList->VisibleRowCount(), accounts);
        QVERIFY(form.StatusSlot(1).isEmpty());
        // Two rebuilds in quick succession: the later one is what stays.
        form.FilterPaintBoxMouseDown(kFilterActive);
        form.FilterPaintBoxMouseDown(kFilterSuspended);
        WaitIdle(s);
        QCOMPARE(form.AccList->VisibleRowCount(), suspended);
        form.FilterPaintBoxMouseDown(kFilterAll);
        WaitIdle(s);

        // Tab switches show the stored replies without a request.
        form.TabSet->setCurrentIndex(1);
        QVERIFY(!form.FetchRunning());
        QCOMPARE(form.AccList->ShownList, kListModePackages);
        QVERIFY(!form.FilterPanel->isVisible());
        form.TabSet->setCurrentIndex(0);
        QVERIFY(!form.FetchRunning());
        WaitIdle(s);
        QCOMPARE(form.AccList->ShownList, kListModeAccounts);
        QCOMPARE(form.AccList->VisibleRowCount(), accounts);

        // Server search: a domain finds its account; the button then offers the full list again.
        const std::string domain(grid.Cell(kAccDomainCol, 5));
        QTest::keyClicks(form.QueryEdit, QString::fromStdString(domain));
        QTest::keyClick(form.QueryEdit, Qt::Key_Return);
        QVERIFY(form.FetchRunning());
        WaitIdle(s);
        QCOMPARE(form.AccList->VisibleRowCount(), 1);
        QCOMPARE(grid.Cell(kAccDomainCol, 1), domain);
        QVERIFY(form.QueryEdit->text().isEmpty());
        QCOMPARE(form.ListState.lastSearchText, domain);
        QCOMPARE(form.GetListButton->text(), test::Status(55).trimmed());
        QCOMPARE(form.ServerAccountCount(), accounts); // a search does not count

        // A search without a match: error text 12 over the results area and in slot 0.
        QTest::keyClicks(form.QueryEdit, QStringLiteral("zz-no-such-account"));
        form.QueryEditClickButton();
        WaitIdle(s);
        QVERIFY(form.MessPanel->isVisible() && !form.AccList->isVisible());
        QCOMPARE(form.MessLabel->text(), QString::fromStdString(ErrorText(12)));
        QCOMPARE(form.StatusSlot(0), QString::fromStdString(ErrorText(12)));
        // An empty box: error text 5, nothing sent.
        form.QueryEdit->clear();
        QTest::keyClick(form.QueryEdit, Qt::Key_Return);
        QVERIFY(!form.FetchRunning());
        QCOMPARE(form.MessLabel->text(), QString::fromStdString(ErrorText(5)));
    }

    void SearchesAndSignInSayWhatHappened() {
        test::ShippedProgramFolder folder;
        test::LoggedServer server;
        TParlomarClientMainForm form;
        test::ShowMainWindow(form, *ui);

        // A port outside 1..65535 is refused by name before anything is sent (65537 is not port 1).
        test::TypeSignIn(form, server.Port());
        form.PortEdit->setText(QStringLiteral("65537"));
        form.LoginButtonClick();
        QVERIFY(QTest::qWaitFor([&] { return !form.RequestRunning(); }, 20000));
        QVERIFY(!form.SignedIn());
        QCOMPARE(ui->messages.back(), std::string("The server port 65537 is outside 1 to 65535."));
        form.PortEdit->clear();
        form.LoginButtonClick();
        QVERIFY(QTest::qWaitFor([&] { return !form.RequestRunning(); }, 20000));
        QVERIFY(test::Contains(ui->messages.back(), "port is empty"));
        QCOMPARE(server.Requests("/xml-api/version"), 0);
        // A connection that fails names what it tried.
        const int closed = test::FreePort();
        form.PortEdit->setText(QString::number(closed));
        form.LoginButtonClick();
        QVERIFY(QTest::qWaitFor([&] { return !form.RequestRunning(); }, 20000));
        QTRY_VERIFY_WITH_TIMEOUT(!form.RequestRunning(), 20000);
        QCOMPARE(ui->messages.back(),
                 ErrorText(kStatusCannotConnect) + " (127.0.0.1, port " + std::to_string(closed) + ")");
        QCOMPARE(form.LoginMessLabel->text(), QString::fromStdString(ui->messages.back()));

        test::SignIn(form, server.Port());
        QTRY_VERIFY_WITH_TIMEOUT(form.SignedIn() && test::Idle(form), 20000);
        // Blanks around the text are not searched for.
        QTest::keyClicks(form.QueryEdit, QStringLiteral("  alpine-bakery.com "));
        form.QueryEditClickButton();
        QTRY_VERIFY_WITH_TIMEOUT(test::Idle(form) && form.AccList->isVisible(), 20000);
        QCOMPARE(form.AccList->VisibleRowCount(), 1);
        QCOMPARE(server.SignedRequests("/xml-api/listaccts", "searchtype=domain&search=alpine-bakery.com"),
                 1);
        // The server refuses an expression: its words, not "No accounts found."
        QTest::keyClicks(form.QueryEdit, QStringLiteral("bad(name"));
        form.QueryEditClickButton();
        QTRY_VERIFY_WITH_TIMEOUT(test::Idle(form) && form.MessPanel->isVisible(), 20000);
        QVERIFY2(form.MessLabel->text().startsWith(QStringLiteral("Invalid search expression")),
                 qPrintable(form.MessLabel->text()));
        QCOMPARE(form.StatusSlot(0), form.MessLabel->text());

        // The accounts tab while its list is still on its way says so; the other tab's status slot
        // does not stay on "Sending request".
        server.Faults("delay_ms=3000&function=listaccts");
        form.Listaccounts1Click();
        form.TabSetChange(1);
        QVERIFY(form.StatusSlot(0) != test::Status(0));
        form.TabSetChange(0);
        QVERIFY(form.FetchRunning());
        QCOMPARE(form.MessLabel->text(), QStringLiteral("Loading the list..."));
        QVERIFY(form.MessPanel->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(test::Idle(form) && form.AccList->isVisible(), 20000);
        QCOMPARE(form.AccList->VisibleRowCount(), 40);
    }

    void RefillsKeepTheChosenOrder() {
        SignedIn s(*ui);
        TParlomarClientMainForm& form = s.form;
        const TStringGridData& grid = s.Grid();
        WaitIdle(s);
        // Packages: sorted by quota, descending; a refresh keeps that order (not name, not flipped).
        form.AccListHeaderClick(kPkgQuotaCol);
        form.AccListHeaderClick(kPkgQuotaCol);
        QVERIFY(SortedBy(grid, kPkgQuotaCol, false));
        form.Listpakages1Click();
        WaitIdle(s);
        QVERIFY(SortedBy(grid, kPkgQuotaCol, false) && !SortedBy(grid, kPkgQuotaCol, true));
        QCOMPARE(grid.Object(kPkgQuotaCol, 0), kSortDescending);

        // Accounts: a first listing by user name ascending; then domain descending is kept by every
        // refill: Refresh (twice), the filter bar, a tab switch there and back.
        form.Listaccounts1Click();
        WaitIdle(s);
        QVERIFY(SortedBy(grid, kAccUserCol, true));
        form.AccListHeaderClick(kAccDomainCol);
        form.AccListHeaderClick(kAccDomainCol);
        auto keptDomainDescending = [&] {
            return SortedBy(grid, kAccDomainCol, false) && !SortedBy(grid, kAccDomainCol, true) &&
                   grid.Object(kAccDomainCol, 0) == kSortDescending &&
                   grid.Object(kAccUserCol, 0) == kSortNone;
        };
        QVERIFY(keptDomainDescending());
        for (int refresh = 0; refresh < 2; ++refresh) {
            form.GetListButtonClick();
            WaitIdle(s);
            QVERIFY2(keptDomainDescending(), "after a refresh");
        }
        form.FilterPaintBoxMouseDown(kFilterActive);
        WaitIdle(s);
        QVERIFY2(keptDomainDescending(), "after the filter bar");
        form.TabSet->setCurrentIndex(1);
        QVERIFY(SortedBy(grid, kPkgQuotaCol, false));
        form.TabSet->setCurrentIndex(0);
        WaitIdle(s);
        QVERIFY2(keptDomainDescending(), "after a tab switch");
    }

    void ActionsKeepTheFilterBarTrue() {
        SignedIn s(*ui);
        TParlomarClientMainForm& form = s.form;
        const TStringGridData& grid = s.Grid();
        WaitIdle(s);
        form.Listaccounts1Click();
        WaitIdle(s);
        form.FilterPaintBoxMouseDown(kFilterSuspended);
        WaitIdle(s);
        const int suspended = form.AccList->VisibleRowCount();
        QVERIFY(suspended >= 3);
        QCOMPARE(form.StatusSlot(1), test::Status(66, std::to_string(suspended)));

        // Unsuspending under "Suspended": the row leaves, the rest renumbered, the count follows,
        // nothing fetched again.
        form.AccList->SelectDataRow(2);
        const std::string user(grid.Cell(kAccUserCol, 2));
        const std::string next(grid.Cell(kAccUserCol, 3));
        ui->answers = {true};
        form.Suspend1Click();
        QVERIFY(test::WaitForRequests());
        QVERIFY(!form.FetchRunning() && !form.ListBuildRunning());
        QCOMPARE(form.AccList->VisibleRowCount(), suspended - 1);
        QCOMPARE(s.RowOf(kAccUserCol, user), 0);
        QCOMPARE(s.RowOf(kAccSuspendedCol, "0"), 0);
        for (int row = 1; row < grid.RowCount(); ++row)
            QCOMPARE(grid.Cell(0, row), std::to_string(row));
        QCOMPARE(form.StatusSlot(1), test::Status(66, std::to_string(suspended - 1)));
        QCOMPARE(grid.Cell(kAccUserCol, form.AccList->CurrentDataRow()), next);

        // "Active" then lists it, although the stored reply still calls it suspended; suspending it
        // there takes it out again.
        form.FilterPaintBoxMouseDown(kFilterActive);
        WaitIdle(s);
        const int active = form.AccList->VisibleRowCount();
        const int row = s.RowOf(kAccUserCol, user);
        QVERIFY(row > 0);
        QCOMPARE(grid.Cell(kAccSuspendedCol, row), "0");
        form.AccList->SelectDataRow(row);
        ui->answers = {true};
        form.Suspend1Click();
        QVERIFY(test::WaitForRequests());
        QCOMPARE(s.RowOf(kAccUserCol, user), 0);
        QCOMPARE(form.AccList->VisibleRowCount(), active - 1);
        QCOMPARE(form.StatusSlot(1), test::Status(65, std::to_string(active - 1)));
        // A fresh listing holds the server's states.
        form.FilterPaintBoxMouseDown(kFilterSuspended);
        WaitIdle(s);
        QCOMPARE(form.AccList->VisibleRowCount(), suspended);
        form.GetListButtonClick();
        WaitIdle(s);
        QCOMPARE(form.AccList->VisibleRowCount(), suspended);
    }

    void AccountActions() {
        SignedIn s(*ui);
        TParlomarClientMainForm& form = s.form;
        WaitIdle(s);
        // A server search for one user: its refetch after a delete is that search.
        form.Listaccounts1Click();
        WaitIdle(s);
        int row = s.RowOf(kAccSuspendedCol, "0");
        QVERIFY(row > 0);
        const std::string user(s.Grid().Cell(kAccUserCol, row));
        const std::string domain(s.Grid().Cell(kAccDomainCol, row));
        form.AccList->SelectDataRow(row);

        // An unknown state is asked from the server once, then the menu offers "suspend".
        form.AccList->Data().SetCell(kAccSuspendedCol, row, "");
        form.ListPopupMenuPopup();
        QVERIFY(test::WaitForRequests());
        QCOMPARE(s.Grid().Cell(kAccSuspendedCol, row), "0");
        QCOMPARE(form.Suspend1->text(), test::Status(8).trimmed());

        // Suspend: the question names the domain; the server's message is shown; the cell follows.
        ui->answers = {true};
        form.Suspend1Click();
        QVERIFY(test::WaitForRequests());
        QCOMPARE(ui->questions.back(), StatusText(19) + " " + domain + "?");
        QCOMPARE(ui->messages.size(), std::size_t(1));
        QCOMPARE(s.Grid().Cell(kAccSuspendedCol, row), "1");
        QVERIFY(s.Api("/xml-api/accountsummary?user=" + user).find("<suspended>1</suspended>") !=
                std::string::npos);
        form.ListPopupMenuPopup();
        QVERIFY(test::WaitForRequests());
        QCOMPARE(form.Suspend1->text(), test::Status(9).trimmed());
        QVERIFY(form.Signout1->isEnabled());
        // Declined: nothing sent, nothing shown.
        ui->answers = {false};
        form.Suspend1Click();
        QVERIFY(test::WaitForRequests());
        QCOMPARE(ui->messages.size(), std::size_t(1));
        QCOMPARE(s.Grid().Cell(kAccSuspendedCol, row), "1");

        // Bandwidth through the input dialog: stored in the row, preset the next time.
        test::OnNextModal<TInputForm>([user](TInputForm* input) {
            QVERIFY(input->BandWidthPanel->isVisible() && !input->ChangePasswordPanel->isVisible());
            QVERIFY(input->windowTitle().startsWith(QString::fromStdString(user + " - " + AppName)));
            QVERIFY(input->BandWidthEdit->text().isEmpty());
            input->BandWidthEdit->setText(QStringLiteral("2048"));
            input->OKButton->click();
        });
        form.LimitBandWidth1Click();
        QVERIFY(test::WaitForRequests());
        QCOMPARE(s.Grid().Cell(kAccBandwidthCol, row), "2048");
        QCOMPARE(ui->messages.size(), std::size_t(1)); // success shows nothing
        // A refused limit: the server's message, the old value stays.
        QString preset;
        test::OnNextModal<TInputForm>([&preset](TInputForm* input) {
            preset = input->BandWidthEdit->text();
            input->BandWidthEdit->setText(QStringLiteral("lots & lots"));
            input->OKButton->click();
        });
        form.LimitBandWidth1Click();
        QVERIFY(test::WaitForRequests());
        QCOMPARE(preset, QStringLiteral("2048"));
        QCOMPARE(ui->messages.size(), std::size_t(2));
        // The value reached the server as typed (the server quotes it back, read as it meant it).
        QVERIFY(ui->messages.back().find("lots & lots") != std::string::npos);
        QVERIFY(ui->messages.back().find("&amp;") == std::string::npos);
        QCOMPARE(s.Grid().Cell(kAccBandwidthCol, row), "2048");

        // Password: typed once, mirrored into the confirmation, accepted; the server's message.
        test::OnNextModal<TInputForm>([](TInputForm* input) {
            QVERIFY(input->ChangePasswordPanel->isVisible());
            QTest::keyClicks(input->EnterPasswordEdit, QStringLiteral("n3w&#pw"));
            QCOMPARE(input->ConfirmPasswordEdit->text(), QStringLiteral("n3w&#pw"));
            input->OKButton->click();
        });
        form.Changepassword1Click();
        QVERIFY(test::WaitForRequests());
        QCOMPARE(ui->messages.back(), "Password changed for user " + user);
        // An empty password is refused by the dialog itself, which stays open and sends nothing; its
        // title names the account.
        const size_t shown = ui->messages.size();
        test::OnNextModal<TInputForm>([user, answering = ui](TInputForm* input) {
            QVERIFY(input->windowTitle().startsWith(QString::fromStdString(user + " - " + AppName)));
            input->OKButton->click();
            QVERIFY(input->isVisible());
            QCOMPARE(answering->messages.back(), StatusText(74));
        });
        form.ChangeAccountPassword(user);
        QVERIFY(test::WaitForRequests());
        QCOMPARE(ui->messages.size(), shown + 1);

        // Delete after a search for that user: the search is fetched again, not the full list.
        form.QueryEdit->setText(QString::fromStdString(user));
        form.QueryEditClickButton();
        WaitIdle(s);
        QCOMPARE(form.AccList->VisibleRowCount(), 1);
        form.AccList->SelectDataRow(1);
        ui->answers = {true};
        form.Deleteaccount1Click();
        QVERIFY(test::WaitForRequests());
        WaitIdle(s);
        QVERIFY(form.MessPanel->isVisible());
        QCOMPARE(form.MessLabel->text(), QString::fromStdString(ErrorText(12)));
        QCOMPARE(form.ListState.lastSearchText, user);
    }

    void FailuresOverTheResultsArea() {
        SignedIn s(*ui);
        TParlomarClientMainForm& form = s.form;
        WaitIdle(s);
        form.Listaccounts1Click();
        WaitIdle(s);
        QVERIFY(form.AccList->isVisible());

        // A garbage reply is a signed-out reply: back to the sign-in panel.
        s.Api("/standin/faults?garbage=1&times=1");
        form.Listpakages1Click();
        WaitIdle(s);
        QVERIFY(!form.SignedIn());
        QVERIFY(form.LoginPanel->isVisible() && !form.ResultsPanel->isVisible());
        QCOMPARE(form.StatusSlot(0), test::Status(11));

        // Signed in again, the server stops accepting the password: the next action signs out.
        form.LoginButtonClick();
        QVERIFY(QTest::qWaitFor([&] { return !form.RequestRunning(); }, 20000));
        QTRY_VERIFY_WITH_TIMEOUT(form.SignedIn(), 20000);
        WaitIdle(s);
        form.Listaccounts1Click();
        WaitIdle(s);
        form.AccList->SelectDataRow(1);
        s.Api("/standin/faults?garbage=1&times=1"); // the next reply is no server's
        test::OnNextModal<TInputForm>([](TInputForm* input) {
            input->BandWidthEdit->setText(QStringLiteral("10"));
            input->OKButton->click();
        });
        form.LimitBandWidth1Click();
        QVERIFY(test::WaitForRequests());
        QVERIFY(!form.SignedIn());
        QVERIFY(form.LoginPanel->isVisible());
        QCOMPARE(form.StatusSlot(0), test::Status(11));

        // A server that has gone: the transport's error text over the results area, the list
        // controls usable again.
        form.PswEdit->clear();
        form.PswEdit->setText(QString::fromUtf8(standin_test::kPassword));
        form.LoginButtonClick();
        QVERIFY(QTest::qWaitFor([&] { return !form.RequestRunning(); }, 20000));
        QTRY_VERIFY_WITH_TIMEOUT(form.SignedIn(), 20000);
        WaitIdle(s);
        form.Listaccounts1Click();
        WaitIdle(s);
        QVERIFY(form.AccList->isVisible());
        // (a sign-out while a list is being built: the finished list is not shown)
        form.FilterPaintBoxMouseDown(kFilterActive); // rebuilds from the stored reply
        QVERIFY(form.ListBuildRunning());
        form.Signout1Click();
        WaitIdle(s);
        QVERIFY(!form.SignedIn() && form.LoginPanel->isVisible() &&
                form.MessPanel->isVisibleTo(form.ResultsPanel) &&
                !form.AccList->isVisibleTo(form.ResultsPanel));
        form.LoginButtonClick();
        QVERIFY(QTest::qWaitFor([&] { return !form.RequestRunning(); }, 20000));
        QTRY_VERIFY_WITH_TIMEOUT(form.SignedIn(), 20000);
        WaitIdle(s);
        form.Listaccounts1Click();
        WaitIdle(s);
        s.server.Stop();
        form.Session()->CloseConnection();
        form.Listaccounts1Click();
        WaitIdle(s);
        QVERIFY(form.MessPanel->isVisible() && !form.AccList->isVisible());
        QCOMPARE(form.MessLabel->text(), QString::fromStdString(ErrorText(12029)));
        QCOMPARE(form.StatusSlot(0), test::Status(3));
        QVERIFY(form.GetListButton->isEnabled() && form.ServerButton->isEnabled());
    }

    void InputDialogModes() {
        test::ProgramFolder folder;
        {
            TInputForm input;
            input.ChangePasswordPanel->show();
            input.show();
            QVERIFY(input.ShowPswCheckBox->Checked());
            QCOMPARE(input.EnterPasswordEdit->echoMode(), QLineEdit::Normal);
            QTest::keyClicks(input.EnterPasswordEdit, QStringLiteral("abcdefghijklmnop"));
            QCOMPARE(input.EnterPasswordEdit->text(), QStringLiteral("abcdefghijkl")); // at most 12
            QCOMPARE(input.ConfirmPasswordEdit->text(), input.EnterPasswordEdit->text());
            QTest::keyClick(input.ConfirmPasswordEdit, Qt::Key_Backspace);
            input.OKButtonClick();
            QVERIFY(!input.Accepted); // mismatch: message 34, still open
            QCOMPARE(ui->messages.back(), StatusText(34));
            QVERIFY(input.isVisible());
            input.NewPasswordLabelClick();
            QCOMPARE(input.EnterPasswordEdit->text().size(), 12);
            QCOMPARE(input.ConfirmPasswordEdit->text(), input.EnterPasswordEdit->text());
            input.ShowPswCheckBox->click();
            QCOMPARE(input.ConfirmPasswordEdit->echoMode(), QLineEdit::Password);
            input.CopyToClipboardLabelClick();
            QCOMPARE(QApplication::clipboard()->text(), input.EnterPasswordEdit->text());
            QCOMPARE(ui->messages.back(), StatusText(23));
            const QString password = input.EnterPasswordEdit->text();
            QTest::keyClick(input.EnterPasswordEdit, Qt::Key_Return);
            QVERIFY(input.Accepted);
            QCOMPARE(QString::fromStdString(input.InputValue), password);
        }
        {
            TInputForm input;
            input.BandWidthPanel->show();
            input.InputValue = "500";
            input.show();
            QCOMPARE(input.BandWidthEdit->text(), QStringLiteral("500"));
            emit input.BandWidthEdit->OnClickButton();
            QCOMPARE(input.BandWidthEdit->text(), QStringLiteral("unlimited"));
            QTest::keyClick(input.BandWidthEdit, Qt::Key_Escape);
            QVERIFY(!input.Accepted && !input.isVisible());
        }
    }
};

static parlomar::test::RegisterTest<ListsTest> registerListsTest;
#include "ListsTest.moc"
