#pragma once

#include <QColor>
#include <QPixmap>
#include <QTableWidget>

namespace parlomar {

// The list grid. Its plain look is the platform table; the picture scroll bar of a skin draws over
// the platform scroll bar's place when SkinedScroller is set and pictures are given.
class TSkinedStringGrid : public QTableWidget {
    Q_OBJECT
public:
    explicit TSkinedStringGrid(QWidget* parent = nullptr);

    void SetSkinedScroller(bool on);
    bool SkinedScroller() const { return skinedScroller_; }

    int ScrollWidth = 15;
    QColor BackColor; // clWindow unless set
    QPixmap TopButtonScroll, BottomButtonScroll, Scroller, BackgroundScroll;

private:
    bool skinedScroller_ = false;
};

} // namespace parlomar
