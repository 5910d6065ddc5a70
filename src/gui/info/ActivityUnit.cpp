#include "gui/info/ActivityUnit.h"

#include "core/accounts/BulkAction.h"
#include "core/server/Global.h"
#include "core/server/HttpTransport.h"
#include "core/settings/Localization.h"
#include "gui/info/AboutUnit.h"
#include "gui/settings/Captions.h"
#include "gui/skins/Controls.h"
#include "gui/skins/SkinButton.h"
#include "gui/skins/Skins.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPointer>
#include <QSortFilterProxyModel>
#include <QTimer>
#include <QVBoxLayout>

#include <set>

#include <sys/stat.h>

namespace parlomar {

namespace {

constexpr const char* kColumnTitles[TActivityModel::kColumns] = {"Time",   "Server",     "User",   "Function",
                                                                 "Target", "Parameters", "Outcome"};

QString Caption(const char* key, const char* builtIn) {
    return Q(ReadCaption(builtIn, "ActivityForm", key));
}

QString ParametersText(const QueryFields& parameters) {
    QStringList pairs;
    for (const auto& [key, value] : parameters)
        pairs << Q(key) + QLatin1Char('=') + Q(value);
    return pairs.join(QStringLiteral(", "));
}

// A text on one line: line breaks and tabs of server messages become blanks.
QString OneLine(QString text) {
    for (QChar& c : text)
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QLatin1Char('\t'))
            c = QLatin1Char(' ');
    return text;
}

// The hint of a cell: a long text (a server's message can be any length) wraps at the hint's width
// and ends after its first thousand characters, so the hint stays within the screen. Plain text
// either way: server data is never read as markup.
QString CellHint(const QString& text) {
    constexpr qsizetype kWrapFrom = 120;
    constexpr qsizetype kMost = 1000;
    if (text.size() <= kWrapFrom)
        return PlainHintText(text);
    qsizetype keep = std::min(text.size(), kMost);
    if (keep < text.size() && text.at(keep - 1).isHighSurrogate())
        --keep;
    return QStringLiteral("<p>") + text.left(keep).toHtmlEscaped() +
           (keep < text.size() ? QStringLiteral("…") : QString()) + QStringLiteral("</p>");
}

} // namespace

QString ActivityOutcomeText(const ActivityEntry& entry) {
    const ActivityRecord& r = entry.record;
    if (!entry.outcomeKnown)
        return Caption("NoOutcome", "No outcome recorded: the program ended before the reply");
    if (r.sentNoReply)
        return Q(SentOutcomeUnknownText(r.transportStatus));
    if (r.transportStatus != kStatusOk)
        return Q(ErrorText(r.transportStatus));
    if (IsSignedOutReply("", r.httpStatus) ||
        (r.serverStatus.empty() && r.message.empty() && r.httpStatus >= 400))
        return Q(StatusText(11));
    if (r.serverStatus == "1")
        return Caption("Done", "Done") +
               (r.message.empty() ? QString() : QStringLiteral(": ") + Q(r.message));
    return Caption("Refused", "Refused") + QStringLiteral(": ") +
           Q(r.message.empty() ? ErrorText(11) : r.message);
}

// ---- Model ----

void TActivityModel::SetEntries(std::vector<ActivityEntry> entries) {
    beginResetModel();
    entries_ = std::move(entries);
    endResetModel();
}

int TActivityModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(entries_.size());
}

int TActivityModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QString TActivityModel::Text(int row, int col) const {
    if (row < 0 || row >= rowCount())
        return {};
    const ActivityEntry& entry = entries_[static_cast<std::size_t>(row)];
    const ActivityRecord& r = entry.record;
    switch (col) {
    case 0:
        return Q(ActivityLocalTime(r.time));
    case 1:
        return Q(r.server) + QLatin1Char(':') + QString::number(r.port);
    case 2:
        return Q(r.user);
    case 3:
        return Q(r.function);
    case 4:
        return Q(r.target);
    case 5:
        return OneLine(ParametersText(r.parameters));
    case 6:
        return OneLine(ActivityOutcomeText(entry));
    default:
        return {};
    }
}

QVariant TActivityModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        const QString text = Text(index.row(), index.column());
        return role == Qt::ToolTipRole ? QVariant(CellHint(text)) : QVariant(text);
    }
    if (role == Qt::ForegroundRole && index.column() == 6) {
        const ActivityEntry& entry = entries_[static_cast<std::size_t>(index.row())];
        const bool done = entry.outcomeKnown && entry.record.transportStatus == kStatusOk &&
                          entry.record.serverStatus == "1";
        if (!done)
            return QColor(0xB0, 0x30, 0x30);
    }
    return {};
}

QVariant TActivityModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= kColumns)
        return {};
    return Caption(("Column" + std::to_string(section)).c_str(), kColumnTitles[section]);
}

// ---- Window ----

TActivityForm::TActivityForm(QWidget* owner) : TSkinnedForm(QStringLiteral("ActivityForm"), owner) {
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::WindowMinMaxButtonsHint);
    setAttribute(Qt::WA_DeleteOnClose, false);
    SetSizeable(true);
    resize(860, 420);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    auto* top = new QHBoxLayout();
    FilterLabel = Named(new TLabel(QStringLiteral("Filter"), this), "FilterLabel");
    FilterEdit = Named(new TEdit(this), "FilterEdit");
    FilterEdit->setClearButtonEnabled(true);
    FilterLabel->setBuddy(FilterEdit);
    CountLabel = Named(new TLabel(this), "CountLabel", kTagNoCaption);
    top->addWidget(FilterLabel);
    top->addWidget(FilterEdit, 1);
    top->addWidget(CountLabel);
    layout->addLayout(top);

    model_ = new TActivityModel(this);
    filter_ = new QSortFilterProxyModel(this);
    filter_->setSourceModel(model_);
    filter_->setFilterCaseSensitivity(Qt::CaseInsensitive);
    filter_->setFilterKeyColumn(-1);
    ActivityGrid = new QTableView(this);
    ActivityGrid->setObjectName(QStringLiteral("ActivityGrid"));
    ActivityGrid->setModel(filter_);
    ActivityGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    ActivityGrid->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ActivityGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ActivityGrid->setWordWrap(false);
    ActivityGrid->verticalHeader()->hide();
    ActivityGrid->verticalHeader()->setDefaultSectionSize(ActivityGrid->fontMetrics().height() + 6);
    ActivityGrid->horizontalHeader()->setStretchLastSection(true);
    ActivityGrid->horizontalHeader()->setHighlightSections(false);
    const int widths[] = {140, 140, 80, 100, 100, 150};
    for (int col = 0; col < 6; ++col)
        ActivityGrid->setColumnWidth(col, widths[col]);
    layout->addWidget(ActivityGrid, 1);

    auto* bottom = new QHBoxLayout();
    PathLabel = Named(new TLabel(this), "PathLabel", kTagNoCaption);
    PathLabel->SetElideToFit(true);
    PathLabel->setText(QString::fromStdString(ActivityLogFile().string()));
    CopyButton = Named(new TSkinButton(QStringLiteral("Copy to clipboard"), this), "CopyButton");
    RefreshButton = Named(new TSkinButton(QStringLiteral("Refresh"), this), "RefreshButton");
    CloseBtn = Named(new TSkinButton(QStringLiteral("Close window"), this), "CloseBtn");
    bottom->addWidget(PathLabel, 1);
    bottom->addWidget(CopyButton);
    bottom->addWidget(RefreshButton);
    bottom->addWidget(CloseBtn);
    layout->addLayout(bottom);

    poll_ = new QTimer(this);
    poll_->setInterval(2000);
    connect(poll_, &QTimer::timeout, this, &TActivityForm::PollFile);
    connect(FilterEdit, &QLineEdit::textChanged, this, [this](const QString& text) {
        filter_->setFilterFixedString(text);
        UpdateCount();
    });
    connect(CopyButton, &QPushButton::clicked, this, &TActivityForm::CopyButtonClick);
    connect(RefreshButton, &QPushButton::clicked, this, &TActivityForm::Refresh);
    connect(CloseBtn, &QPushButton::clicked, this, &QWidget::close);
}

TActivityForm::~TActivityForm() {
    if (reader_.joinable())
        reader_.join();
}

void TActivityForm::showEvent(QShowEvent* event) {
    if (!shown_) {
        shown_ = true;
        ApplyCaptions(this);
        ApplySkin(this, QStringLiteral("ActivityForm"), CheckBoxImages());
        setWindowTitle(Caption("Title", "Activity log") + QStringLiteral(" - ") + windowTitle() +
                       QString::fromUtf8(kMakerCredit));
    }
    TSkinnedForm::showEvent(event);
    Refresh();
    poll_->start();
}

void TActivityForm::Refresh() {
    if (reading_) {
        readAgain_ = true;
        return;
    }
    Read();
}

void TActivityForm::Read() {
    reading_ = true;
    readAgain_ = false;
    struct stat st {};
    const std::string file = ActivityLogFile().string();
    seenSize_ = ::stat(file.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
    seenTime_ =
        seenSize_ >= 0 ? static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec : -1;
    if (reader_.joinable())
        reader_.join();
    QPointer<TActivityForm> self(this);
    reader_ = std::thread([self] {
        std::vector<ActivityEntry> entries = ReadActivityLog();
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, entries = std::move(entries)]() mutable {
                if (self)
                    self->EntriesRead(std::move(entries));
            },
            Qt::QueuedConnection);
    });
}

void TActivityForm::EntriesRead(std::vector<ActivityEntry> entries) {
    // The rows selected and the current one stay so when the file is read again (it grows while
    // changes are sent): they are found again by their entry, wherever the new lines put them.
    const auto entryOf = [this](const QModelIndex& index) {
        const int row = filter_->mapToSource(index).row();
        return row >= 0 && row < model_->rowCount()
                   ? model_->Entries()[static_cast<std::size_t>(row)].record.entry
                   : std::string();
    };
    std::set<std::string> selected;
    for (const QModelIndex& index : ActivityGrid->selectionModel()->selectedRows())
        selected.insert(entryOf(index));
    const std::string current = entryOf(ActivityGrid->currentIndex());
    const int currentColumn = std::max(0, ActivityGrid->currentIndex().column());
    model_->SetEntries(std::move(entries));
    QItemSelection selection;
    QModelIndex currentAgain;
    for (int row = 0; row < model_->rowCount(); ++row) {
        const std::string& entry = model_->Entries()[static_cast<std::size_t>(row)].record.entry;
        const QModelIndex shown = filter_->mapFromSource(model_->index(row, 0));
        if (!shown.isValid())
            continue;
        if (selected.count(entry) != 0)
            selection.select(shown, shown.siblingAtColumn(TActivityModel::kColumns - 1));
        if (!current.empty() && entry == current)
            currentAgain = shown.siblingAtColumn(currentColumn);
    }
    if (currentAgain.isValid())
        ActivityGrid->selectionModel()->setCurrentIndex(currentAgain, QItemSelectionModel::NoUpdate);
    if (!selection.isEmpty())
        ActivityGrid->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    UpdateCount();
    reading_ = false;
    if (readAgain_)
        Read();
}

void TActivityForm::PollFile() {
    if (reading_ || !isVisible())
        return;
    struct stat st {};
    const std::string file = ActivityLogFile().string();
    const long long size = ::stat(file.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
    const long long time =
        size >= 0 ? static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec : -1;
    if (size != seenSize_ || time != seenTime_)
        Read();
}

void TActivityForm::UpdateCount() {
    const int shown = filter_->rowCount();
    const int all = model_->rowCount();
    CountLabel->setText(shown == all ? QString::number(all) + QLatin1Char(' ') + Caption("Entries", "entries")
                                     : QString::number(shown) + QStringLiteral(" / ") + QString::number(all) +
                                           QLatin1Char(' ') + Caption("Entries", "entries"));
}

int TActivityForm::ShownRows() const {
    return filter_->rowCount();
}

QString TActivityForm::ShownText(int row, int col) const {
    const QModelIndex index = filter_->mapToSource(filter_->index(row, col));
    return model_->Text(index.row(), col);
}

QString TActivityForm::CopyText() const {
    QList<int> rows;
    for (const QModelIndex& index : ActivityGrid->selectionModel()->selectedRows())
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    if (rows.isEmpty())
        for (int row = 0; row < ShownRows(); ++row)
            rows << row;
    QStringList lines;
    for (int row : rows) {
        QStringList cells;
        for (int col = 0; col < TActivityModel::kColumns; ++col)
            cells << ShownText(row, col);
        lines << cells.join(QLatin1Char('\t'));
    }
    return lines.join(QLatin1Char('\n'));
}

void TActivityForm::CopyButtonClick() {
    CopyTextToClipboard(CopyText());
}

bool TActivityForm::FormKeyDown(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return true;
    }
    if (event->matches(QKeySequence::Copy) && ActivityGrid->hasFocus()) {
        CopyButtonClick();
        return true;
    }
    if (event->key() == Qt::Key_F5) {
        Refresh();
        return true;
    }
    return false;
}

} // namespace parlomar
