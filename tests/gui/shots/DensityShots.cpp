// Pictures at twice the density for docs/screenshots (scripts/screenshots runs this one with
// QT_SCALE_FACTOR=2 on a 2560x1600 screen).

#include "Shots.h"
#include "StandinProcess.h"
#include "TestRegistry.h"
#include "WindowsTestSupport.h"
#include "gui/app/MainUnit.h"
#include "gui/settings/CustUnit.h"
#include "gui/skins/SkinedStringGrid.h"

#include <QGuiApplication>
#include <QTest>

using namespace parlomar;

class DensityShots : public test::WindowTest {
    Q_OBJECT

private slots:
    void MainWindowAndSettingsAtTwiceTheDensity() {
        QVERIFY2(qGuiApp->devicePixelRatio() >= 2, "run with QT_SCALE_FACTOR=2 (scripts/screenshots does)");
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

static parlomar::test::RegisterTest<DensityShots> registerDensityShots;
#include "DensityShots.moc"
