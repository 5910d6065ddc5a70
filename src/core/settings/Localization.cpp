#include "core/settings/Localization.h"

#include "core/settings/IniFile.h"

#include <cstdio>
#include <ctime>
#include <sys/stat.h>

namespace parlomar {

std::string AppName{kBuiltInAppName};
std::string VersionText = " ";
std::array<std::string, 2> BoolNames = {"No", "Yes"};

namespace {

// Removes leading and trailing blanks and control characters (every byte up to the blank).
std::string_view TrimControls(std::string_view s) {
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') {
        s.remove_prefix(1);
    }
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') {
        s.remove_suffix(1);
    }
    return s;
}

// Length of the valid UTF-8 sequence starting at s[i], or 1 for a byte that does not start one.
std::size_t CharLength(std::string_view s, std::size_t i) {
    auto c = static_cast<unsigned char>(s[i]);
    std::size_t n = c < 0x80             ? 1
                    : (c & 0xE0) == 0xC0 ? 2
                    : (c & 0xF0) == 0xE0 ? 3
                    : (c & 0xF8) == 0xF0 ? 4
                                         : 1;
    if (n == 1 || i + n > s.size()) {
        return 1;
    }
    for (std::size_t k = 1; k < n; ++k) {
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) {
            return 1;
        }
    }
    return n;
}

// The value of a language global: the trimmed file value cut to width, or the current value when
// the file value is shorter than two characters.
void LoadGlobal(std::string& global, std::string_view section, std::string_view key, std::size_t width) {
    auto value = ReadIniValue(section, key, kLanguageTarget);
    if (value.size() >= 2) {
        global = CutChars(TrimControls(value), width);
    }
}

constexpr const char* kMonthNames[12] = {"January",   "February", "March",    "April",
                                         "May",       "June",     "July",     "August",
                                         "September", "October",  "November", "December"};

} // namespace

void ResetLanguageGlobals() {
    // Fresh strings moved in: copy-assigning short literals to these globals trips a false
    // -Wrestrict warning of g++ 12 at -O3.
    AppName = std::string(kBuiltInAppName);
    VersionText = std::string(1, ' ');
    BoolNames = {std::string("No"), std::string("Yes")};
}

std::string CutChars(std::string_view text, std::size_t max) {
    std::size_t i = 0;
    for (std::size_t count = 0; i < text.size() && count < max; ++count) {
        i += CharLength(text, i);
    }
    return std::string(text.substr(0, i));
}

std::string ReadCaption(std::string_view defaultText, std::string_view section, std::string_view key) {
    auto value = ReadIniValue(section, key, kLanguageTarget);
    if (value.size() < 2) {
        return CutChars(defaultText, kAppNameWidth);
    }
    return CutChars(TrimControls(value), kCaptionWidth);
}

void LoadLanguageGlobals() {
    LoadGlobal(AppName, "APPLICATION", "NAME", kCaptionWidth);
    LoadGlobal(BoolNames[0], "BoolList", "Bool0", kBoolNameWidth);
    LoadGlobal(BoolNames[1], "BoolList", "Bool1", kBoolNameWidth);
}

void SaveLanguageGlobals() {
    WriteIniValue("APPLICATION", "NAME", AppName, kLanguageTarget);
    WriteIniValue("BoolList", "Bool0", BoolNames[0], kLanguageTarget);
    WriteIniValue("BoolList", "Bool1", BoolNames[1], kLanguageTarget);
}

std::string ErrorText(int code) {
    auto text = ReadIniValue("ErrorMess", "Err" + std::to_string(code), kLanguageTarget);
    if (text == "0") {
        text = ReadIniValue("ErrorMess", "Err11", kLanguageTarget);
    }
    return text;
}

std::string StatusText(int n) {
    return ReadIniValue("StatusList", "Sta" + std::to_string(n), kLanguageTarget);
}

std::string FileDateText(const std::filesystem::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return "";
    }
    return LocalDateText(st.st_mtime);
}

std::string LocalDateText(long long unixTime) {
    const auto time = static_cast<std::time_t>(unixTime);
    std::tm tm{};
    if (static_cast<long long>(time) != unixTime || ::localtime_r(&time, &tm) == nullptr || tm.tm_mon < 0 ||
        tm.tm_mon > 11 || tm.tm_year + 1900 < 1 || tm.tm_year + 1900 > 9999) {
        return "";
    }
    char text[64];
    std::snprintf(text, sizeof text, "%s %02d, %04d %02d:%02d", kMonthNames[tm.tm_mon], tm.tm_mday,
                  tm.tm_year + 1900, tm.tm_hour, tm.tm_min);
    return text;
}

std::string ProgramVersion() {
    return std::to_string(PARLOMAR_VERSION_MAJOR) + "." + std::to_string(PARLOMAR_VERSION_MINOR) + "." +
           std::to_string(PARLOMAR_VERSION_PATCH) + "." + std::to_string(PARLOMAR_VERSION_TWEAK);
}

const std::string& ComputeVersionText() {
    VersionText = CutChars(ProgramVersion() + " " + VersionText, kVersionTextWidth);
    return VersionText;
}

} // namespace parlomar
