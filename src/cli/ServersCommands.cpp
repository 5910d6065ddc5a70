// servers and trust: the saved servers, and pinning a server's certificate.

#include "cli/ListCommands.h"
#include "cli/OutputWriters.h"
#include "cli/ServerCommand.h"

#include "core/Text.h"
#include "core/server/CertificateCheck.h"
#include "core/server/CurlHandle.h"
#include "core/server/PasswordCipher.h"
#include "core/settings/IniFile.h"

#include <curl/curl.h>
#include <openssl/pem.h>

#include <iostream>
#include <memory>

namespace parlomar::cli {

namespace {

const char* YesNo(bool flag) {
    return flag ? "yes" : "no";
}

class ServersCommand : public Command {
public:
    ServersCommand() : Command("servers", "the saved servers, the most recent first") {}

    void AddOptions(CLI::App& app) override {
        app.add_option("--format", format_, "the output format")
            ->check(CLI::IsMember({"table", "csv", "json"}));
    }

    int Run() override {
        Rows rows;
        rows.columns = {
            "number", "address", "port", "user", "read-only", "certificate-pinned", "password-remembered"};
        std::size_t number = 0;
        for (const SavedServer& server : ReadSavedServers()) {
            rows.rows.push_back({std::to_string(++number), server.address, std::to_string(server.port),
                                 server.userName, YesNo(server.readOnly),
                                 YesNo(!PinnedFingerprint(server).empty()),
                                 YesNo(server.savePassword && !server.encipheredPassword.empty())});
        }
        WriteRows(std::cout, FormatOf(format_), rows);
        return kExitDone;
    }

private:
    std::string format_ = "table";
};

// The certificate a server shows, fetched by a TLS handshake alone: nothing is sent, no credentials
// are needed.
struct ShownCertificate {
    CertificateInfo info;
    std::string error; // the handshake failed
};

ShownCertificate FetchCertificate(const SavedServer& server) {
    ShownCertificate shown;
    const CurlEasy curl = MakeCurlEasy();
    if (!curl) {
        shown.error = "cannot start a connection";
        return shown;
    }
    std::string host = server.address;
    if (host.find(':') != std::string::npos)
        host = "[" + host + "]";
    const std::string url = "https://" + host + ":" + std::to_string(server.port) + "/";
    curl_easy_setopt(curl.get(), CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_CONNECT_ONLY, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_CERTINFO, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_SSL_VERIFYPEER, 0L); // the result is read below, not enforced
    curl_easy_setopt(curl.get(), CURLOPT_SSL_VERIFYHOST, 0L);
    curl_easy_setopt(curl.get(), CURLOPT_CONNECTTIMEOUT, 30L);
    curl_easy_setopt(curl.get(), CURLOPT_NOSIGNAL, 1L);
    std::string proxy;
    if (IniFlag(ReadIniValue("Proxy", "USE", kSettingsTarget))) {
        proxy = "http://" + ReadIniValue("Proxy", "ADDR", kSettingsTarget) + ":" +
                ReadIniValue("Proxy", "PORT", kSettingsTarget);
        curl_easy_setopt(curl.get(), CURLOPT_PROXY, proxy.c_str());
        curl_easy_setopt(curl.get(), CURLOPT_HTTPPROXYTUNNEL, 1L);
    } else {
        curl_easy_setopt(curl.get(), CURLOPT_PROXY, "");
    }
    const CURLcode code = curl_easy_perform(curl.get());
    if (code != CURLE_OK) {
        shown.error = curl_easy_strerror(code);
        return shown;
    }
    curl_certinfo* chain = nullptr;
    curl_easy_getinfo(curl.get(), CURLINFO_CERTINFO, &chain);
    for (curl_slist* item = chain && chain->num_of_certs > 0 ? chain->certinfo[0] : nullptr; item;
         item = item->next) {
        const std::string_view line = item->data;
        if (!line.starts_with("Cert:"))
            continue;
        const std::string pem(line.substr(5));
        std::unique_ptr<BIO, decltype(&BIO_free)> bio(
            BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())), BIO_free);
        std::unique_ptr<X509, decltype(&X509_free)> certificate(
            bio ? PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr) : nullptr, X509_free);
        DescribeCertificate(certificate.get(), shown.info);
    }
    if (shown.info.fingerprint.empty())
        shown.error = "the server showed no certificate";
    return shown;
}

std::string Normalized(std::string_view fingerprint) {
    std::string hex;
    for (char c : fingerprint)
        if (c != ':' && c != ' ')
            hex += static_cast<char>(c >= 'a' && c <= 'f' ? c - 'a' + 'A' : c);
    return hex;
}

class TrustCommand : public Command {
public:
    TrustCommand() : Command("trust", "show a server's certificate and pin it") {}

    void AddOptions(CLI::App& app) override {
        app.add_option("SERVER", server_, "the saved server")->required();
        app.add_option("--fingerprint", fingerprint_,
                       "pin without a question when the certificate's SHA-256 fingerprint is this");
    }

    int Run() override {
        const SavedServer server = ChooseServer(server_);
        const ShownCertificate shown = FetchCertificate(server);
        if (!shown.error.empty())
            throw Failure(kExitFailed, ServerLabel(server) + ": " + shown.error);
        const std::string pinned = PinnedFingerprint(server);
        std::cout << "server:      " << ServerLabel(server) << "\n"
                  << "subject:     " << shown.info.subject << "\n"
                  << "issuer:      " << shown.info.issuer << "\n"
                  << "valid from:  " << shown.info.notBefore << "\n"
                  << "valid until: " << shown.info.notAfter << "\n"
                  << "SHA-256:     " << shown.info.fingerprint << "\n";
        if (!pinned.empty())
            std::cout << (pinned == shown.info.fingerprint
                              ? "pinned:      this certificate\n"
                              : "pinned:      another certificate, " + pinned + "\n");
        std::cout.flush();
        if (!fingerprint_.empty()) {
            if (Normalized(fingerprint_) != Normalized(shown.info.fingerprint))
                throw Failure(kExitUntrusted,
                              "the certificate's fingerprint is not the one given: nothing pinned");
        } else if (!InputIsTerminal()) {
            throw Failure(kExitUsage, "give --fingerprint to pin without a terminal");
        } else if (!AskYes("Pin this certificate for " + ServerLabel(server) + "?")) {
            throw Failure(kExitUntrusted, "not pinned");
        }
        WriteIniValue("Certificates", PinKeyOf(server), shown.info.fingerprint, kSettingsTarget);
        std::cout << "pinned\n";
        return kExitDone;
    }

private:
    std::string server_;
    std::string fingerprint_;
};

} // namespace

std::unique_ptr<Command> MakeServersCommand() {
    return std::make_unique<ServersCommand>();
}
std::unique_ptr<Command> MakeTrustCommand() {
    return std::make_unique<TrustCommand>();
}

} // namespace parlomar::cli
