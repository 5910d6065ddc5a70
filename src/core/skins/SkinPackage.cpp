#include "core/skins/SkinPackage.h"

#include "core/Error.h"
#include "core/Files.h"
#include "core/Text.h"
#include "core/settings/Paths.h"
#include "core/skins/SciZipFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <iterator>
#include <memory>
#include <system_error>
#include <unordered_map>
#include <vector>

namespace parlomar {

std::string CurrentSkin{NoSkin};

namespace {

// What has been read from the package of one skin choice.
struct ActivePackage {
    std::string skin; // the CurrentSkin this belongs to
    bool opened = false;
    std::unique_ptr<TZipFile> zip; // null when the package is missing or cannot be read
    std::unordered_map<std::string, int> firstEntry;
    bool settingsRead = false;
    TSkinSettings settings;
    std::filesystem::path copy; // the settings copy made or taken over in this run
};

ActivePackage& Active() {
    static ActivePackage active;
    if (active.skin != CurrentSkin) {
        active = ActivePackage();
        active.skin = CurrentSkin;
    }
    return active;
}

// The index of the first entry named name, or -1.
int FindEntry(const TZipFile& zip, const std::string& name) {
    for (int i = 0; i < zip.EntryCount(); ++i) {
        if (zip.EntryName(i) == name) {
            return i;
        }
    }
    return -1;
}

// The package of name when it exists as a file; an empty path otherwise.
std::filesystem::path ExistingPackage(std::string_view name) {
    auto path = SkinPackagePath(name);
    std::error_code ec;
    if (path.empty() || !std::filesystem::is_regular_file(path, ec)) {
        return {};
    }
    return path;
}

// The archive of the active skin, opened on first use. Null when there is none or it cannot be
// read; the failure is remembered for this choice, so a damaged package is not read again for every
// picture.
const TZipFile* ActiveArchive() {
    ActivePackage& active = Active();
    if (!active.opened) {
        active.opened = true;
        const auto package = ExistingPackage(active.skin);
        if (!package.empty()) {
            auto zip = std::make_unique<TZipFile>();
            try {
                zip->OpenArchive(package);
                for (int i = zip->EntryCount() - 1; i >= 0; --i) {
                    active.firstEntry[zip->EntryName(i)] = i;
                }
                active.zip = std::move(zip);
            } catch (const Error&) {
                active.firstEntry.clear();
            }
        }
    }
    return active.zip.get();
}

int ActiveEntry(const std::string& name) {
    const auto& entries = Active().firstEntry;
    const auto found = entries.find(name);
    return found == entries.end() ? -1 : found->second;
}

std::filesystem::path IniCopyPath(const std::filesystem::path& tempFolder) {
    return tempFolder / ("Parlomar" + CurrentSkin + ".ini");
}

// Splits text into lines (a line ends at CR, LF or CR LF; a final line end adds no empty line)
// and ends every line with CR LF.
std::string WithCrLfLines(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 8 + 2);
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t end = text.find_first_of("\r\n", i);
        if (end == std::string_view::npos) {
            out.append(text.substr(i)).append("\r\n");
            break;
        }
        out.append(text.substr(i, end - i)).append("\r\n");
        i = end + 1;
        if (text[end] == '\r' && i < text.size() && text[i] == '\n') {
            ++i;
        }
    }
    return out;
}

// A copy of an earlier run that may be used as it is: a plain file (not a link) of this user with
// one name, that nobody else may write.
bool IsOwnCopy(const std::filesystem::path& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid() &&
           st.st_nlink == 1 && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// Writes data into a file descriptor that was just created for path; on failure the file goes.
void FillNewFile(int fd, const std::filesystem::path& path, std::string_view data,
                 const std::string& shownName) {
    const bool ok = WriteAll(fd, data);
    if (close(fd) != 0 || !ok) {
        std::error_code ec;
        std::filesystem::remove(path, ec);
        throw Error("Cannot create file \"" + shownName + "\".");
    }
}

// Creates the settings copy: exclusively at path, or, when that name is taken, at a fresh name
// beside it. Returns the path written.
std::filesystem::path CreateCopy(const std::filesystem::path& path, std::string_view data) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) {
        FillNewFile(fd, path, data, path.string());
        return path;
    }
    if (errno != EEXIST) {
        throw Error("Cannot create file \"" + path.string() + "\".");
    }
    std::string pattern = path.parent_path() / (path.stem().string() + "-XXXXXX.ini");
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int unique = mkstemps(name.data(), 4);
    if (unique < 0) {
        throw Error("Cannot create file \"" + path.string() + "\".");
    }
    const std::filesystem::path fresh(name.data());
    FillNewFile(unique, fresh, data, path.string());
    return fresh;
}

} // namespace

TSkinSettings::TSkinSettings(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
    }
    std::unordered_map<std::string, std::string>* section = nullptr;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        line = Trimmed(line.substr(0, line.find_last_not_of('\r') + 1));
        if (line.empty() || line.front() == ';') {
            continue;
        }
        if (line.front() == '[' && line.find(']') != std::string_view::npos) {
            // A repeated section adds to the keys of the first one.
            section = &sections_[LowerAscii(Trimmed(line.substr(1, line.rfind(']') - 1)))];
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos || !section) {
            continue;
        }
        std::string_view value = Trimmed(line.substr(equals + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front()) {
            value = value.substr(1, value.size() - 2);
        }
        section->try_emplace(LowerAscii(Trimmed(line.substr(0, equals))), value);
    }
}

std::string TSkinSettings::Value(std::string_view section, std::string_view key) const {
    const auto found = sections_.find(LowerAscii(section));
    if (found == sections_.end()) {
        return {};
    }
    const auto value = found->second.find(LowerAscii(key));
    return value == found->second.end() ? std::string() : value->second;
}

bool IsPackageName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos;
}

std::filesystem::path SkinPackagePath(std::string_view name) {
    if (!IsPackageName(name)) {
        return {};
    }
    const std::string file = std::string(name) + ".zip";
    const auto folders = SkinFolders();
    for (const auto& folder : folders) {
        std::error_code ec;
        if (std::filesystem::is_regular_file(folder / file, ec)) {
            return folder / file;
        }
    }
    return folders.back() / file;
}

SkinPackageState CheckSkinPackage(const std::string& name) {
    const auto package = ExistingPackage(name);
    if (package.empty()) {
        return SkinPackageState::Missing;
    }
    try {
        TZipFile zip;
        zip.OpenArchive(package);
        if (zip.EntryCount() == 0) {
            return SkinPackageState::NotAnArchive;
        }
        const int index = FindEntry(zip, name + ".ini");
        if (index < 0) {
            return SkinPackageState::NoSettings;
        }
        zip.EntryData(index);
    } catch (const Error&) {
        return SkinPackageState::Damaged;
    }
    return SkinPackageState::Usable;
}

std::filesystem::path SkinIniPath() {
    if (!IsPackageName(CurrentSkin)) {
        return {};
    }
    ActivePackage& active = Active();
    std::error_code ec;
    if (!active.copy.empty() && std::filesystem::exists(active.copy, ec)) {
        return active.copy;
    }
    const auto tempFolder = std::filesystem::temp_directory_path(ec);
    if (ec || tempFolder.empty() || !std::filesystem::is_directory(tempFolder, ec)) {
        return {};
    }
    const auto copy = IniCopyPath(tempFolder);
    const auto package = ExistingPackage(CurrentSkin);
    if (IsOwnCopy(copy)) {
        // An earlier extraction is reused unchanged, unless the package was replaced since.
        const auto copyTime = std::filesystem::last_write_time(copy, ec);
        const auto packageTime = package.empty() ? copyTime : std::filesystem::last_write_time(package, ec);
        if (ec || packageTime <= copyTime) {
            active.copy = copy;
            return copy;
        }
        std::filesystem::remove(copy, ec);
    }
    // Reading the package fails with its own error when it is damaged; a missing one gives nothing.
    if (package.empty()) {
        return {};
    }
    TZipFile zip;
    zip.OpenArchive(package);
    const int index = FindEntry(zip, CurrentSkin + ".ini");
    if (index < 0) {
        return {};
    }
    active.copy = CreateCopy(copy, WithCrLfLines(zip.EntryData(index)));
    return active.copy;
}

void DeleteSkinIniCopy() {
    if (!IsPackageName(CurrentSkin)) {
        return;
    }
    std::filesystem::path copy = Active().copy;
    std::error_code ec;
    if (copy.empty()) {
        const auto tempFolder = std::filesystem::temp_directory_path(ec);
        if (!ec && !tempFolder.empty()) {
            copy = IniCopyPath(tempFolder);
        }
    }
    if (!copy.empty() && IsOwnCopy(copy)) {
        std::filesystem::remove(copy, ec);
    }
    ForgetSkinPackage();
}

std::string ReadSkinFile(const std::string& entryName, const std::string& skinName) {
    const auto package = ExistingPackage(skinName);
    if (package.empty()) {
        return {};
    }
    TZipFile zip;
    zip.OpenArchive(package);
    const int index = FindEntry(zip, entryName);
    return index < 0 ? std::string() : zip.EntryData(index);
}

std::string SkinListTitle(const std::string& skinName) {
    std::string info;
    try {
        info = ReadSkinFile("skin.nfo", skinName);
    } catch (const Error&) {
        return skinName;
    }
    const std::size_t end = info.find('\r');
    if (end == std::string::npos || end == 0) {
        return skinName;
    }
    return info.substr(0, std::min<std::size_t>(end, 64));
}

std::optional<std::string> SkinBitmapData(const std::string& baseName) {
    const TZipFile* zip = ActiveArchive();
    if (!zip) {
        return std::nullopt;
    }
    const int index = ActiveEntry(baseName + ".bmp");
    if (index < 0) {
        return std::nullopt;
    }
    std::string data;
    try {
        data = zip->EntryData(index);
    } catch (const Error&) {
        return std::nullopt; // a damaged picture keeps the plain look of its part
    }
    if (data.compare(0, 2, "BM") != 0) {
        return std::nullopt; // not a BMP file: skipped without a message
    }
    return data;
}

std::string ReadSkinValue(std::string_view section, std::string_view key) {
    ActivePackage& active = Active();
    if (!active.settingsRead) {
        active.settingsRead = true;
        try {
            const auto path = SkinIniPath();
            if (!path.empty()) {
                std::ifstream in(path, std::ios::binary);
                const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
                active.settings = TSkinSettings(text);
            }
        } catch (const Error&) {
            active.settings = TSkinSettings(); // every value reads empty: the window keeps its look
        }
    }
    return active.settings.Value(section, key);
}

void ForgetSkinPackage() {
    Active() = ActivePackage();
    Active();
}

} // namespace parlomar
