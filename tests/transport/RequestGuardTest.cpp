// The request entry of the transport, called directly: changing requests are refused while the
// server is read-only and recorded in the activity log (before sending and with the outcome).

#include "TransportTestSupport.h"

#include "core/server/ActivityLog.h"
#include "core/server/Global.h"
#include "core/server/RequestGuard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

using namespace parlomar;
using namespace parlomar::test;

namespace {

// Every test of this program logs into a temporary data folder, never the user's.
class TemporaryDataHome : public ::testing::Environment {
public:
    void SetUp() override {
        home_ = std::make_unique<TempDir>();
        ::setenv("XDG_DATA_HOME", home_->Path().c_str(), 1);
    }
    void TearDown() override { home_.reset(); }

private:
    std::unique_ptr<TempDir> home_;
};
::testing::Environment* const kDataHome = ::testing::AddGlobalTestEnvironment(new TemporaryDataHome);

std::string FileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

} // namespace

TEST(RequestGuard, ReadOnlyRefusesAndTheLogRecordsEveryChange) {
    if (!StandinAvailable())
        GTEST_SKIP() << "the stand-in server is not built";
    TransportFixtureState state;
    const std::filesystem::path requests = state.dir.Path() / "requests.log";
    Standin standin(state.dir.Path() / "standin", {"--request-log", requests.string()});
    state.SignIn(standin.port);
    std::filesystem::remove_all(ActivityLogFolder());
    const std::string base = BaseUrlOf(TestSession());

    // Read-only: changing requests end at the entry, whatever their spelling; viewing ones go.
    state.SignIn(standin.port, "root", "demopass", true);
    EXPECT_EQ(HttpGet(SuspendAccountUrl(base, "alpinebk")).status, kStatusReadOnly);
    EXPECT_EQ(HttpGet(base + "/xml-api/SuspendAcct?user=alpinebk").status, kStatusReadOnly);
    EXPECT_EQ(HttpGet(AccountSummaryUrl(base, "alpinebk")).status, kStatusOk);
    EXPECT_EQ(HttpGet(ListAccountsUrl(base, "user", "")).status, kStatusOk);
    state.SignIn(standin.port);
    const std::string arrived = Lower(FileText(requests));
    EXPECT_EQ(arrived.find("suspendacct"), std::string::npos) << arrived;
    EXPECT_NE(arrived.find("/xml-api/listaccts"), std::string::npos);

    // Create, suspend, a new password, a refusal by the server, a failed transfer.
    const std::string created = "Cr3ated&Pw#x";
    const std::string changed = "Chang3d Pw%2025";
    EXPECT_EQ(HttpGet(CreateAccountUrl(base, {{"domain", "newsite.example"},
                                              {"username", "newsite"},
                                              {"password", created},
                                              {"plan", "bronze"}}))
                  .status,
              kStatusOk);
    EXPECT_EQ(HttpGet(SuspendAccountUrl(base, "newsite")).status, kStatusOk);
    EXPECT_EQ(HttpGet(PasswdUrl(base, "newsite", changed)).status, kStatusOk);
    EXPECT_EQ(HttpGet(SuspendAccountUrl(base, "nosuchuser")).status, kStatusOk);
    state.SignIn(FreePort());
    EXPECT_EQ(HttpGet(UnsuspendAccountUrl(BaseUrlOf(TestSession()), "newsite")).status, kStatusCannotConnect);

    const std::vector<ActivityEntry> entries = ReadActivityLog();
    ASSERT_EQ(entries.size(), 7u);
    auto expect = [&](std::size_t i, const char* function, const char* target, int transport,
                      const char* serverStatus) {
        SCOPED_TRACE(i);
        const ActivityRecord& r = entries[i].record;
        EXPECT_TRUE(entries[i].outcomeKnown);
        EXPECT_EQ(r.function, function);
        EXPECT_EQ(r.target, target);
        EXPECT_EQ(r.transportStatus, transport);
        EXPECT_EQ(r.serverStatus, serverStatus);
        EXPECT_EQ(r.server, "127.0.0.1");
        EXPECT_EQ(r.user, "root");
    };
    expect(0, "unsuspendacct", "newsite", kStatusCannotConnect, "");
    expect(1, "suspendacct", "nosuchuser", kStatusOk, "0");
    EXPECT_NE(entries[1].record.message.find("nosuchuser"), std::string::npos);
    expect(2, "passwd", "newsite", kStatusOk, "1");
    EXPECT_EQ(entries[2].record.parameters, (QueryFields{{"user", "newsite"}}));
    expect(3, "suspendacct", "newsite", kStatusOk, "1");
    expect(4, "createacct", "newsite", kStatusOk, "1");
    EXPECT_EQ(entries[4].record.parameters,
              (QueryFields{{"domain", "newsite.example"}, {"username", "newsite"}, {"plan", "bronze"}}));
    expect(5, "SuspendAcct", "alpinebk", kStatusReadOnly, "");
    expect(6, "suspendacct", "alpinebk", kStatusReadOnly, "");
    EXPECT_EQ(entries[0].record.port, 0u + static_cast<unsigned>(TestSession()->Port()));

    // Two lines for each request sent, one for each refused at the entry; no password in any form.
    const std::string log = FileText(ActivityLogFile());
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 5 * 2 + 2);
    for (const std::string& secret : {created, changed, PercentEncode(created), PercentEncode(changed),
                                      std::string("Cr3ated"), std::string("Chang3d")})
        EXPECT_EQ(log.find(secret), std::string::npos) << secret;
}

TEST(RequestGuard, AChangeThatCannotBeLoggedIsNotSentUnlessTheSettingsSaySo) {
    if (!StandinAvailable())
        GTEST_SKIP() << "the stand-in server is not built";
    TransportFixtureState state;
    const std::filesystem::path requests = state.dir.Path() / "requests.log";
    Standin standin(state.dir.Path() / "standin", {"--request-log", requests.string()});
    state.SignIn(standin.port);
    // A folder where the log file should be: nothing can be appended to it.
    std::filesystem::remove_all(ActivityLogFolder());
    std::filesystem::create_directories(ActivityLogFile());
    const std::string base = BaseUrlOf(TestSession());
    const auto suspends = [&] {
        const std::string arrived = Lower(FileText(requests));
        std::size_t n = 0;
        for (std::size_t at = arrived.find("suspendacct"); at != std::string::npos;
             at = arrived.find("suspendacct", at + 1))
            ++n;
        return n;
    };

    EXPECT_EQ(HttpGet(SuspendAccountUrl(base, "alpinebk")).status, kStatusNotLogged);
    EXPECT_EQ(HttpGet(UnsuspendAccountUrl(base, "alpinebk")).status, kStatusNotLogged);
    EXPECT_EQ(HttpGet(AccountSummaryUrl(base, "alpinebk")).status, kStatusOk); // viewing goes
    EXPECT_EQ(suspends(), 0u);
    ASSERT_EQ(state.ui->messages.size(), 1u); // told once in this sign-in, with the reason
    EXPECT_NE(state.ui->messages[0].find(ActivityLogFile().string()), std::string::npos);

    // The next sign-in tells it again; the operator's setting lets the change go without its line.
    state.SignIn(standin.port);
    state.Setting("General", "SendWithoutLog", "1");
    EXPECT_EQ(HttpGet(SuspendAccountUrl(base, "alpinebk")).status, kStatusOk);
    EXPECT_EQ(suspends(), 1u);
    EXPECT_EQ(state.ui->messages.size(), 2u);

    // With the log back, a password of three letters is still taken out of the server's message.
    std::filesystem::remove_all(ActivityLogFolder());
    EXPECT_EQ(HttpGet(PasswdUrl(base, "alpinebk", "alp")).status, kStatusOk);
    const std::vector<ActivityEntry> entries = ReadActivityLog();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].record.message, "Password changed for user ***inebk");
    std::filesystem::remove_all(ActivityLogFolder());
}
