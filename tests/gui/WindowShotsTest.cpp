// Pictures of the editor, details and settings windows for docs/screenshots: runs only when
// PARLOMAR_SCREENSHOTS names a folder and the platform is a real X server (xvfb-run).

#include "TestRegistry.h"
#include "WindowsTestSupport.h"
#include "accounts/AddUnit.h"
#include "accounts/SummaryUnit.h"
#include "app/MainUnit.h"
#include "app/WindowOpeners.h"
#include "settings/CustUnit.h"
#include "skins/ButtonEdit.h"
#include "skins/Controls.h"

#include <QGuiApplication>
#include <QTest>

using namespace parlomar;

namespace {

void Save(QWidget* window, const char* name) {
    window->raise();
    QTest::qWait(300);
    const QString path =
        qEnvironmentVariable("PARLOMAR_SCREENSHOTS") + QLatin1Char('/') + QLatin1String(name);
    QVERIFY(window->grab().save(path));
}

} // namespace

class WindowShotsTest : public QObject {
    Q_OBJECT

private slots:
    void EditorDetailsAndSettingsPictures() {
        if (qEnvironmentVariableIsEmpty("PARLOMAR_SCREENSHOTS") ||
            QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("set PARLOMAR_SCREENSHOTS and run under xvfb-run with the xcb platform");
        auto ui = std::make_shared<test::AnsweringUi>();
        SetTransportUi(ui);
        {
            test::ShippedProgramFolder folder;
            test::SignedInServer server;
            const std::string packages = server.PackageList();

            TAddForm account;
            account.PackageListText = packages;
            account.show();
            account.Edit(QStringLiteral("DomainEdit"))->setText(QStringLiteral("fresh-bakes.com"));
            account.Edit(QStringLiteral("UsernameEdit"))->setText(QStringLiteral("freshbk"));
            account.GenPasswordLabelClick();
            account.PlanEdit->setCurrentIndex(4);
            emit account.PlanEdit->activated(4);
            Save(&account, "editor-account.png");
            account.CancelButtonClick();

            TAddForm package;
            package.EditorKind = kPackageEditor;
            package.PackageAction = kEditPackage;
            package.PackageListText = packages;
            package.PackageName = "gold";
            package.show();
            Save(&package, "editor-package.png");
            package.CancelButtonClick();

            TParlomarClientMainForm main;
            main.PackageListReply = packages;
            OpenAccountDetails(&main, "greenleaf"); // a suspended account
            Save(OpenDetailsWindows().last(), "details-account.png");
            OpenPackageDetails(&main, "business_pro");
            Save(OpenDetailsWindows().last(), "details-package.png");
            CloseDetailsWindows();

            const char* names[] = {"settings-general.png", "settings-proxy.png", "settings-view.png"};
            for (int page = 0; page < 3; ++page) {
                TCustForm settings(nullptr, page);
                settings.show();
                Save(&settings, names[page]);
                settings.CancelButtonClick();
            }
        }
        SetTransportUi(nullptr);
        CloseConnection();
    }
};

static test::RegisterTest<WindowShotsTest> registerWindowShotsTest;

#include "WindowShotsTest.moc"
