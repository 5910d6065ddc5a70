// parlomar-cli listing 100,000 accounts as CSV (rows written while the reply arrives) against a
// plain fetch of the same reply by curl, both as whole processes against the stand-in server. The
// goal: the listing within 1.3 times the fetch, under 100 MB peak memory. child_maxrss_MB is the
// largest peak resident size of the processes run so far.
//
// And find over ten saved servers, the k-th of them answering k * 100 ms late: against a search of
// the slowest one alone and a search of each in turn (the goal: about the slowest, not the sum).

#include "StandinProcess.h"
#include "TestSupport.h"
#include "core/server/PasswordCipher.h"
#include "core/settings/IniFile.h"
#include "core/settings/Paths.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using parlomar::test::RunCommand;
using standin_test::StandinProcess;

// Saves the stand-in as server number n of parlomar-cli's settings, pinned and remembered.
void SaveServer(int n, const StandinProcess& server) {
    const std::string section = "Server" + std::to_string(n);
    const std::string port = std::to_string(server.Port());
    const auto set = [&section](const std::string& key, const std::string& value) {
        parlomar::WriteIniValue(section, key, value, parlomar::kSettingsTarget);
    };
    set("IP", "127.0.0.1");
    set("Port", port);
    set("Login", standin_test::kUser);
    set("SavePsw", "1");
    set("Psw", parlomar::EncipherPassword(standin_test::kPassword));
    parlomar::WriteIniValue("Certificates", "127.0.0.1:" + port,
                            parlomar::test::CertificateFingerprint(server.CertFile()),
                            parlomar::kSettingsTarget);
}

// A program folder of parlomar-cli in folder; the settings written from here on are its own.
std::string CopyCli(const fs::path& folder) {
    fs::create_directories(folder / "program");
    const std::string cli = (folder / "program" / "parlomar-cli").string();
    fs::copy_file(PARLOMAR_CLI_BIN, cli);
    parlomar::SetProgramFolder(folder / "program");
    return cli;
}

// The stand-in with 100,000 generated accounts, saved as the one server of a parlomar-cli.
struct Setup {
    parlomar::test::TempDir dir;
    StandinProcess server{dir.Path() / "data", {"--seed", "100000"}};
    std::string cli = CopyCli(dir.Path());
    Setup() { SaveServer(1, server); }
};

// Ten stand-ins, the k-th answering every request k * 100 ms late, saved as ten servers of one
// parlomar-cli: find searches them at once, the baseline one after another.
struct TenServers {
    static constexpr int kServers = 10;
    parlomar::test::TempDir dir;
    std::vector<std::unique_ptr<StandinProcess>> servers;
    std::string cli = CopyCli(dir.Path());
    TenServers() {
        for (int k = 1; k <= kServers; ++k) {
            servers.push_back(std::make_unique<StandinProcess>(
                dir.Path() / ("server" + std::to_string(k)),
                std::vector<std::string>{"--seed", "demo", "--delay-ms", std::to_string(k * 100)}));
            SaveServer(k, *servers.back());
        }
    }
};

Setup& Bench() {
    static Setup setup;
    return setup;
}

double ChildPeakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_PlainFetch100k(benchmark::State& state) {
    Setup& setup = Bench();
    const std::string url = setup.server.Url("/xml-api/listaccts?searchtype=user&search=");
    const std::string credentials = std::string(standin_test::kUser) + ":" + standin_test::kPassword;
    for (auto _ : state) {
        if (RunCommand({"curl", "-sf", "-k", "-u", credentials, "-o", "/dev/null", url}) != 0)
            state.SkipWithError("curl failed");
    }
    state.counters["child_maxrss_MB"] = ChildPeakMegabytes();
}

void BM_CliAccountsCsv100k(benchmark::State& state) {
    Setup& setup = Bench();
    for (auto _ : state) {
        if (RunCommand({setup.cli, "accounts", "--format", "csv"}) != 0)
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
        if (RunCommand({ten.cli, "find", "a", "--by", "user"}) > 1)
            state.SkipWithError("parlomar-cli find failed");
    }
}

void BM_CliSearchTenServersInTurn(benchmark::State& state) {
    TenServers& ten = Ten();
    for (auto _ : state) {
        for (int k = 1; k <= TenServers::kServers; ++k)
            if (RunCommand({ten.cli, "accounts", "-s", std::to_string(k), "--search", "a", "--by", "user"}) !=
                0)
                state.SkipWithError("parlomar-cli accounts failed");
    }
}

void BM_CliSearchSlowestServer(benchmark::State& state) {
    TenServers& ten = Ten();
    for (auto _ : state) {
        if (RunCommand({ten.cli, "accounts", "-s", std::to_string(TenServers::kServers), "--search", "a",
                        "--by", "user"}) != 0)
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
