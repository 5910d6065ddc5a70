// The saved servers of the sign-in panel in the settings file: beside an older file's sections,
// most recent first, at most 50, one entry per server, private once a password is in it.

#include "core/settings/SavedServers.h"
#include "SettingsTestFolder.h"
#include "core/settings/IniFile.h"
#include "core/settings/Paths.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace parlomar;
using parlomar::test::SettingsTestFolder;

namespace {

SavedServer Server(const std::string& address, std::uint16_t port, const std::string& user) {
    SavedServer server;
    server.address = address;
    server.port = port;
    server.userName = user;
    return server;
}

unsigned ModeOf(const std::filesystem::path& file) {
    struct stat st {};
    ::stat(file.c_str(), &st);
    return st.st_mode & 0777;
}

} // namespace

TEST(SavedServers, KeptMostRecentFirstBesideTheSectionsOfAnOlderFile) {
    SettingsTestFolder folder;
    const std::string older = "; written by hand\r\n[USERS]\r\nIP=10.0.0.1\r\nPort=2087\r\nlogin=root\r\n"
                              "SavePsw=0\r\nPsw=\r\n[Proxy]\r\nUse=0\r\n";
    SettingsTestFolder::Write(SettingsFile(), older);
    ::chmod(SettingsFile().c_str(), 0644);
    EXPECT_TRUE(ReadSavedServers().empty());

    // 52 sign-ins: the last 50 are kept, the newest first.
    std::vector<SavedServer> list;
    for (int i = 1; i <= 52; ++i)
        list = WithServerFirst(list, Server("host" + std::to_string(i) + ".example", 2087, "root"));
    WriteSavedServers(list);
    std::vector<SavedServer> read = ReadSavedServers();
    ASSERT_EQ(read.size(), 50u);
    EXPECT_EQ(read.front().address, "host52.example");
    EXPECT_EQ(read.back().address, "host3.example");
    // The older file's text stays as it was, line endings included; no password: mode kept.
    const std::string text = SettingsTestFolder::Read(SettingsFile());
    EXPECT_EQ(text.substr(0, older.size()), older);
    EXPECT_NE(text.find("\r\n[Server1]\r\nIP=host52.example\r\n"), std::string::npos);
    EXPECT_EQ(IniLookup(text, "USERS", "IP"), "10.0.0.1");
    EXPECT_EQ(ModeOf(SettingsFile()), 0644u);

    // The same server typed differently moves to the front with what was chosen this time; a
    // remembered password makes the file private.
    SavedServer again = Server(" HOST7.example", 2087, "root");
    again.savePassword = true;
    again.encipheredPassword = "cGFzcw==";
    again.readOnly = true;
    WriteSavedServers(WithServerFirst(ReadSavedServers(), again));
    read = ReadSavedServers();
    ASSERT_EQ(read.size(), 50u);
    EXPECT_EQ(read[0].address, "HOST7.example");
    EXPECT_TRUE(read[0].readOnly);
    EXPECT_EQ(read[0].encipheredPassword, "cGFzcw==");
    EXPECT_EQ(read[1].address, "host52.example");
    EXPECT_EQ(ModeOf(SettingsFile()), 0600u);
    // Another user or port on the same host is another entry.
    EXPECT_FALSE(SameServer(again, Server("host7.example", 2083, "root")));
    EXPECT_FALSE(SameServer(again, Server("host7.example", 2087, "admin")));

    // Removing entries leaves no section behind.
    read = WithoutServer(ReadSavedServers(), again);
    read.resize(2);
    WriteSavedServers(read);
    const std::string after = SettingsTestFolder::Read(SettingsFile());
    EXPECT_EQ(ReadSavedServers().size(), 2u);
    EXPECT_EQ(after.find("[Server3]"), std::string::npos);
    EXPECT_EQ(after.find("cGFzcw=="), std::string::npos);
    EXPECT_EQ(after.substr(0, older.size()), older);
}

TEST(SavedServers, HandEditedSectionsReadSafely) {
    const std::string text = "[server2]\nip=b.example\nport=99999\nLogin=admin\nSavePsw=0\nPsw=c2VjcmV0\n"
                             "[Server1]\nIP=a.example\nPort=x\nReadOnly=yes\n"
                             "[Server3]\nIP=A.EXAMPLE\nPort=0\n" // the same as Server1: dropped
                             "[Server4]\nPort=1\n"               // no address: not an entry
                             "[Server51]\nIP=z.example\n";       // beyond the list
    const std::vector<SavedServer> read = SavedServersFromText(text);
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0].address, "a.example");
    EXPECT_EQ(read[0].port, 0);
    EXPECT_EQ(read[0].userName, "");
    EXPECT_TRUE(read[0].readOnly);
    EXPECT_EQ(read[1].port, 0);                // outside 1 to 65535: no port, not its low 16 bits
    EXPECT_EQ(read[1].encipheredPassword, ""); // not remembered: not offered
}
