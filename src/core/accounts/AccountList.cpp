#include "core/accounts/AccountList.h"

#include "core/accounts/GridSort.h"
#include "core/server/Global.h"
#include "core/server/XMLParser.h"

#include <algorithm>
#include <iterator>
#include <unordered_map>
#include <utility>

#ifdef __GLIBC__
#include <malloc.h>
#endif

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
                limits[std::string(grid.Cell(kAccUserCol, row))] = grid.Cell(kAccBandwidthCol, row);
            }
        }
    }
    return limits;
}

// XmlExtract's fill of one column (mode 1) from values read beforehand: value(n) is the text of row
// n + 1. The rows left are the last column's, and that column numbers them (every column does in
// XmlExtract; only the last one's numbers stay).
template <typename ValueOf>
void FillColumn(TStringGridData& grid, int column, int count, bool numbers, ValueOf value) {
    if (grid.RowCount() < count + 1) {
        grid.ReserveRows(count + 1);
        grid.SetRowCount(count + 1);
    }
    for (int n = 1; n <= count; ++n) {
        if (numbers) {
            grid.SetCell(0, n, std::to_string(n));
        }
        grid.SetCell(column, n, value(n - 1));
    }
    grid.SetRowCount(count + 1);
}

void FillColumn(TStringGridData& grid, int column, std::vector<std::string>& values, bool numbers) {
    FillColumn(grid, column, static_cast<int>(values.size()), numbers,
               [&values](int n) { return std::move(values[static_cast<size_t>(n)]); });
    std::vector<std::string>().swap(values);
}

// Columns 4 and 7 and the row heights of the rows just filled. The panel addresses are one text
// block that the grid shows pieces of.
int FinishAccountRows(TStringGridData& grid, const std::unordered_map<std::string, std::string>& limits) {
    const int rows = grid.RowCount() - 1;
    const int height = grid.DefaultRowHeight();
    constexpr std::string_view kScheme = "http://", kPath = "/panel";
    auto panels = std::make_shared<std::string>();
    std::size_t bytes = 0;
    for (int row = 1; row <= rows; ++row) {
        bytes += kScheme.size() + grid.Cell(kAccDomainCol, row).size() + kPath.size();
    }
    panels->reserve(bytes);
    for (int row = 1; row <= rows; ++row) {
        panels->append(kScheme).append(grid.Cell(kAccDomainCol, row)).append(kPath);
    }
    const std::string_view all = *panels;
    grid.AddTexts(panels, all);
    std::size_t at = 0;
    for (int row = 1; row <= rows; ++row) {
        std::string_view limit;
        if (!limits.empty()) {
            if (auto it = limits.find(std::string(grid.Cell(kAccUserCol, row))); it != limits.end()) {
                limit = it->second;
            }
        }
        grid.SetCell(kAccBandwidthCol, row, limit);
        const std::size_t size = kScheme.size() + grid.Cell(kAccDomainCol, row).size() + kPath.size();
        grid.ShowText(kAccPanelCol, row, all.substr(at, size));
        at += size;
        grid.SetRowHeight(row, height);
    }
    grid.DropUnshownTexts();
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
        FillColumn(grid, kReadColumns[i], values.Values(i), i + 1 == std::size(kReadTags));
    }
    values.Reset(); // taken: a second build reads the text
    return FinishAccountRows(grid, limits);
}

int FillAccountRows(TStringGridData& grid, const std::shared_ptr<const TAccountValues>& values) {
    const auto limits = LimitsSetInThisRun(grid);
    grid.SetColCount(kAccountColumns);
    if (!values) {
        grid.SetRowCount(std::min(grid.RowCount(), 1));
        return FinishAccountRows(grid, limits);
    }
    grid.AddTexts(values, values->Texts());
    // As the column fill of the reply text leaves them: the last column's count gives the rows, and
    // a value stays only in a row that no later column with fewer values cut off.
    constexpr int kLast = TAccountValues::kColumns - 1;
    const int rows = values->Count(kLast);
    int kept[TAccountValues::kColumns];
    kept[kLast] = rows;
    for (int i = kLast - 1; i >= 0; --i) {
        kept[i] = std::min(values->Count(i), kept[i + 1]);
    }
    grid.SetRowCount(1);
    grid.ReserveRows(rows + 1);
    grid.SetRowCount(rows + 1);
    for (int i = 0; i < TAccountValues::kColumns; ++i) {
        for (int n = 0; n < kept[i]; ++n) {
            grid.ShowText(kReadColumns[i], n + 1, values->Value(i, n));
        }
    }
    for (int n = 1; n <= rows; ++n) {
        grid.SetCell(kAccNumberCol, n, std::to_string(n));
    }
    return FinishAccountRows(grid, limits);
}

TAccountValues TAccountValues::FromReply(std::string_view reply) {
    TAccountValues values;
    values.replyBytes = reply.size();
    values.serverMarker = reply.find(kServerMarker) != std::string_view::npos;
    for (int i = 0; i < kColumns; ++i) {
        TStringGridData column(2, 1);
        XmlExtract(reply, "", kReadTags[i], kXmlFillColumn, &column, 1);
        values.firsts_[i] = values.ends_.size();
        for (int row = 1; row < column.RowCount(); ++row) {
            values.texts_.append(column.Cell(1, row));
            values.ends_.push_back(values.texts_.size());
        }
    }
    values.firsts_[kColumns] = values.ends_.size();
    values.status = XmlExtract(reply, "", "status", kXmlLastValue);
    values.statusMessage = StatusMessageOf(reply);
    return values;
}

void TAccountValues::TakeColumns(TXmlExtractStream& values) {
    texts_.clear();
    ends_.clear();
    std::size_t bytes = 0, count = 0;
    for (int i = 0; i < kColumns; ++i) {
        for (const std::string& value : values.Values(static_cast<std::size_t>(i))) {
            bytes += value.size();
        }
        count += values.Values(static_cast<std::size_t>(i)).size();
    }
    texts_.reserve(bytes);
    ends_.reserve(count);
    for (int i = 0; i < kColumns; ++i) {
        firsts_[i] = ends_.size();
        std::vector<std::string>& column = values.Values(static_cast<std::size_t>(i));
        for (const std::string& value : column) {
            texts_.append(value);
            ends_.push_back(texts_.size());
        }
        std::vector<std::string>().swap(column);
    }
    firsts_[kColumns] = ends_.size();
}

int TAccountValues::Count(int column) const {
    if (column < 0 || column >= kColumns) {
        return 0;
    }
    return static_cast<int>(firsts_[column + 1] - firsts_[column]);
}

std::string_view TAccountValues::Value(int column, int n) const {
    if (n < 0 || n >= Count(column)) {
        return {};
    }
    const std::size_t at = firsts_[column] + static_cast<std::size_t>(n);
    const std::size_t start = at == 0 ? 0 : ends_[at - 1];
    return std::string_view(texts_).substr(start, ends_[at] - start);
}

bool TAccountValues::SignedOut(long httpStatus) const {
    return httpStatus == 401 || httpStatus == 403 || (!Empty() && !serverMarker);
}

TAccountReplyReader::TAccountReplyReader(std::size_t scanEvery)
    : values_(std::vector<std::string>(std::begin(kReadTags), std::end(kReadTags)), scanEvery) {}

void TAccountReplyReader::Restart() {
    values_.Reset();
    bytes_ = 0;
    marker_ = false;
    markerTail_.clear();
    keepText_ = true;
    std::string().swap(text_);
}

void TAccountReplyReader::Take(std::string_view bytes) {
    values_.Feed(bytes);
    bytes_ += bytes.size();
    if (!marker_) {
        const std::size_t tail = kServerMarker.size() - 1;
        std::string joint = markerTail_;
        joint.append(bytes.substr(0, std::min(bytes.size(), tail)));
        marker_ = joint.find(kServerMarker) != std::string::npos ||
                  bytes.find(kServerMarker) != std::string_view::npos;
        markerTail_.append(bytes.substr(bytes.size() - std::min(bytes.size(), tail)));
        markerTail_.erase(0, markerTail_.size() - std::min(markerTail_.size(), tail));
    }
    if (keepText_) {
        // Once an account is complete the reply has rows, and its status words are never shown.
        if (!values_.Values(std::size(kReadTags) - 1).empty()) {
            keepText_ = false;
            std::string().swap(text_);
        } else {
            text_.append(bytes);
        }
    }
}

void TAccountReplyReader::Finish() {
    values_.Finish();
}

std::shared_ptr<const TAccountValues> TAccountReplyReader::TakeAccounts() {
    auto accounts = std::make_shared<TAccountValues>();
    accounts->TakeColumns(values_);
    accounts->replyBytes = bytes_;
    accounts->serverMarker = marker_;
    if (keepText_) {
        accounts->status = XmlExtract(text_, "", "status", kXmlLastValue);
        accounts->statusMessage = StatusMessageOf(text_);
    }
    values_.Reset();
    std::string().swap(text_);
#ifdef __GLIBC__
    // The values were one allocation each, made on the fetch thread: what they held goes back to
    // the system instead of staying with that thread's heap while the grid is built elsewhere.
    malloc_trim(0);
#endif
    return accounts;
}

namespace {

// The part of ShowAccountList after the rows are filled: refusal() gives the reply's status and
// readable message, asked for only when the reply brought no accounts.
template <typename Refusal>
AccountListView ShowFilledRows(TStringGridData& grid, TListState& state, int rows, std::string_view boxText,
                               const StatusTextLookup& statusText, Refusal refusal) {
    AccountListView view;
    view.addCaption = 15;
    view.getListCaption = state.AccountsListedInFull ? 68 : 55;
    if (!state.deletedSince.empty() && rows > 0) {
        std::vector<bool> keep(static_cast<size_t>(grid.RowCount()), true);
        for (int row = 1; row < grid.RowCount(); ++row) {
            keep[static_cast<size_t>(row)] =
                state.deletedSince.count(std::string(grid.Cell(kAccUserCol, row))) == 0;
        }
        grid.KeepRows(keep);
        rows = grid.RowCount() - 1;
    }
    if (rows < 1) {
        view.listMessage = 12;
        view.noAccounts = true;
        // The server refused the search: its words, not "no accounts".
        if (const auto [replyStatus, message] = refusal(); replyStatus != "1" && !replyStatus.empty())
            view.serverMessage = message;
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
            if (auto it = state.suspendedSince.find(std::string(grid.Cell(kAccUserCol, row)));
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

AccountListView FailedOrEmpty(const TListState& state, int status) {
    AccountListView view;
    if (status != 0) {
        view.listMessage = status;
        return view;
    }
    view.addCaption = 15;
    view.getListCaption = state.AccountsListedInFull ? 68 : 55;
    view.listMessage = 12;
    return view;
}

} // namespace

AccountListView ShowAccountList(TStringGridData& grid, TListState& state, int status, std::string_view reply,
                                std::string_view boxText, const StatusTextLookup& statusText,
                                TXmlExtractStream* readValues) {
    if (status != 0 || reply.empty()) {
        return FailedOrEmpty(state, status);
    }
    const int rows = readValues && readValues->Finished() ? FillAccountRows(grid, *readValues)
                                                          : FillAccountRows(grid, reply);
    return ShowFilledRows(grid, state, rows, boxText, statusText, [reply] {
        return std::make_pair(XmlExtract(reply, "", "status", kXmlLastValue), StatusMessageOf(reply));
    });
}

AccountListView ShowAccountList(TStringGridData& grid, TListState& state, int status,
                                const std::shared_ptr<const TAccountValues>& accounts,
                                std::string_view boxText, const StatusTextLookup& statusText) {
    if (status != 0 || !accounts || accounts->Empty()) {
        return FailedOrEmpty(state, status);
    }
    const int rows = FillAccountRows(grid, accounts);
    return ShowFilledRows(grid, state, rows, boxText, statusText,
                          [&accounts] { return std::make_pair(accounts->status, accounts->statusMessage); });
}

ListChangesApplied ReapplyListChanges(TStringGridData& grid, const TListState& state,
                                      std::string_view boxText) {
    ListChangesApplied applied;
    const char* barRemoves = state.filterMode == kFilterActive      ? "1"
                             : state.filterMode == kFilterSuspended ? "0"
                                                                    : nullptr;
    std::vector<bool> keep(static_cast<size_t>(grid.RowCount()), true);
    for (int row = 1; row < grid.RowCount(); ++row) {
        const std::string user(grid.Cell(kAccUserCol, row));
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
    std::string text(grid.Cell(kAccUserCol, row));
    return text.append(" ").append(grid.Cell(kAccDomainCol, row));
}

std::string AccountUsageHint(const TStringGridData& grid, int row) {
    std::string text(grid.Cell(kAccDiskUsedCol, row));
    return text.append("/").append(grid.Cell(kAccDiskLimitCol, row));
}

int SuspendMenuCaption(const TStringGridData& grid, int row) {
    const std::string_view state = grid.Cell(kAccSuspendedCol, row);
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
    const std::string_view state = grid.Cell(kAccSuspendedCol, row);
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
    const std::string suspended(grid.Cell(kAccSuspendedCol, row));
    state.suspendedSince[std::string(grid.Cell(kAccUserCol, row))] = suspended;
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
