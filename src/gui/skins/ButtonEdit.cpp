#include "gui/skins/ButtonEdit.h"

#include "gui/skins/Controls.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>

namespace parlomar {

TButtonEdit::TButtonEdit(QWidget* parent) : QLineEdit(parent) {
    BackgroundColor = QApplication::palette().color(QPalette::Button);
    setMouseTracking(true);
    UpdateButton();
}

int TButtonEdit::ButtonAreaWidth() const {
    if (!buttonVisible_)
        return 0;
    const QPixmap& shown = state_ == 2 && !ButtonPushed.isNull() ? ButtonPushed
                           : state_ == 1 && !ButtonOver.isNull() ? ButtonOver
                                                                 : ButtonNormal;
    return shown.isNull() ? ButtonWidth : PictureSize(shown).width();
}

void TButtonEdit::SetButtonVisible(bool visible) {
    buttonVisible_ = visible;
    UpdateButton();
}

void TButtonEdit::UpdateButton() {
    setTextMargins(0, 0, ButtonAreaWidth(), 0);
    update();
}

void TButtonEdit::paintEvent(QPaintEvent* event) {
    QLineEdit::paintEvent(event);
    QPainter painter(this);
    // The frame: an inner line in the field's colour inside the outer line in BorderColor.
    painter.setPen(palette().color(QPalette::Base));
    painter.drawRect(rect().adjusted(1, 1, -2, -2));
    painter.setPen(BorderColor);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    if (!buttonVisible_)
        return;
    const int w = ButtonAreaWidth();
    const QRect button(width() - w, 0, w, height());
    const QPixmap& shown = state_ == 2 && !ButtonPushed.isNull() ? ButtonPushed
                           : state_ == 1 && !ButtonOver.isNull() ? ButtonOver
                                                                 : ButtonNormal;
    if (shown.isNull())
        return; // no picture: the margin stays free, nothing is drawn over the frame
    painter.fillRect(button.adjusted(0, 1, -1, -1), BackgroundColor);
    painter.drawPixmap(button, WithTransparentCorner(shown)); // see-through by its top-left pixel
}

bool TButtonEdit::event(QEvent* event) {
    const bool handled = QLineEdit::event(event);
    // A read-only edit shows the pointer as it is, not the text cursor of an edit taking input.
    if (event->type() == QEvent::ReadOnlyChange || event->type() == QEvent::Polish) {
        if (isReadOnly())
            setCursor(Qt::ArrowCursor);
        else
            setCursor(Qt::IBeamCursor);
    }
    return handled;
}

void TButtonEdit::resizeEvent(QResizeEvent* event) {
    QLineEdit::resizeEvent(event);
    UpdateButton();
}

void TButtonEdit::mousePressEvent(QMouseEvent* event) {
    const int x = static_cast<int>(event->position().x());
    if (buttonVisible_ && event->button() == Qt::LeftButton && x >= width() - ButtonAreaWidth()) {
        emit OnClickButton();
        state_ = 2;
        update();
        return;
    }
    QLineEdit::mousePressEvent(event);
}

void TButtonEdit::mouseMoveEvent(QMouseEvent* event) {
    const int x = static_cast<int>(event->position().x());
    const bool over = buttonVisible_ && x >= width() - ButtonAreaWidth();
    if (over && !ButtonOver.isNull() && state_ != 1) {
        state_ = 1;
        update();
    } else if (!over && state_ != 0) {
        state_ = 0;
        update();
    }
    QLineEdit::mouseMoveEvent(event);
}

void TButtonEdit::leaveEvent(QEvent* event) {
    state_ = 0;
    update();
    QLineEdit::leaveEvent(event);
}

} // namespace parlomar
