// The main window against the real stand-in server: sign-in and sign-out, the settings they write,
// the package list fetch, refusals and transport failures, automatic sign-in, window commands.

#include "StandinProcess.h"
#include "TestRegistry.h"
#include "WindowsTestSupport.h"
#include "core/server/HttpTransport.h"
#include "core/server/PasswordCipher.h"
#include "core/settings/Localization.h"
#include "gui/app/MainUnit.h"
#include "gui/skins/BitCheckBox.h"
#include "gui/skins/ButtonEdit.h"
#include "gui/skins/Controls.h"

#include <QApplication>
#include <QClipboard>
#include <QStatusBar>
#include <QTabBar>
#include <QTest>
#include <QToolTip>

using namespace parlomar;

namespace {

// Types one character that QTest's key table does not know.
void TypeCharacter(QWidget* target, QChar c) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
    QCoreApplication::sendEvent(target, &press);
}

void TypeSignIn(TParlomarClientMainForm& form, int port, const char* user, const char* password) {
    form.IPEdit->clear();
    form.PortEdit->clear();
    form.LoginEdit->clear();
    form.PswEdit->clear();
    QTest::keyClicks(form.IPEdit, QStringLiteral("127.0.0.1"));
    QTest::keyClicks(form.PortEdit, QString::number(port));
    QTest::keyClicks(form.LoginEdit, QString::fromUtf8(user));
    QTest::keyClicks(form.PswEdit, QString::fromUtf8(password));
}

} // namespace

class MainWindowTest : public test::WindowTest {
    Q_OBJECT

private slots:
    void KeyFiltersOfTheSignInFieldsRefuseVisibly() {
        test::ProgramFolder folder;
        TParlomarClientMainForm form;
        form.show();
        const auto refusedWith = [](const char* start) {
            const bool shown =
                QTest::qWaitFor([&] { return QToolTip::text().startsWith(QString::fromUtf8(start)); });
            QToolTip::hideText();
            return shown;
        };
        // A refused character is dropped with the reason shown at its field; "," becomes ".".
        QTest::keyClicks(form.IPEdit, QStringLiteral("10,0-0.1_x"));
        QCOMPARE(form.IPEdit->text(), QStringLiteral("10.00.1_x"));
        QVERIFY(refusedWith("Only letters, digits and \".\" can be typed into the address"));
        TypeCharacter(form.IPEdit, QChar(0xE9));
        QCOMPARE(form.IPEdit->text(), QStringLiteral("10.00.1_x"));
        QVERIFY(refusedWith("Only letters"));
        QTest::keyClicks(form.IPEdit, QStringLiteral("\\")); // passes the filter, but is a path
        QCOMPARE(form.IPEdit->text(), QStringLiteral("10.00.1_x"));
        QVERIFY(refusedWith("The server address must be a host name or an IP address only, without a path"));
        QTest::keyClicks(form.PortEdit, QStringLiteral("6a5:537"));
        QCOMPARE(form.PortEdit->text(), QStringLiteral("65537"));
        QVERIFY(refusedWith("Only digits go into the port field"));
        QCOMPARE(form.TypedSignInValues().port, 0); // not a port: sign-in refuses it by name
        QTest::keyClick(form.PortEdit, Qt::Key_1);  // a sixth digit
        QCOMPARE(form.PortEdit->text(), QStringLiteral("65537"));
        QVERIFY(refusedWith("Only digits go into the port field, at most five"));
        form.PortEdit->clear();
        QCOMPARE(form.TypedSignInValues().port, 0);

        // A paste holding what a field refuses is refused whole, never stripped; a host name with "-"
        // and an IPv6 address, which cannot be typed, can be pasted.
        const auto paste = [](TEdit* edit, const char* text) {
            QApplication::clipboard()->setText(QString::fromUtf8(text));
            edit->setFocus();
            edit->selectAll();
            QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        };
        paste(form.PortEdit, "20 87");
        QVERIFY(form.PortEdit->text().isEmpty());
        QVERIFY(refusedWith("Only digits go into the port field"));
        paste(form.PortEdit, "208700");
        QVERIFY(form.PortEdit->text().isEmpty());
        QVERIFY(refusedWith("Only digits go into the port field"));
        paste(form.PortEdit, "2087");
        QCOMPARE(form.PortEdit->text(), QStringLiteral("2087"));
        paste(form.IPEdit, "srv-01.example.com");
        QCOMPARE(form.IPEdit->text(), QStringLiteral("srv-01.example.com"));
        paste(form.IPEdit, "[2001:db8::1]");
        QCOMPARE(form.IPEdit->text(), QStringLiteral("[2001:db8::1]"));
        paste(form.IPEdit, "root@cp.example.com");
        QCOMPARE(form.IPEdit->text(), QStringLiteral("[2001:db8::1]"));
        QVERIFY(refusedWith("The server address must be a host name or an IP address only, without a user"));
        paste(form.IPEdit, "cp.example.com/whm");
        QCOMPARE(form.IPEdit->text(), QStringLiteral("[2001:db8::1]"));
        QVERIFY(refusedWith("The server address must be a host name or an IP address only, without a path"));
        paste(form.IPEdit, std::string(65, 'a').c_str());
        QCOMPARE(form.IPEdit->text(), QStringLiteral("[2001:db8::1]"));
        QVERIFY(refusedWith("A server address is at most 64 characters"));
        QCOMPARE(form.PortEdit->text(), QStringLiteral("2087")); // none of them touched the port

        // User name and password take everything.
        QTest::keyClicks(form.LoginEdit, QStringLiteral("anyone-@"));
        TypeCharacter(form.LoginEdit, QChar(0xE9));
        QCOMPARE(form.LoginEdit->text(), QStringLiteral("anyone-@\u00e9"));
        QTest::keyClicks(form.PswEdit, QStringLiteral("pw"));
        QCOMPARE(form.TypedSignInValues().encipheredPassword, EncipherPassword("pw"));
        QCOMPARE(form.PswEdit->echoMode(), QLineEdit::Password);
    }

    void SignInAndOutAgainstTheServer() {
        test::ProgramFolder folder;
        folder.WriteLanguage(test::ShippedFile("Localization/English.lng"));
        folder.WriteSettings("[General]\nShowTray=0\nUntrustedCert=1\n");
        standin_test::TempDir data;
        standin_test::StandinProcess server(data.Path(), {"--seed", "demo"});

        TParlomarClientMainForm form;
        ui->SetMainForm(&form);
        form.show();
        QVERIFY(form.LoginPanel->isVisible());
        QVERIFY(form.GrayDotImage->isVisible() && !form.GreenDotImage->isVisible());
        QVERIFY(!form.ServerButton->isVisible() && !form.QueryEdit->isEnabled());
        QCOMPARE(form.StatusSlot(0), test::Status(6));

        QVERIFY(!form.RememberCheck->Checked()); // SavePSW missing reads "0"
        QTest::mouseClick(form.RememberCheck, Qt::LeftButton, {},
                          QPoint(5, form.RememberCheck->height() / 2));
        QVERIFY(form.RememberCheck->Checked());
        TypeSignIn(form, server.Port(), standin_test::kUser, standin_test::kPassword);
        QTest::keyClick(form.PortEdit, Qt::Key_Return); // Enter in any field signs in
        QTRY_VERIFY_WITH_TIMEOUT(form.SignedIn(), 20000);
        QCOMPARE(ui->certificateQuestions, 1); // the self-signed certificate, then remembered
        QVERIFY(ui->messages.empty());
        QVERIFY(!form.LoginPanel->isVisible() && form.ResultsPanel->isVisible());
        QVERIFY(form.GreenDotImage->isVisible() && !form.GrayDotImage->isVisible());
        QCOMPARE(form.ServerLabel->text(), QStringLiteral("127.0.0.1"));
        QVERIFY(form.ServerButton->isVisible() && form.SignOutLabel->isVisible() &&
                form.Signout1->isVisible());
        QVERIFY(form.QueryEdit->isEnabled() && form.TabSet->isVisible());
        QVERIFY(form.windowTitle().contains(QString::fromStdString(ProgramVersion())));

        const std::string settings = folder.Settings();
        QVERIFY(test::Has(settings, "login=" + std::string(standin_test::kUser)));
        QVERIFY(test::Has(settings, "SavePsw=1"));
        QVERIFY(test::Has(settings, "Psw=" + EncipherPassword(standin_test::kPassword)));
        QVERIFY(test::Has(settings, "IP=127.0.0.1"));
        QVERIFY(test::Has(settings, "Port=" + std::to_string(server.Port())));

        // The package list is fetched right after and its reply stored.
        QTRY_VERIFY_WITH_TIMEOUT(!form.PackageListReply.empty() && !form.FetchRunning(), 20000);
        QCOMPARE(form.ListMode(), 2);
        QCOMPARE(form.TabSet->currentIndex(), 1);
        QVERIFY(form.PackageListReply.find("<listpkgs>") != std::string::npos);
        QVERIFY(form.ServerButton->isEnabled());

        // Sign out by the operator.
        form.Signout1Click();
        QVERIFY(!form.SignedIn());
        QVERIFY(form.LoginPanel->isVisible() && !form.ServerButton->isVisible() &&
                !form.SignOutLabel->isVisible());
        QVERIFY(form.ServerLabel->text().isEmpty());
        QCOMPARE(form.StatusSlot(0), test::Status(6));
        QVERIFY(form.PackageListReply.empty()); // forgotten with the results view
        // Ctrl+L does nothing while signed out.
        QTest::keyClick(form.IPEdit, Qt::Key_L, Qt::ControlModifier);
        QVERIFY(!form.FetchRunning());

        // A refused password: signed out with status 11; with "remember" cleared the stored
        // password is emptied and the remembered address and port stay.
        form.RememberCheck->SetChecked(false);
        TypeSignIn(form, server.Port(), standin_test::kUser, "wrong");
        form.LoginButtonClick();
        QVERIFY(QTest::qWaitFor([&] { return !form.RequestRunning(); }, 20000));
        QVERIFY(!form.SignedIn());
        QCOMPARE(form.StatusSlot(0), test::Status(11));
        QVERIFY(form.LoginPanel->isVisible());
        QCOMPARE(form.focusWidget(), form.PswEdit); // the refused password, to be typed again
        const std::string after = folder.Settings();
        QVERIFY(test::Has(after, "Psw="));
        QVERIFY(test::Has(after, "SavePsw=0"));
        QVERIFY(test::Has(after, "Port=" + std::to_string(server.Port())));

        // A transport failure: its error text as a message, status 3, the values kept.
        const int closed = test::FreePort();
        TypeSignIn(form, closed, standin_test::kUser, standin_test::kPassword);
        form.LoginButtonClick();
        QVERIFY(QTest::qWaitFor([&] { return !form.RequestRunning(); }, 20000));
        QVERIFY(!form.SignedIn());
        QCOMPARE(ui->messages.size(), std::size_t(1));
        QCOMPARE(ui->messages.back(), ErrorText(12029) + " (127.0.0.1, port " + std::to_string(closed) + ")");
        QCOMPARE(form.StatusSlot(0), test::Status(3));
        QCOMPARE(form.PortEdit->text(), QString::number(closed));
        QCOMPARE(form.focusWidget(), form.IPEdit); // no server there: the address first
    }

    void SignInRefusesAnAddressThatIsMoreThanAHost() {
        test::ProgramFolder folder;
        folder.WriteSettings(
            "[General]\nShowTray=0\n[USERS]\nIP=127.0.0.1/xml-api/x?\nPort=2087\nLogin=root\n"
            "SavePSW=1\nPsw=" +
            EncipherPassword("pw") + "\n");
        TParlomarClientMainForm form;
        ui->SetMainForm(&form);
        form.show();
        // The remembered address is refused at the automatic sign-in, before anything is sent.
        QTRY_COMPARE_WITH_TIMEOUT(ui->messages.size(), std::size_t(1), 10000);
        QVERIFY(ui->messages[0].find("without a path") != std::string::npos);
        QVERIFY(!form.SignedIn());
        QCOMPARE(form.StatusSlot(0), test::Status(6)); // no "sending" status came
        // A pasted address with a scheme: refused, and not remembered.
        form.IPEdit->setText(QStringLiteral("http://127.0.0.1"));
        form.LoginButtonClick();
        QVERIFY(QTest::qWaitFor([&] { return !form.RequestRunning(); }, 20000));
        QCOMPARE(ui->messages.size(), std::size_t(2));
        QVERIFY(ui->messages[1].find("scheme") != std::string::npos);
        QCOMPARE(form.StatusSlot(0), test::Status(6));
        QVERIFY(test::Has(folder.Settings(), "IP=127.0.0.1/xml-api/x?"));
    }

    void SignsInAtStartWithARememberedPassword() {
        test::ProgramFolder folder;
        standin_test::TempDir data;
        standin_test::StandinProcess server(data.Path(), {"--seed", "demo"});
        const std::string stored = EncipherPassword(standin_test::kPassword);
        folder.WriteSettings("[General]\nShowTray=0\nUntrustedCert=1\n[USERS]\nIP=127.0.0.1\nPort=" +
                             std::to_string(server.Port()) + "\nLogin=" + standin_test::kUser +
                             "\nSavePSW=1\nPsw=" + stored + "\n");
        TParlomarClientMainForm form;
        ui->SetMainForm(&form);
        QVERIFY(form.RememberCheck->Checked());
        QCOMPARE(form.PswEdit->text().size(), qsizetype(stored.size())); // one "*" per stored character
        form.show();
        QTRY_VERIFY_WITH_TIMEOUT(form.SignedIn(), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(!form.PackageListReply.empty(), 20000);
    }

    void WindowCommands() {
        test::ProgramFolder folder;
        folder.WriteSettings("[General]\nShowTray=1\nStayOnTop=0\n");
        QCOMPARE(TParlomarClientMainForm::MinimumWindowSize(96), QSize(375, 420));
        QCOMPARE(TParlomarClientMainForm::MinimumWindowSize(144), QSize(563, 630));

        TParlomarClientMainForm form;
        ui->SetMainForm(&form);
        form.show();
        QVERIFY(form.minimumWidth() >= 375 && form.minimumHeight() >= 420);
        QVERIFY(form.StatusBar->isVisible() && !form.StatusLabel1->isVisible()); // no skin

        form.Alwaysontop1->trigger();
        QVERIFY(form.windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(test::Has(folder.Settings(), "StayOnTop=1"));
        form.Alwaysontop1->trigger();
        QVERIFY(!(form.windowFlags() & Qt::WindowStaysOnTopHint));
        QVERIFY(test::Has(folder.Settings(), "StayOnTop=0"));

        // The hidden "Save captions" command writes the globals and every built window's texts.
        folder.WriteLanguage("");
        form.Savecaptions1->trigger();
        QVERIFY(!form.Savecaptions1->isVisible());
        const std::string language = folder.Language();
        for (const char* line : {"[APPLICATION]", "[ParlomarClientMainForm]", "LoginButton=Sign in",
                                 "RememberCheck=remember my password", "Exit1=Exit", "[AboutForm]",
                                 "[MessageForm]", "OKButton=OK"})
            QVERIFY2(test::Has(language, line), line);
        QVERIFY(language.find("MessLabel=") == std::string::npos); // Tag -1
        // The other windows in their order, the traceroute window among them.
        size_t at = 0;
        for (const char* section : {"[AboutForm]", "[CustForm]", "[InputForm]", "[TracertForm]", "[AddForm]",
                                    "[MessageForm]", "[SummaryForm]"}) {
            const size_t found = language.find(section);
            QVERIFY2(found != std::string::npos && found > at, section);
            at = found;
        }
        QVERIFY(test::Has(language, "Copytoclipboard1=Copy to clipboard"));

        // Without a system tray (offscreen) the icon counts as hidden: closing ends the window
        // instead of hiding the only one.
        QVERIFY(!form.TrayIconShown());
        form.close();
        QVERIFY(!form.isVisible());
    }
};

static parlomar::test::RegisterTest<MainWindowTest> registerMainWindowTest;
#include "MainWindowTest.moc"
