// The installed program: the layout that the build installs, with its desktop files checked by the
// desktop's own validators, and the Debian package made from it, unpacked into a scratch root and run
// from there as an installed program whose folders it may not write to.

#include "ClientProcess.h"
#include "StandinProcess.h"
#include "core/server/PasswordCipher.h"
#include "core/settings/IniFile.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Runs a shell command; its exit status and standard output (standard error goes with it).
std::pair<int, std::string> Shell(const std::string& command) {
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen((command + " 2>&1").c_str(), "r"), pclose);
    std::string out;
    char chunk[4096];
    while (pipe && fgets(chunk, sizeof chunk, pipe.get()))
        out += chunk;
    const int status = pipe ? pclose(pipe.release()) : -1;
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

std::string Quoted(const fs::path& path) {
    return "'" + path.string() + "'";
}

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Width and height from a PNG file's header.
std::pair<int, int> PngSize(const fs::path& path) {
    const std::string data = ReadText(path);
    if (data.size() < 24 || data.compare(1, 3, "PNG") != 0)
        return {0, 0};
    const auto number = [&](size_t at) {
        return (static_cast<unsigned char>(data[at]) << 24) |
               (static_cast<unsigned char>(data[at + 1]) << 16) |
               (static_cast<unsigned char>(data[at + 2]) << 8) | static_cast<unsigned char>(data[at + 3]);
    };
    return {number(16), number(20)};
}

// Everything under a folder as it stands: names, kinds, sizes, modes, owners and change times.
using Snapshot = std::vector<std::tuple<std::string, unsigned, long long, long long, long long>>;
Snapshot Take(const fs::path& root) {
    Snapshot entries;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        struct stat st {};
        lstat(entry.path().c_str(), &st);
        entries.emplace_back(entry.path().string(), st.st_mode, static_cast<long long>(st.st_size),
                             static_cast<long long>(st.st_ino),
                             static_cast<long long>(st.st_ctim.tv_sec) * 1000000000LL + st.st_ctim.tv_nsec);
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

} // namespace

TEST(Package, InstallsTheStandardLayoutWithValidDesktopFiles) {
    standin_test::TempDir prefix;
    const auto [installed, log] = Shell(std::string(PARLOMAR_CMAKE) + " --install " +
                                        Quoted(PARLOMAR_BUILD_DIR) + " --prefix " + Quoted(prefix.Path()));
    ASSERT_EQ(installed, 0) << log;
    const fs::path share = prefix.Path() / "share";
    const std::string id = PARLOMAR_APP_ID;
    for (const fs::path& file :
         {prefix.Path() / "bin/ParlomarClient", share / "parlomarclient/Localization/English.lng",
          share / "parlomarclient/ParlomarClient.ini", share / "parlomarclient/skins/Daylight.zip",
          share / "parlomarclient/skins/Graphite.zip", share / "man/man1/ParlomarClient.1.gz",
          share / "doc/parlomarclient/copyright", share / "doc/parlomarclient/changelog.Debian.gz",
          share / ("icons/hicolor/scalable/apps/" + id + ".svg")})
        EXPECT_TRUE(fs::is_regular_file(file)) << file;
    for (const int size : {48, 64, 128}) {
        const auto icon = share / "icons/hicolor" / (std::to_string(size) + "x" + std::to_string(size)) /
                          "apps" / (id + ".png");
        EXPECT_EQ(PngSize(icon), std::make_pair(size, size)) << icon;
    }
    const fs::path desktop = share / "applications" / (id + ".desktop");
    const auto [desktopValid, desktopLog] = Shell("desktop-file-validate " + Quoted(desktop));
    EXPECT_EQ(desktopValid, 0) << desktopLog;
    EXPECT_EQ(desktopLog, "");
    const auto [metaValid, metaLog] =
        Shell("appstreamcli validate --no-net " + Quoted(share / "metainfo" / (id + ".metainfo.xml")));
    EXPECT_EQ(metaValid, 0) << metaLog;
    // The newest release it describes is this version (the version and its date change together).
    EXPECT_NE(ReadText(share / "metainfo" / (id + ".metainfo.xml"))
                  .find("<release version=\"" PARLOMAR_PROJECT_VERSION "\""),
              std::string::npos);
    EXPECT_NE(ReadText(desktop).find("Icon=" + id + "\n"), std::string::npos);
}

TEST(Package, RunsFromAReadOnlyInstallationWithTheSettingsInTheUsersFolder) {
    standin_test::TempDir work;
    const auto [packed, packLog] = Shell(std::string(PARLOMAR_CPACK) + " -G DEB --config " +
                                         Quoted(fs::path(PARLOMAR_BUILD_DIR) / "CPackConfig.cmake") + " -B " +
                                         Quoted(work.Path() / "package"));
    ASSERT_EQ(packed, 0) << packLog;
    fs::path deb;
    for (const auto& entry : fs::directory_iterator(work.Path() / "package"))
        if (entry.path().extension() == ".deb")
            deb = entry.path();
    ASSERT_FALSE(deb.empty()) << packLog;
    // The dependencies were read from the binary.
    const auto [fields, depends] = Shell("dpkg-deb -f " + Quoted(deb) + " Depends");
    EXPECT_NE(depends.find("libqt6widgets6"), std::string::npos) << depends;
    EXPECT_NE(depends.find("libcurl4"), std::string::npos) << depends;

    const fs::path root = work.Path() / "root";
    const auto [unpacked, unpackLog] = Shell("dpkg -x " + Quoted(deb) + " " + Quoted(root));
    ASSERT_EQ(unpacked, 0) << unpackLog;
    const fs::path program = root / "usr/bin/ParlomarClient";
    const fs::path shipped = root / "usr/share/parlomarclient";
    ASSERT_TRUE(fs::is_regular_file(program)) << unpackLog;

    // A user of their own (nobody, when the test runs as root, so that the read-only folders hold).
    const bool root_user = geteuid() == 0;
    const uid_t user = root_user ? 65534 : geteuid();
    const fs::path home = work.Path() / "home", runtime = work.Path() / "run", temp = work.Path() / "tmp";
    for (const auto& folder : {home, runtime, temp}) {
        fs::create_directories(folder);
        ASSERT_EQ(chown(folder.c_str(), user, user), 0);
    }
    fs::permissions(work.Path(), fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    fs::permissions(runtime, fs::perms::owner_all);
    struct Writable { // the scratch root is removable again afterwards
        fs::path root;
        ~Writable() { Shell("chmod -R u+w " + Quoted(root)); }
    } writable{root};
    ASSERT_EQ(Shell("chmod -R a-w " + Quoted(root)).first, 0);
    const Snapshot before = Take(root);

    e2e::StartOptions start{{},
                            {{"HOME", home.string()},
                             {"XDG_CONFIG_HOME", std::nullopt},
                             {"XDG_DATA_HOME", std::nullopt},
                             {"XDG_RUNTIME_DIR", runtime.string()},
                             {"TMPDIR", temp.string()}},
                            root_user ? std::optional<uid_t>(user) : std::nullopt};
    const fs::path settings = home / ".config/ParlomarClient/ParlomarClient.ini";
    const auto help = e2e::RunToEnd(program, {{"--help"}, start.environment, start.user});
    EXPECT_NE(help.out.find(settings.string()), std::string::npos) << help.out;
    EXPECT_NE(help.out.find((shipped / "Localization/English.lng").string()), std::string::npos) << help.out;

    // First start: the user's settings file is made from the shipped default, for this user only.
    {
        e2e::Client client(program, start);
        ASSERT_TRUE(client.WaitFor("main window shown"));
        bool lockInRuntime = false;
        for (const auto& entry : fs::directory_iterator(runtime))
            lockInRuntime |= entry.path().filename().string().starts_with("ParlomarClient-");
        EXPECT_TRUE(lockInRuntime);
        EXPECT_TRUE(fs::is_empty(temp));
    }
    struct stat st {};
    ASSERT_EQ(stat(settings.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(st.st_uid, user);
    EXPECT_EQ(ReadText(settings), ReadText(shipped / "ParlomarClient.ini"));
    ASSERT_EQ(stat(settings.parent_path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);

    // Second start signs in with the values put into the user's file (written in place, so that it
    // stays the user's); the sign-in accepts the stand-in's certificate without asking and remembers
    // it there.
    standin_test::TempDir data;
    standin_test::StandinProcess server(data.Path(), {"--seed", "demo"});
    const auto [fingerprinted, fingerprint] = Shell("openssl x509 -noout -fingerprint -sha256 -in " +
                                                    Quoted(server.CertFile()) + " | sed 's/^[^=]*=//'");
    ASSERT_EQ(fingerprinted, 0);
    std::string text = ReadText(settings);
    for (const auto& [section, key, value] : std::vector<std::tuple<std::string, std::string, std::string>>{
             {"General", "ShowTray", "0"},
             {"USERS", "IP", "127.0.0.1"},
             {"USERS", "Port", std::to_string(server.Port())},
             {"USERS", "Login", standin_test::kUser},
             {"USERS", "SavePSW", "1"},
             {"USERS", "Psw", parlomar::EncipherPassword(standin_test::kPassword)},
             {"General", "UntrustedCert", "0"}})
        text = parlomar::IniSetValue(text, section, key, value);
    std::ofstream(settings, std::ios::binary | std::ios::trunc) << text;
    {
        e2e::Client client(program, start);
        ASSERT_TRUE(client.WaitFor("signed in"));
        EXPECT_TRUE(client.WaitFor("packages shown 5"));
    }
    ASSERT_EQ(stat(settings.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(st.st_uid, user);
    EXPECT_EQ(
        parlomar::IniLookup(ReadText(settings), "Certificates", "127.0.0.1:" + std::to_string(server.Port())),
        fingerprint.substr(0, fingerprint.find('\n')));

    EXPECT_EQ(Take(root), before); // nothing in the installation was written
}
