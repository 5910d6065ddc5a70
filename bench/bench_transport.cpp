// HttpGet reading a large listaccts reply (20,000 accounts) from the stand-in server: replies are
// read at full speed (no pause between pieces), on the fetch thread and on the GUI thread (where the
// transfer runs on a worker while the caller keeps processing events).
#include <benchmark/benchmark.h>

#ifdef PARLOMAR_STANDIN_BIN

#include "core/server/HttpTransport.h"
#include "core/server/PasswordCipher.h"
#include "core/server/TransportUi.h"
#include "core/settings/Paths.h"

#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <thread>

namespace {

class Server {
public:
    Server() {
        std::string pattern = (std::filesystem::temp_directory_path() / "transport-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        dir_ = pattern;
        int fds[2];
        if (pipe(fds) != 0)
            throw std::runtime_error("pipe failed");
        pid_ = fork();
        if (pid_ == 0) {
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            dup2(fds[1], STDOUT_FILENO);
            const std::string data = (dir_ / "data").string();
            execl(PARLOMAR_STANDIN_BIN, PARLOMAR_STANDIN_BIN, "--listen", "127.0.0.1:0", "--data",
                  data.c_str(), "--user", "bench", "--password", "bench", "--seed", "20000",
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        std::string line;
        pollfd pfd{fds[0], POLLIN, 0};
        while (line.find('\n') == std::string::npos && poll(&pfd, 1, 120000) > 0) {
            char buffer[128];
            ssize_t n = read(fds[0], buffer, sizeof buffer);
            if (n <= 0)
                break;
            line.append(buffer, static_cast<size_t>(n));
        }
        close(fds[0]);
        const std::size_t colon = line.rfind(':');
        if (line.rfind("listening on", 0) != 0 || colon == std::string::npos)
            throw std::runtime_error("the stand-in server did not start");
        parlomar::SetProgramFolder(dir_);
        std::ofstream(parlomar::SettingsFile()) << "[General]\nUntrustedCert=0\n";
        session = parlomar::ServerSession::Make(
            {"127.0.0.1", static_cast<std::uint16_t>(std::atoi(line.c_str() + colon + 1)), "bench",
             parlomar::EncipherPassword("bench")});
    }
    ~Server() {
        session->End();
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    parlomar::SessionPtr session;

private:
    std::filesystem::path dir_;
    pid_t pid_ = -1;
};

// A GUI whose event processing does nothing: the caller's thread counts as the GUI thread.
class IdleGui : public parlomar::TransportUi {
public:
    std::thread::id gui = std::this_thread::get_id();
    void ShowRequestStatus(int, const std::string&) override {}
    bool IsGuiThread() override { return std::this_thread::get_id() == gui; }
    bool AskCertificate(const parlomar::CertificateInfo&) override { return false; }
    void ShowMessage(const std::string&) override {}
    bool AskQuestion(const std::string&) override { return false; }
    void PostToGuiThread(std::function<void()> function) override { function(); }
};

void Fetch(benchmark::State& state, bool onGuiThread) {
    static Server server;
    parlomar::SetTransportUi(onGuiThread ? std::make_shared<IdleGui>() : nullptr);
    const std::string url = server.session->BaseUrl() + "/xml-api/listaccts?searchtype=user&search=";
    std::size_t bytes = 0;
    for (auto _ : state) {
        parlomar::HttpReply reply = parlomar::HttpGet(server.session, url);
        if (reply.status != 0 || reply.httpStatus != 200 || reply.text.empty()) {
            state.SkipWithError("the request failed");
            break;
        }
        bytes += reply.text.size();
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
    parlomar::SetTransportUi(nullptr);
}

void BM_HttpGetListAccounts(benchmark::State& state) {
    Fetch(state, false);
}
void BM_HttpGetListAccountsOnGuiThread(benchmark::State& state) {
    Fetch(state, true);
}
BENCHMARK(BM_HttpGetListAccounts)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_HttpGetListAccountsOnGuiThread)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

#endif

BENCHMARK_MAIN();
