// The background list fetch: completions on the owner's thread, several fetches at once, shutdown.
#include "TransportTestSupport.h"

#include "core/server/GetXMLThreadUnit.h"
#include "core/server/Global.h"
#include "core/server/RequestGuard.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <thread>

using namespace parlomar;
using namespace parlomar::test;

namespace {

class ListFetch : public ::testing::Test {
protected:
    ListFetch() { ResetFetchShutdown(); }
    ~ListFetch() override { ResetFetchShutdown(); }
    TransportFixtureState state;

    struct Delivery {
        std::uint8_t kind = 0;
        HttpReply reply;
        bool onGuiThread = false;
    };
    std::vector<Delivery> deliveries;
    TGetXMLThread::Completion Recorder() {
        return [this](std::uint8_t kind, const HttpReply& reply) {
            deliveries.push_back({kind, reply, state.ui->IsGuiThread()});
        };
    }
};

} // namespace

TEST_F(ListFetch, CompletionsReachTheOwnerThreadEachWithItsOwnReply) {
    if (!StandinAvailable())
        GTEST_SKIP() << "the stand-in server is not built";
    Standin standin(state.dir.Path() / "standin");
    state.SignIn(standin.port);

    TGetXMLThread accounts(
        TestSession(),
        BaseUrlOf(TestSession()) + "/xml-api/listaccts?searchtype=user&search=", kFetchAccounts, Recorder());
    TGetXMLThread packages(TestSession(), BaseUrlOf(TestSession()) + "/xml-api/listpkgs", kFetchPackages,
                           Recorder());
    accounts.Start();
    packages.Start();
    ASSERT_TRUE(state.ui->PumpUntil([this] { return deliveries.size() == 2; }));

    EXPECT_NE(deliveries[0].kind, deliveries[1].kind);
    for (const Delivery& d : deliveries) {
        EXPECT_TRUE(d.onGuiThread);
        EXPECT_EQ(d.reply.status, 0);
        const char* element = d.kind == kFetchAccounts ? "<acct>" : "<package>";
        const char* other = d.kind == kFetchAccounts ? "<package>" : "<acct>";
        EXPECT_NE(d.reply.text.find(element), std::string::npos);
        EXPECT_EQ(d.reply.text.find(other), std::string::npos);
    }
    // The progress of the fetch threads was shown on the GUI thread only.
    EXPECT_FALSE(state.ui->statusOffGuiThread);
    EXPECT_FALSE(state.ui->DotSuffixes().empty());
}

TEST_F(ListFetch, ShutdownEndsALongReplyAndDiscardsCompletions) {
    ProbeServer probe;
    state.SignIn(probe.port, probe.user, probe.password);
    const std::string longReply(400 * 514, 'L'); // about 8 s at this pace
    probe.SetReply(longReply, 514, std::chrono::milliseconds(20));

    // A completion that arrives on the GUI thread once shutdown has begun is dropped.
    probe.SetReply("<?xml?><short/>");
    TGetXMLThread finished(TestSession(), "http://127.0.0.1/xml-api/version", kFetchPackages, Recorder());
    finished.Start();
    ASSERT_TRUE(finished.WaitFor(std::chrono::seconds(10)));
    BeginFetchShutdown();
    state.ui->PumpUntil([] { return false; }, std::chrono::milliseconds(100));
    EXPECT_TRUE(deliveries.empty());
    ResetFetchShutdown();

    probe.SetReply(longReply, 514, std::chrono::milliseconds(20));
    auto running = std::make_unique<TGetXMLThread>(TestSession(), "http://127.0.0.1/xml-api/listpkgs",
                                                   kFetchPackages, Recorder());
    running->Start();
    ASSERT_TRUE(state.ui->PumpUntil([this] { return state.ui->DotSuffixes().size() > 3; }));
    EXPECT_FALSE(running->Finished());
    EXPECT_TRUE(running->StopAtShutdown());
    EXPECT_TRUE(running->Finished());
    running.reset(); // the owner may drop the object; the posted completion keeps its own state
    state.ui->PumpUntil([] { return false; }, std::chrono::milliseconds(200));
    EXPECT_TRUE(deliveries.empty());

    // Exit stops a fetch that its owner discarded and dropped as well, and waits for it.
    ResetFetchShutdown();
    probe.SetReply(longReply, 514, std::chrono::milliseconds(20));
    auto dropped = std::make_unique<TGetXMLThread>(TestSession(), "http://127.0.0.1/xml-api/listpkgs",
                                                   kFetchPackages, Recorder());
    dropped->Start();
    dropped->Discard();
    dropped.reset();
    EXPECT_FALSE(WaitForFetchThreads(std::chrono::milliseconds(300)));
    EXPECT_TRUE(StopAllFetches(std::chrono::seconds(5)));
    EXPECT_TRUE(WaitForFetchThreads(std::chrono::milliseconds(0)));

    // A fetch started after shutdown began sends nothing.
    const auto sent = probe.Requests().size();
    TGetXMLThread late(TestSession(), "http://127.0.0.1/xml-api/listpkgs", kFetchPackages, Recorder());
    late.Start();
    EXPECT_TRUE(late.WaitFor(std::chrono::seconds(10)));
    EXPECT_EQ(probe.Requests().size(), sent);
    state.ui->PumpUntil([] { return false; }, std::chrono::milliseconds(100));
    EXPECT_TRUE(deliveries.empty());
}

TEST_F(ListFetch, TwoSessionsAtOnceAndALateReplyAfterASwitch) {
    if (!StandinAvailable())
        GTEST_SKIP() << "the stand-in server is not built";
    const std::filesystem::path firstLog = state.dir.Path() / "first.log";
    const std::filesystem::path secondLog = state.dir.Path() / "second.log";
    Standin first(state.dir.Path() / "first", {"--request-log", firstLog.string()});
    Standin second(state.dir.Path() / "second", {"--request-log", secondLog.string()});
    auto signIn = [](const Standin& server, bool readOnly) {
        return ServerSession::Make(
            {"127.0.0.1", static_cast<std::uint16_t>(server.port), "root", EncipheredForTest("demopass")},
            readOnly);
    };
    const SessionPtr readOnly = signIn(first, true);
    const SessionPtr changing = signIn(second, false);
    auto text = [](const std::filesystem::path& file) {
        std::ifstream in(file);
        std::stringstream all;
        all << in.rdbuf();
        return all.str();
    };

    // On two threads at once: each session reaches its own server with its own rules.
    SetTransportUi(nullptr);
    std::atomic<int> good{0};
    auto work = [&good](const SessionPtr& session, TransportStatus suspendStatus) {
        for (int i = 0; i < 5; ++i)
            good += parlomar::HttpGet(session, ListPackagesUrl(session->BaseUrl())).text.find("<package>") !=
                    std::string::npos;
        good += parlomar::HttpGet(session, SuspendAccountUrl(session->BaseUrl(), "alpinebk")).status ==
                suspendStatus;
    };
    std::thread other([&] { work(readOnly, kStatusReadOnly); });
    work(changing, kStatusOk);
    other.join();
    EXPECT_EQ(good.load(), 12);
    EXPECT_EQ(text(firstLog).find("suspendacct"), std::string::npos);
    EXPECT_NE(text(secondLog).find("suspendacct"), std::string::npos);

    // A switch while a fetch of the old session waits for its reply: that fetch ends soon, and
    // only the new session's reply is delivered.
    SetTransportUi(state.ui);
    first.SetFaults("delay_ms=3000&times=1");
    TGetXMLThread late(readOnly, ListAccountsUrl(readOnly->BaseUrl(), "user", ""), kFetchAccounts,
                       Recorder());
    late.Start();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto switched = std::chrono::steady_clock::now();
    readOnly->End();
    TGetXMLThread next(changing, ListPackagesUrl(changing->BaseUrl()), kFetchPackages, Recorder());
    next.Start();
    ASSERT_TRUE(late.WaitFor(std::chrono::seconds(10)));
    EXPECT_LT(std::chrono::steady_clock::now() - switched, std::chrono::milliseconds(2500));
    ASSERT_TRUE(state.ui->PumpUntil([this] { return !deliveries.empty(); }));
    state.ui->PumpUntil([] { return false; }, std::chrono::milliseconds(300));
    ASSERT_EQ(deliveries.size(), 1u);
    EXPECT_EQ(deliveries[0].kind, kFetchPackages);
    EXPECT_EQ(parlomar::HttpGet(readOnly, VersionUrl(readOnly->BaseUrl())).status, kStatusRequestNotOpened);
}
