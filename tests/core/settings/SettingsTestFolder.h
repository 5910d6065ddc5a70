#pragma once

#include "core/settings/Paths.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <string_view>

namespace parlomar::test {

// A fresh temporary program folder for one test; removed (and the program folder reset) afterwards.
class SettingsTestFolder {
public:
    SettingsTestFolder() {
        std::random_device rd;
        folder_ = std::filesystem::temp_directory_path() / ("parlomar-settings-" + std::to_string(rd()));
        std::filesystem::create_directories(folder_);
        previous_ = ProgramFolder();
        SetProgramFolder(folder_);
    }
    ~SettingsTestFolder() {
        SetProgramFolder(previous_);
        std::error_code ec;
        std::filesystem::permissions(folder_, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(folder_, ec);
    }
    SettingsTestFolder(const SettingsTestFolder&) = delete;
    SettingsTestFolder& operator=(const SettingsTestFolder&) = delete;

    const std::filesystem::path& Path() const { return folder_; }

    static void Write(const std::filesystem::path& file, std::string_view text) {
        std::filesystem::create_directories(file.parent_path());
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
    }

    static std::string Read(const std::filesystem::path& file) {
        std::ifstream in(file, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

private:
    std::filesystem::path folder_;
    std::filesystem::path previous_;
};

} // namespace parlomar::test
