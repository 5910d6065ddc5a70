#pragma once

#include <filesystem>
#include <string>

namespace parlomar {

// The program folder: the folder of the executable. Every file the program reads or writes at run
// time (settings, language file, skins) is found from it. Tests point it at a temporary folder.
void SetProgramFolder(const std::filesystem::path& folder);
const std::filesystem::path& ProgramFolder();

std::filesystem::path SettingsFile(); // ProgramFolder / "ParlomarClient.ini"
std::filesystem::path LanguageFile(); // ProgramFolder / "Localization/English.lng"
std::filesystem::path SkinsFolder();  // ProgramFolder / "skins"

// The folder of the running executable (from /proc/self/exe), or the current folder.
std::filesystem::path ExecutableFolder();

} // namespace parlomar
