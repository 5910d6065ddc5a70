#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

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

// skins folder / name + ".zip", or an empty path when name is not a package name.
std::filesystem::path SkinPackagePath(std::string_view name);

// The path of the extracted copy of the active skin's settings (temporary folder / "Parlomar" +
// CurrentSkin + ".ini"), extracting it first when it does not exist yet. An existing copy is used
// unchanged. Empty when there is no temporary folder, no package or no CurrentSkin + ".ini" entry.
// Archive errors (damaged package, CRC mismatch) and a failed write propagate as parlomar::Error.
std::filesystem::path SkinIniPath();

// Removes the extracted settings copy of the active skin, if there is one.
void DeleteSkinIniCopy();

// The data of the first entry named entryName (exact letter case) in the package of skinName, or
// the empty text when the package or the entry is missing.
std::string ReadSkinFile(const std::string& entryName, const std::string& skinName);

// The bytes of the bitmap baseName + ".bmp" of the active package: the first entry of that name,
// when its data starts with "BM". Nothing when there is no package, no such entry, or the first
// such entry is not a BMP file. Decoding the bitmap is left to the caller.
std::optional<std::string> SkinBitmapData(const std::string& baseName);

} // namespace parlomar
