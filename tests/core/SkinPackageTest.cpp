#include "core/skins/SkinPackage.h"

#include "core/settings/Paths.h"
#include "core/skins/SciZipFile.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace parlomar;

namespace {

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A temporary program folder with a skins folder, and a temporary folder of its own (TMPDIR).
class SkinPackage : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/skinpkgXXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        Root = pattern;
        fs::create_directories(Root / "program" / "skins");
        fs::create_directories(Root / "temp");
        SavedFolder = ProgramFolder();
        SavedSkin = CurrentSkin;
        if (const char* tmp = std::getenv("TMPDIR")) {
            SavedTmp = tmp;
        }
        SetProgramFolder(Root / "program");
        setenv("TMPDIR", (Root / "temp").c_str(), 1);
    }

    void TearDown() override {
        SetProgramFolder(SavedFolder);
        CurrentSkin = SavedSkin;
        if (SavedTmp) {
            setenv("TMPDIR", SavedTmp->c_str(), 1);
        } else {
            unsetenv("TMPDIR");
        }
        fs::remove_all(Root);
    }

    // Puts a test archive into the skins folder as skin `name`.
    void Install(const std::string& archive, const std::string& name) {
        fs::copy_file(fs::path(PARLOMAR_TEST_DATA_DIR) / "zip" / archive,
                      Root / "program" / "skins" / (name + ".zip"), fs::copy_options::overwrite_existing);
    }

    fs::path Temp() const { return Root / "temp"; }

    // Packs files (name, content) into the skins folder as skin `name` with Info-ZIP zip; options
    // "-0" store them, "pipe" writes the archive through a pipe.
    void Make(const std::string& name, const std::vector<std::pair<std::string, std::string>>& files,
              const std::string& options = "") {
        const fs::path work = Root / "work";
        fs::remove_all(work);
        fs::create_directories(work);
        std::string list;
        for (const auto& [file, content] : files) {
            std::ofstream(work / file, std::ios::binary) << content;
            list += " '" + file + "'";
        }
        const fs::path zip = Root / "program" / "skins" / (name + ".zip");
        fs::remove(zip);
        const std::string command = options == "pipe"
                                        ? "zip -q -X -" + list + " | cat > '" + zip.string() + "'"
                                        : "zip -q -X " + options + " '" + zip.string() + "'" + list;
        ASSERT_EQ(std::system(("cd '" + work.string() + "' && " + command).c_str()), 0);
    }

    // Runs f in a child process under the "nobody" user; true when it returned true.
    static bool AsNobody(const std::function<bool()>& f) {
        const pid_t child = fork();
        if (child == 0)
            _exit(setgid(65534) == 0 && setuid(65534) == 0 && f() ? 0 : 1);
        int status = 0;
        return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
               WEXITSTATUS(status) == 0;
    }

    fs::path Root;
    fs::path SavedFolder;
    std::string SavedSkin;
    std::optional<std::string> SavedTmp;
};

} // namespace

TEST_F(SkinPackage, ReadSkinFileFindsExactNamesOnly) {
    Install("Blue.zip", "Blue");
    Install("Quiet.zip", "Quiet");
    EXPECT_EQ(ReadSkinFile("skin.nfo", "Blue"), "Blue Skin\r\nA test skin.\r\n");
    EXPECT_EQ(ReadSkinFile("Skin.nfo", "Blue"), "");  // letter case of the entry counts
    EXPECT_EQ(ReadSkinFile("skin.nfo", "Quiet"), ""); // only "SKIN.NFO" is there
    EXPECT_EQ(ReadSkinFile("skin.nfo", "Missing"), "");
    EXPECT_EQ(ReadSkinFile("Twice.bmp", "Blue"), "BM first"); // the first of equal names wins
    EXPECT_EQ(ReadSkinFile("skin.nfo", std::string(NoSkin)), "");

    // Names that would reach outside the skins folder are no package at all.
    fs::copy_file(Root / "program" / "skins" / "Blue.zip", Root / "program" / "Outside.zip");
    for (const std::string& name :
         std::vector<std::string>{"../Outside", "..\\Outside", "", ".", "..", std::string("Blue\0x", 6)}) {
        EXPECT_EQ(ReadSkinFile("skin.nfo", name), "") << name;
        EXPECT_FALSE(IsPackageName(name)) << name;
        EXPECT_TRUE(SkinPackagePath(name).empty());
    }
    EXPECT_EQ(SkinPackagePath("Blue"), Root / "program" / "skins" / "Blue.zip");

    // A damaged package reaches the caller as an error.
    Install("damaged-crc.zip", "Broken");
    EXPECT_THROW(ReadSkinFile("readme.txt", "Broken"), EZipFileCRCError);
    Install("damaged-name-length.zip", "Broken");
    EXPECT_THROW(ReadSkinFile("readme.txt", "Broken"), parlomar::Error);
}

TEST_F(SkinPackage, SettingsCopyIsExtractedOnceAndReusedUntilDeleted) {
    Install("Blue.zip", "Blue");
    CurrentSkin = "Blue";
    const fs::path copy = Temp() / "ParlomarBlue.ini";

    EXPECT_EQ(SkinIniPath(), copy);
    // Every line (ended by LF, CR LF, CR or nothing) is written with CR LF.
    const std::string expected = "[ParlomarClientMainForm]\r\nColor=16711680\r\nFont=Tahoma\r\nLast=1\r\n";
    EXPECT_EQ(ReadAll(copy), expected);

    // A changed package has no effect while the copy exists.
    Install("BlueUpdated.zip", "Blue");
    EXPECT_EQ(SkinIniPath(), copy);
    EXPECT_EQ(ReadAll(copy), expected);

    DeleteSkinIniCopy();
    EXPECT_FALSE(fs::exists(copy));
    EXPECT_EQ(SkinIniPath(), copy);
    EXPECT_EQ(ReadAll(copy), "[ParlomarClientMainForm]\r\nColor=255\r\n");

    // Only the copy itself is left in the temporary folder (no temporary write files).
    int files = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(Temp())) {
        ++files;
    }
    EXPECT_EQ(files, 1);

    // Deleting removes the copy of the active skin only.
    CurrentSkin = "Other";
    DeleteSkinIniCopy();
    EXPECT_TRUE(fs::exists(copy));
}

TEST_F(SkinPackage, NoSettingsCopyWithoutPackageEntryOrTemporaryFolder) {
    Install("Quiet.zip", "Quiet");
    Install("Blue.zip", "Blue");
    for (const std::string& skin :
         {std::string(NoSkin), std::string("Quiet"), std::string("Missing"), std::string("../skins/Blue")}) {
        CurrentSkin = skin;
        EXPECT_TRUE(SkinIniPath().empty()) << skin;
        DeleteSkinIniCopy();
    }
    EXPECT_TRUE(fs::is_empty(Temp()));

    CurrentSkin = "Blue";
    setenv("TMPDIR", (Root / "no-such-folder").c_str(), 1);
    EXPECT_TRUE(SkinIniPath().empty());
    EXPECT_FALSE(fs::exists(Root / "no-such-folder"));
}

TEST_F(SkinPackage, BitmapDataOnlyForBmpEntries) {
    Install("Blue.zip", "Blue");
    Install("Quiet.zip", "Quiet");
    CurrentSkin = "Blue";
    const auto logo = SkinBitmapData("AddForm-Logo");
    ASSERT_TRUE(logo.has_value());
    EXPECT_EQ(logo->size(), 62u);
    EXPECT_EQ(logo->substr(0, 2), "BM");
    EXPECT_EQ(SkinBitmapData("CustForm-Page")->size(), 4002u);
    EXPECT_EQ(SkinBitmapData("Twice"), std::optional<std::string>("BM first"));
    EXPECT_FALSE(SkinBitmapData("MessageForm-Icon").has_value()); // not starting with "BM"
    EXPECT_FALSE(SkinBitmapData("addform-logo").has_value());
    EXPECT_FALSE(SkinBitmapData("Missing").has_value());

    CurrentSkin = "Quiet"; // holds "quiet.BMP", not "quiet.bmp"
    EXPECT_FALSE(SkinBitmapData("quiet").has_value());
    CurrentSkin = std::string(NoSkin);
    EXPECT_FALSE(SkinBitmapData("AddForm-Logo").has_value());
}

TEST_F(SkinPackage, UnwritableTemporaryFolderIsReported) {
    Install("Blue.zip", "Blue");
    CurrentSkin = "Blue";
    fs::permissions(Root, fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
    fs::permissions(Temp(), fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read |
                                fs::perms::others_exec);
    // The write happens in a child without root rights, so the folder really refuses it.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int code = 1;
        if (setgid(65534) == 0 && setuid(65534) == 0) {
            try {
                SkinIniPath();
                code = 2; // reported success
            } catch (const parlomar::Error& e) {
                code = std::string(e.what()) ==
                               "Cannot create file \"" + (Temp() / "ParlomarBlue.ini").string() + "\"."
                           ? 0
                           : 3;
            }
        }
        _exit(code);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(fs::is_empty(Temp()));
}

TEST_F(SkinPackage, PackageCheckSaysWhatIsWrong) {
    Install("Blue.zip", "Blue");
    Install("Quiet.zip", "Quiet"); // holds "quiet.ini", not "Quiet.ini"
    Make("Stored", {{"Stored.ini", "[A]\nB=1\n"}}, "-0");
    Make("Piped", {{"Piped.ini", "[A]\nB=1\n"}, {"skin.nfo", "Piped\r\n"}}, "pipe");
    std::ofstream(Root / "program" / "skins" / "Text.zip") << "this is no archive";
    // A stored settings entry with one byte changed, and a package cut in half.
    Make("Flipped", {{"Flipped.ini", "[ParlomarClientMainForm]\nColor=clRed\n"}}, "-0");
    std::string bytes = ReadAll(Root / "program" / "skins" / "Flipped.zip");
    bytes[30 + 11 + 3] ^= 0x01;
    std::ofstream(Root / "program" / "skins" / "Flipped.zip", std::ios::binary) << bytes;
    std::ofstream(Root / "program" / "skins" / "Half.zip", std::ios::binary)
        << ReadAll(Root / "program" / "skins" / "Piped.zip").substr(0, 40);

    EXPECT_EQ(CheckSkinPackage("Blue"), SkinPackageState::Usable);
    EXPECT_EQ(CheckSkinPackage("Stored"), SkinPackageState::Usable);
    EXPECT_EQ(CheckSkinPackage("Piped"), SkinPackageState::Usable);
    EXPECT_EQ(CheckSkinPackage("Missing"), SkinPackageState::Missing);
    EXPECT_EQ(CheckSkinPackage("../skins/Blue"), SkinPackageState::Missing);
    EXPECT_EQ(CheckSkinPackage("Text"), SkinPackageState::NotAnArchive);
    EXPECT_EQ(CheckSkinPackage("Quiet"), SkinPackageState::NoSettings);
    EXPECT_EQ(CheckSkinPackage("Flipped"), SkinPackageState::Damaged);
    EXPECT_EQ(CheckSkinPackage("Half"), SkinPackageState::Damaged);

    // A damaged package, made active anyway, reads as empty: no error reaches the windows.
    CurrentSkin = "Flipped";
    EXPECT_EQ(ReadSkinValue("ParlomarClientMainForm", "Color"), "");
    EXPECT_FALSE(SkinBitmapData("x").has_value());
    CurrentSkin = "Piped";
    EXPECT_EQ(ReadSkinValue("a", "b"), "1");
    EXPECT_EQ(ReadSkinFile("skin.nfo", "Piped"), "Piped\r\n");
}

TEST_F(SkinPackage, ValuesAndPicturesAreReadOncePerSkinChoice) {
    Make("Made", {{"Made.ini", "[Form]\nKey=\"quoted\"\nkey=second\n; Color=1\n[FORM]\nOther=x\n"},
                  {"Form-Logo.bmp", "BM logo"}});
    CurrentSkin = "Made";
    EXPECT_EQ(ReadSkinValue("form", "KEY"), "quoted"); // first of equal names, quotes taken off
    EXPECT_EQ(ReadSkinValue("Form", "Other"), "x");    // a repeated section adds its keys
    EXPECT_EQ(ReadSkinValue("Form", "Color"), "");
    EXPECT_EQ(ReadSkinValue("Nowhere", "Key"), "");
    EXPECT_EQ(SkinBitmapData("Form-Logo"), std::optional<std::string>("BM logo"));

    // A package replaced meanwhile changes nothing until the skin is chosen again.
    Make("Made", {{"Made.ini", "[Form]\nKey=new\n"}});
    EXPECT_EQ(ReadSkinValue("Form", "Key"), "quoted");
    EXPECT_EQ(SkinBitmapData("Form-Logo"), std::optional<std::string>("BM logo"));
    ForgetSkinPackage(); // chosen again: the new package, and its settings over the older copy
    EXPECT_FALSE(SkinBitmapData("Form-Logo").has_value());
    EXPECT_EQ(ReadSkinValue("Form", "Key"), "new");

    // A copy left by an earlier run is taken as it is while the package is not newer.
    const fs::path copy = SkinIniPath();
    std::ofstream(copy, std::ios::binary) << "[Form]\r\nKey=kept\r\n";
    fs::last_write_time(copy,
                        fs::last_write_time(Root / "program" / "skins" / "Made.zip") + std::chrono::hours(1));
    ForgetSkinPackage();
    EXPECT_EQ(ReadSkinValue("Form", "Key"), "kept");
}

TEST_F(SkinPackage, SettingsCopyIsNeverAFileSomebodyElsePlanted) {
    Install("Blue.zip", "Blue");
    CurrentSkin = "Blue";
    const fs::path copy = Temp() / "ParlomarBlue.ini";
    const std::string planted = "[ParlomarClientMainForm]\r\nColor=clLime\r\n";
    fs::permissions(Root, fs::perms::others_exec, fs::perm_options::add);
    fs::permissions(Temp(), fs::perms::all | fs::perms::sticky_bit);
    ASSERT_TRUE(AsNobody([&] {
        std::ofstream(copy, std::ios::binary) << planted;
        return fs::exists(copy);
    }));

    // Another user's file under the copy's name is left alone; the copy gets a name of its own.
    const fs::path own = SkinIniPath();
    EXPECT_NE(own, copy);
    EXPECT_EQ(own.parent_path(), Temp());
    EXPECT_EQ(ReadAll(copy), planted);
    EXPECT_EQ(ReadSkinValue("ParlomarClientMainForm", "Color"), "16711680");
    EXPECT_EQ(fs::status(own).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    DeleteSkinIniCopy();
    EXPECT_FALSE(fs::exists(own));
    EXPECT_TRUE(fs::exists(copy));
    fs::remove(copy);

    // A link under that name is not written through, and the file it points to stays as it was.
    const fs::path target = Root / "target.txt";
    std::ofstream(target) << "keep";
    fs::create_symlink(target, copy);
    const fs::path other = SkinIniPath();
    EXPECT_NE(other, copy);
    EXPECT_EQ(ReadAll(target), "keep");
    EXPECT_TRUE(fs::is_symlink(copy));
    DeleteSkinIniCopy();
    EXPECT_TRUE(fs::is_symlink(copy));
}
