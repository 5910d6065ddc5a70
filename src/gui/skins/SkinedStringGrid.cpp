#include "gui/skins/SkinedStringGrid.h"

#include "core/accounts/AccountList.h"
#include "core/accounts/GridSort.h"
#include "core/accounts/ListGrid.h"
#include "core/accounts/PackageList.h"
#include "core/settings/Localization.h"
#include "gui/skins/Controls.h"
#include "gui/skins/FocusFrame.h"
#include "gui/skins/HeadingStrip.h"
#include "gui/skins/PictureScrollBar.h"
#include "gui/skins/Skins.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QTextDocument>
#include <QToolTip>

#include <algorithm>
#include <cmath>
#include <utility>

namespace parlomar {

namespace {

QString Text(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The grid font's text height and the vertical offset of a text in a row of the given height.
int TextOffset(int rowHeight, int textHeight) {
    if (rowHeight < 1)
        return 0;
    return static_cast<int>(std::lround((rowHeight - textHeight) / 2.0));
}

const QColor kSuspendedColour(0x99, 0x99, 0x99);

class GridDelegate : public QStyledItemDelegate {
public:
    explicit GridDelegate(TSkinedStringGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const bool selected = (option.state & QStyle::State_Selected) != 0;
        grid_->AccListDrawCell(painter, option.rect, index.column(), grid_->Model()->DataRow(index.row()),
                               selected);
        if (grid_->hasFocus() && grid_->currentIndex().row() == index.row())
            DrawRowFocus(painter, option.rect, index.column());
    }

private:
    // The focus frame of the current row: one frame around the whole row in the highlight colour,
    // drawn cell by cell (the first and the last shown column close it).
    void DrawRowFocus(QPainter* painter, const QRect& rect, int col) const {
        int first = -1, last = -1;
        for (int c = 0; c < grid_->model()->columnCount(); ++c) {
            if (grid_->isColumnHidden(c) || grid_->columnWidth(c) <= 0)
                continue;
            first = first < 0 ? c : first;
            last = c;
        }
        painter->save();
        painter->setPen(QPen(grid_->palette().color(QPalette::Active, QPalette::Highlight), 2));
        const QRect inner = rect.adjusted(0, 1, 0, -1);
        painter->drawLine(inner.topLeft(), inner.topRight());
        painter->drawLine(inner.bottomLeft(), inner.bottomRight());
        if (col == first)
            painter->drawLine(inner.topLeft() + QPoint(1, 0), inner.bottomLeft() + QPoint(1, 0));
        if (col == last)
            painter->drawLine(inner.topRight(), inner.bottomRight());
        painter->restore();
    }

private:
    TSkinedStringGrid* grid_;
};

class GridHeader : public QHeaderView {
public:
    explicit GridHeader(TSkinedStringGrid* grid) : QHeaderView(Qt::Horizontal, grid), grid_(grid) {
        setMouseTracking(true);
    }

protected:
    void mouseMoveEvent(QMouseEvent* event) override {
        // A hand over the sort arrow of a sorted column.
        const QPoint pos = event->position().toPoint();
        const int col = logicalIndexAt(pos);
        bool onArrow = false;
        if (col >= 0 && grid_->Data().Object(col, 0) != kSortNone) {
            const int right = sectionViewportPosition(col) + sectionSize(col);
            onArrow = pos.x() >= right - 16 && pos.x() < right;
        }
        viewport()->setCursor(onArrow ? Qt::PointingHandCursor : Qt::ArrowCursor);
        QHeaderView::mouseMoveEvent(event);
    }
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override {
        painter->save();
        grid_->DrawHeadingCell(painter, rect, logicalIndex);
        painter->restore();
    }

private:
    TSkinedStringGrid* grid_;
};

} // namespace

// ---- Model ----

TStringGridModel::TStringGridModel(TStringGridData* data, QObject* parent)
    : QAbstractTableModel(parent), data_(data) {}

int TStringGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(visible_.size());
}

int TStringGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : data_->ColCount();
}

QVariant TStringGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(visible_.size()))
        return {};
    const int row = visible_[static_cast<size_t>(index.row())];
    if (role == Qt::DisplayRole)
        return Text(data_->Cell(index.column(), row));
    if (role == Qt::UserRole)
        return data_->Object(index.column(), row);
    if ((role == Qt::AccessibleTextRole || role == Qt::AccessibleDescriptionRole) && AccessibleData)
        return AccessibleData(index.column(), row, role);
    return {};
}

QVariant TStringGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return Text(data_->Cell(section, 0));
    if (orientation == Qt::Vertical && role == Qt::DisplayRole)
        return DataRow(section);
    return {};
}

int TStringGridModel::DataRow(int viewRow) const {
    if (viewRow < 0 || viewRow >= static_cast<int>(visible_.size()))
        return 0;
    return visible_[static_cast<size_t>(viewRow)];
}

int TStringGridModel::ViewRow(int dataRow) const {
    if (dataRow < 0 || dataRow >= static_cast<int>(viewOf_.size()))
        return -1;
    return viewOf_[static_cast<size_t>(dataRow)];
}

void TStringGridModel::Refresh() {
    beginResetModel();
    visible_.clear();
    viewOf_.assign(static_cast<size_t>(std::max(0, data_->RowCount())), -1);
    visible_.reserve(static_cast<size_t>(std::max(0, data_->RowCount() - 1)));
    for (int row = 1; row < data_->RowCount(); ++row) {
        if (data_->RowVisible(row)) {
            viewOf_[static_cast<size_t>(row)] = static_cast<int>(visible_.size());
            visible_.push_back(row);
        }
    }
    endResetModel();
}

void TStringGridModel::CellsChanged() {
    if (!visible_.empty() && data_->ColCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    emit headerDataChanged(Qt::Horizontal, 0, std::max(0, columnCount() - 1));
}

// ---- Grid ----

const QColor TSkinedStringGrid::LinkColour(0x5D, 0x96, 0xB0);
const QColor TSkinedStringGrid::LinkHoverColour(0x7A, 0xB3, 0xCD);
const QColor TSkinedStringGrid::EvenRowColour(0xF3, 0xF3, 0xF3);
const QColor TSkinedStringGrid::SelectedColour(0xD3, 0xDE, 0xEB);

TSkinedStringGrid::TSkinedStringGrid(QWidget* parent) : QTableView(parent) {
    setProperty(kOwnFocusFrame, true);
    BackColor = QApplication::palette().color(QPalette::Base);
    model_ = new TStringGridModel(&data_, this);
    setModel(model_);
    setItemDelegate(new GridDelegate(this));
    setHorizontalHeader(new GridHeader(this));
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSortIndicatorShown(false);
    horizontalHeader()->setMinimumSectionSize(0);
    verticalHeader()->hide();
    // Uniform row heights: the view never asks the rows for their size.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(data_.DefaultRowHeight());
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(false);
    setFrameShape(QFrame::NoFrame);
    setWordWrap(false);
    setMouseTracking(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setVerticalScrollBar(new TPictureScrollBar(this));
    setContextMenuPolicy(Qt::CustomContextMenu);
    // Tab and Shift+Tab leave the grid for the next and previous control; the arrow keys, Home/End
    // and Page Up/Down move within it.
    setTabKeyNavigation(false);
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(9);
    setFont(font);

    model_->AccessibleData = [this](int col, int dataRow, int role) -> QVariant {
        const QString text = role == Qt::AccessibleTextRole ? AccessibleCellName(col, dataRow)
                                                            : AccessibleCellDescription(col, dataRow);
        return text.isEmpty() ? QVariant() : QVariant(text);
    };
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this](int col) { emit HeaderClicked(col); });
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { emit RowMenuRequested(viewport()->mapToGlobal(at)); });
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid())
                    emit CurrentDataRowChanged(model_->DataRow(current.row()));
            });
}

QString TSkinedStringGrid::PlainHint(const QString& text) {
    if (!Qt::mightBeRichText(text))
        return text;
    return QStringLiteral("<p style='white-space:pre'>") + text.toHtmlEscaped() + QStringLiteral("</p>");
}

void TSkinedStringGrid::SetSkinedScroller(bool on) {
    skinedScroller_ = on;
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    ScrollWidth = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    PicturesChanged();
}

bool TSkinedStringGrid::PictureScrollBar() const {
    return skinedScroller_ && !(TopButtonScroll.isNull() && BottomButtonScroll.isNull() &&
                                Scroller.isNull() && BackgroundScroll.isNull());
}

void TSkinedStringGrid::PicturesChanged() {
    if (auto* bar = qobject_cast<TPictureScrollBar*>(verticalScrollBar()))
        bar->PicturesChanged();
    horizontalHeader()->viewport()->update();
    viewport()->update();
}

void TSkinedStringGrid::RowsChanged() {
    const int keep = CurrentDataRow();
    setSelectionMode(ShownList == kListModeAccounts ? QAbstractItemView::ExtendedSelection
                                                    : QAbstractItemView::SingleSelection);
    verticalHeader()->setDefaultSectionSize(std::max(1, data_.DefaultRowHeight()));
    model_->Refresh();
    hoverRow_ = hoverCol_ = -1;
    if (keep > 0 && model_->ViewRow(keep) >= 0)
        SelectDataRow(keep);
}

void TSkinedStringGrid::CellsChanged() {
    model_->CellsChanged();
    viewport()->update();
}

int TSkinedStringGrid::CurrentDataRow() const {
    const QModelIndex current = currentIndex();
    return current.isValid() ? model_->DataRow(current.row()) : 0;
}

void TSkinedStringGrid::SelectDataRow(int dataRow) {
    const int viewRow = model_->ViewRow(dataRow);
    if (viewRow < 0)
        return;
    const QModelIndex index = model_->index(viewRow, std::min(1, model_->columnCount() - 1));
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(index);
}

std::vector<int> TSkinedStringGrid::SelectedDataRows() const {
    // From the selection's ranges: a range may cover only the shown columns of its rows.
    std::vector<int> rows;
    for (const QItemSelectionRange& range : selectionModel()->selection())
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.push_back(row);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    for (int& row : rows)
        row = model_->DataRow(row);
    return rows;
}

void TSkinedStringGrid::SelectDataRows(const std::vector<int>& dataRows) {
    QItemSelection selection;
    int first = -1;
    for (int dataRow : dataRows) {
        const int viewRow = model_->ViewRow(dataRow);
        if (viewRow < 0)
            continue;
        first = first < 0 ? dataRow : first;
        selection.select(model_->index(viewRow, 0), model_->index(viewRow, model_->columnCount() - 1));
    }
    if (first < 0)
        return;
    SelectDataRow(first);
    selectionModel()->select(selection, QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

int TSkinedStringGrid::KeyColumn() const {
    return KeyColumnOf(ShownList);
}

QPixmap TSkinedStringGrid::Image(int index) const {
    if (!ImageList || index < 0 || index >= ImageList->size())
        return {};
    return ImageList->at(index);
}

void TSkinedStringGrid::AccListDrawCell(QPainter* painter, const QRect& rect, int col, int dataRow,
                                        bool selected) const {
    const int rowHeight = rect.height();
    if (rowHeight <= 0 || dataRow < 1)
        return;
    painter->save();
    painter->setClipRect(rect);
    QFont font = this->font();
    QColor pen = palette().color(QPalette::ButtonText);
    const std::string_view cell = data_.Cell(col, dataRow);
    const int object = data_.Object(col, dataRow);
    const int key = KeyColumn();

    // Link look: a domain, or a package name (its row marker).
    if (IsLinkCell(cell, object)) {
        const QModelIndex hover = model_->index(hoverRow_, hoverCol_);
        const bool hovered = hover.isValid() && model_->DataRow(hoverRow_) == dataRow && hoverCol_ == col;
        pen = hovered ? LinkHoverColour : LinkColour;
        font.setUnderline(true);
    }
    if (ShownList == kListModeAccounts && data_.Cell(kAccSuspendedCol, dataRow) == "1")
        pen = kSuspendedColour;

    QColor background = palette().color(QPalette::Base);
    if (dataRow % 2 == 0)
        background = EvenRowBackground;
    if (selected)
        background = SelectedBackground;
    painter->fillRect(rect, background);

    painter->setFont(font);
    painter->setPen(pen);
    const QFontMetrics metrics(font);
    const int d = TextOffset(rowHeight, metrics.height());

    if (ShownList == kListModeAccounts && col == kAccPanelCol) {
        const QPixmap panel = Image(15);
        if (SkinActive() && !panel.isNull()) {
            const QSize size = PictureSize(panel);
            painter->drawPixmap(rect.left() + (rect.width() - size.width()) / 2,
                                rect.top() + (rect.height() - size.height()) / 2, panel);
        } else {
            painter->drawText(QRect(rect.left() + d, rect.top() + d, rect.width() - d, metrics.height()),
                              Qt::AlignLeft | Qt::AlignTop, QStringLiteral("CP"));
        }
        painter->restore();
        return;
    }
    int textLeft = rect.left() + d;
    if (col == key) {
        const bool current = CurrentDataRow() == dataRow;
        const QPixmap icon = Image(current ? 6 : 7);
        if (!icon.isNull()) {
            painter->drawPixmap(rect.left(), rect.top() + (rect.height() - PictureSize(icon).height()) / 2,
                                icon);
            textLeft += PictureSize(icon).width();
        }
    }
    painter->drawText(QRect(textLeft, rect.top() + d, rect.right() - textLeft, metrics.height()),
                      Qt::AlignLeft | Qt::AlignTop, Text(cell));
    painter->restore();
}

void DrawPlainHeadingStrip(QPainter& painter, const QRect& rect, bool divider, int dividerInset) {
    QLinearGradient strip(rect.topLeft(), rect.bottomLeft());
    strip.setColorAt(0, QColor(0xFA, 0xFA, 0xFA));
    strip.setColorAt(1, QColor(0xE6, 0xE9, 0xED));
    painter.fillRect(rect, strip);
    painter.setPen(QColor(0xC8, 0xCD, 0xD3));
    painter.drawLine(rect.bottomLeft(), rect.bottomRight());
    if (divider)
        painter.drawLine(rect.topLeft() + QPoint(0, dividerInset),
                         rect.bottomLeft() - QPoint(0, dividerInset));
}

void TSkinedStringGrid::DrawHeadingCell(QPainter* painter, const QRect& rect, int col) const {
    if (!HeadingPicture.isNull())
        DrawStretched(*painter, rect, HeadingPicture);
    else
        DrawPlainHeadingStrip(*painter, rect, col > 0, 4);
    QFont font = this->font();
    if (font.pointSize() > 1)
        font.setPointSize(font.pointSize() - 1);
    else if (font.pixelSize() > 1)
        font.setPixelSize(font.pixelSize() - 1);
    painter->setFont(font);
    painter->setPen(palette().color(QPalette::ButtonText));
    const QFontMetrics metrics(font);
    const int d = TextOffset(rect.height(), metrics.height());
    painter->drawText(QRect(rect.left() + d + 2, rect.top() + d, rect.width() - d - 2, metrics.height()),
                      Qt::AlignLeft | Qt::AlignTop, Text(data_.Cell(col, 0)));
    const int marker = data_.Object(col, 0);
    const QPixmap arrow = marker == kSortAscending    ? Image(1)
                          : marker == kSortDescending ? Image(0)
                                                      : QPixmap();
    if (!arrow.isNull())
        painter->drawPixmap(rect.right() - PictureSize(arrow).width() - 4,
                            rect.top() + (rect.height() - PictureSize(arrow).height()) / 2, arrow);
}

QRect TSkinedStringGrid::TextRect(int viewRow, int col) const {
    const int dataRow = model_->DataRow(viewRow);
    if (dataRow < 1)
        return {};
    const QRect cell = visualRect(model_->index(viewRow, col));
    QFont font = this->font();
    font.setUnderline(IsLinkCell(data_.Cell(col, dataRow), data_.Object(col, dataRow)));
    const QFontMetrics metrics(font);
    const int d = TextOffset(cell.height(), metrics.height());
    int left = cell.left() + d;
    if (col == KeyColumn())
        left += PictureSize(Image(7)).width();
    const QString text = (ShownList == kListModeAccounts && col == kAccPanelCol)
                             ? QStringLiteral("CP")
                             : Text(data_.Cell(col, dataRow));
    const int width = std::min(metrics.horizontalAdvance(text), std::max(0, cell.right() - left));
    return QRect(left, cell.top() + d, width, metrics.height());
}

QRect TSkinedStringGrid::IconRect(int viewRow, int col) const {
    if (col != KeyColumn() || model_->DataRow(viewRow) < 1)
        return {};
    const QRect cell = visualRect(model_->index(viewRow, col));
    const QSize icon = PictureSize(Image(7));
    return QRect(cell.left(), cell.top() + (cell.height() - icon.height()) / 2, icon.width(), icon.height());
}

bool TSkinedStringGrid::OnLinkText(const QPoint& pos, int* viewRow, int* col) const {
    const QModelIndex index = indexAt(pos);
    if (!index.isValid() || index.column() < 1)
        return false;
    const int dataRow = model_->DataRow(index.row());
    // The control panel cell (an icon or "CP") opens its address wherever it is clicked.
    const bool panel = ShownList == kListModeAccounts && index.column() == kAccPanelCol;
    if (!panel && !IsLinkCell(data_.Cell(index.column(), dataRow), data_.Object(index.column(), dataRow)))
        return false;
    if (!panel && !TextRect(index.row(), index.column()).contains(pos))
        return false;
    if (viewRow)
        *viewRow = index.row();
    if (col)
        *col = index.column();
    return true;
}

bool TSkinedStringGrid::OnRowIcon(const QPoint& pos) const {
    const QModelIndex index = indexAt(pos);
    return index.isValid() && IconRect(index.row(), index.column()).contains(pos);
}

QString TSkinedStringGrid::CellHint(int dataRow, int col) const {
    if (ShownList != kListModeAccounts || dataRow < 1)
        return {};
    if (col == kAccUserCol)
        return Text(AccountUsageHint(data_, dataRow));
    if (col == kAccPanelCol)
        return Text(StatusText(kPanelHintText));
    return {};
}

QPoint TSkinedStringGrid::RowMenuPoint() const {
    const int viewRow = model_->ViewRow(CurrentDataRow());
    const QRect cell = viewRow < 0 ? QRect() : visualRect(model_->index(viewRow, KeyColumn()));
    const QPoint at =
        cell.isValid() ? cell.bottomLeft() + QPoint(IconRect(viewRow, KeyColumn()).width(), 0) : QPoint(0, 0);
    return viewport()->mapToGlobal(at);
}

bool TSkinedStringGrid::event(QEvent* event) {
    // The Menu key (the window system sends it as a keyboard context menu): the row menu of the
    // current row, under that row rather than at the pointer.
    if (event->type() == QEvent::ContextMenu &&
        static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard) {
        emit RowMenuRequested(RowMenuPoint());
        return true;
    }
    return QTableView::event(event);
}

QModelIndex TSkinedStringGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    // Rows are what the grid selects: Home and End go to the first and the last row.
    if (action == MoveHome || action == MoveEnd)
        modifiers |= Qt::ControlModifier;
    return QTableView::moveCursor(action, modifiers);
}

void TSkinedStringGrid::focusInEvent(QFocusEvent* event) {
    QTableView::focusInEvent(event);
    viewport()->update();
}

void TSkinedStringGrid::focusOutEvent(QFocusEvent* event) {
    QTableView::focusOutEvent(event);
    viewport()->update();
}

void TSkinedStringGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    viewport()->update();
}

void TSkinedStringGrid::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && modifiers == Qt::NoModifier) {
        if (const int row = CurrentDataRow(); row > 0)
            emit RowEntered(row);
        event->accept();
        return;
    }
    if ((event->key() == Qt::Key_Menu && modifiers == Qt::NoModifier) ||
        (event->key() == Qt::Key_F10 && modifiers == Qt::ShiftModifier)) {
        emit RowMenuRequested(RowMenuPoint());
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

namespace {
// The filter bar's word for suspended accounts, in lower case.
QString SuspendedWord() {
    const QString word = Text(StatusText(66)).trimmed().toLower();
    return word.isEmpty() ? QStringLiteral("suspended") : word;
}

bool SuspendedRow(const TStringGridData& data, int listMode, int dataRow) {
    return listMode == kListModeAccounts && data.ColCount() > kAccSuspendedCol &&
           data.Cell(kAccSuspendedCol, dataRow) == "1";
}
} // namespace

QString TSkinedStringGrid::AccessibleCellName(int col, int dataRow) const {
    if (dataRow < 1)
        return {};
    if (ShownList == kListModeAccounts && col == kAccPanelCol)
        return Text(StatusText(kPanelHintText));
    if (col == kAccUserCol && SuspendedRow(data_, ShownList, dataRow))
        return Text(data_.Cell(col, dataRow)) + QStringLiteral(", ") + SuspendedWord();
    return {};
}

QString TSkinedStringGrid::AccessibleCellDescription(int col, int dataRow) const {
    if (dataRow < 1)
        return {};
    if (ShownList == kListModeAccounts && col == kAccPanelCol)
        return Text(data_.Cell(col, dataRow));
    if (SuspendedRow(data_, ShownList, dataRow))
        return SuspendedWord();
    return {};
}

void TSkinedStringGrid::mousePressEvent(QMouseEvent* event) {
    AccListMouseDown(event);
}

void TSkinedStringGrid::AccListMouseDown(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    const QModelIndex index = indexAt(pos);
    if (!index.isValid() || index.column() < 1) {
        QTableView::mousePressEvent(event);
        return;
    }
    const int dataRow = model_->DataRow(index.row());
    const bool onIcon = OnRowIcon(pos);
    const bool onLink = OnLinkText(pos);
    pressOpenedDetails_ = false;
    QTableView::mousePressEvent(event); // makes the row current
    viewport()->update();
    if (event->button() != Qt::LeftButton)
        return;
    if (onIcon) {
        emit RowMenuRequested(viewport()->mapToGlobal(pos));
    } else if (ShownList == kListModePackages && index.column() == kPkgNameCol && onLink) {
        pressOpenedDetails_ = true;
        emit DetailsRequested(dataRow);
    } else if (onLink) {
        const QString text = (ShownList == kListModeAccounts && index.column() == kAccPanelCol)
                                 ? Text(data_.Cell(kAccPanelCol, dataRow))
                                 : Text(data_.Cell(index.column(), dataRow));
        emit LinkClicked(text);
    }
}

void TSkinedStringGrid::mouseMoveEvent(QMouseEvent* event) {
    AccListMouseMove(event);
}

void TSkinedStringGrid::AccListMouseMove(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    const QModelIndex index = indexAt(pos);
    const int row = index.isValid() ? index.row() : -1;
    const int col = index.isValid() ? index.column() : -1;
    if (row != hoverRow_ || col != hoverCol_) {
        const QModelIndex old = model_->index(hoverRow_, hoverCol_);
        hoverRow_ = row;
        hoverCol_ = col;
        if (old.isValid())
            viewport()->update(visualRect(old));
        if (index.isValid())
            viewport()->update(visualRect(index));
    }
    viewport()->setCursor(OnRowIcon(pos) || OnLinkText(pos) ? Qt::PointingHandCursor : Qt::ArrowCursor);
    if (event->buttons() == Qt::NoButton)
        return; // no drag selection on a hover
    QTableView::mouseMoveEvent(event);
}

void TSkinedStringGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    if (std::exchange(pressOpenedDetails_, false))
        return; // the press of this double click opened them already
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid() && event->button() == Qt::LeftButton)
        emit DetailsRequested(model_->DataRow(index.row()));
}

void TSkinedStringGrid::leaveEvent(QEvent* event) {
    const QModelIndex old = model_->index(hoverRow_, hoverCol_);
    hoverRow_ = hoverCol_ = -1;
    if (old.isValid())
        viewport()->update(visualRect(old));
    QTableView::leaveEvent(event);
}

bool TSkinedStringGrid::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QModelIndex index = indexAt(help->pos());
        QString hint;
        if (index.isValid()) {
            const int dataRow = model_->DataRow(index.row());
            QRect text = TextRect(index.row(), index.column());
            if (ShownList == kListModeAccounts && index.column() == kAccPanelCol)
                text = visualRect(index); // the panel cell shows an icon or "CP"
            if (text.contains(help->pos()))
                hint = CellHint(dataRow, index.column());
        }
        if (hint.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), PlainHint(hint), viewport()); // server data
        return true;
    }
    return QTableView::viewportEvent(event);
}

} // namespace parlomar
