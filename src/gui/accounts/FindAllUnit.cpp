#include "gui/accounts/FindAllUnit.h"

#include "core/server/Global.h"
#include "core/settings/Localization.h"
#include "gui/info/AboutUnit.h"
#include "gui/settings/Captions.h"
#include "gui/skins/Controls.h"
#include "gui/skins/SkinButton.h"
#include "gui/skins/Skins.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPointer>
#include <QScreen>
#include <QSplitter>
#include <QVBoxLayout>

namespace parlomar {

namespace {

constexpr int kServerRole = Qt::UserRole;   // the server's place in the searched list
constexpr int kUserRole = Qt::UserRole + 1; // the account's user name as the server sent it

QString Caption(const char* key, const char* builtIn) {
    return Q(ReadCaption(builtIn, "FindAllForm", key));
}

QTableWidget* MakeGrid(QWidget* parent, const char* name, const QStringList& headings) {
    auto* grid = new QTableWidget(0, static_cast<int>(headings.size()), parent);
    grid->setObjectName(QString::fromLatin1(name));
    grid->setHorizontalHeaderLabels(headings);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setTabKeyNavigation(false); // Tab leaves the grid
    grid->setWordWrap(false);
    grid->verticalHeader()->hide();
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 6);
    grid->horizontalHeader()->setStretchLastSection(true);
    grid->horizontalHeader()->setHighlightSections(false);
    return grid;
}

// A cell of server data: shown as plain text, with the whole text as its hint.
QTableWidgetItem* Cell(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setToolTip(PlainHintText(text));
    return item;
}

} // namespace

TFindAllForm::TFindAllForm(QWidget* owner) : TSkinnedForm(QStringLiteral("FindAllForm"), owner) {
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::WindowMinMaxButtonsHint);
    setAttribute(Qt::WA_DeleteOnClose, false);
    SetSizeable(true);
    resize(820, 520);
    Servers = [] { return ReadSavedServers(); };

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    auto* top = new QHBoxLayout();
    TextLabel = Named(new TLabel(QStringLiteral("Find"), this), "TextLabel");
    TextEdit = Named(new TEdit(this), "TextEdit");
    TextEdit->setClearButtonEnabled(true);
    TextEdit->setMaxLength(255);
    TextEdit->setAccessibleName(QStringLiteral("Search text"));
    TextLabel->setBuddy(TextEdit);
    TypeLabel = Named(new TLabel(QStringLiteral("by"), this), "TypeLabel");
    TypeCombo = Named(new TComboBox(this), "TypeCombo", kTagNoCaption);
    TypeCombo->setAccessibleName(QStringLiteral("Search type"));
    TypeLabel->setBuddy(TypeCombo);
    const std::pair<const char*, const char*> types[] = {
        {"", "Chosen from the text"}, {"domain", "Domain"}, {"user", "User name"},
        {"ip", "IP address"},         {"owner", "Owner"},   {"package", "Package"}};
    for (const auto& [type, caption] : types)
        TypeCombo->addItem(QString::fromLatin1(caption), QString::fromLatin1(type));
    FindButton = Named(new TSkinButton(QStringLiteral("Find"), this), "FindButton");
    StopButton = Named(new TSkinButton(QStringLiteral("Stop"), this), "StopButton");
    top->addWidget(TextLabel);
    top->addWidget(TextEdit, 1);
    top->addWidget(TypeLabel);
    top->addWidget(TypeCombo);
    top->addWidget(FindButton);
    top->addWidget(StopButton);
    layout->addLayout(top);

    auto* splitter = new QSplitter(Qt::Vertical, this);
    ServersGrid = MakeGrid(splitter, "ServersGrid", {QStringLiteral("Server"), QStringLiteral("Search")});
    ServersGrid->setAccessibleName(QStringLiteral("Servers"));
    ServersGrid->setColumnWidth(0, 260);
    ResultGrid =
        MakeGrid(splitter, "ResultGrid",
                 {QStringLiteral("Server"), QStringLiteral("User"), QStringLiteral("Domain"),
                  QStringLiteral("State"), QStringLiteral("Disk used"), QStringLiteral("Disk limit")});
    ResultGrid->setAccessibleName(QStringLiteral("Accounts found"));
    const int widths[] = {220, 110, 200, 80, 80};
    for (int col = 0; col < 5; ++col)
        ResultGrid->setColumnWidth(col, widths[col]);
    ResultGrid->setSortingEnabled(true);
    ResultGrid->sortByColumn(kServerCol, Qt::AscendingOrder);
    splitter->addWidget(ServersGrid);
    splitter->addWidget(ResultGrid);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 2);
    layout->addWidget(splitter, 1);

    auto* bottom = new QHBoxLayout();
    ProgressLabel = Named(new TLabel(this), "ProgressLabel", kTagNoCaption);
    ProgressLabel->SetElideToFit(true);
    CloseBtn = Named(new TSkinButton(QStringLiteral("Close window"), this), "CloseBtn");
    bottom->addWidget(ProgressLabel, 1);
    bottom->addWidget(CloseBtn);
    layout->addLayout(bottom);

    setTabOrder(TextEdit, TypeCombo);
    setTabOrder(TypeCombo, FindButton);
    setTabOrder(FindButton, StopButton);
    setTabOrder(StopButton, ServersGrid);
    setTabOrder(ServersGrid, ResultGrid);
    setTabOrder(ResultGrid, CloseBtn);

    connect(FindButton, &QPushButton::clicked, this, &TFindAllForm::FindButtonClick);
    connect(StopButton, &QPushButton::clicked, this, &TFindAllForm::StopButtonClick);
    connect(CloseBtn, &QPushButton::clicked, this, &QWidget::close);
    connect(TextEdit, &QLineEdit::textChanged, this, &TFindAllForm::UpdateButtons);
    connect(TextEdit, &QLineEdit::returnPressed, this, &TFindAllForm::FindButtonClick);
    connect(ResultGrid, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& index) { ResultChosen(index.row()); });
    UpdateButtons();
}

TFindAllForm::~TFindAllForm() {
    find_.reset(); // stops the search; nothing of it arrives any more
}

void TFindAllForm::showEvent(QShowEvent* event) {
    if (!shown_) {
        shown_ = true;
        ApplyCaptions(this);
        ApplySkin(this, QStringLiteral("FindAllForm"), CheckBoxImages());
        setWindowTitle(Caption("Title", "Find on every server") + QString::fromUtf8(kMakerCredit));
        if (const QScreen* screen = this->screen())
            move(screen->availableGeometry().center() - rect().center());
        TextEdit->setFocus(Qt::OtherFocusReason);
    }
    TSkinnedForm::showEvent(event);
}

void TFindAllForm::closeEvent(QCloseEvent* event) {
    StopButtonClick();
    TSkinnedForm::closeEvent(event);
}

bool TFindAllForm::FormKeyDown(QKeyEvent* event) {
    const bool enter = (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
                       (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        if (Searching())
            StopButtonClick(); // the first Escape stops, the next closes
        else
            close();
        return true;
    }
    if (enter && ResultGrid->hasFocus()) {
        ResultChosen(ResultGrid->currentRow());
        return true;
    }
    if (enter && TypeCombo->hasFocus()) {
        FindButtonClick();
        return true;
    }
    return false;
}

void TFindAllForm::FindButtonClick() {
    const std::string text = TrimmedSearchText(S(TextEdit->text()));
    if (text.empty())
        return;
    find_.reset(); // one running is stopped and forgotten
    const std::uint64_t run = ++run_;
    servers_ = Servers ? Servers() : std::vector<SavedServer>();
    done_ = 0;
    answered_ = 0;
    ResultGrid->setRowCount(0);
    ServersGrid->setRowCount(static_cast<int>(servers_.size()));
    for (std::size_t i = 0; i < servers_.size(); ++i) {
        const int row = static_cast<int>(i);
        ServersGrid->setItem(row, 0, Cell(Q(FindServerLabel(servers_[i]))));
        ServersGrid->setItem(row, 1, Cell(Caption("Searching", "searching...")));
    }

    FindAllRequest request;
    request.servers = servers_;
    request.text = text;
    request.searchType = S(TypeCombo->currentData().toString());
    // The outcomes come on the search's workers and go on here, while this window and this run last.
    QPointer<TFindAllForm> self(this);
    const auto post = [self](std::function<void(TFindAllForm*)> step) {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, step = std::move(step)] {
                if (self)
                    step(self);
            },
            Qt::QueuedConnection);
    };
    find_ = std::make_unique<TFindAll>(
        std::move(request),
        [post, run](const FindServerResult& one) {
            post([run, one](TFindAllForm* form) { form->ServerDone(run, one); });
        },
        [post, run](const FindAllResult& whole) {
            post([run, whole](TFindAllForm* form) { form->AllDone(run, whole); });
        });
    find_->Start();
    UpdateProgress();
    UpdateButtons();
}

void TFindAllForm::StopButtonClick() {
    if (find_)
        find_->Stop(); // the end still arrives and says what was done
}

void TFindAllForm::ServerDone(std::uint64_t run, const FindServerResult& result) {
    if (run != run_ || result.index >= servers_.size())
        return;
    ++done_;
    const int serverRow = static_cast<int>(result.index);
    if (result.answered) {
        ++answered_;
        const std::size_t count = result.accounts.size();
        ServersGrid->setItem(
            serverRow, 1,
            Cell(QString::number(count) + QLatin1Char(' ') +
                 (count == 1 ? Caption("Account", "account") : Caption("Accounts", "accounts"))));
    } else {
        auto* reason = Cell(Q(result.reason));
        reason->setForeground(QColor(0xB0, 0x30, 0x30));
        ServersGrid->setItem(serverRow, 1, reason);
    }
    if (!result.accounts.empty()) {
        ResultGrid->setSortingEnabled(false); // rows go in whole, then take their place
        const QString label = Q(result.label);
        for (const FoundAccount& account : result.accounts) {
            const int row = ResultGrid->rowCount();
            ResultGrid->insertRow(row);
            auto* server = Cell(label);
            server->setData(kServerRole, static_cast<qulonglong>(result.index));
            server->setData(kUserRole, Q(account.user));
            ResultGrid->setItem(row, kServerCol, server);
            ResultGrid->setItem(row, kUserCol, Cell(Q(account.user)));
            ResultGrid->setItem(row, kDomainCol, Cell(Q(account.domain)));
            ResultGrid->setItem(row, 3,
                                Cell(account.suspended == "1"   ? Caption("Suspended", "suspended")
                                     : account.suspended == "0" ? Caption("Active", "active")
                                                                : Q(account.suspended)));
            ResultGrid->setItem(row, 4, Cell(Q(account.diskUsed)));
            ResultGrid->setItem(row, 5, Cell(Q(account.diskLimit)));
        }
        ResultGrid->setSortingEnabled(true);
        if (ResultGrid->currentRow() < 0)
            ResultGrid->setCurrentCell(0, 0);
    }
    UpdateProgress();
}

void TFindAllForm::AllDone(std::uint64_t run, const FindAllResult& result) {
    if (run != run_)
        return;
    // Servers never reached (a stop) say so.
    for (const FindServerResult& one : result.servers) {
        QTableWidgetItem* item = ServersGrid->item(static_cast<int>(one.index), 1);
        if (!one.answered && item && item->text() == Caption("Searching", "searching..."))
            ServersGrid->setItem(static_cast<int>(one.index), 1, Cell(Q(one.reason)));
    }
    find_.reset();
    ProgressLabel->setText(Q(FindSummaryText(result)) +
                           (result.stopped
                                ? QStringLiteral(" (") + Caption("Stopped", "stopped") + QLatin1Char(')')
                                : QString()));
    UpdateButtons();
    if (Finished)
        Finished(result);
}

void TFindAllForm::UpdateProgress() {
    ProgressLabel->setText(
        Caption("Searched", "Searched") + QLatin1Char(' ') + QString::number(done_) + QLatin1Char(' ') +
        Caption("Of", "of") + QLatin1Char(' ') + QString::number(servers_.size()) + QStringLiteral(", ") +
        QString::number(ResultGrid->rowCount()) + QLatin1Char(' ') + Caption("Found", "accounts found"));
}

void TFindAllForm::UpdateButtons() {
    FindButton->setEnabled(!TextEdit->text().trimmed().isEmpty());
    StopButton->setEnabled(Searching());
}

void TFindAllForm::ResultChosen(int row) {
    QTableWidgetItem* item = row >= 0 ? ResultGrid->item(row, kServerCol) : nullptr;
    if (!item || !ShowAccount)
        return;
    const std::size_t index = item->data(kServerRole).toULongLong();
    if (index >= servers_.size())
        return;
    ShowAccount(servers_[index], S(item->data(kUserRole).toString()));
}

} // namespace parlomar
