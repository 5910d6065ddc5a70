#include "server/RequestGuard.h"

#include "Error.h"
#include "server/ActivityLog.h"
#include "server/ApiFunctions.h"
#include "server/Global.h"
#include "server/TransportUi.h"
#include "server/XMLParser.h"
#include "settings/Localization.h"

#include <atomic>

namespace parlomar {

namespace {

std::atomic<bool> gReadOnly{false};
std::atomic<bool> gLogFailureShown{false};

// Passwords shorter than this are not looked for in server messages: they would match ordinary words.
constexpr std::size_t kShortestScrubbed = 4;

void Record(const ActivityRecord& record) {
    try {
        AppendActivity(record);
    } catch (const Error& error) {
        if (!gLogFailureShown.exchange(true)) {
            const std::string text = StatusText(130);
            ShowMessageText((text == "0" ? std::string("The activity log could not be written:") : text) +
                            " " + error.what());
        }
    }
}

std::string WithoutPasswords(std::string text, const std::vector<std::string>& passwords) {
    for (const std::string& password : passwords) {
        if (password.size() < kShortestScrubbed)
            continue;
        for (std::size_t at = text.find(password); at != std::string::npos; at = text.find(password, at + 3))
            text.replace(at, password.size(), "***");
    }
    return text;
}

} // namespace

void SetReadOnlyServer(bool readOnly) {
    gReadOnly = readOnly;
}

bool ReadOnlyServer() {
    return gReadOnly.load();
}

HttpReply GuardRequest(std::string_view url, const std::function<HttpReply()>& send) {
    if (!ChangesServer(url))
        return send();

    const SignInValues signIn = GetSignInValues();
    ActivityRecord record;
    record.entry = NewActivityEntry();
    record.server = SplitUrl(url, 2);
    record.port = signIn.port;
    record.user = signIn.userName;
    record.function = ApiFunctionOf(url);
    if (record.function.empty())
        record.function = SplitUrl(url, 3);
    std::vector<std::string> passwords;
    const QueryFields query = RequestQuery(url);
    record.target = RequestTarget(query);
    for (const auto& [key, value] : query) {
        if (IsPasswordParameter(key))
            passwords.push_back(value);
        else
            record.parameters.emplace_back(key, value);
    }

    HttpReply reply;
    if (ReadOnlyServer()) {
        reply.status = kStatusReadOnly;
    } else {
        record.time = ActivityTimeNow();
        record.phase = "sending";
        Record(record);
        reply = send();
    }

    record.time = ActivityTimeNow();
    record.phase = "outcome";
    record.transportStatus = reply.status;
    record.sentNoReply = reply.status != kStatusOk && reply.sent;
    record.httpStatus = reply.httpStatus;
    if (reply.status == kStatusOk && !IsSignedOutReply(reply.text, reply.httpStatus)) {
        // Action replies carry their result in a "result" element; passwd's stands on its own.
        ApiResult result = ReadApiResult(reply.text);
        if (result.status.empty() && result.statusmsg.empty()) {
            result.status = XmlExtract(reply.text, "", "status", kXmlLastValue);
            result.statusmsg = XmlExtract(reply.text, "", "statusmsg", kXmlLastValue);
        }
        record.serverStatus = WithoutPasswords(result.status, passwords);
        record.message = WithoutPasswords(result.statusmsg, passwords);
    }
    Record(record);
    return reply;
}

} // namespace parlomar
