#include "cli/ServerCommand.h"

#include "core/Text.h"
#include "core/server/Global.h"
#include "core/server/PasswordCipher.h"
#include "core/server/RequestGuard.h"
#include "core/server/TransportUi.h"
#include "core/settings/IniFile.h"
#include "core/settings/Localization.h"

#include <charconv>
#include <cstdlib>
#include <map>
#include <mutex>

namespace parlomar::cli {

namespace {

// Certificate questions are never answered here: the pin decides. What was asked is kept for the
// message that explains the refusal.
class CliTransportUi : public TransportUi {
public:
    void ShowRequestStatus(int, const std::string&) override {}
    bool IsGuiThread() override { return false; }
    bool AskCertificate(const CertificateInfo& info) override {
        std::lock_guard lock(mutex_);
        asked_[LowerAscii(info.host) + ":" + std::to_string(info.port)] = info;
        return false;
    }
    void ShowMessage(const std::string& text) override { Complain(text); }
    bool AskQuestion(const std::string&) override { return false; }
    void PostToGuiThread(std::function<void()> function) override { function(); }

    std::optional<CertificateInfo> Asked(const std::string& key) {
        std::lock_guard lock(mutex_);
        const auto found = asked_.find(key);
        if (found == asked_.end())
            return std::nullopt;
        return found->second;
    }

private:
    std::mutex mutex_;
    std::map<std::string, CertificateInfo> asked_;
};

std::shared_ptr<CliTransportUi>& Ui() {
    static std::shared_ptr<CliTransportUi> ui;
    return ui;
}

std::string WithoutBlanks(std::string_view text) {
    std::string out;
    for (char c : text)
        if (c != ' ')
            out += c;
    return out;
}

std::optional<SavedServer> CurrentServer(const std::vector<SavedServer>& saved) {
    SavedServer current;
    current.address = ReadIniValue("USERS", "IP", kSettingsTarget);
    if (current.address == "0" || Trimmed(current.address).empty())
        return saved.empty() ? std::nullopt : std::optional(saved.front());
    const std::string port = ReadIniValue("USERS", "Port", kSettingsTarget);
    current.port = ServerPortOf(port);
    current.userName = ReadIniValue("USERS", "Login", kSettingsTarget);
    if (current.userName == "0")
        current.userName.clear();
    for (const SavedServer& server : saved)
        if (SameServer(server, current))
            return server;
    current.savePassword = IniFlag(ReadIniValue("USERS", "SavePsw", kSettingsTarget));
    if (current.savePassword)
        current.encipheredPassword = ReadIniValue("USERS", "Psw", kSettingsTarget);
    current.readOnly = IniFlag(ReadIniValue("USERS", "ReadOnly", kSettingsTarget));
    return current;
}

bool IsNumber(std::string_view text, std::size_t& value) {
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && error == std::errc() && end == text.data() + text.size();
}

std::string TransportProblem(int status) {
    std::string text = ErrorText(status);
    if (text.empty() || text == "0")
        text = "the request failed";
    return text + " (status " + std::to_string(status) + ")";
}

} // namespace

std::vector<SavedServer> KnownServers() {
    std::vector<SavedServer> saved = ReadSavedServers();
    if (auto current = CurrentServer(saved)) {
        bool listed = false;
        for (const SavedServer& server : saved)
            listed = listed || SameServer(server, *current);
        if (!listed)
            saved.insert(saved.begin(), *current);
    }
    return saved;
}

SavedServer ChooseServer(const std::string& text) {
    const std::vector<SavedServer> saved = ReadSavedServers();
    if (Trimmed(text).empty()) {
        if (auto current = CurrentServer(saved))
            return *current;
        throw Failure(kExitUsage, "no server is saved: sign in with the window first, or name one with -s");
    }
    std::size_t number = 0;
    if (IsNumber(text, number)) {
        if (number >= 1 && number <= saved.size())
            return saved[number - 1];
        throw Failure(kExitUsage, "there is no saved server number " + text + " (see parlomar-cli servers)");
    }
    std::string rest = text;
    std::string user;
    if (const auto at = rest.rfind('@'); at != std::string::npos) {
        user = rest.substr(0, at);
        rest = rest.substr(at + 1);
    }
    std::string address = rest;
    std::uint16_t port = 0;
    // "host:port", "[v6]:port"; an IPv6 address without brackets has no port.
    if (const auto colon = rest.rfind(':');
        colon != std::string::npos &&
        (rest.find(':') == colon || (rest.front() == '[' && rest[colon - 1] == ']'))) {
        port = ServerPortOf(rest.substr(colon + 1));
        if (port == 0)
            throw Failure(kExitUsage, "\"" + rest.substr(colon + 1) + "\" is no port");
        address = rest.substr(0, colon);
    }
    if (address.size() > 2 && address.front() == '[' && address.back() == ']')
        address = address.substr(1, address.size() - 2);
    for (const SavedServer& server : saved) {
        if (EqualIgnoringAsciiCase(WithoutBlanks(server.address), address) &&
            (port == 0 || server.port == port) && (user.empty() || server.userName == user))
            return server;
    }
    throw Failure(kExitUsage, "no saved server matches \"" + text + "\" (see parlomar-cli servers)");
}

std::string ServerLabel(const SavedServer& server) {
    return server.userName + "@" + WithoutBlanks(server.address) + ":" + std::to_string(server.port);
}

std::string PinKeyOf(const SavedServer& server) {
    return LowerAscii(WithoutBlanks(server.address)) + ":" + std::to_string(server.port);
}

std::string PinnedFingerprint(const SavedServer& server) {
    const std::string pin = ReadIniValue("Certificates", PinKeyOf(server), kSettingsTarget);
    return pin == "0" ? std::string() : pin;
}

std::string PasswordOf(const SavedServer& server) {
    if (server.savePassword && !server.encipheredPassword.empty())
        return DecipherPassword(server.encipheredPassword);
    if (const char* password = std::getenv("PARLOMAR_PASSWORD"); password && *password)
        return password;
    if (auto typed = ReadSecret("Password for " + ServerLabel(server) + ": "))
        return *typed;
    throw Failure(kExitUsage, "no password for " + ServerLabel(server) +
                                  ": remember it in the window, set PARLOMAR_PASSWORD or run on a terminal");
}

SessionPtr OpenServerSession(const SavedServer& server, bool changes) {
    if (changes && server.readOnly)
        throw Failure(kExitReadOnly, ServerLabel(server) + " is saved as read-only: nothing was sent");
    if (server.port == 0)
        throw Failure(kExitUsage, ServerLabel(server) + " has no usable port");
    if (const std::string problem = ServerAddressProblem(server.address); !problem.empty())
        throw Failure(kExitUsage, problem);
    if (PinnedFingerprint(server).empty())
        throw Failure(kExitUntrusted, "the certificate of " + ServerLabel(server) +
                                          " is not pinned: check it with parlomar-cli trust " +
                                          ServerLabel(server));
    SignInValues values;
    values.serverAddress = server.address;
    values.port = server.port;
    values.userName = server.userName;
    values.encipheredPassword = EncipherPassword(PasswordOf(server));
    return ServerSession::Make(values, server.readOnly);
}

std::optional<Failure> ReplyFailure(const HttpReply& reply, const SavedServer& server,
                                    std::optional<bool> signedOut) {
    const std::string label = ServerLabel(server);
    switch (reply.status) {
    case kStatusOk:
        if (signedOut.value_or(IsSignedOutReply(reply.text, reply.httpStatus)))
            return Failure(kExitSignInRefused, label + " refused the user name or password");
        return std::nullopt;
    case kStatusCertificateDeclined:
    case kStatusUntrustedCertificate:
    case kStatusCertificateDate:
    case kStatusCertificateName: {
        std::string text = "the certificate of " + label + " is not trusted";
        if (Ui())
            if (auto info = Ui()->Asked(PinKeyOf(server)); info && info->changed)
                text = "the certificate of " + label + " differs from the pinned one (now " +
                       info->fingerprint + "): nothing was sent";
        return Failure(kExitUntrusted, text);
    }
    case kStatusReadOnly:
        return Failure(kExitReadOnly, label + " is saved as read-only: nothing was sent");
    default:
        return Failure(kExitFailed, label + ": " + TransportProblem(reply.status));
    }
}

void InstallTransportUi() {
    Ui() = std::make_shared<CliTransportUi>();
    SetTransportUi(Ui());
}

void ServerCommand::AddServerOption(CLI::App& app) {
    app.add_option("-s,--server", serverText_,
                   "the saved server: its number, address, address:port or user@address[:port]");
}

const SavedServer& ServerCommand::Server() {
    if (!server_)
        server_ = ChooseServer(serverText_);
    return *server_;
}

HttpReply ServerCommand::Call(const SessionPtr& session, const std::string& url,
                              const std::shared_ptr<RequestControl>& control) {
    HttpReply reply = HttpGet(session, url, control);
    if (auto failure = ReplyFailure(reply, Server()))
        throw *failure;
    return reply;
}

} // namespace parlomar::cli
