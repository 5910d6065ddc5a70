// find: one search on every saved server at once, one table with a server column.

#include "cli/ListCommands.h"
#include "cli/ListOptions.h"

#include <atomic>
#include <iostream>
#include <thread>

namespace parlomar::cli {

namespace {

constexpr std::size_t kAtOnce = 8; // servers searched at the same time

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
        struct Search {
            SavedServer server;
            SessionPtr session;
            ListResult result;
        };
        std::vector<Search> searches;
        int status = kExitDone;
        // Passwords may be asked on the terminal: one server after the other, before any search.
        for (const SavedServer& server : ReadSavedServers()) {
            try {
                searches.push_back({server, OpenServerSession(server, false), {}});
            } catch (const Failure& failure) {
                Complain(failure.what());
                status = kExitFailed;
            }
        }
        std::atomic<std::size_t> next{0};
        std::vector<std::thread> workers;
        for (std::size_t w = 0; w < std::min(kAtOnce, searches.size()); ++w) {
            workers.emplace_back([&] {
                for (std::size_t i; (i = next++) < searches.size();) {
                    Search& search = searches[i];
                    search.result =
                        FetchList(search.session, search.server,
                                  AccountSearchUrl(search.session->BaseUrl(), text_, by_), options_, columns);
                }
            });
        }
        for (auto& worker : workers)
            worker.join();

        Rows rows;
        rows.columns.push_back("server");
        rows.columns.insert(rows.columns.end(), columns.begin(), columns.end());
        for (Search& search : searches) {
            if (search.result.failure) {
                Complain(search.result.failure->what());
                status = kExitFailed;
                continue;
            }
            for (auto& row : search.result.rows) {
                row.insert(row.begin(), ServerLabel(search.server));
                rows.rows.push_back(std::move(row));
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
