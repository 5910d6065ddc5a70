// "Find on every server...": the search over the saved servers and an account found there shown in
// the list of its server.

#include "TestRegistry.h"
#include "WindowsTestSupport.h"
#include "core/accounts/AccountList.h"
#include "core/settings/IniFile.h"
#include "core/settings/SavedServers.h"
#include "gui/accounts/FindAllUnit.h"
#include "gui/app/MainUnit.h"
#include "gui/skins/ButtonEdit.h"
#include "gui/skins/Controls.h"
#include "gui/skins/SkinedStringGrid.h"

#include <QCryptographicHash>
#include <QFile>

using namespace parlomar;

namespace {

// The pin of a stand-in's certificate: SHA-256 of its DER form, as "AB:CD:...".
std::string PinOf(const std::filesystem::path& pem) {
    QFile file(QString::fromStdString(pem.string()));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray text = file.readAll();
    const QByteArray begin = "-----BEGIN CERTIFICATE-----", end = "-----END CERTIFICATE-----";
    const qsizetype from = text.indexOf(begin) + begin.size();
    const QByteArray der = QByteArray::fromBase64(text.mid(from, text.indexOf(end) - from));
    return QCryptographicHash::hash(der, QCryptographicHash::Sha256).toHex(':').toUpper().toStdString();
}

SavedServer Saved(int port, const char* user = standin_test::kUser, bool remembered = true) {
    SavedServer server;
    server.address = "127.0.0.1";
    server.port = static_cast<std::uint16_t>(port);
    server.userName = user;
    server.savePassword = remembered;
    server.encipheredPassword = remembered ? EncipherPassword(standin_test::kPassword) : std::string();
    return server;
}

// How many accounts the server itself lists for a user search.
int ServerCount(const test::LoggedServer& server, const std::string& text) {
    const auto reply =
        standin_test::Get(server.process.Url("/xml-api/listaccts?searchtype=user&search=" + text),
                          standin_test::RequestOptions{});
    return static_cast<int>(standin_test::Count(reply.body, "<acct>"));
}

QString Label(int port, const char* user = standin_test::kUser) {
    return QStringLiteral("%1@127.0.0.1:%2").arg(QString::fromUtf8(user)).arg(port);
}

int RowsOf(const TFindAllForm& window, const QString& label) {
    int rows = 0;
    for (int row = 0; row < window.ResultGrid->rowCount(); ++row)
        rows += window.ResultGrid->item(row, TFindAllForm::kServerCol)->text() == label;
    return rows;
}

int FirstRowOf(const TFindAllForm& window, const QString& label) {
    for (int row = 0; row < window.ResultGrid->rowCount(); ++row)
        if (window.ResultGrid->item(row, TFindAllForm::kServerCol)->text() == label)
            return row;
    return -1;
}

bool ListShows(const TParlomarClientMainForm& form, const QString& user) {
    const TStringGridData& grid = form.AccList->Data();
    for (int row = 1; row < grid.RowCount(); ++row)
        if (QString::fromStdString(std::string(grid.Cell(kAccUserCol, row))) == user &&
            grid.RowHeight(row) > 0)
            return true;
    return false;
}

} // namespace

class FindAllTest : public test::WindowTest {
    Q_OBJECT

private slots:
    void init() { WindowTest::init(); }
    void cleanup() { WindowTest::cleanup(); }

    void FoundOnEveryServerAndShownInTheListOfItsServer() {
        test::ShippedProgramFolder folder;
        test::LoggedServer first;
        test::LoggedServer second("12"); // other accounts than the first
        for (const test::LoggedServer* server : {&first, &second})
            WriteIniValue("Certificates", "127.0.0.1:" + std::to_string(server->Port()),
                          PinOf(server->dir.Path() / "data" / "standin-cert.pem"), kSettingsTarget);
        WriteSavedServers(
            {Saved(first.Port()), Saved(second.Port()), Saved(first.Port(), "reseller", false)});
        const int inFirst = ServerCount(first, "i");
        const int inSecond = ServerCount(second, "i");
        QVERIFY2(inFirst > 0 && inSecond > 0 && inFirst != inSecond,
                 (std::to_string(inFirst) + " " + std::to_string(inSecond)).c_str());

        TParlomarClientMainForm form;
        test::ShowMainWindow(form, *ui);
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QTest::keyClick(&form, Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(form.FindAllForm && form.FindAllForm->isVisible());
        TFindAllForm& window = *form.FindAllForm;
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTest::keyClicks(window.TextEdit, QStringLiteral(" i"));
        QTest::keyClick(window.TextEdit, Qt::Key_Return);
        QVERIFY(window.Searching());
        QTRY_VERIFY_WITH_TIMEOUT(!window.Searching(), 20000);

        // Each server with its outcome; no question came up.
        QCOMPARE(window.ServersGrid->rowCount(), 3);
        QCOMPARE(window.ServersGrid->item(0, 1)->text(), QStringLiteral("%1 accounts").arg(inFirst));
        QCOMPARE(window.ServersGrid->item(1, 1)->text(), QStringLiteral("%1 accounts").arg(inSecond));
        QCOMPARE(window.ServersGrid->item(2, 0)->text(), Label(first.Port(), "reseller"));
        QCOMPARE(window.ServersGrid->item(2, 1)->text(), QStringLiteral("password not remembered"));
        QCOMPARE(window.ResultGrid->rowCount(), inFirst + inSecond);
        QCOMPARE(RowsOf(window, Label(first.Port())), inFirst);
        QCOMPARE(RowsOf(window, Label(second.Port())), inSecond);
        QCOMPARE(window.ProgressLabel->text(),
                 QStringLiteral("found %1 accounts on 2 servers").arg(inFirst + inSecond));
        QVERIFY(ui->questions.empty() && ui->messages.empty() && ui->certificateQuestions == 0);

        // Enter on an account of the second server: signed in there, the account shown.
        const int secondRow = FirstRowOf(window, Label(second.Port()));
        const QString secondUser = window.ResultGrid->item(secondRow, TFindAllForm::kUserCol)->text();
        window.ResultGrid->setFocus();
        window.ResultGrid->setCurrentCell(secondRow, 1);
        QTest::keyClick(window.ResultGrid, Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(form.SignedIn() && test::Idle(form) && ListShows(form, secondUser), 20000);
        QCOMPARE(form.Session()->Port(), second.Port());
        QCOMPARE(second.SignedRequests("/xml-api/listaccts", "search=" + secondUser.toStdString()), 1);

        // A double click on one of the first server's: asked first, then the switch.
        const int firstRow = FirstRowOf(window, Label(first.Port()));
        const QString firstUser = window.ResultGrid->item(firstRow, TFindAllForm::kUserCol)->text();
        ui->answers = {true};
        window.ResultGrid->scrollToItem(window.ResultGrid->item(firstRow, 1));
        const QRect cell = window.ResultGrid->visualItemRect(window.ResultGrid->item(firstRow, 1));
        QTest::mousePress(window.ResultGrid->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
        QTest::mouseRelease(window.ResultGrid->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
        QTest::mouseDClick(window.ResultGrid->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
        QCOMPARE(ui->questions.size(), std::size_t{1});
        QVERIFY(test::Contains(ui->questions[0], Label(second.Port()).toStdString()));
        QTRY_VERIFY_WITH_TIMEOUT(form.SignedIn() && test::Idle(form) && ListShows(form, firstUser), 20000);
        QCOMPARE(form.Session()->Port(), first.Port());

        // Closed while a search runs: it stops, and nothing arrives afterwards.
        window.FindButtonClick();
        QVERIFY(window.Searching());
        window.close();
        QTRY_VERIFY_WITH_TIMEOUT(!window.Searching(), 5000);
    }
};

static parlomar::test::RegisterTest<FindAllTest> registerFindAllTest;

#include "FindAllTest.moc"
