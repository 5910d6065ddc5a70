#include "core/server/ApiFunctions.h"

#include "core/Text.h"
#include "core/server/HttpTransport.h"

#include <array>

namespace parlomar {

namespace {

constexpr std::string_view kApiPrefix = "/xml-api/";

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::string PercentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int high = HexValue(text[i + 1]);
            const int low = HexValue(text[i + 2]);
            if (high >= 0 && low >= 0) {
                out += static_cast<char>(high * 16 + low);
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

std::string FunctionOfPath(std::string_view path) {
    if (path.compare(0, kApiPrefix.size(), kApiPrefix) != 0)
        return {};
    const std::string_view rest = path.substr(kApiPrefix.size());
    return std::string(rest.substr(0, rest.find('?')));
}

QueryFields QueryOfPath(std::string_view path) {
    QueryFields fields;
    const std::size_t question = path.find('?');
    if (question == std::string::npos)
        return fields;
    std::string_view query = path.substr(question + 1);
    while (!query.empty()) {
        const std::size_t amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
        if (pair.empty())
            continue;
        const std::size_t eq = pair.find('=');
        fields.emplace_back(PercentDecode(pair.substr(0, eq)), eq == std::string_view::npos
                                                                   ? std::string()
                                                                   : PercentDecode(pair.substr(eq + 1)));
    }
    return fields;
}

} // namespace

std::string ApiFunctionOf(std::string_view url) {
    return FunctionOfPath(SplitUrl(url, 3));
}

bool IsViewingFunction(std::string_view function) {
    static constexpr std::array<std::string_view, 4> kViewing = {"version", "listaccts", "listpkgs",
                                                                 "accountsummary"};
    for (std::string_view viewing : kViewing)
        if (function == viewing)
            return true;
    return false;
}

bool ChangesServer(std::string_view url) {
    return ParseApiRequest(url).changes;
}

QueryFields RequestQuery(std::string_view url) {
    return QueryOfPath(SplitUrl(url, 3));
}

bool IsPasswordParameter(std::string_view key) {
    const std::string lower = LowerAscii(key);
    return lower.find("pass") != std::string::npos || lower.find("psw") != std::string::npos;
}

std::string RequestTarget(const QueryFields& query) {
    for (std::string_view key : {"user", "pkg", "name", "username"})
        for (const auto& [name, value] : query)
            if (LowerAscii(name) == key)
                return value;
    return {};
}

std::string ApiRequest::Url() const {
    std::string url = scheme;
    url += host;
    url += path;
    return url;
}

ApiRequest ParseApiRequest(std::string_view url) {
    ApiRequest request;
    request.scheme = SplitUrl(url, 1);
    request.host = SplitUrl(url, 2);
    request.path = SplitUrl(url, 3);
    request.function = FunctionOfPath(request.path);
    request.query = QueryOfPath(request.path);
    request.target = RequestTarget(request.query);
    request.signOut = request.path == "/?logout";
    request.changes = !request.signOut && !IsViewingFunction(request.function);
    return request;
}

} // namespace parlomar
