#pragma once

#include "TestSupport.h"

#include "core/server/HttpTransport.h"
#include "core/server/TransportUi.h"

#include <atomic>
#include <chrono>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace parlomar::test {

// The GUI as the core sees it, with the constructing thread as the GUI thread: posted functions run
// when events are processed, and every call is recorded.
class RecorderUi : public TransportUi {
public:
    std::thread::id guiThread = std::this_thread::get_id();
    std::mutex mutex;
    std::deque<std::function<void()>> posted;
    std::vector<std::pair<int, std::string>> statuses;
    bool statusOffGuiThread = false;
    std::vector<std::string> messages;
    std::vector<std::string> questions;
    std::deque<bool> answers; // answers to AskQuestion in order; false when none left
    std::vector<CertificateInfo> certificates;
    bool acceptCertificate = false;
    bool certificateOffGuiThread = false;

    void ShowRequestStatus(int n, const std::string& suffix) override;
    bool IsGuiThread() override;
    // Runs what was posted to the GUI thread so far (the test thread stands for it).
    void RunPosted();
    bool AskCertificate(const CertificateInfo& info) override;
    void ShowMessage(const std::string& text) override;
    bool AskQuestion(const std::string& text) override;
    void PostToGuiThread(std::function<void()> function) override;

    // Processes events until done() holds or the time is up; returns done().
    bool PumpUntil(const std::function<bool()>& done,
                   std::chrono::milliseconds limit = std::chrono::seconds(20));
    std::vector<std::string> DotSuffixes();
};

// A started child process, ended (SIGTERM, then SIGKILL) and reaped on destruction.
class ChildProcess {
public:
    // Starts the program and waits for a stdout or stderr line containing marker; the text after
    // marker on that line is kept as MarkerRest.
    ChildProcess(const std::vector<std::string>& argv, const std::string& marker);
    ~ChildProcess();
    std::string markerRest;
    int pid = -1;
    int outFd = -1;

private:
    void Stop();
};

// Certificates made with the openssl command-line tool: a test authority and server certificates.
struct TestCertificates {
    explicit TestCertificates(const std::filesystem::path& folder);
    std::filesystem::path folder;
    std::filesystem::path caCert, caKey;
    // A key and a certificate for the names (e.g. "IP:127.0.0.1,DNS:localhost"), signed by the test
    // authority, or self-signed; days < 0 gives an expired one.
    std::pair<std::filesystem::path, std::filesystem::path>
    Make(const std::string& name, const std::string& altNames, bool selfSigned, int days = 30);
};

// A small HTTP(S) server of the tests: answers every GET with a configured reply after HTTP Basic
// authentication and records what arrived.
class ProbeServer {
public:
    struct Request {
        std::string target;
        std::string version;
        std::string userAgent;
        std::string authorization;
    };
    // Plain HTTP when cert is empty.
    explicit ProbeServer(const std::filesystem::path& cert = {}, const std::filesystem::path& key = {});
    ~ProbeServer();
    int port = 0;
    void SetReply(std::string body, std::size_t pieceSize = 0, std::chrono::milliseconds pause = {});
    std::vector<Request> Requests();
    std::string user = "operator";
    std::string password = "s3cret:pw";
    // "Basic", or "Digest": then Basic credentials are answered with a Digest challenge, and a
    // Digest answer naming the user is accepted (its hash is not checked).
    std::string scheme = "Basic";
    // Connections are closed after this many requests (0: kept open).
    void SetRequestsPerConnection(int count);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// A TLS 1.2 server of the tests that starts a new handshake on its connection before it answers the
// second request there, then answers every request with a small XML reply (no authentication).
class RenegotiatingServer {
public:
    RenegotiatingServer(const std::filesystem::path& cert, const std::filesystem::path& key);
    ~RenegotiatingServer();
    int port = 0;
    int Requests();
    int Renegotiations(); // new handshakes the client went through
    int Refusals();       // new handshakes the client did not take part in

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The stand-in control server on a free port with the demo data (user "root", password "demopass").
class Standin {
public:
    explicit Standin(const std::filesystem::path& dataDir, const std::vector<std::string>& extra = {});
    int port = 0;
    // Sets fault switches through the server's own endpoint ("http500=1", "reset=1" ...).
    void SetFaults(const std::string& query);
    std::unique_ptr<ChildProcess> process;
};
bool StandinAvailable();

// The stored (enciphered) form of a password, as the settings file and the sign-in hold it.
std::string EncipheredForTest(const std::string& password);

// Common test set-up: a temporary program folder with an empty settings file, the recorder UI
// installed, and the sign-in values for 127.0.0.1 with the given port and credentials.
// SignIn makes a new session (the test's current one); HttpGet and CloseConnection below act on it.
struct TransportFixtureState {
    TransportFixtureState();
    ~TransportFixtureState();
    void SignIn(int port, const std::string& user = "root", const std::string& password = "demopass",
                bool readOnly = false);
    void Setting(const std::string& section, const std::string& key, const std::string& value);
    TempDir dir;
    std::shared_ptr<RecorderUi> ui;
    SessionPtr session;
};

// The session of the running test's fixture (none outside a fixture or before its SignIn).
SessionPtr TestSession();
// HttpGet for TestSession().
HttpReply HttpGet(std::string_view url, const std::shared_ptr<RequestControl>& control = nullptr);
// The test session's connection is closed (the next request opens a new one).
void CloseConnection();

} // namespace parlomar::test
