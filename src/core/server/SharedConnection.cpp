#include "core/server/SharedConnection.h"

#include "core/server/CurlHandle.h"

namespace parlomar {

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
    CurlEasy easy = MakeCurlEasy();
    if (easy && curl_easy_setopt(easy.get(), CURLOPT_SHARE, share_) != CURLE_OK)
        return nullptr;
    return easy.release();
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

} // namespace parlomar
