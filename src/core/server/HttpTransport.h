#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "core/server/ServerSession.h"

namespace parlomar {

// The result of every HTTP request: 0 success; -1 start value; 1 certificate declined; 2 request not
// sent (aborted before sending); 3 connection not opened (or aborted before connecting); 6 to 10 URL
// or proxy setting unusable; 13 reply too large; any other value one of the status numbers below.
using TransportStatus = std::int32_t;

inline constexpr TransportStatus kStatusOk = 0;
inline constexpr TransportStatus kStatusStart = -1;
inline constexpr TransportStatus kStatusCertificateDeclined = 1;
inline constexpr TransportStatus kStatusRequestNotOpened = 2;
inline constexpr TransportStatus kStatusConnectionNotOpened = 3;
inline constexpr TransportStatus kStatusHostTooShort = 6;
inline constexpr TransportStatus kStatusPathTooShort = 7;
inline constexpr TransportStatus kStatusProxyTooShort = 8;
inline constexpr TransportStatus kStatusProxyNoPort = 9;
inline constexpr TransportStatus kStatusBadScheme = 10;
// The reply grew past kMaxReplyBytes; the transfer was ended and nothing of it is kept.
inline constexpr TransportStatus kStatusReplyTooLarge = 13;
inline constexpr std::size_t kMaxReplyBytes = std::size_t{1} << 30;

inline constexpr TransportStatus kStatusInternalError = 12004;
inline constexpr TransportStatus kStatusTimeout = 12002;
inline constexpr TransportStatus kStatusNameNotResolved = 12007;
inline constexpr TransportStatus kStatusCannotConnect = 12029;
inline constexpr TransportStatus kStatusConnectionAborted = 12030;
inline constexpr TransportStatus kStatusConnectionReset = 12031;
inline constexpr TransportStatus kStatusCertificateDate = 12037;
inline constexpr TransportStatus kStatusCertificateName = 12038;
inline constexpr TransportStatus kStatusUntrustedCertificate = 12045;
inline constexpr TransportStatus kStatusInvalidResponse = 12152;
inline constexpr TransportStatus kStatusSecureChannel = 12157;

// What HttpGet hands back. text is the reply body when status is 0, else empty; httpStatus is the
// server's HTTP status code (0 when none arrived).
struct HttpReply {
    TransportStatus status = kStatusStart;
    std::string text;
    long httpStatus = 0;
    // The request went out to the server. With a status other than 0 the server may still have
    // carried it out: its outcome is unknown (a stop or a sign-out while the reply was awaited, a
    // time-out, a connection cut off).
    bool sent = false;
};

// The URL splitter: part 1 the scheme ("http://" when the lower-cased URL contains "http://", else
// "https://" when it contains "https://", else empty); part 2 the host (between the first "://" and
// the next "/", empty without such a "/"); part 3 the path from that "/" on (without such a "/",
// everything after "://"). Other parts, or no "://": empty.
std::string SplitUrl(std::string_view url, int part);

// Takes a reply's body while it arrives, on the thread that runs the transfer (see RequestControl).
class ReplyReader {
public:
    virtual ~ReplyReader() = default;
    // The request goes out (again, after a certificate was accepted or for another authentication
    // scheme): whatever was taken before belongs to no reply.
    virtual void Restart() = 0;
    // The next bytes of the body, in order: since the last Restart together exactly the text so far.
    virtual void Take(std::string_view bytes) = 0;
    // HttpGet is about to return status 0: what was taken since the last Restart is HttpReply::text.
    // Not called for any other outcome.
    virtual void Finish() = 0;
    // True: the reader keeps what it needs of the body and HttpReply::text stays empty (a long
    // reply is then never held whole).
    virtual bool TakesBody() const { return false; }
};

// One request's own controls, shared by its caller and the transfer (any thread may hold them).
struct RequestControl {
    // Set by the caller to end the request: before it is sent nothing is sent; while it runs it
    // ends within about a second. Either way it gives status 2 and no reply.
    std::atomic<bool> stop{false};
    // Not empty: the request goes to this connection (ServerSession::HoldConnection()), also after
    // its session ended (the sign-out of that session).
    std::shared_ptr<void> connection;
    // Above 0: the whole request ends after this time with status 12002.
    std::chrono::milliseconds timeLimit{0};
    // Shows nothing in the status display (a request the operator did not ask for, or a list fetch
    // of the list not shown). May change while the request runs.
    std::atomic<bool> quiet{false};
    // Not empty: also given the reply's body piece by piece while it arrives (the list fetch reads
    // the accounts on its own thread that way). HttpReply::text still holds the whole body unless
    // the reader TakesBody.
    std::shared_ptr<ReplyReader> reader;
    // Nobody is there to ask or to tell (a search over many servers, a command-line run): a
    // certificate that is not accepted on its own ends the request with status 1, neither asked
    // about nor taken silently, and nothing with the credentials is sent; no message is shown.
    bool unattended = false;
};

// Not stopped (control may be null), and its session not ended unless the request is the one sent
// on a held connection. A request that is no longer wanted shows nothing in the status display.
bool RequestWanted(const ServerSession* session, const RequestControl* control);

// One GET of url for a session. Checks the URL and the proxy settings first (statuses 6 to 10,
// nothing sent), then opens or reuses the session's connection and reads the reply; the request
// goes to the session's host and port whatever host the URL names. Called on the GUI thread, the
// transfer runs on a worker thread while the GUI keeps processing events. Over TLS the credentials go
// with the request (HTTP Basic), so one call is one request; a server that answers them by asking for
// another scheme gets the request once more with that scheme, and so does every later request on the
// connection. The server certificate is judged before every request (see CertificateCheck.h). An
// ended session sends nothing (status 2).
struct ApiRequest;
HttpReply HttpGet(const SessionPtr& session, const ApiRequest& request,
                  const std::shared_ptr<RequestControl>& control = nullptr);
// The same for a URL text, taken apart once (ParseApiRequest).
HttpReply HttpGet(const SessionPtr& session, std::string_view url,
                  const std::shared_ptr<RequestControl>& control = nullptr);

// A way to send one request, for operations that send on behalf of a window.
using RequestFunction = std::function<HttpReply(std::string_view url)>;
// HttpGet for a session.
RequestFunction SessionRequests(SessionPtr session);

// Test seams: the connect time-out (30 s, connect and TLS handshake) and the time without any
// received byte after which a transfer ends with 12002 (60 s); the largest reply taken
// (kMaxReplyBytes); an extra file of trusted authorities besides the system's (none).
void SetTimeLimits(std::chrono::seconds connect, std::chrono::seconds stall);
void SetReplyLimit(std::size_t bytes);
void SetExtraTrustedAuthorities(const std::filesystem::path& pemFile);

} // namespace parlomar
