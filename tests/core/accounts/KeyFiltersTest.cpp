#include "core/accounts/KeyFilters.h"

#include <functional>
#include <string>

#include <gtest/gtest.h>

namespace parlomar {
namespace {

std::string Range(char first, char last) {
    std::string s;
    for (int c = first; c <= last; ++c) {
        s += static_cast<char>(c);
    }
    return s;
}

const std::string kDigits = Range('0', '9');
const std::string kAtoz = Range('A', 'z');

struct Case {
    const char* name;
    std::function<KeyFilterResult(int)> filter;
    std::string accepted; // printable characters let through, besides the editing keys
};

// Over every code 0..299: accepted exactly for the editing keys and the listed characters,
// Ctrl+A also selects all, and the key is passed on unchanged.
TEST(KeyFilters, FilteringFieldsAcceptExactlyTheirCharacters) {
    const std::vector<Case> cases = {
        {"IP", IPEditKeyPress, "." + kDigits + kAtoz},
        {"ProxyAdr", ProxyAdrEditKeyPress, "." + kDigits + kAtoz},
        {"Port", PortEditKeyPress, kDigits},
        {"ProxyPort", ProxyPortEditKeyPress, kDigits},
        {"Name", NameEditKeyPress, kDigits + kAtoz},
        {"Quota", QuotaEditKeyPress, kDigits},
        {"Customip", CustomipEditKeyPress, "." + kDigits},
        {"Domain", [](int k) { return DomainEditKeyPress(k, "ab"); }, "-." + kDigits + kAtoz},
        {"Contactemail", ContactemailEditKeyPress, Range('-', '9') + Range('@', 'z')},
    };
    for (const Case& c : cases) {
        for (int key = 0; key < 300; ++key) {
            if (key == ',') {
                continue; // replaced by some filters, checked below
            }
            const bool editing = key == 1 || key == 3 || key == 8 || key == 22 || key == 26;
            const bool listed = key < 128 && c.accepted.find(static_cast<char>(key)) != std::string::npos;
            const KeyFilterResult r = c.filter(key);
            EXPECT_EQ(r.accept, editing || listed) << c.name << " key " << key;
            EXPECT_EQ(r.selectAll, key == 1) << c.name << " key " << key;
            EXPECT_EQ(r.key, key) << c.name << " key " << key;
        }
    }
}

TEST(KeyFilters, CommaHyphenAndUnfilteredFields) {
    // A comma is typed as a period in address and domain fields, refused elsewhere.
    EXPECT_EQ(IPEditKeyPress(','), (KeyFilterResult{true, '.', false}));
    EXPECT_EQ(ProxyAdrEditKeyPress(','), (KeyFilterResult{true, '.', false}));
    EXPECT_EQ(DomainEditKeyPress(',', ""), (KeyFilterResult{true, '.', false}));
    EXPECT_FALSE(NameEditKeyPress(',').accept);
    EXPECT_FALSE(ContactemailEditKeyPress(',').accept);

    // A domain cannot start with a hyphen.
    EXPECT_FALSE(DomainEditKeyPress('-', "").accept);
    EXPECT_TRUE(DomainEditKeyPress('-', "a").accept);
    EXPECT_TRUE(DomainEditKeyPress('a', "").accept);
    EXPECT_TRUE(DomainEditKeyPress(8, "").accept);

    // User name and password fields take everything; Ctrl+A still selects all.
    for (int key : std::initializer_list<int>{1, 8, ' ', '-', ':', 200, 0x263a}) {
        EXPECT_EQ(LoginEditKeyPress(key), (KeyFilterResult{true, key, key == 1}));
        EXPECT_EQ(ProxyUserEditKeyPress(key), LoginEditKeyPress(key));
    }

    // The bandwidth field filters only in digits mode, and then keeps digits and backspace only.
    for (int key : std::initializer_list<int>{'0', '9', 8}) {
        EXPECT_TRUE(BandWidthEditKeyPress(key, 1).accept);
    }
    for (int key : std::initializer_list<int>{'a', '.', 1, 22, 200}) {
        EXPECT_FALSE(BandWidthEditKeyPress(key, 1).accept) << key;
        EXPECT_TRUE(BandWidthEditKeyPress(key, 0).accept) << key;
        EXPECT_TRUE(BandWidthEditKeyPress(key, -1).accept) << key;
    }
}

} // namespace
} // namespace parlomar
