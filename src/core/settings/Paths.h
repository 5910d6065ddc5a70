#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace parlomar {

// Where the program finds and keeps its files.
//
// Portable use: a program folder that the program may write to and that is not the bin folder of an
// installation keeps everything: the settings file, the language file and the skins.
//
// Installed use: a program folder without Localization/English.lng of its own beside the data folder
// of an installation (share/parlomarclient beside the bin folder), or any program folder that the
// program may not write to. The shipped data (language file, skins, default settings) is read from
// the program folder when it holds the language file, else from the installation's data folder. The settings
// file is the user's own, created on first start from the shipped default; what the program writes besides
// (saved captions, saved skin attributes) goes to the user's data folder, whose skins are offered next to the
// shipped ones.

// The user's folders, as the XDG base directory rules give them. A variable that is unset, empty or
// not an absolute path counts as unset.
struct TUserFolders {
    std::filesystem::path config;  // $XDG_CONFIG_HOME/ParlomarClient, default ~/.config/ParlomarClient
    std::filesystem::path data;    // $XDG_DATA_HOME/ParlomarClient, default ~/.local/share/ParlomarClient
    std::filesystem::path runtime; // $XDG_RUNTIME_DIR when it is a folder of this user that only this
                                   // user may enter; empty otherwise
};
using EnvironmentLookup = std::function<const char*(const char*)>;
TUserFolders UserFolders(const EnvironmentLookup& environment); // without a home: the password entry's
TUserFolders UserFolders();                                     // from the process environment

struct TFileLocations {
    std::filesystem::path programFolder; // the folder of the executable
    std::filesystem::path dataFolder;    // the shipped data: Localization/, skins/, ParlomarClient.ini
    std::filesystem::path userFolder;    // where the program writes besides its settings; empty when
                                         // portable (then the program folder takes that part)
    std::filesystem::path settingsFile;
    std::filesystem::path lockFolder; // the single-instance lock: the runtime folder, else the temporary
    bool portable = true;
};

// The user's own folder for what exists only while the program runs: the single-instance lock and
// what lives beside it. The runtime folder when there is one; else "ParlomarClient-<uid>" in
// tempFolder, created 0700 and taken only while it is a folder of this user (never a symbolic link),
// closed to others; when another user holds that name, user.data / "run" (made the same way). Empty
// when none of them can be had.
std::filesystem::path PrivateRuntimeFolder(const TUserFolders& user, const std::filesystem::path& tempFolder);
std::filesystem::path PrivateRuntimeFolder(); // from the environment and the temporary folder

// The data folder of an installation relative to its bin folder, as the build installs it.
std::filesystem::path InstalledDataFromBin();

// The locations for a program folder, by the rules above; touches nothing.
TFileLocations ResolveFileLocations(const std::filesystem::path& programFolder, bool programFolderWritable,
                                    const TUserFolders& user,
                                    const std::filesystem::path& dataFromBin = InstalledDataFromBin());

// Whether this process may create files in folder.
bool FolderWritable(const std::filesystem::path& folder);

// The locations in use. SetProgramFolder makes folder the portable program folder (tests and tools);
// the program itself calls UseFileLocations with the resolved locations of its executable.
void UseFileLocations(const TFileLocations& locations);
void SetProgramFolder(const std::filesystem::path& folder);
const TFileLocations& FileLocations();
const std::filesystem::path& ProgramFolder();

// Creates the user's settings file from the shipped default when it does not exist yet (in a folder
// only this user may enter, the file readable by this user only). Does nothing in portable use.
// Returns a message when it could not; the program then runs as with an empty settings file.
std::optional<std::string> PrepareSettingsFile();

std::filesystem::path SettingsFile();
// The language file read: the user's own copy when there is one (saved captions), else the shipped.
std::filesystem::path LanguageFile();
// The language file written: in installed use the user's copy, made from the shipped file first.
// Throws Error("Unable to write to <path>") when that copy cannot be made.
std::filesystem::path LanguageFileForWriting();
// The folder of the shipped skin packages.
std::filesystem::path SkinsFolder();
// Every folder whose skin packages are offered, the one that wins a name first: the user's own skins
// folder (installed use), then the shipped one.
std::vector<std::filesystem::path> SkinFolders();
// Where "Save skin attributes" writes: the program folder's skins folder, else the user's.
std::filesystem::path SkinSaveFolder();

// The folder of the running executable (from /proc/self/exe), or the current folder.
std::filesystem::path ExecutableFolder();

} // namespace parlomar
