#include "skins/BitCheckBox.h"

#include <QBitmap>
#include <QPainter>

#include <algorithm>

namespace parlomar {

TBitCheckBox::TBitCheckBox(QWidget* parent) : TBitCheckBox(QString(), parent) {}

TBitCheckBox::TBitCheckBox(const QString& caption, QWidget* parent) : QCheckBox(caption, parent) {
    resize(97, 17);
}

void TBitCheckBox::SetGlyph(QPixmap& slot, int& count, const QPixmap& glyph) {
    slot = glyph;
    if (!glyph.isNull() && glyph.height() > 0 && glyph.width() % glyph.height() == 0)
        count = std::clamp(glyph.width() / glyph.height(), 1, 2);
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

void TBitCheckBox::paintEvent(QPaintEvent* event) {
    if (!HasGlyphs()) {
        QCheckBox::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(backgroundRole()));
    int count = 1;
    const QPixmap& picture = StatePicture(&count);
    const QRect source = GlyphSourceRect();
    int textLeft = 1;
    if (!picture.isNull()) {
        QPixmap glyph = picture.copy(source);
        const QImage image = glyph.toImage();
        glyph.setMask(QBitmap::fromImage(image.createMaskFromColor(image.pixel(0, image.height() - 1))));
        const int y = (height() - glyph.height()) / 2;
        painter.drawPixmap(layoutDirection() == Qt::LeftToRight ? 0 : width() - glyph.width(), y, glyph);
        if (layoutDirection() == Qt::LeftToRight)
            textLeft = glyph.width() + 4;
    }
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    const QRect textRect(textLeft, 0, width() - textLeft, height());
    painter.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextShowMnemonic | Qt::TextSingleLine,
                     text());
    if (hasFocus()) {
        const QFontMetrics metrics(font());
        QRect focus(textLeft, (height() - metrics.height()) / 2 - 2, metrics.horizontalAdvance(text()),
                    metrics.height() + 3);
        painter.setPen(QPen(palette().color(QPalette::WindowText), 1, Qt::DotLine));
        painter.drawRect(focus.intersected(rect()));
    }
}

} // namespace parlomar
