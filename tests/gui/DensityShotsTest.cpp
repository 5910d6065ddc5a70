// Pictures at twice the density for docs/screenshots: runs only under a real X server with
// PARLOMAR_SCREENSHOTS set and QT_SCALE_FACTOR=2 (xvfb-run -a -s "-screen 0 2560x1600x24").

#include "StandinProcess.h"
#include "TestRegistry.h"
#include "WindowsTestSupport.h"
#include "gui/app/MainUnit.h"
#include "gui/settings/CustUnit.h"
#include "gui/skins/SkinedStringGrid.h"

#include <QGuiApplication>
#include <QTest>

using namespace parlomar;

class DensityShotsTest : public test::WindowTest {
    Q_OBJECT

private slots:
    void MainWindowAndSettingsAtTwiceTheDensity() {
        if (!test::TakingShots() || qGuiApp->devicePixelRatio() < 2)
            QSKIP("set PARLOMAR_SCREENSHOTS and QT_SCALE_FACTOR=2 under xvfb-run with the xcb platform");
        test::ProgramFolder folder;
        folder.WriteLanguage(test::ShippedFile("Localization/English.lng"));
        folder.WriteSettings("[General]\nShowTray=0\nUntrustedCert=1\n");
        standin_test::TempDir data;
        standin_test::StandinProcess server(data.Path(), {"--seed", "demo"});
        TParlomarClientMainForm form;
        ui->SetMainForm(&form);
        form.resize(560, 620);
        form.move(20, 20);
        form.show();
        test::SignIn(form, server.Port());
        QTRY_VERIFY_WITH_TIMEOUT(test::Idle(form) && form.AccList->isVisible(), 20000);
        form.Listaccounts1Click();
        QTRY_VERIFY_WITH_TIMEOUT(test::Idle(form), 20000);
        form.activateWindow();
        form.AccList->setFocus();
        QTest::keyClick(form.AccList, Qt::Key_Down); // the focus frame on the second row
        test::SaveShot(&form, QStringLiteral("main-200.png"));

        folder.WriteSettings(test::ShippedFile("ParlomarClient.ini")); // the rows the view page offers
        TCustForm settings(nullptr, 2);
        settings.show();
        test::SaveShot(&settings, QStringLiteral("settings-view-200.png"));
        settings.CancelButtonClick();
    }
};

static parlomar::test::RegisterTest<DensityShotsTest> registerDensityShotsTest;
#include "DensityShotsTest.moc"
