#include "server/ApiRequests.h"

#include "server/HttpTransport.h"
#include "server/TransportUi.h"
#include "server/XMLParser.h"
#include "settings/Localization.h"

namespace parlomar {

namespace {

// RFC 3986: unreserved characters stay, every other byte becomes %XX.
std::string Encoded(std::string_view value) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : value) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
            c == '.' || c == '_' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

std::string ApiUrl(std::string_view functionAndQuery) {
    return ServerBaseUrl() + "/xml-api/" + std::string(functionAndQuery);
}

// A reply of a server that no longer accepts the signed-in credentials: HTTP 401 or 403, or a
// non-empty text without the XML declaration that opens every API reply.
bool SignedOut(const HttpReply& reply) {
    if (reply.httpStatus == 401 || reply.httpStatus == 403)
        return true;
    return !reply.text.empty() && reply.text.find("<?xml") == std::string::npos;
}

struct Result {
    std::string status;
    std::string statusmsg;
};

Result ReadResult(const std::string& reply) {
    return {XmlExtract(reply, "result", "status", kXmlLastValue),
            XmlExtract(reply, "result", "statusmsg", kXmlLastValue)};
}

std::string Joined(std::string_view a, std::string_view b, std::string_view c) {
    return std::string(a) + " " + std::string(b) + " " + std::string(c);
}

} // namespace

int ConfirmAndCall(std::string_view functionWithKey, std::string_view item, std::string_view noun,
                   std::string_view doneText, std::string_view question) {
    if (!AskQuestionText(Joined(question, noun, item) + "?"))
        return kCallDeclined;
    const HttpReply reply = HttpGet(ApiUrl(std::string(functionWithKey) + Encoded(item)));
    if (reply.status != kStatusOk)
        return reply.status;
    const Result result = ReadResult(reply.text);
    const int outcome = result.status == "1" ? kCallSucceeded : kCallRefused;
    if (!result.statusmsg.empty())
        ShowMessageText(result.statusmsg);
    else if (outcome == kCallSucceeded)
        ShowMessageText(Joined(noun, item, doneText));
    else
        ShowMessageText(ErrorText(11));
    return outcome;
}

void ConfirmAndCallForUser(std::string_view user, std::string_view function, std::string_view question,
                           std::string& statusText, std::string& messageText) {
    statusText.clear();
    if (!AskQuestionText(std::string(question) + "?"))
        return;
    const HttpReply reply = HttpGet(ApiUrl(std::string(function) + "?user=" + Encoded(user)));
    if (SignedOut(reply)) {
        statusText = "relogin";
        return;
    }
    if (reply.status != kStatusOk) {
        ShowMessageText(ErrorText(reply.status));
        return;
    }
    const Result result = ReadResult(reply.text);
    statusText = result.status;
    messageText = result.statusmsg;
}

int QuerySuspended(std::string_view user) {
    const HttpReply reply = HttpGet(ApiUrl("accountsummary?user=" + Encoded(user)));
    if (reply.status != kStatusOk)
        return -1;
    const std::string suspended = XmlExtract(reply.text, "", "suspended", kXmlLastValue);
    if (suspended == "1")
        return 1;
    if (suspended == "0")
        return 0;
    return -1;
}

} // namespace parlomar
