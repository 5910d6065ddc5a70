#include "core/server/SharedConnection.h"

#include "core/server/HttpTransport.h"
#include "core/server/PasswordCipher.h"
#include "core/server/TransportUi.h"
#include "core/settings/IniFile.h"

namespace parlomar {

namespace {

std::mutex gConnectionMutex;
std::shared_ptr<Connection> gConnection;
std::atomic<std::uint64_t> gSession{1}; // changed under gConnectionMutex

} // namespace

void InitCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

Connection::Connection() {
    share_ = curl_share_init();
    if (!share_)
        return;
    curl_share_setopt(share_, CURLSHOPT_LOCKFUNC, Lock);
    curl_share_setopt(share_, CURLSHOPT_UNLOCKFUNC, Unlock);
    curl_share_setopt(share_, CURLSHOPT_USERDATA, this);
    curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
    curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
}

Connection::~Connection() {
    for (CURL* easy : idle_)
        curl_easy_cleanup(easy); // before the share they are attached to
    if (share_)
        curl_share_cleanup(share_);
}

void Connection::Lock(CURL*, curl_lock_data data, curl_lock_access, void* user) {
    static_cast<Connection*>(user)->locks_.at(static_cast<std::size_t>(data)).lock();
}

void Connection::Unlock(CURL*, curl_lock_data data, void* user) {
    static_cast<Connection*>(user)->locks_.at(static_cast<std::size_t>(data)).unlock();
}

CURL* Connection::Borrow() {
    {
        std::lock_guard lock(poolMutex_);
        if (!idle_.empty()) {
            CURL* easy = idle_.back();
            idle_.pop_back();
            curl_easy_reset(easy); // keeps the live connection and the share
            return easy;
        }
    }
    CURL* easy = curl_easy_init();
    if (easy && curl_easy_setopt(easy, CURLOPT_SHARE, share_) != CURLE_OK) {
        curl_easy_cleanup(easy);
        return nullptr;
    }
    return easy;
}

void Connection::GiveBack(CURL* easy, bool keep) {
    if (keep) {
        std::lock_guard lock(poolMutex_);
        if (idle_.size() < kMaxIdleHandles) {
            idle_.push_back(easy);
            return;
        }
    }
    curl_easy_cleanup(easy);
}

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
        if (!connection->Usable()) {
            ShowMessageText("Error with InternetOpen");
            return nullptr;
        }
        const SignInValues signIn = GetSignInValues();
        connection->host = host;
        connection->port = signIn.port;
        connection->userName = signIn.userName;
        connection->password = DecipherPassword(signIn.encipheredPassword);
        connection->proxyText = proxyText;
        if (!proxyText.empty()) {
            std::string user = ReadIniValue("Proxy", "USER", kSettingsTarget);
            if (user != "0" && !user.empty()) {
                connection->proxyUser = user;
                connection->proxyPassword = DecipherPassword(ReadIniValue("Proxy", "PSW", kSettingsTarget));
            }
        }
        gConnection = connection;
        return connection;
    } catch (const std::exception&) {
        ShowMessageText("Error with InternetOpen");
        return nullptr;
    }
}

bool RequestControl::Wanted() const {
    return !stop.load() && (session == 0 || session == gSession.load());
}

std::uint64_t CurrentSession() {
    return gSession.load();
}

std::uint64_t BeginSession() {
    std::shared_ptr<Connection> closing; // released after the lock, or by its last holder
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

} // namespace parlomar
