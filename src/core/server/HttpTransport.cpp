#include "server/HttpTransport.h"

#include "Error.h"
#include "server/Global.h"
#include "server/PasswordCipher.h"
#include "server/RequestGuard.h"
#include "server/TransportUi.h"
#include "settings/IniFile.h"
#include "settings/Localization.h"

#include <curl/curl.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace parlomar {

std::atomic<std::uint8_t> AbortFlag{0};

namespace {

// The reply is taken in pieces of this many bytes of the stream; a 0 byte ends the text of its piece.
constexpr std::size_t kPieceSize = 514;
constexpr long kConnectTimeoutSeconds = 30;
constexpr auto kDotInterval = std::chrono::milliseconds(100);
constexpr auto kPumpInterval = std::chrono::milliseconds(10);
constexpr int kMaxCertificateRetries = 10;
constexpr const char* kPinSection = "Certificates";

std::mutex gSignInMutex;
SignInValues gSignIn;

std::atomic<long> gConnectSeconds{kConnectTimeoutSeconds};
std::atomic<long> gStallSeconds{60};
std::mutex gSeamMutex;
std::filesystem::path gExtraAuthorities;

std::filesystem::path ExtraAuthorities() {
    std::lock_guard lock(gSeamMutex);
    return gExtraAuthorities;
}

void InitCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// The shared connection: the server and the credentials it was opened with, the proxy read at that
// time, and a share handle through which requests reuse connections, TLS sessions and name lookups.
// Requests hold it by shared_ptr, so closing it while one runs only drops the global reference.
struct Connection {
    std::string host;
    std::uint16_t port = 0;
    std::string userName;
    std::string password;
    std::string proxyText; // ADDR:PORT, empty when the proxy is off
    std::string proxyUser;
    std::string proxyPassword;
    CURLSH* share = nullptr;
    std::array<std::mutex, CURL_LOCK_DATA_LAST> locks;

    Connection() = default;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection() {
        if (share)
            curl_share_cleanup(share);
    }
};

std::mutex gConnectionMutex;
std::shared_ptr<Connection> gConnection;
std::atomic<std::uint64_t> gSession{1}; // changed under gConnectionMutex

void LockShare(CURL*, curl_lock_data data, curl_lock_access, void* user) {
    static_cast<Connection*>(user)->locks.at(static_cast<std::size_t>(data)).lock();
}

void UnlockShare(CURL*, curl_lock_data data, void* user) {
    static_cast<Connection*>(user)->locks.at(static_cast<std::size_t>(data)).unlock();
}

std::string Decipher(const std::string& enciphered) {
    return DecipherPassword(enciphered);
}

// Opens the shared connection unless one exists (then it is reused whatever the host). nullptr when
// it cannot be opened, or when the request's session has ended (sessionEnded is then set).
std::shared_ptr<Connection> OpenConnection(const std::string& host, const std::string& proxyText,
                                           std::uint64_t session, bool& sessionEnded) {
    std::lock_guard lock(gConnectionMutex);
    sessionEnded = session != 0 && session != gSession.load();
    if (sessionEnded)
        return nullptr;
    if (gConnection)
        return gConnection;
    InitCurlOnce();
    try {
        auto connection = std::make_shared<Connection>();
        const SignInValues signIn = GetSignInValues();
        connection->host = host;
        connection->port = signIn.port;
        connection->userName = signIn.userName;
        connection->password = Decipher(signIn.encipheredPassword);
        connection->proxyText = proxyText;
        if (!proxyText.empty()) {
            std::string user = ReadIniValue("Proxy", "USER", kSettingsTarget);
            if (user != "0" && !user.empty()) {
                connection->proxyUser = user;
                connection->proxyPassword = Decipher(ReadIniValue("Proxy", "PSW", kSettingsTarget));
            }
        }
        connection->share = curl_share_init();
        if (!connection->share)
            throw Error("no share handle");
        curl_share_setopt(connection->share, CURLSHOPT_LOCKFUNC, LockShare);
        curl_share_setopt(connection->share, CURLSHOPT_UNLOCKFUNC, UnlockShare);
        curl_share_setopt(connection->share, CURLSHOPT_USERDATA, connection.get());
        curl_share_setopt(connection->share, CURLSHOPT_SHARE, CURL_LOCK_DATA_CONNECT);
        curl_share_setopt(connection->share, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
        curl_share_setopt(connection->share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
        gConnection = connection;
        return connection;
    } catch (const std::exception&) {
        ShowMessageText("Error with InternetOpen");
        return nullptr;
    }
}

bool IsIpAddress(const std::string& host) {
    unsigned char buffer[16];
    return inet_pton(AF_INET, host.c_str(), buffer) == 1 || inet_pton(AF_INET6, host.c_str(), buffer) == 1;
}

std::string LowerAscii(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    return lower;
}

std::string PinKey(const std::string& host, unsigned port) {
    return LowerAscii(host) + ":" + std::to_string(port);
}

std::string ReadPin(const std::string& key) {
    std::string pin = ReadIniValue(kPinSection, key, kSettingsTarget);
    return pin == "0" ? std::string() : pin;
}

// ---- Certificate check, run by OpenSSL during the handshake ----

struct CertificateCheck {
    std::string host;
    unsigned port = 0;
    std::string pin;                 // the remembered fingerprint for host and port, or empty
    std::string acceptedFingerprint; // accepted for this request by the operator or the setting
    std::filesystem::path extraAuthorities;
    bool rejected = false;
    CertificateInfo info;
};

std::string NameText(const X509_NAME* name) {
    std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new(BIO_s_mem()), BIO_free);
    if (!bio || !name)
        return {};
    X509_NAME_print_ex(bio.get(), name, 0, XN_FLAG_RFC2253 & ~ASN1_STRFLGS_ESC_MSB);
    char* data = nullptr;
    long size = BIO_get_mem_data(bio.get(), &data);
    return size > 0 ? std::string(data, static_cast<std::size_t>(size)) : std::string();
}

std::string TimeText(const ASN1_TIME* time) {
    std::tm tm{};
    if (!time || ASN1_TIME_to_tm(time, &tm) != 1)
        return {};
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S UTC", &tm);
    return buffer;
}

std::string Fingerprint(X509* certificate) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (X509_digest(certificate, EVP_sha256(), digest, &length) != 1)
        return {};
    std::string text;
    char hex[4];
    for (unsigned int i = 0; i < length; ++i) {
        std::snprintf(hex, sizeof hex, "%02X", digest[i]);
        if (i)
            text += ':';
        text += hex;
    }
    return text;
}

TransportStatus StatusOfVerifyError(int error) {
    switch (error) {
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
    case X509_V_ERR_EMAIL_MISMATCH:
        return kStatusCertificateName;
    case X509_V_ERR_CERT_HAS_EXPIRED:
    case X509_V_ERR_CERT_NOT_YET_VALID:
    case X509_V_ERR_CRL_HAS_EXPIRED:
    case X509_V_ERR_CRL_NOT_YET_VALID:
        return kStatusCertificateDate;
    default:
        return kStatusUntrustedCertificate;
    }
}

int VerifyServerCertificate(X509_STORE_CTX* context, void* argument) {
    auto* check = static_cast<CertificateCheck*>(argument);
    X509* leaf = X509_STORE_CTX_get0_cert(context);
    if (!leaf)
        return 0;
    X509_VERIFY_PARAM* param = X509_STORE_CTX_get0_param(context);
    if (IsIpAddress(check->host))
        X509_VERIFY_PARAM_set1_ip_asc(param, check->host.c_str());
    else
        X509_VERIFY_PARAM_set1_host(param, check->host.c_str(), check->host.size());
    const bool verified = X509_verify_cert(context) == 1;
    const int error = X509_STORE_CTX_get_error(context);
    const std::string fingerprint = Fingerprint(leaf);

    bool accept = false;
    if (!fingerprint.empty() && fingerprint == check->acceptedFingerprint)
        accept = true;
    else if (!check->pin.empty())
        accept = fingerprint == check->pin;
    else
        accept = verified;
    if (accept) {
        X509_STORE_CTX_set_error(context, X509_V_OK);
        return 1;
    }

    CertificateInfo& info = check->info;
    info.host = check->host;
    info.port = check->port;
    info.subject = NameText(X509_get_subject_name(leaf));
    info.issuer = NameText(X509_get_issuer_name(leaf));
    info.notBefore = TimeText(X509_get0_notBefore(leaf));
    info.notAfter = TimeText(X509_get0_notAfter(leaf));
    info.fingerprint = fingerprint;
    info.changed = !check->pin.empty();
    info.previousFingerprint = check->pin;
    if (verified) {
        info.status = kStatusUntrustedCertificate;
        info.problem = "The server's certificate differs from the one accepted before for this server.";
    } else {
        info.status = StatusOfVerifyError(error);
        info.problem = X509_verify_cert_error_string(error);
        if (info.changed)
            info.problem = "The server's certificate differs from the one accepted before for this server: " +
                           info.problem;
    }
    check->rejected = true;
    if (verified || error == X509_V_OK)
        X509_STORE_CTX_set_error(context, X509_V_ERR_APPLICATION_VERIFICATION);
    return 0;
}

// Gives the TLS context its own store (the system's authorities and the extra file) and makes the
// handshake depend on VerifyServerCertificate, so nothing is sent to a server that was not accepted.
CURLcode PrepareTlsContext(CURL*, void* sslContext, void* argument) {
    auto* check = static_cast<CertificateCheck*>(argument);
    auto* context = static_cast<SSL_CTX*>(sslContext);
    X509_STORE* store = X509_STORE_new();
    if (!store)
        return CURLE_OUT_OF_MEMORY;
    X509_STORE_set_default_paths(store);
    if (!check->extraAuthorities.empty())
        X509_STORE_load_file(store, check->extraAuthorities.c_str());
    SSL_CTX_set_cert_store(context, store);
    SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
    SSL_CTX_set_cert_verify_callback(context, VerifyServerCertificate, check);
    return CURLE_OK;
}

// ---- One transfer ----

// How a running transfer's progress reaches the status display.
struct Progress {
    std::mutex mutex;
    std::condition_variable changed;
    bool done = false;
    bool dotsChanged = false;
    std::string dots;
};

// A request's status display: shown only while the request is wanted, also when posted.
void ShowStatus(const std::shared_ptr<RequestControl>& control, int n, const std::string& suffix) {
    auto ui = CurrentTransportUi();
    if (!ui || (control && (control->quiet || !control->Wanted())))
        return;
    if (ui->IsGuiThread())
        ui->ShowRequestStatus(n, suffix);
    else
        ui->PostToGuiThread([ui, control, n, suffix] {
            if (!control || control->Wanted())
                ui->ShowRequestStatus(n, suffix);
        });
}

bool Unwanted(const RequestControl* control) {
    return control && !control->Wanted();
}

struct Transfer {
    std::shared_ptr<Connection> connection;
    std::shared_ptr<RequestControl> control;
    std::string url;
    CertificateCheck certificate;
    Progress* progress = nullptr; // the GUI thread waits and shows the dots; nullptr: post them

    std::string text;
    std::string piece;
    bool aborted = false;
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
        text.append(piece.data(), std::min(piece.size(), piece.find('\0')));
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
        if (progress) {
            std::lock_guard lock(progress->mutex);
            progress->dots = dots;
            progress->dotsChanged = true;
            progress->changed.notify_all();
        } else {
            ShowStatus(control, 1, dots);
        }
    }
};

std::size_t OnReplyData(char* data, std::size_t size, std::size_t count, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    const std::size_t total = size * count;
    transfer->bodyStarted = true;
    std::size_t used = 0;
    while (used < total) {
        const std::size_t take = std::min(kPieceSize - transfer->piece.size(), total - used);
        transfer->piece.append(data + used, take);
        used += take;
        if (transfer->piece.size() == kPieceSize) {
            transfer->TakePiece();
            if (AbortFlag.load() == 1 || Unwanted(transfer->control.get())) {
                transfer->aborted = true;
                return 0; // ends the transfer; the rest of the reply is not read
            }
        }
    }
    return total;
}

int OnTransferProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* transfer = static_cast<Transfer*>(user);
    if (AbortFlag.load() == 1 || Unwanted(transfer->control.get())) {
        transfer->aborted = true;
        return 1;
    }
    return 0;
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
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> easy(curl_easy_init(), curl_easy_cleanup);
    if (!easy) {
        transfer.setupFailed = true;
        return;
    }
    CURL* handle = easy.get();
    curl_slist* headers = curl_slist_append(nullptr, "Connection: Keep-Alive");
    headers = curl_slist_append(headers, "Accept:");
    curl_easy_setopt(handle, CURLOPT_SHARE, connection.share);
    curl_easy_setopt(handle, CURLOPT_URL, transfer.url.c_str());
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(handle, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(handle, CURLOPT_USERAGENT, AppName.c_str());
    curl_easy_setopt(handle, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_ANY));
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
    // The certificate is checked by VerifyServerCertificate during the handshake.
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 0L);
    curl_easy_setopt(handle, CURLOPT_SSL_CTX_FUNCTION, PrepareTlsContext);
    curl_easy_setopt(handle, CURLOPT_SSL_CTX_DATA, &transfer.certificate);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, OnReplyData);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, OnTransferProgress);
    curl_easy_setopt(handle, CURLOPT_XFERINFODATA, &transfer);

    transfer.code = curl_easy_perform(handle);
    if (!transfer.aborted && transfer.code == CURLE_OK && !transfer.piece.empty())
        transfer.TakePiece();
    else if (transfer.aborted && !transfer.piece.empty())
        transfer.TakePiece(); // the piece being read when the stop came
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &transfer.httpStatus);
    curl_easy_getinfo(handle, CURLINFO_HTTP_CONNECTCODE, &transfer.connectCode);
    curl_slist_free_all(headers);
}

// Runs the transfer; on the GUI thread on a worker while the GUI keeps processing events.
void RunTransferResponsively(Transfer& transfer) {
    auto ui = CurrentTransportUi();
    if (!ui || !ui->IsGuiThread()) {
        RunTransfer(transfer);
        return;
    }
    Progress progress;
    transfer.progress = &progress;
    std::thread worker;
    try {
        worker = std::thread([&transfer, &progress] {
            RunTransfer(transfer);
            std::lock_guard lock(progress.mutex);
            progress.done = true;
            progress.changed.notify_all();
        });
    } catch (const std::system_error&) {
        transfer.progress = nullptr;
        RunTransfer(transfer);
        return;
    }
    for (;;) {
        std::string dots;
        bool showDots = false;
        bool done = false;
        {
            std::unique_lock lock(progress.mutex);
            progress.changed.wait_for(lock, kPumpInterval,
                                      [&] { return progress.done || progress.dotsChanged; });
            showDots = progress.dotsChanged;
            progress.dotsChanged = false;
            dots = progress.dots;
            done = progress.done;
        }
        if (showDots && !Unwanted(transfer.control.get()) && !(transfer.control && transfer.control->quiet))
            ui->ShowRequestStatus(1, dots);
        if (done)
            break;
        ui->ProcessPendingEvents();
    }
    worker.join();
    transfer.progress = nullptr;
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

void PumpEvents() {
    auto ui = CurrentTransportUi();
    if (ui && ui->IsGuiThread())
        ui->ProcessPendingEvents();
}

} // namespace

void SetSignInValues(const SignInValues& values) {
    std::lock_guard lock(gSignInMutex);
    gSignIn = values;
}

SignInValues GetSignInValues() {
    std::lock_guard lock(gSignInMutex);
    return gSignIn;
}

std::string ServerBaseUrl() {
    std::lock_guard lock(gSignInMutex);
    std::erase(gSignIn.serverAddress, ' ');
    return ServerBaseUrl(gSignIn.serverAddress);
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

bool RequestControl::Wanted() const {
    return !stop.load() && (session == 0 || session == gSession.load());
}

std::uint64_t CurrentSession() {
    return gSession.load();
}

std::uint64_t BeginSession() {
    std::shared_ptr<Connection> closing;
    std::lock_guard lock(gConnectionMutex);
    closing = std::move(gConnection);
    return ++gSession;
}

std::shared_ptr<void> HoldConnection() {
    std::lock_guard lock(gConnectionMutex);
    return gConnection;
}

void CloseConnection() {
    std::shared_ptr<Connection> closing;
    {
        std::lock_guard lock(gConnectionMutex);
        closing = std::move(gConnection);
    }
    // Released here, or by the last request still using it.
}

void SetTimeLimits(std::chrono::seconds connect, std::chrono::seconds stall) {
    gConnectSeconds = static_cast<long>(std::max<std::chrono::seconds::rep>(1, connect.count()));
    gStallSeconds = static_cast<long>(std::max<std::chrono::seconds::rep>(1, stall.count()));
}

void SetExtraTrustedAuthorities(const std::filesystem::path& pemFile) {
    std::lock_guard lock(gSeamMutex);
    gExtraAuthorities = pemFile;
}

HttpReply HttpGet(std::string_view url) {
    return HttpGet(url, nullptr);
}

RequestFunction SessionRequests(std::uint64_t session) {
    return [session](std::string_view url) {
        auto control = std::make_shared<RequestControl>();
        control->session = session;
        return HttpGet(url, control);
    };
}

static HttpReply SendRequest(std::string_view url, const std::shared_ptr<RequestControl>& control);

HttpReply HttpGet(std::string_view url, const std::shared_ptr<RequestControl>& control) {
    // A changing request is refused on a read-only server and recorded in the activity log.
    return GuardRequest(url, [&] { return SendRequest(url, control); });
}

static HttpReply SendRequest(std::string_view url, const std::shared_ptr<RequestControl>& control) {
    AbortFlag = 0;
    HttpReply reply;
    TransportStatus status = kStatusStart;

    const std::string scheme = SplitUrl(url, 1);
    const std::string host = SplitUrl(url, 2);
    const std::string path = SplitUrl(url, 3);
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
    if (AbortFlag.load() == 1) {
        reply.status = kStatusConnectionNotOpened;
        return reply;
    }
    if (Unwanted(control.get())) {
        reply.status = kStatusRequestNotOpened;
        return reply;
    }

    bool sessionEnded = false;
    std::shared_ptr<Connection> connection =
        control && control->connection
            ? std::static_pointer_cast<Connection>(control->connection)
            : OpenConnection(host, proxyText, control ? control->session : 0, sessionEnded);
    if (!connection) {
        reply.status = sessionEnded ? kStatusRequestNotOpened : kStatusConnectionNotOpened;
        return reply;
    }

    ShowStatus(control, 0, "");
    PumpEvents();
    if (AbortFlag.load() == 1 || Unwanted(control.get())) {
        reply.status = kStatusRequestNotOpened;
        return reply;
    }
    PumpEvents();

    // Every request goes to the connection's host and port, whatever host the URL names.
    std::string target = connection->host;
    if (target.find(':') != std::string::npos && target.front() != '[')
        target = "[" + target + "]";
    const std::string requestUrl = scheme + target + ":" + std::to_string(connection->port) + SafePath(path);
    const std::string pinKey = PinKey(connection->host, connection->port);

    std::string accepted;
    for (int retries = 0;; ++retries) {
        Transfer transfer;
        transfer.connection = connection;
        transfer.control = control;
        transfer.url = requestUrl;
        transfer.certificate.host = connection->host;
        transfer.certificate.port = connection->port;
        transfer.certificate.pin = ReadPin(pinKey);
        transfer.certificate.acceptedFingerprint = accepted;
        transfer.certificate.extraAuthorities = ExtraAuthorities();
        RunTransferResponsively(transfer);

        if (transfer.setupFailed) {
            ShowMessageText("Error with HttpOpenRequest!");
            reply.status = kStatusRequestNotOpened;
            return reply;
        }
        if (transfer.aborted && Unwanted(control.get())) {
            reply.status = kStatusRequestNotOpened; // stopped, or its session ended: nothing to show
            return reply;
        }
        if (transfer.aborted) {
            // Stopped after the piece being read; before anything arrived the request counts as
            // not sent.
            if (transfer.bodyStarted || transfer.httpStatus != 0) {
                reply.status = kStatusOk;
                reply.text = std::move(transfer.text);
                reply.httpStatus = transfer.httpStatus;
            } else {
                reply.status = kStatusRequestNotOpened;
            }
            return reply;
        }
        status = StatusOfTransfer(transfer);
        if (status == kStatusOk) {
            reply.status = kStatusOk;
            reply.text = std::move(transfer.text);
            reply.httpStatus = transfer.httpStatus;
            ShowStatus(control, 2, "");
            return reply;
        }
        if (!transfer.certificate.rejected || retries >= kMaxCertificateRetries || AbortFlag.load() == 1 ||
            Unwanted(control.get())) {
            reply.status = status;
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
            if (!ui->AskCertificate(info)) {
                reply.status = kStatusCertificateDeclined;
                return reply;
            }
        }
        accepted = info.fingerprint;
        try {
            WriteIniValue(kPinSection, pinKey, info.fingerprint, kSettingsTarget);
        } catch (const Error&) {
            // Not remembered: accepted for this request only.
        }
        if (AbortFlag.load() == 1 || Unwanted(control.get())) {
            reply.status = status;
            return reply;
        }
    }
}

} // namespace parlomar
