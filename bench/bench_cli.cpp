// parlomar-cli listing 100,000 accounts as CSV (rows written while the reply arrives) against a
// plain fetch of the same reply by curl, both as whole processes against the stand-in server. The
// goal: the listing within 1.3 times the fetch, under 100 MB peak memory. child_maxrss_MB is the
// largest peak resident size of the processes run so far.
//
// And find over ten saved servers, the k-th of them answering k * 100 ms late: against a search of
// the slowest one alone and a search of each in turn (the goal: about the slowest, not the sum).

#include "TestSupport.h"
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

// A stand-in server started in folder/data, its port once it listens; pid is set for its end.
std::string StartStandin(const fs::path& folder, const char* seed, const std::string& delayMs, pid_t& pid) {
    int fds[2];
    if (pipe(fds) != 0)
        throw std::runtime_error("pipe failed");
    pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        dup2(fds[1], STDOUT_FILENO);
        const std::string data = (folder / "data").string();
        if (delayMs.empty())
            execl(PARLOMAR_STANDIN_BIN, PARLOMAR_STANDIN_BIN, "--listen", "127.0.0.1:0", "--data",
                  data.c_str(), "--user", "bench", "--password", "bench", "--seed", seed,
                  static_cast<char*>(nullptr));
        else
            execl(PARLOMAR_STANDIN_BIN, PARLOMAR_STANDIN_BIN, "--listen", "127.0.0.1:0", "--data",
                  data.c_str(), "--user", "bench", "--password", "bench", "--seed", seed, "--delay-ms",
                  delayMs.c_str(), static_cast<char*>(nullptr));
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
    return std::to_string(std::atoi(line.c_str() + colon + 1));
}

fs::path MakeFolder() {
    std::string pattern = (fs::temp_directory_path() / "cli-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    return pattern;
}

// Saves server number n of parlomar-cli's settings in folder/program, pinned and remembered.
void SaveServer(int n, const std::string& port, const fs::path& cert) {
    const std::string section = "Server" + std::to_string(n);
    const auto set = [&section](const std::string& key, const std::string& value) {
        parlomar::WriteIniValue(section, key, value, parlomar::kSettingsTarget);
    };
    set("IP", "127.0.0.1");
    set("Port", port);
    set("Login", "bench");
    set("SavePsw", "1");
    set("Psw", parlomar::EncipherPassword("bench"));
    parlomar::WriteIniValue("Certificates", "127.0.0.1:" + port, parlomar::test::CertificateFingerprint(cert),
                            parlomar::kSettingsTarget);
}

std::string CopyCli(const fs::path& folder) {
    fs::create_directories(folder / "program");
    const std::string cli = (folder / "program" / "parlomar-cli").string();
    fs::copy_file(PARLOMAR_CLI_BIN, cli);
    parlomar::SetProgramFolder(folder / "program");
    return cli;
}

// The stand-in with 100,000 generated accounts, and a program folder of parlomar-cli whose settings
// save it with its certificate pinned and its password remembered.
class Setup {
public:
    Setup() : dir_(MakeFolder()) {
        port = StartStandin(dir_, "100000", "", pid_);
        cli = CopyCli(dir_);
        cert = (dir_ / "data" / "standin-cert.pem").string();
        SaveServer(1, port, cert);
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

// Ten stand-ins, the k-th answering every request k * 100 ms late, saved as ten servers of one
// parlomar-cli: find searches them at once, the baseline one after another.
class TenServers {
public:
    static constexpr int kServers = 10;
    TenServers() : dir_(MakeFolder()) {
        std::vector<std::string> ports;
        for (int k = 1; k <= kServers; ++k) {
            const fs::path folder = dir_ / ("server" + std::to_string(k));
            ports.push_back(StartStandin(folder, "demo", std::to_string(k * 100), pids_.emplace_back()));
        }
        cli = CopyCli(dir_);
        for (int k = 1; k <= kServers; ++k)
            SaveServer(k, ports[static_cast<std::size_t>(k - 1)],
                       dir_ / ("server" + std::to_string(k)) / "data" / "standin-cert.pem");
    }
    ~TenServers() {
        for (pid_t pid : pids_) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    std::string cli;

private:
    fs::path dir_;
    std::vector<pid_t> pids_;
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

TenServers& Ten() {
    static TenServers servers;
    return servers;
}

// find over the ten servers; its settings are set up first, outside the timing (one server after
// another for the baseline, against the same servers).
void BM_CliFindTenServers(benchmark::State& state) {
    TenServers& ten = Ten();
    for (auto _ : state) {
        if (Run({ten.cli, "find", "a", "--by", "user"}) > 1)
            state.SkipWithError("parlomar-cli find failed");
    }
}

void BM_CliSearchTenServersInTurn(benchmark::State& state) {
    TenServers& ten = Ten();
    for (auto _ : state) {
        for (int k = 1; k <= TenServers::kServers; ++k)
            if (Run({ten.cli, "accounts", "-s", std::to_string(k), "--search", "a", "--by", "user"}) != 0)
                state.SkipWithError("parlomar-cli accounts failed");
    }
}

void BM_CliSearchSlowestServer(benchmark::State& state) {
    TenServers& ten = Ten();
    for (auto _ : state) {
        if (Run({ten.cli, "accounts", "-s", std::to_string(TenServers::kServers), "--search", "a", "--by",
                 "user"}) != 0)
            state.SkipWithError("parlomar-cli accounts failed");
    }
}

} // namespace

BENCHMARK(BM_PlainFetch100k)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_CliAccountsCsv100k)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_CliSearchSlowestServer)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_CliFindTenServers)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_CliSearchTenServersInTurn)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

BENCHMARK_MAIN();
