// Pictures of the results area for docs/screenshots (scripts/screenshots), each taken with
// `import -window root` cropped to the window.

#include "Shots.h"
#include "StandinProcess.h"
#include "TestRegistry.h"
#include "WindowsTestSupport.h"
#include "core/server/HttpTransport.h"
#include "gui/accounts/BulkUnit.h"
#include "gui/accounts/InputUnit.h"
#include "gui/app/MainUnit.h"
#include "gui/info/MessageUnit.h"
#include "gui/skins/ButtonEdit.h"
#include "gui/skins/Controls.h"
#include "gui/skins/SkinButton.h"
#include "gui/skins/SkinedStringGrid.h"

#include <QApplication>
#include <QMenu>
#include <QProcess>
#include <QTest>
#include <QTimer>

using namespace parlomar;

namespace {

// Shoots the next modal window, then ends it with finish (cancelled when none is given).
template <typename Window>
void ShootNextModal(const QString& name, std::function<void(Window*)> prepare,
                    std::function<void(Window*)> finish = nullptr) {
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [name, prepare, finish, poll] {
        if (auto* window = qobject_cast<Window*>(QApplication::activeModalWidget())) {
            *poll = nullptr; // the running copy keeps itself alive; this ends the cycle
            prepare(window);
            test::ShootScreen(window, name);
            if (finish)
                finish(window);
            else
                window->reject();
            return;
        }
        QTimer::singleShot(20, *poll);
    };
    QTimer::singleShot(0, *poll);
}

// Shows questions as the program does (the message window), accepting certificates.
class ShowingUi : public GuiTransportUi {
protected:
    bool AskCertificateOnGui(const CertificateInfo&) override { return true; }
};

} // namespace

class ResultsShots : public test::WindowTest {
    Q_OBJECT

private slots:
    void ResultsAreaPictures() {
        test::ProgramFolder folder;
        folder.WriteLanguage(test::ShippedFile("Localization/English.lng"));
        folder.WriteSettings("[General]\nShowTray=0\nUntrustedCert=1\n");
        standin_test::TempDir data;
        standin_test::StandinProcess server(data.Path(), {"--seed", "demo"});
        {
            TParlomarClientMainForm form;
            ui->SetMainForm(&form);
            form.resize(560, 620);
            form.move(40, 40);
            form.show();
            test::SignIn(form, server.Port());
            QTRY_VERIFY_WITH_TIMEOUT(!form.FetchRunning() && form.AccList->isVisible(), 20000);
            form.AccList->SelectDataRow(2);
            test::ShootScreen(&form, QStringLiteral("packages.png"));

            form.Listaccounts1Click();
            QTRY_VERIFY_WITH_TIMEOUT(!form.FetchRunning() && !form.ListBuildRunning(), 20000);
            form.AccList->SelectDataRow(4);
            test::ShootScreen(&form, QStringLiteral("accounts.png"));

            form.FilterPaintBoxMouseDown(2);
            QTRY_VERIFY_WITH_TIMEOUT(!form.ListBuildRunning(), 20000);
            QTest::keyClicks(form.QueryEdit, QStringLiteral("b"));
            test::ShootScreen(&form, QStringLiteral("filterbar.png"));
            form.QueryEdit->clear();
            form.FilterPaintBoxMouseDown(1);
            QTRY_VERIFY_WITH_TIMEOUT(!form.ListBuildRunning(), 20000);
            form.AccList->SelectDataRow(3);

            ShootNextModal<TInputForm>(QStringLiteral("input-bandwidth.png"), [](TInputForm* input) {
                input->move(120, 200);
                input->BandWidthEdit->setText(QStringLiteral("2048"));
            });
            form.LimitBandWidth1Click();
            QVERIFY(test::WaitForRequests());
            ShootNextModal<TInputForm>(QStringLiteral("input-password.png"), [](TInputForm* input) {
                input->move(120, 200);
                input->NewPasswordLabelClick();
            });
            form.Changepassword1Click();
            QVERIFY(test::WaitForRequests());
            ShootNextModal<TMessageForm>(QStringLiteral("serverinfo.png"), [](TMessageForm* window) {
                test::WaitForRequests(); // the version row
                window->move(120, 160);
            });
            form.Viewserverinformation1Click();
        }
    }

    void SeveralAccountsPictures() {
        auto showing = std::make_shared<ShowingUi>(); // replaces the answering seam
        SetTransportUi(showing);
        test::ProgramFolder folder;
        folder.WriteLanguage(test::ShippedFile("Localization/English.lng"));
        folder.WriteSettings("[General]\nShowTray=0\nUntrustedCert=1\n");
        standin_test::TempDir data;
        standin_test::StandinProcess server(data.Path(), {"--seed", "demo"});
        const auto serverGet = [&](const std::string& path) {
            standin_test::Get(server.Url(path), standin_test::RequestOptions{});
        };
        {
            TParlomarClientMainForm form;
            showing->SetMainForm(&form);
            form.resize(560, 620);
            form.move(40, 40);
            form.show();
            test::SignIn(form, server.Port());
            QTRY_VERIFY_WITH_TIMEOUT(!form.FetchRunning() && form.AccList->isVisible(), 20000);
            form.Listaccounts1Click();
            QTRY_VERIFY_WITH_TIMEOUT(!form.FetchRunning() && !form.ListBuildRunning(), 20000);
            // Twelve accounts: one suspended already, one suspended elsewhere meanwhile; a slow server.
            form.AccList->SelectDataRows({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
            form.ListPopupMenuPopup();
            form.ListPopupMenu->popup(form.AccList->viewport()->mapToGlobal(QPoint(160, 120)));
            test::ShootScreen(&form, QStringLiteral("accounts-selected.png"));
            form.ListPopupMenu->close();
            serverGet("/xml-api/suspendacct?user=bluefin");
            serverGet("/standin/faults?delay_ms=500");
            ShootNextModal<TMessageForm>(
                QStringLiteral("bulk-question.png"), [](TMessageForm* question) { question->move(100, 220); },
                [](TMessageForm* question) { question->OKButton->click(); });
            form.Suspendselected1->trigger();
            QPointer<TBulkForm> bulk = form.BulkForm;
            QVERIFY(bulk);
            bulk->move(80, 120);
            QTRY_VERIFY_WITH_TIMEOUT(CountBulk(bulk->Entries()).sent >= 4, 20000);
            test::ShootScreen(bulk, QStringLiteral("bulk-progress.png"));
            serverGet("/standin/faults?reset=1&drop_after=10&times=1");
            QTRY_VERIFY_WITH_TIMEOUT(bulk->Finished(), 20000);
            test::ShootScreen(bulk, QStringLiteral("bulk-summary.png"));
        }
    }
};

static parlomar::test::RegisterTest<ResultsShots> registerResultsShots;
#include "ResultsShots.moc"
