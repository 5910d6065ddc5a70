// The settings dialog: pages, proxy switch and key filters, the view check boxes, OK writing and
// Cancel/Escape not writing, the immediate actions on the main window, a changed proxy used by the
// next request through a real tinyproxy; and the captions of the editor, details and settings
// windows from the language file and "Save captions".

#include "TestRegistry.h"
#include "WindowsTestSupport.h"
#include "core/settings/Localization.h"
#include "gui/accounts/AddUnit.h"
#include "gui/accounts/InputUnit.h"
#include "gui/accounts/SummaryUnit.h"
#include "gui/app/MainUnit.h"
#include "gui/info/AboutUnit.h"
#include "gui/settings/CustUnit.h"
#include "gui/skins/BitCheckBox.h"
#include "gui/skins/ButtonEdit.h"
#include "gui/skins/Controls.h"
#include "gui/skins/SkinButton.h"
#include "gui/skins/SkinedStringGrid.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QProcess>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>

using namespace parlomar;

namespace {

// A caption shown elided at a word boundary: the words kept, then "…".
bool ElidedAtAWord(const QString& shown, const QString& whole) {
    if (!shown.endsWith(QChar(0x2026)))
        return false;
    const QString kept = shown.chopped(1);
    return !kept.isEmpty() && whole.startsWith(kept) && whole.at(kept.size()) == QLatin1Char(' ');
}

// tinyproxy in the foreground on a free loopback port; its log is read from its output. The
// process is killed when the object goes.
struct Tinyproxy {
    explicit Tinyproxy(const QString& folder) {
        port = test::FreePort();
        const QString conf = folder + QStringLiteral("/tinyproxy.conf");
        QFile file(conf);
        file.open(QIODevice::WriteOnly);
        file.write(QStringLiteral("Port %1\nListen 127.0.0.1\nTimeout 30\nMaxClients 10\nLogLevel Info\n"
                                  "Allow 127.0.0.1\n")
                       .arg(port)
                       .toUtf8());
        file.close();
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(QStringLiteral("/usr/bin/tinyproxy"),
                      {QStringLiteral("-d"), QStringLiteral("-c"), conf});
        ready = process.waitForStarted(5000);
        while (ready && !log.contains("Accepting connections") && process.waitForReadyRead(5000))
            log += process.readAll();
    }
    ~Tinyproxy() {
        process.kill();
        process.waitForFinished(5000);
    }
    QByteArray Log() {
        process.waitForReadyRead(200);
        log += process.readAll();
        return log;
    }
    int port = 0;
    bool ready = false;
    QProcess process;
    QByteArray log;
};

void Type(QWidget* widget, const QString& text) {
    QTest::keyClicks(widget, text);
}

} // namespace

class SettingsWindowTest : public test::WindowTest {
    Q_OBJECT

private slots:
    void PagesProxySwitchAndKeyFilters() {
        test::ShippedProgramFolder folder;
        TCustForm form(nullptr, kViewPage);
        form.show();
        QVERIFY(form.windowTitle().startsWith(QString::fromStdString(StatusText(41) + " - ")));
        QCOMPARE(form.CustListBox->count(), 4);
        QCOMPARE(form.CustListBox->item(0)->text(), QStringLiteral("General")); // the shipped page names
        QCOMPARE(form.CustListBox->item(2)->text(), QStringLiteral("View"));
        QCOMPARE(form.CustListBox->item(3)->text(), QStringLiteral("Skins"));
        QCOMPARE(form.CustListBox->currentRow(), 2);
        QVERIFY(form.ViewPanel->isVisible() && !form.GeneralPanel->isVisible() &&
                !form.NetworkPanel->isVisible());
        QVERIFY(form.CheckBoxPanel1->isVisible() && form.OkCancelPanel->isVisible());
        form.CustListBox->setCurrentRow(1);
        QVERIFY(form.NetworkPanel->isVisible() && !form.ViewPanel->isVisible() &&
                form.OkCancelPanel->isVisible());
        QCOMPARE(form.CurrentPage, 1);

        // Proxy off: the six edits disabled in the window colour; ticking enables them.
        QVERIFY(!form.ProxyCheck->Checked());
        for (TButtonEdit* edit : {form.ProxyAdrEdit, form.ProxyPortEdit, form.ProxyUserEdit,
                                  form.ProxyPSWEdit, form.SocksProxyAddrEdit, form.SocksProxyPortEdit}) {
            QVERIFY(!edit->isEnabled());
            QCOMPARE(edit->palette().color(QPalette::Base), form.palette().color(QPalette::Window));
        }
        form.ProxyCheck->click();
        QVERIFY(form.ProxyAdrEdit->isEnabled() && form.SocksProxyPortEdit->isEnabled());
        QCOMPARE(form.ProxyAdrEdit->palette().color(QPalette::Base), QColor(Qt::white));

        Type(form.ProxyAdrEdit, QStringLiteral("a-b,c:"));
        QCOMPARE(form.ProxyAdrEdit->text(), QStringLiteral("ab.c"));
        Type(form.SocksProxyPortEdit, QStringLiteral("1a0-8"));
        QCOMPARE(form.SocksProxyPortEdit->text(), QStringLiteral("108"));
        Type(form.ProxyUserEdit, QStringLiteral("u-@:1"));
        QCOMPARE(form.ProxyUserEdit->text(), QStringLiteral("u-@:1"));
        QCOMPARE(form.ProxyPSWEdit->echoMode(), QLineEdit::Password);
        QTest::keyClick(form.ProxyAdrEdit, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(form.ProxyAdrEdit->selectedText(), QStringLiteral("ab.c"));
    }

    void ViewBoxesOkCancelAndEscape() {
        test::ProgramFolder folder;
        const std::string settings =
            "[General]\nShowTray=0\nTaskBar=1\n[Proxy]\nUse=0\nPort=\n"
            "[ViewSummary]\ndomain=1\nip=2\nemail=0\n[ViewPackage]\nQUOTA=1\nname=-2\n";
        folder.WriteSettings(settings);
        folder.WriteLanguage("[Details]\ndomain=Domain name\n");

        // Cancel and Escape write nothing, whatever was changed.
        for (int escape = 0; escape < 2; ++escape) {
            TCustForm form;
            form.show();
            form.ProxyCheck->click();
            form.TrayCheck->click();
            form.ViewBoxes(form.CheckBoxPanel1).first()->click();
            if (escape)
                QTest::keyClick(form.CustListBox, Qt::Key_Escape);
            else
                QTest::mouseClick(form.CancelButton, Qt::LeftButton);
            QVERIFY(!form.isVisible());
            QCOMPARE(folder.Settings(), settings);
        }

        TCustForm form;
        form.show();
        const QList<TBitCheckBox*> boxes = form.ViewBoxes(form.CheckBoxPanel1);
        QCOMPARE(boxes.size(), 2); // ip=2 cannot be switched
        QCOMPARE(boxes[0]->text(), QStringLiteral("Domain name"));
        QVERIFY(boxes[0]->Checked());
        QCOMPARE(boxes[1]->text(), QStringLiteral("email"));
        QVERIFY(!boxes[1]->Checked());
        QCOMPARE(boxes[1]->pos(), QPoint(kViewBoxMargin, kViewBoxMargin + kViewBoxStep));
        QCOMPARE(form.ViewBoxes(form.CheckBoxPanel2).size(), 1);

        boxes[1]->click();
        form.ProxyCheck->click();
        QCOMPARE(form.ProxyAdrEdit->text(), QStringLiteral("0")); // a missing key shows as read
        form.ProxyAdrEdit->clear();
        Type(form.ProxyAdrEdit, QStringLiteral("proxy.example"));
        Type(form.ProxyPortEdit, QStringLiteral("3128"));
        form.ProxyPSWEdit->clear();
        Type(form.ProxyPSWEdit, QStringLiteral("secret"));
        form.CertCheck->click();
        QTest::mouseClick(form.OKButton, Qt::LeftButton);
        QVERIFY(!form.isVisible());
        const std::string written = folder.Settings();
        QVERIFY(test::Has(written, "Use=1"));
        QVERIFY(test::Has(written, "Addr=proxy.example"));
        QVERIFY(test::Has(written, "Port=3128"));
        QVERIFY(test::Has(written, "PSW=" + EncipherPassword("secret")));
        QVERIFY(test::Has(written, "UntrustedCert=1"));
        QVERIFY(test::Has(written, "[ViewSummary]\ndomain=1\nip=2\nemail=1"));
        QVERIFY(test::Has(written, "QUOTA=1\nname=-2"));
    }

    void ImmediateActionsOnTheMainWindow() {
        test::ShippedProgramFolder folder;
        const std::string before = folder.Settings();
        TParlomarClientMainForm main;
        main.show();
        bool checked = false;
        QTimer::singleShot(0, this, [&] {
            QPointer<TCustForm> dialog = qobject_cast<TCustForm*>(QApplication::activeModalWidget());
            const auto closer = qScopeGuard([&] {
                if (dialog)
                    dialog->reject(); // also when a check fails
            });
            QVERIFY(dialog);
            QCOMPARE(dialog->CurrentPage, kGeneralPage);
            dialog->OnTopCheck->click();
            QVERIFY(main.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
            QVERIFY(main.Alwaysontop1->isChecked());
            QVERIFY(dialog->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
            dialog->TaskBarCheck->click();
            QVERIFY(main.windowFlags().testFlag(Qt::Tool));
            dialog->TrayCheck->click(); // no system tray here: the icon counts as hidden
            QVERIFY(!main.TrayIconShown());
            checked = true;
            dialog->CancelButtonClick();
        });
        main.OpenSettings(kGeneralPage);
        QVERIFY(checked);
        QCOMPARE(folder.Settings(), before); // the actions stay, nothing written
        QVERIFY(main.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    }

    void ChangedProxyTakesEffectOnTheNextRequest() {
        if (!QFile::exists(QStringLiteral("/usr/bin/tinyproxy")))
            QSKIP("tinyproxy is not installed");
        test::ShippedProgramFolder folder;
        test::SignedInServer server;
        Tinyproxy proxy(folder.Path());
        QVERIFY(proxy.ready);
        const std::string version = VersionUrl(server.session->BaseUrl());
        QCOMPARE(HttpGet(server.session, version).status, kStatusOk); // direct; the connection stays open

        // An OK that changes nothing keeps the connection: still direct.
        {
            TCustForm form;
            form.Session = server.session;
            form.show();
            form.OKButtonClick();
        }
        QCOMPARE(HttpGet(server.session, version).status, kStatusOk);
        QVERIFY(!proxy.Log().contains("CONNECT"));

        // The proxy switched on: the next request goes through it.
        {
            TCustForm form(nullptr, kProxyPage);
            form.Session = server.session;
            form.show();
            form.ProxyCheck->click();
            form.ProxyAdrEdit->setText(QStringLiteral("127.0.0.1"));
            form.ProxyPortEdit->setText(QString::number(proxy.port));
            form.OKButtonClick();
        }
        QCOMPARE(HttpGet(server.session, version).status, kStatusOk);
        QTRY_VERIFY(proxy.Log().contains("CONNECT 127.0.0.1:" + QByteArray::number(server.server.Port())));

        // A proxy port where nothing listens: the next request fails to connect.
        {
            TCustForm form(nullptr, kProxyPage);
            form.Session = server.session;
            form.show();
            form.ProxyPortEdit->setText(QString::number(test::FreePort()));
            form.OKButtonClick();
        }
        QCOMPARE(HttpGet(server.session, version).status, kStatusCannotConnect);
    }

    void ShippedTextsReadWellAndWhatDoesNotFitIsElided() {
        test::ShippedProgramFolder folder;
        // Longer texts than the shipped ones, as a translation may bring (a key first in its section
        // is the one read).
        std::string language = folder.Language();
        for (const auto& [section, line] :
             {std::pair<std::string, std::string>{"[AddForm]\n",
                                                  "QuotaEditLabel=Disk space quota in megabytes\n"},
              {"[Details]\n", "suspendtime=Suspended since (server time)\n"}})
            language.insert(language.find(section) + section.size(), line);
        folder.WriteLanguage(language);
        TAddForm editor;
        editor.EditorKind = kPackageEditor;
        editor.PackageAction = kCreatePackage;
        editor.show();
        auto label = [&](const char* name) { return editor.findChild<TLabel*>(QString::fromLatin1(name)); };
        QCOMPARE(label("MaxListsEditLabel")->text(), QStringLiteral("Mailing lists"));
        QCOMPARE(label("LanguageEditLabel")->text(), QStringLiteral("Language"));
        QCOMPARE(editor.Check(QStringLiteral("FrontPageCheck"))->text(),
                 QStringLiteral("Publishing extensions"));
        TLabel* quota = label("QuotaEditLabel");
        QVERIFY(quota->Elided() && ElidedAtAWord(quota->ShownText(), quota->text()));
        QCOMPARE(quota->HintText(), QStringLiteral("Disk space quota in megabytes"));
        QVERIFY(!label("MaxSubEditLabel")->Elided() && label("MaxSubEditLabel")->HintText().isEmpty());
        editor.CancelButtonClick();

        TCustForm settings(nullptr, 2);
        settings.show();
        QCOMPARE(settings.ProxyAdrLabel->text(), QStringLiteral("HTTP/HTTPS proxy address"));
        QCOMPARE(settings.Label2->text(), QStringLiteral("SOCKS 5 proxy address"));
        // The view page widens the dialog until every caption shows whole, a longer translation too.
        QVERIFY(settings.width() > TCustForm::kClientWidth);
        for (TPanel* panel : {settings.CheckBoxPanel1, settings.CheckBoxPanel2})
            for (const TBitCheckBox* box : settings.ViewBoxes(panel))
                QVERIFY2(!box->Elided() && box->geometry().right() < panel->width() &&
                             panel->geometry().right() < settings.ViewPanel->width(),
                         qPrintable(box->text()));
        QVERIFY(settings.CheckBoxPanel1->findChild<TBitCheckBox*>(QStringLiteral("suspendtime")));
        settings.CancelButtonClick();

        TAboutForm about;
        about.show();
        QVERIFY(!about.AboutLabel->text().contains(QStringLiteral("Windows")));
        TInputForm input;
        input.BandWidthPanel->show();
        input.show();
        QVERIFY(input.Val1Label->text().contains(QStringLiteral("bandwidth")));
        input.CancelButtonClick();

        // The status slot of the selected domain: a long domain from the server is elided there and
        // whole in the slot's hint.
        test::SignedInServer server;
        const std::string domain = "a-domain-name-too-long-for-its-status-slot.example";
        QVERIFY(server
                    .Get(server.session->BaseUrl() + "/xml-api/createacct?username=longname&domain=" +
                         domain + "&password=Pw123456&plan=silver")
                    .find("<status>1</status>") != std::string::npos);
        TParlomarClientMainForm main;
        main.SetWindowsSession(server.session);
        ui->SetMainForm(&main);
        main.resize(700, 500);
        main.show();
        main.IPEdit->setText(QStringLiteral("127.0.0.1"));
        main.PortEdit->setText(QString::number(server.server.Port()));
        main.LoginEdit->setText(QString::fromUtf8(standin_test::kUser));
        main.PswEdit->setText(QString::fromUtf8(standin_test::kPassword));
        main.LoginButtonClick();
        QVERIFY(QTest::qWaitFor([&] { return !main.RequestRunning(); }, 20000));
        QTRY_VERIFY_WITH_TIMEOUT(!main.FetchRunning() && !main.PackageListReply.empty(), 20000);
        main.Listaccounts1Click();
        QTRY_VERIFY_WITH_TIMEOUT(!main.FetchRunning() && !main.ListBuildRunning() &&
                                     main.AccList->ShownList == kListModeAccounts,
                                 20000);
        int row = 1;
        while (row < main.AccList->Data().RowCount() && main.AccList->Data().Cell(1, row) != "longname")
            ++row;
        QVERIFY(row > 1 && row < main.AccList->Data().RowCount());
        main.AccList->SelectDataRow(row);
        TLabel* slot = main.StatusPanels[2];
        QCOMPARE(slot->text(), QString::fromStdString(domain));
        QVERIFY(slot->Elided() && slot->ShownText().endsWith(QChar(0x2026)));
        QVERIFY(QString::fromStdString(domain).startsWith(slot->ShownText().chopped(1)));
        QCOMPARE(slot->HintText(), QString::fromStdString(domain));
        main.Signout1Click();
    }

    void CaptionsFromTheLanguageFileAndSaveCaptions() {
        test::ShippedProgramFolder folder;
        // Sections put first are the ones read (the shipped file has an [AddForm] of its own).
        folder.WriteLanguage("[AddForm]\nOKButton=Send\nGenPasswordLabel=New password\n"
                             "[SummaryForm]\nConfigureViewButton=Choose rows\n" +
                             folder.Language());
        {
            TAddForm editor;
            editor.show();
            QCOMPARE(editor.OKButton->text(), QStringLiteral("Send"));
            QCOMPARE(editor.GenPasswordLabel->text(), QStringLiteral("New password"));
            editor.CancelButtonClick();
            TSummaryForm details;
            details.show();
            QCOMPARE(details.ConfigureViewButton->text(), QStringLiteral("Choose rows"));
            TCustForm settings;
            settings.show();
            QCOMPARE(settings.CustListBox->item(1)->text(), QStringLiteral("Proxy"));
        }

        // "Save captions" writes every window's section.
        folder.WriteLanguage(test::ShippedFile("Localization/English.lng"));
        TParlomarClientMainForm main;
        main.Savecaptions1Click();
        const std::string language = folder.Language();
        for (const char* line :
             {"[AddForm]", "GenPasswordLabel=Generate new", "Quota1ditLabel=Disk space quota,MB",
              "IP1heck=Set custom IP", "[SummaryForm]", "CloseBtn=Close window", "RunButton=Run",
              "[CustForm]", "CustListBox2=View", "ProxyCheck=Use proxy"})
            QVERIFY2(test::Has(language, line), line);
        QVERIFY(!test::Has(language, "email=email")); // the view boxes keep their field labels
    }
};

static test::RegisterTest<SettingsWindowTest> registerSettingsWindowTest;

#include "SettingsWindowTest.moc"
