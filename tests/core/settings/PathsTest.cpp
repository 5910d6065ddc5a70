#include "core/settings/Paths.h"

#include "core/settings/IniFile.h"
#include "core/skins/SkinPackage.h"
#include "settings/SettingsTestFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <map>

using namespace parlomar;
using parlomar::test::SettingsTestFolder;
namespace fs = std::filesystem;

namespace {

unsigned ModeOf(const fs::path& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0u;
}

// A build's program folder (which ships its data) and an installation (bin/ and share/) side by side.
struct Layouts : SettingsTestFolder {
    fs::path build = Path() / "build/program";
    fs::path bin = Path() / "usr/bin";
    fs::path shipped = Path() / "usr/share/parlomarclient";
    TUserFolders user{Path() / "config/ParlomarClient", Path() / "data/ParlomarClient", {}};
    Layouts() {
        Write(build / "Localization/English.lng", "[APPLICATION]\nNAME=Build\n");
        Write(shipped / "Localization/English.lng", "[APPLICATION]\nNAME=Shipped\n[BoolList]\nBool0=Nein\n");
        Write(shipped / "ParlomarClient.ini", "[General]\nShowTray=1\n");
        fs::create_directories(bin);
    }
};

} // namespace

TEST(FileLocations, PortableOnlyWhereTheProgramFolderShipsItsDataAndMayBeWritten) {
    Layouts at;
    const TFileLocations portable = ResolveFileLocations(at.build, true, at.user);
    EXPECT_TRUE(portable.portable);
    EXPECT_EQ(portable.settingsFile, at.build / "ParlomarClient.ini");

    const TFileLocations readOnly = ResolveFileLocations(at.build, false, at.user);
    EXPECT_FALSE(readOnly.portable);
    EXPECT_EQ(readOnly.dataFolder, at.build);
    EXPECT_EQ(readOnly.settingsFile, at.user.config / "ParlomarClient.ini");

    // An installed program is never portable, even where it may write (root and /usr/bin).
    const TFileLocations installed = ResolveFileLocations(at.bin, true, at.user);
    EXPECT_FALSE(installed.portable);
    EXPECT_EQ(installed.dataFolder, at.shipped);
    EXPECT_EQ(installed.settingsFile, at.user.config / "ParlomarClient.ini");

    // A lone binary (no installation beside it) keeps everything beside it, as it always did.
    EXPECT_TRUE(ResolveFileLocations(at.Path(), true, at.user).portable);
}

TEST(FileLocations, UserFoldersFollowTheBaseDirectoryRules) {
    SettingsTestFolder folder;
    const fs::path home = folder.Path() / "home", runtime = folder.Path() / "run";
    fs::create_directories(runtime);
    std::map<std::string, std::string> env{{"HOME", home.string()},
                                           {"XDG_CONFIG_HOME", "relative/config"},
                                           {"XDG_DATA_HOME", (folder.Path() / "data").string()},
                                           {"XDG_RUNTIME_DIR", runtime.string()}};
    const auto lookup = [&env](const char* name) -> const char* {
        const auto found = env.find(name);
        return found == env.end() ? nullptr : found->second.c_str();
    };

    fs::permissions(runtime, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
    TUserFolders user = UserFolders(lookup);
    EXPECT_EQ(user.config, home / ".config/ParlomarClient"); // a relative value counts as unset
    EXPECT_EQ(user.data, folder.Path() / "data/ParlomarClient");
    EXPECT_EQ(user.runtime, fs::path()); // others may enter it: not used for the lock

    fs::permissions(runtime, fs::perms::owner_all);
    env["XDG_DATA_HOME"] = "";
    user = UserFolders(lookup);
    EXPECT_EQ(user.data, home / ".local/share/ParlomarClient");
    EXPECT_EQ(user.runtime, runtime);
    EXPECT_EQ(ResolveFileLocations(folder.Path(), true, user).lockFolder, runtime);
}

TEST(FileLocations, InstalledUseWritesTheUsersFilesAndLeavesTheShippedOnesAlone) {
    Layouts at;
    const std::string shippedLanguage = SettingsTestFolder::Read(at.shipped / "Localization/English.lng");
    UseFileLocations(ResolveFileLocations(at.bin, true, at.user));

    // First start: the shipped default becomes the user's file, private; a later start keeps it.
    ASSERT_EQ(PrepareSettingsFile(), std::nullopt);
    EXPECT_EQ(SettingsTestFolder::Read(SettingsFile()), "[General]\nShowTray=1\n");
    EXPECT_EQ(ModeOf(SettingsFile()), 0600u);
    EXPECT_EQ(ModeOf(at.user.config), 0700u);
    WriteIniValue("USERS", "Login", "operator", kSettingsTarget);
    ASSERT_EQ(PrepareSettingsFile(), std::nullopt);
    EXPECT_EQ(ReadIniValue("USERS", "Login", kSettingsTarget), "operator");
    EXPECT_EQ(ReadIniValue("General", "ShowTray", kSettingsTarget), "1");

    // Saved captions go to the user's copy of the language file, which is read from then on.
    EXPECT_EQ(ReadIniValue("APPLICATION", "NAME", kLanguageTarget), "Shipped");
    WriteIniValue("APPLICATION", "NAME", "Mine", kLanguageTarget);
    EXPECT_EQ(ReadIniValue("APPLICATION", "NAME", kLanguageTarget), "Mine");
    EXPECT_EQ(ReadIniValue("BoolList", "Bool0", kLanguageTarget), "Nein");
    EXPECT_EQ(LanguageFile(), at.user.data / "Localization/English.lng");
    EXPECT_EQ(SettingsTestFolder::Read(at.shipped / "Localization/English.lng"), shippedLanguage);

    // The user's skins are offered before the shipped ones and win a shared name.
    SettingsTestFolder::Write(at.shipped / "skins/Blue.zip", "shipped");
    SettingsTestFolder::Write(at.shipped / "skins/Green.zip", "shipped");
    SettingsTestFolder::Write(at.user.data / "skins/Green.zip", "own");
    EXPECT_EQ(SkinFolders(), (std::vector<fs::path>{at.user.data / "skins", at.shipped / "skins"}));
    EXPECT_EQ(SkinPackagePath("Green"), at.user.data / "skins/Green.zip");
    EXPECT_EQ(SkinPackagePath("Blue"), at.shipped / "skins/Blue.zip");
    EXPECT_EQ(SkinSaveFolder(), at.user.data / "skins");
}

// Every file under folder with its contents.
std::map<fs::path, std::string> FilesUnder(const fs::path& folder) {
    std::map<fs::path, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        files[entry.path()] = entry.is_regular_file() ? SettingsTestFolder::Read(entry.path()) : "(folder)";
    return files;
}

// A program folder unpacked as the package ships it (language file, skins, default settings) where
// the user may not write, e.g. one unpacked by root. Whether it may be written is what the program
// asks the system (FolderWritable) and hands in; here it is handed in, so that this runs as root too.
TEST(FileLocations, AProgramFolderWithItsDataThatMayNotBeWrittenIsOnlyRead) {
    Layouts at;
    SettingsTestFolder::Write(at.build / "ParlomarClient.ini", "[General]\nShowTray=0\n");
    SettingsTestFolder::Write(at.build / "skins/Blue.zip", "shipped");
    const std::map<fs::path, std::string> shipped = FilesUnder(at.build);
    UseFileLocations(ResolveFileLocations(at.build, false, at.user));
    EXPECT_FALSE(FileLocations().portable);

    // The settings start from the folder's default in the user's configuration folder.
    ASSERT_EQ(PrepareSettingsFile(), std::nullopt);
    EXPECT_EQ(SettingsFile(), at.user.config / "ParlomarClient.ini");
    WriteIniValue("USERS", "Login", "operator", kSettingsTarget);
    EXPECT_EQ(ReadIniValue("General", "ShowTray", kSettingsTarget), "0");
    EXPECT_EQ(ReadIniValue("USERS", "Login", kSettingsTarget), "operator");

    // Saved captions and saved skins go to the user's data folder; the shipped skins stay offered.
    EXPECT_EQ(ReadIniValue("APPLICATION", "NAME", kLanguageTarget), "Build");
    WriteIniValue("APPLICATION", "NAME", "Mine", kLanguageTarget);
    EXPECT_EQ(ReadIniValue("APPLICATION", "NAME", kLanguageTarget), "Mine");
    EXPECT_EQ(LanguageFile(), at.user.data / "Localization/English.lng");
    EXPECT_EQ(SkinSaveFolder(), at.user.data / "skins");
    EXPECT_EQ(SkinPackagePath("Blue"), at.build / "skins/Blue.zip");

    EXPECT_EQ(FilesUnder(at.build), shipped); // nothing written beside the program
}

TEST(FileLocations, PrivateRuntimeFolderIsTheUsersOwnAndNeverAPlantedOne) {
    SettingsTestFolder folder;
    const fs::path temp = folder.Path() / "tmp";
    fs::create_directories(temp);
    fs::permissions(temp, fs::perms::all | fs::perms::sticky_bit); // shared like /tmp
    TUserFolders user{folder.Path() / "config/ParlomarClient", folder.Path() / "data/ParlomarClient", {}};
    const fs::path own = temp / ("ParlomarClient-" + std::to_string(geteuid()));

    // Made on first use, closed to others; a copy of it opened to others is closed again.
    EXPECT_EQ(PrivateRuntimeFolder(user, temp), own);
    EXPECT_EQ(ModeOf(own), 0700u);
    fs::permissions(own, fs::perms::all);
    EXPECT_EQ(PrivateRuntimeFolder(user, temp), own);
    EXPECT_EQ(ModeOf(own), 0700u);

    // A link planted under that name is not followed: the user's data folder holds the lock then.
    fs::remove(own);
    fs::create_directories(folder.Path() / "elsewhere");
    fs::permissions(folder.Path() / "elsewhere", fs::perms::owner_all | fs::perms::others_read);
    fs::create_directory_symlink(folder.Path() / "elsewhere", own);
    EXPECT_EQ(PrivateRuntimeFolder(user, temp), user.data / "run");
    EXPECT_EQ(ModeOf(user.data / "run"), 0700u);
    EXPECT_EQ(ModeOf(folder.Path() / "elsewhere"), 0704u); // not made private through the link

    // So does a folder of that name that another user made (only root can plant one here).
    fs::remove(own);
    fs::create_directory(own);
    if (geteuid() == 0) {
        ASSERT_EQ(chown(own.c_str(), 65534, 65534), 0);
        EXPECT_EQ(PrivateRuntimeFolder(user, temp), user.data / "run");
    }

    // The runtime folder wins when it is private; without any folder there is none.
    user.runtime = folder.Path() / "runtime";
    fs::create_directories(user.runtime);
    fs::permissions(user.runtime, fs::perms::owner_all);
    EXPECT_EQ(PrivateRuntimeFolder(user, temp), user.runtime);
    EXPECT_EQ(PrivateRuntimeFolder(TUserFolders{}, fs::path()), fs::path());
}
