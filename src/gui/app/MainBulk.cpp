// The main window's actions on several accounts at once (the row menu of a multiple selection, the
// run on a worker with its progress and summary window, the grid kept true without a refetch), the
// export of the shown list, and the traceroute of an account.

#include "gui/app/BulkController.h"
#include "gui/app/MainUnit.h"
#include "gui/app/MainUnitPrivate.h"

#include "core/Error.h"
#include "core/accounts/ListExport.h"
#include "core/server/HttpTransport.h"
#include "core/server/TransportUi.h"
#include "core/settings/IniFile.h"
#include "core/settings/Localization.h"
#include "gui/accounts/BulkUnit.h"
#include "gui/settings/Captions.h"
#include "gui/skins/ButtonEdit.h"
#include "gui/skins/Controls.h"
#include "gui/skins/SkinedStringGrid.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMenu>

#include <unordered_set>

namespace parlomar {

namespace {

// Moves a menu item to just before another one.
void PlaceBefore(QMenu* menu, QAction* item, QAction* before) {
    menu->removeAction(item);
    menu->insertAction(before, item);
}

} // namespace

void TParlomarClientMainForm::BuildBulkMenus() {
    Suspendselected1 = Item(ListPopupMenu, "Suspendselected1", "Suspend the selected accounts");
    Unsuspendselected1 = Item(ListPopupMenu, "Unsuspendselected1", "Unsuspend the selected accounts");
    Deleteselected1 = Item(ListPopupMenu, "Deleteselected1", "Delete the selected accounts");
    for (QAction* item : {Suspendselected1, Unsuspendselected1, Deleteselected1}) {
        PlaceBefore(ListPopupMenu, item, LimitBandWidth1);
        item->setVisible(false);
    }
    // The keys shown in the menu. They work while the grid has the focus: Ctrl+U by the window's key
    // preview, the other two by actions of the grid; all of them come to AccountActionKey.
    Suspendselected1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_U));
    Unsuspendselected1->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_U));
    Deleteselected1->setShortcut(QKeySequence(Qt::Key_Delete));
    Deleteaccount1->setShortcut(QKeySequence(Qt::Key_Delete));
    for (QAction* item : {Suspendselected1, Unsuspendselected1, Deleteselected1, Deleteaccount1})
        item->setShortcutContext(Qt::WidgetShortcut); // shown in the menu; the grid takes the keys
    Traceroute1->setVisible(true);
    ListPopupMenu->addSeparator();
    Exportlist1 = Item(ListPopupMenu, "Exportlist1", "Export list...");
    ServerMenu->addSeparator();
    Exportlist2 = Item(ServerMenu, "Exportlist2", "Export list...");
    PackageMenu->addSeparator();
    Exportlist3 = Item(PackageMenu, "Exportlist3", "Export list...");

    bulk_ = new TBulkController(this);
    connect(bulk_, &TBulkController::EntryDone, this, &TParlomarClientMainForm::BulkStep);
    connect(bulk_, &TBulkController::ChangesWaiting, this, &TParlomarClientMainForm::BulkChanges);
    connect(bulk_, &TBulkController::Finished, this, &TParlomarClientMainForm::BulkFinished);

    connect(Suspendselected1, &QAction::triggered, this, &TParlomarClientMainForm::Suspendselected1Click);
    connect(Unsuspendselected1, &QAction::triggered, this, &TParlomarClientMainForm::Unsuspendselected1Click);
    connect(Deleteselected1, &QAction::triggered, this, &TParlomarClientMainForm::Deleteselected1Click);
    connect(Traceroute1, &QAction::triggered, this, &TParlomarClientMainForm::Traceroute1Click);
    for (QAction* item : {Exportlist1, Exportlist2, Exportlist3})
        connect(item, &QAction::triggered, this, &TParlomarClientMainForm::Exportlist1Click);
    connect(ServerMenu, &QMenu::aboutToShow, this,
            [this] { Exportlist2->setEnabled(AccList->isVisible() && AccList->ShownList != 0); });
}

bool TParlomarClientMainForm::PrepareRowMenu() {
    const std::size_t selected = AccList->SelectedDataRows().size();
    const bool several = selected > 1 && AccList->ShownList == kListModeAccounts;
    for (TMenuItem* item :
         {Suspend1, LimitBandWidth1, Changepassword1, Viewsummary1, Deleteaccount1, Traceroute1})
        item->setVisible(!several);
    const std::pair<TMenuItem*, BulkKind> bulk[] = {{Suspendselected1, BulkKind::Suspend},
                                                    {Unsuspendselected1, BulkKind::Unsuspend},
                                                    {Deleteselected1, BulkKind::Delete}};
    for (const auto& [item, kind] : bulk) {
        item->setVisible(several);
        // One run at a time; none on a read-only server.
        item->setEnabled(!bulk_->Running() && BulkAllowed(kind));
        if (several)
            item->setText(Q(BulkMenuCaption(kind, selected)));
    }
    return several;
}

void TParlomarClientMainForm::Suspendselected1Click() {
    StartBulkAction(BulkKind::Suspend);
}

void TParlomarClientMainForm::Unsuspendselected1Click() {
    StartBulkAction(BulkKind::Unsuspend);
}

void TParlomarClientMainForm::Deleteselected1Click() {
    StartBulkAction(BulkKind::Delete);
}

void TParlomarClientMainForm::BuildAccountKeys() {
    const std::pair<QKeySequence, BulkKind> keys[] = {
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_U), BulkKind::Unsuspend},
        {QKeySequence(Qt::Key_Delete), BulkKind::Delete}};
    for (const auto& [sequence, kind] : keys) {
        auto* key = new QAction(AccList);
        key->setShortcut(sequence);
        key->setShortcutContext(Qt::WidgetShortcut);
        AccList->addAction(key);
        connect(key, &QAction::triggered, this, [this, kind = kind] { AccountActionKey(kind); });
    }
}

void TParlomarClientMainForm::AccountActionKey(BulkKind kind) {
    if (!SignedIn() || AccList->ShownList != kListModeAccounts || AccList->CurrentDataRow() < 1)
        return;
    const std::vector<int> selected = AccList->SelectedDataRows();
    if (selected.size() > 1) {
        if (kind == BulkKind::Suspend) { // the key that suspends a row unsuspends a suspended one
            bool allSuspended = true;
            for (int row : selected)
                allSuspended = allSuspended && AccList->Data().Cell(kAccSuspendedCol, row) == "1";
            if (allSuspended)
                kind = BulkKind::Unsuspend;
        }
        StartBulkAction(kind);
        return;
    }
    switch (kind) {
    case BulkKind::Suspend:
        Suspend1Click();
        break;
    case BulkKind::Unsuspend:
        if (SuspendActionOf(AccList->Data(), AccList->CurrentDataRow()) == SuspendAction::Unsuspend &&
            ChangeAllowed("unsuspendacct"))
            UnsuspendAccount();
        break;
    case BulkKind::Delete:
        Deleteaccount1Click();
        break;
    }
}

void TParlomarClientMainForm::StartBulkAction(BulkKind kind) {
    if (!SignedIn() || bulk_->Running() || AccList->ShownList != kListModeAccounts || !BulkAllowed(kind))
        return;
    const std::vector<BulkEntry> entries = PlanBulkAction(AccList->Data(), AccList->SelectedDataRows(), kind);
    if (entries.empty())
        return;
    QPointer<TParlomarClientMainForm> self(this);
    const SessionPtr session = Session();
    const std::string question = BulkQuestion(entries, kind);
    if (!question.empty() && !AskQuestionText(question))
        return;
    if (!self || !SessionCurrent(session) || bulk_->Running())
        return;
    if (BulkForm && BulkForm->Finished())
        BulkForm->close(); // the summary of an earlier run gives way
    auto* form = new TBulkForm(this, kind, entries);
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->SetStayOnTop(Alwaysontop1->isChecked());
    BulkForm = form;
    connect(form, &TBulkForm::StopRequested, this, [this, form] {
        if (BulkForm == form)
            StopBulkRun();
    });
    form->show();
    if (question.empty()) { // every account is in the wanted state already: nothing to send
        form->RunFinished(entries);
        return;
    }
    bulk_->Start(kind, entries, session);
}

void TParlomarClientMainForm::StopBulkRun() {
    if (!bulk_->Running() || bulk_->StopRequested())
        return;
    bulk_->Stop();
    if (BulkForm)
        BulkForm->RunStopping();
}

bool TParlomarClientMainForm::BulkRunning() const {
    return bulk_->Running();
}

void TParlomarClientMainForm::BulkStep(std::size_t index, const BulkEntry& entry) {
    if (BulkForm)
        BulkForm->EntryDone(index, entry);
}

void TParlomarClientMainForm::BulkChanges() {
    if (SessionCurrent(bulk_->RunSession())) // only into the grid of the sign-in that sent it
        ApplyBulkOutcomes();
    else
        bulk_->TakeChanged();
}

void TParlomarClientMainForm::BulkFinished(const std::vector<BulkEntry>& entries, bool stopped,
                                           const SessionPtr& session) {
    const bool current = SessionCurrent(session);
    if (current)
        ApplyBulkOutcomes();
    QPointer<TParlomarClientMainForm> self(this);
    if (BulkForm)
        BulkForm->RunFinished(entries);
    if (!self || !current)
        return;
    for (const BulkEntry& entry : entries) {
        if (entry.outcome == BulkOutcome::SignedOut) {
            ReturnToSignIn(); // the server no longer accepts this sign-in
            return;
        }
    }
    // A stopped run, or a request that went out without a judged reply (the server may have carried
    // it out): the grid is drawn from the server's list again rather than from what the run knows.
    if ((stopped || BulkNeedsRefetch(entries)) && SignedIn() && ListMode() == kListModeAccounts)
        RefetchLastSearch();
}

void TParlomarClientMainForm::ApplyBulkOutcomes() {
    const std::vector<BulkEntry> done = bulk_->TakeChanged();
    if (done.empty())
        return;
    const BulkKind kind = bulk_->Kind();
    // The selection by user name: rows move when others leave the grid.
    std::unordered_set<std::string> selected;
    const TStringGridData& data = AccList->Data();
    if (AccList->ShownList == kListModeAccounts)
        for (int row : AccList->SelectedDataRows())
            selected.emplace(data.Cell(kAccUserCol, row));
    const std::string current = CurrentCell(kAccUserCol);
    const int currentRow = AccList->CurrentDataRow();
    const BulkGridChange change =
        ApplyBulkEntries(AccList->Data(), ListState, kind, done, S(QueryEdit->text()));
    if (change.cellsChanged && !change.rowsChanged)
        AccList->CellsChanged();
    if (!change.rowsChanged)
        return;
    AccList->RowsChanged();
    SetStatusSlot(1, change.slot1.Empty()
                         ? QString()
                         : Q(StatusText(change.slot1.text) + " " + std::to_string(change.slot1.count)));
    std::vector<int> keep;
    int currentNow = 0;
    for (int row = 1; row < data.RowCount(); ++row) {
        const std::string_view user = data.Cell(kAccUserCol, row);
        if (user == current)
            currentNow = row;
        if (selected.count(std::string(user)))
            keep.push_back(row);
    }
    if (currentNow > 0) // the current row first, so that it stays current
        keep.insert(keep.begin(), currentNow);
    AccList->SelectDataRows(keep);
    if (AccList->CurrentDataRow() == 0) { // the current row left: the one that took its place
        const int above = PreviousVisibleRow(data, currentRow);
        if (const int next = above > 0 ? above : FirstVisibleRow(data); next > 0)
            AccList->SelectDataRow(next);
    }
    LayoutResults();
}

void TParlomarClientMainForm::Exportlist1Click() {
    if (!AccList->isVisible() || AccList->ShownList == 0)
        return;
    const int listMode = AccList->ShownList;
    const QString suggested = QDir::home().filePath(
        listMode == kListModeAccounts ? QStringLiteral("accounts.csv") : QStringLiteral("packages.csv"));
    QPointer<TParlomarClientMainForm> self(this);
    const QString path =
        ExportPathChooser
            ? ExportPathChooser(suggested)
            : QFileDialog::getSaveFileName(this, Exportlist2->text().remove(QStringLiteral("...")), suggested,
                                           QStringLiteral("CSV (*.csv);;* (*)"));
    // The dialog waited: the list must still be the one the operator chose to export.
    if (!self || path.isEmpty() || !AccList->isVisible() || AccList->ShownList != listMode)
        return;
    std::vector<int> cols;
    for (int col = 0; col < AccList->Data().ColCount(); ++col)
        if (!AccList->isColumnHidden(col) && AccList->columnWidth(col) > 0)
            cols.push_back(col);
    std::vector<int> rows;
    const int shown = AccList->VisibleRowCount();
    rows.reserve(static_cast<std::size_t>(shown));
    for (int viewRow = 0; viewRow < shown; ++viewRow)
        rows.push_back(AccList->Model()->DataRow(viewRow));
    try {
        // Some spreadsheet programs read UTF-8 only after a byte order mark: a setting adds one.
        ExportListCsv(QFile::encodeName(path).toStdString(), AccList->Data(), cols, rows,
                      IniFlag(ReadIniValue("General", "ExportByteOrderMark", kSettingsTarget)));
        SetStatusSlot(0, Q(FormatStatusText(122, {std::to_string(rows.size()), S(path)})));
    } catch (const Error& error) {
        ShowMessageText(error.what());
    }
}

void TParlomarClientMainForm::Traceroute1Click() {
    if (AccList->ShownList != kListModeAccounts)
        return;
    if (const std::string domain = CurrentCell(kAccDomainCol); !domain.empty())
        StartTrace(domain);
}

} // namespace parlomar
