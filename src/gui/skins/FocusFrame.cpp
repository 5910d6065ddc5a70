#include "gui/skins/FocusFrame.h"

#include "gui/skins/SkinButton.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QEvent>
#include <QItemSelectionModel>
#include <QPainter>
#include <QPointer>
#include <QTabBar>
#include <QTableView>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cstdlib>

namespace parlomar {

namespace {

constexpr int kFrameWidth = 2;
constexpr int kLeastContrast = 60; // lightness steps between the frame and what it is drawn on

// The frame over the control with the focus: a child of that control, above its other children,
// letting the mouse through. It goes when the focus goes.
class TFocusFrame : public QWidget {
public:
    explicit TFocusFrame(QWidget* target) : QWidget(target), target_(target) {
        setObjectName(QStringLiteral("FocusFrame"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
        target->installEventFilter(this);
        if (auto* view = qobject_cast<QAbstractItemView*>(target))
            view->viewport()->installEventFilter(this); // a scroll or a new current row repaints it
        if (auto* bar = qobject_cast<QTabBar*>(target))
            connect(bar, &QTabBar::currentChanged, this, &TFocusFrame::Place);
        Place();
        show();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::Resize:
        case QEvent::Show:
        case QEvent::LayoutRequest:
            PlaceLater();
            break;
        case QEvent::Paint:
            if (watched != target_)
                PlaceLater();
            break;
        default:
            break;
        }
        return QWidget::eventFilter(watched, event);
    }

    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painted_ = Colour();
        painter.setPen(QPen(painted_, kFrameWidth));
        painter.setBrush(Qt::NoBrush);
        const qreal half = kFrameWidth / 2.0;
        painter.drawRect(QRectF(rect()).adjusted(half, half, -half, -half));
    }

private:
    void PlaceLater() {
        if (placing_)
            return;
        placing_ = true;
        QTimer::singleShot(0, this, [this] {
            placing_ = false;
            Place();
        });
    }

    // A selected current row is filled with the highlight colour already: its frame takes the text
    // colour.
    QColor Colour() const {
        if (const auto* view = qobject_cast<const QAbstractItemView*>(target_)) {
            const QModelIndex current = view->currentIndex();
            if (current.isValid() && view->selectionModel() && view->selectionModel()->isSelected(current))
                return view->palette().color(QPalette::Active, QPalette::Text);
        }
        return FocusFrameColour(target_);
    }

    // The whole control, or the part of it that is current.
    QRect Area() const {
        if (const auto* bar = qobject_cast<const QTabBar*>(target_)) {
            if (bar->currentIndex() >= 0)
                return bar->tabRect(bar->currentIndex()).intersected(bar->rect());
            return bar->rect();
        }
        if (const auto* view = qobject_cast<const QAbstractItemView*>(target_)) {
            const QModelIndex current = view->currentIndex();
            const QWidget* viewport = view->viewport();
            if (!current.isValid())
                return view->rect();
            QRect row = view->visualRect(current);
            if (qobject_cast<const QTableView*>(view)) { // the whole row of a table
                row.setLeft(0);
                row.setRight(viewport->width() - 1);
            }
            row = row.intersected(viewport->rect());
            if (row.height() < 2 * kFrameWidth)
                return view->rect(); // the current row is scrolled out of sight
            return QRect(viewport->mapTo(target_, row.topLeft()), row.size());
        }
        return target_->rect();
    }

    void Place() {
        if (!target_)
            return;
        const QRect area = Area();
        if (geometry() != area)
            setGeometry(area);
        else if (Colour() != painted_)
            update(); // the row was selected or let go
        // Only when another child lies above it: a raise repaints what lies below, and a repaint
        // of the list below places the frame again.
        const QObjectList& siblings = target_->children();
        for (auto it = siblings.rbegin(); it != siblings.rend(); ++it) {
            if (*it == this)
                break;
            if ((*it)->isWidgetType()) {
                raise();
                break;
            }
        }
    }

    QPointer<QWidget> target_;
    bool placing_ = false;
    QColor painted_;
};

bool WantsFrame(const QWidget* control) {
    if (!control || control->isWindow() || control->focusPolicy() == Qt::NoFocus)
        return false;
    if (const auto* button = qobject_cast<const TSkinButton*>(control))
        return !button->FocusRectColor.isValid(); // a skin that draws none of its own
    return !control->property(kOwnFocusFrame).toBool();
}

int Lightness(const QColor& colour) {
    return colour.toHsl().lightness();
}

} // namespace

QColor FocusFrameColour(const QWidget* control) {
    const QPalette& palette = control->palette();
    const QColor highlight = palette.color(QPalette::Active, QPalette::Highlight);
    const QColor background = palette.color(QPalette::Active, control->backgroundRole());
    const QColor field = palette.color(QPalette::Active, QPalette::Base);
    const int apart = std::min(std::abs(Lightness(highlight) - Lightness(background)),
                               std::abs(Lightness(highlight) - Lightness(field)));
    if (apart >= kLeastContrast)
        return highlight;
    return palette.color(QPalette::Active, control->foregroundRole());
}

void WatchFocusFrames() {
    static bool watching = false;
    auto* application = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (watching || !application)
        return;
    watching = true;
    static QPointer<TFocusFrame> frame;
    QObject::connect(application, &QApplication::focusChanged, application, [](QWidget*, QWidget* now) {
        // Both later, from the event loop: the focus also moves while windows are being destroyed.
        if (frame)
            frame->deleteLater();
        frame = nullptr;
        QTimer::singleShot(0, qApp, [target = QPointer<QWidget>(now)] {
            if (target && !frame && QApplication::focusWidget() == target && WantsFrame(target))
                frame = new TFocusFrame(target);
        });
    });
}

} // namespace parlomar
