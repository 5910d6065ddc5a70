#include "core/server/Global.h"

#include "core/accounts/StringGrid.h"
#include "core/server/ReplyText.h"
#include "core/server/XMLParser.h"

#include <gtest/gtest.h>

#include <string>

using namespace parlomar;

TEST(RequestRules, SearchTypeFollowsDomainAndAddressTests) {
    EXPECT_EQ(SearchTypeFor("shop.example.com"), "domain");
    EXPECT_EQ(SearchTypeFor("example.museum"), "domain");
    EXPECT_EQ(SearchTypeFor("example.c"), "user"); // a last label of one letter
    EXPECT_EQ(SearchTypeFor("192.168.1.20"), "ip");
    EXPECT_EQ(SearchTypeFor("192.168.1.256"), "user");
    EXPECT_EQ(SearchTypeFor("bob"), "user");
    EXPECT_EQ(SearchTypeFor(""), "user");
    EXPECT_EQ(SearchTypeFor("http://host/panel"), "user"); // an address is no domain name

    const std::string label63(63, 'a');
    const std::string name253 = label63 + "." + label63 + "." + label63 + "." + std::string(61, 'b');
    for (const std::string& valid :
         {std::string("shop.museum"), std::string("shop.example"), std::string("my-site.photography"),
          std::string("EXAMPLE.COM"), std::string("a.b.c.de"), std::string("x--y.example"),
          std::string("xn--bcher-kva.example"), std::string("shop.xn--p1ai"), std::string("1.2.3.example"),
          label63 + ".com", name253}) {
        EXPECT_TRUE(IsDomainName(valid)) << valid;
    }
    for (const std::string& invalid :
         {std::string(""), std::string("localhost"), std::string("example.c"), std::string("example.co1"),
          std::string("192.168.1.20"), std::string("-shop.com"), std::string("shop-.com"),
          std::string("shop..com"), std::string(".shop.com"), std::string("shop.com."),
          std::string("my_shop.com"), std::string("shop.example.com "), std::string("a@b#c&d?.org"),
          std::string("caf\xc3\xa9.fr"), std::string("shop.xn--"), std::string("shop.-com"),
          label63 + "a.com", name253 + "b", std::string("http://host.example/panel")}) {
        EXPECT_FALSE(IsDomainName(invalid)) << invalid;
    }
    // Link texts: domain names, mail addresses and web addresses; nothing else.
    for (const char* link : {"shop.museum", "owner@mail.example", "o.k+tag@shop.example", "http://host/panel",
                             "HTTPS://a.example"}) {
        EXPECT_TRUE(IsLinkText(link)) << link;
    }
    for (const char* plain : {"gold", "/bin/bash", "x@y", "@shop.example", "a b@shop.example", "http://",
                              "http://a b", "javascript:alert(1)", "x@y:z.example"}) {
        EXPECT_FALSE(IsLinkText(plain)) << plain;
    }

    EXPECT_TRUE(IsIPv4Address("0.0.0.0"));
    EXPECT_TRUE(IsIPv4Address("255.255.255.255"));
    EXPECT_TRUE(IsIPv4Address("1.2.3.4.5")); // what follows the fourth field is not looked at
    EXPECT_TRUE(IsIPv4Address("1.2.3.4.999"));
    EXPECT_TRUE(IsIPv4Address("001.02.3.4")); // leading zeros read as decimal
    EXPECT_FALSE(IsIPv4Address("1.2.3"));
    EXPECT_FALSE(IsIPv4Address("1..3.4"));
    EXPECT_FALSE(IsIPv4Address(".1.2.3.4"));
    EXPECT_FALSE(IsIPv4Address("1.2.3.4a"));
    EXPECT_FALSE(IsIPv4Address("1.2.3.99999999999999999999"));
    EXPECT_FALSE(IsIPv4Address("-1.2.3.4"));
    EXPECT_FALSE(IsIPv4Address(""));
}

TEST(RequestRules, UrlsEncodeEveryValueAndKeepTheirFullLength) {
    const std::string base = ServerBaseUrl(" host .example.com:2087 ");
    EXPECT_EQ(base, "https://host.example.com:2087");

    EXPECT_EQ(PercentEncode("AZaz09-._~"), "AZaz09-._~");
    EXPECT_EQ(PercentEncode("a b&c=d?e#f/g%h+"), "a%20b%26c%3Dd%3Fe%23f%2Fg%25h%2B");
    EXPECT_EQ(PercentEncode(std::string("\xc3\xa9\x01\x7f\0", 5)), "%C3%A9%01%7F%00");

    EXPECT_EQ(VersionUrl(base), base + "/xml-api/version");
    EXPECT_EQ(ListPackagesUrl(base), base + "/xml-api/listpkgs");
    EXPECT_EQ(ListAccountsUrl(base, "user", ""), base + "/xml-api/listaccts?searchtype=user&search=");
    EXPECT_EQ(SearchAccountsUrl(base, "10.0.0.1"), base + "/xml-api/listaccts?searchtype=ip&search=10.0.0.1");
    EXPECT_EQ(SearchAccountsUrl(base, "bob smith"),
              base + "/xml-api/listaccts?searchtype=user&search=bob%20smith");
    // A package name with "&" stays one value.
    EXPECT_EQ(KillPackageUrl(base, "gold&silver"), base + "/xml-api/killpkg?pkg=gold%26silver");
    EXPECT_EQ(RemoveAccountUrl(base, "bob"), base + "/xml-api/removeacct?user=bob");
    EXPECT_EQ(SuspendAccountUrl(base, "bob"), base + "/xml-api/suspendacct?user=bob");
    EXPECT_EQ(UnsuspendAccountUrl(base, "bob"), base + "/xml-api/unsuspendacct?user=bob");
    EXPECT_EQ(AccountSummaryUrl(base, "bob"), base + "/xml-api/accountsummary?user=bob");
    EXPECT_EQ(PasswdUrl(base, "bob", "p&ss=w#rd"), base + "/xml-api/passwd?user=bob&pass=p%26ss%3Dw%23rd");
    EXPECT_EQ(LimitBandwidthUrl(base, "bob", "1000"), base + "/xml-api/limitbw?user=bob&bwlimit=1000");
    EXPECT_EQ(ApiItemUrl(base, "killpkg?pkg=", "a b"), base + "/xml-api/killpkg?pkg=a%20b");

    const QueryFields fields = {{"username", "bob"}, {"domain", "bob.com"}, {"plan", "Gold Plan"}};
    EXPECT_EQ(CreateAccountUrl(base, fields),
              base + "/xml-api/createacct?username=bob&domain=bob.com&plan=Gold%20Plan");
    EXPECT_EQ(AddPackageUrl(base, {{"name", "x"}}), base + "/xml-api/addpkg?name=x");
    EXPECT_EQ(EditPackageUrl(base, {}), base + "/xml-api/editpkg?");

    // No cut at 255 characters.
    const std::string longPassword(400, 'p');
    const std::string url = PasswdUrl(base, "bob", longPassword);
    EXPECT_GT(url.size(), 255u);
    EXPECT_EQ(url.substr(url.size() - 400), longPassword);
}

TEST(ReplyRules, ResultSignedOutAndSuspendedState) {
    ApiResult ok = ReadApiResult("<?xml version=\"1.0\" ?><killpkg><result><status>1</status>"
                                 "<statusmsg>Deleted gold</statusmsg></result></killpkg>");
    EXPECT_TRUE(ok.IsSuccess());
    EXPECT_EQ(ok.statusmsg, "Deleted gold");
    ApiResult failed = ReadApiResult("<?xml?><RESULT><STATUS>0</STATUS><statusmsg></statusmsg></RESULT>");
    EXPECT_FALSE(failed.IsSuccess());
    EXPECT_EQ(failed.status, "0");
    EXPECT_EQ(failed.statusmsg, "");
    // Outside a result element nothing is read; an empty reply is failure without a message.
    EXPECT_FALSE(ReadApiResult("<status>1</status>").IsSuccess());
    EXPECT_FALSE(ReadApiResult("").IsSuccess());
    EXPECT_FALSE(ReadApiResult("<result><status> 1</status></result>").IsSuccess());

    EXPECT_FALSE(IsSignedOutReply("", 0));
    EXPECT_FALSE(IsSignedOutReply("", 200));
    EXPECT_FALSE(IsSignedOutReply("<?xml version=\"1.0\"?><version/>", 200));
    EXPECT_TRUE(IsSignedOutReply("<html>Login</html>", 200));
    EXPECT_TRUE(IsSignedOutReply("<?XML?>", 0)); // the marker is matched exactly
    EXPECT_TRUE(IsSignedOutReply("", 401));
    EXPECT_TRUE(IsSignedOutReply("<?xml?>", 403));
    EXPECT_FALSE(IsSignedOutReply("<?xml?>", 500));

    EXPECT_EQ(SuspendedStateOf("<acct><suspended>1</suspended></acct>"), 1);
    EXPECT_EQ(SuspendedStateOf("<acct><SUSPENDED>0</SUSPENDED></acct>"), 0);
    EXPECT_EQ(SuspendedStateOf("<acct><suspended></suspended></acct>"), -1);
    EXPECT_EQ(SuspendedStateOf("<acct><suspended>yes</suspended></acct>"), -1);
    EXPECT_EQ(SuspendedStateOf(""), -1);
    // The last element wins.
    EXPECT_EQ(SuspendedStateOf("<suspended>0</suspended><suspended>1</suspended>"), 1);
}

TEST(ReplyRules, ServerTextsReadAsTheServerMeantThem) {
    // References are decoded in every value handed out; ones that name no character stay.
    EXPECT_EQ(XmlExtract("<name>a&amp;b &lt;c&gt; &quot;&apos; &#65;&#x42;&#xe9;</name>", "", "name",
                         kXmlLastValue),
              "a&b <c> \"' AB\xC3\xA9");
    EXPECT_EQ(
        XmlExtract("<n>&#0; &#xD800; &#x110000; &nbsp; &amp &#; &#x; &#12a;</n>", "", "n", kXmlLastValue),
        "&#0; &#xD800; &#x110000; &nbsp; &amp &#; &#x; &#12a;");
    // Decoded text never becomes markup to a later search.
    EXPECT_EQ(XmlExtract("<acct><user>&lt;user&gt;x</user></acct>", "", "user", kXmlAllValues), "<user>x");
    TStringGridData grid(2, 0);
    EXPECT_EQ(XmlChildrenToList("<pkg><name>a&amp;b</name></pkg>", "pkg", &grid), "\ra&b\r");
    EXPECT_EQ(grid.Cell(1, 0), "a&b");
    // A package is found by the name the grid shows, whichever way the reply spelled it.
    const std::string pkg = "<package><name>one&#38;two</name></package>";
    EXPECT_EQ(XmlFindElement("<x>" + pkg + "</x>", "package", "name", "one&two"), pkg);
    EXPECT_EQ(XmlFindElement("<x>" + pkg + "</x>", "package", "name", "one&#38;two"), "");

    // Status messages with markup read as words: script and style dropped whole, tags dropped.
    EXPECT_EQ(ReadApiResult("<result><status>1</status><statusmsg>&lt;script&gt;alert('x')&lt;/script&gt; "
                            "&lt;style&gt;p{}&lt;/style&gt;The &lt;b&gt;account&lt;/b&gt; has been "
                            "suspended&lt;br&gt;&lt;img width=2000 src=x&gt;</statusmsg></result>")
                  .statusmsg,
              "The account has been suspended");
    EXPECT_EQ(StatusMessageOf("<statusmsg>&lt;p&gt;a &amp;amp; b&lt;!-- c --&gt;&lt;/p&gt;</statusmsg>"),
              "a & b");
    // Text without markup is left as it is, line breaks and a lone "<" included.
    EXPECT_EQ(ReadableMessageText("Quota < 10 MB\nfor a & b"), "Quota < 10 MB for a & b");
    EXPECT_EQ(ReadableMessageText("Quota over 10 MB\nfor a & b"), "Quota over 10 MB\nfor a & b");
    EXPECT_EQ(ReadableMessageText("<script>only a script"), "");
}

TEST(RequestRules, ServerAddressIsAHostOrAnAddressOnly) {
    for (const char* good :
         {"cp.example.com", " 192.0.2.7 ", "::1", "[2001:db8::1]", "b\xC3\xBCro.example", ""})
        EXPECT_EQ(ServerAddressProblem(good), "") << good;
    const struct {
        const char* address;
        const char* named;
    } refused[] = {
        {"https://cp.example.com", "scheme"},
        {"cp.example.com?x=1", "query"},
        {"evil.example/x?", "path"},
        {"cp.example.com\\x", "path"},
        {"cp.example.com#frag", "query"},
        {"cp. example.com", "blanks"},
        {"cp.example.com\ttab", "blanks"},
        {"cp.example.com\r\nHost: x", "control characters"},
        {"cp\x7F.example.com", "control characters"},
        {"cp\xC2\x85.example.com", "control characters"},
        {"root@cp.example.com", "user name"},
        {"cp.example.com:2087", "port"},
    };
    for (const auto& r : refused) {
        const std::string problem = ServerAddressProblem(r.address);
        EXPECT_EQ(problem.rfind("The server address must be a host name or an IP address only", 0), 0u)
            << r.address;
        EXPECT_NE(problem.find(r.named), std::string::npos) << r.address << ": " << problem;
    }
}

TEST(RequestRules, ServerPortIsANumberFrom1To65535AndIdnDomainsGoInAsciiForm) {
    for (const auto& [port, value] :
         {std::pair{"443", 443}, {" 2087 ", 2087}, {"1", 1}, {"65535", 65535}, {"000443", 443}})
        EXPECT_EQ(ServerPortOf(port), value) << port;
    const struct {
        const char* port;
        const char* named;
    } refused[] = {{"", "empty"},
                   {"  ", "empty"},
                   {"0", "0 is outside"},
                   {"65536", "65536 is outside"},
                   {"65537", "65537 is outside"},
                   {"99999999999", "outside"},
                   {"44a", "\"44a\" is not a number"},
                   {"-1", "\"-1\" is not a number"}};
    for (const auto& r : refused) {
        EXPECT_NE(ServerPortProblem(r.port).find(r.named), std::string::npos)
            << r.port << ": " << ServerPortProblem(r.port);
        EXPECT_EQ(ServerPortOf(r.port), 0) << r.port;
    }

    // IDNA 2008: "ß" stays a letter of its own (it is not "ss"), every other label stays as it is.
    EXPECT_EQ(AsciiDomainName("b\xC3\xBC"
                              "cher-stra\xC3\x9F"
                              "e.de"),
              "xn--bcher-strae-46a18a.de");
    EXPECT_EQ(AsciiDomainName("m\xC3\xBCller.example"), "xn--mller-kva.example");
    EXPECT_EQ(AsciiDomainName("plain.example"), "plain.example");
    EXPECT_EQ(AsciiDomainName("a_b\x01"), "a_b\x01");       // ASCII text is not judged here
    EXPECT_EQ(AsciiDomainName("\xE2\x82\xAC.example"), ""); // a symbol is no letter of a name
    EXPECT_EQ(AsciiDomainName("\xFF\xFE.example"), "");     // not UTF-8
    EXPECT_EQ(SearchAccountsUrl("https://h", "  m\xC3\xBCller.example "),
              "https://h/xml-api/listaccts?searchtype=domain&search=xn--mller-kva.example");
    EXPECT_EQ(SearchAccountsUrl("https://h", " bob\t"),
              "https://h/xml-api/listaccts?searchtype=user&search=bob");
}
