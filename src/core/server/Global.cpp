#include "core/server/Global.h"

#include "core/Text.h"
#include "core/server/ReplyText.h"
#include "core/server/XMLParser.h"

#include <arpa/inet.h>
#include <idn2.h>

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
    constexpr size_t kMaxName = 253;
    constexpr size_t kMaxLabel = 63;
    if (text.empty() || text.size() > kMaxName) {
        return false;
    }
    auto isLetter = [](char c) { return InRange(c, 'A', 'Z') || InRange(c, 'a', 'z'); };
    size_t labels = 0;
    std::string_view last;
    size_t start = 0;
    while (true) {
        const size_t dot = text.find('.', start);
        const std::string_view label =
            text.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
        if (label.empty() || label.size() > kMaxLabel || label.front() == '-' || label.back() == '-') {
            return false;
        }
        for (char c : label) {
            if (!isLetter(c) && !InRange(c, '0', '9') && c != '-') {
                return false;
            }
        }
        ++labels;
        last = label;
        if (dot == std::string_view::npos) {
            break;
        }
        start = dot + 1;
    }
    if (labels < 2) {
        return false;
    }
    const bool lettersOnly = last.size() >= 2 && std::all_of(last.begin(), last.end(), isLetter);
    const bool international = last.size() > 4 && (last[0] == 'x' || last[0] == 'X') &&
                               (last[1] == 'n' || last[1] == 'N') && last[2] == '-' && last[3] == '-';
    return lettersOnly || international;
}

bool IsLinkText(std::string_view text) {
    if (IsDomainName(text)) {
        return true;
    }
    const size_t at = text.find('@');
    if (at != std::string_view::npos) {
        const std::string_view local = text.substr(0, at);
        constexpr std::string_view kLocalSigns = "!#$%&'*+/=?^_`{|}~.-";
        return !local.empty() && std::all_of(local.begin(), local.end(), [&](char c) {
            return InRange(c, 'A', 'Z') || InRange(c, 'a', 'z') || InRange(c, '0', '9') ||
                   kLocalSigns.find(c) != std::string_view::npos;
        }) && IsDomainName(text.substr(at + 1));
    }
    auto startsFolded = [text](std::string_view prefix) {
        if (text.size() <= prefix.size()) {
            return false; // something must follow the scheme
        }
        for (size_t i = 0; i < prefix.size(); ++i) {
            const char c = InRange(text[i], 'A', 'Z') ? static_cast<char>(text[i] - 'A' + 'a') : text[i];
            if (c != prefix[i]) {
                return false;
            }
        }
        return true;
    };
    if (!startsFolded("http://") && !startsFolded("https://")) {
        return false;
    }
    return std::none_of(text.begin(), text.end(), [](char c) {
        return static_cast<unsigned char>(c) <= ' ' || static_cast<unsigned char>(c) == 0x7f;
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
    const std::string text = TrimmedSearchText(searchText);
    // A domain typed in Unicode is searched for as the server knows it: in its ASCII form.
    if (const std::string ascii = AsciiDomainName(text); ascii != text && IsDomainName(ascii))
        return ListAccountsUrl(baseUrl, "domain", ascii);
    return ListAccountsUrl(baseUrl, SearchTypeFor(text), text);
}

std::string TrimmedSearchText(std::string_view text) {
    return std::string(Trimmed(text));
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

std::string ServerAddressProblem(std::string_view address) {
    while (!address.empty() && address.front() == ' ')
        address.remove_prefix(1);
    while (!address.empty() && address.back() == ' ')
        address.remove_suffix(1);
    auto refused = [](std::string_view what) {
        return "The server address must be a host name or an IP address only, without " + std::string(what) +
               ".";
    };
    for (std::size_t i = 0; i < address.size(); ++i) {
        const auto c = static_cast<unsigned char>(address[i]);
        const bool c1 = c == 0xC2 && i + 1 < address.size() &&
                        static_cast<unsigned char>(address[i + 1]) >= 0x80 &&
                        static_cast<unsigned char>(address[i + 1]) <= 0x9F;
        if ((c < 0x20 && c != '\t') || c == 0x7F || c1)
            return refused("control characters");
    }
    if (address.find("://") != std::string_view::npos)
        return refused("a scheme such as \"https://\"");
    if (address.find_first_of(" \t") != std::string_view::npos)
        return refused("blanks");
    if (address.find_first_of("/\\") != std::string_view::npos)
        return refused("a path (\"/\")");
    if (address.find_first_of("?#") != std::string_view::npos)
        return refused("a query (\"?\" or \"#\")");
    if (address.find('@') != std::string_view::npos)
        return refused("a user name (\"@\")");
    if (address.find(':') != std::string_view::npos) {
        std::string literal(address);
        if (literal.size() > 2 && literal.front() == '[' && literal.back() == ']')
            literal = literal.substr(1, literal.size() - 2);
        unsigned char buffer[16];
        if (inet_pton(AF_INET6, literal.c_str(), buffer) != 1)
            return refused("a port (the port has a field of its own)");
    }
    return {};
}

std::string ServerPortProblem(std::string_view port) {
    while (!port.empty() && port.front() == ' ')
        port.remove_prefix(1);
    while (!port.empty() && port.back() == ' ')
        port.remove_suffix(1);
    if (port.empty())
        return "The server port is empty: type a port from 1 to 65535 (443 is the usual one).";
    const std::string shown(port.substr(0, 40));
    if (port.find_first_not_of("0123456789") != std::string_view::npos)
        return "The server port \"" + shown + "\" is not a number: type a port from 1 to 65535.";
    const std::size_t digits = port.find_first_not_of('0');
    const std::string_view significant = digits == std::string_view::npos ? "0" : port.substr(digits);
    if (significant.size() > 5 || std::stoul(std::string(significant)) < 1 ||
        std::stoul(std::string(significant)) > 65535)
        return "The server port " + shown + " is outside 1 to 65535.";
    return {};
}

std::uint16_t ServerPortOf(std::string_view port) {
    if (!ServerPortProblem(port).empty())
        return 0;
    while (!port.empty() && port.front() == ' ')
        port.remove_prefix(1);
    while (!port.empty() && port.back() == ' ')
        port.remove_suffix(1);
    return static_cast<std::uint16_t>(std::stoul(std::string(port)));
}

std::string AsciiDomainName(std::string_view text) {
    const bool ascii =
        std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii)
        return std::string(text);
    const std::string input(text);
    char* output = nullptr;
    const int rc = idn2_to_ascii_8z(input.c_str(), &output, IDN2_NFC_INPUT | IDN2_NONTRANSITIONAL);
    std::string result;
    if (rc == IDN2_OK && output)
        result = output;
    idn2_free(output);
    return result;
}

ApiResult ReadApiResult(std::string_view reply) {
    ApiResult result;
    result.status = XmlExtract(reply, "result", "status", kXmlLastValue);
    result.statusmsg = ReadableMessageText(XmlExtract(reply, "result", "statusmsg", kXmlLastValue));
    return result;
}

std::string StatusMessageOf(std::string_view reply) {
    return ReadableMessageText(XmlExtract(reply, "", "statusmsg", kXmlLastValue));
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
