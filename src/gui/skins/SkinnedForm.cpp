#include "gui/skins/SkinnedForm.h"

#include "gui/skins/Controls.h"
#include "gui/skins/FocusFrame.h"
#include "gui/skins/Skins.h"

#include <QApplication>
#include <QBitmap>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QWindow>

namespace parlomar {

namespace {

struct FramePictures {
    QPixmap title;
    QList<QPixmap> closeButtons;
};

FramePictures& Frame() {
    static FramePictures pictures;
    return pictures;
}

constexpr int kEdgeGrip = 4; // pixels inside the window edge that resize a sizeable window

// The frame's border: the colour at the bottom of the title picture, so strip and border match.
QColor BorderColour() {
    const QPixmap& title = Frame().title;
    if (title.isNull())
        return QColor(0x3B, 0x4A, 0x56);
    return title.toImage().pixelColor(0, title.height() - 1);
}

void DrawCloseGlyph(QPainter& painter, const QRect& r, int state) {
    if (state > 0)
        painter.fillRect(r, QColor(255, 255, 255, state == 2 ? 90 : 50));
    painter.setPen(QPen(Qt::white, 1.5));
    painter.setRenderHint(QPainter::Antialiasing);
    const QRect x = r.adjusted(r.width() / 4, r.height() / 4, -r.width() / 4, -r.height() / 4);
    painter.drawLine(x.topLeft(), x.bottomRight() + QPoint(1, 1));
    painter.drawLine(x.topRight() + QPoint(1, 0), x.bottomLeft() + QPoint(0, 1));
    painter.setRenderHint(QPainter::Antialiasing, false);
}

} // namespace

void SetSkinFramePictures(const QPixmap& title, const QList<QPixmap>& closeButtons) {
    Frame().title = title;
    Frame().closeButtons = closeButtons;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* form = qobject_cast<TSkinnedForm*>(window); form && form->SkinFrameOn())
            form->update(form->CaptionRect());
}

TSkinnedForm::TSkinnedForm(const QString& formName, QWidget* parent) : QDialog(parent) {
    setObjectName(formName);
    setSizeGripEnabled(false);
    QFont arial(QStringLiteral("Arial"));
    arial.setPixelSize(12);
    setFont(arial);
    frameOn_ = SkinActive(); // the frame a window is created with
    WatchFocusFrames();
}

void TSkinnedForm::SetDesignedTransparentColor(bool on, const QColor& value) {
    DesignedTransparentColor = TransparentColor = on;
    DesignedTransparentColorValue = TransparentColorValue = value;
}

void TSkinnedForm::SetSkinFrame(bool frameOn) {
    frameOn_ = frameOn;
    if (isVisible() && frameOn_ != frameApplied_)
        ApplyFrame();
}

void TSkinnedForm::setVisible(bool visible) {
    if (visible && frameOn_ != frameApplied_)
        ApplyFrame();
    if (visible && frameApplied_ && clientArea_ && size() != framedSize_) {
        clientSize_ = size(); // the window's code set the size of its client area meanwhile
        FitFramedSize();
    }
    QDialog::setVisible(visible);
}

void TSkinnedForm::ApplyFrame() {
    const bool visible = isVisible();
    frameApplied_ = frameOn_;
    setWindowFlag(Qt::FramelessWindowHint, frameOn_); // hides a shown window
    setMouseTracking(frameOn_);
    const QMargins frame(kBorderWidth, kCaptionHeight, kBorderWidth, kBorderWidth);
    if (layout()) {
        if (frameOn_) {
            layoutMargins_ = layout()->contentsMargins();
            layout()->setContentsMargins(layoutMargins_ + frame);
        } else {
            layout()->setContentsMargins(layoutMargins_);
        }
    } else {
        // Controls placed by coordinates move onto (or back from) a client area below the strip.
        QWidget* from = frameOn_ ? this : clientArea_;
        if (frameOn_ && !clientArea_) {
            clientSize_ = size();
            clientArea_ = new QWidget(this);
            clientArea_->setObjectName(QStringLiteral("SkinClientArea"));
            from = this;
        }
        QWidget* to = frameOn_ ? clientArea_ : this;
        if (from && to) {
            const QObjectList children = from->children();
            for (QObject* child : children) {
                auto* widget = qobject_cast<QWidget*>(child);
                if (!widget || widget == clientArea_ || widget->isWindow())
                    continue;
                // A control hidden on purpose stays hidden; the others show with their new parent.
                const QRect geometry = widget->geometry();
                widget->setParent(to);
                widget->setGeometry(geometry);
            }
        }
        if (frameOn_) {
            clientArea_->show();
            FitFramedSize();
        } else if (clientArea_) {
            delete clientArea_;
            clientArea_ = nullptr;
            fitting_ = true;
            if (minimumSize() == maximumSize())
                setFixedSize(clientSize_);
            else
                resize(clientSize_);
            fitting_ = false;
        }
    }
    if (visible)
        show();
}

void TSkinnedForm::SetFixedClientSize(const QSize& size) {
    if (!frameApplied_ || !clientArea_) {
        setFixedSize(size);
        return;
    }
    setFixedSize(framedSize_); // FitFramedSize keeps a fixed window fixed
    clientSize_ = size;
    FitFramedSize();
}

void TSkinnedForm::FitFramedSize() {
    framedSize_ = clientSize_ + QSize(2 * kBorderWidth, kCaptionHeight + kBorderWidth);
    fitting_ = true;
    if (minimumSize() == maximumSize())
        setFixedSize(framedSize_);
    else
        resize(framedSize_);
    fitting_ = false;
    clientArea_->setGeometry(kBorderWidth, kCaptionHeight, clientSize_.width(), clientSize_.height());
}

void TSkinnedForm::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (frameApplied_ && clientArea_ && !fitting_ && size() != framedSize_) {
        clientSize_ = size();
        FitFramedSize();
    }
}

QRect TSkinnedForm::CaptionRect() const {
    return frameApplied_ ? QRect(0, 0, width(), kCaptionHeight) : QRect();
}

QRect TSkinnedForm::CloseButtonRect() const {
    if (!frameApplied_)
        return {};
    const QPixmap image = Frame().closeButtons.value(0);
    const QSize size = image.isNull() ? QSize(16, 16) : image.size();
    return QRect(width() - 5 - kBorderWidth - size.width(), (kCaptionHeight - size.height()) / 2,
                 size.width(), size.height());
}

int TSkinnedForm::CloseButtonState() const {
    const QRect button = CloseButtonRect();
    if (!button.contains(pointer_))
        return 0;
    return button.contains(press_) ? 2 : 1;
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
    setWindowModality(Qt::ApplicationModal);
    setResult(0);
    QPointer<TSkinnedForm> self(this);
    QEventLoop loop;
    connect(this, &QDialog::finished, &loop, &QEventLoop::quit);
    connect(this, &QObject::destroyed, &loop, &QEventLoop::quit);
    show();
    if (self && isVisible())
        loop.exec(QEventLoop::DialogExec);
    return self ? result() : 0;
}

bool TSkinnedForm::FormKeyDown(QKeyEvent*) {
    return false;
}

Qt::Edges TSkinnedForm::EdgesAt(const QPoint& pos) const {
    Qt::Edges edges;
    if (!frameApplied_ || !sizeable_)
        return edges;
    if (pos.x() < kEdgeGrip)
        edges |= Qt::LeftEdge;
    if (pos.x() >= width() - kEdgeGrip)
        edges |= Qt::RightEdge;
    if (pos.y() < kEdgeGrip)
        edges |= Qt::TopEdge;
    if (pos.y() >= height() - kEdgeGrip)
        edges |= Qt::BottomEdge;
    return edges;
}

bool TSkinnedForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && widget != this && widget->window() == this && mouse->button() == Qt::LeftButton) {
            const Qt::Edges edges = EdgesAt(widget->mapTo(this, mouse->position().toPoint()));
            if (edges && windowHandle()) {
                windowHandle()->startSystemResize(edges);
                return true;
            }
        }
        if (watched->property("MovesWindow").toBool() && mouse->button() == Qt::LeftButton &&
            windowHandle()) {
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
    press_ = pointer_ = QPoint(-1, -1);
    QDialog::hideEvent(event);
}

void TSkinnedForm::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    if (!frameApplied_)
        return;
    QPainter painter(this);
    const QRect strip = CaptionRect();
    if (Frame().title.isNull())
        painter.fillRect(strip, BorderColour());
    else
        DrawStretched(painter, strip, Frame().title);
    const QPixmap icon = windowIcon().pixmap(16, 16);
    painter.drawPixmap(kBorderWidth + 10, (strip.height() - 16) / 2, icon);
    QFont titleFont = font();
    titleFont.setBold(false);
    painter.setFont(titleFont);
    painter.setPen(Qt::white);
    const int left = kBorderWidth + 16 + 20;
    const QRect close = CloseButtonRect();
    painter.drawText(
        QRect(left, 0, std::max(0, close.left() - left - 4), strip.height()),
        Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine,
        painter.fontMetrics().elidedText(windowTitle(), Qt::ElideRight, close.left() - left - 4));
    const QPixmap image = Frame().closeButtons.value(CloseButtonState());
    if (image.isNull())
        DrawCloseGlyph(painter, close, CloseButtonState());
    else
        painter.drawPixmap(close.topLeft(), WithTransparentCorner(image));
    painter.setPen(BorderColour());
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void TSkinnedForm::mousePressEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (frameApplied_ && event->button() == Qt::LeftButton) {
        press_ = pointer_ = pos;
        if (CloseButtonRect().contains(pos)) {
            update(CaptionRect());
            close(); // on the press, not on the release
            return;
        }
        if (const Qt::Edges edges = EdgesAt(pos); edges && windowHandle()) {
            windowHandle()->startSystemResize(edges);
            return;
        }
        if (CaptionRect().contains(pos) && windowHandle()) {
            press_ = QPoint(-1, -1);
            windowHandle()->startSystemMove();
            return;
        }
    }
    QDialog::mousePressEvent(event);
}

void TSkinnedForm::mouseMoveEvent(QMouseEvent* event) {
    if (frameApplied_) {
        const int before = CloseButtonState();
        pointer_ = event->position().toPoint();
        if (CloseButtonState() != before)
            update(CloseButtonRect());
        const Qt::Edges edges = EdgesAt(pointer_);
        if (edges == (Qt::LeftEdge | Qt::TopEdge) || edges == (Qt::RightEdge | Qt::BottomEdge))
            setCursor(Qt::SizeFDiagCursor);
        else if (edges == (Qt::RightEdge | Qt::TopEdge) || edges == (Qt::LeftEdge | Qt::BottomEdge))
            setCursor(Qt::SizeBDiagCursor);
        else if (edges & (Qt::LeftEdge | Qt::RightEdge))
            setCursor(Qt::SizeHorCursor);
        else if (edges)
            setCursor(Qt::SizeVerCursor);
        else
            unsetCursor();
    }
    QDialog::mouseMoveEvent(event);
}

void TSkinnedForm::mouseReleaseEvent(QMouseEvent* event) {
    if (frameApplied_) {
        press_ = QPoint(-1, -1);
        update(CloseButtonRect());
    }
    QDialog::mouseReleaseEvent(event);
}

void TSkinnedForm::leaveEvent(QEvent* event) {
    if (frameApplied_) {
        pointer_ = QPoint(-1, -1);
        update(CloseButtonRect());
    }
    QDialog::leaveEvent(event);
}

} // namespace parlomar
