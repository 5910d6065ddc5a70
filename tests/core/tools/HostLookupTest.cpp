#include "core/tools/HostLookup.h"

#include <algorithm>
#include <set>

#include <gtest/gtest.h>

namespace parlomar {
namespace {

TEST(HostLookup, ReverseLookupTakesOnlyDottedAddresses) {
    EXPECT_EQ(ReverseLookup("127.0.0.1"), "localhost");
    EXPECT_EQ(ReverseLookup("localhost"), "Not resolved");
    EXPECT_EQ(ReverseLookup(""), "Not resolved");
    EXPECT_EQ(ReverseLookup("127.1"), "localhost"); // the short form is 127.0.0.1
    EXPECT_EQ(ReverseLookup("2130706433"), "localhost");
    EXPECT_EQ(ReverseLookup("300.0.0.1"), "Not resolved");
    EXPECT_EQ(ReverseLookup(std::string("127.0.0.1\0x", 11)), "Not resolved");
}

TEST(HostLookup, ForwardLookupListsEachAddressOnce) {
    std::vector<std::string> list = {"stale", "entries"};
    ForwardLookup("localhost", list);
    ASSERT_FALSE(list.empty());
    EXPECT_NE(std::find(list.begin(), list.end(), "127.0.0.1"), list.end());
    EXPECT_EQ(std::set<std::string>(list.begin(), list.end()).size(), list.size());
    EXPECT_EQ(FirstAddress("localhost"), list.front());

    ForwardLookup("127.0.0.1", list);
    EXPECT_EQ(list, std::vector<std::string>{"127.0.0.1"});
    ForwardLookup("127.1", list);
    EXPECT_EQ(list, std::vector<std::string>{"127.0.0.1"});
}

TEST(HostLookup, UnknownOrOverlongNamesGiveNone) {
    // A label longer than 63 characters cannot be put into a query, so the resolver gives up
    // without asking anyone: no lookup leaves the machine.
    const std::string unknown = std::string(64, 'x') + ".invalid";
    std::vector<std::string> list;
    ForwardLookup(unknown, list);
    EXPECT_EQ(list, std::vector<std::string>{"None"});
    EXPECT_EQ(FirstAddress(unknown), "None");
    EXPECT_EQ(FirstAddress(""), "None");
    EXPECT_EQ(FirstAddress(std::string("localhost\0.invalid", 18)), "None");

    // 259 characters are looked up; 260 are not.
    std::string longName;
    while (longName.size() < 250) {
        longName += "abcdefghi.";
    }
    longName += "invalid";
    longName.resize(259, 'x');
    EXPECT_EQ(FirstAddress(longName), "None");
    EXPECT_EQ(FirstAddress(std::string(260, '1')), "None");
    EXPECT_EQ(FirstAddress(std::string(300, 'a')), "None");
}

TEST(HostLookup, TraceAddressFallsBackToIPv6) {
    EXPECT_EQ(TraceAddress("localhost"), FirstAddress("localhost"));
    EXPECT_EQ(TraceAddress("127.0.0.1"), "127.0.0.1");
    EXPECT_EQ(TraceAddress("::1"), "::1");
    EXPECT_EQ(TraceAddress("2001:db8:0:0::80"), "2001:db8::80");
    EXPECT_EQ(TraceAddress(""), "None");
}

} // namespace
} // namespace parlomar
