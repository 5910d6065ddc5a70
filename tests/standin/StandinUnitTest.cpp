// Pieces of the stand-in server used directly: the checks of names and limits, escaping,
// the fault switches and the command line.
#include "Faults.h"
#include "Options.h"
#include "Validation.h"
#include "XmlWriter.h"

#include <gtest/gtest.h>

using namespace parlomar::standin;

TEST(StandinUnitTest, DomainAndUserNameRules) {
    for (const char* good : {"example.com", "a-b.example.co.uk", "x1.io", "EXAMPLE.ORG", "shop.xn--p1ai"}) {
        EXPECT_TRUE(IsValidDomain(good)) << good;
    }
    for (const char* bad : {"", "com", "example.", ".example.com", "ex..com", "-ex.com", "ex-.com",
                            "ex_a.com", "example.c", "example.c0m", "exa mple.com", "shop.xn--"}) {
        EXPECT_FALSE(IsValidDomain(bad)) << bad;
    }
    EXPECT_FALSE(IsValidDomain(std::string(64, 'a') + ".com"));
    EXPECT_TRUE(IsValidDomain(std::string(63, 'a') + ".com"));

    EXPECT_TRUE(IsValidUserName("a"));
    EXPECT_TRUE(IsValidUserName("abc123def4567890")); // 16 characters
    for (const char* bad : {"", "abc1234567890abcd", "1abc", "Abc", "ab-c", "ab_c", "ab c"}) {
        EXPECT_FALSE(IsValidUserName(bad)) << bad;
    }
    EXPECT_TRUE(IsIPv4Address("198.51.100.255"));
    EXPECT_FALSE(IsIPv4Address("198.51.100.256"));
    EXPECT_FALSE(IsIPv4Address("1.2.3"));
    EXPECT_TRUE(IsValidEmail("me@example.com"));
    EXPECT_FALSE(IsValidEmail("@example.com"));
    EXPECT_FALSE(IsValidEmail("me@localhost"));
}

TEST(StandinUnitTest, LimitsAndFlags) {
    EXPECT_EQ(NormalizeLimit("250"), "250");
    EXPECT_EQ(NormalizeLimit("0007"), "7");
    EXPECT_EQ(NormalizeLimit("000"), "0");
    EXPECT_EQ(NormalizeLimit("UnLimited"), "unlimited");
    for (const char* bad : {"", "-1", "1.5", "10M", "1234567890123", " 5"}) {
        EXPECT_FALSE(NormalizeLimit(bad)) << bad;
    }
    EXPECT_EQ(ParseFlag("Y"), true);
    EXPECT_EQ(ParseFlag("1"), true);
    EXPECT_EQ(ParseFlag("n"), false);
    EXPECT_EQ(ParseFlag("0"), false);
    EXPECT_FALSE(ParseFlag("2"));
    EXPECT_FALSE(ParseFlag(""));
}

TEST(StandinUnitTest, XmlEscapingCoversAllFiveCharacters) {
    EXPECT_EQ(XmlEscape("a&b<c>d\"e'f"), "a&amp;b&lt;c&gt;d&quot;e&apos;f");
    EXPECT_EQ(XmlEscape("plain"), "plain");
    EXPECT_EQ(XmlEscape(std::string("a\x01"
                                    "b\tc\nd\0e",
                                    9)),
              "a?b\tc\nd?e");
    XmlWriter xml;
    xml.Open("r").Element("n", 42).Status(false, "x<y").Close("r");
    EXPECT_EQ(xml.Take(),
              "<?xml version=\"1.0\" ?><r><n>42</n><status>0</status><statusmsg>x&lt;y</statusmsg></r>");
}

TEST(StandinUnitTest, FaultSwitchesAreBoundedAndCountDown) {
    FaultSettings settings;
    settings.Update({{"delay_ms", "120000"}, {"drop_after", "5"}});
    EXPECT_EQ(settings.delayMs, 120000);
    EXPECT_EQ(settings.dropAfter, 5);
    EXPECT_THROW(settings.Update({{"delay_ms", "120001"}}), std::invalid_argument);
    EXPECT_THROW(settings.Update({{"stall_ms", "200000"}}), std::invalid_argument);
    EXPECT_THROW(settings.Update({{"rate", "fast"}}), std::invalid_argument);
    EXPECT_THROW(settings.Update({{"garbage", "maybe"}}), std::invalid_argument);
    EXPECT_EQ(settings.dropAfter, 5); // a refused update changes nothing
    // reset applies before the other switches of the same update, whatever their order
    settings.Update({{"garbage", "1"}, {"reset", "1"}});
    EXPECT_TRUE(settings.garbage);
    EXPECT_EQ(settings.delayMs, 0);
    EXPECT_EQ(settings.dropAfter, -1);

    FaultState state;
    EXPECT_FALSE(state.TakeForReply());
    FaultSettings twice;
    twice.http500 = true;
    twice.times = 2;
    state.Set(twice);
    EXPECT_TRUE(state.TakeForReply());
    EXPECT_TRUE(state.TakeForReply());
    EXPECT_FALSE(state.TakeForReply());

    std::string garbage = GarbageBody(4096);
    EXPECT_EQ(garbage.size(), 4096u);
    EXPECT_EQ(garbage.find('<'), std::string::npos);
}

TEST(StandinUnitTest, CommandLine) {
    Options options = ParseOptions({"--listen", "127.0.0.1:8443", "--data", "/tmp/x", "--user", "u",
                                    "--password", "p", "--seed", "200000", "--rate", "1000", "--garbage"});
    EXPECT_EQ(options.host, "127.0.0.1");
    EXPECT_EQ(options.port, 8443);
    EXPECT_EQ(options.seed, "200000");
    EXPECT_EQ(options.faults.rate, 1000);
    EXPECT_TRUE(options.faults.garbage);
    const std::vector<std::string> base = {"--data", "/tmp/x", "--user", "u", "--password", "p"};
    for (const auto& extra : std::vector<std::vector<std::string>>{{"--seed", "200001"},
                                                                   {"--seed", "many"},
                                                                   {"--listen", "127.0.0.1"},
                                                                   {"--listen", "127.0.0.1:65536"},
                                                                   {"--cert", "c.pem"},
                                                                   {"--stall-after"},
                                                                   {"--bogus"}}) {
        std::vector<std::string> args = base;
        args.insert(args.end(), extra.begin(), extra.end());
        EXPECT_THROW(ParseOptions(args), std::invalid_argument) << extra[0];
    }
    EXPECT_THROW(ParseOptions({"--user", "u", "--password", "p"}), std::invalid_argument);
}
