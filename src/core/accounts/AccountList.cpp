#include "core/accounts/AccountList.h"

#include "core/accounts/GridSort.h"
#include "core/server/Global.h"
#include "core/server/XMLParser.h"

#include <iterator>
#include <unordered_map>

namespace parlomar {

void BeginListAllAccounts(TListState& state) {
    state.lastSearchText.clear();
    state.serverAccountCount = -1;
    state.AccountsListedInFull = true;
}

int BeginServerSearch(TListState& state, std::string_view boxText) {
    if (boxText.empty()) {
        return 5;
    }
    state.lastSearchText.assign(boxText);
    state.AccountsListedInFull = false;
    return 0;
}

namespace {

// The five account columns and the reply tags they come from, in the order they are filled.
constexpr int kReadColumns[] = {kAccUserCol, kAccDomainCol, kAccSuspendedCol, kAccDiskUsedCol,
                                kAccDiskLimitCol};
const char* const kReadTags[] = {"user", "domain", "suspended", "diskused", "disklimit"};

// Limits set in this run, by user name, so that they stay with their account whatever order or
// selection the new reply brings.
std::unordered_map<std::string, std::string> LimitsSetInThisRun(const TStringGridData& grid) {
    std::unordered_map<std::string, std::string> limits;
    if (grid.ColCount() == kAccountColumns) {
        for (int row = 1; row < grid.RowCount(); ++row) {
            if (!grid.Cell(kAccBandwidthCol, row).empty()) {
                limits[grid.Cell(kAccUserCol, row)] = grid.Cell(kAccBandwidthCol, row);
            }
        }
    }
    return limits;
}

// XmlExtract's fill of one column (mode 1) from values read beforehand.
void FillColumn(TStringGridData& grid, int column, std::vector<std::string>& values) {
    const int count = static_cast<int>(values.size());
    if (grid.RowCount() < count + 1) {
        grid.ReserveRows(count + 1);
        grid.SetRowCount(count + 1);
    }
    for (int n = 1; n <= count; ++n) {
        grid.SetCell(0, n, std::to_string(n));
        grid.SetCell(column, n, std::move(values[static_cast<size_t>(n - 1)]));
    }
    grid.SetRowCount(count + 1);
    std::vector<std::string>().swap(values);
}

// Columns 4 and 7 and the row heights of the rows just filled.
int FinishAccountRows(TStringGridData& grid, const std::unordered_map<std::string, std::string>& limits) {
    const int rows = grid.RowCount() - 1;
    const int height = grid.DefaultRowHeight();
    for (int row = 1; row <= rows; ++row) {
        std::string limit;
        if (!limits.empty()) {
            if (auto it = limits.find(grid.Cell(kAccUserCol, row)); it != limits.end()) {
                limit = it->second;
            }
        }
        grid.SetCell(kAccBandwidthCol, row, std::move(limit));
        const std::string& domain = grid.Cell(kAccDomainCol, row);
        std::string panel;
        panel.reserve(domain.size() + 13);
        panel.append("http://").append(domain).append("/panel");
        grid.SetCell(kAccPanelCol, row, std::move(panel));
        grid.SetRowHeight(row, height);
    }
    return rows;
}

} // namespace

int FillAccountRows(TStringGridData& grid, std::string_view reply) {
    const auto limits = LimitsSetInThisRun(grid);
    grid.SetColCount(kAccountColumns);
    for (size_t i = 0; i < std::size(kReadTags); ++i) {
        XmlExtract(reply, "", kReadTags[i], kXmlFillColumn, &grid, kReadColumns[i]);
    }
    return FinishAccountRows(grid, limits);
}

int FillAccountRows(TStringGridData& grid, TXmlExtractStream& values) {
    const auto limits = LimitsSetInThisRun(grid);
    grid.SetColCount(kAccountColumns);
    for (size_t i = 0; i < std::size(kReadTags); ++i) {
        FillColumn(grid, kReadColumns[i], values.Values(i));
    }
    values.Reset(); // taken: a second build reads the text
    return FinishAccountRows(grid, limits);
}

TAccountReplyReader::TAccountReplyReader(std::size_t scanEvery)
    : values_(std::vector<std::string>(std::begin(kReadTags), std::end(kReadTags)), scanEvery) {}

void TAccountReplyReader::Restart() {
    values_.Reset();
}

void TAccountReplyReader::Take(std::string_view bytes) {
    values_.Feed(bytes);
}

void TAccountReplyReader::Finish() {
    values_.Finish();
}

AccountListView ShowAccountList(TStringGridData& grid, TListState& state, int status, std::string_view reply,
                                std::string_view boxText, const StatusTextLookup& statusText,
                                TXmlExtractStream* readValues) {
    AccountListView view;
    if (status != 0) {
        view.listMessage = status;
        return view;
    }
    view.addCaption = 15;
    view.getListCaption = state.AccountsListedInFull ? 68 : 55;
    if (reply.empty()) {
        view.listMessage = 12;
        return view;
    }

    int rows = readValues && readValues->Finished() ? FillAccountRows(grid, *readValues)
                                                    : FillAccountRows(grid, reply);
    if (!state.deletedSince.empty() && rows > 0) {
        std::vector<bool> keep(static_cast<size_t>(grid.RowCount()), true);
        for (int row = 1; row < grid.RowCount(); ++row) {
            keep[static_cast<size_t>(row)] = state.deletedSince.count(grid.Cell(kAccUserCol, row)) == 0;
        }
        grid.KeepRows(keep);
        rows = grid.RowCount() - 1;
    }
    if (rows < 1) {
        view.listMessage = 12;
        view.noAccounts = true;
        // The server refused the search: its words, not "no accounts".
        const std::string status = XmlExtract(reply, "", "status", kXmlLastValue);
        if (status != "1" && !status.empty())
            view.serverMessage = StatusMessageOf(reply);
        return view;
    }
    if (state.serverAccountCount == -1) {
        state.serverAccountCount = rows;
    }
    if (statusText) {
        grid.SetCell(0, 0, statusText(26));
        grid.SetCell(1, 0, statusText(27));
        grid.SetCell(2, 0, statusText(28));
        grid.SetCell(7, 0, statusText(29));
    }
    if (!state.suspendedSince.empty()) {
        for (int row = 1; row < grid.RowCount(); ++row) {
            if (auto it = state.suspendedSince.find(grid.Cell(kAccUserCol, row));
                it != state.suspendedSince.end()) {
                grid.SetCell(kAccSuspendedCol, row, it->second);
            }
        }
    }
    state.accountSort = ApplyListSort(grid, kListModeAccounts, state.accountSort);
    view.shown = true;
    view.fetchedRows = rows;

    const int left = ApplyFilterBar(grid, state.filterMode);
    view.slot1 = FilterBarSlot(state.filterMode, left);
    const LocalFilterResult filtered =
        ApplyLocalFilter(grid, kListModeAccounts, boxText, false, state.filterMode);
    view.slot1 = filtered.slot1;
    view.selectRow = FirstVisibleRow(grid);
    return view;
}

ListChangesApplied ReapplyListChanges(TStringGridData& grid, const TListState& state,
                                      std::string_view boxText) {
    ListChangesApplied applied;
    const char* barRemoves = state.filterMode == kFilterActive      ? "1"
                             : state.filterMode == kFilterSuspended ? "0"
                                                                    : nullptr;
    std::vector<bool> keep(static_cast<size_t>(grid.RowCount()), true);
    for (int row = 1; row < grid.RowCount(); ++row) {
        const std::string& user = grid.Cell(kAccUserCol, row);
        if (state.deletedSince.count(user)) {
            keep[static_cast<size_t>(row)] = false;
            ++applied.deletedRows;
            continue;
        }
        if (auto it = state.suspendedSince.find(user); it != state.suspendedSince.end()) {
            grid.SetCell(kAccSuspendedCol, row, it->second);
        }
        keep[static_cast<size_t>(row)] =
            barRemoves == nullptr || grid.Cell(kAccSuspendedCol, row) != barRemoves;
    }
    grid.KeepRows(keep);
    applied.slot1 = ApplyLocalFilter(grid, kListModeAccounts, boxText, false, state.filterMode).slot1;
    return applied;
}

int ApplyFilterBar(TStringGridData& grid, int filterMode) {
    if (filterMode != kFilterActive && filterMode != kFilterSuspended) {
        return std::max(0, grid.RowCount() - 1);
    }
    const char* removed = filterMode == kFilterActive ? "1" : "0";
    std::vector<bool> keep(static_cast<size_t>(grid.RowCount()), true);
    for (int row = 1; row < grid.RowCount(); ++row) {
        keep[static_cast<size_t>(row)] = grid.Cell(kAccSuspendedCol, row) != removed;
    }
    grid.KeepRows(keep);
    for (int row = 1; row < grid.RowCount(); ++row) {
        grid.SetCell(kAccNumberCol, row, std::to_string(row));
    }
    return grid.RowCount() - 1;
}

std::string AccountCopyText(const TStringGridData& grid, int row) {
    return grid.Cell(kAccUserCol, row) + " " + grid.Cell(kAccDomainCol, row);
}

std::string AccountUsageHint(const TStringGridData& grid, int row) {
    return grid.Cell(kAccDiskUsedCol, row) + "/" + grid.Cell(kAccDiskLimitCol, row);
}

int SuspendMenuCaption(const TStringGridData& grid, int row) {
    const std::string& state = grid.Cell(kAccSuspendedCol, row);
    if (state == "1") {
        return 9;
    }
    if (state == "0") {
        return 8;
    }
    return 0;
}

void StoreQueriedSuspended(TStringGridData& grid, int row, int answer) {
    grid.SetCell(kAccSuspendedCol, row, answer == 1 ? "1" : "0");
}

SuspendAction SuspendActionOf(const TStringGridData& grid, int row) {
    const std::string& state = grid.Cell(kAccSuspendedCol, row);
    if (state == "1") {
        return SuspendAction::Unsuspend;
    }
    if (state == "0") {
        return SuspendAction::Suspend;
    }
    return SuspendAction::None;
}

SuspendOutcome ApplySuspendAnswer(TStringGridData& grid, int row, bool suspended, std::string_view statusText,
                                  std::string_view messageText) {
    SuspendOutcome outcome;
    if (statusText.empty() && messageText.empty()) {
        return outcome; // declined: nothing was sent
    }
    outcome.showMessage = true;
    outcome.message.assign(messageText);
    if (statusText == "1") {
        grid.SetCell(kAccSuspendedCol, row, suspended ? "1" : "0");
        outcome.changed = true;
    }
    return outcome;
}

FilterBarKept KeepFilterBarTrue(TStringGridData& grid, TListState& state, int row, std::string_view boxText) {
    FilterBarKept kept;
    if (row < 1 || row >= grid.RowCount()) {
        return kept;
    }
    const std::string& suspended = grid.Cell(kAccSuspendedCol, row);
    state.suspendedSince[grid.Cell(kAccUserCol, row)] = suspended;
    ++state.listChanges;
    const char* removed = state.filterMode == kFilterActive      ? "1"
                          : state.filterMode == kFilterSuspended ? "0"
                                                                 : nullptr;
    if (removed == nullptr || suspended != removed) {
        return kept;
    }
    std::vector<bool> keep(static_cast<size_t>(grid.RowCount()), true);
    keep[static_cast<size_t>(row)] = false;
    grid.KeepRows(keep);
    kept.removed = true;
    kept.slot1 = ApplyLocalFilter(grid, kListModeAccounts, boxText, false, state.filterMode).slot1;
    return kept;
}

bool ApplyBandwidthAnswer(TStringGridData& grid, int row, std::string_view limit, bool sent,
                          int transportStatus, bool signedOut) {
    if (signedOut) {
        return true;
    }
    if (sent && transportStatus == 0) {
        grid.SetCell(kAccBandwidthCol, row, std::string(limit));
    }
    return false;
}

AfterDelete AfterAccountDelete(int result, int listMode) {
    AfterDelete after;
    after.showTransportError = result > 0;
    after.refetchAccounts = result == 0;
    // The refetch switches the list mode to accounts before the package mode is looked at.
    after.packageFetches = (result != 0 && listMode == kListModePackages) ? 1 : 0;
    return after;
}

} // namespace parlomar
