// accounts, packages and show: what a server lists, in the chosen format.

#include "cli/ListCommands.h"

#include "cli/ListOptions.h"
#include "core/accounts/StringGrid.h"
#include "core/server/Global.h"

#include <iostream>

namespace parlomar::cli {

namespace {

class AccountsCommand : public ServerCommand {
public:
    AccountsCommand()
        : ServerCommand("accounts", "list the accounts of a server (all, or those a search finds)") {}

    void AddOptions(CLI::App& app) override {
        AddServerOption(app);
        app.add_option("--search", search_, "search the server for this text (an expression)");
        app.add_option("--by", by_, "what the search looks at")
            ->check(CLI::IsMember({"domain", "user", "owner", "ip", "package"}));
        options_.Add(app, true);
    }

    int Run() override {
        const std::vector<std::string> columns = options_.Columns(kAccountFields);
        const SessionPtr session = OpenServerSession(Server(), false);
        const std::string url = AccountSearchUrl(session->BaseUrl(), search_, by_);
        Progress("Listing the accounts of " + ServerLabel(Server()) + "...");
        const Format format = FormatOf(options_.format);
        if (format == Format::Csv && options_.sort.empty()) {
            // Rows go out as the reply arrives.
            CsvStream csv(std::cout, columns);
            std::vector<std::string_view> shown;
            const ListResult result =
                FetchList(session, Server(), url, options_, columns, [&](const auto& row) {
                    shown.assign(row.begin(), row.begin() + static_cast<std::ptrdiff_t>(columns.size()));
                    csv.Row(shown);
                });
            std::cout.flush();
            if (result.failure)
                throw *result.failure;
            return kExitDone;
        }
        ListResult result = FetchList(session, Server(), url, options_, columns);
        if (result.failure)
            throw *result.failure;
        Rows rows{columns, std::move(result.rows)};
        options_.Sort(rows);
        WriteRows(std::cout, format, rows);
        return kExitDone;
    }

private:
    std::string search_;
    std::string by_;
    ListOptions options_;
};

class PackagesCommand : public ServerCommand {
public:
    PackagesCommand() : ServerCommand("packages", "list the hosting packages of a server") {}

    void AddOptions(CLI::App& app) override {
        AddServerOption(app);
        options_.Add(app, false);
    }

    int Run() override {
        const std::vector<std::string> columns = options_.Columns(kPackageFields);
        const SessionPtr session = OpenServerSession(Server(), false);
        ListResult result =
            FetchList(session, Server(), ListPackagesUrl(session->BaseUrl()), options_, columns);
        if (result.failure)
            throw *result.failure;
        Rows rows{columns, std::move(result.rows)};
        options_.Sort(rows);
        WriteRows(std::cout, FormatOf(options_.format), rows);
        return kExitDone;
    }

private:
    ListOptions options_;
};

class ShowCommand : public ServerCommand {
public:
    ShowCommand() : ServerCommand("show", "every field of one account's summary") {}

    void AddOptions(CLI::App& app) override {
        app.add_option("USER", user_, "the account's user name")->required();
        AddServerOption(app);
        app.add_option("--format", format_, "the output format")
            ->check(CLI::IsMember({"table", "csv", "json"}));
    }

    int Run() override {
        const SessionPtr session = OpenServerSession(Server(), false);
        const HttpReply reply = Call(session, AccountSummaryUrl(session->BaseUrl(), user_));
        TStringGridData grid(2, 0);
        XmlChildrenToList(reply.text, "acct", &grid);
        if (grid.RowCount() == 0) {
            const std::string message = StatusMessageOf(reply.text);
            throw Failure(kExitFailed,
                          ServerLabel(Server()) + ": " + (message.empty() ? "no account " + user_ : message));
        }
        const Format format = FormatOf(format_);
        Rows rows;
        if (format == Format::Json) { // one object with the server's field names
            rows.rows.emplace_back();
            for (int r = 0; r < grid.RowCount(); ++r) {
                rows.columns.emplace_back(grid.Cell(0, r));
                rows.rows.back().emplace_back(grid.Cell(1, r));
            }
        } else {
            rows.columns = {"field", "value"};
            for (int r = 0; r < grid.RowCount(); ++r)
                rows.rows.push_back({std::string(grid.Cell(0, r)), std::string(grid.Cell(1, r))});
        }
        WriteRows(std::cout, format, rows);
        return kExitDone;
    }

private:
    std::string user_;
    std::string format_ = "table";
};

} // namespace

std::unique_ptr<Command> MakeAccountsCommand() {
    return std::make_unique<AccountsCommand>();
}
std::unique_ptr<Command> MakePackagesCommand() {
    return std::make_unique<PackagesCommand>();
}
std::unique_ptr<Command> MakeShowCommand() {
    return std::make_unique<ShowCommand>();
}

} // namespace parlomar::cli
