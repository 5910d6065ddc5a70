#include "core/server/ApiRequests.h"

#include "core/server/Global.h"
#include "core/server/HttpTransport.h"
#include "core/server/TransportUi.h"
#include "core/settings/Localization.h"

namespace parlomar {

namespace {

std::string Joined(std::string_view a, std::string_view b, std::string_view c) {
    return std::string(a) + " " + std::string(b) + " " + std::string(c);
}

} // namespace

std::string CallQuestion(std::string_view question, std::string_view noun, std::string_view item) {
    return Joined(question, noun, item) + "?";
}

int CallOutcome(const HttpReply& reply, std::string_view noun, std::string_view item,
                std::string_view doneText) {
    if (reply.status != kStatusOk)
        return reply.status;
    const ApiResult result = ReadApiResult(reply.text);
    const int outcome = result.IsSuccess() ? kCallSucceeded : kCallRefused;
    if (!result.statusmsg.empty())
        ShowMessageText(result.statusmsg);
    else if (outcome == kCallSucceeded)
        ShowMessageText(Joined(noun, item, doneText));
    else
        ShowMessageText(ErrorText(11));
    return outcome;
}

void ReadUserCallReply(const HttpReply& reply, std::string& statusText, std::string& messageText) {
    statusText.clear();
    if (IsSignedOutReply(reply.text, reply.httpStatus)) {
        statusText = "relogin";
        return;
    }
    if (reply.status != kStatusOk) {
        ShowMessageText(ErrorText(reply.status));
        return;
    }
    const ApiResult result = ReadApiResult(reply.text);
    statusText = result.status;
    messageText = result.statusmsg;
}

int SuspendedOfReply(const HttpReply& reply) {
    return reply.status == kStatusOk ? SuspendedStateOf(reply.text) : -1;
}

int ConfirmAndCall(std::string_view functionWithKey, std::string_view item, std::string_view noun,
                   std::string_view doneText, std::string_view question, const SessionPtr& session) {
    if (!AskQuestionText(CallQuestion(question, noun, item)))
        return kCallDeclined;
    return CallOutcome(HttpGet(session, ApiItemUrl(BaseUrlOf(session), functionWithKey, item)), noun, item,
                       doneText);
}

void ConfirmAndCallForUser(std::string_view user, std::string_view function, std::string_view question,
                           std::string& statusText, std::string& messageText, const SessionPtr& session) {
    statusText.clear();
    if (!AskQuestionText(std::string(question) + "?"))
        return;
    ReadUserCallReply(
        HttpGet(session, ApiItemUrl(BaseUrlOf(session), std::string(function) + "?user=", user)), statusText,
        messageText);
}

int QuerySuspended(std::string_view user, const SessionPtr& session) {
    return SuspendedOfReply(HttpGet(session, AccountSummaryUrl(BaseUrlOf(session), user)));
}

} // namespace parlomar
