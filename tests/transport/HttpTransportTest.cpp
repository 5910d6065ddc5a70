// HttpGet against real servers on loopback: the checks before anything is sent, what goes over the
// wire, the reading rules, the transport statuses, faults and responsiveness.
#include "TransportTestSupport.h"

#include "core/settings/Localization.h"

#include <gtest/gtest.h>

#include <atomic>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

using namespace parlomar;
using namespace parlomar::test;

namespace {

class HttpTransport : public ::testing::Test {
protected:
    TransportFixtureState state;
};

// A port that accepts TCP connections (the kernel completes them) but never answers.
struct SilentListener {
    SilentListener() {
        fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(fd, 8);
        socklen_t size = sizeof address;
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
        port = ntohs(address.sin_port);
    }
    ~SilentListener() { close(fd); }
    int fd = -1;
    int port = 0;
};

} // namespace

TEST_F(HttpTransport, UrlAndProxyChecksDecideWithoutSendingAnything) {
    ProbeServer probe;
    state.SignIn(probe.port, probe.user, probe.password);

    EXPECT_EQ(SplitUrl("HTTPS://Host.example/xml-api/x?y=http://z", 1), "http://");
    EXPECT_EQ(SplitUrl("https://host.example/xml-api/x", 2), "host.example");
    EXPECT_EQ(SplitUrl("https://host.example/xml-api/x?a=1", 3), "/xml-api/x?a=1");
    EXPECT_EQ(SplitUrl("https://host.example\\?logout", 2), "");

    EXPECT_EQ(HttpGet("https://abcd/xml-api/version").status, 6);
    EXPECT_EQ(HttpGet("https://127.0.0.1\\?logout").status, 6); // no "/" after the host
    EXPECT_EQ(HttpGet("https://127.0.0.1/xml").status, 7);
    EXPECT_EQ(HttpGet("ftp://abc/xml-api/version").status, 10); // the later check wins

    state.Setting("Proxy", "USE", "1");
    state.Setting("Proxy", "ADDR", "1.2.3.4");
    state.Setting("Proxy", "PORT", "");
    EXPECT_EQ(HttpGet("https://127.0.0.1/xml-api/version").status, 9); // "1.2.3.4:" is also too short
    state.Setting("Proxy", "ADDR", "a");
    state.Setting("Proxy", "PORT", "80");
    EXPECT_EQ(HttpGet("https://127.0.0.1/xml-api/version").status, 8);

    EXPECT_TRUE(probe.Requests().empty());
    EXPECT_TRUE(state.ui->statuses.empty());

    const SessionPtr typed = ServerSession::Make({" 127.0. 0.1 ", 1, "u", "p"});
    EXPECT_EQ(typed->BaseUrl(), "https://127.0.0.1");
    EXPECT_EQ(typed->Address(), "127.0.0.1");
}

TEST_F(HttpTransport, SendsHttp10GetWithCredentialsToTheFirstHostUntilClosed) {
    ProbeServer probe;
    state.SignIn(probe.port, probe.user, probe.password);

    HttpReply reply = HttpGet("http://127.0.0.1/xml-api/version");
    EXPECT_EQ(reply.status, 0);
    EXPECT_EQ(reply.httpStatus, 200);
    EXPECT_EQ(reply.text, "<?xml version=\"1.0\"?><probe>ok</probe>");
    auto requests = probe.Requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.back().target, "/xml-api/version");
    EXPECT_EQ(requests.back().version, "HTTP/1.0");
    EXPECT_EQ(requests.back().userAgent + " ", AppName); // the server trims the trailing blank
    EXPECT_EQ(state.ui->statuses.front(), std::make_pair(0, std::string()));
    EXPECT_EQ(state.ui->statuses.back(), std::make_pair(2, std::string()));

    // The request goes to the session's host whatever the URL names; a session's values are its own.
    reply = HttpGet("http://other-host.example/xml-api/listpkgs");
    EXPECT_EQ(reply.status, 0);
    EXPECT_EQ(probe.Requests().back().target, "/xml-api/listpkgs");
    const SessionPtr first = state.session;
    state.SignIn(probe.port, probe.user, "wrong");
    EXPECT_EQ(parlomar::HttpGet(first, "http://127.0.0.1/xml-api/version").httpStatus, 200);
    reply = HttpGet("http://127.0.0.1/xml-api/version");
    EXPECT_EQ(reply.status, 0); // an HTTP error is a reply; the caller judges it
    EXPECT_EQ(reply.httpStatus, 401);

    // Bytes that cannot stand in a request line are escaped rather than breaking the request.
    CloseConnection();
    state.SignIn(probe.port, probe.user, probe.password);
    EXPECT_EQ(HttpGet("http://127.0.0.1/xml-api/x?a=b c\r\nX: y").status, 0);
    EXPECT_EQ(probe.Requests().back().target, "/xml-api/x?a=b%20c%0D%0AX:%20y");
}

TEST_F(HttpTransport, ReadsInPiecesWithZeroByteCutAndCyclingDots) {
    ProbeServer probe;
    state.SignIn(probe.port, probe.user, probe.password);

    // A 0 byte ends the text of its 514-byte piece only; the next piece is read again.
    const std::string first = std::string(10, 'a') + '\0' + std::string(503, 'x');
    probe.SetReply(first + std::string(100, 'b'), 7);
    EXPECT_EQ(HttpGet("http://127.0.0.1/xml-api/version").text, std::string(10, 'a') + std::string(100, 'b'));
    const std::string exact(514, 'e');
    probe.SetReply(exact);
    EXPECT_EQ(HttpGet("http://127.0.0.1/xml-api/version").text, exact);

    // A slow reply: the dots cycle ".", "..", "...", "" and are shown on the GUI thread.
    state.ui->statuses.clear();
    const std::string slow(3000, 's');
    probe.SetReply(slow, 200, std::chrono::milliseconds(120));
    EXPECT_EQ(HttpGet("http://127.0.0.1/xml-api/version").text, slow);
    const auto dots = state.ui->DotSuffixes();
    ASSERT_GE(dots.size(), 5u);
    const std::string cycle[] = {".", "..", "...", ""};
    for (std::size_t i = 0; i < dots.size(); ++i)
        EXPECT_EQ(dots[i], cycle[i % 4]) << i;
    EXPECT_FALSE(state.ui->statusOffGuiThread);

    // The end of the session ends the read after the current piece: status 2 and no reply.
    const std::string longReply(60 * 514, 'L');
    probe.SetReply(longReply, 514, std::chrono::milliseconds(20));
    std::thread ender([this] {
        while (state.ui->DotSuffixes().size() <= 8)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        state.session->End();
    });
    const auto before = std::chrono::steady_clock::now();
    HttpReply reply = HttpGet("http://127.0.0.1/xml-api/version");
    ender.join();
    EXPECT_EQ(reply.status, kStatusRequestNotOpened);
    EXPECT_TRUE(reply.text.empty());
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(60 * 20));
}

TEST_F(HttpTransport, TransportFailuresGiveTheirStatusNumbers) {
    SetTransportUi(nullptr); // nobody to ask about a certificate
    state.Setting("General", "UntrustedCert", "1");
    state.SignIn(FreePort());
    EXPECT_EQ(HttpGet("https://127.0.0.1/xml-api/version").status, kStatusCannotConnect);
    // A label longer than 63 characters: the resolver refuses the name without asking anyone.
    const std::string longName = std::string(64, 'n') + ".invalid";
    EXPECT_EQ(parlomar::HttpGet(ServerSession::Make({longName, 443, "u", ""}),
                                "https://" + longName + "/xml-api/version")
                  .status,
              kStatusNameNotResolved);

    CloseConnection();
    SilentListener silent;
    state.SignIn(silent.port);
    SetTimeLimits(std::chrono::seconds(1), std::chrono::seconds(1));
    EXPECT_EQ(HttpGet("https://127.0.0.1/xml-api/version").status, kStatusTimeout);
    SetTimeLimits(std::chrono::seconds(30), std::chrono::seconds(60));

    TestCertificates certificates(state.dir.Path());
    SetExtraTrustedAuthorities(certificates.caCert);
    const struct {
        std::string name;
        std::string altNames;
        bool selfSigned;
        int days;
        TransportStatus status;
    } cases[] = {
        {"selfsigned", "IP:127.0.0.1", true, 30, kStatusUntrustedCertificate},
        {"othername", "DNS:other.example", false, 30, kStatusCertificateName},
        {"expired", "IP:127.0.0.1", false, -1, kStatusCertificateDate},
        {"good", "IP:127.0.0.1", false, 30, kStatusOk},
    };
    for (const auto& c : cases) {
        auto [cert, key] = certificates.Make(c.name, c.altNames, c.selfSigned, c.days);
        ProbeServer probe(cert, key);
        CloseConnection();
        state.SignIn(probe.port, probe.user, probe.password);
        EXPECT_EQ(HttpGet("https://127.0.0.1/xml-api/version").status, c.status) << c.name;
        // Nothing reaches a server whose certificate was not accepted.
        EXPECT_EQ(probe.Requests().empty(), c.status != kStatusOk) << c.name;
    }
}

TEST_F(HttpTransport, HandshakeTimeoutAndConnectionClosedWhileARequestRuns) {
    SilentListener silent;
    state.SignIn(silent.port);
    SetTimeLimits(std::chrono::seconds(2), std::chrono::seconds(2));
    // The TLS handshake never completes: the request ends at the time limit.
    EXPECT_EQ(HttpGet("https://127.0.0.1/xml-api/version").status, kStatusTimeout);
    SetTimeLimits(std::chrono::seconds(30), std::chrono::seconds(60));

    if (!StandinAvailable())
        GTEST_SKIP() << "the stand-in server is not built";
    Standin standin(state.dir.Path() / "standin");
    CloseConnection();
    state.SignIn(standin.port);
    standin.SetFaults("delay_ms=2000&times=1");
    // Closing the connection while the request runs is safe; the request finishes on it.
    std::thread closer([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        CloseConnection();
    });
    HttpReply reply = HttpGet("https://127.0.0.1/xml-api/version");
    closer.join();
    EXPECT_EQ(reply.status, 0);
    EXPECT_NE(reply.text.find("<version>"), std::string::npos);
}

TEST_F(HttpTransport, StandinFaultsGiveStatusesNotCrashes) {
    if (!StandinAvailable())
        GTEST_SKIP() << "the stand-in server is not built";
    Standin standin(state.dir.Path() / "standin");
    state.SignIn(standin.port);
    SetTransportUi(nullptr); // on a thread of its own, as the list fetch does

    standin.SetFaults("drop_after=100&times=1");
    HttpReply reply = HttpGet("https://127.0.0.1/xml-api/listaccts?searchtype=user&search=");
    EXPECT_TRUE(reply.status == kStatusConnectionAborted || reply.status == kStatusConnectionReset)
        << reply.status;
    EXPECT_TRUE(reply.text.empty());

    SetTimeLimits(std::chrono::seconds(30), std::chrono::seconds(2));
    standin.SetFaults("stall_after=100&stall_ms=10000&times=1");
    EXPECT_EQ(HttpGet("https://127.0.0.1/xml-api/listaccts?searchtype=user&search=").status, kStatusTimeout);
    SetTimeLimits(std::chrono::seconds(30), std::chrono::seconds(60));

    standin.SetFaults("http500=1&times=1");
    reply = HttpGet("https://127.0.0.1/xml-api/version");
    EXPECT_EQ(reply.status, 0);
    EXPECT_EQ(reply.httpStatus, 500);
    EXPECT_FALSE(reply.text.empty());

    CloseConnection();
    state.SignIn(standin.port, "root", "not-the-password");
    reply = HttpGet("https://127.0.0.1/xml-api/version");
    EXPECT_EQ(reply.status, 0);
    EXPECT_EQ(reply.httpStatus, 401);
    EXPECT_EQ(reply.text.find("<?xml"), std::string::npos);
}

TEST_F(HttpTransport, SessionsStoppedRequestsAndTimeLimits) {
    TestCertificates certificates(state.dir.Path());
    auto [cert, key] = certificates.Make("probe", "IP:127.0.0.1", true);
    ProbeServer probe(cert, key);
    state.SignIn(probe.port, probe.user, probe.password);
    probe.SetReply("<?xml?><ok/>");
    const std::string url = "https://127.0.0.1/xml-api/version";
    const SessionPtr session = state.session;
    EXPECT_EQ(SessionRequests(session)(url).status, kStatusOk);
    const std::shared_ptr<void> held = session->HoldConnection();
    ASSERT_TRUE(held);

    // Once the session has ended its requests are not sent; a held connection still takes one.
    session->End();
    const auto sent = probe.Requests().size();
    EXPECT_EQ(SessionRequests(session)(url).status, kStatusRequestNotOpened);
    EXPECT_EQ(probe.Requests().size(), sent);
    auto farewell = std::make_shared<RequestControl>();
    farewell->connection = held;
    farewell->quiet = true;
    state.ui->statuses.clear();
    EXPECT_EQ(HttpGet(url, farewell).status, kStatusOk);
    EXPECT_EQ(probe.Requests().size(), sent + 1);
    EXPECT_TRUE(state.ui->statuses.empty());

    // A stalled reply ends at the time limit, and a stopped request from another thread at once,
    // without a reply.
    SilentListener silent;
    state.SignIn(silent.port);
    CloseConnection();
    auto limited = std::make_shared<RequestControl>();
    limited->timeLimit = std::chrono::milliseconds(500);
    const auto start = std::chrono::steady_clock::now();
    const std::string plainUrl = "http://127.0.0.1/xml-api/version";
    EXPECT_EQ(HttpGet(plainUrl, limited).status, kStatusTimeout);
    auto stopped = std::make_shared<RequestControl>();
    std::thread stopper([stopped] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        stopped->stop = true;
    });
    const HttpReply reply = HttpGet(plainUrl, stopped);
    stopper.join();
    EXPECT_EQ(reply.status, kStatusRequestNotOpened);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

TEST_F(HttpTransport, OneRequestPerCallAndOneFallbackForAnotherScheme) {
    TestCertificates certificates(state.dir.Path());
    auto [cert, key] = certificates.Make("probe", "IP:127.0.0.1", true);
    ProbeServer probe(cert, key);
    state.SignIn(probe.port, probe.user, probe.password);
    const std::string url = "https://127.0.0.1/xml-api/version";

    // Over TLS the credentials go with the first request: three calls, three requests.
    for (int call = 0; call < 3; ++call)
        EXPECT_EQ(HttpGet(url).httpStatus, 200);
    auto requests = probe.Requests();
    ASSERT_EQ(requests.size(), 3u);
    for (const auto& request : requests)
        EXPECT_EQ(request.authorization.rfind("Basic ", 0), 0u) << request.authorization;
    // Refused credentials of a Basic server are not sent again.
    CloseConnection();
    state.SignIn(probe.port, probe.user, "wrong");
    EXPECT_EQ(HttpGet(url).httpStatus, 401);
    EXPECT_EQ(probe.Requests().size(), 4u);

    // A server that asks for another scheme is answered in it, and Basic is not tried again.
    probe.scheme = "Digest";
    CloseConnection();
    state.SignIn(probe.port, probe.user, probe.password);
    EXPECT_EQ(HttpGet(url).httpStatus, 200);
    EXPECT_EQ(HttpGet(url).httpStatus, 200);
    requests = probe.Requests();
    ASSERT_GT(requests.size(), 6u);
    EXPECT_EQ(requests[4].authorization.rfind("Basic ", 0), 0u);
    for (std::size_t i = 5; i < requests.size(); ++i)
        EXPECT_EQ(requests[i].authorization.find("Basic"), std::string::npos) << i;
    EXPECT_EQ(requests.back().authorization.rfind("Digest ", 0), 0u);
}

TEST_F(HttpTransport, ConcurrentRequestsOnTwoThreadsEachGetTheirReply) {
    // A GUI request and a list fetch at the same time: each runs on a connection of its own.
    ProbeServer probe;
    probe.SetReply(std::string(20000, 'c'), 2000, std::chrono::milliseconds(2));
    state.SignIn(probe.port, probe.user, probe.password);
    SetTransportUi(nullptr);
    std::atomic<int> good{0};
    auto calls = [&good] {
        for (int i = 0; i < 10; ++i) {
            const HttpReply reply = HttpGet("http://127.0.0.1/xml-api/listpkgs");
            good += reply.status == 0 && reply.text == std::string(20000, 'c');
        }
    };
    std::thread fetch(calls);
    calls();
    fetch.join();
    EXPECT_EQ(good.load(), 20);
}

TEST_F(HttpTransport, ReplyOverTheLimitEndsWithAnError) {
    ProbeServer probe;
    state.SignIn(probe.port, probe.user, probe.password);
    SetReplyLimit(5000);
    probe.SetReply(std::string(5000, 'a'), 700);
    EXPECT_EQ(HttpGet("http://127.0.0.1/xml-api/version").text.size(), 5000u);
    probe.SetReply(std::string(5001, 'b'), 700);
    const HttpReply reply = HttpGet("http://127.0.0.1/xml-api/version");
    EXPECT_EQ(reply.status, kStatusReplyTooLarge);
    EXPECT_TRUE(reply.text.empty());
    probe.SetReply("<?xml?><ok/>");
    EXPECT_EQ(HttpGet("http://127.0.0.1/xml-api/version").text, "<?xml?><ok/>");
}

TEST_F(HttpTransport, RenegotiationIsRefused) {
    TestCertificates certificates(state.dir.Path());
    auto [cert, key] = certificates.Make("renegotiating", "IP:127.0.0.1", true);
    RenegotiatingServer server(cert, key);
    state.SignIn(server.port);
    const std::string url = "https://127.0.0.1/xml-api/version";
    // The first request opens the connection on a thread of its own, as a list fetch does, and ends
    // with it; the second goes out on that connection from the GUI thread and is met with a new
    // handshake, which the client does not take part in (so nothing of the first request's check
    // is ever used again).
    HttpReply first;
    std::thread([&first, &url] { first = HttpGet(url); }).join();
    EXPECT_EQ(first.status, 0);
    // The server gives up on the connection; the request goes out again on a new one.
    EXPECT_EQ(HttpGet(url).status, 0);
    EXPECT_EQ(server.Refusals(), 1);
    EXPECT_EQ(HttpGet(url).status, 0);
    EXPECT_EQ(server.Renegotiations(), 0);
}

// A request's reader takes the body while it arrives: exactly the reply's text (0-byte cuts
// included), from the start again when the request goes out once more, finished only when a reply
// is handed back.
TEST_F(HttpTransport, ReaderTakesTheBodyAsItArrives) {
    struct Recorder : ReplyReader {
        std::string text;
        int restarts = 0, takes = 0, finishes = 0;
        void Restart() override {
            text.clear();
            ++restarts;
        }
        void Take(std::string_view bytes) override {
            text.append(bytes);
            ++takes;
        }
        void Finish() override { ++finishes; }
        bool takesBody = false;
        bool TakesBody() const override { return takesBody; }
    };
    TestCertificates certificates(state.dir.Path());
    auto [cert, key] = certificates.Make("probe", "IP:127.0.0.1", true);
    ProbeServer probe(cert, key);
    probe.scheme = "Digest"; // the first request is answered with a page asking for Digest
    state.SignIn(probe.port, probe.user, probe.password);
    auto recorder = std::make_shared<Recorder>();
    auto control = std::make_shared<RequestControl>();
    control->reader = recorder;

    probe.SetReply(std::string(10, 'a') + '\0' + std::string(503, 'x') + std::string(3000, 'y'), 300);
    const HttpReply reply = HttpGet("https://127.0.0.1/xml-api/listaccts", control);
    EXPECT_EQ(reply.status, 0);
    EXPECT_EQ(reply.text, std::string(10, 'a') + std::string(3000, 'y'));
    EXPECT_EQ(recorder->text, reply.text);
    EXPECT_GE(recorder->restarts, 2); // at least the request in Basic and again in Digest
    EXPECT_GT(recorder->takes, 2);
    EXPECT_EQ(recorder->finishes, 1);

    SetReplyLimit(1000);
    EXPECT_EQ(HttpGet("https://127.0.0.1/xml-api/listaccts", control).status, kStatusReplyTooLarge);
    SetReplyLimit(kMaxReplyBytes);
    EXPECT_EQ(recorder->finishes, 1);

    // A reader that takes the body alone: the reply's text stays empty, the size limit still holds.
    recorder->takesBody = true;
    const HttpReply taken = HttpGet("https://127.0.0.1/xml-api/listaccts", control);
    EXPECT_EQ(taken.status, 0);
    EXPECT_EQ(taken.text, "");
    EXPECT_EQ(recorder->text, std::string(10, 'a') + std::string(3000, 'y'));
    SetReplyLimit(1000);
    EXPECT_EQ(HttpGet("https://127.0.0.1/xml-api/listaccts", control).status, kStatusReplyTooLarge);
    SetReplyLimit(kMaxReplyBytes);
}
