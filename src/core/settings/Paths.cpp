#include "core/settings/Paths.h"

#include "core/Error.h"
#include "core/Files.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>

namespace parlomar {

namespace fs = std::filesystem;

namespace {

constexpr const char* kFolderName = "ParlomarClient";
constexpr const char* kSettingsName = "ParlomarClient.ini";

fs::path LanguageIn(const fs::path& folder) {
    return folder / "Localization" / "English.lng";
}

TFileLocations PortableLocations(const fs::path& folder) {
    std::error_code ec;
    return {folder, folder, {}, folder / kSettingsName, fs::temp_directory_path(ec), true};
}

TFileLocations& Locations() {
    static TFileLocations locations = PortableLocations(fs::current_path());
    return locations;
}

// An absolute path from a variable, or nothing.
fs::path AbsoluteVariable(const EnvironmentLookup& environment, const char* name) {
    const char* value = environment(name);
    if (!value || !*value) {
        return {};
    }
    fs::path path(value);
    return path.is_absolute() ? path : fs::path();
}

fs::path HomeFolder(const EnvironmentLookup& environment) {
    fs::path home = AbsoluteVariable(environment, "HOME");
    if (home.empty()) {
        if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir) {
            home = entry->pw_dir;
        }
    }
    return home;
}

// The runtime folder is used only when it is this user's and closed to everybody else, so that the
// lock in it cannot be taken or removed by another user.
bool PrivateFolder(const fs::path& folder) {
    struct stat st {};
    return lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == getuid() &&
           (st.st_mode & 077) == 0;
}

// Creates folder and the missing folders above it, each one this user's only.
bool MakePrivateFolders(const fs::path& folder) {
    std::error_code ec;
    if (fs::is_directory(folder, ec)) {
        return true;
    }
    if (folder.has_parent_path() && folder.parent_path() != folder &&
        !MakePrivateFolders(folder.parent_path())) {
        return false;
    }
    return mkdir(folder.c_str(), 0700) == 0 || (errno == EEXIST && fs::is_directory(folder, ec));
}

// A shipped file read to copy it for the user: settings and captions are far smaller than this.
constexpr std::size_t kMaxShippedFile = 64u * 1024u * 1024u;

std::optional<std::string> ReadWhole(const fs::path& path) {
    return ReadRegularFile(path, kMaxShippedFile);
}

// Creates path with text, never over an existing file or link. False when it could not.
bool CreateFileWith(const fs::path& path, const std::string& text, mode_t mode) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0) {
        return false;
    }
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        written += static_cast<std::size_t>(n);
    }
    const bool ok = close(fd) == 0 && written == text.size();
    if (!ok) {
        unlink(path.c_str());
    }
    return ok;
}

bool Exists(const fs::path& path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

// folder as this user's private folder: created 0700 when missing; an existing one is taken only
// when it is a folder itself (no symbolic link) of this user, and is closed to everybody else if it
// was not. False when the name is another user's or no folder.
bool OwnPrivateFolder(const fs::path& folder) {
    if (folder.empty() || (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)) {
        return false;
    }
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat st {};
    bool own = fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid();
    if (own && (st.st_mode & 077) != 0) {
        own = fchmod(fd, 0700) == 0;
    }
    close(fd);
    return own;
}

} // namespace

fs::path PrivateRuntimeFolder(const TUserFolders& user, const fs::path& tempFolder) {
    if (!user.runtime.empty() && PrivateFolder(user.runtime)) {
        return user.runtime;
    }
    if (!tempFolder.empty()) {
        const fs::path own = tempFolder / ("ParlomarClient-" + std::to_string(geteuid()));
        if (OwnPrivateFolder(own)) {
            return own;
        }
    }
    // The name in the temporary folder is taken by someone else: the user's data folder instead.
    if (!user.data.empty() && MakePrivateFolders(user.data.parent_path())) {
        const fs::path own = user.data / "run";
        if (OwnPrivateFolder(user.data) && OwnPrivateFolder(own)) {
            return own;
        }
    }
    return {};
}

fs::path PrivateRuntimeFolder() {
    std::error_code ec;
    const fs::path temp = fs::temp_directory_path(ec);
    return PrivateRuntimeFolder(UserFolders(), ec ? fs::path() : temp);
}

TUserFolders UserFolders(const EnvironmentLookup& environment) {
    TUserFolders folders;
    const fs::path home = HomeFolder(environment);
    fs::path config = AbsoluteVariable(environment, "XDG_CONFIG_HOME");
    if (config.empty() && !home.empty()) {
        config = home / ".config";
    }
    fs::path data = AbsoluteVariable(environment, "XDG_DATA_HOME");
    if (data.empty() && !home.empty()) {
        data = home / ".local" / "share";
    }
    if (!config.empty()) {
        folders.config = config / kFolderName;
    }
    if (!data.empty()) {
        folders.data = data / kFolderName;
    }
    const fs::path runtime = AbsoluteVariable(environment, "XDG_RUNTIME_DIR");
    if (!runtime.empty() && PrivateFolder(runtime)) {
        folders.runtime = runtime;
    }
    return folders;
}

TUserFolders UserFolders() {
    return UserFolders([](const char* name) { return std::getenv(name); });
}

fs::path InstalledDataFromBin() {
#ifdef PARLOMAR_DATA_FROM_BIN
    return PARLOMAR_DATA_FROM_BIN;
#else
    return "../share/parlomarclient";
#endif
}

TFileLocations ResolveFileLocations(const fs::path& programFolder, bool programFolderWritable,
                                    const TUserFolders& user, const fs::path& dataFromBin) {
    TFileLocations locations = PortableLocations(programFolder);
    if (!user.runtime.empty()) {
        locations.lockFolder = user.runtime;
    }
    // The data of an installation beside a program folder that ships none makes it installed use.
    const fs::path installed = (programFolder / dataFromBin).lexically_normal();
    const bool isInstalled = !Exists(LanguageIn(programFolder)) && Exists(installed);
    if (!isInstalled && programFolderWritable) {
        return locations; // portable use
    }
    if (isInstalled) {
        locations.dataFolder = installed;
    }
    locations.portable = false;
    locations.userFolder = user.data;
    locations.settingsFile = user.config.empty() ? fs::path() : user.config / kSettingsName;
    return locations;
}

bool FolderWritable(const fs::path& folder) {
    return access(folder.c_str(), W_OK | X_OK) == 0;
}

void UseFileLocations(const TFileLocations& locations) {
    Locations() = locations;
}

void SetProgramFolder(const fs::path& folder) {
    UseFileLocations(PortableLocations(folder));
}

const TFileLocations& FileLocations() {
    return Locations();
}

const fs::path& ProgramFolder() {
    return Locations().programFolder;
}

std::optional<std::string> PrepareSettingsFile() {
    const TFileLocations& at = Locations();
    if (at.portable) {
        return std::nullopt; // the program folder's own file, as it is
    }
    if (at.settingsFile.empty()) {
        return "No folder for the settings file: neither XDG_CONFIG_HOME nor HOME is set.";
    }
    if (!MakePrivateFolders(at.settingsFile.parent_path())) {
        return "Unable to create " + at.settingsFile.parent_path().string();
    }
    struct stat st {};
    if (lstat(at.settingsFile.c_str(), &st) == 0) {
        return std::nullopt; // made on an earlier start
    }
    const auto shipped = ReadWhole(at.dataFolder / kSettingsName);
    if (!shipped) {
        return std::nullopt; // nothing shipped: the first write creates the file
    }
    if (!CreateFileWith(at.settingsFile, *shipped, 0600)) {
        return "Unable to write to " + at.settingsFile.string();
    }
    return std::nullopt;
}

fs::path SettingsFile() {
    return Locations().settingsFile;
}

fs::path LanguageFile() {
    const TFileLocations& at = Locations();
    if (!at.portable && !at.userFolder.empty()) {
        fs::path own = LanguageIn(at.userFolder);
        if (Exists(own)) {
            return own;
        }
    }
    return LanguageIn(at.dataFolder);
}

fs::path LanguageFileForWriting() {
    const TFileLocations& at = Locations();
    if (at.portable || at.userFolder.empty()) {
        return LanguageIn(at.dataFolder);
    }
    const fs::path own = LanguageIn(at.userFolder);
    struct stat st {};
    if (lstat(own.c_str(), &st) == 0) {
        return own;
    }
    // The first write starts the user's copy from the shipped file, so that nothing of it is lost.
    if (!MakePrivateFolders(own.parent_path())) {
        throw Error("Unable to write to " + own.string());
    }
    if (const auto shipped = ReadWhole(LanguageIn(at.dataFolder))) {
        if (!CreateFileWith(own, *shipped, 0644) && !Exists(own)) {
            throw Error("Unable to write to " + own.string());
        }
    }
    return own;
}

fs::path SkinsFolder() {
    return Locations().dataFolder / "skins";
}

std::vector<fs::path> SkinFolders() {
    const TFileLocations& at = Locations();
    std::vector<fs::path> folders;
    if (!at.portable && !at.userFolder.empty()) {
        folders.push_back(at.userFolder / "skins");
    }
    folders.push_back(SkinsFolder());
    return folders;
}

fs::path SkinSaveFolder() {
    const TFileLocations& at = Locations();
    return (at.portable || at.userFolder.empty() ? at.programFolder : at.userFolder) / "skins";
}

fs::path ExecutableFolder() {
    std::error_code ec;
    auto exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec || exe.empty()) {
        return fs::current_path();
    }
    return exe.parent_path();
}

} // namespace parlomar
