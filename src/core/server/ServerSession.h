#pragma once

// A sign-in to one control server as a value: what the transport connects with, its own connection
// pool and its stop switch. Several sessions may work at once, on different threads and servers.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace parlomar {

class Connection;

// The sign-in values typed into the sign-in panel (the password in its stored form).
struct SignInValues {
    std::string serverAddress;
    std::uint16_t port = 0;
    std::string userName;
    std::string encipheredPassword; // deciphered when the session opens its connection
};

// Built at sign-in and held by shared_ptr by everything that works for it (requests, fetch threads,
// the windows of the sign-in). Its values never change; End() is its one change of state: from then
// on no request of it is sent, one still running ends within about a second, and completions that
// check Ended() are dropped, so nothing of an ended session reaches a later one.
class ServerSession {
public:
    // Remembers an accepted certificate for host:port (the settings file's [Certificates] by
    // default; tests replace it). Called on the requesting thread.
    using PinWriter = std::function<void(const std::string& key, const std::string& fingerprint)>;

    static std::shared_ptr<ServerSession> Make(const SignInValues& values, bool readOnly = false,
                                               PinWriter writePin = nullptr);
    ~ServerSession();
    ServerSession(const ServerSession&) = delete;
    ServerSession& operator=(const ServerSession&) = delete;

    // The server address without any blank.
    const std::string& Address() const { return address_; }
    std::uint16_t Port() const { return port_; }
    const std::string& UserName() const { return userName_; }
    // "https://" and the address: what request URLs of this session start with.
    std::string BaseUrl() const;
    // Changing requests are refused (RequestGuard.h).
    bool ReadOnly() const { return readOnly_; }

    // The stop switch.
    void End();
    bool Ended() const { return ended_.load(); }

    // The session's connection pool, opened with the proxy given at the first request (and again
    // after CloseConnection). nullptr with ended set once the session has ended; nullptr alone when
    // it could not be made.
    std::shared_ptr<Connection> OpenConnection(const std::string& proxyText, bool& ended);
    // The pool as it is now, to send one more request on after the session ended (the sign-out);
    // empty when none is open.
    std::shared_ptr<Connection> HoldConnection();
    // Forgets the pool (a proxy setting changed): the next request opens a new one. Requests in
    // flight finish on the one they started with.
    void CloseConnection();

    // The certificate decision of this session: an accepted fingerprint is remembered through the
    // pin writer (read again before every request); one that could not be written is accepted for
    // the rest of this session only.
    std::string AcceptedFingerprint() const;
    void AcceptCertificate(const std::string& key, const std::string& fingerprint);

    // True the first time only: a log failure is told once per session.
    bool FirstLogFailure() { return !logFailureTold_.exchange(true); }

private:
    ServerSession() = default;

    std::string address_;
    std::uint16_t port_ = 0;
    std::string userName_;
    std::string encipheredPassword_;
    bool readOnly_ = false;
    PinWriter writePin_;
    std::atomic<bool> ended_{false};
    std::atomic<bool> logFailureTold_{false};
    mutable std::mutex mutex_; // guards connection_ and accepted_; End takes it too
    std::shared_ptr<Connection> connection_;
    std::string accepted_;
};

using SessionPtr = std::shared_ptr<ServerSession>;

// session->BaseUrl(), or "https://" without a session (whose requests are not sent anyway).
std::string BaseUrlOf(const SessionPtr& session);

} // namespace parlomar
