#pragma once

#include "core/accounts/StringGrid.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QHeaderView>
#include <QPixmap>
#include <QStyledItemDelegate>
#include <QTableView>

#include <functional>
#include <string>
#include <vector>

namespace parlomar {

// The view's window on a TStringGridData: row 0 of the data is the heading (the horizontal header),
// data rows whose height is below 1 are left out. Only the rows on screen are ever converted to
// Qt texts, so the model stays cheap for lists of any length.
class TStringGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    TStringGridModel(TStringGridData* data, QObject* parent);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Grid row of a view row (0 for none) and the view row of a grid row (-1 when hidden).
    int DataRow(int viewRow) const;
    int ViewRow(int dataRow) const;
    // Re-reads which rows are visible and resets the view (after fills, sorts and filters).
    void Refresh();
    // Repaints the cells without a change of rows (after cell edits).
    void CellsChanged();
    // What assistive technology hears for a cell beyond its text (Qt::AccessibleTextRole and
    // Qt::AccessibleDescriptionRole of a data row); the grid fills it in.
    std::function<QVariant(int col, int dataRow, int role)> AccessibleData;

private:
    TStringGridData* data_;
    std::vector<int> visible_; // grid rows in view order
    std::vector<int> viewOf_;  // grid row -> view row, -1 hidden
};

// The list grid, `AccList`. It owns the grid data the core fills and draws it as `AccListDrawCell`
// describes: link look, suspended colour, row icons, even-row background, selection colour and the
// sort arrows of the heading. It reports what the operator does (heading clicks, links, the row
// menu, details) as signals; the main window acts on them.
class TSkinedStringGrid : public QTableView {
    Q_OBJECT
public:
    explicit TSkinedStringGrid(QWidget* parent = nullptr);

    void SetSkinedScroller(bool on);
    bool SkinedScroller() const { return skinedScroller_; }

    int ScrollWidth = 15;
    QColor BackColor; // clWindow unless set
    QPixmap TopButtonScroll, BottomButtonScroll, Scroller, BackgroundScroll;
    // Call after the scroll bar pictures, its colour or width changed.
    void PicturesChanged();
    // Whether the picture scroll bar is drawn: SkinedScroller on and at least one picture.
    bool PictureScrollBar() const;
    // The picture stretched behind each heading cell; empty draws the plain heading.
    QPixmap HeadingPicture;
    // Backgrounds of even rows and of the selected row.
    QColor EvenRowBackground = EvenRowColour;
    QColor SelectedBackground = SelectedColour;

    // The shared icons of the main window: 0 and 1 sort arrows, 6 and 7 row icons, 15 the control
    // panel icon. Not owned.
    const QList<QPixmap>* ImageList = nullptr;
    // The list whose rows the grid holds (1 accounts, 2 packages): which drawing and hint rules
    // apply. The list the results area is on and the list asked for are the list controller's.
    int ShownList = 0;

    TStringGridData& Data() { return data_; }
    const TStringGridData& Data() const { return data_; }
    TStringGridModel* Model() const { return model_; }
    // After the rows changed (fill, sort, filter): re-reads the visible rows, keeping the current row
    // when it is still shown.
    void RowsChanged();
    // After cell texts changed in place.
    void CellsChanged();

    // The grid row of the current row (0 when none) and selecting a grid row (ignored when hidden).
    int CurrentDataRow() const;
    void SelectDataRow(int dataRow);
    // The account list takes several rows at once (Ctrl+click, Shift+click, Ctrl+A over the shown
    // rows); the package list one. The selected grid rows in shown order, and selecting several
    // (hidden ones are left out; the first becomes current).
    std::vector<int> SelectedDataRows() const;
    void SelectDataRows(const std::vector<int>& dataRows);
    int VisibleRowCount() const { return model_->rowCount(); }

    // `AccListDrawCell` for one cell of a data row and for a heading cell.
    void AccListDrawCell(QPainter* painter, const QRect& rect, int col, int dataRow, bool selected) const;
    void DrawHeadingCell(QPainter* painter, const QRect& rect, int col) const;

    // Where the text of a data cell is drawn (link hit test, hints), in viewport coordinates.
    QRect TextRect(int viewRow, int col) const;
    // The row icon of a key cell, in viewport coordinates.
    QRect IconRect(int viewRow, int col) const;
    // The hint of a data cell: disk usage for the user column, status text 58 for the panel column.
    QString CellHint(int dataRow, int col) const;
    // The name and description assistive technology gives a data cell: the panel cell is the link to
    // the control panel (its address the description); every cell of a suspended account says so,
    // which the grid otherwise shows only in grey. Empty: the cell's text.
    QString AccessibleCellName(int col, int dataRow) const;
    QString AccessibleCellDescription(int col, int dataRow) const;

    static const QColor LinkColour, LinkHoverColour, EvenRowColour, SelectedColour;

    // A hint text that is shown as it is: a text the toolkit would take for markup is escaped.
    static QString PlainHint(const QString& text);

signals:
    void HeaderClicked(int col);           // a left release on a heading cell
    void LinkClicked(const QString& text); // left press on link text: the cell's text
    void RowMenuRequested(const QPoint& globalPos);
    void DetailsRequested(int dataRow);      // double click, or a click on a package name
    void RowEntered(int dataRow);            // Enter on the current row
    void CurrentDataRowChanged(int dataRow); // `AccListSelectCell` accepted a row

protected:
    bool event(QEvent* event) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void keyPressEvent(QKeyEvent* event) override;
    // The focus frame and the row icon belong to the whole row: it is drawn again when either moves.
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    // A press makes its row current, then opens the row menu (row icon), a package's details (its
    // name) or a link (link text).
    void AccListMouseDown(QMouseEvent* event);
    // The hovered cell and the hand cursor over a link or row icon follow the pointer; only a move
    // with a button held selects.
    void AccListMouseMove(QMouseEvent* event);
    bool OnLinkText(const QPoint& pos, int* viewRow = nullptr, int* col = nullptr) const;
    bool OnRowIcon(const QPoint& pos) const;
    // Where the row menu opens from the keyboard: under the current row's key cell (global).
    QPoint RowMenuPoint() const;
    int KeyColumn() const;
    QPixmap Image(int index) const;

    TStringGridData data_;
    TStringGridModel* model_;
    bool pressOpenedDetails_ = false; // a press on a package name opened its details
    bool skinedScroller_ = false;
    int hoverRow_ = -1; // view row and column of the cell under the pointer
    int hoverCol_ = -1;
};

} // namespace parlomar
