#include "core/server/RequestGuard.h"

#include "core/Error.h"
#include "core/server/ActivityLog.h"
#include "core/server/ApiFunctions.h"
#include "core/server/Global.h"
#include "core/server/TransportUi.h"
#include "core/server/XMLParser.h"
#include "core/settings/IniFile.h"
#include "core/settings/Localization.h"

namespace parlomar {

namespace {

// Whether the record is in the log. When it is not, the operator is told why, once per session.
bool Record(ServerSession& session, const ActivityRecord& record) {
    try {
        AppendActivity(record);
        return true;
    } catch (const Error& error) {
        if (session.FirstLogFailure()) {
            const std::string text = StatusText(130);
            ShowMessageText((text == "0" ? std::string("The activity log could not be written:") : text) +
                            " " + error.what());
        }
        return false;
    }
}

// Whether a changing request goes out although its line could not be written (the operator's
// choice in the settings file; by default it does not).
bool SendWithoutLog() {
    return IniFlag(ReadIniValue("General", "SendWithoutLog", kSettingsTarget));
}

// Every occurrence of every password, however short, becomes "***".
std::string WithoutPasswords(std::string text, const std::vector<std::string>& passwords) {
    for (const std::string& password : passwords) {
        if (password.empty())
            continue;
        for (std::size_t at = text.find(password); at != std::string::npos; at = text.find(password, at + 3))
            text.replace(at, password.size(), "***");
    }
    return text;
}

} // namespace

HttpReply GuardRequest(ServerSession& session, const ApiRequest& request,
                       const std::function<HttpReply()>& send) {
    if (!request.changes)
        return send();

    ActivityRecord record;
    record.entry = NewActivityEntry();
    record.server = session.Address();
    record.port = session.Port();
    record.user = session.UserName();
    record.function = request.function.empty() ? request.path : request.function;
    record.target = request.target;
    std::vector<std::string> passwords;
    for (const auto& [key, value] : request.query) {
        if (IsPasswordParameter(key))
            passwords.push_back(value);
        else
            record.parameters.emplace_back(key, value);
    }

    HttpReply reply;
    if (session.ReadOnly()) {
        reply.status = kStatusReadOnly;
    } else {
        record.time = ActivityTimeNow();
        record.phase = "sending";
        if (Record(session, record) || SendWithoutLog())
            reply = send();
        else
            reply.status = kStatusNotLogged;
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
    Record(session, record);
    return reply;
}

} // namespace parlomar
