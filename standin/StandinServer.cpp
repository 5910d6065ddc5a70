#include "StandinServer.h"

#include "Certificate.h"
#include "Seed.h"
#include "XmlWriter.h"

#include <httplib.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <stdexcept>

namespace parlomar::standin {

namespace {

constexpr const char* kXmlType = "text/xml";
constexpr const char* kUnauthorizedPage =
    "<html><head><title>401 Unauthorized</title></head><body><h1>401 Unauthorized</h1>"
    "<p>Sign in with the server's user name and password.</p></body></html>";
constexpr const char* kLoggedOutPage =
    "<html><head><title>Signed out</title></head><body><p>You are signed out.</p></body></html>";
constexpr const char* kServerErrorPage =
    "<html><head><title>500 Internal Server Error</title></head><body><h1>500 Internal Server Error</h1>"
    "</body></html>";

std::string DecodeBase64(std::string_view text) {
    if (text.empty() || text.size() % 4 != 0 || text.size() > 4096) {
        return {};
    }
    std::string out(text.size() / 4 * 3, '\0');
    int length =
        EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                        reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
    if (length < 0) {
        return {};
    }
    size_t padding = static_cast<size_t>(std::count(text.end() - 2, text.end(), '='));
    out.resize(static_cast<size_t>(length) - std::min(padding, static_cast<size_t>(length)));
    return out;
}

// The user name of HTTP Basic credentials ("-" without any).
std::string UserOf(const std::string& header) {
    constexpr std::string_view kScheme = "Basic ";
    if (header.size() <= kScheme.size() ||
        !std::equal(kScheme.begin(), kScheme.end(), header.begin(), [](char a, char b) {
            return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
        })) {
        return "-";
    }
    const std::string given = DecodeBase64(std::string_view(header).substr(kScheme.size()));
    return given.substr(0, given.find(':'));
}

std::string NowText() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm tm{};
    gmtime_r(&seconds, &tm);
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &tm);
    char withMillis[48];
    std::snprintf(withMillis, sizeof withMillis, "%s.%03dZ", text, static_cast<int>(millis));
    return withMillis;
}

// Applies the body-level faults (drop, stall, rate) while the reply is written.
void StreamWithFaults(httplib::Response& res, std::string body, const char* type, const FaultSettings& f,
                      const StopSignal& stop) {
    auto shared = std::make_shared<std::string>(std::move(body));
    size_t size = shared->size();
    res.set_content_provider(
        size, type, [shared, f, &stop](size_t offset, size_t length, httplib::DataSink& sink) {
            const auto at = static_cast<long long>(offset);
            if (f.dropAfter >= 0 && at >= f.dropAfter) {
                return false; // the connection is closed with the body incomplete
            }
            if (f.stallAfter >= 0 && at >= f.stallAfter) {
                stop.WaitFor(std::chrono::milliseconds(f.stallMs));
                return false;
            }
            size_t chunk = std::min<size_t>(length, 16384);
            if (f.rate > 0) {
                chunk = std::min<size_t>(chunk, static_cast<size_t>(std::max<long long>(1, f.rate / 10)));
            }
            for (long long limit : {f.dropAfter, f.stallAfter}) {
                if (limit >= 0) {
                    chunk = std::min<size_t>(chunk, static_cast<size_t>(limit - at));
                }
            }
            if (!sink.write(shared->data() + offset, chunk)) {
                return false;
            }
            if (f.rate > 0) {
                auto pause = std::chrono::milliseconds(static_cast<long long>(chunk) * 1000 / f.rate);
                if (!stop.WaitFor(pause)) {
                    return false;
                }
            }
            return true;
        });
}

// An HTTP/1.0 request without "Connection: keep-alive" ends its connection after the reply,
// as such clients may read the body up to the end of the connection.
void CloseAfterHttp10(const httplib::Request& req, httplib::Response& res) {
    std::string connection = req.get_header_value("Connection");
    std::transform(connection.begin(), connection.end(), connection.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (req.version == "HTTP/1.0" && connection != "keep-alive") {
        res.set_header("Connection", "close");
    }
}

} // namespace

RequestLog::RequestLog(const std::filesystem::path& file) : out_(file, std::ios::app) {
    if (!out_) {
        throw std::runtime_error("cannot write the request log " + file.string());
    }
}

std::string RequestLog::Field(const std::string& text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string field;
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7F) {
            field += '%';
            field += kHex[c >> 4];
            field += kHex[c & 15];
        } else {
            field += static_cast<char>(c);
        }
    }
    return field.empty() ? "-" : field;
}

void RequestLog::Write(const std::string& path, const std::string& query, const std::string& user) {
    const std::string line = NowText() + "\t" + Field(path) + "\t" + Field(query) + "\t" + Field(user) + "\n";
    std::lock_guard lock(mutex_);
    out_ << line << std::flush;
}

std::filesystem::path DatabaseFile(const std::filesystem::path& dataDir) {
    return dataDir / "standin.db";
}

StandinServer::StandinServer(const Options& options) : options_(options), faults_(options.faults) {
    std::filesystem::create_directories(options_.dataDir);
    store_ = std::make_unique<Store>(DatabaseFile(options_.dataDir));
    if (!options_.seed.empty() && (store_->WasCreated() || options_.reseed)) {
        Store::Session session(*store_);
        session.Begin();
        try {
            session.RemoveAll();
            if (options_.seed == "demo") {
                SeedDemo(session);
            } else {
                SeedGenerated(session, std::stoll(options_.seed));
            }
            session.Commit();
        } catch (...) {
            session.Rollback();
            throw;
        }
    }
    api_ = std::make_unique<Api>(*store_);
    if (!options_.requestLog.empty()) {
        log_ = std::make_unique<RequestLog>(options_.requestLog);
    }

    if (options_.plainHttp) {
        server_ = std::make_unique<httplib::Server>();
    } else {
        std::filesystem::path cert = options_.certFile;
        std::filesystem::path key = options_.keyFile;
        if (cert.empty()) {
            cert = options_.dataDir / "standin-cert.pem";
            key = options_.dataDir / "standin-key.pem";
            EnsureCertificate(cert, key);
        }
        auto ssl = std::make_unique<httplib::SSLServer>(cert.c_str(), key.c_str());
        if (!ssl->is_valid()) {
            throw std::runtime_error("cannot use the certificate " + cert.string() + " with the key " +
                                     key.string());
        }
        server_ = std::move(ssl);
    }
    Install();
}

StandinServer::~StandinServer() = default;

bool StandinServer::Authorized(const std::string& header) const {
    constexpr std::string_view kScheme = "Basic ";
    if (header.size() <= kScheme.size() ||
        !std::equal(kScheme.begin(), kScheme.end(), header.begin(), [](char a, char b) {
            return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
        })) {
        return false;
    }
    std::string given = DecodeBase64(std::string_view(header).substr(kScheme.size()));
    std::string expected = options_.user + ":" + options_.password;
    return given.size() == expected.size() && CRYPTO_memcmp(given.data(), expected.data(), given.size()) == 0;
}

void StandinServer::Install() {
    httplib::Server& svr = *server_;
    svr.new_task_queue = [] { return new httplib::ThreadPool(16); };
    svr.set_keep_alive_max_count(100);
    svr.set_keep_alive_timeout(5);
    svr.set_read_timeout(10);
    svr.set_write_timeout(10);
    // Identify as a generic server; some clients look at this header.
    svr.set_default_headers({{"Server", "parlomar-standin"}});

    svr.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
        if (log_) {
            const size_t mark = req.target.find('?');
            log_->Write(req.path, mark == std::string::npos ? std::string() : req.target.substr(mark + 1),
                        UserOf(req.get_header_value("Authorization")));
        }
        CloseAfterHttp10(req, res);
        if (req.has_header("Authorization") && Authorized(req.get_header_value("Authorization"))) {
            return httplib::Server::HandlerResponse::Unhandled;
        }
        res.status = 401;
        res.set_header("WWW-Authenticate", "Basic realm=\"" + options_.realm + "\"");
        res.set_content(kUnauthorizedPage, "text/html");
        return httplib::Server::HandlerResponse::Handled;
    });

    svr.Get("/xml-api/(.*)", [this](const httplib::Request& req, httplib::Response& res) {
        const std::string function = req.matches[1].str();
        ApplyFaults(res, api_->Handle(function, req.params), kXmlType, function);
    });

    // "/?logout" and any other request for the root: a short page, under the same faults.
    svr.Get("/", [this](const httplib::Request&, httplib::Response& res) {
        ApplyFaults(res, kLoggedOutPage, "text/html");
    });

    svr.Get("/standin/faults", [this](const httplib::Request& req, httplib::Response& res) {
        FaultSettings settings = faults_.Get();
        try {
            settings.Update(req.params);
        } catch (const std::invalid_argument& e) {
            XmlWriter xml;
            xml.Open("faults").Status(false, e.what()).Close("faults");
            res.status = 400;
            res.set_content(xml.Take(), kXmlType);
            return;
        }
        faults_.Set(settings);
        res.set_content(settings.DescribeXml(), kXmlType);
    });

    svr.set_error_handler([](const httplib::Request&, httplib::Response& res) {
        if (res.body.empty() && res.status == 404) {
            res.set_content("<html><body><h1>404 Not Found</h1></body></html>", "text/html");
        }
    });
}

void StandinServer::ApplyFaults(httplib::Response& res, std::string body, const char* type,
                                const std::string& function) {
    auto faults = faults_.TakeForReply(function);
    if (!faults) {
        res.set_content(std::move(body), type);
        return;
    }
    if (faults->delayMs > 0 && !stop_.WaitFor(std::chrono::milliseconds(faults->delayMs))) {
        res.status = 503;
        return;
    }
    if (faults->http500) {
        res.status = 500;
        body = kServerErrorPage;
        type = "text/html";
    } else if (faults->garbage) {
        body = GarbageBody(std::clamp<size_t>(body.size(), 256, 65536));
        type = "application/octet-stream";
    }
    if (faults->dropAfter >= 0 || faults->stallAfter >= 0 || faults->rate > 0) {
        StreamWithFaults(res, std::move(body), type, *faults, stop_);
    } else {
        res.set_content(std::move(body), type);
    }
}

int StandinServer::Start() {
    int port = options_.port == 0
                   ? server_->bind_to_any_port(options_.host)
                   : (server_->bind_to_port(options_.host, options_.port) ? options_.port : -1);
    if (port <= 0) {
        throw std::runtime_error("cannot listen on " + options_.host + ":" + std::to_string(options_.port));
    }
    return port;
}

bool StandinServer::Run() {
    return server_->listen_after_bind();
}

void StandinServer::Stop() {
    stop_.Raise();
    server_->stop();
}

} // namespace parlomar::standin
