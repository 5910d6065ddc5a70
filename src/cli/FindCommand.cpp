// find: one search on every saved server at once (the core's TFindAll), one table with a server column.

#include "cli/ListCommands.h"
#include "cli/ListOptions.h"

#include "core/accounts/FindAll.h"
#include "core/server/PasswordCipher.h"

#include <algorithm>
#include <iostream>

namespace parlomar::cli {

namespace {

// A found account's value of one of the account list's fields.
std::string FieldOf(const FoundAccount& account, const std::string& field) {
    if (field == "user")
        return account.user;
    if (field == "domain")
        return account.domain;
    if (field == "suspended")
        return account.suspended;
    if (field == "diskused")
        return account.diskUsed;
    return account.diskLimit;
}

class FindCommand : public Command {
public:
    FindCommand() : Command("find", "search every saved server at once") {}

    void AddOptions(CLI::App& app) override {
        app.add_option("TEXT", text_, "the search text (an expression)")->required();
        app.add_option("--by", by_, "what the search looks at")
            ->check(CLI::IsMember({"domain", "user", "owner", "ip", "package"}));
        options_.Add(app, true);
    }

    int Run() override {
        const std::vector<std::string> columns = options_.Columns(kAccountFields);
        for (const std::string& column : columns)
            if (std::find(kAccountFields.begin(), kAccountFields.end(), column) == kAccountFields.end())
                throw Failure(kExitUsage,
                              "find shows the account list's fields only, not \"" + column + "\"");
        int status = kExitDone;
        FindAllRequest request;
        request.text = text_;
        request.searchType = by_;
        // The checks and the passwords first, one server after the other (a password may be asked on
        // the terminal); a server that fails them is named and left out.
        for (SavedServer server : ReadSavedServers()) {
            if (PinnedFingerprint(server).empty()) {
                Complain(ServerLabel(server) + ": the certificate is not pinned (see parlomar-cli trust)");
                status = kExitFailed;
                continue;
            }
            if (!server.savePassword || server.encipheredPassword.empty()) {
                try {
                    server.encipheredPassword = EncipherPassword(PasswordOf(server));
                    server.savePassword = true;
                } catch (const Failure& failure) {
                    Complain(failure.what());
                    status = kExitFailed;
                    continue;
                }
            }
            request.servers.push_back(std::move(server));
        }
        Progress("Searching " + std::to_string(request.servers.size()) + " servers...");
        FindAllResult result;
        TFindAll find(std::move(request), nullptr, [&result](const FindAllResult& all) { result = all; });
        find.Start();
        find.Wait();

        Rows rows;
        rows.columns.push_back("server");
        rows.columns.insert(rows.columns.end(), columns.begin(), columns.end());
        const std::vector<std::string> fields = options_.Fields(columns);
        for (const FindServerResult& server : result.servers) {
            if (!server.answered) {
                Complain(server.label + ": " + server.reason);
                status = kExitFailed;
                continue;
            }
            for (const FoundAccount& account : server.accounts) {
                std::vector<std::string> values;
                for (const std::string& field : fields)
                    values.push_back(FieldOf(account, field));
                if (!options_.Admits(fields, {values.begin(), values.end()}))
                    continue;
                values.resize(columns.size());
                values.insert(values.begin(), server.label);
                rows.rows.push_back(std::move(values));
            }
        }
        options_.Sort(rows);
        WriteRows(std::cout, FormatOf(options_.format), rows);
        return status;
    }

private:
    std::string text_;
    std::string by_;
    ListOptions options_;
};

} // namespace

std::unique_ptr<Command> MakeFindCommand() {
    return std::make_unique<FindCommand>();
}

} // namespace parlomar::cli
