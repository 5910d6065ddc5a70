#include "gui/tools/TracertUnit.h"

#include "core/tools/TracertParser.h"
#include "gui/info/AboutUnit.h"
#include "gui/settings/Captions.h"
#include "gui/skins/Controls.h"
#include "gui/skins/SkinButton.h"
#include "gui/skins/SkinedStringGrid.h"
#include "gui/skins/Skins.h"
#include "gui/tools/TracertThreadUnit.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QProgressBar>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QToolButton>

#include <cmath>

namespace parlomar {

namespace {

constexpr int kClientWidth = 428;
constexpr int kClientHeight = 298;
constexpr int kGridBorder = 6;
constexpr int kStripHeight = 51;
constexpr int kFooterHeight = 14;
constexpr int kStatusBarHeight = 20;
constexpr int kPanelWidths[2] = {408, 18};
constexpr int kRowHeight = 20;
constexpr int kCancelImage = 16;

const QColor kLostProbeColor(0xFF, 0xCA, 0xE4);
const QColor kEvenRowColor(0xF3, 0xF3, 0xF3);
const QColor kHeadingLineColor(0xC8, 0xCD, 0xD3);

class TracertDelegate : public QStyledItemDelegate {
public:
    TracertDelegate(TTracertForm* form, TTracertGrid* grid)
        : QStyledItemDelegate(grid), form_(form), grid_(grid) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        painter->save();
        // The newest hop is selected by each new output, for the copy; only a row the user chose
        // is drawn as selected.
        form_->GridDrawCell(painter, index.column(), grid_->Model()->DataRow(index.row()), option.rect,
                            (option.state & QStyle::State_Selected) != 0 && form_->UserSelection());
        painter->restore();
    }

private:
    TTracertForm* form_;
    TTracertGrid* grid_;
};

class TracertHeader : public QHeaderView {
public:
    explicit TracertHeader(TTracertForm* form, QWidget* parent)
        : QHeaderView(Qt::Horizontal, parent), form_(form) {}

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override {
        painter->save();
        form_->GridDrawCell(painter, logicalIndex, 0, rect, false);
        painter->restore();
    }

private:
    TTracertForm* form_;
};

bool HasLostProbe(const TStringGridData& data, int row) {
    for (int col = 0; col < data.ColCount(); ++col)
        if (data.Cell(col, row) == "*")
            return true;
    return false;
}

} // namespace

TTracertGrid::TTracertGrid(QWidget* parent) : QTableView(parent) {
    data_.SetDefaultRowHeight(kRowHeight);
    SetTraceGridHeaders(data_);
    model_ = new TStringGridModel(&data_, this);
    setModel(model_);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(kRowHeight);
    setShowGrid(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWordWrap(false);
    setFrameShape(QFrame::Box); // flat, no 3-D look
    setFrameShadow(QFrame::Plain);
    setContextMenuPolicy(Qt::CustomContextMenu);
}

int TTracertGrid::SelectedRow() const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? 0 : model_->DataRow(rows.first().row());
}

void TTracertGrid::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        emit CopyRequested();
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

TTracertForm::TTracertForm(QWidget* owner, const QList<QPixmap>* images)
    : TSkinnedForm(QStringLiteral("TracertForm"), owner), images_(images) {
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    setFixedSize(kClientWidth, kClientHeight);

    Grid = Named(new TTracertGrid(this), "Grid");
    Grid->setGeometry(kGridBorder, kGridBorder, kClientWidth - 2 * kGridBorder,
                      kClientHeight - kStripHeight - 2 * kGridBorder);
    auto* header = new TracertHeader(this, Grid);
    Grid->setHorizontalHeader(header);
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setFixedHeight(kRowHeight);
    header->setHighlightSections(false);
    Grid->setItemDelegate(new TracertDelegate(this, Grid));
    Grid->viewport()->installEventFilter(this);
    Grid->installEventFilter(this);
    GridMenu = Named(new QMenu(this), "GridMenu");
    Copytoclipboard1 =
        Named(new TMenuItem(QStringLiteral("Copy to clipboard"), GridMenu), "Copytoclipboard1");
    Copytoclipboard1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    GridMenu->addAction(Copytoclipboard1);
    connect(Copytoclipboard1, &QAction::triggered, this, &TTracertForm::Copytoclipboard1Click);
    connect(Grid, &TTracertGrid::CopyRequested, this, &TTracertForm::Copytoclipboard1Click);
    connect(Grid, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { GridMenu->popup(Grid->viewport()->mapToGlobal(at)); });

    OkCancelPanel = Named(new TPanel(this), "OkCancelPanel");
    OkCancelPanel->setGeometry(0, kClientHeight - kStripHeight, kClientWidth, kStripHeight);
    FooterImage = Named(new TImage(OkCancelPanel), "FooterImage");
    FooterImage->setGeometry(0, 0, kClientWidth, kFooterHeight);
    OKButton = Named(new TSkinButton(QStringLiteral("OK"), OkCancelPanel), "OKButton");
    connect(OKButton, &QPushButton::clicked, this, &TTracertForm::OKButtonClick);
    StatusBar = new QStatusBar(OkCancelPanel);
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    StatusBar->setSizeGripEnabled(false);
    StatusBar->setGeometry(0, kStripHeight - kStatusBarHeight, kClientWidth, kStatusBarHeight);
    int left = 0;
    for (int i = 0; i < 2; ++i) {
        auto* panel = new QFrame(StatusBar);
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setGeometry(left, 0, kPanelWidths[i], kStatusBarHeight);
        left += kPanelWidths[i] + 2;
        StatusPanels[i] = panel;
    }

    ProgressBar = new QProgressBar(this);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setRange(0, 50);
    ProgressBar->setValue(0);
    ProgressBar->setTextVisible(false);

    FormCreate();
}

TTracertForm::~TTracertForm() = default;

void TTracertForm::FormCreate() {
    const bool skin = SkinActive();
    SetSkinFrame(skin);
    StatusBar->setVisible(!skin);
    // The cancel button: flat, transparent, with a hand cursor.
    CancelButton = new QToolButton(this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    CancelButton->setAutoRaise(true);
    CancelButton->setCursor(Qt::PointingHandCursor);
    CancelButton->setToolTip(QStringLiteral("Cancel tracert process"));
    const QPixmap picture = images_ ? images_->value(kCancelImage) : QPixmap();
    CancelButton->setIcon(picture);
    CancelButton->setIconSize(picture.isNull() ? QSize(16, 16) : PictureSize(picture));
    CancelButton->setStyleSheet(QStringLiteral("QToolButton { border: none; background: transparent; }"));
    connect(CancelButton, &QToolButton::clicked, this, &TTracertForm::CancelButtonClick);
    PlaceStatusControls();
    // One status bar panel, no cancel button and no progress until a trace starts.
    StatusPanels[1]->hide();
    CancelButton->hide();
    ProgressBar->hide();
}

void TTracertForm::PlaceStatusControls() {
    const int imageSize = CancelButton->iconSize().height();
    if (SkinActive()) {
        // On the bottom strip, below the footer picture's edge.
        const int top = FooterImage->y() + 10;
        ProgressBar->setParent(OkCancelPanel);
        ProgressBar->setGeometry(kGridBorder, top, kClientWidth - 2 * kGridBorder - imageSize, imageSize);
        CancelButton->setParent(OkCancelPanel);
        CancelButton->setGeometry(kClientWidth - kGridBorder - imageSize, top, imageSize, imageSize);
        OKButton->setGeometry((kClientWidth - 75) / 2, top + imageSize, 75, 25);
    } else {
        // In the status bar's panels.
        ProgressBar->setParent(StatusBar);
        ProgressBar->setGeometry(1, 2, kPanelWidths[0], kStatusBarHeight - 2);
        CancelButton->setParent(StatusBar);
        CancelButton->setGeometry(kPanelWidths[0] + 3, 2, kPanelWidths[1], kStatusBarHeight - 2);
        OKButton->setGeometry((kClientWidth - 75) / 2, (kStripHeight - kStatusBarHeight - 25) / 2, 75, 25);
    }
}

void TTracertForm::TraceStarted() {
    StatusPanels[1]->show();
    CancelButton->show();
    CancelButton->raise();
    ProgressBar->setValue(0);
    ProgressBar->show();
}

void TTracertForm::TraceEnded() {
    ProgressBar->hide();
    CancelButton->hide();
    StatusPanels[1]->hide();
}

void TTracertForm::StepProgress() {
    if (ProgressBar->isHidden())
        return;
    ProgressBar->setValue(ProgressBar->value() >= ProgressBar->maximum() ? 0 : ProgressBar->value() + 1);
}

void TTracertForm::FormShow() {
    ApplyCaptions(this);
    ApplySkin(this, QStringLiteral("TracertForm"), CheckBoxImages());
    setWindowTitle(windowTitle() + QString::fromUtf8(kMakerCredit));
}

void TTracertForm::showEvent(QShowEvent* event) {
    if (!shown_) {
        shown_ = true;
        FormShow();
        if (const QScreen* screen = this->screen())
            move(screen->availableGeometry().center() - rect().center());
    }
    TSkinnedForm::showEvent(event);
}

void TTracertForm::resizeEvent(QResizeEvent* event) {
    TSkinnedForm::resizeEvent(event);
    LayoutTraceGrid();
}

void TTracertForm::ShowTraceOutput(const std::string& text) {
    if (text == shownText_ && Grid->RowCount() > 0)
        return;
    shownText_ = text;
    ParseTraceOutput(text, Grid->Data());
    Grid->Model()->Refresh();
    LayoutTraceGrid();
}

void TTracertForm::LayoutTraceGrid() {
    TStringGridData& data = Grid->Data();
    SetTraceGridHeaders(data);
    std::vector<int> heights;
    heights.reserve(static_cast<size_t>(data.RowCount()));
    for (int row = 0; row < data.RowCount(); ++row)
        heights.push_back(data.RowHeight(row));
    const auto widths = TraceColumnWidths(Grid->width(), Grid->height(), heights, 1,
                                          style()->pixelMetric(QStyle::PM_ScrollBarExtent));
    for (int col = 0; col < kTraceColumnCount; ++col)
        Grid->setColumnWidth(col, widths[static_cast<size_t>(col)]);
    const int rows = Grid->Model()->rowCount();
    if (rows > 0) {
        Grid->selectRow(rows - 1);
        Grid->scrollToBottom();
    }
    userSelection_ = false;
    Grid->viewport()->update();
}

void TTracertForm::GridDrawCell(QPainter* painter, int col, int row, const QRect& rect, bool selected) const {
    const TStringGridData& data = Grid->Data();
    // The fill reaches the grid's right edge from the last column on.
    QRect fill = rect;
    if (col == kTraceColumnCount - 1)
        fill.setRight(std::max(rect.right(), Grid->viewport()->width()));
    // With a skin the heading row is the main window's heading picture, its text dark or light as
    // the picture needs.
    const QPixmap heading = row == 0 && SkinActive() ? SharedHeadingPicture() : QPixmap();
    QColor textColor = Qt::black;
    if (!heading.isNull()) {
        DrawStretched(*painter, fill, heading);
        if (heading.toImage().pixelColor(heading.width() / 2, heading.height() / 2).lightness() < 128)
            textColor = Qt::white;
    } else if (row == 0) {
        QLinearGradient strip(fill.topLeft(), fill.bottomLeft());
        strip.setColorAt(0, QColor(0xFA, 0xFA, 0xFA));
        strip.setColorAt(1, QColor(0xE6, 0xE9, 0xED));
        painter->fillRect(fill, strip);
        painter->setPen(kHeadingLineColor);
        painter->drawLine(fill.bottomLeft(), fill.bottomRight());
        if (col > 0)
            painter->drawLine(rect.topLeft() + QPoint(0, 3), rect.bottomLeft() - QPoint(0, 3));
    } else if (selected) {
        painter->fillRect(fill, TSkinedStringGrid::SelectedColour);
    } else if (HasLostProbe(data, row)) {
        painter->fillRect(fill, kLostProbeColor);
    } else if (row % 2 == 0) {
        painter->fillRect(fill, kEvenRowColor);
    }
    const QString text = Q(data.Cell(col, row));
    const QFontMetrics metrics(painter->font());
    const int d = static_cast<int>(std::lround((rect.height() - metrics.height()) / 2.0));
    painter->setPen(textColor);
    painter->drawText(QRect(rect.left() + d, rect.top() + d, rect.width() - d, metrics.height()),
                      Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                      metrics.elidedText(text, Qt::ElideRight, std::max(0, rect.width() - 2 * d)));
}

QString TTracertForm::CopyText() const {
    const int row = Grid->SelectedRow();
    if (row < 1)
        return {};
    QStringList cells;
    for (int col = 0; col < kTraceColumnCount; ++col)
        cells << Q(Grid->Data().Cell(col, row));
    return cells.join(QLatin1Char('\t'));
}

void TTracertForm::Copytoclipboard1Click() {
    const QString text = CopyText();
    if (!text.isEmpty())
        CopyTextToClipboard(text);
}

void TTracertForm::CancelButtonClick() {
    if (Thread)
        Thread->StopTrace();
}

void TTracertForm::OKButtonClick() {
    close();
}

bool TTracertForm::FormKeyDown(QKeyEvent* event) {
    if (event->key() == Qt::Key_C && event->modifiers() == Qt::ControlModifier) {
        Copytoclipboard1Click();
        return true;
    }
    return false;
}

void TTracertForm::closeEvent(QCloseEvent* event) {
    // FormClose: a running trace stops; the window then goes away.
    if (Thread && Thread->Running())
        Thread->StopTrace();
    event->accept();
    TSkinnedForm::closeEvent(event);
    emit Closed();
}

bool TTracertForm::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == Grid->viewport() && event->type() == QEvent::MouseButtonPress) ||
        (watched == Grid && event->type() == QEvent::KeyPress))
        userSelection_ = true;
    return TSkinnedForm::eventFilter(watched, event);
}

void CloseTracertWindows() {
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* tracert = qobject_cast<TTracertForm*>(window))
            tracert->close();
}

} // namespace parlomar
