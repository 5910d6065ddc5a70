// The XML API of the real server binary, over HTTPS, against the demo data.
#include "StandinProcess.h"

#include <gtest/gtest.h>

#include <memory>

using namespace standin_test;

namespace {

class StandinApiTest : public ::testing::Test {
protected:
    void SetUp() override {
        server_ = std::make_unique<StandinProcess>(dir_.Path(), std::vector<std::string>{"--seed", "demo"});
    }

    // GET /xml-api/<call>; fails the test unless the transfer and HTTP status are fine.
    std::string Call(const std::string& call) {
        RequestOptions options;
        options.caFile = server_->CertFile();
        Reply reply = Get(server_->Url("/xml-api/" + call), options);
        EXPECT_EQ(reply.code, CURLE_OK) << call;
        EXPECT_EQ(reply.status, 200) << call;
        EXPECT_EQ(reply.body.rfind("<?xml version=\"1.0\" ?>", 0), 0u) << reply.body;
        return reply.body;
    }
    size_t AccountCount() { return Count(Call("listaccts"), "<acct>"); }
    void ExpectRefused(const std::string& call, const std::string& messagePart) {
        std::string body = Call(call);
        EXPECT_EQ(Tag(body, "status"), "0") << call << " -> " << body;
        EXPECT_NE(Tag(body, "statusmsg").find(messagePart), std::string::npos) << call << " -> " << body;
    }

    TempDir dir_;
    std::unique_ptr<StandinProcess> server_;
};

const char* const kAccountTags[] = {
    "user",   "domain", "suspended",     "diskused",    "disklimit", "email",
    "ip",     "owner",  "partition",     "plan",        "startdate", "unix_startdate",
    "theme",  "shell",  "suspendreason", "suspendtime", "maxftp",    "maxsql",
    "maxpop", "maxlst", "maxsub",        "maxparked",   "maxaddons"};

// The child tags of the first <acct> in order.
std::vector<std::string> ChildTags(const std::string& body, const std::string& outer) {
    std::string record = Tag(body, outer);
    std::vector<std::string> tags;
    for (size_t at = record.find('<'); at != std::string::npos; at = record.find('<', at + 1)) {
        if (record[at + 1] != '/') {
            tags.push_back(record.substr(at + 1, record.find('>', at) - at - 1));
        }
    }
    return tags;
}

} // namespace

TEST_F(StandinApiTest, RepliesHaveTheShapesClientsRead) {
    EXPECT_EQ(Call("version"), "<?xml version=\"1.0\" ?><version><version>11.110.0.7</version></version>");

    std::string accounts = Call("listaccts?searchtype=user&search=");
    EXPECT_EQ(Count(accounts, "<acct>"), 40u);
    EXPECT_EQ(ChildTags(accounts, "acct"),
              std::vector<std::string>(std::begin(kAccountTags), std::end(kAccountTags)));
    EXPECT_NE(accounts.find("</acct><status>1</status><statusmsg>Ok</statusmsg></listaccts>"),
              std::string::npos);
    EXPECT_GE(Count(accounts, "<suspended>1</suspended>"), 3u);
    EXPECT_NE(accounts.find("<disklimit>unlimited</disklimit>"), std::string::npos);

    std::string packages = Call("listpkgs");
    EXPECT_EQ(Count(packages, "<package>"), 5u);
    EXPECT_EQ(ChildTags(packages, "package"),
              (std::vector<std::string>{"name", "QUOTA", "BWLIMIT", "CGI", "CPMOD", "FEATURELIST",
                                        "FRONTPAGE", "HASSHELL", "IP", "LANG", "MAXADDON", "MAXFTP", "MAXLST",
                                        "MAXPARK", "MAXPOP", "MAXSQL", "MAXSUB"}));
    EXPECT_NE(packages.find("<QUOTA>unlimited</QUOTA>"), std::string::npos);

    std::string summary = Call("accountsummary?user=greenleaf");
    std::vector<std::string> summaryTags(std::begin(kAccountTags), std::end(kAccountTags));
    summaryTags[14] = "suspendedreason"; // the summary's name of the field
    EXPECT_EQ(ChildTags(summary, "acct"), summaryTags);
    EXPECT_EQ(Tag(summary, "suspended"), "1");
    EXPECT_EQ(Tag(summary, "suspendedreason"), "Payment overdue");
    EXPECT_NE(summary.find("</acct><status>1</status><statusmsg>Ok</statusmsg></accountsummary>"),
              std::string::npos);
    ExpectRefused("accountsummary?user=nosuchuser", "nosuchuser");
    EXPECT_EQ(Call("accountsummary?user=nosuchuser").find("<acct>"), std::string::npos);

    std::string unknown = Call("reboot?now=1");
    EXPECT_EQ(Tag(unknown, "status"), "0");
    EXPECT_NE(Tag(unknown, "statusmsg").find("Unknown function"), std::string::npos);
}

TEST_F(StandinApiTest, ListaccountsSearchesByExpressionIgnoringCase) {
    EXPECT_EQ(Count(Call("listaccts?searchtype=domain&search=" + Encode("co\\.uk$")), "<acct>"), 3u);
    EXPECT_EQ(Count(Call("listaccts?searchtype=domain&search=ALPINE"), "<acct>"), 1u);
    EXPECT_EQ(Count(Call("listaccts?searchtype=user&search=^(red|blue)"), "<acct>"), 2u);
    // Dedicated addresses are 192.0.2.2x, the shared one 192.0.2.10.
    std::string shared = Call("listaccts?searchtype=ip&search=" + Encode("^192\\.0\\.2\\.10$"));
    EXPECT_GT(Count(shared, "<acct>"), 30u);
    EXPECT_EQ(Count(shared, "<ip>192.0.2.10</ip>"), Count(shared, "<acct>"));
    EXPECT_EQ(Count(Call("listaccts?searchtype=user&search=nomatchatall"), "<acct>"), 0u);
    EXPECT_EQ(Count(Call("listaccts?searchtype=domain"), "<acct>"), 40u);

    ExpectRefused("listaccts?searchtype=domain&search=" + Encode("(unclosed"), "Invalid search expression");
    ExpectRefused("listaccts?searchtype=colour&search=red", "Unknown searchtype");
}

TEST_F(StandinApiTest, CreateAndRemoveAccount) {
    std::string created =
        Call("createacct?username=newshop&domain=New-Shop.example.com&password=" + Encode("Mixed&Case#1") +
             "&plan=silver&contactemail=" + Encode("owner@new-shop.com") + "&maxftp=7&hasshell=1");
    EXPECT_EQ(Tag(created, "status"), "1") << created;
    EXPECT_EQ(Tag(Tag(created, "options"), "package"), "silver");
    EXPECT_EQ(Tag(Tag(created, "options"), "ip"), "192.0.2.10");
    EXPECT_FALSE(Tag(created, "nameserver").empty());
    EXPECT_EQ(created.rfind("<?xml version=\"1.0\" ?><createacct><result>", 0), 0u);

    std::string summary = Call("accountsummary?user=newshop");
    EXPECT_EQ(Tag(summary, "domain"), "new-shop.example.com");
    EXPECT_EQ(Tag(summary, "disklimit"), "5000M"); // from the plan
    EXPECT_EQ(Tag(summary, "maxftp"), "7");        // given explicitly
    EXPECT_EQ(Tag(summary, "maxpop"), "50");
    EXPECT_EQ(Tag(summary, "email"), "owner@new-shop.com");
    EXPECT_EQ(Tag(summary, "shell"), "/bin/bash");
    EXPECT_EQ(Tag(summary, "suspended"), "0");
    EXPECT_EQ(Tag(summary, "suspendedreason"), "not suspended");

    // Neither the user name nor the domain (in any letter case) can be taken twice.
    ExpectRefused("createacct?username=newshop&domain=other.com&password=x", "already taken");
    ExpectRefused("createacct?username=other&domain=NEW-SHOP.example.com&password=x", "already belongs");
    EXPECT_EQ(AccountCount(), 41u);

    std::string removed = Call("removeacct?user=newshop");
    EXPECT_EQ(Tag(removed, "status"), "1");
    EXPECT_FALSE(Tag(removed, "rawout").empty());
    EXPECT_EQ(AccountCount(), 40u);
    ExpectRefused("removeacct?user=newshop", "does not exist");
}

TEST_F(StandinApiTest, CreateAccountRefusalsChangeNothing) {
    const std::string ok = "&password=pw";
    ExpectRefused("createacct?username=abc" + ok, "domain name is required");
    ExpectRefused("createacct?username=abc&domain=bad_name.com" + ok, "not a valid domain");
    ExpectRefused("createacct?username=abc&domain=localhost" + ok, "not a valid domain");
    ExpectRefused("createacct?username=abc&domain=example.c0m" + ok, "not a valid domain");
    ExpectRefused("createacct?username=abc&domain=-lead.com" + ok, "not a valid domain");
    ExpectRefused("createacct?domain=fine.com" + ok, "user name is required");
    ExpectRefused("createacct?username=Upper&domain=fine.com" + ok, "not a valid user name");
    ExpectRefused("createacct?username=1abc&domain=fine.com" + ok, "not a valid user name");
    ExpectRefused("createacct?username=abcdefghijklmnopq&domain=fine.com" + ok, "not a valid user name");
    ExpectRefused("createacct?username=alpinebk&domain=fine.com" + ok, "already taken");
    ExpectRefused("createacct?username=abc&domain=fine.com", "password is required");
    ExpectRefused("createacct?username=abc&domain=fine.com&plan=platinum" + ok, "does not exist");
    ExpectRefused("createacct?username=abc&domain=fine.com&quota=12a" + ok, "quota");
    ExpectRefused("createacct?username=abc&domain=fine.com&cgi=maybe" + ok, "cgi");
    ExpectRefused("createacct?username=abc&domain=fine.com&contactemail=nobody" + ok, "e-mail");
    ExpectRefused("createacct?username=abc&domain=fine.com&ip=1&customip=300.1.1.1" + ok, "IPv4");
    ExpectRefused("createacct?username=abc&domain=fine.com&savepkg=1" + ok, "package name is required");
    ExpectRefused("createacct?username=abc&domain=fine.com&savepkg=1&pkgname=gold" + ok, "already exists");
    EXPECT_EQ(AccountCount(), 40u);
    EXPECT_EQ(Count(Call("listpkgs"), "<package>"), 5u);

    // The highest user name length and a 16-character name pass.
    EXPECT_EQ(
        Tag(Call("createacct?username=abcdefghijklmnop&domain=fine.com&quota=UNLIMITED" + ok), "status"),
        "1");
    EXPECT_EQ(Tag(Call("accountsummary?user=abcdefghijklmnop"), "disklimit"), "unlimited");
}

TEST_F(StandinApiTest, CreateAccountCanSaveItsLimitsAsAPackage) {
    std::string created =
        Call("createacct?username=custom&domain=custom.org&password=pw&quota=777&bwlimit=8888"
             "&maxsql=3&cgi=0&savepkg=1&pkgname=Custom_777");
    ASSERT_EQ(Tag(created, "status"), "1") << created;
    EXPECT_EQ(Tag(Tag(created, "options"), "package"), "Custom_777");
    std::string packages = Call("listpkgs");
    size_t at = packages.find("<name>Custom_777</name>");
    ASSERT_NE(at, std::string::npos);
    std::string package = packages.substr(at, packages.find("</package>", at) - at);
    EXPECT_EQ(Tag(package, "QUOTA"), "777");
    EXPECT_EQ(Tag(package, "BWLIMIT"), "8888");
    EXPECT_EQ(Tag(package, "MAXSQL"), "3");
    EXPECT_EQ(Tag(package, "CGI"), "n");
    EXPECT_EQ(Tag(Call("accountsummary?user=custom"), "plan"), "Custom_777");
}

TEST_F(StandinApiTest, PackagesAreAddedEditedAndKilled) {
    std::string added = Call("addpkg?name=starter&quota=250&bwlimit=unlimited&maxftp=1&maxlists=4&language=de"
                             "&cgi=1&frontpage=0&hasshell=0&ip=0&featurelist=basic");
    EXPECT_EQ(Tag(added, "status"), "1") << added;
    EXPECT_EQ(added.rfind("<?xml version=\"1.0\" ?><addpkg><result>", 0), 0u);
    ExpectRefused("addpkg?name=STARTER", "already exists");
    ExpectRefused("addpkg?name=", "package name is required");
    ExpectRefused("addpkg?name=broken&maxpop=-1", "maxpop");

    std::string packages = Call("listpkgs");
    size_t at = packages.find("<name>starter</name>");
    ASSERT_NE(at, std::string::npos);
    std::string package = packages.substr(at, packages.find("</package>", at) - at);
    EXPECT_EQ(Tag(package, "QUOTA"), "250");
    EXPECT_EQ(Tag(package, "MAXLST"), "4");
    EXPECT_EQ(Tag(package, "LANG"), "de");
    EXPECT_EQ(Tag(package, "CGI"), "y");
    EXPECT_EQ(Tag(package, "FRONTPAGE"), "n");
    EXPECT_EQ(Tag(package, "FEATURELIST"), "basic");

    EXPECT_EQ(Tag(Call("editpkg?name=starter&quota=300"), "status"), "1");
    packages = Call("listpkgs");
    package = packages.substr(packages.find("<name>starter</name>"));
    EXPECT_EQ(Tag(package, "QUOTA"), "300");
    EXPECT_EQ(Tag(package, "MAXLST"), "4"); // untouched fields stay
    ExpectRefused("editpkg?name=nosuchpkg&quota=1", "does not exist");

    EXPECT_EQ(Tag(Call("killpkg?pkg=starter"), "status"), "1");
    EXPECT_EQ(Call("listpkgs").find("<name>starter</name>"), std::string::npos);
    ExpectRefused("killpkg?pkg=starter", "does not exist");
}

TEST_F(StandinApiTest, SuspendPasswordAndBandwidth) {
    std::string reason = "<b>\"Tom's\" & co</b>";
    EXPECT_EQ(Tag(Call("suspendacct?user=juniper&reason=" + Encode(reason)), "status"), "1");
    std::string summary = Call("accountsummary?user=juniper");
    EXPECT_EQ(Tag(summary, "suspended"), "1");
    EXPECT_EQ(Tag(summary, "suspendedreason"), "&lt;b&gt;&quot;Tom&apos;s&quot; &amp; co&lt;/b&gt;");
    EXPECT_FALSE(Tag(summary, "suspendtime").empty());
    ExpectRefused("suspendacct?user=juniper", "already suspended");
    EXPECT_EQ(Tag(Call("unsuspendacct?user=juniper"), "status"), "1");
    summary = Call("accountsummary?user=juniper");
    EXPECT_EQ(Tag(summary, "suspended"), "0");
    EXPECT_EQ(Tag(summary, "suspendedreason"), "not suspended");
    ExpectRefused("unsuspendacct?user=juniper", "not suspended");
    ExpectRefused("suspendacct?user=ghost", "does not exist");
    ExpectRefused("unsuspendacct?user=ghost", "does not exist");
    // Without a reason the account is suspended all the same.
    EXPECT_EQ(Tag(Call("suspendacct?user=bluefin"), "status"), "1");

    std::string passwd = Call("passwd?user=juniper&pass=" + Encode("n3w&P#ss"));
    EXPECT_EQ(passwd.rfind("<?xml version=\"1.0\" ?><passwd><passwd>", 0), 0u);
    EXPECT_EQ(Tag(passwd, "status"), "1");
    ExpectRefused("passwd?user=ghost&pass=x", "does not exist");
    ExpectRefused("passwd?user=juniper&pass=", "password is required");

    std::string limit = Call("limitbw?user=juniper&bwlimit=500");
    EXPECT_EQ(
        limit.rfind("<?xml version=\"1.0\" ?><limitbw><result><bwlimit>500</bwlimit><status>1</status>", 0),
        0u);
    EXPECT_EQ(Tag(Call("limitbw?user=juniper&bwlimit=Unlimited"), "bwlimit"), "unlimited");
    ExpectRefused("limitbw?user=juniper&bwlimit=5GB", "Invalid bandwidth limit");
    ExpectRefused("limitbw?user=ghost&bwlimit=5", "does not exist");
}

TEST_F(StandinApiTest, QueryValuesArePercentDecoded) {
    // %26 is a literal "&", %2B a literal "+"; a bare "+" is a blank as in form encoding.
    EXPECT_EQ(Tag(Call("suspendacct?user=lumen&reason=A%26B%2BC+D"), "status"), "1");
    EXPECT_EQ(Tag(Call("accountsummary?user=lumen"), "suspendedreason"), "A&amp;B+C D");
    // Parameter names are matched whatever their letter case.
    EXPECT_EQ(Tag(Call("accountsummary?USER=lumen"), "user"), "lumen");
}
