#pragma once

// The layer of the subcommands that need a server: which saved server (-s), its password, its
// certificate pin, its read-only flag, the session the requests go out for, and what a failed
// request means as an exit status.

#include "cli/CliCommand.h"
#include "core/server/HttpTransport.h"
#include "core/settings/SavedServers.h"

#include <optional>
#include <string>
#include <vector>

namespace parlomar::cli {

// A saved server named on the command line: its number in the list (1 the most recent), its address,
// "address:port" or "user@address[:port]"; the empty text is the current server (the sign-in panel's).
// Throws Failure (usage) when nothing saved matches.
SavedServer ChooseServer(const std::string& text);
// The saved servers, the current one first when it is not among them.
std::vector<SavedServer> KnownServers();
// "user@address:port".
std::string ServerLabel(const SavedServer& server);
// The key of the server's certificate pin in the settings file, and the pin itself ("" for none).
std::string PinKeyOf(const SavedServer& server);
std::string PinnedFingerprint(const SavedServer& server);

// The password of a server: remembered with it, else $PARLOMAR_PASSWORD, else asked on the terminal.
// Throws Failure (usage) when none can be had.
std::string PasswordOf(const SavedServer& server);

// The checks before anything goes to a server, then its session: a change against a read-only server
// is refused (exit 4), a server without a pinned certificate too (exit 3).
SessionPtr OpenServerSession(const SavedServer& server, bool changes);

// What a request's reply means when it cannot be used, or nothing. signedOut: the reply was a
// refusal of the credentials (for a reply whose body a reader took).
std::optional<Failure> ReplyFailure(const HttpReply& reply, const SavedServer& server,
                                    std::optional<bool> signedOut = std::nullopt);

// Installs the transport's side of the terminal: no status display, certificate questions declined
// (and remembered for the message).
void InstallTransportUi();

class ServerCommand : public Command {
protected:
    using Command::Command;
    void AddServerOption(CLI::App& app);
    const SavedServer& Server();
    // One request for the session; throws the Failure of a reply that cannot be used.
    HttpReply Call(const SessionPtr& session, const std::string& url,
                   const std::shared_ptr<RequestControl>& control = nullptr);

    std::string serverText_;

private:
    std::optional<SavedServer> server_;
};

} // namespace parlomar::cli
