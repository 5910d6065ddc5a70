#pragma once

#include "core/accounts/ListGrid.h"
#include "core/accounts/StringGrid.h"
#include "core/server/HttpTransport.h"
#include "core/server/XMLParser.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace parlomar {

// The account list in the grid: building it from a listaccts reply, the filter bar, and the cell
// updates of the account actions. The window acts on the returned descriptions (messages, captions,
// status numbers); the texts behind the numbers are StatusText / ErrorText.

// Account columns.
inline constexpr int kAccountColumns = 8;
inline constexpr int kAccNumberCol = 0;
inline constexpr int kAccUserCol = 1;
inline constexpr int kAccDomainCol = 2;
inline constexpr int kAccSuspendedCol = 3; // "1" suspended, "0" active, anything else unknown
inline constexpr int kAccBandwidthCol = 4; // the limit set with "Limit bandwidth" in this run
inline constexpr int kAccDiskUsedCol = 5;
inline constexpr int kAccDiskLimitCol = 6;
inline constexpr int kAccPanelCol = 7; // "http://" + domain + "/panel"

// Looks up a numbered status text (StatusText in the program; tests pass their own).
using StatusTextLookup = std::function<std::string(int)>;

// The list values the main window keeps between list builds.
struct TListState {
    bool packageReplyStored = false;
    std::string lastSearchText;
    bool AccountsListedInFull = false;
    bool PackagesListedInFull = true;
    int serverAccountCount = 0; // -1: the next account list build counts the rows
    int filterMode = kFilterAll;
    int lastSelectedRow = 0;
    // The order each list is kept in across refills; a heading click changes it.
    TListSort accountSort;
    TListSort packageSort;
    // Suspended states that account actions changed since the stored account reply was fetched
    // (user name, "1" or "0"): a rebuild from that reply shows them, not the reply's old states.
    std::unordered_map<std::string, std::string> suspendedSince;
    // Accounts deleted since then (user names): a rebuild from that reply leaves them out.
    std::unordered_set<std::string> deletedSince;
    // Counts the changes to the two above, so that a build that started before one knows it.
    std::uint64_t listChanges = 0;
};

// "List accounts": forget the last search, count the next listing, mark it a full listing. The
// window then starts the fetch of SearchAccountsUrl(base, "") with list mode 1.
void BeginListAllAccounts(TListState& state);
// A server search from the search box. An empty text starts nothing and gives 5 (the list message
// to show); otherwise the text becomes the last search text and 0 is returned.
int BeginServerSearch(TListState& state, std::string_view boxText);

// Fills the account columns 1, 2, 3, 5, 6 from every `user`, `domain`, `suspended`, `diskused` and
// `disklimit` of the reply (row n: the n-th occurrence of each tag), numbers column 0, sets column
// 7 to each row's panel address and shows every data row. Bandwidth limits set in this run follow
// their account (by user name); other rows get an empty limit. The heading row (texts and sort
// markers) is kept. Returns the number of data rows.
int FillAccountRows(TStringGridData& grid, std::string_view reply);

// The account list as a listaccts reply gave it: the decoded values of `user`, `domain`,
// `suspended`, `diskused` and `disklimit` (every occurrence in order, as XmlExtract's column fill
// reads them) in one text block, and the few facts about the reply that the window judges it by.
// This is what the main window keeps between list builds instead of the reply text: filling a grid
// from it gives the same rows as from the reply.
class TAccountValues {
public:
    static constexpr int kColumns = 5; // user, domain, suspended, diskused, disklimit

    TAccountValues() = default;
    // Reads a whole reply text.
    static TAccountValues FromReply(std::string_view reply);
    // Takes the values of a finished stream whose first five tags are the five above (they are
    // moved out of it); the reply facts are left to the caller.
    void TakeColumns(TXmlExtractStream& values);

    int Count(int column) const;
    // Value n (from 0) of a column; empty outside.
    std::string_view Value(int column, int n) const;

    std::size_t replyBytes = 0; // 0: the reply was empty
    bool serverMarker = false;  // the reply holds kServerMarker
    // The last `status` of the reply and its readable `statusmsg` (StatusMessageOf). Known for a
    // reply without accounts; a long reply's are not kept.
    std::string status;
    std::string statusMessage;

    bool Empty() const { return replyBytes == 0; }
    // Every value, one after the other: a grid built from these values shows pieces of this text.
    std::string_view Texts() const { return texts_; }
    // IsSignedOutReply of the reply.
    bool SignedOut(long httpStatus) const;

private:
    std::string texts_;
    std::vector<std::size_t> ends_;         // end of each value in texts_ (it starts at the one before)
    std::size_t firsts_[kColumns + 1] = {}; // column c's values are ends_[firsts_[c] .. firsts_[c + 1])
};

// Fills the account rows (as FillAccountRows from the reply text) from the values of a reply. The
// grid shares the values and shows their texts without a copy.
int FillAccountRows(TStringGridData& grid, const std::shared_ptr<const TAccountValues>& values);

// The account values of a listaccts reply, read while the reply arrives (on the fetch thread, as
// its ReplyReader), so that a list build need not read the whole text again. Its values give the
// same rows as the reply text does. It takes the reply's body (TakesBody): the transport keeps no
// text of an account list; of the reply only what the values need is held, and the text itself
// only until the first account is complete (a short reply, a refusal, keeps its words).
class TAccountReplyReader : public ReplyReader {
public:
    // scanEvery: see TXmlExtractStream.
    explicit TAccountReplyReader(std::size_t scanEvery = 16 * 1024);
    void Restart() override;
    void Take(std::string_view bytes) override;
    void Finish() override;
    bool TakesBody() const override { return true; }
    // Finish has run: Values holds the values of the whole reply.
    bool Finished() const { return values_.Finished(); }
    // user, domain, suspended, diskused, disklimit.
    TXmlExtractStream& Values() { return values_; }
    // After Finish: the account list of the reply (the values are moved into it).
    std::shared_ptr<const TAccountValues> TakeAccounts();

private:
    TXmlExtractStream values_;
    std::size_t bytes_ = 0;
    bool marker_ = false;
    std::string markerTail_; // the last bytes taken, for a marker split between two pieces
    bool keepText_ = true;
    std::string text_;
};

// FillAccountRows from values read while the reply arrived (a finished TAccountReplyReader's): the
// same rows as from the reply's text. The values are moved into the grid.
int FillAccountRows(TStringGridData& grid, TXmlExtractStream& values);

// What ShowAccountList leaves for the window to show.
struct AccountListView {
    int listMessage = 0;     // non-zero: ShowListMessage with this code (transport status or 12)
    bool shown = false;      // rows were built: hide the message, show the filter bar, lay out
    int addCaption = 0;      // status text for AddButton (0: unchanged)
    int getListCaption = 0;  // status text for GetListButton (0: unchanged)
    int fetchedRows = 0;     // ShowRequestStatus with 12 and this number (when shown)
    bool noAccounts = false; // StatusLabel1 and status slot 0 := error text 12
    // A reply without accounts whose status is not "1" and that says why (an invalid search
    // expression ...): the server's message, shown in place of error text 12.
    std::string serverMessage;
    int selectRow = 0;    // row to select (0: none)
    ListStatusSlot slot1; // status slot 1 after the filter bar and the local filter
    // Always: StatusLabel2 and status slot 2 are emptied, the list controls unlocked.
};

// The data part of `ShowAccountList` (transport status, reply): builds the account grid, keeps it in
// the order the operator chose (state.accountSort), applies the suspended states changed since the
// reply was fetched (state.suspendedSince), leaves out the accounts deleted since then
// (state.deletedSince), the filter bar (state.filterMode) and then the local
// filter with the search box text. A transport failure or an empty reply leaves the grid as it was.
// With the values of a finished TAccountReplyReader that read this reply, the rows come from those
// (moved out of it) instead of the reply text.
AccountListView ShowAccountList(TStringGridData& grid, TListState& state, int status, std::string_view reply,
                                std::string_view boxText, const StatusTextLookup& statusText,
                                TXmlExtractStream* readValues = nullptr);
// The same from the account list of a reply (a transport failure gives an empty one).
AccountListView ShowAccountList(TStringGridData& grid, TListState& state, int status,
                                const std::shared_ptr<const TAccountValues>& accounts,
                                std::string_view boxText, const StatusTextLookup& statusText);

// A grid built from the stored reply before state.suspendedSince or state.deletedSince last changed:
// those changes into it (suspended states, deleted rows gone, rows the filter bar no longer admits
// gone), then the local filter again with the box text.
struct ListChangesApplied {
    ListStatusSlot slot1;
    int deletedRows = 0; // rows that left because their account was deleted
};
ListChangesApplied ReapplyListChanges(TStringGridData& grid, const TListState& state,
                                      std::string_view boxText);

// The filter bar: with kFilterActive every row whose column 3 is "1" is removed, with
// kFilterSuspended every row whose column 3 is "0"; the rows kept are numbered 1, 2, 3 ... in column
// 0. Returns the number of data rows left.
int ApplyFilterBar(TStringGridData& grid, int filterMode);

// Clipboard text of an account row: user + " " + domain.
std::string AccountCopyText(const TStringGridData& grid, int row);

// Hint of the "user" cell: diskused + "/" + disklimit. (The panel cell's hint is status text 58.)
std::string AccountUsageHint(const TStringGridData& grid, int row);
inline constexpr int kPanelHintText = 58;

// The suspend item of the account menu for a row: status text 9 (unsuspend) when column 3 is "1",
// 8 (suspend) when "0", 0 when the state is unknown (ask the server with QuerySuspended first).
int SuspendMenuCaption(const TStringGridData& grid, int row);
// Stores QuerySuspended's answer: 1 suspended, anything else (0, -1) active.
void StoreQueriedSuspended(TStringGridData& grid, int row, int answer);

enum class SuspendAction { None, Suspend, Unsuspend };
SuspendAction SuspendActionOf(const TStringGridData& grid, int row);

// After ConfirmAndCallForUser for suspendacct / unsuspendacct.
struct SuspendOutcome {
    bool showMessage = false; // the question was answered with OK
    std::string message;      // the server's message; empty: show error text 11
    bool changed = false;     // column 3 took the new state
};
// When the status is "1", column 3 becomes "1" (suspended) or "0". The cell stays as it was for
// any other answer, a refusal or a signed-out reply ("relogin") included.
SuspendOutcome ApplySuspendAnswer(TStringGridData& grid, int row, bool suspended, std::string_view statusText,
                                  std::string_view messageText);

// After ApplySuspendAnswer changed a row: its new state is remembered for rebuilds from the stored
// reply, and when the filter bar shows only active (suspended) accounts and the row's account is now
// suspended (active), the row leaves the grid and the local filter runs again with the box text
// (renumbering the rows left). slot1 is then what status slot 1 shows.
struct FilterBarKept {
    bool removed = false;
    ListStatusSlot slot1;
};
FilterBarKept KeepFilterBarTrue(TStringGridData& grid, TListState& state, int row, std::string_view boxText);

// After the limitbw request: true when the sign-in must end (signed-out reply). Otherwise column 4
// becomes the limit when the request was sent and its transport status is 0.
bool ApplyBandwidthAnswer(TStringGridData& grid, int row, std::string_view limit, bool sent,
                          int transportStatus, bool signedOut);

// What follows a deletion (ConfirmAndCall's result: positive transport failure, 0 success, negative
// declined or refused).
struct AfterDelete {
    bool showTransportError = false; // error text of the result
    bool refetchAccounts = false;    // SearchAccounts with the last search text (list mode becomes 1)
    int packageFetches = 0;          // FetchPackageList this many times, one after the other
};
// An account: a success refetches the search the operator was looking at, which switches to the
// account list; otherwise, in package mode, the package list is fetched again.
AfterDelete AfterAccountDelete(int result, int listMode);

} // namespace parlomar
