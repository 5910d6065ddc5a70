// Pictures of the editor, details and settings windows for docs/screenshots (scripts/screenshots).

#include "Shots.h"
#include "TestRegistry.h"
#include "WindowsTestSupport.h"
#include "gui/accounts/AddUnit.h"
#include "gui/accounts/SummaryUnit.h"
#include "gui/app/MainUnit.h"
#include "gui/app/WindowOpeners.h"
#include "gui/info/MessageUnit.h"
#include "gui/settings/CustUnit.h"
#include "gui/skins/ButtonEdit.h"
#include "gui/skins/Controls.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

using namespace parlomar;

class WindowShots : public test::WindowTest {
    Q_OBJECT

private slots:
    void EditorDetailsAndSettingsPictures() {
        {
            test::ShippedProgramFolder folder;
            test::SignedInServer server;
            const std::string packages = server.PackageList();

            TAddForm account;
            account.Session = server.session;
            account.PackageListText = packages;
            account.show();
            account.Edit(QStringLiteral("DomainEdit"))->setText(QStringLiteral("fresh-bakes.com"));
            account.Edit(QStringLiteral("UsernameEdit"))->setText(QStringLiteral("freshbk"));
            account.GenPasswordLabelClick();
            account.PlanEdit->setCurrentIndex(4);
            emit account.PlanEdit->activated(4);
            test::SaveShot(&account, QStringLiteral("editor-account.png"));
            account.CancelButtonClick();

            TAddForm package;
            package.Session = server.session;
            package.EditorKind = kPackageEditor;
            package.PackageAction = kEditPackage;
            package.PackageListText = packages;
            package.PackageName = "gold";
            package.show();
            test::SaveShot(&package, QStringLiteral("editor-package.png"));
            package.CancelButtonClick();

            TParlomarClientMainForm main;
            main.SetWindowsSession(server.session);
            main.PackageListReply = packages;
            OpenAccountDetails(&main, "greenleaf"); // a suspended account
            QVERIFY(test::WaitForRequests());
            test::SaveShot(OpenDetailsWindows().last(), QStringLiteral("details-account.png"));
            OpenPackageDetails(&main, "business_pro");
            test::SaveShot(OpenDetailsWindows().last(), QStringLiteral("details-package.png"));
            CloseDetailsWindows();

            const char* names[] = {"settings-general.png", "settings-proxy.png", "settings-view.png"};
            for (int page = 0; page < 3; ++page) {
                TCustForm settings(nullptr, page);
                settings.show();
                test::SaveShot(&settings, QLatin1String(names[page]));
                settings.CancelButtonClick();
            }

            CertificateInfo info;
            info.host = "127.0.0.1";
            info.port = 2087;
            info.subject = "CN=cp.example.com,O=Example Hosting";
            info.issuer = "CN=cp.example.com,O=Example Hosting";
            info.notBefore = "2025-03-01 09:00:00 UTC";
            info.notAfter = "2027-03-01 09:00:00 UTC";
            info.fingerprint = "3F:9A:0C:51:E2:7B:44:D8:19:A6:C3:05:7E:92:BB:10:"
                               "6D:F4:28:83:0A:C9:57:E1:B2:3C:94:7F:06:DA:61:2E";
            info.changed = true;
            info.previousFingerprint = "8B:21:F0:6C:3D:95:A7:4E:02:BC:D9:18:E6:73:5A:C4:"
                                       "91:0F:6E:A3:27:D8:4B:B5:1C:70:E9:36:8D:52:F7:0A";
            const auto question = GuiTransportUi::CertificateQuestion(info);
            QTimer::singleShot(300, [] {
                auto* window = QApplication::activeModalWidget();
                test::SaveShot(window, QStringLiteral("certificate.png"));
                window->close();
            });
            AskDetailedQuestionWindow(question.details, question.question);
        }
    }
};

static test::RegisterTest<WindowShots> registerWindowShots;

#include "WindowShots.moc"
