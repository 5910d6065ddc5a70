#include "server/Global.h"

#include "server/XMLParser.h"

#include <algorithm>

namespace parlomar {

namespace {

bool InRange(char c, char low, char high) {
    return c >= low && c <= high;
}

std::string ApiUrl(std::string_view baseUrl, std::string_view functionAndQuery) {
    std::string url;
    url.reserve(baseUrl.size() + 9 + functionAndQuery.size());
    url.append(baseUrl).append("/xml-api/").append(functionAndQuery);
    return url;
}

std::string FieldsUrl(std::string_view baseUrl, std::string_view function, const QueryFields& fields) {
    std::string query(function);
    query += '?';
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) {
            query += '&';
        }
        query += PercentEncode(fields[i].first);
        query += '=';
        query += PercentEncode(fields[i].second);
    }
    return ApiUrl(baseUrl, query);
}

} // namespace

bool IsDomainName(std::string_view text) {
    // The last label, read backwards from the end up to the last ".".
    const size_t dot = text.rfind('.');
    const size_t labelLength = (dot == std::string_view::npos) ? 0 : text.size() - dot - 1;
    bool passes = labelLength >= 2 && labelLength <= 4 &&
                  std::all_of(text.begin() + static_cast<std::ptrdiff_t>(dot + 1), text.end(),
                              [](char c) { return InRange(c, 'A', 'z'); });
    if (!passes) {
        passes = text.find("http") != std::string_view::npos;
    }
    if (!passes || text.empty()) {
        return false;
    }
    return std::all_of(text.begin(), text.end(), [](char c) {
        return c == '#' || c == '&' || InRange(c, '-', ':') || InRange(c, '?', 'Z') || InRange(c, 'a', 'z');
    });
}

bool IsIPv4Address(std::string_view text) {
    std::string dotted(text);
    dotted += '.';
    if (!std::all_of(dotted.begin(), dotted.end(), [](char c) { return c == '.' || InRange(c, '0', '9'); })) {
        return false;
    }
    size_t start = 0;
    for (int field = 0; field < 4; ++field) {
        const size_t end = dotted.find('.', start);
        if (end == std::string::npos || end == start) {
            return false;
        }
        int value = 0;
        for (size_t i = start; i < end; ++i) {
            value = value * 10 + (dotted[i] - '0');
            if (value > 255) {
                return false;
            }
        }
        start = end + 1;
    }
    return true;
}

std::string SearchTypeFor(std::string_view text) {
    if (IsDomainName(text)) {
        return "domain";
    }
    if (IsIPv4Address(text)) {
        return "ip";
    }
    return "user";
}

std::string ServerBaseUrl(std::string_view serverAddress) {
    std::string url = "https://";
    for (char c : serverAddress) {
        if (c != ' ') {
            url += c;
        }
    }
    return url;
}

std::string PercentEncode(std::string_view value) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        if (InRange(c, 'A', 'Z') || InRange(c, 'a', 'z') || InRange(c, '0', '9') || c == '-' || c == '.' ||
            c == '_' || c == '~') {
            out += c;
        } else {
            const auto byte = static_cast<unsigned char>(c);
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        }
    }
    return out;
}

std::string ApiItemUrl(std::string_view baseUrl, std::string_view functionAndKey, std::string_view value) {
    return ApiUrl(baseUrl, std::string(functionAndKey) + PercentEncode(value));
}

std::string VersionUrl(std::string_view baseUrl) {
    return ApiUrl(baseUrl, "version");
}

std::string ListPackagesUrl(std::string_view baseUrl) {
    return ApiUrl(baseUrl, "listpkgs");
}

std::string ListAccountsUrl(std::string_view baseUrl, std::string_view searchType,
                            std::string_view searchText) {
    return ApiUrl(baseUrl, "listaccts?searchtype=" + PercentEncode(searchType) +
                               "&search=" + PercentEncode(searchText));
}

std::string SearchAccountsUrl(std::string_view baseUrl, std::string_view searchText) {
    return ListAccountsUrl(baseUrl, SearchTypeFor(searchText), searchText);
}

std::string CreateAccountUrl(std::string_view baseUrl, const QueryFields& fields) {
    return FieldsUrl(baseUrl, "createacct", fields);
}

std::string AddPackageUrl(std::string_view baseUrl, const QueryFields& fields) {
    return FieldsUrl(baseUrl, "addpkg", fields);
}

std::string EditPackageUrl(std::string_view baseUrl, const QueryFields& fields) {
    return FieldsUrl(baseUrl, "editpkg", fields);
}

std::string RemoveAccountUrl(std::string_view baseUrl, std::string_view user) {
    return ApiItemUrl(baseUrl, "removeacct?user=", user);
}

std::string KillPackageUrl(std::string_view baseUrl, std::string_view package) {
    return ApiItemUrl(baseUrl, "killpkg?pkg=", package);
}

std::string SuspendAccountUrl(std::string_view baseUrl, std::string_view user) {
    return ApiItemUrl(baseUrl, "suspendacct?user=", user);
}

std::string UnsuspendAccountUrl(std::string_view baseUrl, std::string_view user) {
    return ApiItemUrl(baseUrl, "unsuspendacct?user=", user);
}

std::string PasswdUrl(std::string_view baseUrl, std::string_view user, std::string_view newPassword) {
    return ApiUrl(baseUrl, "passwd?user=" + PercentEncode(user) + "&pass=" + PercentEncode(newPassword));
}

std::string LimitBandwidthUrl(std::string_view baseUrl, std::string_view user, std::string_view limit) {
    return ApiUrl(baseUrl, "limitbw?user=" + PercentEncode(user) + "&bwlimit=" + PercentEncode(limit));
}

std::string AccountSummaryUrl(std::string_view baseUrl, std::string_view user) {
    return ApiItemUrl(baseUrl, "accountsummary?user=", user);
}

ApiResult ReadApiResult(std::string_view reply) {
    ApiResult result;
    result.status = XmlExtract(reply, "result", "status", kXmlLastValue);
    result.statusmsg = XmlExtract(reply, "result", "statusmsg", kXmlLastValue);
    return result;
}

bool IsSignedOutReply(std::string_view reply, long httpStatus) {
    if (httpStatus == 401 || httpStatus == 403) {
        return true;
    }
    return !reply.empty() && reply.find(kServerMarker) == std::string_view::npos;
}

int SuspendedStateOf(std::string_view reply) {
    const std::string suspended = XmlExtract(reply, "", "suspended", kXmlLastValue);
    if (suspended == "1") {
        return 1;
    }
    if (suspended == "0") {
        return 0;
    }
    return -1;
}

} // namespace parlomar
