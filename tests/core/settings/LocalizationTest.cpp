#include "core/settings/Localization.h"

#include "core/Error.h"
#include "core/settings/IniFile.h"
#include "core/settings/Paths.h"
#include "settings/SettingsTestFolder.h"

#include <gtest/gtest.h>

#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>

using namespace parlomar;
using parlomar::test::SettingsTestFolder;

namespace {

// A program folder with a language file of the given text; the globals are reset around each test.
class LocalizationTest : public ::testing::Test {
protected:
    void SetUp() override { ResetLanguageGlobals(); }
    void TearDown() override { ResetLanguageGlobals(); }
    void Language(std::string_view text) { SettingsTestFolder::Write(LanguageFile(), text); }
    SettingsTestFolder folder_;
};

} // namespace

TEST_F(LocalizationTest, ReadCaptionUsesOnlyUsableValues) {
    const std::string sixty(60, 'c');
    Language("[AddForm]\n"
             "Long=" +
             sixty +
             "\n"
             "Padded=\"  \tCreate\t  \"\n"
             "One=x\n"
             "Empty=\n"
             "Utf=" +
             std::string(49, 'a') + "\xC3\xA9\xC3\xA9\n");
    EXPECT_EQ(ReadCaption("built-in", "AddForm", "Long"), std::string(50, 'c'));
    EXPECT_EQ(ReadCaption("built-in", "addform", "PADDED"), "Create");
    EXPECT_EQ(ReadCaption("built-in", "AddForm", "One"), "built-in");
    EXPECT_EQ(ReadCaption("built-in", "AddForm", "Empty"), "built-in");
    EXPECT_EQ(ReadCaption("built-in", "AddForm", "Missing"), "built-in");
    // Fifty characters, not fifty bytes, and no character split.
    EXPECT_EQ(ReadCaption("", "AddForm", "Utf"), std::string(49, 'a') + "\xC3\xA9");
    EXPECT_EQ(ReadCaption(std::string(300, 'd'), "AddForm", "Missing"), std::string(255, 'd'));
}

TEST_F(LocalizationTest, LanguageGlobalsLoadAndSave) {
    // Without a file the built-in values stay.
    LoadLanguageGlobals();
    EXPECT_EQ(AppName, "ParlomarClient ");
    EXPECT_EQ(BoolNames[0], "No");
    EXPECT_EQ(BoolNames[1], "Yes");

    Language("[APPLICATION]\nNAME=X\n[BoolList]\nBool0=\"  Nein  \"\nBool1=Jawohl und noch mehr\n");
    LoadLanguageGlobals();
    EXPECT_EQ(AppName, "ParlomarClient "); // a one-character name is ignored
    EXPECT_EQ(BoolNames[0], "Nein");
    EXPECT_EQ(BoolNames[1], "Jawohl und");

    Language("[application]\nname=  Hosting Admin  \n");
    LoadLanguageGlobals();
    EXPECT_EQ(AppName, "Hosting Admin");

    // Saving writes the three values into the existing file, keeping what is there.
    Language("; texts\n[StatusList]\nSta5=Signed in\n");
    AppName = "Other Name";
    BoolNames = {"Off", "On"};
    SaveLanguageGlobals();
    EXPECT_EQ(SettingsTestFolder::Read(LanguageFile()),
              "; texts\n[StatusList]\nSta5=Signed in\n\n[APPLICATION]\nNAME=Other "
              "Name\n\n[BoolList]\nBool0=Off\nBool1=On\n");
    ResetLanguageGlobals();
    LoadLanguageGlobals();
    EXPECT_EQ(AppName, "Other Name");
    EXPECT_EQ(BoolNames[1], "On");

    // Without the Localization folder the write is refused with the file's full path.
    std::filesystem::remove_all(LanguageFile().parent_path());
    try {
        SaveLanguageGlobals();
        FAIL() << "expected an error";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + LanguageFile().string());
    }
}

TEST_F(LocalizationTest, ErrorAndStatusTexts) {
    // No language file: every text is "0".
    EXPECT_EQ(ErrorText(12029), "0");
    EXPECT_EQ(StatusText(5), "0");

    Language("[ErrorMess]\nErr11=General failure\nErr12029=No connection\n"
             "[StatusList]\nSta0=Sending\nSta69=\"No route to \"\nSta12=\n");
    EXPECT_EQ(ErrorText(12029), "No connection");
    EXPECT_EQ(ErrorText(12007), "General failure");
    EXPECT_EQ(ErrorText(-1), "General failure");
    EXPECT_EQ(StatusText(0), "Sending");
    EXPECT_EQ(StatusText(69) + "example.com!", "No route to example.com!");
    EXPECT_EQ(StatusText(12), "");
    EXPECT_EQ(StatusText(13), "0");

    Language("[ErrorMess]\nErr1=Declined\n");
    EXPECT_EQ(ErrorText(1), "Declined");
    EXPECT_EQ(ErrorText(2), "0"); // no Err11 to fall back on
}

TEST_F(LocalizationTest, FileDateAndVersionTexts) {
    auto file = folder_.Path() / "stamp";
    SettingsTestFolder::Write(file, "x");
    std::tm local{};
    local.tm_year = 2026 - 1900;
    local.tm_mon = 11;
    local.tm_mday = 9;
    local.tm_hour = 14;
    local.tm_min = 5;
    local.tm_sec = 30;
    local.tm_isdst = -1;
    struct timespec times[2] = {{std::mktime(&local), 0}, {std::mktime(&local), 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    EXPECT_EQ(FileDateText(file), "December 09, 2026 14:05");
    local.tm_mon = 0;
    local.tm_mday = 31;
    local.tm_hour = 0;
    times[1].tv_sec = std::mktime(&local);
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    EXPECT_EQ(FileDateText(file), "January 31, 2026 00:05");
    EXPECT_EQ(FileDateText(folder_.Path() / "missing"), "");

    const std::string version =
        std::to_string(PARLOMAR_VERSION_MAJOR) + "." + std::to_string(PARLOMAR_VERSION_MINOR) + "." +
        std::to_string(PARLOMAR_VERSION_PATCH) + "." + std::to_string(PARLOMAR_VERSION_TWEAK);
    EXPECT_EQ(ProgramVersion(), version);
    EXPECT_EQ(VersionText, " ");
    EXPECT_EQ(ComputeVersionText(), (version + "  ").substr(0, 10));
    EXPECT_EQ(VersionText, (version + "  ").substr(0, 10));
    VersionText = "previous text";
    EXPECT_EQ(ComputeVersionText(), (version + " previous text").substr(0, 10));
}
