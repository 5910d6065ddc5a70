#pragma once

#include <QScrollBar>

namespace parlomar {

class TSkinedStringGrid;

// The vertical scroll bar of a TSkinedStringGrid. While the grid draws a picture scroll bar
// (SkinedScroller on, pictures from a skin) it is ScrollWidth wide and drawn from the pictures: the
// background stretched, the top and bottom buttons at the ends, the thumb (the scroller picture,
// stretched) between them; a press on a button steps a row, on the track a page, and the thumb is
// dragged. Otherwise it is the platform's scroll bar.
class TPictureScrollBar : public QScrollBar {
    Q_OBJECT
public:
    explicit TPictureScrollBar(TSkinedStringGrid* grid);

    // Call after the grid's pictures or width changed.
    void PicturesChanged();
    // The parts of the picture scroll bar in its own coordinates.
    QRect TopButtonRect() const;
    QRect BottomButtonRect() const;
    QRect ThumbRect() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool Pictured() const;
    int TrackTop() const;
    int TrackBottom() const;
    TSkinedStringGrid* grid_;
    int dragOffset_ = -1; // pointer y within the thumb while dragging
};

} // namespace parlomar
