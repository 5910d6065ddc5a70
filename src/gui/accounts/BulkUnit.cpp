#include "gui/accounts/BulkUnit.h"

#include "core/settings/Localization.h"
#include "gui/info/AboutUnit.h"
#include "gui/settings/Captions.h"
#include "gui/skins/Controls.h"
#include "gui/skins/HeadingStrip.h"
#include "gui/skins/SkinButton.h"
#include "gui/skins/SkinedStringGrid.h"
#include "gui/skins/Skins.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QProgressBar>
#include <QScreen>
#include <QStyledItemDelegate>
#include <QToolTip>
#include <QVBoxLayout>

namespace parlomar {

namespace {

constexpr int kClientWidth = 600;
constexpr int kClientHeight = 420;
constexpr int kRowHeight = 22;
constexpr int kOutcomeCol = 2;

bool IsFailure(int outcome) {
    const auto value = static_cast<BulkOutcome>(outcome);
    return value == BulkOutcome::Refused || value == BulkOutcome::Failed || value == BulkOutcome::SignedOut;
}

bool IsGrey(int outcome) {
    const auto value = static_cast<BulkOutcome>(outcome);
    return value == BulkOutcome::Skipped || value == BulkOutcome::NotSent;
}

class BulkDelegate : public QStyledItemDelegate {
public:
    explicit BulkDelegate(TBulkGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const int row = grid_->Model()->DataRow(index.row());
        const TStringGridData& data = grid_->Data();
        const int outcome = data.Object(kOutcomeCol, row);
        painter->save();
        QColor background =
            row % 2 == 0 ? TSkinedStringGrid::EvenRowColour : option.palette.color(QPalette::Base);
        if (IsFailure(outcome))
            background = TBulkGrid::FailureColour;
        if (option.state & QStyle::State_Selected)
            background = TSkinedStringGrid::SelectedColour;
        painter->fillRect(option.rect, background);
        painter->setPen(IsGrey(outcome) ? QColor(0x99, 0x99, 0x99) : QColor(Qt::black));
        const QRect text = option.rect.adjusted(6, 0, -4, 0);
        painter->drawText(
            text, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
            option.fontMetrics.elidedText(Q(data.Cell(index.column(), row)), Qt::ElideRight, text.width()));
        painter->restore();
    }

private:
    TBulkGrid* grid_;
};

// The heading: the main window's heading picture with a skin, a soft strip without one.
class BulkHeader : public QHeaderView {
public:
    explicit BulkHeader(TBulkGrid* grid) : QHeaderView(Qt::Horizontal, grid), grid_(grid) {}

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override {
        painter->save();
        const QPixmap heading = SkinActive() ? SharedHeadingPicture() : QPixmap();
        QColor text = Qt::black;
        if (!heading.isNull()) {
            DrawStretched(*painter, rect, heading);
            if (heading.toImage().pixelColor(heading.width() / 2, heading.height() / 2).lightness() < 128)
                text = Qt::white;
        } else {
            DrawPlainHeadingStrip(*painter, rect, logicalIndex > 0, 3);
        }
        painter->setPen(text);
        const QRect area = rect.adjusted(6, 0, -4, 0);
        painter->drawText(
            area, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
            fontMetrics().elidedText(Q(grid_->Data().Cell(logicalIndex, 0)), Qt::ElideRight, area.width()));
        painter->restore();
    }

private:
    TBulkGrid* grid_;
};

} // namespace

const QColor TBulkGrid::FailureColour(0xFF, 0xDD, 0xDD);

TBulkGrid::TBulkGrid(QWidget* parent) : QTableView(parent) {
    data_.SetDefaultRowHeight(kRowHeight);
    model_ = new TStringGridModel(&data_, this);
    setModel(model_);
    setItemDelegate(new BulkDelegate(this));
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(kRowHeight);
    setHorizontalHeader(new BulkHeader(this));
    horizontalHeader()->setFixedHeight(kRowHeight);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(true);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setShowGrid(false);
    setWordWrap(false);
    setFrameShape(QFrame::Box);
    setFrameShadow(QFrame::Plain);
}

bool TBulkGrid::viewportEvent(QEvent* event) {
    if (event->type() != QEvent::ToolTip)
        return QTableView::viewportEvent(event);
    auto* help = static_cast<QHelpEvent*>(event);
    const QModelIndex index = indexAt(help->pos());
    const QString text =
        index.isValid() ? Q(data_.Cell(index.column(), model_->DataRow(index.row()))) : QString();
    if (!text.isEmpty() && fontMetrics().horizontalAdvance(text) > visualRect(index).width() - 10)
        QToolTip::showText(help->globalPos(), PlainHintText(text), viewport());
    else
        QToolTip::hideText();
    return true;
}

TBulkForm::TBulkForm(QWidget* owner, BulkKind kind, const std::vector<BulkEntry>& entries)
    : TSkinnedForm(QStringLiteral("BulkForm"), owner), Kind(kind), entries_(entries) {
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    setModal(false);
    resize(kClientWidth, kClientHeight);
    setMinimumSize(360, 260);
    SetSizeable(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    ToolPanel = Named(new TPanel(this), "ToolPanel");
    auto* top = new QVBoxLayout(ToolPanel);
    top->setContentsMargins(12, 10, 12, 8);
    top->setSpacing(6);
    TitleLabel = Named(new TLabel(ToolPanel), "TitleLabel", kTagSmallBold);
    QFont bold = TitleLabel->font();
    bold.setBold(true);
    bold.setPointSize(10);
    TitleLabel->setFont(bold);
    ProgressLabel = Named(new TLabel(ToolPanel), "ProgressLabel", kTagNoCaption);
    ProgressLabel->setWordWrap(true);
    ProgressBar = new QProgressBar(ToolPanel);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setTextVisible(false);
    ProgressBar->setFixedHeight(14);
    top->addWidget(TitleLabel);
    top->addWidget(ProgressLabel);
    top->addWidget(ProgressBar);
    layout->addWidget(ToolPanel);

    auto* gridPanel = new QWidget(this);
    auto* gridLayout = new QVBoxLayout(gridPanel);
    gridLayout->setContentsMargins(12, 0, 12, 6);
    ResultGrid = Named(new TBulkGrid(gridPanel), "ResultGrid");
    gridLayout->addWidget(ResultGrid);
    layout->addWidget(gridPanel, 1);

    BottomPanel = Named(new TPanel(this), "BottomPanel");
    BottomPanel->setFixedHeight(51);
    auto* bottom = new QVBoxLayout(BottomPanel);
    bottom->setContentsMargins(0, 0, 0, 0);
    bottom->setSpacing(0);
    FooterImage = Named(new TImage(BottomPanel), "FooterImage");
    FooterImage->setFixedHeight(14);
    bottom->addWidget(FooterImage);
    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(12, 0, 12, 8);
    StopButton = Named(new TSkinButton(QStringLiteral("Stop"), BottomPanel), "StopButton");
    CloseBtn = Named(new TSkinButton(QStringLiteral("Close window"), BottomPanel), "CloseBtn");
    buttons->addStretch(1);
    buttons->addWidget(StopButton);
    buttons->addWidget(CloseBtn);
    bottom->addLayout(buttons);
    layout->addWidget(BottomPanel);
    connect(StopButton, &QPushButton::clicked, this, &TBulkForm::StopRequested);
    connect(CloseBtn, &QPushButton::clicked, this, &QWidget::close);

    TStringGridData& data = ResultGrid->Data();
    data.SetColCount(3);
    data.SetRowCount(static_cast<int>(entries_.size()) + 1);
    data.SetCell(0, 0, StatusText(27));
    data.SetCell(1, 0, StatusText(28));
    data.SetCell(kOutcomeCol, 0, StatusText(120));
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const int row = static_cast<int>(i) + 1;
        data.SetCell(0, row, entries_[i].user);
        data.SetCell(1, row, entries_[i].domain);
        ShowEntry(i);
    }
    ResultGrid->Model()->Refresh();
    ResultGrid->setColumnWidth(0, 120);
    ResultGrid->setColumnWidth(1, 180);

    TitleLabel->setText(Q(BulkHeading(kind)));
    setWindowTitle(Q(BulkHeading(kind)));
    const BulkCounts counts = CountBulk(entries_);
    ProgressBar->setRange(0, std::max(1, counts.toSend));
    ShowCounts();
    CloseBtn->setEnabled(false);
}

void TBulkForm::ShowEntry(std::size_t index) {
    const BulkEntry& entry = entries_[index];
    const int row = static_cast<int>(index) + 1;
    TStringGridData& data = ResultGrid->Data();
    data.SetCell(kOutcomeCol, row, BulkOutcomeText(entry, Kind));
    data.SetObject(kOutcomeCol, row, static_cast<int>(entry.outcome));
}

void TBulkForm::ShowCounts() {
    const BulkCounts counts = CountBulk(entries_);
    ProgressBar->setValue(counts.sent);
    if (finished_)
        ProgressLabel->setText(Q(BulkCountsText(counts)));
    else if (!StopButton->isEnabled())
        ProgressLabel->setText(Q(BulkProgressText(counts.sent, counts.toSend) + " - " + StatusText(121)));
    else
        ProgressLabel->setText(Q(BulkProgressText(counts.sent, counts.toSend)));
}

void TBulkForm::EntryDone(std::size_t index, const BulkEntry& entry) {
    if (finished_ || index >= entries_.size())
        return;
    entries_[index] = entry;
    ShowEntry(index);
    ShowCounts();
    ResultGrid->Model()->CellsChanged();
    const QModelIndex shown = ResultGrid->Model()->index(static_cast<int>(index), 0);
    ResultGrid->scrollTo(shown); // the account being worked on stays in view
}

void TBulkForm::RunStopping() {
    StopButton->setEnabled(false);
    ShowCounts();
}

void TBulkForm::RunFinished(const std::vector<BulkEntry>& entries) {
    if (entries.size() == entries_.size())
        entries_ = entries;
    finished_ = true;
    for (std::size_t i = 0; i < entries_.size(); ++i)
        ShowEntry(i);
    ResultGrid->Model()->CellsChanged();
    ProgressBar->hide();
    StopButton->hide();
    CloseBtn->setEnabled(true);
    CloseBtn->setDefault(true);
    ShowCounts();
    // The first account that did not go through, else the top.
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (IsFailure(static_cast<int>(entries_[i].outcome))) {
            ResultGrid->scrollTo(ResultGrid->Model()->index(static_cast<int>(i), 0));
            return;
        }
    }
    ResultGrid->scrollToTop();
}

void TBulkForm::FormShow() {
    ApplyCaptions(this);
    ApplySkin(this, QStringLiteral("BulkForm"), CheckBoxImages());
    setWindowTitle(Q(BulkHeading(Kind)) + QString::fromUtf8(kMakerCredit));
}

void TBulkForm::showEvent(QShowEvent* event) {
    if (!shown_) {
        shown_ = true;
        FormShow();
        if (const QScreen* screen = this->screen())
            move(screen->availableGeometry().center() - rect().center());
    }
    TSkinnedForm::showEvent(event);
}

bool TBulkForm::FormKeyDown(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return true;
    }
    return false;
}

void TBulkForm::closeEvent(QCloseEvent* event) {
    if (!finished_) {
        // The run goes on until it has stopped; the summary then shows what was done.
        event->ignore();
        if (StopButton->isEnabled())
            emit StopRequested();
        return;
    }
    event->accept();
    TSkinnedForm::closeEvent(event);
}

} // namespace parlomar
