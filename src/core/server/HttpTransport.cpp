#include "core/server/HttpTransport.h"

#include "core/Error.h"
#include "core/Text.h"
#include "core/server/ApiFunctions.h"
#include "core/server/CertificateCheck.h"
#include "core/server/CurlHandle.h"
#include "core/server/Global.h"
#include "core/server/RequestGuard.h"
#include "core/server/SharedConnection.h"
#include "core/server/TransportUi.h"
#include "core/settings/IniFile.h"
#include "core/settings/Localization.h"

#include <curl/curl.h>
#include <openssl/ssl.h>

#include <algorithm>
#include <memory>
#include <mutex>

namespace parlomar {

namespace {

// The reply is taken in pieces of this many bytes of the stream; a 0 byte ends the text of its piece.
constexpr std::size_t kPieceSize = 514;
constexpr long kConnectTimeoutSeconds = 30;
constexpr auto kDotInterval = std::chrono::milliseconds(100);
constexpr int kMaxCertificateRetries = 10;
constexpr const char* kPinSection = "Certificates";

std::atomic<long> gConnectSeconds{kConnectTimeoutSeconds};
std::atomic<long> gStallSeconds{60};
std::atomic<std::size_t> gReplyLimit{kMaxReplyBytes};
std::mutex gSeamMutex;
std::filesystem::path gExtraAuthorities;

std::filesystem::path ExtraAuthorities() {
    std::lock_guard lock(gSeamMutex);
    return gExtraAuthorities;
}

std::string PinKey(const std::string& host, unsigned port) {
    return LowerAscii(host) + ":" + std::to_string(port);
}

std::string ReadPin(const std::string& key) {
    std::string pin = ReadIniValue(kPinSection, key, kSettingsTarget);
    return pin == "0" ? std::string() : pin;
}

// ---- One transfer ----

// A request's status display: shown only while the request is wanted, also when posted.
bool Unwanted(const ServerSession* session, const RequestControl* control) {
    return !RequestWanted(session, control);
}

void ShowStatus(const SessionPtr& session, const std::shared_ptr<RequestControl>& control, int n,
                const std::string& suffix) {
    auto ui = CurrentTransportUi();
    if (!ui || (control && control->quiet) || Unwanted(session.get(), control.get()))
        return;
    if (ui->IsGuiThread())
        ui->ShowRequestStatus(n, suffix);
    else
        // The posted call does not hold the UI: a UI that goes with calls still queued is freed.
        ui->PostToGuiThread([weak = std::weak_ptr<TransportUi>(ui), session, control, n, suffix] {
            const auto shown = weak.lock();
            if (shown && !(control && control->quiet) && !Unwanted(session.get(), control.get()))
                shown->ShowRequestStatus(n, suffix);
        });
}

struct Transfer {
    SessionPtr session;
    std::shared_ptr<Connection> connection;
    std::shared_ptr<RequestControl> control;
    std::string url;
    bool secure = false; // https
    CertificateCheck certificate;
    CURL* easy = nullptr; // while it runs
    std::size_t replyLimit = 0;
    ReplyReader* reader = nullptr; // the request's reader, if any

    std::string text;
    std::size_t received = 0; // bytes of the body so far (also when the reader takes them)
    std::string piece;
    bool aborted = false;
    bool sent = false; // the request went out: the server may have acted on it
    bool tooLarge = false;
    bool askedOtherScheme = false; // Basic credentials answered with a request for another scheme
    bool bodyStarted = false;
    int dotCounter = 1;
    std::string dots;
    bool dotsShown = false;
    std::chrono::steady_clock::time_point lastDots;

    CURLcode code = CURLE_OK;
    long httpStatus = 0;
    long connectCode = 0;
    bool setupFailed = false;

    void TakePiece() {
        const std::string_view taken(piece.data(), std::min(piece.size(), piece.find('\0')));
        if (!reader || !reader->TakesBody())
            text.append(taken);
        received += taken.size();
        if (reader)
            reader->Take(taken);
        piece.clear();
        Tick();
    }

    // The dots advance at most every 100 ms: ".", "..", "...", "" and again.
    void Tick() {
        const auto now = std::chrono::steady_clock::now();
        if (dotsShown && now - lastDots < kDotInterval)
            return;
        dotsShown = true;
        lastDots = now;
        if (dotCounter <= 3) {
            ++dotCounter;
            dots += '.';
        } else {
            dotCounter = 1;
            dots.clear();
        }
        ShowStatus(session, control, 1, dots);
    }
};

std::size_t OnReplyData(char* data, std::size_t size, std::size_t count, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    const std::size_t total = size * count;
    if (!transfer->bodyStarted) {
        transfer->bodyStarted = true;
        // A reply whose length is announced gets its room at once instead of growing (each growth
        // copies what came so far and briefly needs both copies).
        curl_off_t announced = -1;
        if (curl_easy_getinfo(transfer->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced) == CURLE_OK &&
            announced > 0 && static_cast<std::size_t>(announced) <= transfer->replyLimit &&
            !(transfer->reader && transfer->reader->TakesBody())) {
            try {
                transfer->text.reserve(static_cast<std::size_t>(announced));
            } catch (const std::bad_alloc&) {
                // The text grows as it arrives instead.
            }
        }
    }
    if (total >
        transfer->replyLimit - std::min(transfer->replyLimit, transfer->received + transfer->piece.size())) {
        transfer->tooLarge = true;
        return 0; // ends the transfer before the reply outgrows memory
    }
    std::size_t used = 0;
    while (used < total) {
        const std::size_t take = std::min(kPieceSize - transfer->piece.size(), total - used);
        transfer->piece.append(data + used, take);
        used += take;
        if (transfer->piece.size() == kPieceSize) {
            transfer->TakePiece();
            if (Unwanted(transfer->session.get(), transfer->control.get())) {
                transfer->aborted = true;
                return 0; // ends the transfer; the rest of the reply is not read
            }
        }
    }
    return total;
}

int OnTransferProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* transfer = static_cast<Transfer*>(user);
    if (Unwanted(transfer->session.get(), transfer->control.get())) {
        transfer->aborted = true;
        return 1;
    }
    return 0;
}

// Runs on every connection, new, reused or resumed, after the TLS handshake and right before the
// request is sent: a request that was stopped or whose session ended meanwhile is not sent, and the
// certificate is judged by the remembered fingerprint as it stands now.
int CheckBeforeSending(void* user, char*, char*, int, int) {
    auto* transfer = static_cast<Transfer*>(user);
    if (Unwanted(transfer->session.get(), transfer->control.get())) {
        transfer->aborted = true;
        return CURL_PREREQFUNC_ABORT;
    }
    if (!transfer->secure) {
        transfer->sent = true;
        return CURL_PREREQFUNC_OK;
    }
    const SSL* ssl = nullptr;
    const curl_tlssessioninfo* session = nullptr;
    if (curl_easy_getinfo(transfer->easy, CURLINFO_TLS_SSL_PTR, &session) == CURLE_OK && session &&
        session->backend == CURLSSLBACKEND_OPENSSL)
        ssl = static_cast<const SSL*>(session->internals);
    if (!CheckPeerCertificate(transfer->certificate, ssl))
        return CURL_PREREQFUNC_ABORT;
    transfer->sent = true;
    return CURL_PREREQFUNC_OK;
}

// Bytes that cannot stand in a request line are sent percent-encoded.
std::string SafePath(std::string_view path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string safe;
    for (unsigned char c : path) {
        if (c <= 0x20 || c >= 0x7F) {
            safe += '%';
            safe += kHex[c >> 4];
            safe += kHex[c & 15];
        } else {
            safe += static_cast<char>(c);
        }
    }
    return safe;
}

void RunTransfer(Transfer& transfer) {
    Connection& connection = *transfer.connection;
    BorrowedHandle borrowed(connection);
    CURL* handle = borrowed.get();
    if (!handle) {
        transfer.setupFailed = true;
        return;
    }
    transfer.easy = handle;
    CurlSlist headers;
    CurlAppend(headers, "Connection: Keep-Alive");
    CurlAppend(headers, "Accept:");
    curl_easy_setopt(handle, CURLOPT_URL, transfer.url.c_str());
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(handle, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(handle, CURLOPT_USERAGENT, AppName.c_str());
    // Over TLS the credentials go with the first request (Basic), so one call is one request; a
    // server that wants another scheme is negotiated with from then on.
    const bool basicFirst = transfer.secure && !connection.otherScheme.load();
    curl_easy_setopt(handle, CURLOPT_HTTPAUTH,
                     static_cast<long>(basicFirst        ? CURLAUTH_BASIC
                                       : transfer.secure ? (CURLAUTH_ANY & ~CURLAUTH_BASIC)
                                                         : CURLAUTH_ANY));
    curl_easy_setopt(handle, CURLOPT_USERNAME, connection.userName.c_str());
    curl_easy_setopt(handle, CURLOPT_PASSWORD, connection.password.c_str());
    if (!connection.proxyText.empty()) {
        const std::string proxy = "http://" + connection.proxyText;
        curl_easy_setopt(handle, CURLOPT_PROXY, proxy.c_str());
        curl_easy_setopt(handle, CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_ANY));
        if (!connection.proxyUser.empty()) {
            curl_easy_setopt(handle, CURLOPT_PROXYUSERNAME, connection.proxyUser.c_str());
            curl_easy_setopt(handle, CURLOPT_PROXYPASSWORD, connection.proxyPassword.c_str());
        }
    }
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, gConnectSeconds.load());
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, gStallSeconds.load());
    if (transfer.control && transfer.control->timeLimit.count() > 0)
        curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, static_cast<long>(transfer.control->timeLimit.count()));
    // The certificate is verified by the connection's TLS context and judged before each request by
    // CheckBeforeSending (CertificateCheck.h); libcurl's own checks are off.
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 0L);
    curl_easy_setopt(handle, CURLOPT_SSL_CTX_FUNCTION, PrepareTlsContext);
    curl_easy_setopt(handle, CURLOPT_SSL_CTX_DATA, &transfer.certificate);
    curl_easy_setopt(handle, CURLOPT_PREREQFUNCTION, CheckBeforeSending);
    curl_easy_setopt(handle, CURLOPT_PREREQDATA, &transfer);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, OnReplyData);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, OnTransferProgress);
    curl_easy_setopt(handle, CURLOPT_XFERINFODATA, &transfer);

    transfer.code = curl_easy_perform(handle);
    if (!transfer.aborted && !transfer.tooLarge && transfer.code == CURLE_OK && !transfer.piece.empty())
        transfer.TakePiece();
    else if (transfer.aborted && !transfer.piece.empty())
        transfer.TakePiece(); // the piece being read when the stop came
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &transfer.httpStatus);
    curl_easy_getinfo(handle, CURLINFO_HTTP_CONNECTCODE, &transfer.connectCode);
    if (basicFirst && transfer.code == CURLE_OK && transfer.httpStatus == 401) {
        long offered = 0;
        curl_easy_getinfo(handle, CURLINFO_HTTPAUTH_AVAIL, &offered);
        transfer.askedOtherScheme = (offered & ~static_cast<long>(CURLAUTH_BASIC)) != 0;
    }
    transfer.easy = nullptr;
    // A connection whose certificate was refused, or whose reply was cut off, is not used again.
    borrowed.Keep(!transfer.certificate.rejected && !transfer.tooLarge && !transfer.aborted);
}

TransportStatus StatusOfTransfer(const Transfer& transfer) {
    if (transfer.certificate.rejected)
        return transfer.certificate.info.status;
    switch (transfer.code) {
    case CURLE_OK:
        return kStatusOk;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return kStatusNameNotResolved;
    case CURLE_COULDNT_CONNECT:
        return kStatusCannotConnect;
    case CURLE_OPERATION_TIMEDOUT:
        return kStatusTimeout;
    case CURLE_PEER_FAILED_VERIFICATION:
        return kStatusUntrustedCertificate;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_SSL_SHUTDOWN_FAILED:
        return kStatusSecureChannel;
    case CURLE_GOT_NOTHING:
    case CURLE_SEND_ERROR:
    case CURLE_PARTIAL_FILE:
        return kStatusConnectionAborted;
    case CURLE_RECV_ERROR:
        // A proxy that refuses the tunnel answers CONNECT with an error status.
        if (transfer.connectCode != 0 && (transfer.connectCode < 200 || transfer.connectCode > 299))
            return kStatusInternalError;
        return kStatusConnectionReset;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_BAD_CONTENT_ENCODING:
    case CURLE_HTTP_RETURNED_ERROR:
    case CURLE_TOO_MANY_REDIRECTS:
        return kStatusInvalidResponse;
    default:
        return kStatusInternalError;
    }
}

} // namespace

bool RequestWanted(const ServerSession* session, const RequestControl* control) {
    if (control && control->stop.load())
        return false;
    return !session || !session->Ended() || (control && control->connection);
}

std::string SplitUrl(std::string_view url, int part) {
    if (part == 1) {
        const std::string lower = LowerAscii(url);
        if (lower.find("http://") != std::string::npos)
            return "http://";
        if (lower.find("https://") != std::string::npos)
            return "https://";
        return {};
    }
    const std::size_t marker = url.find("://");
    if (marker == std::string_view::npos)
        return {};
    const std::size_t hostStart = marker + 3;
    const std::size_t slash = url.find('/', hostStart);
    if (slash == std::string_view::npos) // no host; the path is all that follows "://"
        return part == 3 ? std::string(url.substr(hostStart)) : std::string();
    if (part == 2)
        return std::string(url.substr(hostStart, slash - hostStart));
    if (part == 3)
        return std::string(url.substr(slash));
    return {};
}

void SetTimeLimits(std::chrono::seconds connect, std::chrono::seconds stall) {
    gConnectSeconds = static_cast<long>(std::max<std::chrono::seconds::rep>(1, connect.count()));
    gStallSeconds = static_cast<long>(std::max<std::chrono::seconds::rep>(1, stall.count()));
}

void SetReplyLimit(std::size_t bytes) {
    gReplyLimit = bytes;
}

void SetExtraTrustedAuthorities(const std::filesystem::path& pemFile) {
    std::lock_guard lock(gSeamMutex);
    gExtraAuthorities = pemFile;
}

void AcceptCertificateOf(const SessionPtr& session, const CertificateInfo& info) {
    if (session)
        session->AcceptCertificate(PinKey(info.host, info.port), info.fingerprint);
}

RequestFunction SessionRequests(SessionPtr session) {
    return [session = std::move(session)](std::string_view url) { return HttpGet(session, url); };
}

static HttpReply SendRequest(const SessionPtr& session, const ApiRequest& request,
                             const std::shared_ptr<RequestControl>& control, bool& sent);

HttpReply HttpGet(const SessionPtr& session, std::string_view url,
                  const std::shared_ptr<RequestControl>& control) {
    return HttpGet(session, ParseApiRequest(url), control);
}

HttpReply HttpGet(const SessionPtr& sessionOfCaller, const ApiRequest& request,
                  const std::shared_ptr<RequestControl>& control) {
    // Held here: the caller's pointer may belong to a window that is closed while the request runs.
    const SessionPtr session = sessionOfCaller;
    if (!session) {
        HttpReply reply;
        reply.status = kStatusRequestNotOpened;
        return reply;
    }
    // A changing request is refused on a read-only server and recorded in the activity log.
    return GuardRequest(*session, request, [&] {
        bool sent = false;
        HttpReply reply = SendRequest(session, request, control, sent);
        reply.sent = sent;
        return reply;
    });
}

static HttpReply SendRequest(const SessionPtr& session, const ApiRequest& request,
                             const std::shared_ptr<RequestControl>& control, bool& sent) {
    HttpReply reply;
    TransportStatus status = kStatusStart;

    const std::string& scheme = request.scheme;
    const std::string& host = request.host;
    const std::string& path = request.path;
    if (host.size() < 5)
        status = kStatusHostTooShort;
    if (path.size() < 5)
        status = kStatusPathTooShort;
    const bool proxyOn = IniFlag(ReadIniValue("Proxy", "USE", kSettingsTarget));
    std::string proxyText;
    if (proxyOn)
        proxyText = ReadIniValue("Proxy", "ADDR", kSettingsTarget) + ":" +
                    ReadIniValue("Proxy", "PORT", kSettingsTarget);
    if (proxyOn && proxyText.size() < 10)
        status = kStatusProxyTooShort;
    if (proxyOn && proxyText.find(':') == proxyText.size() - 1)
        status = kStatusProxyNoPort;
    if (scheme != "https://" && scheme != "http://")
        status = kStatusBadScheme;
    if (status != kStatusStart) {
        reply.status = status;
        return reply;
    }
    if (Unwanted(session.get(), control.get())) {
        reply.status = kStatusRequestNotOpened;
        return reply;
    }

    bool sessionEnded = false;
    std::shared_ptr<Connection> connection = control && control->connection
                                                 ? std::static_pointer_cast<Connection>(control->connection)
                                                 : session->OpenConnection(proxyText, sessionEnded);
    if (!connection) {
        // A request that runs unattended (the search over every server) says why in its status
        // alone; nobody is there to close a message.
        if (!sessionEnded && !(control && control->unattended))
            ShowMessageText("Error with InternetOpen");
        reply.status = sessionEnded ? kStatusRequestNotOpened : kStatusConnectionNotOpened;
        return reply;
    }

    ShowStatus(session, control, 0, "");

    // Every request goes to the connection's host and port, whatever host the URL names.
    std::string target = connection->host;
    if (target.find(':') != std::string::npos && target.front() != '[')
        target = "[" + target + "]";
    const std::string requestUrl = scheme + target + ":" + std::to_string(connection->port) + SafePath(path);
    const std::string pinKey = PinKey(connection->host, connection->port);

    std::string accepted = session->AcceptedFingerprint();
    bool fellBack = false;
    for (int retries = 0;; ++retries) {
        Transfer transfer;
        transfer.session = session;
        transfer.connection = connection;
        transfer.control = control;
        transfer.url = requestUrl;
        transfer.secure = scheme == "https://";
        transfer.replyLimit = gReplyLimit.load();
        if (control && control->reader) {
            transfer.reader = control->reader.get();
            transfer.reader->Restart();
        }
        transfer.certificate.host = connection->host;
        transfer.certificate.port = connection->port;
        transfer.certificate.pin = ReadPin(pinKey);
        transfer.certificate.acceptedFingerprint = accepted;
        transfer.certificate.extraAuthorities = ExtraAuthorities();
        RunTransfer(transfer);
        sent = sent || transfer.sent;

        if (transfer.setupFailed) {
            if (!(control && control->unattended))
                ShowMessageText("Error with HttpOpenRequest!");
            reply.status = kStatusRequestNotOpened;
            return reply;
        }
        if (transfer.aborted) {
            reply.status = kStatusRequestNotOpened; // stopped, or its session ended: nothing to show
            return reply;
        }
        if (transfer.tooLarge) {
            reply.status = kStatusReplyTooLarge;
            return reply;
        }
        if (transfer.askedOtherScheme && !fellBack && !Unwanted(session.get(), control.get())) {
            // Sent again once, answering the scheme the server asked for.
            fellBack = true;
            connection->otherScheme = true;
            continue;
        }
        status = StatusOfTransfer(transfer);
        if (status == kStatusOk) {
            reply.status = kStatusOk;
            reply.text = std::move(transfer.text);
            reply.httpStatus = transfer.httpStatus;
            if (transfer.reader)
                transfer.reader->Finish();
            ShowStatus(session, control, 2, "");
            return reply;
        }
        if (!transfer.certificate.rejected || retries >= kMaxCertificateRetries ||
            Unwanted(session.get(), control.get())) {
            reply.status = status;
            return reply;
        }

        if (control && control->unattended) { // nobody to decide: not trusted
            reply.status = kStatusCertificateDeclined;
            return reply;
        }
        // A certificate that was not accepted on its own: the setting decides, and a certificate
        // that differs from the remembered one is always put to the operator.
        const CertificateInfo& info = transfer.certificate.info;
        const bool ask = info.changed || IniFlag(ReadIniValue("General", "UntrustedCert", kSettingsTarget));
        if (ask) {
            auto ui = CurrentTransportUi();
            if (!ui) {
                reply.status = status;
                return reply;
            }
            if (control && control->certificateAfter) {
                reply.status = status;
                reply.certificate = std::make_shared<const CertificateInfo>(info);
                return reply;
            }
            if (!ui->AskCertificate(info)) {
                reply.status = kStatusCertificateDeclined;
                return reply;
            }
        }
        accepted = info.fingerprint;
        session->AcceptCertificate(pinKey, info.fingerprint); // remembered through the session
        if (Unwanted(session.get(), control.get())) {
            reply.status = status;
            return reply;
        }
    }
}

} // namespace parlomar
