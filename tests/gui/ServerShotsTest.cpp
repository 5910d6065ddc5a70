// Screenshots of the saved servers list, a read-only sign-in and the activity log window for
// docs/screenshots: runs only when PARLOMAR_SCREENSHOTS names a folder and a real X display is there
// (xvfb-run -s "-screen 0 1280x800x24"), taking each picture with `import -window root`.

#include "GuiTestSupport.h"
#include "StandinProcess.h"
#include "TestRegistry.h"
#include "WindowsTestSupport.h"
#include "accounts/PackageList.h"
#include "app/MainUnit.h"
#include "app/ServerList.h"
#include "info/ActivityUnit.h"
#include "server/ActivityLog.h"
#include "server/RequestGuard.h"
#include "settings/SavedServers.h"
#include "skins/BitCheckBox.h"
#include "skins/Controls.h"
#include "skins/SkinedStringGrid.h"

#include <QProcess>

using namespace parlomar;

namespace {

void Shoot(const QRect& area, const QString& name) {
    QTest::qWait(400);
    QApplication::processEvents();
    const QString crop =
        QStringLiteral("%1x%2+%3+%4").arg(area.width()).arg(area.height()).arg(area.x()).arg(area.y());
    const QString path = qEnvironmentVariable("PARLOMAR_SCREENSHOTS") + QLatin1Char('/') + name;
    QProcess::execute(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"),
                                                 QStringLiteral("-crop"), crop, path});
}

SavedServer Saved(const char* address, std::uint16_t port, const char* user, bool password, bool readOnly) {
    SavedServer server;
    server.address = address;
    server.port = port;
    server.userName = user;
    server.savePassword = password;
    server.encipheredPassword = password ? EncipherPassword("example") : std::string();
    server.readOnly = readOnly;
    return server;
}

} // namespace

class ServerShotsTest : public QObject {
    Q_OBJECT

private slots:
    void SavedServersAndActivityLogPictures() {
        if (qEnvironmentVariableIsEmpty("PARLOMAR_SCREENSHOTS") ||
            QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("set PARLOMAR_SCREENSHOTS and run under xvfb-run with the xcb platform");
        auto ui = std::make_shared<test::AnsweringUi>();
        SetTransportUi(ui);
        test::ShippedProgramFolder folder;
        standin_test::TempDir data;
        standin_test::StandinProcess server(data.Path(), {"--seed", "demo"});
        std::filesystem::remove_all(ActivityLogFolder());
        const auto port = static_cast<std::uint16_t>(server.Port());
        WriteSavedServers({Saved("127.0.0.1", port, standin_test::kUser, false, true),
                           Saved("cp1.hosting.example", 2087, "root", true, false),
                           Saved("cp2.hosting.example", 2087, "reseller", false, false),
                           Saved("198.51.100.23", 2087, "root", true, true),
                           Saved("backup.hosting.example", 2083, "audit", false, true)});
        {
            TParlomarClientMainForm form;
            ui->SetMainForm(&form);
            form.resize(560, 620);
            form.move(40, 40);
            form.show();
            QTest::qWait(200);
            form.IPEdit->setFocus();
            QTest::keyClick(form.IPEdit, Qt::Key_Down, Qt::AltModifier);
            QTRY_VERIFY(form.ServerList && form.ServerList->isVisible());
            form.ServerList->ServersList->setCurrentRow(1);
            Shoot(form.frameGeometry().united(form.ServerList->frameGeometry()),
                  QStringLiteral("signin-servers.png"));

            // Chosen: the read-only stand-in, signed in with its password typed.
            form.ServerList->ChooseRow(0);
            form.PswEdit->setText(QString::fromUtf8(standin_test::kPassword));
            form.LoginButtonClick();
            QTRY_VERIFY_WITH_TIMEOUT(form.SignedIn() && !form.FetchRunning(), 20000);
            form.Listaccounts1Click();
            QTRY_VERIFY_WITH_TIMEOUT(!form.FetchRunning() && !form.ListBuildRunning(), 20000);
            form.AccList->SelectDataRow(2);
            Shoot(form.frameGeometry(), QStringLiteral("signedin-readonly.png"));
            // One change refused at the entry, then changes on a server that takes them.
            SessionRequests(form.Session())(SuspendAccountUrl(ServerBaseUrl(), "alpinebk"));
            form.Signout1Click();
            form.ReadOnlyCheck->SetChecked(false);
            form.LoginButtonClick();
            QTRY_VERIFY_WITH_TIMEOUT(form.SignedIn() && !form.FetchRunning(), 20000);
            const RequestFunction send = SessionRequests(form.Session());
            send(CreateAccountUrl(ServerBaseUrl(), {{"domain", "bakery-example.com"},
                                                    {"username", "bakery"},
                                                    {"password", "Kq7!vT2#pL9w"},
                                                    {"plan", "silver"}}));
            send(SuspendAccountUrl(ServerBaseUrl(), "bakery"));
            send(PasswdUrl(ServerBaseUrl(), "bakery", "N3w-pass-2025"));
            send(LimitBandwidthUrl(ServerBaseUrl(), "bakery", "2048"));
            send(KillPackageUrl(ServerBaseUrl(), "nosuchplan"));

            form.Activitylog1Click();
            QPointer<TActivityForm> window = form.ActivityForm;
            window->resize(1120, 330);
            window->move(40, 80);
            QTRY_VERIFY_WITH_TIMEOUT(!window->Reading() && window->ShownRows() == 6, 10000);
            window->ActivityGrid->selectRow(1);
            Shoot(window->frameGeometry(), QStringLiteral("activity-log.png"));
            window->close();
        }
        SetReadOnlyServer(false);
        SetTransportUi(nullptr);
        CloseConnection();
    }
};

static parlomar::test::RegisterTest<ServerShotsTest> registerServerShotsTest;
#include "ServerShotsTest.moc"
