#include "skins/SkinedStringGrid.h"

#include <QApplication>
#include <QScrollBar>
#include <QStyle>

namespace parlomar {

TSkinedStringGrid::TSkinedStringGrid(QWidget* parent) : QTableWidget(parent) {
    BackColor = QApplication::palette().color(QPalette::Base);
}

void TSkinedStringGrid::SetSkinedScroller(bool on) {
    skinedScroller_ = on;
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    ScrollWidth = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
}

} // namespace parlomar
