// The stand-in server's largest reply: listaccts over HTTPS with 100,000 accounts, fetched whole
// with libcurl. The goal is well under 2 s per fetch in a release build.
#include <benchmark/benchmark.h>

#ifdef PARLOMAR_STANDIN_BIN

#include <curl/curl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace {

constexpr const char* kAccounts = "100000";

// The server binary seeded in a temporary folder; stopped and removed at exit.
class SeededServer {
public:
    SeededServer() {
        std::string pattern = (std::filesystem::temp_directory_path() / "standin-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) {
            throw std::runtime_error("mkdtemp failed");
        }
        dir_ = pattern;
        int fds[2];
        if (pipe(fds) != 0) {
            throw std::runtime_error("pipe failed");
        }
        pid_ = fork();
        if (pid_ == 0) {
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            dup2(fds[1], STDOUT_FILENO);
            execl(PARLOMAR_STANDIN_BIN, PARLOMAR_STANDIN_BIN, "--listen", "127.0.0.1:0", "--data",
                  dir_.c_str(), "--user", "bench", "--password", "bench", "--seed", kAccounts,
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        std::string line;
        pollfd pfd{fds[0], POLLIN, 0};
        while (line.find('\n') == std::string::npos && poll(&pfd, 1, 120000) > 0) {
            char buffer[128];
            ssize_t n = read(fds[0], buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            line.append(buffer, static_cast<size_t>(n));
        }
        close(fds[0]);
        size_t colon = line.rfind(':');
        if (line.rfind("listening on", 0) != 0 || colon == std::string::npos) {
            throw std::runtime_error("the stand-in server did not start");
        }
        url_ = "https://127.0.0.1:" + std::to_string(std::atoi(line.c_str() + colon + 1)) +
               "/xml-api/listaccts?searchtype=user&search=";
    }
    ~SeededServer() {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    const std::string& Url() const { return url_; }
    std::string CertFile() const { return (dir_ / "standin-cert.pem").string(); }

private:
    std::filesystem::path dir_;
    pid_t pid_ = -1;
    std::string url_;
};

SeededServer& Server() {
    static SeededServer server;
    return server;
}

size_t Collect(char* data, size_t size, size_t count, void* target) {
    static_cast<std::string*>(target)->append(data, size * count);
    return size * count;
}

void BM_ListAccounts100k(benchmark::State& state) {
    SeededServer& server = Server();
    CURL* curl = curl_easy_init();
    std::string body;
    curl_easy_setopt(curl, CURLOPT_URL, server.Url().c_str());
    curl_easy_setopt(curl, CURLOPT_CAINFO, server.CertFile().c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPAUTH, CURLAUTH_BASIC);
    curl_easy_setopt(curl, CURLOPT_USERPWD, "bench:bench");
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    // A fresh connection per fetch, as the client's list fetch may do.
    curl_easy_setopt(curl, CURLOPT_FORBID_REUSE, static_cast<long>(state.range(0) == 0));
    size_t bytes = 0;
    for (auto _ : state) {
        body.clear();
        CURLcode code = curl_easy_perform(curl);
        long status = 0;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        if (code != CURLE_OK || status != 200 || body.find("</listaccts>") == std::string::npos) {
            state.SkipWithError("listaccts fetch failed");
            break;
        }
        bytes += body.size();
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
    state.counters["reply_MB"] = static_cast<double>(body.size()) / 1e6;
    curl_easy_cleanup(curl);
}
BENCHMARK(BM_ListAccounts100k)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("keepalive")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

#endif

BENCHMARK_MAIN();
