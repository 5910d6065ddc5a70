#pragma once

#include <QList>
#include <QPixmap>
#include <QStringList>
#include <QWidget>

namespace parlomar {

// The filter bar under the account list: three items (all, active, suspended accounts) drawn as
// text, the hovered one and the chosen one (`FilterMode`) highlighted with a rounded rectangle. It
// takes the focus (a frame around the chosen item) and switches with the arrow keys, Home and End;
// assistive technology sees a group of three radio buttons.
class TFilterPaintBox : public QWidget {
    Q_OBJECT
public:
    explicit TFilterPaintBox(QWidget* parent = nullptr);

    // The texts of the three items (status texts 64, 65, 66).
    void SetItems(const QStringList& items);
    QStringList Items() const { return items_; }
    // 1 to 3; the highlighted chosen item.
    int FilterMode = 1;
    // 0 none, else 1 to 3.
    int HoveredItem() const { return hovered_; }
    void SetHoveredItem(int item);
    // The item at a point (0 none): between its text start and the next item's start - 20, and
    // within the text height.
    int ItemAt(const QPoint& pos) const;
    // x positions of the item texts, x1..x4.
    QList<int> ItemX() const;

    // The rectangle an item's highlight takes (1 to 3).
    QRect ItemRect(int item) const;

    // The accessible description of the bar and its three choices for assistive technology.
    static void InstallAccessibility();

signals:
    void ItemPressed(int item);

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    // The bar's drawing, called from paintEvent only (the painter needs the paint event).
    void FilterPaintBoxPaint();
    // The hovered item follows the mouse, with the hand cursor over an item.
    void FilterPaintBoxMouseMove(const QPoint& pos);
    // Leaving the bar clears the hover highlight.
    void FilterPaintBoxMouseLeave();
    int TextTop() const;
    QStringList items_;
    int hovered_ = 0;
};

// The tab strip used while a skin is active: two tabs (accounts, packages) with their icons. With
// the skin's tab pictures (Pictures: 0 the chosen tab, 1 another tab, 2 the rest of the strip) each
// tab is its picture; without them the chosen tab is drawn raised. Tab numbers are 1 and 2. It takes
// the focus and switches with the arrow keys.
class TTabsPaintBox : public QWidget {
    Q_OBJECT
public:
    explicit TTabsPaintBox(QWidget* parent = nullptr);
    void SetTexts(const QStringList& texts);
    QStringList Texts() const { return texts_; }
    int SelectedTab() const { return selected_; }
    void SetSelectedTab(int tab);
    const QList<QPixmap>* ImageList = nullptr;
    const QList<QPixmap>* Pictures = nullptr;
    static constexpr int kTabWidth = 117;
    // The width of one tab: its picture's, or kTabWidth.
    int TabWidth() const;

signals:
    void TabPressed(int tab);

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    // The strip's drawing, called from paintEvent only (the painter needs the paint event).
    void TabsPaintBoxPaint();
    QStringList texts_;
    int selected_ = 1;
};

} // namespace parlomar
