// The search on every saved server: each server on its own, at once, without a question.
#include "TransportTestSupport.h"

#include "core/accounts/FindAll.h"
#include "core/server/CertificateCheck.h"
#include "core/server/GetXMLThreadUnit.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <openssl/pem.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <mutex>
#include <sstream>

using namespace parlomar;
using namespace parlomar::test;

namespace {

// A port that takes connections into its queue and never answers: a server that hangs.
struct SilentListener {
    SilentListener() {
        fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(fd, 4) != 0 ||
            getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw std::runtime_error("no listening socket");
        port = ntohs(address.sin_port);
    }
    ~SilentListener() { close(fd); }
    int fd = -1;
    int port = 0;
};

std::string FingerprintOfPem(const std::filesystem::path& pem) {
    FILE* file = std::fopen(pem.c_str(), "r");
    if (!file)
        return {};
    X509* certificate = PEM_read_X509(file, nullptr, nullptr, nullptr);
    std::fclose(file);
    std::string fingerprint = certificate ? CertificateFingerprint(certificate) : std::string();
    X509_free(certificate);
    return fingerprint;
}

SavedServer Saved(int port, bool remembered = true) {
    SavedServer server;
    server.address = "127.0.0.1";
    server.port = static_cast<std::uint16_t>(port);
    server.userName = "root";
    server.savePassword = remembered;
    server.encipheredPassword = remembered ? EncipheredForTest("demopass") : std::string();
    return server;
}

class FindAll : public ::testing::Test {
protected:
    FindAll() { ResetFetchShutdown(); }
    ~FindAll() override { ResetFetchShutdown(); }
    TransportFixtureState state;

    std::mutex mutex;
    std::vector<std::pair<std::size_t, std::chrono::steady_clock::time_point>> arrivals; // index, when
    FindAllResult result;
    std::unique_ptr<TFindAll> Make(FindAllRequest request) {
        return std::make_unique<TFindAll>(
            std::move(request),
            [this](const FindServerResult& one) {
                std::lock_guard lock(mutex);
                arrivals.emplace_back(one.index, std::chrono::steady_clock::now());
            },
            [this](const FindAllResult& whole) {
                std::lock_guard lock(mutex);
                result = whole;
            });
    }
};

} // namespace

TEST_F(FindAll, EachServerAnswersOrGivesItsReasonAndNoneHoldsBackAnother) {
    if (!StandinAvailable())
        GTEST_SKIP() << "the stand-in server is not built";
    Standin pinned(state.dir.Path() / "pinned");
    const std::filesystem::path unpinnedLog = state.dir.Path() / "unpinned.log";
    Standin unpinned(state.dir.Path() / "unpinned", {"--request-log", unpinnedLog.string()});
    SilentListener hanging;
    const std::string fingerprint = FingerprintOfPem(state.dir.Path() / "pinned" / "standin-cert.pem");
    ASSERT_FALSE(fingerprint.empty());
    state.Setting("Certificates", "127.0.0.1:" + std::to_string(pinned.port), fingerprint);

    FindAllRequest request;
    request.servers = {Saved(hanging.port), Saved(FreePort()), Saved(unpinned.port),
                       Saved(pinned.port, false), Saved(pinned.port)};
    request.servers[3].userName = "reseller"; // the same server, a sign-in whose password was not kept
    request.text = " kestrel ";
    request.searchType = "user";
    request.timeLimit = std::chrono::seconds(4);
    const auto start = std::chrono::steady_clock::now();
    auto find = Make(request);
    find->Start();
    ASSERT_TRUE(find->Wait(std::chrono::seconds(30)));
    const auto took = std::chrono::steady_clock::now() - start;

    std::lock_guard lock(mutex);
    ASSERT_EQ(result.servers.size(), 5u);
    const FindServerResult& answered = result.servers[4];
    EXPECT_EQ(answered.label, "root@127.0.0.1:" + std::to_string(pinned.port));
    EXPECT_TRUE(answered.answered);
    ASSERT_EQ(answered.accounts.size(), 1u);
    EXPECT_EQ(answered.accounts[0].user, "kestrel");
    EXPECT_EQ(answered.accounts[0].domain, "kestrel-optics.com");
    EXPECT_EQ(answered.accounts[0].suspended, "0");

    EXPECT_FALSE(result.servers[0].answered); // timed out
    EXPECT_FALSE(result.servers[0].reason.empty());
    EXPECT_FALSE(result.servers[1].answered); // nobody listens
    EXPECT_FALSE(result.servers[1].reason.empty());
    EXPECT_NE(result.servers[1].reason, result.servers[0].reason);
    EXPECT_EQ(result.servers[2].reason, "certificate not trusted");
    EXPECT_EQ(result.servers[3].reason, "password not remembered");
    EXPECT_EQ(result.servers[3].label, "reseller@127.0.0.1:" + std::to_string(pinned.port));
    EXPECT_EQ(FindSummaryText(result), "found 1 account on 1 server");
    EXPECT_FALSE(result.stopped);

    // Nobody was asked, and the server not trusted got nothing (the log names every request).
    EXPECT_TRUE(state.ui->certificates.empty());
    EXPECT_TRUE(state.ui->messages.empty());
    std::stringstream log;
    log << std::ifstream(unpinnedLog).rdbuf();
    EXPECT_EQ(log.str(), "");

    // The hanging server came first in the list yet did not hold back the others.
    ASSERT_EQ(arrivals.size(), 5u);
    EXPECT_EQ(arrivals.back().first, 0u);
    EXPECT_LT(took, std::chrono::seconds(8));
}

TEST_F(FindAll, StopEndsTheServersInFlightAndThoseNotReached) {
    SilentListener hanging;
    FindAllRequest request;
    request.servers = {Saved(hanging.port), Saved(hanging.port), Saved(hanging.port)};
    request.servers[1].userName = "second";
    request.servers[2].userName = "third";
    request.text = "anything";
    request.atOnce = 2;
    auto find = Make(request);
    find->Start();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto stopped = std::chrono::steady_clock::now();
    find->Stop();
    ASSERT_TRUE(find->Wait(std::chrono::seconds(5)));
    EXPECT_LT(std::chrono::steady_clock::now() - stopped, std::chrono::seconds(3));
    std::lock_guard lock(mutex);
    EXPECT_TRUE(result.stopped);
    for (const FindServerResult& one : result.servers) {
        EXPECT_FALSE(one.answered);
        EXPECT_EQ(one.reason, "stopped") << one.label;
    }
    EXPECT_EQ(FindSummaryText(result), "found 0 accounts on 0 servers");
}
