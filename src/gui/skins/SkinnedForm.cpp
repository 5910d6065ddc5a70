#include "skins/SkinnedForm.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

namespace parlomar {

TSkinnedForm::TSkinnedForm(const QString& formName, QWidget* parent) : QDialog(parent) {
    setObjectName(formName);
    setSizeGripEnabled(false);
    QFont arial(QStringLiteral("Arial"));
    arial.setPixelSize(12);
    setFont(arial);
}

void TSkinnedForm::SetSkinFrame(const QPixmap& titlePicture, bool frameOn) {
    frameOn_ = frameOn;
    titlePicture_ = titlePicture;
    setWindowFlag(Qt::FramelessWindowHint, frameOn);
}

void TSkinnedForm::MoveWindowOnPress(QWidget* control) {
    control->setProperty("MovesWindow", true);
    control->installEventFilter(this);
}

void TSkinnedForm::SetStayOnTop(bool onTop) {
    if (isVisible() && windowHandle()) {
        // Changing a shown window's flags through the widget hides it, and hiding a modal dialog
        // ends it: the window system is told through the window itself instead.
        const Qt::WindowFlags flags = windowFlags().setFlag(Qt::WindowStaysOnTopHint, onTop);
        overrideWindowFlags(flags);
        windowHandle()->setFlags(flags);
        return;
    }
    setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
}

int TSkinnedForm::ShowModal() {
    return exec();
}

bool TSkinnedForm::FormKeyDown(QKeyEvent*) {
    return false;
}

bool TSkinnedForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress && watched->property("MovesWindow").toBool()) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && windowHandle()) {
            windowHandle()->startSystemMove();
            return true;
        }
    }
    if (event->type() == QEvent::KeyPress && previewing_) {
        auto* widget = qobject_cast<QWidget*>(watched);
        // Application filters see the event once per widget it travels through; the first one
        // inside this window is where the window previews it.
        if (widget && widget->window() == this && widget == QApplication::focusWidget()) {
            if (FormKeyDown(static_cast<QKeyEvent*>(event)))
                return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TSkinnedForm::keyPressEvent(QKeyEvent* event) {
    if (QApplication::focusWidget() == nullptr || QApplication::focusWidget() == this) {
        if (FormKeyDown(event))
            return;
    }
    if (event->key() == Qt::Key_Escape && !escapeCloses_) {
        event->ignore();
        return;
    }
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && event->modifiers() == 0) {
        event->ignore(); // no default button: Enter goes where each window sends it
        return;
    }
    QDialog::keyPressEvent(event);
}

void TSkinnedForm::showEvent(QShowEvent* event) {
    if (!previewing_) {
        qApp->installEventFilter(this);
        previewing_ = true;
    }
    QDialog::showEvent(event);
}

void TSkinnedForm::hideEvent(QHideEvent* event) {
    if (previewing_) {
        qApp->removeEventFilter(this);
        previewing_ = false;
    }
    QDialog::hideEvent(event);
}

void TSkinnedForm::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    if (!frameOn_)
        return;
    // The caption strip of a skinned window: the title picture stretched, then the title.
    QPainter painter(this);
    const QRect strip(0, 0, width(), 24);
    if (!titlePicture_.isNull())
        painter.drawPixmap(strip, titlePicture_);
    painter.setPen(Qt::white);
    painter.drawText(strip.adjusted(30, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, windowTitle());
}

} // namespace parlomar
