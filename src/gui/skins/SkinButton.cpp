#include "gui/skins/SkinButton.h"

#include "gui/skins/FocusFrame.h"

#include <QApplication>
#include <QBitmap>
#include <QLayout>
#include <QPainter>
#include <QStyle>

namespace parlomar {

namespace {
const QColor kGrey(0x80, 0x80, 0x80);

void DrawTransparent(QPainter& painter, const QRect& target, const QPixmap& picture) {
    // A state picture's transparent colour is its top-left pixel.
    QPixmap copy = picture;
    const QImage image = picture.toImage();
    if (!image.isNull())
        copy.setMask(QBitmap::fromImage(image.createMaskFromColor(image.pixel(0, 0))));
    painter.drawPixmap(target, copy);
}
} // namespace

TSkinButton::TSkinButton(QWidget* parent) : TSkinButton(QString(), parent) {}

TSkinButton::TSkinButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
    BackgroundColor = QApplication::palette().color(QPalette::Button);
    setAutoDefault(false);
    setAttribute(Qt::WA_Hover);
    setProperty(kOwnFocusFrame, true); // while FocusRectColor is a colour
}

const QPixmap& TSkinButton::CurrentPicture() const {
    if (!isEnabled() && !SkinDisabled.isNull())
        return SkinDisabled;
    if (isDown() && !SkinPushed.isNull())
        return SkinPushed;
    if (inside_ && !SkinOver.isNull())
        return SkinOver;
    return SkinNormal;
}

QSize TSkinButton::sizeHint() const {
    const QPixmap& picture = CurrentPicture();
    QSize textSize(0, 0);
    if (!text().isEmpty()) {
        const QFontMetrics metrics(font());
        textSize = QSize(metrics.horizontalAdvance(text()) + XOffset + 25, metrics.height() + 10);
    }
    return QSize(std::max({picture.width(), textSize.width(), MinWidth}),
                 std::max({picture.height(), textSize.height(), MinHeight}));
}

QSize TSkinButton::minimumSizeHint() const {
    return sizeHint();
}

QPoint TSkinButton::CaptionPosition(int width, int height) const {
    const QFontMetrics metrics(font());
    int x = width / 2 - metrics.horizontalAdvance(text()) / 2 + XOffset;
    int y = height / 2 - metrics.height() / 2;
    x = std::max(x, 2);
    if (isDown() && isEnabled()) {
        ++x;
        ++y;
    }
    return QPoint(x, y);
}

void TSkinButton::FitToCaption() {
    // A button placed by hand grows to what its caption and picture need (a longer caption from the
    // language file, a larger font); one in a layout is sized by the layout from sizeHint.
    if (parentWidget() && parentWidget()->layout())
        return;
    const QSize needed = sizeHint();
    if (needed.width() > width() || needed.height() > height())
        resize(std::max(width(), needed.width()), std::max(height(), needed.height()));
}

bool TSkinButton::event(QEvent* event) {
    if (event->type() == QEvent::FontChange)
        FitToCaption();
    return QPushButton::event(event);
}

void TSkinButton::paintEvent(QPaintEvent*) {
    FitToCaption(); // a caption set since the last paint
    QPainter painter(this);
    const int w = width();
    const int h = height();
    const QRect r(0, 0, w, h);
    painter.fillRect(r, BackgroundColor);
    auto line = [&painter](const QColor& colour, std::initializer_list<QPoint> points) {
        painter.setPen(colour);
        const QPoint* previous = nullptr;
        for (const QPoint& point : points) {
            if (previous)
                painter.drawLine(*previous, point);
            previous = &point;
        }
    };
    if (!isEnabled()) {
        if (!SkinDisabled.isNull())
            DrawTransparent(painter, r, SkinDisabled);
        else {
            line(Qt::white, {{0, 0}, {w, 0}, {w, h}, {0, h}, {0, 0}});
            line(kGrey, {{w - 2, 1}, {w - 2, h - 2}, {1, h - 2}});
            line(Qt::black, {{w - 2, 1}, {1, 1}, {1, h - 2}});
        }
    } else if (isDown()) {
        if (!SkinPushed.isNull())
            DrawTransparent(painter, r, SkinPushed);
        else {
            painter.setBrush(BackgroundColor);
            painter.setPen(Qt::black);
            painter.drawRect(0, 0, w - 1, h - 1);
            painter.setPen(kGrey);
            painter.drawRect(1, 1, w - 3, h - 3);
        }
    } else if (inside_ && !SkinOver.isNull()) {
        DrawTransparent(painter, r, SkinOver);
    } else if (!SkinNormal.isNull()) {
        DrawTransparent(painter, r, SkinNormal);
    } else {
        line(Qt::white, {{w - 1, 0}, {0, 0}, {0, h - 1}});
        line(Qt::black, {{0, h - 1}, {w - 1, h - 1}, {w - 1, -1}});
        line(kGrey, {{1, h - 2}, {w - 2, h - 2}, {w - 2, 0}});
    }
    if (!text().isEmpty()) {
        painter.setClipRect(r.adjusted(5, 5, -5, -5));
        painter.setPen(isEnabled() ? palette().color(QPalette::ButtonText)
                                   : palette().color(QPalette::Disabled, QPalette::ButtonText));
        const QPoint at = CaptionPosition(w, h);
        const QFontMetrics metrics(font());
        painter.drawText(QRect(at.x(), at.y(), metrics.horizontalAdvance(text()) + 1, metrics.height()),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextShowMnemonic, text());
        painter.setClipping(false);
    }
    if (hasFocus() && FocusRectColor.isValid()) {
        // Dots of the focus colour over a line of its opposite, so the frame shows on any face.
        const QRect frame = r.adjusted(4, 4, -5, -5);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(FocusRectColor.lightness() < 128 ? QColor(Qt::white) : QColor(Qt::black), 1));
        painter.drawRect(frame);
        painter.setPen(QPen(FocusRectColor, 1, Qt::DotLine));
        painter.drawRect(frame);
    }
}

void TSkinButton::enterEvent(QEnterEvent* event) {
    inside_ = true;
    update();
    emit OnMouseEnter();
    QPushButton::enterEvent(event);
}

void TSkinButton::leaveEvent(QEvent* event) {
    inside_ = false;
    update();
    emit OnMouseLeave();
    QPushButton::leaveEvent(event);
}

} // namespace parlomar
