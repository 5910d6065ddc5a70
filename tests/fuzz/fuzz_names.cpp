// Fuzzes the checks of typed and server texts: the domain test, the IPv4 test, link texts and the
// address a link opens. Each must hold its own promises for any input.
#include "core/accounts/ListGrid.h"
#include "core/server/Global.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(bytes), size);
    if (parlomar::IsDomainName(text)) {
        // At most 253 characters, no character outside letters, digits, "-" and ".".
        if (text.size() > 253 || text.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                                        "0123456789-.") != std::string_view::npos) {
            __builtin_trap();
        }
        if (!parlomar::IsLinkText(text) || parlomar::SearchTypeFor(text) != "domain") {
            __builtin_trap();
        }
    }
    parlomar::IsIPv4Address(text);
    // A link address starts with one of three schemes, in either letter case.
    std::string address = parlomar::LinkAddress(text);
    for (size_t i = 0; i < address.size() && i < 8; ++i) {
        if (address[i] >= 'A' && address[i] <= 'Z') {
            address[i] = static_cast<char>(address[i] - 'A' + 'a');
        }
    }
    if (!address.empty() && address.rfind("http://", 0) != 0 && address.rfind("https://", 0) != 0 &&
        address.rfind("mailto:", 0) != 0) {
        __builtin_trap();
    }
    return 0;
}
