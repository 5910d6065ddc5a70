#pragma once

#include "TestSupport.h"

#include <curl/curl.h>
#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace standin_test {

using parlomar::test::TempDir;

inline constexpr const char* kUser = "operator";
inline constexpr const char* kPassword = "Pa$$ w0rd&more";

// The real server binary, started on a free port; stopped with SIGTERM when destroyed.
class StandinProcess {
public:
    // Starts with --data dir, the test credentials, and the extra arguments.
    StandinProcess(const std::filesystem::path& dataDir, std::vector<std::string> extraArgs = {});
    ~StandinProcess();
    StandinProcess(const StandinProcess&) = delete;
    StandinProcess& operator=(const StandinProcess&) = delete;

    int Port() const { return port_; }
    std::string Url(const std::string& path, bool https = true) const;
    std::filesystem::path CertFile() const { return dataDir_ / "standin-cert.pem"; }
    // SIGTERM and wait; returns the exit status (-1 when it had to be killed after timeoutMs).
    int Stop(int timeoutMs = 10000);
    pid_t Pid() const { return pid_; }

private:
    std::filesystem::path dataDir_;
    pid_t pid_ = -1;
    int port_ = 0;
};

// Runs the binary with the arguments to its end; returns its exit status.
int RunToEnd(const std::vector<std::string>& args);

struct Reply {
    CURLcode code = CURLE_OK;
    long status = 0;
    std::string body;
    std::string headers;
    long connects = 0;
    double seconds = 0;
};

struct RequestOptions {
    bool credentials = true;
    std::string user = kUser;
    std::string password = kPassword;
    std::filesystem::path caFile; // empty: no verification
    bool http10 = false;
    long timeoutMs = 20000;
    CURL* reuse = nullptr; // an easy handle to reuse (keep-alive)
};

Reply Get(const std::string& url, const RequestOptions& options);

// Percent-encodes a query value.
std::string Encode(const std::string& value);

// Counts the occurrences of needle in text.
size_t Count(const std::string& text, const std::string& needle);

// The text of the first <tag>...</tag> in xml, or "" when there is none.
std::string Tag(const std::string& xml, const std::string& tag);

} // namespace standin_test
