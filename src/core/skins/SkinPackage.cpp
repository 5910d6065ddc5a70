#include "skins/SkinPackage.h"

#include "Error.h"
#include "settings/Paths.h"
#include "skins/SciZipFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <vector>

namespace parlomar {

std::string CurrentSkin{NoSkin};

namespace {

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

// Writes data to path through a temporary file in the same folder and a rename, so that a reader
// never sees a half-written copy and an existing link at path is replaced, not written through.
void WriteFileAtomically(const std::filesystem::path& path, std::string_view data) {
    const auto fail = [&path]() { throw Error("Cannot create file \"" + path.string() + "\"."); };
    std::string pattern = path.string() + ".XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0) {
        fail();
    }
    bool ok = true;
    std::size_t written = 0;
    while (ok && written < data.size()) {
        const ssize_t n = write(fd, data.data() + written, data.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        ok = n > 0;
        written += ok ? static_cast<std::size_t>(n) : 0;
    }
    ok = (close(fd) == 0) && ok;
    std::error_code ec;
    if (ok) {
        std::filesystem::rename(name.data(), path, ec);
    }
    if (!ok || ec) {
        std::filesystem::remove(name.data(), ec);
        fail();
    }
}

} // namespace

bool IsPackageName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos;
}

std::filesystem::path SkinPackagePath(std::string_view name) {
    if (!IsPackageName(name)) {
        return {};
    }
    return SkinsFolder() / (std::string(name) + ".zip");
}

std::filesystem::path SkinIniPath() {
    if (!IsPackageName(CurrentSkin)) {
        return {};
    }
    std::error_code ec;
    const auto tempFolder = std::filesystem::temp_directory_path(ec);
    if (ec || tempFolder.empty()) {
        return {};
    }
    const auto copy = IniCopyPath(tempFolder);
    if (std::filesystem::exists(copy, ec)) {
        return copy; // an earlier extraction is reused unchanged
    }
    const auto package = ExistingPackage(CurrentSkin);
    if (package.empty()) {
        return {};
    }
    TZipFile zip;
    zip.OpenArchive(package);
    const int index = FindEntry(zip, CurrentSkin + ".ini");
    if (index < 0) {
        return {};
    }
    WriteFileAtomically(copy, WithCrLfLines(zip.EntryData(index)));
    return copy;
}

void DeleteSkinIniCopy() {
    if (!IsPackageName(CurrentSkin)) {
        return;
    }
    std::error_code ec;
    const auto tempFolder = std::filesystem::temp_directory_path(ec);
    if (ec || tempFolder.empty()) {
        return;
    }
    std::filesystem::remove(IniCopyPath(tempFolder), ec);
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

std::optional<std::string> SkinBitmapData(const std::string& baseName) {
    const auto package = ExistingPackage(CurrentSkin);
    if (package.empty()) {
        return std::nullopt;
    }
    TZipFile zip;
    zip.OpenArchive(package);
    const int index = FindEntry(zip, baseName + ".bmp");
    if (index < 0) {
        return std::nullopt;
    }
    std::string data = zip.EntryData(index);
    if (data.compare(0, 2, "BM") != 0) {
        return std::nullopt; // not a BMP file: skipped without a message
    }
    return data;
}

} // namespace parlomar
