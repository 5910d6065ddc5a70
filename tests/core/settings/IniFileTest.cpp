#include "core/settings/IniFile.h"

#include "core/Error.h"
#include "core/settings/Paths.h"
#include "settings/SettingsTestFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace parlomar;
using parlomar::test::SettingsTestFolder;

namespace {

// The files in folder besides the writers' companion lock files ("<file>.lock"), which stay.
std::size_t FileCount(const std::filesystem::path& folder) {
    std::size_t n = 0;
    for (auto& e : std::filesystem::directory_iterator(folder)) {
        n += e.path().extension() != ".lock";
    }
    return n;
}

} // namespace

TEST(IniFileParse, NamesMatchWithoutCaseAndFirstMatchWins) {
    const std::string text = "[proxy]\n"
                             "use = 1 \n"
                             "USE=2\n"
                             "addr=first\n"
                             "[Proxy]\n"
                             "Addr=second\n"
                             "Port=8080\n";
    EXPECT_EQ(IniLookup(text, "Proxy", "Use"), "1");
    EXPECT_EQ(IniLookup(text, "PROXY", "uSe"), "1");
    // Only the first section of a name counts.
    EXPECT_EQ(IniLookup(text, "Proxy", "Addr"), "first");
    EXPECT_EQ(IniLookup(text, "Proxy", "Port"), "0");
    EXPECT_TRUE(IniFlag(IniLookup(text, "Proxy", "Use")));
}

TEST(IniFileParse, ValuesMissingEmptyTrimmedAndQuoted) {
    const std::string text = "top=ignored\n"
                             "; [General]\n"
                             "[General]\n"
                             "; StayOnTop=1\n"
                             "Empty=\n"
                             "Blank=   \n"
                             "  Spaced  =  a b  \n"
                             "Quoted=\"  kept  \"\n"
                             "Single='x'\n"
                             "Unmatched=\"x\n"
                             "Lone=\"\n"
                             "Eq=a=b]c\n"
                             "no equals sign here\n"
                             "[Broken\n"
                             "After=still General\n";
    EXPECT_EQ(IniLookup(text, "General", "StayOnTop"), "0"); // commented out
    EXPECT_EQ(IniLookup(text, "General", "top"), "0");       // before any section
    EXPECT_EQ(IniLookup(text, "Nowhere", "Empty"), "0");
    EXPECT_EQ(IniLookup(text, "General", "Empty"), "");
    EXPECT_EQ(IniLookup(text, "General", "Blank"), "");
    EXPECT_EQ(IniLookup(text, "General", "Spaced"), "a b");
    EXPECT_EQ(IniLookup(text, "General", "Quoted"), "  kept  ");
    EXPECT_EQ(IniLookup(text, "General", "Single"), "x");
    EXPECT_EQ(IniLookup(text, "General", "Unmatched"), "\"x");
    EXPECT_EQ(IniLookup(text, "General", "Lone"), "\"");
    EXPECT_EQ(IniLookup(text, "General", "Eq"), "a=b]c");
    EXPECT_EQ(IniLookup(text, "General", "After"), "still General");
    EXPECT_EQ(IniLookup("", "General", "Empty"), "0");
}

TEST(IniFileParse, LineEndingsBomAndLengthLimits) {
    std::string crlf = "\xEF\xBB\xBF[A]\r\nk=v\r\n\r\n[B]\r\nk=w";
    EXPECT_EQ(IniLookup(crlf, "A", "k"), "v");
    EXPECT_EQ(IniLookup(crlf, "b", "K"), "w");

    std::string longValue(3000, 'x');
    EXPECT_EQ(IniLookup("[A]\nk=" + longValue + "\n", "A", "k").size(), kIniMaxValueLength);
    // A cut never splits a UTF-8 character: 2046 ASCII bytes, then a two-byte letter.
    std::string utf = std::string(2046, 'a') + "\xC3\xA9" + "tail";
    EXPECT_EQ(IniLookup("[A]\nk=" + utf + "\n", "A", "k"), std::string(2046, 'a'));
}

TEST(IniFileParse, SectionLinesInFileOrder) {
    const std::string text = "[ViewSummaryOrder]\r\n"
                             "; header row\r\n"
                             "AccountHeader=\r\n"
                             "Row1 = domain \r\n"
                             "Row2=\"quoted\"\r\n"
                             "\r\n"
                             "[viewsummaryorder]\r\n"
                             "Row3=ignored\r\n";
    std::vector<std::string> expected = {"AccountHeader=", "Row1=domain", "Row2=\"quoted\""};
    EXPECT_EQ(IniSectionLines(text, "VIEWSUMMARYORDER"), expected);
    EXPECT_TRUE(IniSectionLines(text, "Other").empty());
}

TEST(IniFileEdit, ReplacesInPlaceKeepingEveryOtherByte) {
    // CRLF file with comments, blank lines, odd spacing and a key spelled in another case.
    const std::string crlf = "; settings\r\n"
                             "\r\n"
                             "[GENERAL]\r\n"
                             "  StayOnTop = 0 \r\n"
                             "; trailing comment\r\n"
                             "[Proxy]\r\n"
                             "Use=0\r\n";
    EXPECT_EQ(IniSetValue(crlf, "General", "stayontop", "1"), "; settings\r\n"
                                                              "\r\n"
                                                              "[GENERAL]\r\n"
                                                              "StayOnTop=1\r\n"
                                                              "; trailing comment\r\n"
                                                              "[Proxy]\r\n"
                                                              "Use=0\r\n");
    // A new key goes after the section's last entry, before the comment that belongs further down.
    EXPECT_EQ(IniSetValue(crlf, "general", "ShowTray", "1"), "; settings\r\n"
                                                             "\r\n"
                                                             "[GENERAL]\r\n"
                                                             "  StayOnTop = 0 \r\n"
                                                             "ShowTray=1\r\n"
                                                             "; trailing comment\r\n"
                                                             "[Proxy]\r\n"
                                                             "Use=0\r\n");
    // A new section goes at the end, set off by a blank line, in the file's line ending.
    EXPECT_EQ(IniSetValue(crlf, "SKINS", "Current", "\\1"), crlf + "\r\n[SKINS]\r\nCurrent=\\1\r\n");

    // Missing final newline: replacing the last line keeps it missing; adding after it adds a line.
    const std::string open = "\xEF\xBB\xBF[A]\nk=v";
    EXPECT_EQ(IniSetValue(open, "A", "k", "w"), "\xEF\xBB\xBF[A]\nk=w");
    EXPECT_EQ(IniSetValue(open, "A", "n", "1"), "\xEF\xBB\xBF[A]\nk=v\nn=1");
    EXPECT_EQ(IniSetValue(open, "B", "n", "1"), "\xEF\xBB\xBF[A]\nk=v\n\n[B]\nn=1\n");
    EXPECT_EQ(IniSetValue("[A]", "A", "n", "1"), "[A]\nn=1");

    // Empty and BOM-only files.
    EXPECT_EQ(IniSetValue("", "A", "k", "v"), "[A]\nk=v\n");
    EXPECT_EQ(IniSetValue("\xEF\xBB\xBF", "A", "k", "v"), "\xEF\xBB\xBF[A]\nk=v\n");
    // The first of two equal keys is the one replaced.
    EXPECT_EQ(IniSetValue("[A]\nk=1\nK=2\n", "A", "k", "3"), "[A]\nk=3\nK=2\n");
}

TEST(IniFileEdit, WrittenTextsAreCutAndCannotInjectLines) {
    std::string longKey(300, 'k');
    std::string longValue(300, 'v');
    auto text = IniSetValue("", "A", longKey, longValue);
    EXPECT_EQ(text, "[A]\n" + std::string(255, 'k') + "=" + std::string(255, 'v') + "\n");
    // The reader cuts its names the same way, so the long key finds its entry again.
    EXPECT_EQ(IniLookup(text, "A", longKey), std::string(255, 'v'));

    text = IniSetValue("[A]\nk=1\n", "A", "k", "x\r\n[Injected]\nEvil=1");
    EXPECT_EQ(text, "[A]\nk=x\n");
    EXPECT_EQ(IniLookup(text, "Injected", "Evil"), "0");
}

TEST(IniFileIo, ReadsWritesAndCreatesFiles) {
    SettingsTestFolder folder;
    // No file: "0"; empty names or an unknown target: "" and no file is touched.
    EXPECT_EQ(ReadIniValue("General", "ShowTray", kSettingsTarget), "0");
    EXPECT_EQ(ReadIniValue("", "ShowTray", kSettingsTarget), "");
    EXPECT_EQ(ReadIniValue("General", "", kSettingsTarget), "");
    EXPECT_EQ(ReadIniValue("General", "ShowTray", 3), "");
    WriteIniValue("General", "", "1", kSettingsTarget);
    WriteIniValue("General", "ShowTray", "1", 0);
    EXPECT_FALSE(std::filesystem::exists(SettingsFile()));
    std::vector<std::string> list = {"stale"};
    ReadIniSection("General", kSettingsTarget, list);
    EXPECT_TRUE(list.empty());

    WriteIniBool("General", "ShowTray", true, kSettingsTarget);
    WriteIniBool("general", "TaskBar", false, kSettingsTarget);
    WriteIniValue("USERS", "Psw", "", kSettingsTarget);
    EXPECT_EQ(SettingsTestFolder::Read(SettingsFile()),
              "[General]\nShowTray=1\nTaskBar=0\n\n[USERS]\nPsw=\n");
    EXPECT_EQ(ReadIniValue("GENERAL", "showtray", kSettingsTarget), "1");
    EXPECT_EQ(ReadIniValue("USERS", "Psw", kSettingsTarget), "");
    ReadIniSection("General", kSettingsTarget, list);
    EXPECT_EQ(list, (std::vector<std::string>{"ShowTray=1", "TaskBar=0"}));

    // The language file is a separate target in its own folder; nothing else is left behind.
    std::filesystem::create_directories(LanguageFile().parent_path());
    WriteIniValue("StatusList", "Sta5", "Signed in", kLanguageTarget);
    EXPECT_EQ(ReadIniValue("StatusList", "Sta5", kLanguageTarget), "Signed in");
    EXPECT_EQ(ReadIniValue("StatusList", "Sta5", kSettingsTarget), "0");
    EXPECT_EQ(FileCount(folder.Path()), 2u);
    EXPECT_EQ(FileCount(LanguageFile().parent_path()), 1u);
}

TEST(IniFileIo, SettingsStayPrivateAndLinksOrFifosCannotRedirectThem) {
    SettingsTestFolder folder;
    auto modeOf = [](const std::filesystem::path& file) {
        struct stat st {};
        EXPECT_EQ(::lstat(file.c_str(), &st), 0) << file;
        return st.st_mode & 0777;
    };
    // A new settings file is its owner's only; a language file is not.
    WriteIniValue("General", "ShowTray", "1", kSettingsTarget);
    EXPECT_EQ(modeOf(SettingsFile()), 0600u);
    std::filesystem::create_directories(LanguageFile().parent_path());
    WriteIniValue("StatusList", "Sta5", "Signed in", kLanguageTarget);
    EXPECT_EQ(modeOf(LanguageFile()), 0644u);

    // A file made readable for all keeps its mode until a password goes into it.
    ::chmod(SettingsFile().c_str(), 0644);
    WriteIniValue("USERS", "login", "root", kSettingsTarget);
    EXPECT_EQ(modeOf(SettingsFile()), 0644u);
    WriteIniValue("Proxy", "PSW", "enciphered", kSettingsTarget);
    EXPECT_EQ(modeOf(SettingsFile()), 0600u);

    // A symbolic link in the file's place is replaced, with the text it named; the file it named,
    // someone else's choice, is not written.
    auto planted = folder.Path() / "planted.ini";
    SettingsTestFolder::Write(planted, "[A]\r\nk=1\r\n");
    ::chmod(planted.c_str(), 0644);
    std::filesystem::remove(SettingsFile());
    std::filesystem::create_symlink(planted, SettingsFile());
    WriteIniValue("USERS", "Psw", "secret", kSettingsTarget);
    EXPECT_FALSE(std::filesystem::is_symlink(SettingsFile()));
    EXPECT_EQ(SettingsTestFolder::Read(planted), "[A]\r\nk=1\r\n");
    EXPECT_EQ(ReadIniValue("A", "k", kSettingsTarget), "1");
    EXPECT_EQ(ReadIniValue("USERS", "Psw", kSettingsTarget), "secret");
    EXPECT_EQ(modeOf(SettingsFile()), 0600u);

    // A FIFO in the file's place reads as a missing file at once, and is not written into.
    std::filesystem::remove(SettingsFile());
    ASSERT_EQ(::mkfifo(SettingsFile().c_str(), 0600), 0);
    EXPECT_EQ(ReadIniValue("USERS", "Psw", kSettingsTarget), "0");
    std::vector<std::string> list{"stale"};
    ReadIniSection("USERS", kSettingsTarget, list);
    EXPECT_TRUE(list.empty());
    EXPECT_THROW(WriteIniValue("USERS", "Psw", "x", kSettingsTarget), Error);
}

TEST(IniFileIo, RefusedWritesThrowAndLeaveTheOriginal) {
    SettingsTestFolder folder;
    // A missing folder.
    try {
        WriteIniValue("APPLICATION", "NAME", "x", kLanguageTarget);
        FAIL() << "expected an error";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + LanguageFile().string());
    }
    // A file that is not a regular file.
    std::filesystem::create_directories(SettingsFile());
    EXPECT_THROW(WriteIniValue("A", "k", "v", kSettingsTarget), Error);
    std::filesystem::remove(SettingsFile());

    // A read-only folder and a read-only file, written by an unprivileged user. Root may write
    // anywhere, so the attempt runs in a child that drops to nobody first and reports through its
    // exit code: 0 refused with the right message and the file intact, 1 not refused, 2 other.
    const std::string original = "; keep\r\n[General]\r\nShowTray=1";
    SettingsTestFolder::Write(SettingsFile(), original);
    ::chmod(SettingsFile().c_str(), 0644);
    ::chown(folder.Path().c_str(), 65534, 65534);
    ::chown(SettingsFile().c_str(), 65534, 65534);
    for (mode_t folderMode : {0555, 0755}) {
        mode_t fileMode = folderMode == 0555 ? 0644 : 0444;
        ::chmod(folder.Path().c_str(), folderMode);
        ::chmod(SettingsFile().c_str(), fileMode);
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0) {
                ::_exit(3);
            }
            int code = 2;
            try {
                WriteIniValue("General", "ShowTray", "0", kSettingsTarget);
                code = 1;
            } catch (const Error& e) {
                bool intact =
                    SettingsTestFolder::Read(SettingsFile()) == original && FileCount(ProgramFolder()) == 1;
                code = (std::string(e.what()) == "Unable to write to " + SettingsFile().string() && intact)
                           ? 0
                           : 2;
            } catch (...) {
            }
            ::_exit(code);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << "folder mode " << std::oct << folderMode;
    }
    ::chmod(folder.Path().c_str(), 0755);
    EXPECT_EQ(SettingsTestFolder::Read(SettingsFile()), original);
    EXPECT_EQ(FileCount(folder.Path()), 1u);
}

TEST(IniFileIo, TwoWritersNeverLoseEachOthersChange) {
    SettingsTestFolder folder;
    // Two processes, each with two threads, every writer setting keys of its own at the same time.
    constexpr int kKeys = 40;
    const auto write = [](const std::string& who) {
        std::thread other([&] {
            for (int i = 0; i < kKeys; ++i)
                WriteIniValue("Pins", who + "t" + std::to_string(i), "x", kSettingsTarget);
        });
        for (int i = 0; i < kKeys; ++i)
            WriteIniValue("General", who + std::to_string(i), "1", kSettingsTarget);
        other.join();
    };
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int code = 0;
        try {
            write("child");
        } catch (...) {
            code = 1;
        }
        ::_exit(code);
    }
    write("parent");
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    int missing = 0;
    for (const char* who : {"parent", "child"})
        for (int i = 0; i < kKeys; ++i) {
            missing += ReadIniValue("General", who + std::to_string(i), kSettingsTarget) != "1";
            missing +=
                ReadIniValue("Pins", std::string(who) + "t" + std::to_string(i), kSettingsTarget) != "x";
        }
    EXPECT_EQ(missing, 0);
}

TEST(IniFileFlag, NumbersAndWords) {
    for (const char* yes : {"1", "-1", "2", " 1 ", "0.5", "+3", "1e400", "true", "YES", "On"}) {
        EXPECT_TRUE(IniFlag(yes)) << yes;
    }
    for (const char* no : {"0", "", "00", "-0", "0.0", "false", "no", "1x", "nan", "inf", "y", "0x1"}) {
        EXPECT_FALSE(IniFlag(no)) << no;
    }
}
