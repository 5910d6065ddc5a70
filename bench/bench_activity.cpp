// Costs of the activity log and the saved servers: a line appended before a change is sent (it is on
// disk when the call returns), reading back a full log of three 10 MiB files for the window, and the
// settings write after a sign-in with a full list of 50 saved servers.

#include "core/server/ActivityLog.h"
#include "core/settings/Paths.h"
#include "core/settings/SavedServers.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

class TemporaryHome {
public:
    TemporaryHome() {
        folder_ = std::filesystem::temp_directory_path() /
                  ("parlomar-bench-activity-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder_);
        ::setenv("XDG_DATA_HOME", folder_.c_str(), 1);
        parlomar::SetProgramFolder(folder_);
    }
    ~TemporaryHome() {
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
    }
    const std::filesystem::path& Folder() const { return folder_; }

private:
    std::filesystem::path folder_;
};

parlomar::ActivityRecord Record(int n) {
    parlomar::ActivityRecord record;
    record.time = parlomar::ActivityTimeNow();
    record.entry = "bench-" + std::to_string(n);
    record.phase = n % 2 ? "outcome" : "sending";
    record.server = "cp1.hosting.example";
    record.port = 2087;
    record.user = "root";
    record.function = "suspendacct";
    record.target = "user" + std::to_string(n / 2);
    record.parameters = {{"user", record.target}};
    record.serverStatus = "1";
    record.message = record.target + " account is now suspended.";
    return record;
}

void BM_AppendActivity(benchmark::State& state) {
    TemporaryHome home;
    int n = 0;
    for (auto _ : state)
        parlomar::AppendActivity(Record(n++));
}
BENCHMARK(BM_AppendActivity)->Unit(benchmark::kMicrosecond);

void BM_ReadFullActivityLog(benchmark::State& state) {
    TemporaryHome home;
    const std::filesystem::path file = parlomar::ActivityLogFile();
    std::filesystem::create_directories(file.parent_path());
    std::size_t lines = 0;
    for (const char* name : {"activity.log.2", "activity.log.1", "activity.log"}) {
        std::ofstream out(file.parent_path() / name, std::ios::binary);
        std::size_t size = 0;
        for (int n = 0; size < parlomar::kActivityLogLimit; ++n, ++lines) {
            const std::string line = parlomar::ActivityLine(Record(static_cast<int>(lines)));
            out << line;
            size += line.size();
        }
    }
    std::size_t entries = 0;
    for (auto _ : state)
        entries = parlomar::ReadActivityLog().size();
    state.counters["entries"] = static_cast<double>(entries);
    state.counters["lines"] = static_cast<double>(lines);
}
BENCHMARK(BM_ReadFullActivityLog)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_RememberServerInAFullList(benchmark::State& state) {
    TemporaryHome home;
    std::vector<parlomar::SavedServer> list;
    for (int n = 0; n < 50; ++n) {
        parlomar::SavedServer server;
        server.address = "cp" + std::to_string(n) + ".hosting.example";
        server.port = 2087;
        server.userName = "root";
        list.push_back(server);
    }
    parlomar::WriteSavedServers(list);
    int n = 0;
    for (auto _ : state) {
        const auto read = parlomar::ReadSavedServers();
        parlomar::WriteSavedServers(
            parlomar::WithServerFirst(read, read[static_cast<std::size_t>(49 - n++ % 50)]));
    }
}
BENCHMARK(BM_RememberServerInAFullList)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
