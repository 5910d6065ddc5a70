#include "core/server/ServerSession.h"

#include "core/Error.h"
#include "core/server/Global.h"
#include "core/server/PasswordCipher.h"
#include "core/server/SharedConnection.h"
#include "core/server/TransportUi.h"
#include "core/settings/IniFile.h"

#include <algorithm>

namespace parlomar {

std::shared_ptr<ServerSession> ServerSession::Make(const SignInValues& values, bool readOnly,
                                                   PinWriter writePin) {
    std::shared_ptr<ServerSession> session(new ServerSession());
    session->address_ = values.serverAddress;
    std::erase(session->address_, ' ');
    session->port_ = values.port;
    session->userName_ = values.userName;
    session->encipheredPassword_ = values.encipheredPassword;
    session->readOnly_ = readOnly;
    session->writePin_ =
        writePin ? std::move(writePin) : [](const std::string& key, const std::string& fingerprint) {
            WriteIniValue("Certificates", key, fingerprint, kSettingsTarget);
        };
    return session;
}

ServerSession::~ServerSession() = default;

std::string ServerSession::BaseUrl() const {
    return ServerBaseUrl(address_);
}

std::string BaseUrlOf(const SessionPtr& session) {
    return session ? session->BaseUrl() : std::string("https://");
}

void ServerSession::End() {
    std::shared_ptr<Connection> closing; // released after the lock, or by its last holder
    std::lock_guard lock(mutex_);
    ended_ = true;
    closing = std::move(connection_);
}

std::shared_ptr<Connection> ServerSession::OpenConnection(const std::string& proxyText, bool& ended) {
    std::lock_guard lock(mutex_);
    ended = ended_.load();
    if (ended)
        return nullptr;
    if (connection_)
        return connection_;
    InitCurlOnce();
    try {
        auto connection = std::make_shared<Connection>();
        if (!connection->Usable())
            return nullptr;
        connection->host = address_;
        connection->port = port_;
        connection->userName = userName_;
        connection->password = DecipherPassword(encipheredPassword_);
        connection->proxyText = proxyText;
        if (!proxyText.empty()) {
            std::string user = ReadIniValue("Proxy", "USER", kSettingsTarget);
            if (user != "0" && !user.empty()) {
                connection->proxyUser = user;
                connection->proxyPassword = DecipherPassword(ReadIniValue("Proxy", "PSW", kSettingsTarget));
            }
        }
        connection_ = connection;
        return connection;
    } catch (const std::exception&) {
        return nullptr;
    }
}

std::shared_ptr<Connection> ServerSession::HoldConnection() {
    std::lock_guard lock(mutex_);
    return connection_;
}

void ServerSession::CloseConnection() {
    std::shared_ptr<Connection> closing;
    std::lock_guard lock(mutex_);
    closing = std::move(connection_);
}

std::string ServerSession::AcceptedFingerprint() const {
    std::lock_guard lock(mutex_);
    return accepted_;
}

void ServerSession::AcceptCertificate(const std::string& key, const std::string& fingerprint) {
    try {
        writePin_(key, fingerprint);
        return; // the remembered pin decides from now on, as it stands at each request
    } catch (const Error&) {
        // Not remembered: accepted for this session only.
    }
    std::lock_guard lock(mutex_);
    accepted_ = fingerprint;
}

} // namespace parlomar
