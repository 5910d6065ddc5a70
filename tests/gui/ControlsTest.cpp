// The skinned controls: sizing, glyphs, the three-state cycle, the embedded edit button.

#include "TestRegistry.h"
#include "skins/BitCheckBox.h"
#include "skins/ButtonEdit.h"
#include "skins/SkinButton.h"

#include <QSignalSpy>
#include <QTest>

using namespace parlomar;

class ControlsTest : public QObject {
    Q_OBJECT
private slots:
    void SkinButtonSizesToCaptionAndKeepsCaptionInside() {
        TSkinButton button(QStringLiteral("Cancel"));
        QFont font = button.font();
        font.setPointSize(8);
        button.setFont(font);
        const QSize size = button.sizeHint();
        QVERIFY(size.width() >= 75 && size.height() >= 25);

        // A long caption widens the button beyond MinWidth.
        button.setText(QString(40, QLatin1Char('W')));
        QVERIFY(button.sizeHint().width() > 75);

        // A large negative offset never puts the caption left of x = 2.
        button.setText(QStringLiteral("OK"));
        button.XOffset = -50;
        QCOMPARE(button.CaptionPosition(30, 25).x(), 2);
        button.XOffset = 0;
        QVERIFY(button.CaptionPosition(200, 25).x() > 2);
    }

    void SkinButtonReportsOneClickPerPress() {
        TSkinButton button(QStringLiteral("Sign in"));
        button.resize(80, 25);
        button.show();
        QSignalSpy clicks(&button, &QPushButton::clicked);
        QTest::mouseClick(&button, Qt::LeftButton);
        QCOMPARE(clicks.count(), 1);
        button.setFocus();
        QTest::keyClick(&button, Qt::Key_Space);
        QCOMPARE(clicks.count(), 2);
    }

    void BitCheckBoxGlyphsAndCycle() {
        TBitCheckBox box(QStringLiteral("remember"));
        QVERIFY(!box.HasGlyphs());

        QPixmap twin(32, 16);
        twin.fill(Qt::red);
        box.SetCheckedGlyph(twin);
        QCOMPARE(box.CheckedNumGlyphs(), 2);
        box.SetChecked(true);
        QCOMPARE(box.GlyphSourceRect(), QRect(0, 0, 16, 16));
        box.setEnabled(false);
        QCOMPARE(box.GlyphSourceRect(), QRect(16, 0, 16, 16)); // the right half while disabled
        box.setEnabled(true);

        QPixmap wide(64, 16); // four glyphs wide: the count is limited to 2
        wide.fill(Qt::blue);
        box.SetUncheckedGlyph(wide);
        QCOMPARE(box.UncheckedNumGlyphs(), 2);

        box.SetChecked(false);
        box.SetAllowGrayed(true);
        box.show();
        QList<Qt::CheckState> states;
        for (int i = 0; i < 3; ++i) {
            QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(5, box.height() / 2));
            states << box.checkState();
        }
        QCOMPARE(states, (QList<Qt::CheckState>{Qt::PartiallyChecked, Qt::Checked, Qt::Unchecked}));
        QVERIFY(!box.Checked());
    }

    void ButtonEditMarginAndButtonPresses() {
        TButtonEdit edit;
        edit.resize(150, 22);
        edit.show();
        QSignalSpy presses(&edit, &TButtonEdit::OnClickButton);
        QCOMPARE(edit.textMargins().right(), 20);
        QTest::mouseClick(&edit, Qt::LeftButton, {}, QPoint(145, 10));
        QCOMPARE(presses.count(), 1);
        QCOMPARE(edit.ButtonState(), 2);

        edit.SetButtonVisible(false);
        QCOMPARE(edit.textMargins().right(), 0);
        QTest::mouseClick(&edit, Qt::LeftButton, {}, QPoint(145, 10));
        QCOMPARE(presses.count(), 1);

        edit.SetButtonCaption(QStringLiteral("ignored"));
        QVERIFY(edit.ButtonCaption().isEmpty());
    }
};

static parlomar::test::RegisterTest<ControlsTest> registerControlsTest;
#include "ControlsTest.moc"
