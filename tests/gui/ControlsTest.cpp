// The skinned controls: sizing, glyphs, the three-state cycle, the embedded edit button.

#include "TestRegistry.h"
#include "gui/skins/BitCheckBox.h"
#include "gui/skins/ButtonEdit.h"
#include "gui/skins/SkinButton.h"

#include <QPainter>
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

    // What the controls draw: the edit's two frame lines and its see-through button picture, the
    // pointer of a read-only edit, a button grown to a caption set later, a disabled caption engraved.
    void ControlsDrawAsDesigned() {
        TButtonEdit edit;
        edit.resize(150, 22);
        QPalette palette = edit.palette();
        palette.setColor(QPalette::Base, QColor(0x20, 0x40, 0x60));
        edit.setPalette(palette);
        edit.BackgroundColor = QColor(0x00, 0xA0, 0x00);
        QPixmap picture(20, 20);
        picture.fill(QColor(0xFF, 0x00, 0xFF)); // the see-through colour, at the top-left pixel
        {
            QPainter painter(&picture);
            painter.fillRect(8, 8, 4, 4, Qt::red);
        }
        edit.ButtonNormal = picture;
        edit.UpdateButton();
        edit.show();
        const QImage shot = edit.grab().toImage();
        QCOMPARE(shot.pixelColor(0, 11), QColor(0x7F, 0x9D, 0xB9));       // outer line: BorderColor
        QCOMPARE(shot.pixelColor(1, 11), QColor(0x20, 0x40, 0x60));       // inner line: the field colour
        QCOMPARE(shot.pixelColor(150 - 18, 4), QColor(0x00, 0xA0, 0x00)); // behind the picture
        QCOMPARE(shot.pixelColor(150 - 10, 11), QColor(Qt::red));
        QCOMPARE(edit.cursor().shape(), Qt::IBeamCursor);
        edit.setReadOnly(true);
        QCOMPARE(edit.cursor().shape(), Qt::ArrowCursor);

        QWidget holder;
        holder.resize(400, 60);
        auto* button = new TSkinButton(QStringLiteral("OK"), &holder);
        button->setGeometry(10, 10, 75, 25);
        holder.show();
        QVERIFY(QTest::qWaitForWindowExposed(&holder));
        const QString caption = QStringLiteral("A caption from the language file");
        button->setText(caption);
        QTRY_VERIFY(button->width() >= button->fontMetrics().horizontalAdvance(caption) + 25);
        QCOMPARE(button->x(), 10);

        TBitCheckBox box(QStringLiteral("WWWW"));
        box.resize(120, 20);
        palette = box.palette();
        palette.setColor(QPalette::Window, QColor(0x30, 0x30, 0x30));
        box.setPalette(palette);
        box.setAutoFillBackground(true);
        QFont font = box.font();
        font.setPointSize(14);
        box.setFont(font);
        for (const QPixmap& glyph : {QPixmap(), picture}) {
            box.SetUncheckedGlyph(glyph);
            box.setEnabled(false);
            const QImage image = box.grab().toImage();
            bool highlight = false, grey = false;
            for (int y = 0; y < image.height(); ++y)
                for (int x = image.width() / 4; x < image.width(); ++x) {
                    highlight = highlight || image.pixelColor(x, y) == QColor(Qt::white);
                    grey = grey || image.pixelColor(x, y) == QColor(0x80, 0x80, 0x80);
                }
            QVERIFY2(highlight && grey, glyph.isNull() ? "platform box" : "glyph box");
        }
    }
};

static parlomar::test::RegisterTest<ControlsTest> registerControlsTest;
#include "ControlsTest.moc"
