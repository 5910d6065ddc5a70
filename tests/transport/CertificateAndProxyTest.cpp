// Certificate decisions (pinning, the UntrustedCert setting, changed certificates) and requests
// through a real HTTP proxy.
#include "TransportTestSupport.h"

#include "core/server/GetXMLThreadUnit.h"
#include "core/settings/IniFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include <fstream>

using namespace parlomar;
using namespace parlomar::test;

namespace {

class Certificates : public ::testing::Test {
protected:
    TransportFixtureState state;
    TestCertificates certificates{state.dir.Path()};
    std::string PinOf(int port) {
        return ReadIniValue("Certificates", "127.0.0.1:" + std::to_string(port), 1);
    }
};

} // namespace

TEST_F(Certificates, UntrustedCertificateIsPinnedSilentlyOrAfterTheQuestion) {
    auto [cert, key] = certificates.Make("selfsigned", "IP:127.0.0.1", true);
    ProbeServer probe(cert, key);
    state.SignIn(probe.port, probe.user, probe.password);
    const std::string url = "https://127.0.0.1/xml-api/version";

    // Off: accepted without a question, and its fingerprint remembered in the settings file.
    EXPECT_EQ(HttpGet(url).status, 0);
    EXPECT_TRUE(state.ui->certificates.empty());
    const std::string pin = PinOf(probe.port);
    EXPECT_EQ(pin.size(), 32u * 3 - 1);
    EXPECT_EQ(HttpGet(url).status, 0);

    // On: the operator is asked; declining sends nothing and gives 1.
    state.Setting("Certificates", "127.0.0.1:" + std::to_string(probe.port), "0");
    state.Setting("General", "UntrustedCert", "1");
    CloseConnection();
    const auto before = probe.Requests().size();
    EXPECT_EQ(HttpGet(url).status, kStatusCertificateDeclined);
    ASSERT_EQ(state.ui->certificates.size(), 1u);
    const CertificateInfo& asked = state.ui->certificates.front();
    EXPECT_FALSE(asked.changed);
    EXPECT_EQ(asked.fingerprint, pin);
    EXPECT_EQ(asked.status, kStatusUntrustedCertificate);
    EXPECT_NE(asked.subject.find("CN=selfsigned"), std::string::npos);
    EXPECT_EQ(asked.port, static_cast<unsigned>(probe.port));
    // The validity line: made just now for 30 days, in UTC.
    auto seconds = [](const std::string& text) {
        std::tm tm{};
        char zone[8] = {};
        if (std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d %3s", &tm.tm_year, &tm.tm_mon, &tm.tm_mday,
                        &tm.tm_hour, &tm.tm_min, &tm.tm_sec, zone) != 7 ||
            std::string(zone) != "UTC")
            return std::time_t(-1);
        tm.tm_year -= 1900;
        tm.tm_mon -= 1;
        return ::timegm(&tm);
    };
    const std::time_t start = seconds(asked.notBefore);
    EXPECT_LE(std::llabs(static_cast<long long>(start - std::time(nullptr))), 600) << asked.notBefore;
    EXPECT_EQ(seconds(asked.notAfter) - start, 30 * 86400) << asked.notBefore << " to " << asked.notAfter;
    EXPECT_EQ(probe.Requests().size(), before);

    state.ui->acceptCertificate = true;
    EXPECT_EQ(HttpGet(url).status, 0);
    EXPECT_EQ(PinOf(probe.port), pin);
    EXPECT_EQ(state.ui->certificates.size(), 2u);
}

TEST_F(Certificates, ChangedCertificateIsAlwaysAskedAbout) {
    SetExtraTrustedAuthorities(certificates.caCert);
    auto [cert, key] = certificates.Make("trusted", "IP:127.0.0.1", false);
    ProbeServer probe(cert, key);
    state.SignIn(probe.port, probe.user, probe.password);
    const std::string url = "https://127.0.0.1/xml-api/version";
    const std::string key127 = "127.0.0.1:" + std::to_string(probe.port);

    // A certificate the authorities vouch for needs no pin, but a remembered one that differs wins,
    // even with UntrustedCert off.
    EXPECT_EQ(HttpGet(url).status, 0);
    EXPECT_EQ(PinOf(probe.port), "0");
    state.Setting("Certificates", key127, "AA:BB");
    CloseConnection();
    EXPECT_EQ(HttpGet(url).status, kStatusCertificateDeclined);
    ASSERT_EQ(state.ui->certificates.size(), 1u);
    EXPECT_TRUE(state.ui->certificates[0].changed);
    EXPECT_EQ(state.ui->certificates[0].previousFingerprint, "AA:BB");
    const auto sent = probe.Requests().size();
    EXPECT_EQ(HttpGet(url).status, kStatusCertificateDeclined);
    EXPECT_EQ(probe.Requests().size(), sent);

    state.ui->acceptCertificate = true;
    EXPECT_EQ(HttpGet(url).status, 0);
    EXPECT_EQ(PinOf(probe.port), state.ui->certificates.back().fingerprint);

    // Without anybody to ask, the changed certificate is refused with a certificate status.
    state.Setting("Certificates", key127, "CC:DD");
    CloseConnection();
    SetTransportUi(nullptr);
    EXPECT_EQ(HttpGet(url).status, kStatusUntrustedCertificate);
}

TEST_F(Certificates, PinChangedWhileSignedInCountsOnTheNextRequest) {
    auto [cert, key] = certificates.Make("pinned", "IP:127.0.0.1", true);
    ProbeServer probe(cert, key);
    state.SignIn(probe.port, probe.user, probe.password);
    const std::string url = "https://127.0.0.1/xml-api/version";
    const std::string pinKey = "127.0.0.1:" + std::to_string(probe.port);
    // On a connection kept open, and on new connections that resume the TLS session: the pin is
    // read for every request, never only when a handshake checks the certificate.
    for (int perConnection : {0, 1}) {
        SCOPED_TRACE(perConnection);
        probe.SetRequestsPerConnection(perConnection);
        CloseConnection();
        state.Setting("General", "UntrustedCert", "0");
        state.Setting("Certificates", pinKey, "0");
        state.ui->certificates.clear();
        EXPECT_EQ(HttpGet(url).status, 0); // pinned without a question
        const std::string pin = PinOf(probe.port);
        EXPECT_EQ(HttpGet(url).status, 0);
        EXPECT_TRUE(state.ui->certificates.empty());

        // Another fingerprint remembered meanwhile: asked about, and declined, nothing is sent.
        const auto sent = probe.Requests().size();
        state.Setting("Certificates", pinKey, "AA:BB");
        EXPECT_EQ(HttpGet(url).status, kStatusCertificateDeclined);
        ASSERT_EQ(state.ui->certificates.size(), 1u);
        EXPECT_TRUE(state.ui->certificates[0].changed);
        EXPECT_EQ(state.ui->certificates[0].fingerprint, pin);
        // The pin removed, with questions on: the untrusted certificate is asked about again.
        state.Setting("Certificates", pinKey, "0");
        state.Setting("General", "UntrustedCert", "1");
        EXPECT_EQ(HttpGet(url).status, kStatusCertificateDeclined);
        ASSERT_EQ(state.ui->certificates.size(), 2u);
        EXPECT_FALSE(state.ui->certificates[1].changed);
        EXPECT_EQ(probe.Requests().size(), sent);
        // Accepted: pinned again and sent.
        state.ui->acceptCertificate = true;
        EXPECT_EQ(HttpGet(url).status, 0);
        EXPECT_EQ(PinOf(probe.port), pin);
        EXPECT_EQ(probe.Requests().size(), sent + 1);
        state.ui->acceptCertificate = false;
    }
}

namespace {

// tinyproxy on a free port, optionally with Basic credentials.
struct Tinyproxy {
    Tinyproxy(const std::filesystem::path& folder, const std::string& credentials) {
        port = FreePort();
        const auto conf = folder / ("tinyproxy-" + std::to_string(port) + ".conf");
        std::ofstream(conf) << "Port " << port << "\nListen 127.0.0.1\nTimeout 30\nMaxClients 10\n"
                            << "LogLevel Info\nAllow 127.0.0.1\n"
                            << (credentials.empty() ? "" : "BasicAuth " + credentials + "\n");
        process = std::make_unique<ChildProcess>(
            std::vector<std::string>{"/usr/bin/tinyproxy", "-d", "-c", conf.string()},
            "Accepting connections");
    }
    int port = 0;
    std::unique_ptr<ChildProcess> process;
};

bool TinyproxyAvailable() {
    return std::filesystem::exists("/usr/bin/tinyproxy");
}

} // namespace

TEST_F(Certificates, RequestsGoThroughTheProxyWithItsCredentials) {
    if (!TinyproxyAvailable())
        GTEST_SKIP() << "tinyproxy is not installed";
    auto [cert, key] = certificates.Make("proxied", "IP:127.0.0.1", true);
    ProbeServer probe(cert, key);
    state.SignIn(probe.port, probe.user, probe.password);
    const std::string url = "https://127.0.0.1/xml-api/version";

    Tinyproxy open(state.dir.Path(), "");
    state.Setting("Proxy", "USE", "1");
    state.Setting("Proxy", "ADDR", "127.0.0.1");
    state.Setting("Proxy", "PORT", std::to_string(open.port));
    EXPECT_EQ(HttpGet(url).status, 0);
    EXPECT_EQ(probe.Requests().size(), 1u); // the credentials go with the first request

    Tinyproxy guarded(state.dir.Path(), "puser ppass");
    state.Setting("Proxy", "PORT", std::to_string(guarded.port));
    CloseConnection();
    EXPECT_EQ(HttpGet(url).status, kStatusInternalError); // the proxy refuses the tunnel
    state.Setting("Proxy", "USER", "puser");
    state.Setting("Proxy", "PSW", EncipheredForTest("ppass"));
    CloseConnection();
    EXPECT_EQ(HttpGet(url).status, 0);
    EXPECT_EQ(probe.Requests().size(), 2u);

    // A proxy that is down.
    state.Setting("Proxy", "PORT", std::to_string(FreePort()));
    CloseConnection();
    EXPECT_EQ(HttpGet(url).status, kStatusCannotConnect);
}

// A worker's request (list fetch, a window's request) does not ask from inside the transfer: the
// question comes on the GUI thread once the request has ended without sending, and an accepted
// certificate sends the same request again.
TEST_F(Certificates, WorkerRequestsAskAfterTheRequestAndSendAgain) {
    ResetFetchShutdown();
    auto [cert, key] = certificates.Make("selfsigned", "IP:127.0.0.1", true);
    ProbeServer probe(cert, key);
    state.SignIn(probe.port, probe.user, probe.password);
    state.Setting("General", "UntrustedCert", "1");
    std::vector<HttpReply> replies;
    auto fetch = [&] {
        TGetXMLThread thread(TestSession(), "https://127.0.0.1/xml-api/version", 0,
                             [&replies](std::uint8_t, const HttpReply& reply) { replies.push_back(reply); });
        thread.Start();
        const std::size_t before = replies.size();
        ASSERT_TRUE(state.ui->PumpUntil([&] { return replies.size() > before; }));
        EXPECT_TRUE(WaitForFetchThreads(std::chrono::seconds(5)));
    };

    // Declined: nothing reached the server, the reply says so.
    fetch();
    ASSERT_EQ(state.ui->certificates.size(), 1u);
    EXPECT_EQ(replies.back().status, kStatusCertificateDeclined);
    EXPECT_TRUE(probe.Requests().empty());
    // Accepted: asked once more, then the one request is sent and its reply delivered.
    state.ui->acceptCertificate = true;
    fetch();
    EXPECT_EQ(state.ui->certificates.size(), 2u);
    EXPECT_EQ(replies.back().status, kStatusOk);
    EXPECT_EQ(probe.Requests().size(), 1u);
    EXPECT_EQ(PinOf(probe.port), state.ui->certificates.back().fingerprint);
    EXPECT_FALSE(state.ui->certificateOffGuiThread);
}
