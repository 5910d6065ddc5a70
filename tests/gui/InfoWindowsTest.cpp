// The message window (kinds 2 and 3) and the about window.

#include "GuiTestSupport.h"
#include "TestRegistry.h"
#include "info/AboutUnit.h"
#include "info/MessageUnit.h"
#include "settings/Localization.h"
#include "skins/Controls.h"
#include "skins/SkinButton.h"

#include <QApplication>
#include <QClipboard>
#include <QTest>
#include <QTimer>

using namespace parlomar;

namespace {
// Runs the window modally and acts on it once it shows; returns its MessageResult.
bool RunMessage(int kind, const QString& text, const std::function<void(TMessageForm&)>& act) {
    TMessageForm form;
    form.MessageKind = kind;
    form.MessageText = text;
    QTimer::singleShot(0, &form, [&form, act] { act(form); });
    form.ShowModal();
    return form.MessageResult;
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
