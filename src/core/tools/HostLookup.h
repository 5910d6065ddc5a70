#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct addrinfo;

namespace parlomar {

// The handling of a name service answer (the seam of the lookups below): the addresses of family
// (AF_INET or AF_INET6) in found, as text, each once, appended to list in the order given; entries
// of another family, without an address or with one too short for the family are skipped. At most
// kMaxLookupEntries entries of the chain are looked at.
inline constexpr std::size_t kMaxLookupEntries = 4096;
void AddLookupAddresses(const addrinfo* found, int family, std::vector<std::string>& list);

// Name service lookups. Both block the calling thread until the name service answers and never
// report errors: a failed reverse lookup gives "Not resolved", a failed forward lookup "None".

// The host name registered for an IPv4 address in dotted text, or "Not resolved". Only an IPv4
// address as the system's parser reads it (inet_aton: the short forms "127.1" and "10.1" too) is
// looked up; any other text (a host name, say) is "Not resolved".
std::string ReverseLookup(const std::string& address);

// Empties list, then fills it with every IPv4 address of host in dotted text, in the order the
// name service gives them and each once; or with the single entry "None" when host has no IPv4
// address. Host names longer than 259 characters are not looked up ("None").
void ForwardLookup(const std::string& host, std::vector<std::string>& list);

// The first entry ForwardLookup gives: an address, or "None".
std::string FirstAddress(const std::string& host);

// The address a trace of host goes to, for showing: FirstAddress when the host has an IPv4
// address, else its first IPv6 address, else "None".
std::string TraceAddress(const std::string& host);

} // namespace parlomar
