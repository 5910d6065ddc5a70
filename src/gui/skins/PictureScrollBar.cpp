#include "gui/skins/PictureScrollBar.h"

#include "gui/skins/Controls.h"
#include "gui/skins/SkinedStringGrid.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace parlomar {

namespace {
constexpr int kButtonWithoutPicture = 16;
constexpr int kSmallestThumb = 20;
} // namespace

TPictureScrollBar::TPictureScrollBar(TSkinedStringGrid* grid) : QScrollBar(Qt::Vertical, grid), grid_(grid) {}

bool TPictureScrollBar::Pictured() const {
    return grid_->PictureScrollBar();
}

void TPictureScrollBar::PicturesChanged() {
    if (Pictured())
        setFixedWidth(std::max(1, grid_->ScrollWidth));
    else {
        setMinimumWidth(0);
        setMaximumWidth(QWIDGETSIZE_MAX);
    }
    updateGeometry();
    update();
}

QSize TPictureScrollBar::sizeHint() const {
    const QSize platform = QScrollBar::sizeHint();
    return Pictured() ? QSize(grid_->ScrollWidth, platform.height()) : platform;
}

int TPictureScrollBar::TrackTop() const {
    return grid_->TopButtonScroll.isNull() ? kButtonWithoutPicture : grid_->TopButtonScroll.height();
}

int TPictureScrollBar::TrackBottom() const {
    return height() -
           (grid_->BottomButtonScroll.isNull() ? kButtonWithoutPicture : grid_->BottomButtonScroll.height());
}

QRect TPictureScrollBar::TopButtonRect() const {
    return QRect(0, 0, width(), TrackTop());
}

QRect TPictureScrollBar::BottomButtonRect() const {
    return QRect(0, TrackBottom(), width(), height() - TrackBottom());
}

QRect TPictureScrollBar::ThumbRect() const {
    const int track = std::max(0, TrackBottom() - TrackTop());
    const double total = static_cast<double>(maximum() - minimum() + pageStep());
    const int thumb =
        std::min(track, std::max(kSmallestThumb,
                                 static_cast<int>(std::lround(track * pageStep() / std::max(1.0, total)))));
    const int range = maximum() - minimum();
    const int top =
        TrackTop() +
        (range > 0 ? static_cast<int>(std::lround(double(track - thumb) * (value() - minimum()) / range))
                   : 0);
    return QRect(0, top, width(), thumb);
}

void TPictureScrollBar::paintEvent(QPaintEvent* event) {
    if (!Pictured()) {
        QScrollBar::paintEvent(event);
        return;
    }
    QPainter painter(this);
    if (grid_->BackgroundScroll.isNull())
        painter.fillRect(rect(), grid_->BackColor);
    else
        DrawStretched(painter, rect(), grid_->BackgroundScroll);
    if (!grid_->TopButtonScroll.isNull())
        DrawStretched(painter, TopButtonRect(), grid_->TopButtonScroll);
    if (!grid_->BottomButtonScroll.isNull())
        DrawStretched(painter, BottomButtonRect(), grid_->BottomButtonScroll);
    if (!grid_->Scroller.isNull() && maximum() > minimum())
        DrawStretched(painter, ThumbRect(), grid_->Scroller);
}

void TPictureScrollBar::mousePressEvent(QMouseEvent* event) {
    if (!Pictured()) {
        QScrollBar::mousePressEvent(event);
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;
    const int y = event->position().toPoint().y();
    const QRect thumb = ThumbRect();
    if (y < TrackTop()) {
        setRepeatAction(SliderSingleStepSub);
        triggerAction(SliderSingleStepSub);
    } else if (y >= TrackBottom()) {
        setRepeatAction(SliderSingleStepAdd);
        triggerAction(SliderSingleStepAdd);
    } else if (thumb.contains(0, y)) {
        dragOffset_ = y - thumb.top();
        setSliderDown(true);
    } else {
        const SliderAction page = y < thumb.top() ? SliderPageStepSub : SliderPageStepAdd;
        setRepeatAction(page);
        triggerAction(page);
    }
    update();
}

void TPictureScrollBar::mouseMoveEvent(QMouseEvent* event) {
    if (!Pictured() || dragOffset_ < 0) {
        if (!Pictured())
            QScrollBar::mouseMoveEvent(event);
        return;
    }
    const int thumb = ThumbRect().height();
    const int span = std::max(1, TrackBottom() - TrackTop() - thumb);
    const int top = std::clamp(event->position().toPoint().y() - dragOffset_ - TrackTop(), 0, span);
    setSliderPosition(minimum() +
                      static_cast<int>(std::lround(double(top) * (maximum() - minimum()) / span)));
    update();
}

void TPictureScrollBar::mouseReleaseEvent(QMouseEvent* event) {
    if (!Pictured()) {
        QScrollBar::mouseReleaseEvent(event);
        return;
    }
    setRepeatAction(SliderNoAction);
    if (dragOffset_ >= 0) {
        dragOffset_ = -1;
        setSliderDown(false);
    }
    update();
}

} // namespace parlomar
