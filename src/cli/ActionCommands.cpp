// suspend, unsuspend, delete, passwd and limitbw: the changes to accounts.

#include "cli/ListCommands.h"
#include "cli/ListOptions.h"
#include "cli/ServerCommand.h"

#include "core/accounts/BulkAction.h"
#include "core/server/ApiRequests.h"
#include "core/server/Global.h"
#include "core/server/XMLParser.h"

#include <charconv>
#include <iostream>
#include <unordered_map>

namespace parlomar::cli {

namespace {

// Past this many accounts their states come from one account list rather than one summary each.
constexpr std::size_t kStatesByList = 20;

std::string OutcomeWords(const BulkEntry& entry, BulkKind kind) {
    const auto withMessage = [&](std::string word) {
        return entry.message.empty() ? word : word + ": " + entry.message;
    };
    switch (entry.outcome) {
    case BulkOutcome::Done:
        return withMessage("done");
    case BulkOutcome::Skipped:
        return kind == BulkKind::Suspend ? "skipped: suspended already" : "skipped: active already";
    case BulkOutcome::Refused:
        return withMessage("refused");
    case BulkOutcome::Failed:
        return "failed: transport status " + std::to_string(entry.transportStatus);
    case BulkOutcome::Unknown:
        return "sent, outcome unknown: transport status " + std::to_string(entry.transportStatus);
    case BulkOutcome::SignedOut:
        return "sign-in refused";
    case BulkOutcome::Pending:
    case BulkOutcome::NotSent:
        break;
    }
    return "not sent";
}

bool Succeeded(const BulkEntry& entry) {
    return entry.outcome == BulkOutcome::Done || entry.outcome == BulkOutcome::Skipped;
}

// Shared by the changes: the server's checks, --dry-run, and one result line per account.
class ChangeCommand : public ServerCommand {
protected:
    using ServerCommand::ServerCommand;

    void AddChangeOptions(CLI::App& app) {
        AddServerOption(app);
        app.add_flag("--dry-run", dryRun_, "print what would be sent and send nothing");
    }
    // Read-only servers take no change, also no rehearsal of one.
    void RefuseReadOnly() {
        if (Server().readOnly)
            throw Failure(kExitReadOnly, ServerLabel(Server()) + " is saved as read-only: nothing was sent");
    }
    // The request as it would go out: its path and query, to the server's address and port.
    void PrintDry(const std::string& url) {
        const std::string base = ServerBaseUrl(Server().address);
        const std::string request = url.starts_with(base) ? url.substr(base.size()) : url;
        std::cout << "would send to " << ServerLabel(Server()) << ": " << request << "\n";
    }

    // Sends one change; a refused certificate, read-only or sign-in ends the whole command.
    HttpReply Send(const SessionPtr& session, const std::string& url) {
        HttpReply reply = HttpGet(session, url);
        if (auto failure = ReplyFailure(reply, Server()); failure && failure->Status() != kExitFailed)
            throw *failure;
        return reply;
    }

    bool dryRun_ = false;
};

class BulkCommand : public ChangeCommand {
public:
    BulkCommand(BulkKind kind, std::string name, std::string description)
        : ChangeCommand(std::move(name), std::move(description)), kind_(kind) {}

    void AddOptions(CLI::App& app) override {
        app.add_option("ACCOUNT", accounts_, "the accounts' user names");
        app.add_option("--from", from_,
                       "also the accounts named in this file, one a line (- standard input)");
        AddChangeOptions(app);
        if (kind_ == BulkKind::Suspend)
            app.add_option("--reason", reason_, "the reason the server records");
        if (kind_ == BulkKind::Delete)
            app.add_flag("-y,--yes", yes_, "delete without a question (needed when not on a terminal)");
    }

    int Run() override {
        const std::vector<std::string> names = AccountNames(accounts_, from_);
        RefuseReadOnly();
        const std::string base = ServerBaseUrl(Server().address);
        if (dryRun_) {
            for (const std::string& name : names)
                PrintDry(Url(base, name));
            return kExitDone;
        }
        if (kind_ == BulkKind::Delete && !yes_) {
            if (!InputIsTerminal())
                throw Failure(kExitUsage, "delete asks first: give --yes when not on a terminal");
            std::string list;
            for (std::size_t i = 0; i < names.size() && i < 5; ++i)
                list += (i ? ", " : "") + names[i];
            if (names.size() > 5)
                list += ", ...";
            if (!AskYes("Delete " + std::to_string(names.size()) + " account(s) on " + ServerLabel(Server()) +
                        " (" + list + ")?"))
                throw Failure(kExitFailed, "nothing deleted");
        }
        const SessionPtr session = OpenServerSession(Server(), true);
        std::vector<BulkEntry> entries = Plan(session, names);
        std::size_t next = 0;
        try {
            for (; next < entries.size(); ++next) {
                BulkEntry& entry = entries[next];
                if (entry.outcome == BulkOutcome::Skipped)
                    continue;
                Progress(entry.user + "...");
                JudgeBulkReply(entry, Send(session, Url(session->BaseUrl(), entry.user)));
                if (entry.outcome == BulkOutcome::SignedOut)
                    throw Failure(kExitSignInRefused,
                                  ServerLabel(Server()) + " refused the user name or password");
            }
        } catch (const Failure&) {
            Report(entries);
            throw;
        }
        return Report(entries);
    }

private:
    std::string Url(const std::string& base, const std::string& user) const {
        std::string url = BulkRequestUrl(base, kind_, user);
        if (kind_ == BulkKind::Suspend && !reason_.empty())
            url += "&reason=" + PercentEncode(reason_);
        return url;
    }

    // The accounts in the wanted state already are skipped, as in the window.
    std::vector<BulkEntry> Plan(const SessionPtr& session, const std::vector<std::string>& names) {
        TStringGridData grid(kAccountColumns, static_cast<int>(names.size()) + 1);
        std::vector<int> rows;
        std::unordered_map<std::string, std::string> states;
        if (kind_ != BulkKind::Delete && names.size() > kStatesByList) {
            ListOptions options;
            const ListResult list = FetchList(session, Server(), AccountSearchUrl(session->BaseUrl(), "", ""),
                                              options, {"user", "suspended"});
            if (list.failure && list.failure->Status() != kExitFailed)
                throw *list.failure;
            for (const auto& row : list.rows)
                states.emplace(row[0], row[1]);
        }
        for (std::size_t i = 0; i < names.size(); ++i) {
            const int row = static_cast<int>(i) + 1;
            grid.SetCell(kAccUserCol, row, names[i]);
            if (kind_ != BulkKind::Delete) {
                if (names.size() > kStatesByList) {
                    const auto found = states.find(names[i]);
                    grid.SetCell(kAccSuspendedCol, row, found == states.end() ? "" : found->second);
                } else {
                    const int state = QuerySuspended(names[i], session);
                    grid.SetCell(kAccSuspendedCol, row, state < 0 ? "" : std::to_string(state));
                }
            }
            rows.push_back(row);
        }
        return PlanBulkAction(grid, rows, kind_);
    }

    int Report(std::vector<BulkEntry>& entries) {
        int status = kExitDone;
        for (BulkEntry& entry : entries) {
            if (entry.outcome == BulkOutcome::Pending)
                entry.outcome = BulkOutcome::NotSent;
            const std::string words = OutcomeWords(entry, kind_);
            std::cout << entry.user << "\t" << words << "\n";
            if (!Succeeded(entry)) {
                Complain(entry.user + ": " + words);
                status = kExitFailed;
            }
        }
        std::cout.flush();
        return status;
    }

    BulkKind kind_;
    std::vector<std::string> accounts_;
    std::string from_;
    std::string reason_;
    bool yes_ = false;
};

// One account, one request: passwd and limitbw.
class SingleChangeCommand : public ChangeCommand {
protected:
    using ChangeCommand::ChangeCommand;

    int Carry(const std::string& url, const std::string& shownUrl) {
        RefuseReadOnly();
        if (dryRun_) {
            PrintDry(shownUrl);
            return kExitDone;
        }
        const SessionPtr session = OpenServerSession(Server(), true);
        const HttpReply reply = Send(session, url);
        BulkEntry entry;
        entry.user = user_;
        JudgeBulkReply(entry, reply);
        if (entry.outcome == BulkOutcome::Refused && ReadApiResult(reply.text).status.empty()) {
            // Some replies (passwd) carry their status outside a result element.
            const bool done = XmlExtract(reply.text, "", "status", kXmlLastValue) == "1";
            entry.outcome = done ? BulkOutcome::Done : BulkOutcome::Refused;
            entry.message = StatusMessageOf(reply.text);
        }
        if (entry.outcome == BulkOutcome::SignedOut)
            throw Failure(kExitSignInRefused, ServerLabel(Server()) + " refused the user name or password");
        const std::string words = OutcomeWords(entry, BulkKind::Delete);
        std::cout << user_ << "\t" << words << "\n";
        if (entry.outcome != BulkOutcome::Done) {
            Complain(user_ + ": " + words);
            return kExitFailed;
        }
        return kExitDone;
    }

    std::string user_;
};

class PasswdCommand : public SingleChangeCommand {
public:
    PasswdCommand()
        : SingleChangeCommand(
              "passwd", "give an account a new password (asked without echo, or read from standard input)") {}

    void AddOptions(CLI::App& app) override {
        app.add_option("USER", user_, "the account's user name")->required();
        AddChangeOptions(app);
    }

    int Run() override {
        const std::string base = ServerBaseUrl(Server().address);
        const std::string shown = ApiItemUrl(base, "passwd?user=", user_) + "&pass=***";
        if (dryRun_)
            return Carry("", shown);
        RefuseReadOnly();
        return Carry(PasswdUrl(base, user_, NewPassword()), shown);
    }

private:
    std::string NewPassword() const {
        std::optional<std::string> password;
        if (InputIsTerminal()) {
            password = ReadSecret("New password for " + user_ + ": ");
            const auto again = ReadSecret("The new password again: ");
            if (password && again && *password != *again)
                throw Failure(kExitUsage, "the two passwords differ: nothing was sent");
        } else {
            password = ReadInputLine();
        }
        if (!password || password->empty())
            throw Failure(kExitUsage, "no new password given: nothing was sent");
        return *password;
    }
};

class LimitBandwidthCommand : public SingleChangeCommand {
public:
    LimitBandwidthCommand()
        : SingleChangeCommand("limitbw", "set an account's bandwidth limit in megabytes") {}

    void AddOptions(CLI::App& app) override {
        app.add_option("USER", user_, "the account's user name")->required();
        app.add_option("MEGABYTES", limit_, "the limit (0: unlimited)")->required();
        AddChangeOptions(app);
    }

    int Run() override {
        unsigned long long value = 0;
        auto [end, error] = std::from_chars(limit_.data(), limit_.data() + limit_.size(), value);
        if (limit_.empty() || error != std::errc() || end != limit_.data() + limit_.size())
            throw Failure(kExitUsage, "\"" + limit_ + "\" is no number of megabytes");
        const std::string url =
            LimitBandwidthUrl(ServerBaseUrl(Server().address), user_, std::to_string(value));
        return Carry(url, url);
    }

private:
    std::string limit_;
};

} // namespace

std::unique_ptr<Command> MakeSuspendCommand() {
    return std::make_unique<BulkCommand>(BulkKind::Suspend, "suspend",
                                         "suspend accounts (those suspended already are skipped)");
}
std::unique_ptr<Command> MakeUnsuspendCommand() {
    return std::make_unique<BulkCommand>(BulkKind::Unsuspend, "unsuspend",
                                         "unsuspend accounts (those active already are skipped)");
}
std::unique_ptr<Command> MakeDeleteCommand() {
    return std::make_unique<BulkCommand>(BulkKind::Delete, "delete", "delete accounts (asks first)");
}
std::unique_ptr<Command> MakePasswdCommand() {
    return std::make_unique<PasswdCommand>();
}
std::unique_ptr<Command> MakeLimitBandwidthCommand() {
    return std::make_unique<LimitBandwidthCommand>();
}

} // namespace parlomar::cli
