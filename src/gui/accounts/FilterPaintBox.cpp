#include "accounts/FilterPaintBox.h"

#include <QMouseEvent>
#include <QPainter>

#include <cmath>

namespace parlomar {

TFilterPaintBox::TFilterPaintBox(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("FilterPaintBox"));
    setFixedHeight(21);
    setMouseTracking(true);
    items_ = {QStringLiteral("All"), QStringLiteral("Active"), QStringLiteral("Suspended")};
}

void TFilterPaintBox::SetItems(const QStringList& items) {
    items_ = items;
    while (items_.size() < 3)
        items_.append(QString());
    update();
}

void TFilterPaintBox::SetHoveredItem(int item) {
    if (item != hovered_) {
        hovered_ = item;
        update();
    }
}

int TFilterPaintBox::TextTop() const {
    return static_cast<int>(std::lround((height() - fontMetrics().height()) / 2.0));
}

QList<int> TFilterPaintBox::ItemX() const {
    const QFontMetrics metrics = fontMetrics();
    QList<int> x{20};
    for (int i = 0; i < 3; ++i)
        x.append(x.back() + metrics.horizontalAdvance(items_.value(i)) + 20);
    return x;
}

int TFilterPaintBox::ItemAt(const QPoint& pos) const {
    const int y = TextTop();
    if (pos.y() < y || pos.y() > y + fontMetrics().height())
        return 0;
    const QList<int> x = ItemX();
    for (int i = 0; i < 3; ++i) {
        if (pos.x() >= x[i] && pos.x() <= x[i + 1] - 20)
            return i + 1;
    }
    return 0;
}

void TFilterPaintBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QList<int> x = ItemX();
    const int y = TextTop();
    const int textHeight = fontMetrics().height();
    const QColor text = palette().color(QPalette::ButtonText);
    // Light greys with a white emboss on a light bar; on a dark bar (a dark skin) lighter shades of
    // the bar with a dark emboss, so the text stays readable.
    const QColor bar = palette().color(QPalette::Window);
    const bool dark = bar.lightness() < 128;
    const QColor hoverColour = dark ? bar.lighter(150) : QColor(0xDC, 0xDC, 0xDC);
    const QColor chosenColour = dark ? bar.lighter(185) : QColor(0xC9, 0xC9, 0xC9);
    const QColor emboss = dark ? bar.darker(150) : QColor(Qt::white);
    auto highlight = [&](int i, const QColor& colour) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour);
        painter.drawRoundedRect(QRect(QPoint(x[i - 1] - 10, y - 2), QPoint(x[i] - 10, y + textHeight + 2)),
                                2.5, 2.5);
        painter.setPen(emboss);
        painter.drawText(QPoint(x[i - 1] + 1, y + 1 + fontMetrics().ascent()), items_.value(i - 1));
    };
    for (int i = 1; i <= 3; ++i) {
        if (i == hovered_)
            highlight(i, hoverColour);
        if (i == FilterMode)
            highlight(i, chosenColour);
        painter.setPen(text);
        painter.drawText(QPoint(x[i - 1], y + fontMetrics().ascent()), items_.value(i - 1));
    }
}

void TFilterPaintBox::mouseMoveEvent(QMouseEvent* event) {
    const int item = ItemAt(event->position().toPoint());
    SetHoveredItem(item);
    setCursor(item ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void TFilterPaintBox::mousePressEvent(QMouseEvent* event) {
    const int item = ItemAt(event->position().toPoint());
    SetHoveredItem(item);
    if (item)
        emit ItemPressed(item);
}

void TFilterPaintBox::leaveEvent(QEvent*) {
    SetHoveredItem(0);
}

TTabsPaintBox::TTabsPaintBox(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TabsPaintBox"));
    setFixedHeight(25);
}

void TTabsPaintBox::SetTexts(const QStringList& texts) {
    texts_ = texts;
    update();
}

void TTabsPaintBox::SetSelectedTab(int tab) {
    selected_ = tab;
    update();
}

int TTabsPaintBox::TabWidth() const {
    const QPixmap tab = Pictures ? Pictures->value(0) : QPixmap();
    return tab.isNull() ? kTabWidth : tab.width();
}

void TTabsPaintBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPixmap chosen = Pictures ? Pictures->value(0) : QPixmap();
    const QPixmap other = Pictures ? Pictures->value(1) : QPixmap();
    const QPixmap rest = Pictures ? Pictures->value(2) : QPixmap();
    const bool pictured = !chosen.isNull() && !other.isNull();
    const int width = TabWidth();
    if (!rest.isNull()) {
        for (int x = 0; x < this->width(); x += rest.width())
            painter.drawPixmap(x, 0, rest);
    } else {
        painter.fillRect(rect(), palette().color(QPalette::Window).darker(104));
    }
    QFont font(QStringLiteral("Arial"));
    font.setBold(true);
    painter.setFont(font);
    for (int tab = 1; tab <= 2; ++tab) {
        const QRect area((tab - 1) * width, 0, width, height());
        const bool selected = tab == selected_;
        if (pictured)
            painter.drawPixmap(area.topLeft(), selected ? chosen : other);
        else
            painter.fillRect(area.adjusted(1, selected ? 0 : 3, -1, 0),
                             selected ? palette().color(QPalette::Base) : palette().color(QPalette::Window));
        if (ImageList && ImageList->size() > 5) {
            const QPixmap& icon = ImageList->at(tab == 1 ? 4 : 5);
            painter.drawPixmap(area.left() + 10, (height() - icon.height()) / 2, icon);
        }
        // The other tab's text: the window's text colour, muted, so it reads on light and dark tabs.
        QColor other = palette().color(QPalette::Active, QPalette::WindowText);
        other.setAlphaF(0.6);
        painter.setPen(selected ? palette().color(QPalette::Active, QPalette::Highlight) : other);
        painter.drawText(area, Qt::AlignCenter, texts_.value(tab - 1));
    }
}

void TTabsPaintBox::mousePressEvent(QMouseEvent* event) {
    const int tab = event->position().toPoint().x() / TabWidth() + 1;
    if (tab < 1 || tab > 2)
        return;
    SetSelectedTab(tab);
    emit TabPressed(tab);
}

} // namespace parlomar
