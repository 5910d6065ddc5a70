// parlomar-cli listing 100,000 accounts as CSV (rows written while the reply arrives) against a
// plain fetch of the same reply by curl, both as whole processes against the stand-in server. The
// goal: the listing within 1.3 times the fetch, under 100 MB peak memory. child_maxrss_MB is the
// largest peak resident size of the processes run so far.

#include "core/server/PasswordCipher.h"
#include "core/settings/IniFile.h"
#include "core/settings/Paths.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string Fingerprint(const fs::path& cert) {
    const std::string command = "openssl x509 -noout -fingerprint -sha256 -in '" + cert.string() + "'";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    char line[512] = {};
    if (!pipe || !fgets(line, sizeof line, pipe.get()))
        return {};
    std::string text(line);
    text = text.substr(text.find('=') + 1);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

// The stand-in with 100,000 generated accounts, and a program folder of parlomar-cli whose settings
// save it with its certificate pinned and its password remembered.
class Setup {
public:
    Setup() {
        std::string pattern = (fs::temp_directory_path() / "cli-bench-XXXXXX").string();
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
                  data.c_str(), "--user", "bench", "--password", "bench", "--seed", "100000",
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        std::string line;
        pollfd pfd{fds[0], POLLIN, 0};
        while (line.find('\n') == std::string::npos && poll(&pfd, 1, 300000) > 0) {
            char buffer[128];
            const ssize_t n = read(fds[0], buffer, sizeof buffer);
            if (n <= 0)
                break;
            line.append(buffer, static_cast<size_t>(n));
        }
        close(fds[0]);
        const std::size_t colon = line.rfind(':');
        if (line.rfind("listening on", 0) != 0 || colon == std::string::npos)
            throw std::runtime_error("the stand-in server did not start");
        port = std::to_string(std::atoi(line.c_str() + colon + 1));

        fs::create_directories(dir_ / "program");
        cli = (dir_ / "program" / "parlomar-cli").string();
        fs::copy_file(PARLOMAR_CLI_BIN, cli);
        parlomar::SetProgramFolder(dir_ / "program");
        const auto set = [](const char* section, const std::string& key, const std::string& value) {
            parlomar::WriteIniValue(section, key, value, parlomar::kSettingsTarget);
        };
        set("Server1", "IP", "127.0.0.1");
        set("Server1", "Port", port);
        set("Server1", "Login", "bench");
        set("Server1", "SavePsw", "1");
        set("Server1", "Psw", parlomar::EncipherPassword("bench"));
        set("Certificates", "127.0.0.1:" + port, Fingerprint(dir_ / "data" / "standin-cert.pem"));
        cert = (dir_ / "data" / "standin-cert.pem").string();
    }
    ~Setup() {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    std::string port;
    std::string cli;
    std::string cert;

private:
    fs::path dir_;
    pid_t pid_ = -1;
};

Setup& Bench() {
    static Setup setup;
    return setup;
}

// Runs a command with its output thrown away; its exit status.
int Run(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const auto& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_RDWR);
        dup2(null, STDIN_FILENO);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

double ChildPeakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_PlainFetch100k(benchmark::State& state) {
    Setup& setup = Bench();
    const std::string url = "https://127.0.0.1:" + setup.port + "/xml-api/listaccts?searchtype=user&search=";
    for (auto _ : state) {
        if (Run({"curl", "-sf", "-k", "-u", "bench:bench", "-o", "/dev/null", url}) != 0)
            state.SkipWithError("curl failed");
    }
    state.counters["child_maxrss_MB"] = ChildPeakMegabytes();
}

void BM_CliAccountsCsv100k(benchmark::State& state) {
    Setup& setup = Bench();
    for (auto _ : state) {
        if (Run({setup.cli, "accounts", "--format", "csv"}) != 0)
            state.SkipWithError("parlomar-cli failed");
    }
    state.counters["child_maxrss_MB"] = ChildPeakMegabytes();
}

} // namespace

BENCHMARK(BM_PlainFetch100k)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_CliAccountsCsv100k)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

BENCHMARK_MAIN();
