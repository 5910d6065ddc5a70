#include "gui/skins/BitCheckBox.h"

#include "gui/skins/Controls.h"
#include "gui/skins/FocusFrame.h"

#include <QBitmap>
#include <QHelpEvent>
#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QToolTip>

#include <algorithm>

namespace parlomar {

namespace {

constexpr int kCaptionFlags = Qt::AlignVCenter | Qt::AlignLeft | Qt::TextShowMnemonic | Qt::TextSingleLine;

// A disabled caption is engraved: first one pixel right and down in the highlight colour, then in
// the grey of disabled text.
void DrawDisabledCaption(QPainter& painter, const QRect& rect, const QString& text) {
    painter.setPen(QColor(Qt::white));
    painter.drawText(rect.translated(1, 1), kCaptionFlags, text);
    painter.setPen(QColor(0x80, 0x80, 0x80));
    painter.drawText(rect, kCaptionFlags, text);
}

} // namespace

TBitCheckBox::TBitCheckBox(QWidget* parent) : TBitCheckBox(QString(), parent) {}

TBitCheckBox::TBitCheckBox(const QString& caption, QWidget* parent) : QCheckBox(caption, parent) {
    setProperty(kOwnFocusFrame, true);
    resize(97, 17);
}

void TBitCheckBox::SetGlyph(QPixmap& slot, int& count, const QPixmap& glyph) {
    slot = glyph;
    if (!glyph.isNull() && glyph.height() > 0 && glyph.width() % glyph.height() == 0)
        count = std::clamp(glyph.width() / glyph.height(), 1, 2);
    update();
}

void TBitCheckBox::SetGlyphCounts(int count) {
    checkedNum_ = uncheckedNum_ = grayedNum_ = std::clamp(count, 1, 2);
    update();
}

const QPixmap& TBitCheckBox::StatePicture(int* count) const {
    switch (checkState()) {
    case Qt::Checked:
        *count = checkedNum_;
        return checked_;
    case Qt::PartiallyChecked:
        *count = grayedNum_;
        return grayed_;
    default:
        *count = uncheckedNum_;
        return unchecked_;
    }
}

QRect TBitCheckBox::GlyphSourceRect() const {
    int count = 1;
    const QPixmap& picture = StatePicture(&count);
    if (picture.isNull())
        return {};
    const int glyphWidth = picture.width() / count;
    const int index = (!isEnabled() && count == 2) ? 1 : 0;
    return QRect(index * glyphWidth, 0, glyphWidth, picture.height());
}

QRect TBitCheckBox::TextRect() const {
    if (!HasGlyphs()) {
        QStyleOptionButton option;
        initStyleOption(&option);
        return style()->subElementRect(QStyle::SE_CheckBoxContents, &option, this);
    }
    int count = 1;
    const QPixmap& picture = StatePicture(&count);
    int textLeft = 1;
    if (!picture.isNull() && layoutDirection() == Qt::LeftToRight)
        textLeft = GlyphSourceRect().width() + 4;
    return QRect(textLeft, 0, width() - textLeft, height());
}

int TBitCheckBox::CaptionRoom() const {
    // The style's contents rectangle keeps a little room of its own after the text.
    return TextRect().width() - (HasGlyphs() ? 0 : 2);
}

QString TBitCheckBox::ShownText() const {
    return ElideCaption(text(), fontMetrics(), CaptionRoom());
}

int TBitCheckBox::WholeWidth() const {
    return width() - CaptionRoom() + fontMetrics().horizontalAdvance(text());
}

QString TBitCheckBox::HintText() const {
    if (!toolTip().isEmpty())
        return toolTip();
    return Elided() ? text() : QString();
}

bool TBitCheckBox::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip && toolTip().isEmpty() && Elided()) {
        QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), PlainHintText(text()), this);
        return true;
    }
    return QCheckBox::event(event);
}

void TBitCheckBox::paintEvent(QPaintEvent*) {
    const QString shown = ShownText();
    if (!HasGlyphs()) {
        // The style's box and caption; the focus frame is the box's own (the style's is faint).
        QStylePainter painter(this);
        QStyleOptionButton option;
        initStyleOption(&option);
        option.state &= ~QStyle::State_HasFocus;
        option.text = isEnabled() ? shown : QString();
        painter.drawControl(QStyle::CE_CheckBox, option);
        if (!isEnabled())
            DrawDisabledCaption(painter, TextRect(), shown);
        DrawFocusFrame(painter, TextRect().left(), shown);
        return;
    }
    QPainter painter(this); // the control's own colour, when it has one, is filled in already
    int count = 1;
    const QPixmap& picture = StatePicture(&count);
    const QRect source = GlyphSourceRect();
    if (!picture.isNull()) {
        QPixmap glyph = picture.copy(source);
        const QImage image = glyph.toImage();
        glyph.setMask(QBitmap::fromImage(image.createMaskFromColor(image.pixel(0, image.height() - 1))));
        const int y = (height() - glyph.height()) / 2;
        painter.drawPixmap(layoutDirection() == Qt::LeftToRight ? 0 : width() - glyph.width(), y, glyph);
    }
    const QRect textRect = TextRect();
    const int textLeft = textRect.left();
    if (isEnabled()) {
        painter.setPen(palette().color(QPalette::Active, QPalette::WindowText));
        painter.drawText(textRect, kCaptionFlags, shown);
    } else {
        DrawDisabledCaption(painter, textRect, shown);
    }
    DrawFocusFrame(painter, textLeft, shown);
}

void TBitCheckBox::DrawFocusFrame(QPainter& painter, int textLeft, const QString& shown) const {
    if (!hasFocus())
        return;
    const QFontMetrics metrics(font());
    const QRect focus(textLeft, (height() - metrics.height()) / 2 - 2, metrics.horizontalAdvance(shown),
                      metrics.height() + 3);
    painter.setPen(QPen(palette().color(QPalette::WindowText), 1, Qt::DotLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(focus.intersected(rect()));
}

} // namespace parlomar
