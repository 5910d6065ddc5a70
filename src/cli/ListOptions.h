#pragma once

// What the listing subcommands (accounts, packages, find) share: the columns, the sort, the state
// filter and the format, and the reading of one server's list into rows.

#include "cli/ListReader.h"
#include "cli/OutputWriters.h"
#include "cli/ServerCommand.h"

#include <string>
#include <vector>

namespace parlomar::cli {

inline const std::vector<std::string> kAccountFields = {"user", "domain", "suspended", "diskused",
                                                        "disklimit"};
inline const std::vector<std::string> kPackageFields = {"name", "QUOTA", "BWLIMIT"};

struct ListOptions {
    std::string columns; // comma-separated field names; empty: the defaults
    std::string sort;    // a column, "-column" descending; empty: the server's order
    std::string state = "all";
    std::string format = "table";

    void Add(CLI::App& app, bool accounts);
    // The columns shown. Throws Failure (usage) for an empty or malformed name.
    std::vector<std::string> Columns(const std::vector<std::string>& defaults) const;
    // The fields read: the columns, then "suspended" when the state filter needs it and it is not shown.
    std::vector<std::string> Fields(const std::vector<std::string>& columns) const;
    // Whether a row (of Fields) passes the state filter.
    bool Admits(const std::vector<std::string>& fields, const std::vector<std::string_view>& row) const;
    // Sorts rows by the sort column (a column shown); throws Failure (usage) for another name.
    void Sort(Rows& rows) const;
};

// The listaccts request of a search: every account without a text; by: domain, user, owner, ip,
// package, or chosen from the text (domain, ip, else user).
std::string AccountSearchUrl(const std::string& baseUrl, const std::string& text, const std::string& by);

// One server's list into rows (of columns, filtered), or the Failure that ended it.
struct ListResult {
    std::vector<std::vector<std::string>> rows;
    std::optional<Failure> failure;
};
ListResult FetchList(const SessionPtr& session, const SavedServer& server, const std::string& url,
                     const ListOptions& options, const std::vector<std::string>& columns,
                     const ListReader::RowSink& stream = nullptr);

} // namespace parlomar::cli
