#include "core/accounts/BulkAction.h"

#include "core/server/Global.h"
#include "core/settings/Localization.h"

#include <unordered_map>

namespace parlomar {

namespace {

constexpr std::size_t kNamedInQuestion = 5;

const char* FunctionOf(BulkKind kind) {
    switch (kind) {
    case BulkKind::Suspend:
        return "suspendacct?user=";
    case BulkKind::Unsuspend:
        return "unsuspendacct?user=";
    case BulkKind::Delete:
        break;
    }
    return "removeacct?user=";
}

// The suspended cell of an account that needs nothing sent ("" for a delete: always sent).
std::string_view WantedState(BulkKind kind) {
    return kind == BulkKind::Suspend ? "1" : kind == BulkKind::Unsuspend ? "0" : "";
}

int KindText(BulkKind kind, int suspendText) {
    return suspendText + (kind == BulkKind::Unsuspend ? 1 : kind == BulkKind::Delete ? 2 : 0);
}

} // namespace

std::string FormatStatusText(int n, const std::vector<std::string>& values, std::string_view fallback) {
    std::string text = StatusText(n);
    if (!fallback.empty() && (text.empty() || text == "0"))
        text = fallback;
    std::string out;
    out.reserve(text.size() + 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9') {
            const auto index = static_cast<std::size_t>(text[i + 1] - '1');
            if (index < values.size()) {
                out += values[index];
                ++i;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

std::vector<BulkEntry> PlanBulkAction(const TStringGridData& grid, const std::vector<int>& rows,
                                      BulkKind kind) {
    std::vector<BulkEntry> entries;
    entries.reserve(rows.size());
    const std::string_view wanted = WantedState(kind);
    for (int row : rows) {
        if (row < 1 || row >= grid.RowCount()) {
            continue;
        }
        BulkEntry entry;
        entry.user = grid.Cell(kAccUserCol, row);
        entry.domain = grid.Cell(kAccDomainCol, row);
        if (!wanted.empty() && grid.Cell(kAccSuspendedCol, row) == wanted) {
            entry.outcome = BulkOutcome::Skipped;
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::string BulkRequestUrl(std::string_view baseUrl, BulkKind kind, std::string_view user) {
    return ApiItemUrl(baseUrl, FunctionOf(kind), user);
}

void JudgeBulkReply(BulkEntry& entry, const HttpReply& reply, bool runStillWanted) {
    if (reply.status != kStatusOk) {
        entry.transportStatus = reply.status;
        entry.outcome = reply.sent       ? BulkOutcome::Unknown
                        : runStillWanted ? BulkOutcome::Failed
                                         : BulkOutcome::NotSent;
        return;
    }
    if (IsSignedOutReply(reply.text, reply.httpStatus)) {
        entry.outcome = BulkOutcome::SignedOut;
        return;
    }
    const ApiResult result = ReadApiResult(reply.text);
    entry.outcome = result.IsSuccess() ? BulkOutcome::Done : BulkOutcome::Refused;
    entry.message = result.statusmsg;
}

BulkCounts CountBulk(const std::vector<BulkEntry>& entries) {
    BulkCounts counts;
    for (const BulkEntry& entry : entries) {
        switch (entry.outcome) {
        case BulkOutcome::Skipped:
            ++counts.skipped;
            continue;
        case BulkOutcome::Done:
            ++counts.done;
            break;
        case BulkOutcome::Refused:
            ++counts.refused;
            break;
        case BulkOutcome::Failed:
        case BulkOutcome::SignedOut:
            ++counts.failed;
            break;
        case BulkOutcome::NotSent:
            ++counts.notSent;
            break;
        case BulkOutcome::Unknown:
            ++counts.unknown;
            break;
        case BulkOutcome::Pending:
            break;
        }
        ++counts.toSend;
        if (entry.outcome != BulkOutcome::Pending && entry.outcome != BulkOutcome::NotSent) {
            ++counts.sent;
        }
    }
    return counts;
}

std::string BulkQuestion(const std::vector<BulkEntry>& entries, BulkKind kind) {
    const BulkCounts counts = CountBulk(entries);
    if (counts.toSend == 0) {
        return "";
    }
    std::string names;
    std::size_t named = 0;
    for (const BulkEntry& entry : entries) {
        if (entry.outcome == BulkOutcome::Skipped) {
            continue;
        }
        if (named == kNamedInQuestion) {
            names += ' ';
            names += FormatStatusText(106, {std::to_string(counts.toSend - static_cast<int>(named))});
            break;
        }
        names += (named ? ", " : "") + entry.user;
        ++named;
    }
    static constexpr std::string_view kOneAccount[] = {"Do you want to suspend 1 account?",
                                                       "Do you want to unsuspend 1 account?",
                                                       "Do you really want to delete 1 account?"};
    const int kindIndex = KindText(kind, 0);
    std::string text = counts.toSend == 1
                           ? FormatStatusText(KindText(kind, 131), {}, kOneAccount[kindIndex])
                           : FormatStatusText(KindText(kind, 103), {std::to_string(counts.toSend)});
    text += '\n';
    text += names;
    if (counts.skipped == 1) {
        text += '\n';
        text += kind == BulkKind::Suspend
                    ? FormatStatusText(123, {},
                                       "1 of the selected accounts is suspended already and will be skipped.")
                    : FormatStatusText(124, {},
                                       "1 of the selected accounts is active already and will be skipped.");
    } else if (counts.skipped > 1) {
        text += '\n';
        text += FormatStatusText(kind == BulkKind::Suspend ? 107 : 108, {std::to_string(counts.skipped)});
    }
    return text;
}

std::string BulkMenuCaption(BulkKind kind, std::size_t count) {
    return FormatStatusText(KindText(kind, 100), {std::to_string(count)});
}

std::string BulkHeading(BulkKind kind) {
    return StatusText(KindText(kind, 109));
}

std::string BulkProgressText(int sent, int toSend) {
    return FormatStatusText(112, {std::to_string(sent), std::to_string(toSend)});
}

std::string BulkCountsText(const BulkCounts& counts) {
    std::string text = FormatStatusText(119, {std::to_string(counts.done), std::to_string(counts.skipped),
                                              std::to_string(counts.refused), std::to_string(counts.failed),
                                              std::to_string(counts.notSent)});
    if (counts.unknown > 0)
        text += ", " + FormatStatusText(126, {std::to_string(counts.unknown)}, "%1 sent, outcome unknown");
    return text;
}

std::string SentOutcomeUnknownText(int transportStatus) {
    // Status 2 here is a stop or a sign-out while the reply was awaited: its error text speaks of a
    // request not sent, which this one was.
    const std::string reason = transportStatus == kStatusRequestNotOpened
                                   ? FormatStatusText(134, {}, "the wait for the reply was ended")
                                   : ErrorText(transportStatus);
    return FormatStatusText(125, {reason}, "Sent, outcome unknown: %1");
}

bool BulkNeedsRefetch(const std::vector<BulkEntry>& entries) {
    for (const BulkEntry& entry : entries)
        if (entry.outcome == BulkOutcome::Unknown)
            return true;
    return false;
}

std::string BulkOutcomeText(const BulkEntry& entry, BulkKind kind) {
    switch (entry.outcome) {
    case BulkOutcome::Pending:
        return "";
    case BulkOutcome::Done:
        return StatusText(113);
    case BulkOutcome::Skipped:
        return StatusText(kind == BulkKind::Suspend ? 114 : 115);
    case BulkOutcome::Refused:
        return FormatStatusText(116, {entry.message.empty() ? ErrorText(11) : entry.message});
    case BulkOutcome::Failed:
        return FormatStatusText(117, {ErrorText(entry.transportStatus)});
    case BulkOutcome::SignedOut:
        return FormatStatusText(117, {StatusText(11)});
    case BulkOutcome::Unknown:
        return SentOutcomeUnknownText(entry.transportStatus);
    case BulkOutcome::NotSent:
        break;
    }
    return StatusText(118);
}

BulkGridChange ApplyBulkEntries(TStringGridData& grid, TListState& state, BulkKind kind,
                                const std::vector<BulkEntry>& entries, std::string_view boxText) {
    BulkGridChange change;
    std::unordered_map<std::string, bool> done; // user name -> seen in the grid
    for (const BulkEntry& entry : entries) {
        if (entry.outcome != BulkOutcome::Done) {
            continue;
        }
        done.emplace(entry.user, false);
        ++state.listChanges;
        if (kind == BulkKind::Delete) {
            if (state.deletedSince.insert(entry.user).second && state.serverAccountCount > 0) {
                --state.serverAccountCount;
            }
        } else {
            state.suspendedSince[entry.user].assign(1, kind == BulkKind::Suspend ? '1' : '0');
        }
    }
    if (done.empty() || grid.ColCount() != kAccountColumns) {
        return change;
    }
    const char* newState = kind == BulkKind::Suspend ? "1" : "0";
    const char* barRemoves = state.filterMode == kFilterActive      ? "1"
                             : state.filterMode == kFilterSuspended ? "0"
                                                                    : nullptr;
    std::vector<bool> keep(static_cast<std::size_t>(grid.RowCount()), true);
    for (int row = 1; row < grid.RowCount(); ++row) {
        const auto it = done.find(std::string(grid.Cell(kAccUserCol, row)));
        if (it == done.end()) {
            continue;
        }
        if (kind == BulkKind::Delete) {
            keep[static_cast<std::size_t>(row)] = false;
            change.rowsChanged = true;
            continue;
        }
        grid.SetCell(kAccSuspendedCol, row, newState);
        change.cellsChanged = true;
        if (barRemoves != nullptr && std::string_view(newState) == barRemoves) {
            keep[static_cast<std::size_t>(row)] = false;
            change.rowsChanged = true;
        }
    }
    if (change.rowsChanged) {
        grid.KeepRows(keep);
        change.slot1 = ApplyLocalFilter(grid, kListModeAccounts, boxText, false, state.filterMode).slot1;
    }
    return change;
}

} // namespace parlomar
