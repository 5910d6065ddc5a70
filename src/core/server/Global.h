#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace parlomar {

// The request rules of the control server's XML API that need no network: the tests that choose the
// account search type, composing request URLs, and reading the result of a reply.

// The domain test: a syntactically valid domain name. Two or more labels joined by "."; each label
// has 1 to 63 letters (A-Z, a-z), digits and hyphens and neither starts nor ends with a hyphen; the
// whole name has at most 253 characters; the last label is all letters (at least two) or an
// internationalised "xn--" label. Anything else fails, the empty text, a trailing "." and names with
// "_", blanks or bytes above 127 included.
bool IsDomainName(std::string_view text);

// A text drawn and opened as a link: a domain name, a mail address (one "@" between a local part of
// letters, digits and !#$%&'*+/=?^_`{|}~.- and a domain name), or an "http://" or "https://" address
// (either letter case) with something after the scheme and no blank or control character.
bool IsLinkText(std::string_view text);

// A "." is appended; every character must then be a digit or "."; the first four "."-separated fields
// must each be a decimal number from 0 to 255 (an empty field fails). What follows them is not looked at.
bool IsIPv4Address(std::string_view text);

// The listaccts search type for a search text: "domain" when it passes the domain test, else "ip"
// when it is an IPv4 address, else "user".
std::string SearchTypeFor(std::string_view text);

// Why a typed control server address cannot be signed in to, in words, or the empty text when it is a
// host name or an address (IPv4, IPv6 with or without brackets). Blanks at both ends do not count; a
// scheme, a path, a query, a user name, a port, blanks inside or control characters are refused, so
// nothing can turn the request into another one (plain HTTP, another host or path).
std::string ServerAddressProblem(std::string_view address);

// Why a typed control server port cannot be signed in to, in words naming the port, or the empty
// text when it is a decimal number from 1 to 65535. Blanks at both ends do not count.
std::string ServerPortProblem(std::string_view port);
// The port of a text that ServerPortProblem accepts; 0 for any other text.
std::uint16_t ServerPortOf(std::string_view port);

// The ASCII form of a domain name typed in Unicode (UTF-8), by IDNA 2008 (each label that is not
// plain ASCII becomes its "xn--" form), or the empty text when the name cannot be converted. A plain
// ASCII text is given back unchanged, whatever it holds.
std::string AsciiDomainName(std::string_view text);

// "https://" followed by the server address with every blank removed.
std::string ServerBaseUrl(std::string_view serverAddress);

// RFC 3986 percent-encoding: A-Z a-z 0-9 - . _ ~ are kept, every other byte becomes %XX (upper-case
// hex), bytes above 127 too.
std::string PercentEncode(std::string_view value);

// Request URLs. baseUrl is what ServerBaseUrl gave; function names and query keys are fixed texts,
// every value is percent-encoded. URLs are not cut to any length.
using QueryFields = std::vector<std::pair<std::string, std::string>>; // key, value; in the order sent

// baseUrl + "/xml-api/" + functionAndKey + the encoded value, for requests that name one item:
// ApiItemUrl(base, "killpkg?pkg=", name), ApiItemUrl(base, "suspendacct?user=", user) ...
std::string ApiItemUrl(std::string_view baseUrl, std::string_view functionAndKey, std::string_view value);

std::string VersionUrl(std::string_view baseUrl);
std::string ListPackagesUrl(std::string_view baseUrl);
// searchType is "domain", "ip" or "user" (SearchTypeFor); an empty search text lists every account.
std::string ListAccountsUrl(std::string_view baseUrl, std::string_view searchType,
                            std::string_view searchText);
// The search that a search box starts: the text without blanks (spaces, tabs) at either end, its
// type chosen by SearchTypeFor; a domain name in Unicode is searched for in its ASCII form.
std::string SearchAccountsUrl(std::string_view baseUrl, std::string_view searchText);
// A search text without the blanks (spaces, tabs) at either end.
std::string TrimmedSearchText(std::string_view text);
// createacct / addpkg / editpkg: "?" followed by key=value pairs joined by "&" (keys encoded as well).
std::string CreateAccountUrl(std::string_view baseUrl, const QueryFields& fields);
std::string AddPackageUrl(std::string_view baseUrl, const QueryFields& fields);
std::string EditPackageUrl(std::string_view baseUrl, const QueryFields& fields);
std::string RemoveAccountUrl(std::string_view baseUrl, std::string_view user);
std::string KillPackageUrl(std::string_view baseUrl, std::string_view package);
std::string SuspendAccountUrl(std::string_view baseUrl, std::string_view user);
std::string UnsuspendAccountUrl(std::string_view baseUrl, std::string_view user);
std::string PasswdUrl(std::string_view baseUrl, std::string_view user, std::string_view newPassword);
std::string LimitBandwidthUrl(std::string_view baseUrl, std::string_view user, std::string_view limit);
std::string AccountSummaryUrl(std::string_view baseUrl, std::string_view user);

// The result element of an action reply. Only status "1" is success; any other text, the empty one
// included, is failure. statusmsg is the server's message as readable plain text (references
// decoded, markup reduced to its words: ReadableMessageText).
struct ApiResult {
    std::string status;
    std::string statusmsg;
    bool IsSuccess() const { return status == "1"; }
};
// status and statusmsg of the last such elements inside the "result" section of a reply.
ApiResult ReadApiResult(std::string_view reply);
// The last statusmsg anywhere in a reply (no section), as readable plain text.
std::string StatusMessageOf(std::string_view reply);

// The text that opens every XML API reply of a server that accepted the signed-in credentials.
inline constexpr std::string_view kServerMarker = "<?xml";

// True when the server no longer accepts the signed-in user: a non-empty reply without the server
// marker, or an HTTP status of 401 or 403 whatever the reply. An empty reply with any other status is
// never a signed-out reply.
bool IsSignedOutReply(std::string_view reply, long httpStatus = 0);

// The suspended state in an accountsummary reply: 1 when its `suspended` value is "1", 0 when "0",
// -1 for anything else (missing, empty or another text).
int SuspendedStateOf(std::string_view reply);

} // namespace parlomar
