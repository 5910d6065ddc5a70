// Pictures of the saved servers list, a read-only sign-in and the activity log window for
// docs/screenshots (scripts/screenshots), each taken with `import -window root`.

#include "Shots.h"
#include "StandinProcess.h"
#include "TestRegistry.h"
#include "WindowsTestSupport.h"
#include "core/accounts/PackageList.h"
#include "core/server/ActivityLog.h"
#include "core/server/RequestGuard.h"
#include "core/settings/SavedServers.h"
#include "gui/app/MainUnit.h"
#include "gui/app/ServerList.h"
#include "gui/info/ActivityUnit.h"
#include "gui/skins/BitCheckBox.h"
#include "gui/skins/Controls.h"
#include "gui/skins/SkinedStringGrid.h"

using namespace parlomar;

namespace {

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

class ServerShots : public test::WindowTest {
    Q_OBJECT

private slots:
    void SavedServersAndActivityLogPictures() {
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
            test::ShootScreen(&form, QStringLiteral("signin-servers.png"), form.ServerList);

            // Chosen: the read-only stand-in, signed in with its password typed.
            form.ServerList->ChooseRow(0);
            form.PswEdit->setText(QString::fromUtf8(standin_test::kPassword));
            form.LoginButtonClick();
            QVERIFY(QTest::qWaitFor([&] { return !form.RequestRunning(); }, 20000));
            QTRY_VERIFY_WITH_TIMEOUT(form.SignedIn() && !form.FetchRunning(), 20000);
            form.Listaccounts1Click();
            QTRY_VERIFY_WITH_TIMEOUT(!form.FetchRunning() && !form.ListBuildRunning(), 20000);
            form.AccList->SelectDataRow(2);
            test::ShootScreen(&form, QStringLiteral("signedin-readonly.png"));
            // One change refused at the entry, then changes on a server that takes them.
            HttpGet(form.Session(), SuspendAccountUrl(form.Session()->BaseUrl(), "alpinebk"));
            form.Signout1Click();
            form.ReadOnlyCheck->SetChecked(false);
            form.LoginButtonClick();
            QVERIFY(QTest::qWaitFor([&] { return !form.RequestRunning(); }, 20000));
            QTRY_VERIFY_WITH_TIMEOUT(form.SignedIn() && !form.FetchRunning(), 20000);
            const RequestFunction send = SessionRequests(form.Session());
            send(CreateAccountUrl(form.Session()->BaseUrl(), {{"domain", "bakery-example.com"},
                                                              {"username", "bakery"},
                                                              {"password", "Kq7!vT2#pL9w"},
                                                              {"plan", "silver"}}));
            send(SuspendAccountUrl(form.Session()->BaseUrl(), "bakery"));
            send(PasswdUrl(form.Session()->BaseUrl(), "bakery", "N3w-pass-2025"));
            send(LimitBandwidthUrl(form.Session()->BaseUrl(), "bakery", "2048"));
            send(KillPackageUrl(form.Session()->BaseUrl(), "nosuchplan"));

            form.Activitylog1Click();
            QPointer<TActivityForm> window = form.ActivityForm;
            window->resize(1120, 330);
            window->move(40, 80);
            QTRY_VERIFY_WITH_TIMEOUT(!window->Reading() && window->ShownRows() == 6, 10000);
            window->ActivityGrid->selectRow(1);
            test::ShootScreen(window, QStringLiteral("activity-log.png"));
            window->close();
        }
    }
};

static parlomar::test::RegisterTest<ServerShots> registerServerShots;
#include "ServerShots.moc"
