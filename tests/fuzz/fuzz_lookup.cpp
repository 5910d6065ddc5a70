// The handling of name service answers through its seam: a chain of entries made from the input
// (family, address length, address bytes), including ones of the wrong family or too short.
#include "core/tools/HostLookup.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<addrinfo> entries;
    std::vector<std::vector<std::uint8_t>> addresses;
    std::size_t at = 0;
    while (at + 2 <= size && entries.size() < 64) {
        addrinfo entry{};
        entry.ai_family = (data[at] & 1) ? AF_INET6 : AF_INET;
        if (data[at] & 2)
            entry.ai_family = AF_UNIX;
        const std::size_t length = std::min<std::size_t>(data[at + 1] % 40, size - at - 2);
        at += 2;
        addresses.emplace_back(data + at, data + at + length);
        at += length;
        entry.ai_addrlen = static_cast<socklen_t>(length);
        entries.push_back(entry);
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
        entries[i].ai_addr =
            addresses[i].empty() ? nullptr : reinterpret_cast<sockaddr*>(addresses[i].data());
        entries[i].ai_next = i + 1 < entries.size() ? &entries[i + 1] : nullptr;
    }
    for (int family : {AF_INET, AF_INET6}) {
        std::vector<std::string> list;
        parlomar::AddLookupAddresses(entries.empty() ? nullptr : entries.data(), family, list);
        for (const std::string& address : list) {
            unsigned char back[16];
            if (inet_pton(family, address.c_str(), back) != 1)
                __builtin_trap(); // not an address of the family asked for
        }
        if (list.size() > entries.size())
            __builtin_trap();
    }
    return 0;
}
