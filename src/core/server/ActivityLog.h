#pragma once

#include "core/server/Global.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace parlomar {

// The activity log: a record of every request that changes something on a control server, kept per
// user in ActivityLogFile(), one JSON object a line. A request gets a line before it is sent (phase
// "sending") and another with its outcome (phase "outcome"); both carry the same entry number, so a
// request whose outcome never arrived (the program ended meanwhile) stays visible as such. A request
// that is refused before it is sent has the outcome line only.
//
// The file is readable by its owner only (0600) in a folder only its owner may enter. When a line
// would take it over the size limit it is rotated first: activity.log becomes activity.log.1, that
// one activity.log.2, and the oldest goes, so at most kActivityLogFiles files are kept.

inline constexpr std::uint64_t kActivityLogLimit = 10u * 1024u * 1024u;
inline constexpr int kActivityLogFiles = 3;

struct ActivityRecord {
    std::string time;  // UTC, "2025-03-01T12:00:00.123Z"
    std::string entry; // the same on the two lines of one request
    std::string phase; // "sending" or "outcome"
    std::string server;
    unsigned port = 0;
    std::string user; // the signed-in user
    std::string function;
    std::string target;     // the account or package acted on
    QueryFields parameters; // as sent, without any password
    // Outcome lines only.
    int transportStatus = 0;
    // The request went out but no reply came back (transportStatus is not 0): the server may have
    // carried it out.
    bool sentNoReply = false;
    long httpStatus = 0;
    std::string serverStatus;
    std::string message;
};

// One request of the log as it is shown: what was sent and, when it was recorded, its outcome.
struct ActivityEntry {
    ActivityRecord record; // the sending line, with the outcome line's fields when there is one
    bool outcomeKnown = false;
    std::string outcomeTime;
};

// The line of a record (with its line feed). Texts that are not UTF-8 are written with U+FFFD in
// place of the bytes that are not.
std::string ActivityLine(const ActivityRecord& record);

// A line read back. Nothing for a line that is no JSON object, has no entry or phase, or is longer
// than 1 MiB; missing or mistyped fields read as empty or 0.
std::optional<ActivityRecord> ParseActivityLine(std::string_view line);

// The entries of log texts given oldest first (rotated files first), newest entry first. Malformed
// lines are skipped.
std::vector<ActivityEntry> ActivityEntriesOf(const std::vector<std::string>& texts);

// The current time as the log writes it.
std::string ActivityTimeNow();
// A log time in local time, "2025-03-01 13:00:00"; the text unchanged when it is no log time.
std::string ActivityLocalTime(std::string_view time);

// A new entry number: unique in this run and unlikely to repeat across runs.
std::string NewActivityEntry();

// $XDG_DATA_HOME/ParlomarClient (default ~/.local/share/ParlomarClient); empty without any home.
std::filesystem::path ActivityLogFolder();
std::filesystem::path ActivityLogFile(); // ActivityLogFolder() / "activity.log"

// Test seam: the size at which the file is rotated (kActivityLogLimit; 0 puts it back).
void SetActivityLogLimit(std::uint64_t bytes);

// Appends the record's line, rotating first when needed, and has it on disk before returning. Any
// thread may call it. Throws Error("Unable to write to <path>: <reason>") when it cannot.
void AppendActivity(const ActivityRecord& record);

// Every entry of the log files, newest first. Missing or unreadable files give nothing; of a file
// larger than 32 MiB only its last 32 MiB are read.
std::vector<ActivityEntry> ReadActivityLog();

} // namespace parlomar
