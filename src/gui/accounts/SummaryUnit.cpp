#include "gui/accounts/SummaryUnit.h"

#include "core/accounts/ListGrid.h"
#include "core/server/ApiRequests.h"
#include "core/server/Global.h"
#include "core/server/HttpTransport.h"
#include "core/server/TransportUi.h"
#include "core/settings/Localization.h"
#include "gui/accounts/AddUnit.h"
#include "gui/app/AsyncRequest.h"
#include "gui/info/AboutUnit.h"
#include "gui/settings/Captions.h"
#include "gui/skins/Controls.h"
#include "gui/skins/FocusFrame.h"
#include "gui/skins/SkinButton.h"
#include "gui/skins/SkinedStringGrid.h"
#include "gui/skins/Skins.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QToolTip>

#include <cmath>

namespace parlomar {

namespace {

constexpr int kClientWidth = 376;
constexpr int kClientHeight = 442;
constexpr int kToolPanelHeight = 59;
constexpr int kBottomPanelHeight = 51;
constexpr int kFooterHeight = 14;

const QColor kNameCellColor(0xED, 0xF2, 0xF6);
const QColor kCaptionTextColor(0x4F, 0x64, 0x7A); // names, bar frame, limit text: a readable slate
const QColor kHeaderColor(0xEC, 0xEF, 0xEF);
const QColor kHeaderTextColor(0x8A, 0xB4, 0xD9);
const QColor kSelectedRowColor(0xD8, 0xF4, 0xFC);
const QColor kGridLineColor(0xE1, 0xE6, 0xEA);
const QColor kBarColor(0xF4, 0xF8, 0xFA);
const QColor kBarUsedColor(0xA6, 0xD9, 0x7C);
const QColor kBarFullColor(0xF0, 0xA0, 0x8C);
const QColor kBarTextColor(0x26, 0x38, 0x47);

QList<QPointer<TSummaryForm>>& Registry() {
    static QList<QPointer<TSummaryForm>> windows;
    return windows;
}

class SummaryDelegate : public QStyledItemDelegate {
public:
    SummaryDelegate(TSummaryForm* form, QObject* parent) : QStyledItemDelegate(parent), form_(form) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        form_->SummaryGridDrawCell(painter, index.column(), index.row(), option.rect,
                                   (option.state & QStyle::State_Selected) != 0);
        // The current row's focus frame while the grid has the focus: one frame over both columns.
        const auto* grid = qobject_cast<const QAbstractItemView*>(parent());
        if (grid && grid->hasFocus() && grid->currentIndex().row() == index.row()) {
            painter->save();
            painter->setPen(QPen(grid->palette().color(QPalette::Active, QPalette::Highlight), 2));
            const QRect inner = option.rect.adjusted(0, 1, 0, -1);
            painter->drawLine(inner.topLeft(), inner.topRight());
            painter->drawLine(inner.bottomLeft(), inner.bottomRight());
            painter->drawLine(index.column() == 0 ? inner.topLeft() + QPoint(1, 0) : inner.topRight(),
                              index.column() == 0 ? inner.bottomLeft() + QPoint(1, 0) : inner.bottomRight());
            painter->restore();
        }
    }

private:
    TSummaryForm* form_;
};

QPixmap ToolIcon(char kind, bool enabled, qreal density) {
    QPixmap pixmap = PlainCanvas(16, 16, density);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor color = !enabled      ? QColor(0xB8, 0xC0, 0xC6)
                         : kind == 'r' ? QColor(0x4C, 0xA6, 0x3C)
                         : kind == 'p' ? QColor(0xE0, 0x9A, 0x2A)
                                       : QColor(0xC8, 0x46, 0x3C);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    if (kind == 'r') {
        QPainterPath path;
        path.moveTo(4, 2);
        path.lineTo(14, 8);
        path.lineTo(4, 14);
        path.closeSubpath();
        painter.drawPath(path);
    } else if (kind == 'p') {
        painter.drawRect(QRectF(3, 2, 4, 12));
        painter.drawRect(QRectF(9, 2, 4, 12));
    } else {
        painter.setPen(QPen(color, 3, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(4, 4), QPointF(12, 12));
        painter.drawLine(QPointF(12, 4), QPointF(4, 12));
    }
    return pixmap;
}

QIcon ToolButtonIcon(char kind) {
    QIcon icon;
    // At 1x and 2x: the icon takes the one that suits the screen.
    for (const qreal density : {1.0, 2.0}) {
        icon.addPixmap(ToolIcon(kind, true, density), QIcon::Normal);
        icon.addPixmap(ToolIcon(kind, false, density), QIcon::Disabled);
    }
    return icon;
}

} // namespace

TSummaryGrid::TSummaryGrid(QWidget* parent) : QTableWidget(parent) {
    setProperty(kOwnFocusFrame, true);
    setColumnCount(2);
    horizontalHeader()->hide();
    verticalHeader()->hide();
    setShowGrid(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false); // Tab goes on to the buttons; the arrow keys move within the grid
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setMouseTracking(true);
    setWordWrap(false);
    QFont arial(QStringLiteral("Arial"));
    arial.setPointSize(8);
    setFont(arial);
}

void TSummaryGrid::focusInEvent(QFocusEvent* event) {
    QTableWidget::focusInEvent(event);
    viewport()->update();
}

void TSummaryGrid::focusOutEvent(QFocusEvent* event) {
    QTableWidget::focusOutEvent(event);
    viewport()->update();
}

void TSummaryGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableWidget::currentChanged(current, previous);
    viewport()->update();
}

bool TSummaryGrid::viewportEvent(QEvent* event) {
    if (OnViewportEvent && OnViewportEvent(event))
        return true;
    return QTableWidget::viewportEvent(event);
}

QList<TSummaryForm*> OpenDetailsWindows() {
    QList<TSummaryForm*> windows;
    for (const auto& window : Registry())
        if (window)
            windows.append(window.data());
    return windows;
}

void CloseDetailsWindows() {
    for (TSummaryForm* window : OpenDetailsWindows()) {
        window->close();
        delete window;
    }
    Registry().clear();
}

TSummaryForm::TSummaryForm(QWidget* owner)
    : TSkinnedForm(QStringLiteral("SummaryForm"), owner),
      table_(std::make_unique<TDetailsTable>(kAccountDetails)) {
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::CustomizeWindowHint);
    setModal(false);
    escapeCloses_ = true;
    setFixedSize(kClientWidth, kClientHeight);
    setWindowTitle(QStringLiteral("Details"));

    ToolPanel = Named(new TPanel(this), "ToolPanel");
    ToolPanel->setGeometry(0, 0, kClientWidth, kToolPanelHeight);
    TitleLabel = Named(new TLabel(QStringLiteral("Details"), ToolPanel), "TitleLabel", kTagLargeBold);
    SetParentFont(TitleLabel, false);
    TitleLabel->setGeometry(10, 6, 230, 24);
    NameLabel = Named(new TLabel(ToolPanel), "NameLabel", kTagNoCaption);
    NameLabel->setGeometry(10, 32, 230, 20);
    NameLabel->installEventFilter(this);
    auto tool = [this](const char* name, const char* caption, char kind, int left) {
        auto* button = Named(new TToolButton(ToolPanel), name);
        button->setText(QString::fromUtf8(caption));
        button->setIcon(ToolButtonIcon(kind));
        button->setIconSize(QSize(16, 16));
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setAutoRaise(true);
        button->setGeometry(left, 6, 42, 44);
        return button;
    };
    RunButton = tool("RunButton", "Run", 'r', 236);
    PauseButton = tool("PauseButton", "Pause", 'p', 280);
    DeleteButton = tool("DeleteButton", "Delete", 'd', 324);
    MoveWindowOnPress(ToolPanel);

    const int middleHeight = kClientHeight - kToolPanelHeight - kBottomPanelHeight;
    GridPanel = Named(new TPanel(this), "GridPanel");
    GridPanel->setGeometry(0, kToolPanelHeight, kClientWidth, middleHeight);
    auto* frame = new QFrame(GridPanel);
    frame->setFrameShape(QFrame::Box);
    frame->setStyleSheet(QStringLiteral("QFrame { border: 1px solid #A0A8B0; }"));
    frame->setGeometry(6, 0, kClientWidth - 12, middleHeight);
    SummaryGrid = Named(new TSummaryGrid(GridPanel), "SummaryGrid");
    SummaryGrid->setGeometry(7, 1, kClientWidth - 14, middleHeight - 2);
    SummaryGrid->setItemDelegate(new SummaryDelegate(this, SummaryGrid));
    SummaryGrid->OnViewportEvent = [this](QEvent* event) { return GridViewportEvent(event); };
    SummaryGrid->viewport()->setMouseTracking(true);

    MessPanel = Named(new TPanel(this), "MessPanel");
    MessPanel->setGeometry(0, kToolPanelHeight, kClientWidth, middleHeight);
    MessRichEdit = new QPlainTextEdit(MessPanel);
    MessRichEdit->setObjectName(QStringLiteral("MessRichEdit"));
    MessRichEdit->setReadOnly(true);
    MessRichEdit->setTabChangesFocus(true);
    MessRichEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    MessRichEdit->setGeometry(6, 0, kClientWidth - 12, middleHeight);
    MessPanel->hide();

    BottomPanel = Named(new TPanel(this), "BottomPanel");
    BottomPanel->setGeometry(0, kClientHeight - kBottomPanelHeight, kClientWidth, kBottomPanelHeight);
    ConfigureViewButton =
        Named(new TSkinButton(QStringLiteral("Configure view"), BottomPanel), "ConfigureViewButton");
    CloseBtn = Named(new TSkinButton(QStringLiteral("Close window"), BottomPanel), "CloseBtn");
    ConfigureViewButton->move(8, 8);
    FooterImage = Named(new TImage(BottomPanel), "FooterImage");
    FooterImage->setGeometry(0, kBottomPanelHeight - kFooterHeight, kClientWidth, kFooterHeight);
    connect(ConfigureViewButton, &QPushButton::clicked, this, &TSummaryForm::ConfigureViewButtonClick);
    connect(CloseBtn, &QPushButton::clicked, this, &QWidget::close);
    connect(RunButton, &QToolButton::clicked, this, &TSummaryForm::PauseButtonClick);
    connect(PauseButton, &QToolButton::clicked, this, &TSummaryForm::PauseButtonClick);
    connect(DeleteButton, &QToolButton::clicked, this, &TSummaryForm::DeleteButtonClick);

    Registry().append(QPointer<TSummaryForm>(this));
}

TSummaryForm::~TSummaryForm() {
    Registry().removeAll(QPointer<TSummaryForm>(this));
    // The grid's delegate and viewport hook call back into this window: remove the grid while this
    // is still a details window, not later among the base class's children.
    SummaryGrid->OnViewportEvent = nullptr;
    delete SummaryGrid;
    SummaryGrid = nullptr;
}

void TSummaryForm::showEvent(QShowEvent* event) {
    if (!shown_) {
        shown_ = true;
        FormShow();
    }
    TSkinnedForm::showEvent(event);
}

void TSummaryForm::resizeEvent(QResizeEvent* event) {
    TSkinnedForm::resizeEvent(event);
    UpdateColumnWidths();
}

void TSummaryForm::FormShow() {
    ApplyCaptions(this);
    ApplySkin(this, QStringLiteral("SummaryForm"), CheckBoxImages());
    CloseBtn->adjustSize();
    CloseBtn->move(kClientWidth - CloseBtn->width() - 8, 8);
    ConfigureViewButton->adjustSize();
    NameLabel->setText(Q(ItemName));
    table_ = std::make_unique<TDetailsTable>(DetailsKind);
    setWindowTitle(Q(DetailsTitle(ItemName)));
    TitleLabel->setText(Q(DetailsHeading(DetailsKind)));
    if (DetailsKind == kAccountDetails) {
        table_->ReadSpecialRows();
        FillTable();
        SetActionsEnabled(Suspended, !Suspended, true);
        QPalette palette = NameLabel->palette();
        palette.setColor(QPalette::WindowText, kLinkColor);
        NameLabel->setPalette(palette);
        QFont font = NameLabel->font();
        font.setBold(false);
        font.setItalic(false);
        font.setUnderline(false);
        NameLabel->setFont(font);
        NameLabel->setCursor(Qt::PointingHandCursor);
    } else {
        FillTable();
        RunButton->hide();
        PauseButton->hide();
        SetActionsEnabled(false, false, true);
    }
    setWindowTitle(windowTitle() + QString::fromUtf8(kMakerCredit));
}

void TSummaryForm::FillTable() {
    table_->Fill(RecordText);
    const bool panel = table_->ShowsTextPanel();
    MessPanel->setVisible(panel);
    GridPanel->setVisible(!panel);
    if (panel)
        MessRichEdit->setPlainText(Q(table_->PanelText()));
    SyncGrid();
}

void TSummaryForm::SyncGrid() {
    const TStringGridData& grid = table_->Grid();
    SummaryGrid->clearSpans();
    SummaryGrid->setRowCount(grid.RowCount());
    for (int row = 0; row < grid.RowCount(); ++row) {
        const int height = grid.RowHeight(row);
        SummaryGrid->setRowHidden(row, height <= 0);
        if (height > 0)
            SummaryGrid->setRowHeight(row, height);
        if (table_->IsGroupHeader(row))
            SummaryGrid->setSpan(row, 0, 1, 2);
    }
    UpdateColumnWidths();
    SummaryGrid->viewport()->update();
}

void TSummaryForm::UpdateColumnWidths() {
    if (!table_)
        return;
    const DetailsColumnWidths widths = table_->ColumnWidths(SummaryGrid->width(), SummaryGrid->height(), 0);
    SummaryGrid->setColumnWidth(0, widths.name);
    SummaryGrid->setColumnWidth(1, widths.value);
}

QRect TSummaryForm::GroupIconRect(const QRect& cell) {
    const int e = static_cast<int>(std::lround((cell.height() - 16) / 2.0));
    return QRect(cell.left() + e, cell.top() + e, 16, 16);
}

void TSummaryForm::SummaryGridDrawCell(QPainter* painter, int col, int row, const QRect& rect,
                                       bool selected) const {
    painter->save();
    painter->setClipRect(rect);
    painter->fillRect(rect, SummaryGrid->palette().color(QPalette::Base));
    if (table_->DrawsNothing(col, row)) {
        painter->restore();
        return;
    }
    QFont font = SummaryGrid->font();
    QColor textColor = SummaryGrid->palette().color(QPalette::Text);
    const std::string text = table_->DisplayText(col, row);
    const QString shown = Q(text);
    int indent = 0;

    if (col == 0) {
        painter->fillRect(rect, kNameCellColor);
        font.setBold(true);
        textColor = kCaptionTextColor;
    }
    if (ReadOnly && table_->IsPasswordLink(col, row)) {
        textColor = SummaryGrid->palette().color(QPalette::Disabled, QPalette::Text);
    } else if (table_->IsLinkCell(col, row)) {
        font.setUnderline(true);
        textColor = (col == hoverCol_ && row == hoverRow_) ? kLinkHoverColor : kLinkColor;
    }
    if (table_->IsGroupHeader(row)) {
        // The main window's heading picture behind the group, or the plain header colour.
        const QPixmap heading = SkinActive() ? SharedHeadingPicture() : QPixmap();
        if (heading.isNull())
            painter->fillRect(rect, kHeaderColor);
        else
            DrawStretched(*painter, rect, heading);
        const QRect icon = GroupIconRect(rect);
        const QPixmap toggle = SharedImage(table_->IsGroupOpen(row) ? 8 : 9);
        painter->drawPixmap(icon.topLeft(),
                            toggle.isNull() ? SectionToggleImage(table_->IsGroupOpen(row)) : toggle);
        indent = icon.left() - rect.left() + icon.width() + 2;
        font.setPointSize(10);
        font.setBold(true);
        font.setUnderline(false);
        textColor = kHeaderTextColor;
    } else if (selected && row != 0) {
        painter->fillRect(rect.adjusted(0, 0, 5, 0), kSelectedRowColor);
    }
    painter->setFont(font);
    const QFontMetrics metrics(font);
    const int d = static_cast<int>(std::lround((rect.height() - metrics.height()) / 2.0));

    if (table_->IsUsageBar(col, row)) {
        // The usage bar: a light bar, the used share filled green (red when full), both texts dark
        // enough to read on either fill; everything stays inside the cell.
        const DiskUsage usage = table_->Usage();
        const QRect inner = rect.adjusted(2, 2, -2, -2);
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(QPen(kCaptionTextColor, 1));
        painter->setBrush(kBarColor);
        painter->drawRoundedRect(QRectF(inner).adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
        const int used = usage.UsedWidth(rect.width() - 4);
        if (used > 0) {
            QPainterPath clip;
            clip.addRoundedRect(QRectF(inner).adjusted(1, 1, -1, -1), 4, 4);
            painter->save();
            painter->setClipPath(clip, Qt::IntersectClip);
            painter->fillRect(QRect(inner.left(), inner.top(), used, inner.height()),
                              usage.fraction >= 1 ? kBarFullColor : kBarUsedColor);
            painter->restore();
        }
        QFont barFont = SummaryGrid->font();
        painter->setFont(barFont);
        const QFontMetrics barMetrics(barFont);
        const int bd = static_cast<int>(std::lround((rect.height() - barMetrics.height()) / 2.0));
        painter->setPen(kCaptionTextColor);
        const QString limit = Q(usage.limitText);
        painter->drawText(QRect(rect.left(), rect.top() + bd, rect.width() - bd, barMetrics.height()),
                          Qt::AlignRight | Qt::AlignTop, limit);
        painter->setPen(kBarTextColor);
        painter->drawText(QPoint(inner.left() + bd, rect.top() + bd + barMetrics.ascent()),
                          Q(usage.usedText));
    } else {
        painter->setPen(textColor);
        painter->drawText(QPoint(rect.left() + d + indent, rect.top() + d + metrics.ascent()), shown);
    }
    if (!table_->IsGroupHeader(row)) {
        painter->setPen(kGridLineColor);
        painter->drawLine(rect.bottomLeft(), rect.bottomRight());
    }
    painter->restore();
}

QRect TSummaryForm::TextRect(int col, int row) const {
    const QRect cell = SummaryGrid->visualRect(SummaryGrid->model()->index(row, col));
    QFont font = SummaryGrid->font();
    if (col == 0)
        font.setBold(true);
    const QFontMetrics metrics(font);
    const int d = static_cast<int>(std::lround((cell.height() - metrics.height()) / 2.0));
    const int width = metrics.horizontalAdvance(Q(table_->DisplayText(col, row)));
    return QRect(cell.left() + d, cell.top() + d, width, metrics.height());
}

bool TSummaryForm::OverLinkText(const QPoint& at, int* colOut, int* rowOut) const {
    const QModelIndex index = SummaryGrid->indexAt(at);
    if (!index.isValid())
        return false;
    const int col = index.column();
    const int row = index.row();
    if (colOut)
        *colOut = col;
    if (rowOut)
        *rowOut = row;
    return IsLink(col, row) && !table_->IsGroupHeader(row) && TextRect(col, row).contains(at);
}

bool TSummaryForm::IsLink(int col, int row) const {
    return table_->IsLinkCell(col, row) && !(ReadOnly && table_->IsPasswordLink(col, row));
}

QString TSummaryForm::HintAt(const QPoint& at) const {
    const QModelIndex index = SummaryGrid->indexAt(at);
    if (index.isValid() && table_->IsUsageBar(index.column(), index.row()))
        return Q(table_->UsageHint());
    if (index.isValid()) // a value shown otherwise than received (a Unix time as a date)
        return Q(table_->ValueHint(index.column(), index.row()));
    return {};
}

void TSummaryForm::SummaryGridMouseDown(const QPoint& at) {
    const QModelIndex index = SummaryGrid->indexAt(at);
    if (!index.isValid())
        return;
    const int col = index.column();
    const int row = index.row();
    const std::string_view text = table_->Grid().Cell(col, row);
    // A cell whose text is a domain, mail or web address opens it (http, https and mailto only).
    if (IsLinkText(text) && !table_->IsGroupHeader(row) && TextRect(col, row).contains(at)) {
        const std::string address = LinkAddress(text);
        if (!address.empty())
            OpenLink(Q(address));
        return;
    }
    if (table_->IsGroupHeader(row)) {
        if (GroupIconRect(SummaryGrid->visualRect(index)).contains(at)) {
            table_->ToggleGroup(row);
            SyncGrid();
        }
        return;
    }
    if (table_->IsPasswordLink(col, row) && !ReadOnly && TextRect(col, row).contains(at) &&
        Calls.changePassword)
        Calls.changePassword(UserName);
}

bool TSummaryForm::GridViewportEvent(QEvent* event) {
    {
        if (event->type() == QEvent::MouseButtonPress) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton) {
                const QPoint at = mouse->position().toPoint();
                QPointer<TSummaryForm> self(this);
                SummaryGridMouseDown(at);
                if (!self)
                    return true;
            }
        } else if (event->type() == QEvent::MouseMove) {
            const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
            int col = -1;
            int row = -1;
            const bool link = OverLinkText(at, &col, &row);
            SummaryGrid->viewport()->setCursor(link ? Qt::PointingHandCursor : Qt::ArrowCursor);
            const int hoverCol = link ? col : -1;
            const int hoverRow = link ? row : -1;
            if (hoverCol != hoverCol_ || hoverRow != hoverRow_) {
                hoverCol_ = hoverCol;
                hoverRow_ = hoverRow;
                SummaryGrid->viewport()->update();
            }
        } else if (event->type() == QEvent::Leave) {
            hoverCol_ = hoverRow_ = -1;
            SummaryGrid->viewport()->update();
        } else if (event->type() == QEvent::ToolTip) {
            auto* help = static_cast<QHelpEvent*>(event);
            const QString hint = HintAt(help->pos());
            if (hint.isEmpty())
                QToolTip::hideText();
            else
                QToolTip::showText(help->globalPos(), TSkinedStringGrid::PlainHint(hint),
                                   SummaryGrid->viewport());
            return true;
        }
    }
    return false;
}

bool TSummaryForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == NameLabel && DetailsKind == kAccountDetails) {
        auto color = [this](const QColor& c) {
            QPalette palette = NameLabel->palette();
            palette.setColor(QPalette::WindowText, c);
            NameLabel->setPalette(palette);
        };
        if (event->type() == QEvent::Enter)
            color(kLinkHoverColor);
        else if (event->type() == QEvent::Leave)
            color(kLinkColor);
        else if (event->type() == QEvent::MouseButtonRelease) {
            NameLabelClick();
            return true;
        }
    }
    return TSkinnedForm::eventFilter(watched, event);
}

bool TSummaryForm::FormKeyDown(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return true;
    }
    return false;
}

void TSummaryForm::NameLabelClick() {
    if (DetailsKind != kAccountDetails)
        return;
    const std::string address = LinkAddress(S(NameLabel->text()));
    if (!address.empty())
        OpenLink(Q(address));
}

void TSummaryForm::SetActionsEnabled(bool runEnabled, bool pauseEnabled, bool deleteEnabled) {
    RunButton->setEnabled(runEnabled && !ReadOnly);
    PauseButton->setEnabled(pauseEnabled && !ReadOnly);
    DeleteButton->setEnabled(deleteEnabled && !ReadOnly);
}

void TSummaryForm::PauseButtonClick() {
    if (DetailsKind != kAccountDetails || !DeleteButton->isEnabled() || ReadOnly)
        return;
    QPointer<TSummaryForm> self(this);
    const bool runWas = RunButton->isEnabled();
    const bool pauseWas = PauseButton->isEnabled();
    SetActionsEnabled(false, false, false);
    const bool wasSuspended = SuspendedStateOf(RecordText) == 1;
    Suspended = wasSuspended;
    // The question first; the buttons stay off while the request runs.
    if (!AskQuestionText(SuspendQuestion(wasSuspended, UserName) + "?")) {
        if (self)
            SetActionsEnabled(runWas, pauseWas, true);
        return;
    }
    if (!self)
        return;
    StartRequest(
        this, Session,
        ApiItemUrl(BaseUrlOf(Session), std::string(SuspendFunction(wasSuspended)) + "?user=", UserName),
        [this, runWas, pauseWas, wasSuspended](const HttpReply& reply) {
            PauseDone(runWas, pauseWas, wasSuspended, reply);
        });
}

void TSummaryForm::PauseDone(bool runWas, bool pauseWas, bool wasSuspended, const HttpReply& reply) {
    QPointer<TSummaryForm> self(this);
    std::string status;
    std::string message;
    ReadUserCallReply(reply, status, message);
    if (!self)
        return;
    if (status.empty() && message.empty()) {
        SetActionsEnabled(runWas, pauseWas, true);
        return; // a failed transfer that was already reported
    }
    ShowMessageText(message.empty() ? ErrorText(11) : message);
    if (!self)
        return;
    const SuspendButtons buttons = ButtonsAfterSuspendReply(wasSuspended, status);
    Suspended = buttons.suspended;
    if (status == "relogin") {
        SetActionsEnabled(buttons.runEnabled, buttons.pauseEnabled, true);
        if (Calls.signedOut)
            Calls.signedOut();
        return;
    }
    if (Calls.refetchList)
        Calls.refetchList();
    if (!self)
        return;
    StartRequest(this, Session, AccountSummaryUrl(BaseUrlOf(Session), UserName),
                 [this, buttons](const HttpReply& summary) {
                     SetActionsEnabled(buttons.runEnabled, buttons.pauseEnabled, true);
                     RecordText = summary.text;
                     if (summary.status == kStatusOk && !IsSignedOutReply(summary.text, summary.httpStatus))
                         FillTable();
                 });
}

void TSummaryForm::DeleteButtonClick() {
    if (!DeleteButton->isEnabled() || ReadOnly)
        return;
    QPointer<TSummaryForm> self(this);
    const bool runWas = RunButton->isEnabled();
    const bool pauseWas = PauseButton->isEnabled();
    SetActionsEnabled(false, false, false);
    const bool account = DetailsKind == kAccountDetails;
    const std::string noun = StatusText(account ? 53 : 52);
    const std::string item = account ? UserName : ItemName;
    if (!AskQuestionText(CallQuestion(StatusText(51), noun, item))) {
        if (self)
            SetActionsEnabled(runWas, pauseWas, true);
        return;
    }
    if (!self)
        return;
    StartRequest(this, Session,
                 ApiItemUrl(BaseUrlOf(Session), account ? "removeacct?user=" : "killpkg?pkg=", item),
                 [this, runWas, pauseWas, noun, item](const HttpReply& reply) {
                     QPointer<TSummaryForm> self(this);
                     const int result = CallOutcome(reply, noun, item, StatusText(54));
                     if (!self)
                         return;
                     SetActionsEnabled(runWas, pauseWas, true);
                     if (result == kCallSucceeded) {
                         if (Calls.refetchList)
                             Calls.refetchList();
                         if (self)
                             close();
                     } else if (result > 0 && isVisible()) { // not for a window a sign-out closed meanwhile
                         ShowMessageText(ErrorText(result));
                     }
                 });
}

void TSummaryForm::ConfigureViewButtonClick() {
    QPointer<TSummaryForm> self(this);
    if (Calls.configureView)
        Calls.configureView();
    if (self)
        FillTable();
}

} // namespace parlomar
