// The shared request operations against the stand-in server and the probe server, through the
// question and message seam.
#include "TransportTestSupport.h"

#include "core/server/ApiRequests.h"
#include "core/server/Global.h"
#include "core/server/XMLParser.h"
#include "core/settings/Paths.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace parlomar;
using namespace parlomar::test;

namespace {

class ApiRequests : public ::testing::Test {
protected:
    ApiRequests() {
        std::filesystem::create_directories(LanguageFile().parent_path());
        std::ofstream(LanguageFile()) << "[ErrorMess]\nErr11=The request did not succeed.\n"
                                      << "Err12029=Cannot connect to the server.\n";
    }
    TransportFixtureState state;
    std::vector<std::string>& Messages() { return state.ui->messages; }
};

} // namespace

TEST_F(ApiRequests, ConfirmAndCallAsksSendsAndReports) {
    if (!StandinAvailable())
        GTEST_SKIP() << "the stand-in server is not built";
    Standin standin(state.dir.Path() / "standin");
    state.SignIn(standin.port);
    auto packageExists = [] {
        return HttpGet(BaseUrlOf(TestSession()) + "/xml-api/listpkgs").text.find("<name>bronze</name>") !=
               std::string::npos;
    };

    // Declined: nothing is sent, the package is still there.
    EXPECT_EQ(ConfirmAndCall("killpkg?pkg=", "bronze", "Package", "deleted", "Delete", TestSession()),
              kCallDeclined);
    EXPECT_EQ(state.ui->questions, std::vector<std::string>{"Delete Package bronze?"});
    EXPECT_TRUE(Messages().empty());
    EXPECT_TRUE(packageExists());

    state.ui->answers = {true, true, true};
    EXPECT_EQ(ConfirmAndCall("killpkg?pkg=", "bronze", "Package", "deleted", "Delete", TestSession()),
              kCallSucceeded);
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_NE(Messages()[0].find("bronze"), std::string::npos); // the server's statusmsg
    EXPECT_FALSE(packageExists());

    // A name with "&" stays one value: the server answers about exactly that package, and its
    // message reads as the server meant it (references decoded).
    EXPECT_EQ(ConfirmAndCall("killpkg?pkg=", "silver&x=1", "Package", "deleted", "Delete", TestSession()),
              kCallRefused);
    EXPECT_NE(Messages().back().find("silver&x=1"), std::string::npos) << Messages().back();
    EXPECT_EQ(Messages().back().find("&amp;"), std::string::npos) << Messages().back();

    // A failed transfer is returned, not shown.
    const auto shown = Messages().size();
    CloseConnection();
    state.SignIn(FreePort());
    EXPECT_EQ(ConfirmAndCall("killpkg?pkg=", "gold", "Package", "deleted", "Delete", TestSession()),
              kStatusCannotConnect);
    EXPECT_EQ(Messages().size(), shown);
}

TEST_F(ApiRequests, PackageNameWithMarkupCharactersRoundTrips) {
    if (!StandinAvailable())
        GTEST_SKIP() << "the stand-in server is not built";
    Standin standin(state.dir.Path() / "standin");
    state.SignIn(standin.port);
    const std::string name = "R&D <lab>";
    ASSERT_TRUE(ReadApiResult(
                    HttpGet(AddPackageUrl(BaseUrlOf(TestSession()), {{"name", name}, {"quota", "100"}})).text)
                    .IsSuccess());
    // The reply carries it escaped; the list and the details read it as it is.
    const std::string reply = HttpGet(ListPackagesUrl(BaseUrlOf(TestSession()))).text;
    EXPECT_NE(reply.find("<name>R&amp;D &lt;lab&gt;</name>"), std::string::npos);
    EXPECT_NE(("\r" + XmlExtract(reply, "", "name", kXmlAllValues) + "\r").find("\r" + name + "\r"),
              std::string::npos);
    EXPECT_NE(XmlFindElement(reply, "package", "name", name).find("<QUOTA>100</QUOTA>"), std::string::npos);
    // Sent back as read, it names exactly that package.
    state.ui->answers = {true};
    EXPECT_EQ(ConfirmAndCall("killpkg?pkg=", name, "Package", "deleted", "Delete", TestSession()),
              kCallSucceeded);
    EXPECT_EQ(HttpGet(ListPackagesUrl(BaseUrlOf(TestSession()))).text.find("R&amp;D"), std::string::npos);
}

TEST_F(ApiRequests, ConfirmAndCallFallsBackToItsOwnTexts) {
    TestCertificates certificates(state.dir.Path());
    auto [cert, key] = certificates.Make("probe", "IP:127.0.0.1", true);
    ProbeServer probe(cert, key);
    state.SignIn(probe.port, probe.user, probe.password);
    state.ui->answers = {true, true};
    probe.SetReply("<?xml version=\"1.0\"?><killpkg><result><status>1</status><statusmsg></statusmsg>"
                   "</result></killpkg>");
    EXPECT_EQ(ConfirmAndCall("killpkg?pkg=", "p", "Package", "deleted", "Delete", TestSession()),
              kCallSucceeded);
    probe.SetReply("<?xml version=\"1.0\"?><killpkg><result><status>0</status></result></killpkg>");
    EXPECT_EQ(ConfirmAndCall("killpkg?pkg=", "p", "Package", "deleted", "Delete", TestSession()),
              kCallRefused);
    EXPECT_EQ(Messages(), (std::vector<std::string>{"Package p deleted", "The request did not succeed."}));
}

TEST_F(ApiRequests, ConfirmAndCallForUserAndQuerySuspended) {
    if (!StandinAvailable())
        GTEST_SKIP() << "the stand-in server is not built";
    Standin standin(state.dir.Path() / "standin");
    state.SignIn(standin.port);
    std::string status = "old", message = "untouched";

    EXPECT_EQ(QuerySuspended("alpinebk", TestSession()), 0);
    EXPECT_EQ(QuerySuspended("greenleaf", TestSession()), 1);
    EXPECT_EQ(QuerySuspended("nosuchuser", TestSession()), -1);

    ConfirmAndCallForUser("alpinebk", "suspendacct", "Suspend alpinebk", status, message, TestSession());
    EXPECT_EQ(status, "");
    EXPECT_EQ(message, "untouched");
    EXPECT_EQ(state.ui->questions.back(), "Suspend alpinebk?");
    EXPECT_EQ(QuerySuspended("alpinebk", TestSession()), 0); // declined: nothing was sent

    state.ui->answers = {true, true, true};
    ConfirmAndCallForUser("alpinebk", "suspendacct", "Suspend alpinebk", status, message, TestSession());
    EXPECT_EQ(status, "1");
    EXPECT_FALSE(message.empty());
    EXPECT_EQ(QuerySuspended("alpinebk", TestSession()), 1);

    CloseConnection();
    state.SignIn(standin.port, "root", "wrong-password");
    ConfirmAndCallForUser("alpinebk", "unsuspendacct", "Unsuspend alpinebk", status, message, TestSession());
    EXPECT_EQ(status, "relogin");
    EXPECT_EQ(QuerySuspended("alpinebk", TestSession()), -1);

    CloseConnection();
    state.SignIn(FreePort());
    ConfirmAndCallForUser("alpinebk", "unsuspendacct", "Unsuspend alpinebk", status, message, TestSession());
    EXPECT_EQ(status, "");
    EXPECT_EQ(Messages().back(), "Cannot connect to the server.");
    EXPECT_EQ(QuerySuspended("alpinebk", TestSession()), -1);
}
