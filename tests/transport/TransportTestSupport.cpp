#include "TransportTestSupport.h"

#include "core/server/PasswordCipher.h"
#include "core/settings/IniFile.h"
#include "core/settings/Paths.h"

#include <httplib.h>
#include <openssl/ssl.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <random>
#include <stdexcept>

namespace parlomar::test {

// ---- RecorderUi ----

void RecorderUi::ShowRequestStatus(int n, const std::string& suffix) {
    std::lock_guard lock(mutex);
    if (std::this_thread::get_id() != guiThread)
        statusOffGuiThread = true;
    statuses.emplace_back(n, suffix);
}

bool RecorderUi::IsGuiThread() {
    return std::this_thread::get_id() == guiThread;
}

void RecorderUi::RunPosted() {
    for (;;) {
        std::function<void()> function;
        {
            std::lock_guard lock(mutex);
            if (posted.empty())
                break;
            function = std::move(posted.front());
            posted.pop_front();
        }
        function();
    }
}

bool RecorderUi::AskCertificate(const CertificateInfo& info) {
    std::lock_guard lock(mutex);
    if (std::this_thread::get_id() != guiThread)
        certificateOffGuiThread = true;
    certificates.push_back(info);
    return acceptCertificate;
}

void RecorderUi::ShowMessage(const std::string& text) {
    std::lock_guard lock(mutex);
    messages.push_back(text);
}

bool RecorderUi::AskQuestion(const std::string& text) {
    std::lock_guard lock(mutex);
    questions.push_back(text);
    if (answers.empty())
        return false;
    bool answer = answers.front();
    answers.pop_front();
    return answer;
}

void RecorderUi::PostToGuiThread(std::function<void()> function) {
    std::lock_guard lock(mutex);
    posted.push_back(std::move(function));
}

bool RecorderUi::PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done() && std::chrono::steady_clock::now() < end) {
        RunPosted();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done();
}

std::vector<std::string> RecorderUi::DotSuffixes() {
    std::lock_guard lock(mutex);
    std::vector<std::string> dots;
    for (const auto& [n, suffix] : statuses)
        if (n == 1)
            dots.push_back(suffix);
    return dots;
}

// ---- Processes ----

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::string& marker) {
    int fds[2];
    if (pipe(fds) != 0)
        throw std::runtime_error("pipe");
    pid = fork();
    if (pid == 0) {
        dup2(fds[1], 1);
        dup2(fds[1], 2);
        close(fds[0]);
        close(fds[1]);
        std::vector<char*> args;
        for (const auto& arg : argv)
            args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    close(fds[1]);
    outFd = fds[0];
    std::string line;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < end) {
        pollfd p{outFd, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0)
            continue;
        char c;
        if (read(outFd, &c, 1) != 1)
            break;
        if (c != '\n') {
            line += c;
            continue;
        }
        if (auto at = line.find(marker); at != std::string::npos) {
            markerRest = line.substr(at + marker.size());
            return;
        }
        line.clear();
    }
    Stop();
    throw std::runtime_error("did not start: " + argv[0] + " (" + line + ")");
}

ChildProcess::~ChildProcess() {
    Stop();
}

void ChildProcess::Stop() {
    if (pid > 0) {
        kill(pid, SIGTERM);
        for (int i = 0; i < 100; ++i) {
            if (waitpid(pid, nullptr, WNOHANG) == pid) {
                pid = -1;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        pid = -1;
    }
    if (outFd >= 0)
        close(outFd);
    outFd = -1;
}

// ---- Certificates ----

TestCertificates::TestCertificates(const std::filesystem::path& where)
    : folder(where), caCert(where / "ca.pem"), caKey(where / "ca.key") {
    if (RunCommand({"openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                    "-nodes", "-keyout", caKey.string(), "-out", caCert.string(), "-days", "30", "-subj",
                    "/CN=Parlomar Test Authority"}) != 0)
        throw std::runtime_error("openssl req for the test authority failed");
}

std::pair<std::filesystem::path, std::filesystem::path>
TestCertificates::Make(const std::string& name, const std::string& altNames, bool selfSigned, int days) {
    const auto key = folder / (name + ".key");
    const auto cert = folder / (name + ".pem");
    const auto csr = folder / (name + ".csr");
    const auto ext = folder / (name + ".ext");
    std::ofstream(ext) << "subjectAltName=" << altNames << "\nbasicConstraints=CA:FALSE\n";
    static int serial = 100;
    std::vector<std::string> sign{"openssl",
                                  "x509",
                                  "-req",
                                  "-in",
                                  csr.string(),
                                  "-days",
                                  std::to_string(days),
                                  "-extfile",
                                  ext.string(),
                                  "-set_serial",
                                  std::to_string(++serial),
                                  "-out",
                                  cert.string()};
    if (selfSigned) {
        sign.insert(sign.end(), {"-signkey", key.string()});
    } else {
        sign.insert(sign.end(), {"-CA", caCert.string(), "-CAkey", caKey.string()});
    }
    if (RunCommand({"openssl", "req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                    "-keyout", key.string(), "-out", csr.string(), "-subj", "/CN=" + name}) != 0 ||
        RunCommand(sign) != 0)
        throw std::runtime_error("openssl could not make the certificate " + name);
    return {cert, key};
}

// ---- ProbeServer ----

struct ProbeServer::Impl {
    std::unique_ptr<httplib::Server> server;
    std::thread thread;
    std::mutex mutex;
    std::vector<Request> requests;
    std::string body = "<?xml version=\"1.0\"?><probe>ok</probe>";
    std::size_t pieceSize = 0;
    std::chrono::milliseconds pause{};
};

ProbeServer::ProbeServer(const std::filesystem::path& cert, const std::filesystem::path& key)
    : impl_(std::make_unique<Impl>()) {
    if (cert.empty())
        impl_->server = std::make_unique<httplib::Server>();
    else
        impl_->server = std::make_unique<httplib::SSLServer>(cert.c_str(), key.c_str());
    impl_->server->Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
        const std::string expected = httplib::make_basic_authentication_header(user, password).second;
        {
            std::lock_guard lock(impl_->mutex);
            impl_->requests.push_back({req.target, req.version, req.get_header_value("User-Agent"),
                                       req.get_header_value("Authorization")});
        }
        const std::string given = req.get_header_value("Authorization");
        const bool accepted = scheme == "Digest"
                                  ? given.rfind("Digest ", 0) == 0 &&
                                        given.find("username=\"" + user + "\"") != std::string::npos
                                  : given == expected;
        if (!accepted) {
            res.status = 401;
            res.set_header("WWW-Authenticate",
                           scheme == "Digest" ? "Digest realm=\"probe\", nonce=\"0a4f113b\", qop=\"auth\""
                                              : "Basic realm=\"probe\"");
            res.set_content("<html>401</html>", "text/html");
            return;
        }
        std::lock_guard lock(impl_->mutex);
        auto body = std::make_shared<std::string>(impl_->body);
        const std::size_t piece =
            impl_->pieceSize ? impl_->pieceSize : std::max<std::size_t>(body->size(), 1);
        const auto pause = impl_->pause;
        res.set_content_provider(
            body->size(), "text/xml",
            [body, piece, pause](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                if (pause.count() && offset)
                    std::this_thread::sleep_for(pause);
                sink.write(body->data() + offset, std::min(piece, body->size() - offset));
                return true;
            });
    });
    port = impl_->server->bind_to_any_port("127.0.0.1");
    impl_->thread = std::thread([this] { impl_->server->listen_after_bind(); });
    while (!impl_->server->is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

ProbeServer::~ProbeServer() {
    CloseConnection(); // lets go of the connections the client keeps open to this server
    impl_->server->stop();
    impl_->thread.join();
}

void ProbeServer::SetReply(std::string body, std::size_t pieceSize, std::chrono::milliseconds pause) {
    std::lock_guard lock(impl_->mutex);
    impl_->body = std::move(body);
    impl_->pieceSize = pieceSize;
    impl_->pause = pause;
}

void ProbeServer::SetRequestsPerConnection(int count) {
    impl_->server->set_keep_alive_max_count(static_cast<std::size_t>(count > 0 ? count : 100000));
}

std::vector<ProbeServer::Request> ProbeServer::Requests() {
    std::lock_guard lock(impl_->mutex);
    return impl_->requests;
}

// ---- RenegotiatingServer ----

struct RenegotiatingServer::Impl {
    std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)> context{nullptr, SSL_CTX_free};
    int listener = -1;
    std::thread thread;
    std::atomic<bool> stop{false};
    std::atomic<int> requests{0};
    std::atomic<int> renegotiations{0};
    std::atomic<int> refusals{0};

    // Waits until fd can be read; false when the server stops or nothing came for 10 s.
    bool WaitReadable(int fd) {
        for (int waited = 0; waited < 10000 && !stop; waited += 50) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 50) > 0)
                return true;
        }
        return false;
    }

    // Drives the new handshake until it is done, the client refuses it, or 2 s passed.
    void Renegotiate(SSL* ssl, int fd) {
        SSL_renegotiate(ssl);
        SSL_do_handshake(ssl); // sends the request for a new handshake
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        for (int round = 0; round < 100 && SSL_renegotiate_pending(ssl) && !stop; ++round) {
            char none[16];
            const int read = SSL_read(ssl, none, sizeof none);
            if (read <= 0 && SSL_get_error(ssl, read) == SSL_ERROR_WANT_READ) {
                pollfd p{fd, POLLIN, 0};
                poll(&p, 1, 20);
                continue;
            }
            break; // an alert or a broken connection: the client did not go along
        }
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        ++(SSL_renegotiate_pending(ssl) ? refusals : renegotiations);
    }

    void Serve(int fd) {
        std::unique_ptr<SSL, decltype(&SSL_free)> ssl(SSL_new(context.get()), SSL_free);
        SSL_set_fd(ssl.get(), fd);
        if (SSL_accept(ssl.get()) != 1)
            return;
        int onConnection = 0;
        std::string received;
        while (WaitReadable(fd)) {
            char buffer[4096];
            const int read = SSL_read(ssl.get(), buffer, sizeof buffer);
            if (read <= 0)
                return;
            received.append(buffer, static_cast<std::size_t>(read));
            if (received.find("\r\n\r\n") == std::string::npos)
                continue;
            received.clear();
            ++requests;
            if (++onConnection == 2) {
                Renegotiate(ssl.get(), fd);
                if (SSL_renegotiate_pending(ssl.get()))
                    return;
            }
            const std::string body = "<?xml version=\"1.0\"?><probe>ok</probe>";
            const std::string reply =
                "HTTP/1.0 200 OK\r\nContent-Type: text/xml\r\nConnection: keep-alive\r\n"
                "Content-Length: " +
                std::to_string(body.size()) + "\r\n\r\n" + body;
            if (SSL_write(ssl.get(), reply.data(), static_cast<int>(reply.size())) <= 0)
                return;
        }
    }
};

RenegotiatingServer::RenegotiatingServer(const std::filesystem::path& cert, const std::filesystem::path& key)
    : impl_(std::make_unique<Impl>()) {
    impl_->context.reset(SSL_CTX_new(TLS_server_method()));
    SSL_CTX* context = impl_->context.get();
    SSL_CTX_set_max_proto_version(context, TLS1_2_VERSION); // TLS 1.3 has no renegotiation
    // No resumption: the new handshake is a full one, with the certificate checked again.
    SSL_CTX_set_session_cache_mode(context, SSL_SESS_CACHE_OFF);
    SSL_CTX_set_options(context, SSL_OP_NO_TICKET);
    if (SSL_CTX_use_certificate_file(context, cert.c_str(), SSL_FILETYPE_PEM) != 1 ||
        SSL_CTX_use_PrivateKey_file(context, key.c_str(), SSL_FILETYPE_PEM) != 1)
        throw std::runtime_error("the renegotiating server cannot load its certificate");
    impl_->listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(impl_->listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(impl_->listener, 8);
    socklen_t size = sizeof address;
    getsockname(impl_->listener, reinterpret_cast<sockaddr*>(&address), &size);
    port = ntohs(address.sin_port);
    impl_->thread = std::thread([impl = impl_.get()] {
        while (!impl->stop) {
            pollfd p{impl->listener, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0)
                continue;
            const int fd = accept(impl->listener, nullptr, nullptr);
            if (fd < 0)
                continue;
            impl->Serve(fd);
            close(fd);
        }
    });
}

RenegotiatingServer::~RenegotiatingServer() {
    CloseConnection();
    impl_->stop = true;
    impl_->thread.join();
    close(impl_->listener);
}

int RenegotiatingServer::Requests() {
    return impl_->requests;
}

int RenegotiatingServer::Renegotiations() {
    return impl_->renegotiations;
}

int RenegotiatingServer::Refusals() {
    return impl_->refusals;
}

// ---- Standin ----

bool StandinAvailable() {
#ifdef PARLOMAR_STANDIN_BIN
    return std::filesystem::exists(PARLOMAR_STANDIN_BIN);
#else
    return false;
#endif
}

Standin::Standin(const std::filesystem::path& dataDir, const std::vector<std::string>& extra) {
#ifdef PARLOMAR_STANDIN_BIN
    std::vector<std::string> argv{PARLOMAR_STANDIN_BIN, "--listen", "127.0.0.1:0", "--data",
                                  dataDir.string(),     "--user",   "root",        "--password",
                                  "demopass",           "--seed",   "demo"};
    argv.insert(argv.end(), extra.begin(), extra.end());
    process = std::make_unique<ChildProcess>(argv, "listening on 127.0.0.1:");
    port = std::stoi(process->markerRest);
#else
    (void)dataDir;
    (void)extra;
    throw std::runtime_error("the stand-in server is not built");
#endif
}

void Standin::SetFaults(const std::string& query) {
    httplib::SSLClient client("127.0.0.1", port);
    client.enable_server_certificate_verification(false);
    client.set_basic_auth("root", "demopass");
    auto result = client.Get(("/standin/faults?" + query).c_str());
    if (!result || result->status != 200)
        throw std::runtime_error("fault switch refused: " + query);
}

// ---- Fixture ----

std::string EncipheredForTest(const std::string& password) {
    return EncipherPassword(password);
}

namespace {
TransportFixtureState* gFixture = nullptr;
}

SessionPtr TestSession() {
    return gFixture ? gFixture->session : nullptr;
}

HttpReply HttpGet(std::string_view url, const std::shared_ptr<RequestControl>& control) {
    return parlomar::HttpGet(TestSession(), url, control);
}

void CloseConnection() {
    if (SessionPtr session = TestSession())
        session->CloseConnection();
}

TransportFixtureState::TransportFixtureState() : ui(std::make_shared<RecorderUi>()) {
    gFixture = this;
    unsetenv("http_proxy");
    unsetenv("https_proxy");
    unsetenv("HTTPS_PROXY");
    unsetenv("all_proxy");
    unsetenv("ALL_PROXY");
    SetProgramFolder(dir.Path());
    std::ofstream(SettingsFile()) << "[General]\nUntrustedCert=0\n";
    SetTransportUi(ui);
    CloseConnection();
    SetTimeLimits(std::chrono::seconds(30), std::chrono::seconds(60));
    SetReplyLimit(kMaxReplyBytes);
    SetExtraTrustedAuthorities({});
}

TransportFixtureState::~TransportFixtureState() {
    CloseConnection();
    SetTransportUi(nullptr);
    gFixture = nullptr;
}

void TransportFixtureState::SignIn(int port, const std::string& user, const std::string& password,
                                   bool readOnly) {
    session = ServerSession::Make(
        {"127.0.0.1", static_cast<std::uint16_t>(port), user, EncipheredForTest(password)}, readOnly);
}

void TransportFixtureState::Setting(const std::string& section, const std::string& key,
                                    const std::string& value) {
    WriteIniValue(section, key, value, kSettingsTarget);
}

} // namespace parlomar::test
