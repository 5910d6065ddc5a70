#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace parlomar {

// The value of CurrentSkin while no skin is active: a backslash and the digit one.
inline constexpr std::string_view NoSkin = "\\1";

// The name of the active skin package (skins folder / CurrentSkin + ".zip"), or NoSkin.
// Set by the main window at start and by the settings dialog; read on the GUI thread only.
extern std::string CurrentSkin;

// Whether name can name a package in the skins folder: not empty, not "." or "..", and free of
// path separators and NUL. Skin names come from the settings file; other names (NoSkin among them)
// are treated as "no package" by every operation below.
bool IsPackageName(std::string_view name);

// name + ".zip" in the first of SkinFolders() that holds it (the shipped skins folder when none
// does), or an empty path when name is not a package name.
std::filesystem::path SkinPackagePath(std::string_view name);

// What a package offers before it is made the active skin.
enum class SkinPackageState {
    Usable,       // a ZIP archive holding a readable name + ".ini"
    Missing,      // no such file (or not a package name)
    NotAnArchive, // a file without any ZIP entry
    Damaged,      // the archive or its settings entry cannot be read
    NoSettings,   // an archive without name + ".ini"
};
SkinPackageState CheckSkinPackage(const std::string& name);

// The path of the extracted copy of the active skin's settings (temporary folder / "Parlomar" +
// CurrentSkin + ".ini"), extracting it first when there is none yet. A copy left by an earlier run
// of this user (a plain file of this user that nobody else may write) is used unchanged unless the
// package is newer. A new copy
// is created exclusively, readable by this user only; when the name is taken by a file this user
// does not own, or by a link, the copy goes to a fresh name of its own beside it. Empty when there
// is no temporary folder, no package or no CurrentSkin + ".ini" entry. Archive errors (damaged
// package, CRC mismatch) and a failed write propagate as parlomar::Error.
std::filesystem::path SkinIniPath();

// Removes the extracted settings copy of the active skin (when it is this user's file) and forgets
// what was read from the package.
void DeleteSkinIniCopy();

// The data of the first entry named entryName (exact letter case) in the package of skinName, or
// the empty text when the package or the entry is missing.
std::string ReadSkinFile(const std::string& entryName, const std::string& skinName);

// The title of a skin in the list of skins: the first line of its "skin.nfo" (the characters before
// the first carriage return, at most 64); the skin's own name when the information has no carriage
// return, starts with one, or cannot be read.
std::string SkinListTitle(const std::string& skinName);

// The bytes of the bitmap baseName + ".bmp" of the active package: the first entry of that name,
// when its data starts with "BM". Nothing when there is no package, no such entry, the entry cannot
// be read, or the first such entry is not a BMP file. Decoding the bitmap is left to the caller.
// The package is opened once per skin choice and kept until ForgetSkinPackage.
std::optional<std::string> SkinBitmapData(const std::string& baseName);

// One value of the active skin's settings (section and key without regard to letter case, the
// first of equal names wins), read through the extracted copy; the empty text when the key, the
// copy or the package is missing or cannot be read. The copy is read once per skin choice.
std::string ReadSkinValue(std::string_view section, std::string_view key);

// The sections and keys of a skin settings text, by the rules of the settings files: "[name]"
// headers, "key=value" entries, ";" comments, blanks around names and values dropped, a value in
// matching quotes unquoted, names without regard to ASCII letter case, the first of equal names kept.
class TSkinSettings {
public:
    explicit TSkinSettings(std::string_view text = {});
    // The value, or the empty text when the section or key is not there.
    std::string Value(std::string_view section, std::string_view key) const;

private:
    std::unordered_map<std::string, std::unordered_map<std::string, std::string>> sections_;
};

// Drops what was read from the active package (the opened archive and the settings), so that the
// next read opens the package of CurrentSkin again. Called whenever a skin is chosen.
void ForgetSkinPackage();

} // namespace parlomar
