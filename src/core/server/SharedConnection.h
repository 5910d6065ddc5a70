#pragma once

// A session's connection pool (used by ServerSession.cpp and HttpTransport.cpp only; the public side
// is in ServerSession.h and HttpTransport.h).

#include <curl/curl.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace parlomar {

void InitCurlOnce();

// A session's connection: the server and the credentials it was opened with, the proxy read at that
// time, and what later requests reuse. libcurl allows a share handle to be used by transfers on
// several threads at once only for TLS sessions and name lookups, so that is all it shares. Live
// connections stay with the easy handle that opened them: the handles wait in a small pool, and each
// request borrows one for itself (a GUI request and a list fetch at the same time each have their
// own), so a request usually goes out on the connection of the one before.
//
// Requests hold it by shared_ptr, and so does a sign-out that holds it (HoldConnection): closing it,
// or ending its session, only drops the session's reference, and the handles with their live
// connections go when the last holder lets go.
class Connection {
public:
    std::string host;
    std::uint16_t port = 0;
    std::string userName;
    std::string password;
    std::string proxyText; // ADDR:PORT, empty when the proxy is off
    std::string proxyUser;
    std::string proxyPassword;
    // The server answered Basic credentials by asking for another scheme: later requests negotiate.
    std::atomic<bool> otherScheme{false};

    Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection();

    // False when the share handle could not be made.
    bool Usable() const { return share_ != nullptr; }

private:
    friend class BorrowedHandle;
    static constexpr std::size_t kMaxIdleHandles = 4;
    static void Lock(CURL*, curl_lock_data data, curl_lock_access, void* user);
    static void Unlock(CURL*, curl_lock_data data, void* user);

    CURLSH* share_ = nullptr;
    std::array<std::mutex, CURL_LOCK_DATA_LAST> locks_; // one per shared kind
    std::mutex poolMutex_;
    std::vector<CURL*> idle_;

    // An easy handle for one transfer, with its live connection if it has one, attached to the
    // share; nullptr when none can be made.
    CURL* Borrow();
    // Hands a handle back after its transfer; keep false closes its connection.
    void GiveBack(CURL* easy, bool keep);
};

// An easy handle borrowed from a connection for one transfer, handed back when it goes: kept in the
// pool with its live connection unless Keep(false) was said.
class BorrowedHandle {
public:
    explicit BorrowedHandle(Connection& connection) : connection_(connection), easy_(connection.Borrow()) {}
    ~BorrowedHandle() {
        if (easy_)
            connection_.GiveBack(easy_, keep_);
    }
    BorrowedHandle(const BorrowedHandle&) = delete;
    BorrowedHandle& operator=(const BorrowedHandle&) = delete;

    CURL* get() const { return easy_; }
    void Keep(bool keep) { keep_ = keep; }

private:
    Connection& connection_;
    CURL* easy_;
    bool keep_ = true;
};

} // namespace parlomar
