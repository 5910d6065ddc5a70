// The account and package editor against the real stand-in server: the plan list and plan choice,
// key filters, "unlimited" buttons, on-demand edits, sections, the domain check, accounts and
// packages created and edited, refusals leaving the window open, and the opener's refetch.

#include "TestRegistry.h"
#include "WindowsTestSupport.h"
#include "core/server/XMLParser.h"
#include "core/settings/Localization.h"
#include "gui/accounts/AddUnit.h"
#include "gui/app/MainUnit.h"
#include "gui/app/WindowOpeners.h"
#include "gui/skins/BitCheckBox.h"
#include "gui/skins/ButtonEdit.h"
#include "gui/skins/Controls.h"
#include "gui/skins/SkinButton.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QPointer>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>
#include <QToolTip>

using namespace parlomar;

namespace {

QString Q8(const std::string& text) {
    return QString::fromStdString(text);
}

std::string PackageField(const std::string& list, const std::string& package, const char* tag) {
    return XmlExtract(XmlFindElement(list, "package", "name", package), "package", tag, kXmlLastValue);
}

void ClickButtonOf(TButtonEdit* edit) {
    QTest::mouseClick(edit, Qt::LeftButton, {}, QPoint(edit->width() - 4, edit->height() / 2));
}

} // namespace

class EditorWindowTest : public test::WindowTest {
    Q_OBJECT

private slots:
    void AccountEditorFieldsAndPlanChoice() {
        test::ShippedProgramFolder folder;
        test::SignedInServer server;
        TAddForm form;
        form.Session = server.session;
        form.PackageListText = server.PackageList();
        form.show();

        QVERIFY(form.AddAccountPanel->isVisible() && !form.AddPackagePanel->isVisible());
        QCOMPARE(form.height(), TAddForm::kAccountPanelHeight + 14 + 51);
        QVERIFY(form.windowTitle().endsWith(Q8(" - " + StatusText(47))));
        const QStringList plans = {
            Q8(StatusText(50)),     QStringLiteral("bronze"), QStringLiteral("business_pro"),
            QStringLiteral("gold"), QStringLiteral("silver"), QStringLiteral("unlimited_plus")};
        QCOMPARE(form.PlanEdit->count(), plans.size());
        for (int i = 0; i < plans.size(); ++i)
            QCOMPARE(form.PlanEdit->itemText(i), plans[i]);

        // Choosing a plan fills only the fields the package has; the placeholder changes nothing.
        TButtonEdit* domain = form.Edit(QStringLiteral("DomainEdit"));
        QTest::keyClicks(domain, QStringLiteral("-fresh,bakes.com"));
        QCOMPARE(domain->text(), QStringLiteral("fresh.bakes.com")); // no leading "-", "," is "."
        QTest::keyClicks(form.Edit(QStringLiteral("Maxsql1dit")), QStringLiteral("1x2"));
        QCOMPARE(form.Edit(QStringLiteral("Maxsql1dit"))->text(), QStringLiteral("12"));
        form.PlanEdit->setCurrentIndex(3);
        emit form.PlanEdit->activated(3);
        QCOMPARE(form.Edit(QStringLiteral("Quota1dit"))->text(), QStringLiteral("20000"));
        QCOMPARE(form.Edit(QStringLiteral("Maxsql1dit"))->text(), QStringLiteral("50"));
        QCOMPARE(form.Edit(QStringLiteral("maxftp1dit"))->text(), QStringLiteral("unlimited"));
        QVERIFY(form.Check(QStringLiteral("hasshell1heck"))->Checked()); // "y"
        QCOMPARE(form.Edit(QStringLiteral("Language1dit"))->text(),
                 Q8(PackageField(form.PackageListText, "gold", "LANG"))); // the reply calls it LANG
        QVERIFY(!form.Edit(QStringLiteral("Language1dit"))->text().isEmpty());
        QCOMPARE(domain->text(), QStringLiteral("fresh.bakes.com"));
        form.PlanEdit->setCurrentIndex(0);
        emit form.PlanEdit->activated(0);
        QCOMPARE(form.Edit(QStringLiteral("Quota1dit"))->text(), QStringLiteral("20000"));

        // "unlimited" buttons, on-demand edits, "Generate new", collapsing sections.
        TButtonEdit* pop = form.Edit(QStringLiteral("Maxpop1dit"));
        ClickButtonOf(pop);
        QCOMPARE(pop->text(), QStringLiteral("unlimited"));
        QCOMPARE(pop->maxLength(), 9);
        QVERIFY(!form.Edit(QStringLiteral("DomainEdit"))->ButtonVisible());
        QVERIFY(!form.Edit(QStringLiteral("CustomipEdit"))->isVisible());
        form.Check(QStringLiteral("IP1heck"))->click();
        QVERIFY(form.Edit(QStringLiteral("CustomipEdit"))->isVisible());
        QTest::keyClicks(form.Edit(QStringLiteral("CustomipEdit")), QStringLiteral("10.a0,1"));
        QCOMPARE(form.Edit(QStringLiteral("CustomipEdit"))->text(), QStringLiteral("10.01"));
        form.Check(QStringLiteral("IP1heck"))->click();
        QVERIFY(!form.Edit(QStringLiteral("CustomipEdit"))->isVisible());
        form.GenPasswordLabelClick();
        const QString password = form.Edit(QStringLiteral("PasswordEdit"))->text();
        QCOMPARE(password.size(), 12);
        QTest::mouseClick(form.GeneralScrollImage, Qt::LeftButton);
        QVERIFY(!form.GeneralPanel->isVisible());
        QTRY_COMPARE(form.AdditionalHeaderPanel->y(), form.GeneralHeaderPanel->height()); // moved up
        QTest::mouseClick(form.GeneralScrollImage, Qt::LeftButton);
        QVERIFY(form.GeneralPanel->isVisible());

        // Invalid domains: status text 57, nothing sent, the window stays.
        for (const char* invalid : {"bakery", "shop.c0m", "-shop.com", "my_shop.com", "shop..com"}) {
            domain->setText(QString::fromUtf8(invalid));
            form.OKButtonClick();
            QVERIFY(test::WaitForRequests());
            QCOMPARE(ui->messages.back(), StatusText(57));
            QVERIFY2(form.ResultQuery().empty() && form.isVisible(), invalid);
        }
    }

    void AccountCreatedAndARefusalKeepsTheWindow() {
        test::ShippedProgramFolder folder;
        test::SignedInServer server;
        const std::string packages = server.PackageList();
        auto fill = [&](TAddForm& form, const char* domain, const char* user) {
            form.PackageListText = packages;
            form.show();
            form.Edit(QStringLiteral("DomainEdit"))->setText(QString::fromUtf8(domain));
            form.Edit(QStringLiteral("ContactemailEdit"))->setText(QStringLiteral("Owner@fresh-bakes.com"));
            form.Edit(QStringLiteral("UsernameEdit"))->setText(QString::fromUtf8(user));
            form.Edit(QStringLiteral("PasswordEdit"))->setText(QStringLiteral("MiXed$Pass9"));
            form.PlanEdit->setCurrentIndex(form.PlanEdit->findText(QStringLiteral("silver")));
            emit form.PlanEdit->activated(form.PlanEdit->currentIndex());
            form.Edit(QStringLiteral("Quota1dit"))->setText(QStringLiteral("750"));
        };

        // Last labels of any length pass the domain check and reach the server.
        for (const char* domain : {"shop.museum", "my-site.photography"}) {
            TAddForm created;
            created.Session = server.session;
            fill(created, domain, domain[0] == 's' ? "shopmuseum" : "mysite");
            created.OKButtonClick();
            QVERIFY(test::WaitForRequests());
            QVERIFY2(test::Contains(ui->messages.back(), "Account created"), domain);
        }
        QVERIFY(test::Contains(server.Summary("mysite"), "<domain>my-site.photography</domain>"));

        TAddForm form;
        form.Session = server.session;
        fill(form, "fresh-bakes.com", "freshbk");
        form.OKButtonClick();
        QVERIFY(test::WaitForRequests());
        QVERIFY(test::Contains(ui->messages.back(), "Account created"));
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QVERIFY(!form.isVisible());
        const std::string query = form.ResultQuery();
        // Names lower case, values as typed (percent-encoded), every check box, no hidden edits.
        QVERIFY(test::Contains(query, "password=MiXed%24Pass9"));
        QVERIFY(test::Contains(query, "contactemail=Owner%40fresh-bakes.com"));
        QVERIFY(test::Contains(query, "quota=750&"));
        QVERIFY(test::Contains(
            query, "hasuseregns=0&useregns=0&reseller=0&cgi=1&frontpage=0&hasshell=0&ip=0&savepkg=0"));
        QVERIFY(!test::Contains(query, "customip") && !test::Contains(query, "pkgname"));
        QVERIFY(query.find("maxlst=") < query.find("domain=") &&
                query.find("password=") < query.find("plan="));
        const std::string summary = server.Summary("freshbk");
        QVERIFY(test::Contains(summary, "<domain>fresh-bakes.com</domain>"));
        QVERIFY(test::Contains(summary, "<plan>silver</plan>"));

        // The same domain again: the server refuses; the window stays with everything as typed.
        TAddForm again;
        again.Session = server.session;
        fill(again, "fresh-bakes.com", "otherbk");
        again.OKButtonClick();
        QVERIFY(test::WaitForRequests());
        QVERIFY(test::Contains(ui->messages.back(), "already belongs"));
        QVERIFY(again.isVisible());
        QCOMPARE(again.Edit(QStringLiteral("UsernameEdit"))->text(), QStringLiteral("otherbk"));
        QVERIFY(!again.ResultQuery().empty());
        QTest::mouseClick(again.CancelButton, Qt::LeftButton);
        QVERIFY(again.ResultQuery().empty() && !again.isVisible());
    }

    void TypedAndPastedTextIsNeverChangedSilently() {
        test::ShippedProgramFolder folder;
        test::SignedInServer server;
        TAddForm form;
        form.Session = server.session;
        form.PackageListText = server.PackageList();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));

        // A refused character is dropped with the reason shown at its field.
        TButtonEdit* user = form.Edit(QStringLiteral("UsernameEdit"));
        QTest::keyClicks(user, QStringLiteral("te&st"));
        QCOMPARE(user->text(), QStringLiteral("test"));
        QTRY_COMPARE(QToolTip::text(),
                     QStringLiteral("Only the letters A to Z and digits go into this field."));
        QToolTip::hideText();
        TButtonEdit* quota = form.Edit(QStringLiteral("Quota1dit"));
        QTest::keyClicks(quota, QStringLiteral("12a"));
        QCOMPARE(quota->text(), QStringLiteral("12"));
        QTRY_VERIFY(QToolTip::text().startsWith(QStringLiteral("Only digits go into this field")));

        // A pasted text holding a refused character is refused whole, not stripped.
        QToolTip::hideText();
        QApplication::clipboard()->setText(QStringLiteral("12abc"));
        quota->setFocus();
        quota->selectAll();
        QTest::keyClick(quota, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(quota->text(), QStringLiteral("12"));
        QTRY_VERIFY(QToolTip::text().startsWith(QStringLiteral("Only digits go into this field")));
        QApplication::clipboard()->setText(QStringLiteral("345"));
        QTest::keyClick(quota, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(quota->text(), QStringLiteral("12345"));

        // A domain in Unicode is kept as typed, its ASCII form shown beside it and sent.
        TButtonEdit* domain = form.Edit(QStringLiteral("DomainEdit"));
        const QString typed = QString::fromUtf8("b\xC3\xBC"
                                                "cher-stra\xC3\x9F"
                                                "e.de");
        for (const QChar c : typed) { // typed one by one, as a keyboard with these letters does
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(domain, &press);
        }
        QCOMPARE(domain->text(), typed);
        QCOMPARE(form.DomainAsciiLabel->text(), QStringLiteral("sent as xn--bcher-strae-46a18a.de"));
        QVERIFY(form.DomainAsciiLabel->isVisible());
        form.Edit(QStringLiteral("ContactemailEdit"))->setText(QStringLiteral("owner@example.com"));
        form.Edit(QStringLiteral("PasswordEdit"))->setText(QStringLiteral("MiXed$Pass9"));
        form.OKButtonClick();
        QVERIFY(test::WaitForRequests());
        QVERIFY2(test::Contains(ui->messages.back(), "Account created"), ui->messages.back().c_str());
        QVERIFY(test::Contains(server.Summary("test"), "<domain>xn--bcher-strae-46a18a.de</domain>"));
    }

    void PackageCreatedAndEdited() {
        test::ShippedProgramFolder folder;
        test::SignedInServer server;

        TAddForm create;
        create.Session = server.session;
        create.EditorKind = kPackageEditor;
        create.PackageAction = kCreatePackage;
        create.PackageListText = server.PackageList();
        create.show();
        QVERIFY(create.AddPackagePanel->isVisible() && !create.AddAccountPanel->isVisible());
        QCOMPARE(create.height(), TAddForm::kPackagePanelHeight + 14 + 51);
        QVERIFY(create.windowTitle().endsWith(Q8(" - " + StatusText(46))));
        QVERIFY(create.Edit(QStringLiteral("QuotaEdit"))->text().isEmpty());
        QTest::keyClicks(create.Edit(QStringLiteral("NameEdit")), QStringLiteral("tiny-pkg_1"));
        QCOMPARE(create.Edit(QStringLiteral("NameEdit"))->text(), QStringLiteral("tinypkg_1"));
        QTest::keyClicks(create.Edit(QStringLiteral("QuotaEdit")), QStringLiteral("300MB"));
        create.Check(QStringLiteral("CGICheck"))->click();
        create.OKButtonClick();
        QVERIFY(test::WaitForRequests());
        QVERIFY(test::Contains(ui->messages.back(), "Created the package"));
        QVERIFY(!create.isVisible());
        std::string list = server.PackageList();
        QCOMPARE(PackageField(list, "tinypkg_1", "QUOTA"), std::string("300"));
        QCOMPARE(PackageField(list, "tinypkg_1", "CGI"), std::string("y"));

        // Editing: the fields come from the package, check boxes from "y" and "n".
        TAddForm edit;
        edit.Session = server.session;
        edit.EditorKind = kPackageEditor;
        edit.PackageAction = kEditPackage;
        edit.PackageListText = list;
        edit.PackageName = "gold";
        edit.show();
        QCOMPARE(edit.windowTitle(), Q8("gold " + StatusText(36)));
        QCOMPARE(edit.Edit(QStringLiteral("NameEdit"))->text(), QStringLiteral("gold"));
        QCOMPARE(edit.Edit(QStringLiteral("QuotaEdit"))->text(), QStringLiteral("20000"));
        QVERIFY(edit.Check(QStringLiteral("hasshellCheck"))->Checked());
        QVERIFY(!edit.Check(QStringLiteral("IPCheck"))->Checked());
        QVERIFY(edit.Check(QStringLiteral("CGICheck"))->Checked());
        edit.Check(QStringLiteral("hasshellCheck"))->click();
        edit.Edit(QStringLiteral("MaxPopEdit"))->setText(QStringLiteral("77"));
        edit.OKButtonClick();
        QVERIFY(test::WaitForRequests());
        QVERIFY(test::Contains(ui->messages.back(), "Modified the package"));
        list = server.PackageList();
        QCOMPARE(PackageField(list, "gold", "MAXPOP"), std::string("77"));
        QCOMPARE(PackageField(list, "gold", "HASSHELL"), std::string("n"));

        // Language and mailing lists come from the reply's LANG and MAXLST; an edit that changes
        // nothing sends every value back as it was.
        const std::string silver = XmlFindElement(list, "package", "name", "silver");
        TAddForm same;
        same.Session = server.session;
        same.EditorKind = kPackageEditor;
        same.PackageAction = kEditPackage;
        same.PackageListText = list;
        same.PackageName = "silver";
        same.show();
        const std::string lang = PackageField(list, "silver", "LANG");
        const std::string lists = PackageField(list, "silver", "MAXLST");
        QVERIFY(!lang.empty() && !lists.empty());
        QCOMPARE(same.Edit(QStringLiteral("LanguageEdit"))->text(), Q8(lang));
        QCOMPARE(same.Edit(QStringLiteral("MaxListsEdit"))->text(), Q8(lists));
        same.OKButtonClick();
        QVERIFY(test::WaitForRequests());
        QVERIFY(test::Contains(same.ResultQuery(), "language=" + lang + "&"));
        QVERIFY(test::Contains(same.ResultQuery(), "maxlists=" + lists + "&"));
        list = server.PackageList();
        QCOMPARE(XmlFindElement(list, "package", "name", "silver"), silver);

        // A package that is not there: nothing filled, the server refuses, the window stays.
        TAddForm ghost;
        ghost.Session = server.session;
        ghost.EditorKind = kPackageEditor;
        ghost.PackageAction = kEditPackage;
        ghost.PackageListText = list;
        ghost.PackageName = "ghost";
        ghost.show();
        QVERIFY(ghost.Edit(QStringLiteral("QuotaEdit"))->text().isEmpty());
        ghost.Edit(QStringLiteral("NameEdit"))->setText(QStringLiteral("ghost"));
        ghost.OKButtonClick();
        QVERIFY(test::WaitForRequests());
        QVERIFY(test::Contains(ui->messages.back(), "does not exist"));
        QVERIFY(ghost.isVisible());
        ghost.CancelButtonClick();
    }

    void OpenerRefetchesTheListAfterASuccess() {
        test::ShippedProgramFolder folder;
        test::SignedInServer server;
        TParlomarClientMainForm main;
        main.SetWindowsSession(server.session);
        ui->SetMainForm(&main);
        main.show();
        main.IPEdit->setText(QStringLiteral("127.0.0.1"));
        main.PortEdit->setText(QString::number(server.server.Port()));
        main.LoginEdit->setText(QString::fromUtf8(standin_test::kUser));
        main.PswEdit->setText(QString::fromUtf8(standin_test::kPassword));
        main.LoginButtonClick();
        QVERIFY(QTest::qWaitFor([&] { return !main.RequestRunning(); }, 20000));
        QTRY_VERIFY_WITH_TIMEOUT(main.SignedIn(), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(!main.PackageListReply.empty() && !main.FetchRunning(), 20000);

        bool driven = false;
        QTimer::singleShot(0, this, [&] {
            QPointer<TAddForm> editor = qobject_cast<TAddForm*>(QApplication::activeModalWidget());
            const auto closer = qScopeGuard([&] {
                if (editor && editor->isVisible())
                    editor->reject(); // also when a check fails
            });
            QVERIFY(editor);
            QCOMPARE(editor->EditorKind, kPackageEditor);
            editor->Edit(QStringLiteral("NameEdit"))->setText(QStringLiteral("fromopener"));
            editor->OKButtonClick();
            QVERIFY(test::WaitForRequests());
            driven = true;
        });
        OpenPackageEditor(&main);
        QVERIFY(driven);
        QVERIFY(main.findChildren<TAddForm*>().isEmpty()); // destroyed after use
        QTRY_VERIFY_WITH_TIMEOUT(
            test::Contains(main.PackageListReply, "<name>fromopener</name>") && !main.FetchRunning(), 20000);
        main.Signout1Click();
    }
};

static test::RegisterTest<EditorWindowTest> registerEditorWindowTest;

#include "EditorWindowTest.moc"
