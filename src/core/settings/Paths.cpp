#include "settings/Paths.h"

#include <system_error>

namespace parlomar {

namespace {
std::filesystem::path& Folder() {
    static std::filesystem::path folder = std::filesystem::current_path();
    return folder;
}
} // namespace

void SetProgramFolder(const std::filesystem::path& folder) {
    Folder() = folder;
}

const std::filesystem::path& ProgramFolder() {
    return Folder();
}

std::filesystem::path SettingsFile() {
    return ProgramFolder() / "ParlomarClient.ini";
}

std::filesystem::path LanguageFile() {
    return ProgramFolder() / "Localization" / "English.lng";
}

std::filesystem::path SkinsFolder() {
    return ProgramFolder() / "skins";
}

std::filesystem::path ExecutableFolder() {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec || exe.empty()) {
        return std::filesystem::current_path();
    }
    return exe.parent_path();
}

} // namespace parlomar
