// Pictures of the windows in each shipped skin for docs/screenshots/skins (scripts/screenshots).

#include "Shots.h"
#include "TestRegistry.h"
#include "WindowsTestSupport.h"
#include "core/settings/IniFile.h"
#include "core/settings/Paths.h"
#include "gui/accounts/AddUnit.h"
#include "gui/accounts/BulkUnit.h"
#include "gui/accounts/SummaryUnit.h"
#include "gui/app/MainUnit.h"
#include "gui/app/WindowOpeners.h"
#include "gui/info/MessageUnit.h"
#include "gui/settings/CustUnit.h"
#include "gui/skins/ButtonEdit.h"
#include "gui/skins/Controls.h"
#include "gui/skins/SkinedStringGrid.h"

#include <QGuiApplication>
#include <QTest>

#include <filesystem>

using namespace parlomar;

class SkinShots : public test::WindowTest {
    Q_OBJECT

private slots:
    void ShippedSkinPictures() {
        for (const QString& skin : {QStringLiteral("Daylight"), QStringLiteral("Graphite")}) {
            const QString prefix = skin.toLower() + QLatin1Char('-');
            test::ShippedProgramFolder folder;
            std::filesystem::create_directories(SkinsFolder());
            for (const char* shipped : {"Daylight", "Graphite"})
                std::filesystem::copy_file(std::string(PARLOMAR_PROGRAM_DIR) + "/skins/" + shipped + ".zip",
                                           SkinsFolder() / (std::string(shipped) + ".zip"));
            WriteIniValue("SKINS", "Current", skin.toStdString(), kSettingsTarget);
            WriteIniValue("General", "UntrustedCert", "1", kSettingsTarget);
            standin_test::TempDir data;
            standin_test::StandinProcess server(data.Path(), {"--seed", "demo"});
            TParlomarClientMainForm main;
            ui->SetMainForm(&main);
            main.resize(560, 620);
            main.move(40, 40);
            main.show();
            test::SaveShot(&main, prefix + QStringLiteral("signin.png"));
            main.IPEdit->setText(QStringLiteral("127.0.0.1"));
            main.PortEdit->setText(QString::number(server.Port()));
            main.LoginEdit->setText(QString::fromUtf8(standin_test::kUser));
            main.PswEdit->setText(QString::fromUtf8(standin_test::kPassword));
            main.LoginButtonClick();
            QVERIFY(QTest::qWaitFor([&] { return !main.RequestRunning(); }, 20000));
            QTRY_VERIFY_WITH_TIMEOUT(!main.FetchRunning() && main.AccList->isVisible(), 20000);
            main.AccList->SelectDataRow(2);
            test::SaveShot(&main, prefix + QStringLiteral("packages.png"));
            main.Listaccounts1Click();
            QTRY_VERIFY_WITH_TIMEOUT(!main.FetchRunning() && !main.ListBuildRunning(), 20000);
            main.AccList->SelectDataRow(4);
            test::SaveShot(&main, prefix + QStringLiteral("accounts.png"));

            const std::string packages = main.PackageListReply;
            {
                TAddForm editor(&main);
                editor.PackageListText = packages;
                editor.show();
                editor.Edit(QStringLiteral("DomainEdit"))->setText(QStringLiteral("fresh-bakes.com"));
                editor.Edit(QStringLiteral("UsernameEdit"))->setText(QStringLiteral("freshbk"));
                test::SaveShot(&editor, prefix + QStringLiteral("editor.png"));
                editor.CancelButtonClick();
            }
            OpenAccountDetails(&main, "cedarlaw");
            QVERIFY(test::WaitForRequests());
            QVERIFY(!OpenDetailsWindows().isEmpty());
            test::SaveShot(OpenDetailsWindows().last(), prefix + QStringLiteral("details.png"));
            CloseDetailsWindows();
            {
                TCustForm settings(&main, kSkinsPage);
                settings.show();
                test::SaveShot(&settings, prefix + QStringLiteral("settings-skins.png"));
                settings.CancelButtonClick();
            }
            {
                TMessageForm message(&main);
                message.MessageKind = kMessageQuestion;
                message.MessageText = QStringLiteral("Do you really want to delete: Account cedarlaw?");
                message.show();
                test::SaveShot(&message, prefix + QStringLiteral("message.png"));
                message.reject();
            }
            main.AccList->SelectDataRows({1, 2, 3, 4, 5, 6});
            ui->answers = {true};
            main.Suspendselected1Click();
            QTRY_VERIFY_WITH_TIMEOUT(main.BulkForm && main.BulkForm->Finished(), 20000);
            test::SaveShot(main.BulkForm, prefix + QStringLiteral("bulk-summary.png"));
            ui->SetMainForm(nullptr);
        }
    }
};

static test::RegisterTest<SkinShots> registerSkinShots;

#include "SkinShots.moc"
