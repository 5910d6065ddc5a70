#pragma once

#include "core/accounts/AccountList.h"
#include "core/server/HttpTransport.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace parlomar {

// One action on several accounts of the account list: what is sent for which account, how each
// reply is judged, the texts the operator reads (question, progress, outcomes, counts) and what the
// grid shows afterwards. The requests themselves run on a worker (TBulkRun).

enum class BulkKind { Suspend, Unsuspend, Delete };

enum class BulkOutcome {
    Pending,   // not sent yet
    Done,      // the server carried it out
    Skipped,   // the account was in the wanted state already: nothing sent
    Refused,   // the server answered with failure
    Failed,    // the transfer failed before the request went out (transportStatus)
    Unknown,   // sent, but no reply was judged (stopped, signed out, cut off): the server may have done it
    SignedOut, // the server no longer accepts the sign-in; the run ends there
    NotSent,   // the run was stopped (or the sign-in ended) before it came to this account
};

struct BulkEntry {
    std::string user;
    std::string domain;
    BulkOutcome outcome = BulkOutcome::Pending;
    std::string message;     // the server's statusmsg (done or refused)
    int transportStatus = 0; // failed or unknown: the transport status
};

// One entry per row given, in that order. Rows already in the wanted state (suspended cell "1" for a
// suspend, "0" for an unsuspend) are Skipped; an unknown state is sent. Rows outside the grid are
// left out.
std::vector<BulkEntry> PlanBulkAction(const TStringGridData& grid, const std::vector<int>& rows,
                                      BulkKind kind);

// The request of one entry: suspendacct, unsuspendacct or removeacct with the user name.
std::string BulkRequestUrl(std::string_view baseUrl, BulkKind kind, std::string_view user);

// Judges the reply of an entry's request (sets outcome, message, transportStatus). A failed transfer
// of a request that went out is Unknown; one that never went out because the run was no longer
// wanted (stopped, signed out) is NotSent; any other failed transfer is Failed.
void JudgeBulkReply(BulkEntry& entry, const HttpReply& reply, bool runStillWanted = true);

struct BulkCounts {
    int done = 0, skipped = 0, refused = 0, failed = 0, notSent = 0, unknown = 0;
    int toSend = 0; // entries that are not Skipped
    int sent = 0;   // entries of toSend that have an outcome (done, refused, failed, signed out, unknown)
};
BulkCounts CountBulk(const std::vector<BulkEntry>& entries);

// The question asked once before a run: how many accounts, the first few user names, and how many
// are skipped. Empty when nothing is to be sent.
std::string BulkQuestion(const std::vector<BulkEntry>& entries, BulkKind kind);
// The caption of the row menu item for this many selected accounts.
std::string BulkMenuCaption(BulkKind kind, std::size_t count);
// The heading of the progress and summary window.
std::string BulkHeading(BulkKind kind);
// "12 of 40".
std::string BulkProgressText(int sent, int toSend);
// The count line of the summary.
std::string BulkCountsText(const BulkCounts& counts);
// What the summary shows for one entry ("" while pending).
std::string BulkOutcomeText(const BulkEntry& entry, BulkKind kind);
// "Sent, outcome unknown" with the reason no reply was judged: a request that went out and ended
// with that transport status. The summary and the activity log say it alike.
std::string SentOutcomeUnknownText(int transportStatus);
// True when the grid may no longer show the server's state after a run: a request of it went out
// without a judged reply. The list is then fetched again.
bool BulkNeedsRefetch(const std::vector<BulkEntry>& entries);

// A status text with "%1", "%2" ... replaced by the values, in order; the fallback stands in for a
// text the language file does not hold (an older copy of it).
std::string FormatStatusText(int n, const std::vector<std::string>& values, std::string_view fallback = {});

// What the grid shows after entries came back: each done suspend or unsuspend sets its account's
// suspended cell (remembered for rebuilds from the stored reply) and each done delete removes its
// account's row (remembered too, and no longer counted among the server's accounts). Rows the filter
// bar no longer admits leave the grid; the local filter then runs again with the box text. One pass
// over the grid, whatever the number of entries.
struct BulkGridChange {
    bool rowsChanged = false;  // rows were removed: the view re-reads its rows
    bool cellsChanged = false; // cells changed in place
    ListStatusSlot slot1;      // status slot 1 when rowsChanged
};
BulkGridChange ApplyBulkEntries(TStringGridData& grid, TListState& state, BulkKind kind,
                                const std::vector<BulkEntry>& entries, std::string_view boxText);

} // namespace parlomar
