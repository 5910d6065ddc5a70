// HttpGet against real servers on loopback: the checks before anything is sent, what goes over the
// wire, the reading rules, the transport statuses, faults and responsiveness.
#include "TransportTestSupport.h"

#include "settings/Localization.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

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

    SetSignInValues({" 127.0. 0.1 ", 1, "u", "p"});
    EXPECT_EQ(ServerBaseUrl(), "https://127.0.0.1");
    EXPECT_EQ(GetSignInValues().serverAddress, "127.0.0.1");
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

    // The connection stays bound to its host and credentials until it is closed.
    reply = HttpGet("http://other-host.example/xml-api/listpkgs");
    EXPECT_EQ(reply.status, 0);
    EXPECT_EQ(probe.Requests().back().target, "/xml-api/listpkgs");
    state.SignIn(probe.port, probe.user, "wrong");
    EXPECT_EQ(HttpGet("http://127.0.0.1/xml-api/version").httpStatus, 200);
    CloseConnection();
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

    // AbortFlag ends the read after the current piece: status 0 and the text so far.
    const std::string longReply(60 * 514, 'L');
    probe.SetReply(longReply, 514, std::chrono::milliseconds(20));
    state.ui->onPump = [this] {
        if (state.ui->DotSuffixes().size() > 8)
            AbortFlag = 1;
    };
    HttpReply reply = HttpGet("http://127.0.0.1/xml-api/version");
    state.ui->onPump = nullptr;
    EXPECT_EQ(reply.status, 0);
    EXPECT_LT(reply.text.size(), longReply.size());
    EXPECT_GT(reply.text.size(), 0u);
    EXPECT_EQ(reply.text, longReply.substr(0, reply.text.size()));
}

TEST_F(HttpTransport, TransportFailuresGiveTheirStatusNumbers) {
    SetTransportUi(nullptr); // nobody to ask about a certificate
    state.Setting("General", "UntrustedCert", "1");
    state.SignIn(FreePort());
    EXPECT_EQ(HttpGet("https://127.0.0.1/xml-api/version").status, kStatusCannotConnect);
    CloseConnection();
    EXPECT_EQ(HttpGet("https://nothing.invalid/xml-api/version").status, kStatusNameNotResolved);

    CloseConnection();
    SilentListener silent;
    state.SignIn(silent.port);
    SetTimeLimits(std::chrono::seconds(1), std::chrono::seconds(1));
    EXPECT_EQ(HttpGet("https://127.0.0.1/xml-api/version").status, kStatusTimeout);
    SetTimeLimits(std::chrono::seconds(30), std::chrono::seconds(60));

    TestCertificates certificates(state.dir.path);
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

TEST_F(HttpTransport, RequestOnGuiThreadKeepsEventsFlowing) {
    SilentListener silent;
    state.SignIn(silent.port);
    SetTimeLimits(std::chrono::seconds(2), std::chrono::seconds(2));
    // The TLS handshake never completes: the GUI thread keeps pumping until the time limit.
    EXPECT_EQ(HttpGet("https://127.0.0.1/xml-api/version").status, kStatusTimeout);
    EXPECT_GT(state.ui->pumps.load(), 50);
    SetTimeLimits(std::chrono::seconds(30), std::chrono::seconds(60));

    if (!StandinAvailable())
        GTEST_SKIP() << "the stand-in server is not built";
    Standin standin(state.dir.path / "standin");
    CloseConnection();
    state.SignIn(standin.port);
    standin.SetFaults("delay_ms=2000&times=1");
    state.ui->pumps = 0;
    // Closing the connection while the request runs is safe; the request finishes on it.
    state.ui->onPump = [this] {
        if (state.ui->pumps == 20)
            CloseConnection();
    };
    HttpReply reply = HttpGet("https://127.0.0.1/xml-api/version");
    state.ui->onPump = nullptr;
    EXPECT_EQ(reply.status, 0);
    EXPECT_NE(reply.text.find("<version>"), std::string::npos);
    EXPECT_GT(state.ui->pumps.load(), 50);
}

TEST_F(HttpTransport, StandinFaultsGiveStatusesNotCrashes) {
    if (!StandinAvailable())
        GTEST_SKIP() << "the stand-in server is not built";
    Standin standin(state.dir.path / "standin");
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
    ProbeServer probe;
    state.SignIn(probe.port, probe.user, probe.password);
    probe.SetReply("<?xml?><ok/>");
    const std::string url = "http://127.0.0.1/xml-api/version";
    const std::uint64_t session = BeginSession();
    EXPECT_EQ(SessionRequests(session)(url).status, kStatusOk);
    const std::shared_ptr<void> held = HoldConnection();
    ASSERT_TRUE(held);

    // Once the session has ended its requests are not sent; a held connection still takes one.
    const auto signedRequests = [&probe] {
        const auto all = probe.Requests();
        return std::count_if(all.begin(), all.end(), [](const auto& r) { return !r.authorization.empty(); });
    };
    BeginSession();
    const auto sent = signedRequests();
    EXPECT_EQ(SessionRequests(session)(url).status, kStatusRequestNotOpened);
    EXPECT_EQ(signedRequests(), sent);
    auto farewell = std::make_shared<RequestControl>();
    farewell->connection = held;
    farewell->quiet = true;
    state.ui->statuses.clear();
    EXPECT_EQ(HttpGet(url, farewell).status, kStatusOk);
    EXPECT_EQ(signedRequests(), sent + 1);
    EXPECT_TRUE(state.ui->statuses.empty());

    // A stalled reply ends at the time limit, and a stopped request from another thread at once,
    // without a reply.
    SilentListener silent;
    state.SignIn(silent.port);
    CloseConnection();
    auto limited = std::make_shared<RequestControl>();
    limited->timeLimit = std::chrono::milliseconds(500);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(HttpGet(url, limited).status, kStatusTimeout);
    auto stopped = std::make_shared<RequestControl>();
    std::thread stopper([stopped] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        stopped->stop = true;
    });
    const HttpReply reply = HttpGet(url, stopped);
    stopper.join();
    EXPECT_EQ(reply.status, kStatusRequestNotOpened);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}
