// The message window (kinds 2 and 3) and the about window.

#include "GuiTestSupport.h"
#include "TestRegistry.h"
#include "core/server/HttpTransport.h"
#include "core/settings/Localization.h"
#include "gui/info/AboutUnit.h"
#include "gui/info/MessageUnit.h"
#include "gui/skins/Controls.h"
#include "gui/skins/SkinButton.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QPointer>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QTextEdit>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <thread>

using namespace parlomar;

namespace {
// Acts on the next modal message window once it shows; a check that fails there closes it.
void OnModalMessage(const std::function<void(TMessageForm&)>& act) {
    QTimer::singleShot(0, [act] {
        QPointer<TMessageForm> form = qobject_cast<TMessageForm*>(QApplication::activeModalWidget());
        QVERIFY(form);
        act(*form);
        if (form && form->isVisible())
            form->reject();
    });
}

// Runs the window modally and acts on it once it shows; returns its MessageResult.
bool RunMessage(int kind, const QString& text, const std::function<void(TMessageForm&)>& act) {
    TMessageForm form;
    form.MessageKind = kind;
    form.MessageText = text;
    QTimer::singleShot(0, &form, [&form, act] { act(form); });
    form.ShowModal();
    return form.MessageResult;
}

// The certificate question as the transport puts it.
struct CertificateAsker : GuiTransportUi {
    bool Ask(const CertificateInfo& info) { return AskCertificateOnGui(info); }
};

std::atomic<bool> gLookupDone{false};
std::atomic<bool> gLookupOnGuiThread{false};
std::string SlowLookup(const std::string&) {
    gLookupOnGuiThread = QThread::currentThread() == QCoreApplication::instance()->thread();
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    gLookupDone = true;
    return "slow.example";
}
} // namespace

class InfoWindowsTest : public QObject {
    Q_OBJECT
private slots:
    void MessageKindsAndKeys() {
        test::ProgramFolder folder;
        // Kind 2: one button, the text as plain text, Ctrl+C copies it, Escape closes with false.
        const QString markup = QStringLiteral("<b>server</b> said & so");
        bool sawOne = false;
        const bool escaped = RunMessage(kMessageText, markup, [&](TMessageForm& form) {
            sawOne = form.OKButton->isVisible() && !form.CancelButton->isVisible();
            QCOMPARE(form.MessageLabel->text(), markup);
            QCOMPARE(form.MessageLabel->textFormat(), Qt::PlainText);
            QTest::keyClick(&form, Qt::Key_C, Qt::ControlModifier);
            QTest::keyClick(&form, Qt::Key_Escape);
        });
        QVERIFY(sawOne);
        QVERIFY(!escaped);
        QCOMPARE(QApplication::clipboard()->text(), markup);

        // Kind 3: both buttons side by side; OK gives true, Cancel and Escape false.
        const bool ok = RunMessage(kMessageQuestion, QStringLiteral("Delete?"), [](TMessageForm& form) {
            QVERIFY(form.CancelButton->isVisible());
            QCOMPARE(form.OKButton->x(), 227);
            QTest::mouseClick(form.OKButton, Qt::LeftButton);
        });
        QVERIFY(ok);
        QVERIFY(!RunMessage(kMessageQuestion, QStringLiteral("Delete?"), [](TMessageForm& form) {
            QTest::mouseClick(form.CancelButton, Qt::LeftButton);
        }));
        QVERIFY(RunMessage(kMessageQuestion, QStringLiteral("Delete?"),
                           [](TMessageForm& form) { QTest::keyClick(&form, Qt::Key_Return); }));
        QVERIFY(!RunMessage(kMessageQuestion, QStringLiteral("Delete?"), [](TMessageForm& form) {
            QTest::keyClick(form.OKButton, Qt::Key_Escape); // the window sees the key first
        }));
        // Ctrl+C in a question copies the empty text.
        RunMessage(kMessageQuestion, QStringLiteral("Question"), [](TMessageForm& form) {
            QTest::keyClick(&form, Qt::Key_C, Qt::ControlModifier);
            form.reject();
        });
        QCOMPARE(QApplication::clipboard()->text(), QString());
    }

    void MessageTextsLongAndEmpty() {
        test::ProgramFolder folder;
        const QString longText = QString(QStringLiteral("word ")).repeated(400);
        RunMessage(kMessageText, longText, [&](TMessageForm& form) {
            QVERIFY(form.MessageLabel->text().endsWith(QChar(0x2026)));
            QVERIFY(form.MessageLabel->text().size() < longText.size());
            QCOMPARE(form.MessageLabel->toolTip(), longText);
            QCOMPARE(form.height(), form.MessagePanel->height() + 51 + 14);
            form.accept();
        });
        RunMessage(kMessageText, QString(), [](TMessageForm& form) {
            QVERIFY(form.isVisible());
            QVERIFY(form.MessageLabel->text().isEmpty());
            form.accept();
        });
    }

    void CertificateQuestionShowsTheWholeFingerprintAndCannotBeSpoofed() {
        test::ProgramFolder folder;
        CertificateInfo info;
        info.host = "127.0.0.1";
        info.port = 2087;
        info.problem = "self-signed certificate";
        // A subject that tries to start lines of its own: a fake fingerprint, a fake question, a
        // right-to-left override; and long enough to fill any screen.
        info.subject = "CN=evil\xE2\x80\xA8SHA-256: 00:00:00:00\xE2\x80\xA9"
                       "Accept this certificate?\x1B" +
                       std::string(6000, 'O');
        info.issuer = "CN=\xE2\x80\xAEtsurt";
        info.notBefore = "2024-01-01 00:00:00 UTC";
        info.notAfter = "2034-01-01 00:00:00 UTC";
        for (int i = 0; i < 32; ++i)
            info.fingerprint +=
                (i ? ":" : "") + QStringLiteral("%1").arg(0xA0 + i, 2, 16).toUpper().toStdString();
        bool checked = false;
        const QString settingsFile = QDir(folder.Path()).filePath(QStringLiteral("ParlomarClient.ini"));
        OnModalMessage([&checked, settingsFile](TMessageForm& shown) {
            TMessageForm* form = &shown;
            QVERIFY(form->DetailsEdit);
            // The fingerprint and the question, always whole, below the details.
            QCOMPARE(form->MessageLabel->text(), QStringLiteral("SHA-256:\n"
                                                                "A0:A1:A2:A3:A4:A5:A6:A7\n"
                                                                "A8:A9:AA:AB:AC:AD:AE:AF\n"
                                                                "B0:B1:B2:B3:B4:B5:B6:B7\n"
                                                                "B8:B9:BA:BB:BC:BD:BE:BF\n"
                                                                "Accepting remembers this fingerprint for "
                                                                "127.0.0.1:2087 in the settings file ") +
                                                     settingsFile +
                                                     QStringLiteral("; a different certificate is asked "
                                                                    "about again.\n"
                                                                    "Accept this certificate?"));
            // The safe answer is the default: Cancel has the focus, and Enter declines.
            QCOMPARE(form->focusWidget(), form->CancelButton);
            const QRect label(form->MessageLabel->mapTo(form, QPoint(0, 0)), form->MessageLabel->size());
            QVERIFY(form->MessageLabel->isVisible() && form->rect().contains(label));
            QVERIFY(label.height() >= form->MessageLabel->heightForWidth(label.width()));
            QVERIFY(label.bottom() <= form->OKCancelPanel->y());
            QVERIFY(form->height() <= form->screen()->availableGeometry().height());
            // The details scroll; the server's texts stay on their own lines, non-printing
            // characters shown as replacement characters.
            QVERIFY(form->DetailsEdit->verticalScrollBar()->maximum() > 0);
            const QStringList lines = form->DetailsEdit->toPlainText().split(QLatin1Char('\n'));
            QCOMPARE(lines.size(), 5);
            QVERIFY(lines[2].startsWith(
                QStringLiteral("Subject: CN=evil\uFFFDSHA-256: 00:00:00:00\uFFFDAccept")));
            QVERIFY(lines[2].contains(QStringLiteral("certificate?\uFFFDOOO")));
            QCOMPARE(lines[3], QStringLiteral("Issuer: CN=\uFFFDtsurt"));
            QCOMPARE(lines[4], QStringLiteral("Valid: 2024-01-01 00:00:00 UTC to 2034-01-01 00:00:00 UTC"));
            QTest::mouseClick(form->OKButton, Qt::LeftButton);
            checked = true;
        });
        CertificateAsker asker;
        QVERIFY(asker.Ask(info));
        QVERIFY(checked);
        OnModalMessage([](TMessageForm& shown) {
            QTest::keyClick(shown.focusWidget() ? shown.focusWidget() : &shown, Qt::Key_Return);
        });
        QVERIFY(!asker.Ask(info));
    }

    void ServerTextsInHintsAndLookupsOffTheGuiThread() {
        test::ProgramFolder folder;
        // A hint holding markup shows it as text: no 2000-pixel picture.
        const QString markup = QStringLiteral("<img width=2000 height=10 src=x> refused");
        int width = 0;
        RunMessage(kMessageText, markup, [&width](TMessageForm& form) {
            width = test::ShownHintWidth(form.MessageLabel, QPoint(5, 5));
            form.accept();
        });
        QVERIFY(width > 0 && width < 1000);

        // The server information view opens while its name lookup still runs, and shows the host
        // name when it comes.
        SetServerInfoLookup(&SlowLookup);
        gLookupDone = false;
        bool checked = false;
        OnModalMessage([&checked](TMessageForm& shown) {
            TMessageForm* form = &shown;
            QVERIFY(!gLookupDone);
            QVERIFY(form->HostNameValLabel->text().isEmpty());
            QTRY_COMPARE_WITH_TIMEOUT(form->HostNameValLabel->text(), QStringLiteral("slow.example"), 10000);
            QVERIFY(form->windowTitle().startsWith(QStringLiteral("slow.example - ")));
            QCOMPARE(form->ServerInfoText().split(QLatin1Char('\n'))[2],
                     QStringLiteral("Hostname: slow.example"));
            form->accept();
            checked = true;
        });
        ShowServerInformation(nullptr, "", 0, false, ServerSession::Make({"127.0.0.1", 1, "root", ""}));
        SetServerInfoLookup(nullptr);
        QVERIFY(checked);
        QVERIFY(!gLookupOnGuiThread);
    }

    void AboutWindowShowsVersionAndCopiesItsText() {
        test::ProgramFolder folder;
        VersionText = "1.0.0.1 ";
        TAboutForm about;
        QTimer::singleShot(0, &about, [&about] {
            QTest::keyClick(&about, Qt::Key_Escape); // no effect: only OK closes
            QVERIFY(about.isVisible());
            QTest::keyClick(&about, Qt::Key_C, Qt::ControlModifier);
            QTest::mouseClick(about.OKButton, Qt::LeftButton);
        });
        about.ShowModal();
        QCOMPARE(about.VersionValueLabel->text(), QStringLiteral("1.0.0.1 "));
        QVERIFY(!about.ReleaseValueLabel->text().isEmpty());
        QVERIFY(about.windowTitle().endsWith(QString::fromUtf8(kMakerCredit)));
        const QStringList lines = QApplication::clipboard()->text().split(QChar(10));
        QCOMPARE(lines.size(), 6);
        QCOMPARE(lines[0], QStringLiteral("Parlomar Client for Windows"));
        QCOMPARE(lines[1], QStringLiteral("version: 1.0.0.1 "));
        QVERIFY(lines[2].startsWith(QStringLiteral("release: ")));
        QCOMPARE(lines[3], QStringLiteral("support: ") + about.URLLabel1->text());
        QCOMPARE(about.LinkTarget(about.Label3), QStringLiteral("mailto:") + about.Label3->text());
        // Only web and mail addresses are ever opened.
        QVERIFY(!OpenLink(QStringLiteral("file:///etc/passwd")));
        QVERIFY(!OpenLink(QStringLiteral("javascript:alert(1)")));
    }
};

static parlomar::test::RegisterTest<InfoWindowsTest> registerInfoWindowsTest;
#include "InfoWindowsTest.moc"
