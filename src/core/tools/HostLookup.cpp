#include "core/tools/HostLookup.h"

#include <algorithm>
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace parlomar {

namespace {
constexpr size_t kMaxHostName = 259;
const char* const kNotResolved = "Not resolved";
const char* const kNone = "None";
} // namespace

void AddLookupAddresses(const addrinfo* found, int family, std::vector<std::string>& list) {
    // A chain longer than any name service gives is not followed to its end.
    std::size_t seen = 0;
    for (const addrinfo* ai = found; ai != nullptr && seen < kMaxLookupEntries; ai = ai->ai_next, ++seen) {
        if (ai->ai_family != family || ai->ai_addr == nullptr) {
            continue;
        }
        char text[INET6_ADDRSTRLEN] = {};
        const void* address = nullptr;
        if (family == AF_INET && ai->ai_addrlen >= sizeof(sockaddr_in)) {
            address = &reinterpret_cast<const sockaddr_in*>(ai->ai_addr)->sin_addr;
        } else if (family == AF_INET6 && ai->ai_addrlen >= sizeof(sockaddr_in6)) {
            address = &reinterpret_cast<const sockaddr_in6*>(ai->ai_addr)->sin6_addr;
        }
        if (address == nullptr || inet_ntop(family, address, text, sizeof text) == nullptr) {
            continue;
        }
        // The name service repeats each address once per socket type.
        if (std::find(list.begin(), list.end(), text) == list.end()) {
            list.emplace_back(text);
        }
    }
}

std::string ReverseLookup(const std::string& address) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    // The system's own address parser: it takes the short forms too ("10.1" is 10.0.0.1).
    if (address.find('\0') != std::string::npos || inet_aton(address.c_str(), &sa.sin_addr) == 0) {
        return kNotResolved;
    }
    char host[NI_MAXHOST] = {};
    if (getnameinfo(reinterpret_cast<const sockaddr*>(&sa), sizeof sa, host, sizeof host, nullptr, 0,
                    NI_NAMEREQD) != 0) {
        return kNotResolved;
    }
    return host;
}

void ForwardLookup(const std::string& host, std::vector<std::string>& list) {
    list.clear();
    addrinfo* found = nullptr;
    if (!host.empty() && host.size() <= kMaxHostName && host.find('\0') == std::string::npos) {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0) {
            found = nullptr;
        }
    }
    AddLookupAddresses(found, AF_INET, list);
    if (found != nullptr) {
        freeaddrinfo(found);
    }
    if (list.empty()) {
        list.emplace_back(kNone);
    }
}

std::string FirstAddress(const std::string& host) {
    std::vector<std::string> list;
    ForwardLookup(host, list);
    return list.empty() ? std::string() : list.front();
}

std::string TraceAddress(const std::string& host) {
    std::string address = FirstAddress(host);
    if (address != kNone || host.empty() || host.size() > kMaxHostName ||
        host.find('\0') != std::string::npos) {
        return address;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET6;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0) {
        return address;
    }
    std::vector<std::string> addresses;
    AddLookupAddresses(found, AF_INET6, addresses);
    if (!addresses.empty()) {
        address = addresses.front();
    }
    freeaddrinfo(found);
    return address;
}

} // namespace parlomar
