// The real server binary as a transport: authentication, TLS, persistence, HTTP versions,
// parallel requests, the fault switches and stopping.
#include "StandinProcess.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

using namespace standin_test;

namespace {

std::string ReadFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

RequestOptions Verified(const StandinProcess& server) {
    RequestOptions options;
    options.caFile = server.CertFile();
    return options;
}

std::string SetFaults(const StandinProcess& server, const std::string& query) {
    Reply reply = Get(server.Url("/standin/faults?" + query), Verified(server));
    EXPECT_EQ(reply.status, 200) << reply.body;
    return reply.body;
}

} // namespace

TEST(StandinTransportTest, AuthenticationGuardsEveryPath) {
    TempDir dir;
    StandinProcess server(dir.Path());
    RequestOptions none = Verified(server);
    none.credentials = false;
    Reply anonymous = Get(server.Url("/xml-api/version"), none);
    EXPECT_EQ(anonymous.status, 401);
    EXPECT_NE(anonymous.headers.find("WWW-Authenticate: Basic realm=\""), std::string::npos)
        << anonymous.headers;
    EXPECT_EQ(anonymous.body.find("<?xml"), std::string::npos);

    RequestOptions wrong = Verified(server);
    wrong.password = "not the password";
    for (const char* path : {"/xml-api/version", "/xml-api/listaccts", "/standin/faults?http500=1"}) {
        Reply refused = Get(server.Url(path), wrong);
        EXPECT_EQ(refused.status, 401) << path;
        EXPECT_NE(refused.body.find("<html>"), std::string::npos);
        EXPECT_EQ(refused.body.find("<?xml"), std::string::npos) << path;
    }
    wrong.password = kPassword;
    wrong.user = "someoneelse";
    EXPECT_EQ(Get(server.Url("/xml-api/version"), wrong).status, 401);

    Reply accepted = Get(server.Url("/xml-api/version"), Verified(server));
    EXPECT_EQ(accepted.status, 200);
    EXPECT_EQ(accepted.body.rfind("<?xml version=\"1.0\" ?>", 0), 0u);
    EXPECT_NE(accepted.headers.find("Content-Type: text/xml"), std::string::npos);
    // The refused fault switch above did not take effect.
    EXPECT_EQ(Get(server.Url("/xml-api/version"), Verified(server)).status, 200);
}

TEST(StandinTransportTest, TlsCertificateAndStateSurviveARestart) {
    TempDir dir;
    std::string certificate;
    {
        StandinProcess server(dir.Path(), {"--seed", "demo"});
        certificate = ReadFile(server.CertFile());
        ASSERT_NE(certificate.find("BEGIN CERTIFICATE"), std::string::npos);
        // The certificate names both localhost and 127.0.0.1, and plain HTTP is not served.
        Reply byName =
            Get("https://localhost:" + std::to_string(server.Port()) + "/xml-api/version", Verified(server));
        EXPECT_EQ(byName.code, CURLE_OK) << curl_easy_strerror(byName.code);
        EXPECT_NE(Get(server.Url("/xml-api/version", false), Verified(server)).status, 200);
        Reply created = Get(server.Url("/xml-api/createacct?username=keeper&domain=keeper.net&password=pw"),
                            Verified(server));
        EXPECT_EQ(Tag(created.body, "status"), "1");
        EXPECT_EQ(Tag(Get(server.Url("/xml-api/suspendacct?user=alpinebk"), Verified(server)).body, "status"),
                  "1");
        EXPECT_EQ(server.Stop(), 0);
    }
    // The seed is not applied again to an existing database.
    StandinProcess again(dir.Path(), {"--seed", "demo"});
    EXPECT_EQ(ReadFile(again.CertFile()), certificate);
    std::string accounts = Get(again.Url("/xml-api/listaccts"), Verified(again)).body;
    EXPECT_EQ(Count(accounts, "<acct>"), 41u);
    EXPECT_NE(accounts.find("<user>keeper</user>"), std::string::npos);
    EXPECT_EQ(Tag(Get(again.Url("/xml-api/accountsummary?user=alpinebk"), Verified(again)).body, "suspended"),
              "1");
    EXPECT_EQ(again.Stop(), 0);

    StandinProcess reseeded(dir.Path(), {"--seed", "demo", "--reseed"});
    EXPECT_EQ(Count(Get(reseeded.Url("/xml-api/listaccts"), Verified(reseeded)).body, "<acct>"), 40u);
}

TEST(StandinTransportTest, GivenCertificatePlainHttpAndPortFile) {
    TempDir first;
    std::filesystem::path cert;
    std::filesystem::path key;
    {
        StandinProcess generator(first.Path());
        cert = generator.CertFile();
        key = first.Path() / "standin-key.pem";
    }
    TempDir dir;
    std::filesystem::path portFile = dir.Path() / "port.txt";
    {
        StandinProcess server(dir.Path() / "data", {"--cert", cert.string(), "--key", key.string(),
                                                    "--port-file", portFile.string()});
        RequestOptions options;
        options.caFile = cert;
        EXPECT_EQ(Get(server.Url("/xml-api/version"), options).status, 200);
        EXPECT_FALSE(std::filesystem::exists(dir.Path() / "data" / "standin-cert.pem"));
        EXPECT_EQ(std::stoi(ReadFile(portFile)), server.Port());
    }
    StandinProcess plain(dir.Path() / "plain", {"--plain-http"});
    Reply reply = Get(plain.Url("/xml-api/version", false), RequestOptions{});
    EXPECT_EQ(reply.status, 200);
    EXPECT_NE(reply.body.find("<version>11.110.0.7</version>"), std::string::npos);

    EXPECT_EQ(RunToEnd({"--data", (dir.Path() / "x").string()}), 2); // no credentials
    EXPECT_EQ(RunToEnd({"--data", (dir.Path() / "x").string(), "--user", "u", "--password", "p", "--delay-ms",
                        "999999"}),
              2);
    EXPECT_EQ(RunToEnd({"--data", (dir.Path() / "x").string(), "--user", "u", "--password", "p", "--cert",
                        cert.string(), "--key", cert.string()}),
              1); // a certificate without its key
}

TEST(StandinTransportTest, Http10AndKeepAlive) {
    TempDir dir;
    StandinProcess server(dir.Path(), {"--seed", "demo"});
    RequestOptions old = Verified(server);
    old.http10 = true;
    Reply reply = Get(server.Url("/xml-api/listaccts?searchtype=user&search="), old);
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(Count(reply.body, "<acct>"), 40u);
    EXPECT_NE(reply.body.find("</listaccts>"), std::string::npos);
    EXPECT_NE(reply.headers.find("Connection: close"), std::string::npos) << reply.headers;

    CURL* handle = curl_easy_init();
    RequestOptions keep = Verified(server);
    keep.reuse = handle;
    EXPECT_EQ(Get(server.Url("/xml-api/version"), keep).connects, 1);
    Reply second = Get(server.Url("/xml-api/listpkgs"), keep);
    EXPECT_EQ(second.status, 200);
    EXPECT_EQ(second.connects, 0); // the connection was reused
    curl_easy_cleanup(handle);
}

TEST(StandinTransportTest, ParallelCreatesAreAllKept) {
    TempDir dir;
    StandinProcess server(dir.Path(), {"--seed", "demo"});
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 10; ++i) {
                std::string name = "par" + std::to_string(t) + "x" + std::to_string(i);
                Reply reply = Get(server.Url("/xml-api/createacct?username=" + name + "&domain=" + name +
                                             ".com&password=pw&plan=bronze"),
                                  Verified(server));
                if (Tag(reply.body, "status") != "1") {
                    ++failures;
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(Count(Get(server.Url("/xml-api/listaccts"), Verified(server)).body, "<acct>"), 120u);
}

TEST(StandinTransportTest, GeneratedSeedIsDeterministic) {
    TempDir a;
    TempDir b;
    StandinProcess first(a.Path(), {"--seed", "2000"});
    StandinProcess second(b.Path(), {"--seed", "2000"});
    std::string one = Get(first.Url("/xml-api/listaccts"), Verified(first)).body;
    EXPECT_EQ(Count(one, "<acct>"), 2000u);
    EXPECT_EQ(one, Get(second.Url("/xml-api/listaccts"), Verified(second)).body);
}

TEST(StandinTransportTest, FaultSwitchesShapeTheReplies) {
    TempDir dir;
    StandinProcess server(dir.Path(), {"--seed", "demo"});
    const std::string url = server.Url("/xml-api/listpkgs");
    const size_t fullSize = Get(url, Verified(server)).body.size();
    ASSERT_GT(fullSize, 1000u);

    SetFaults(server, "drop_after=100");
    Reply dropped = Get(url, Verified(server));
    EXPECT_EQ(dropped.code, CURLE_PARTIAL_FILE);
    EXPECT_EQ(dropped.body.size(), 100u);
    // The control endpoint itself is never faulted, and reset clears everything.
    EXPECT_NE(SetFaults(server, "reset=1").find("<drop_after>-1</drop_after>"), std::string::npos);
    EXPECT_EQ(Get(url, Verified(server)).body.size(), fullSize);

    SetFaults(server, "http500=1&times=1");
    Reply failed = Get(url, Verified(server));
    EXPECT_EQ(failed.status, 500);
    EXPECT_EQ(failed.body.find("<?xml"), std::string::npos);
    EXPECT_EQ(Get(url, Verified(server)).status, 200); // "times" used up

    SetFaults(server, "garbage=1&times=1");
    Reply garbage = Get(url, Verified(server));
    EXPECT_EQ(garbage.status, 200);
    EXPECT_FALSE(garbage.body.empty());
    EXPECT_EQ(garbage.body.find('<'), std::string::npos);

    SetFaults(server, "delay_ms=400&times=1");
    Reply delayed = Get(url, Verified(server));
    EXPECT_EQ(delayed.body.size(), fullSize);
    EXPECT_GE(delayed.seconds, 0.4);

    SetFaults(server, "rate=2000&times=1");
    Reply slow = Get(url, Verified(server));
    EXPECT_EQ(slow.body.size(), fullSize);
    EXPECT_GE(slow.seconds, static_cast<double>(fullSize) / 2000 - 0.25);

    SetFaults(server, "stall_after=60&stall_ms=30000&times=1");
    RequestOptions impatient = Verified(server);
    impatient.timeoutMs = 800;
    Reply stalled = Get(url, impatient);
    EXPECT_EQ(stalled.code, CURLE_OPERATION_TIMEDOUT);
    EXPECT_EQ(stalled.body.size(), 60u);

    Reply bad = Get(server.Url("/standin/faults?delay_ms=500000"), Verified(server));
    EXPECT_EQ(bad.status, 400);
    EXPECT_EQ(Tag(bad.body, "status"), "0");
    EXPECT_EQ(Get(server.Url("/standin/faults?colour=red"), Verified(server)).status, 400);
}

TEST(StandinTransportTest, FaultsFromTheCommandLine) {
    TempDir dir;
    StandinProcess server(dir.Path(), {"--http500", "--fault-times", "1"});
    EXPECT_EQ(Get(server.Url("/xml-api/version"), Verified(server)).status, 500);
    EXPECT_EQ(Get(server.Url("/xml-api/version"), Verified(server)).status, 200);
}

TEST(StandinTransportTest, StopDoesNotWaitForAStalledTransfer) {
    TempDir dir;
    StandinProcess server(dir.Path(), {"--seed", "demo", "--stall-after", "10", "--stall-ms", "120000"});
    Reply stalled;
    std::thread client([&] { stalled = Get(server.Url("/xml-api/listaccts"), Verified(server)); });
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(server.Stop(15000), 0);
    client.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_NE(stalled.code, CURLE_OK);
    EXPECT_EQ(stalled.body.size(), 10u);
}

TEST(StandinTransportTest, RequestLogAndTheSignOutPage) {
    TempDir dir;
    const std::filesystem::path log = dir.Path() / "requests.log";
    StandinProcess server(dir.Path() / "data", {"--request-log", log.string()});
    Get(server.Url("/xml-api/listaccts?searchtype=user&search=a%25b"), Verified(server));
    RequestOptions anonymous = Verified(server);
    anonymous.credentials = false;
    Get(server.Url("/xml-api/version"), anonymous);
    EXPECT_EQ(Get(server.Url("/?logout"), Verified(server)).status, 200);

    // One line per request as it arrived, the unauthenticated one too.
    std::istringstream lines(ReadFile(log));
    std::vector<std::vector<std::string>> rows;
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> fields;
        std::istringstream split(line);
        for (std::string field; std::getline(split, field, '\t');)
            fields.push_back(field);
        rows.push_back(fields);
    }
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{rows[0][0], "/xml-api/listaccts",
                                                 "searchtype=user&search=a%25b", kUser}));
    EXPECT_EQ(rows[0][0].size(), 24u); // 2024-01-02T03:04:05.678Z
    EXPECT_EQ(rows[1], (std::vector<std::string>{rows[1][0], "/xml-api/version", "-", "-"}));
    EXPECT_EQ(rows[2], (std::vector<std::string>{rows[2][0], "/", "logout", kUser}));

    // A stalled server stalls its sign-out page as well.
    SetFaults(server, "stall_after=0&stall_ms=30000&times=1");
    RequestOptions impatient = Verified(server);
    impatient.timeoutMs = 800;
    EXPECT_EQ(Get(server.Url("/?logout"), impatient).code, CURLE_OPERATION_TIMEDOUT);
}
