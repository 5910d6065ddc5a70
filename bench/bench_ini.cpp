// Speed of the INI layer: every settings read and write works on the whole file text, so these show
// what one ReadIniValue / WriteIniValue costs on the shipped settings file.

#include "core/settings/IniFile.h"
#include "core/settings/Paths.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

std::string ShippedSettings() {
    std::ifstream in(std::filesystem::path(PARLOMAR_SOURCE_DIR) / "data/ParlomarClient.ini",
                     std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// A temporary program folder holding the shipped settings file.
class ProgramFolderCopy {
public:
    ProgramFolderCopy() {
        folder_ =
            std::filesystem::temp_directory_path() / ("parlomar-bench-ini-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder_);
        std::filesystem::copy_file(std::filesystem::path(PARLOMAR_SOURCE_DIR) / "data/ParlomarClient.ini",
                                   folder_ / "ParlomarClient.ini",
                                   std::filesystem::copy_options::overwrite_existing);
        parlomar::SetProgramFolder(folder_);
    }
    ~ProgramFolderCopy() {
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
    }

private:
    std::filesystem::path folder_;
};

void BM_IniLookupLastKey(benchmark::State& state) {
    const auto text = ShippedSettings();
    for (auto _ : state) {
        benchmark::DoNotOptimize(parlomar::IniLookup(text, "ViewPackage", "LANG"));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_IniLookupLastKey);

void BM_IniSectionLines(benchmark::State& state) {
    const auto text = ShippedSettings();
    for (auto _ : state) {
        benchmark::DoNotOptimize(parlomar::IniSectionLines(text, "ViewSummaryOrder"));
    }
}
BENCHMARK(BM_IniSectionLines);

void BM_IniSetValue(benchmark::State& state) {
    const auto text = ShippedSettings();
    for (auto _ : state) {
        benchmark::DoNotOptimize(parlomar::IniSetValue(text, "ViewSummary", "maxaddons", "0"));
    }
}
BENCHMARK(BM_IniSetValue);

// One details-window fill reads the order section and about 30 view values from the file.
void BM_ReadIniValueFromFile(benchmark::State& state) {
    ProgramFolderCopy copy;
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            parlomar::ReadIniValue("ViewSummary", "maxaddons", parlomar::kSettingsTarget));
    }
}
BENCHMARK(BM_ReadIniValueFromFile);

// An atomic write: temporary file, fsync, rename.
void BM_WriteIniValueToFile(benchmark::State& state) {
    ProgramFolderCopy copy;
    int i = 0;
    for (auto _ : state) {
        parlomar::WriteIniValue("ViewSummary", "maxaddons", (++i % 2) ? "1" : "0", parlomar::kSettingsTarget);
    }
}
BENCHMARK(BM_WriteIniValueToFile);

} // namespace

BENCHMARK_MAIN();
