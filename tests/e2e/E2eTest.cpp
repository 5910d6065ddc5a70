// The real program: started offscreen in a program folder of its own (a copy of the binary), with its
// own temporary folder for the single-instance lock. It reports its state on standard output when
// PARLOMAR_REPORT is set.

#include "ClientProcess.h"
#include "StandinProcess.h"
#include "TestSupport.h"
#include "core/server/PasswordCipher.h"
#include "core/settings/IniFile.h"
#include "core/settings/Paths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

using e2e::Client;

namespace {

// A program folder with a copy of the client binary and a temporary folder of its own.
struct ProgramCopy {
    ProgramCopy() {
        fs::copy_file(PARLOMAR_CLIENT_BIN, dir.Path() / "ParlomarClient");
        fs::create_directories(Temp());
        parlomar::SetProgramFolder(dir.Path());
    }
    fs::path Temp() const { return dir.Path() / "tmp"; }
    void Set(const std::string& section, const std::string& key, const std::string& value) {
        parlomar::WriteIniValue(section, key, value, parlomar::kSettingsTarget);
    }
    standin_test::TempDir dir;
};

// The lines of a stand-in's request log: time, path, query, user.
std::vector<std::vector<std::string>> RequestLog(const fs::path& file) {
    std::ifstream in(file);
    std::vector<std::vector<std::string>> rows;
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> fields;
        std::istringstream split(line);
        for (std::string field; std::getline(split, field, '\t');)
            fields.push_back(field);
        rows.push_back(fields);
    }
    return rows;
}

} // namespace

TEST(EndToEnd, StartsOffscreenWithItsMainWindow) {
    ProgramCopy program;
    Client client(program.dir.Path(), program.Temp());
    EXPECT_TRUE(client.WaitFor("main window shown"));
    EXPECT_TRUE(client.Running());
}

TEST(EndToEnd, SignsInByItselfWithARememberedPasswordAndFetchesThePackages) {
    standin_test::TempDir data;
    standin_test::StandinProcess server(data.Path(), {"--seed", "demo"});
    ProgramCopy program;
    program.Set("General", "ShowTray", "0");
    program.Set("USERS", "IP", "127.0.0.1");
    program.Set("USERS", "Port", std::to_string(server.Port()));
    program.Set("USERS", "Login", standin_test::kUser);
    program.Set("USERS", "SavePSW", "1");
    program.Set("USERS", "Psw", parlomar::EncipherPassword(standin_test::kPassword));
    const std::string fingerprint = parlomar::test::CertificateFingerprint(server.CertFile());
    ASSERT_FALSE(fingerprint.empty());
    program.Set("Certificates", "127.0.0.1:" + std::to_string(server.Port()), fingerprint);

    Client client(program.dir.Path(), program.Temp());
    ASSERT_TRUE(client.WaitFor("main window shown"));
    EXPECT_TRUE(client.WaitFor("signed in"));
    EXPECT_TRUE(client.WaitFor("packages stored"));
    EXPECT_TRUE(client.WaitFor("packages shown 5")); // the demo's five packages in the grid
}

TEST(EndToEnd, OneInstanceAtATimeAndACrashedOneDoesNotBlock) {
    ProgramCopy program;
    Client first(program.dir.Path(), program.Temp());
    ASSERT_TRUE(first.WaitFor("main window shown"));

    // The second start brings the first one's window to the front and ends without a message.
    Client second(program.dir.Path(), program.Temp());
    EXPECT_TRUE(second.WaitFor("already running, brought to the front"));
    EXPECT_EQ(second.WaitExit(), 0);
    EXPECT_TRUE(first.WaitFor("brought to front"));
    EXPECT_TRUE(first.Running());

    first.Stop(SIGKILL); // a crash: the lock file stays behind
    bool leftBehind = false;
    for (const auto& entry : fs::directory_iterator(program.Temp()))
        leftBehind |= entry.path().filename().string().starts_with("ParlomarClient-");
    EXPECT_TRUE(leftBehind);
    Client third(program.dir.Path(), program.Temp());
    EXPECT_TRUE(third.WaitFor("main window shown"));
}

TEST(EndToEnd, NothingOfTheFirstSignInReachesTheSecondServer) {
    standin_test::TempDir dir;
    const fs::path firstLog = dir.Path() / "first.log";
    const fs::path secondLog = dir.Path() / "second.log";
    standin_test::StandinProcess first(dir.Path() / "first", {"--seed", "demo", "--request-log", firstLog});
    standin_test::StandinProcess second(dir.Path() / "second", {"--seed", "12", "--request-log", secondLog});
    ProgramCopy program;
    program.Set("General", "ShowTray", "0");
    for (const auto* server : {&first, &second})
        program.Set("Certificates", "127.0.0.1:" + std::to_string(server->Port()),
                    parlomar::test::CertificateFingerprint(server->CertFile()));
    const auto signIn = [](const standin_test::StandinProcess& server) {
        return "sign-in 127.0.0.1 " + std::to_string(server.Port()) + " " + standin_test::kUser + " " +
               standin_test::kPassword;
    };

    Client client(program.dir.Path(), program.Temp());
    ASSERT_TRUE(client.WaitFor("main window shown"));
    client.Send(signIn(first));
    ASSERT_TRUE(client.WaitFor("packages shown 5"));
    client.Send("list-accounts");
    ASSERT_TRUE(client.WaitFor("accounts shown 40"));

    // The switch comes while a list of the first server is still on its way.
    standin_test::Get(first.Url("/standin/faults?delay_ms=3000&times=1"), standin_test::RequestOptions{});
    client.Send("list-accounts");
    client.Send("sign-out");
    ASSERT_TRUE(client.WaitFor("signed out"));
    client.Send(signIn(second));
    ASSERT_TRUE(client.WaitFor("packages shown 5"));
    client.Send("tab accounts"); // nothing of the first server is stored to show here
    client.Send("list-accounts");
    ASSERT_TRUE(client.WaitFor("accounts shown 12"));
    std::this_thread::sleep_for(std::chrono::milliseconds(3500)); // the late reply of the first server
    client.Send("exit");
    EXPECT_EQ(client.WaitExit(), 0);
    EXPECT_EQ(std::count(client.Lines().begin(), client.Lines().end(), "accounts shown 40"), 1);

    // The second server saw its own sign-in and nothing else, the sign-out at exit last: one request
    // per call, each with the credentials.
    const auto seen = RequestLog(secondLog);
    std::vector<std::string> paths;
    for (const auto& row : seen) {
        ASSERT_EQ(row.size(), 4u);
        EXPECT_EQ(row[3], standin_test::kUser) << row[1];
        paths.push_back(row[1]);
    }
    EXPECT_EQ(paths,
              (std::vector<std::string>{"/xml-api/version", "/xml-api/listpkgs", "/xml-api/listaccts", "/"}));
    // The first server's last request was its sign-out, and everything else it saw came before the
    // switch. The sign-out goes on a thread of its own over the first sign-in's connection, so it
    // may arrive there while the second sign-in starts.
    const auto before = RequestLog(firstLog);
    ASSERT_FALSE(before.empty() || seen.empty());
    EXPECT_EQ(before.back()[1], "/");
    EXPECT_EQ(std::count_if(before.begin(), before.end(), [](const auto& row) { return row[1] == "/"; }), 1);
    for (std::size_t i = 0; i + 1 < before.size(); ++i)
        EXPECT_LE(before[i][0], seen.front()[0]) << before[i][1];
}

TEST(EndToEnd, AnswersHelpAndVersionWithoutADisplayAndRefusesEverythingElse) {
    ProgramCopy program;
    // No display and a platform that needs one: anything that started the windows would fail.
    const auto run = [&](std::vector<std::string> args) {
        return e2e::RunToEnd(
            program.dir.Path() / "ParlomarClient",
            {std::move(args),
             {{"QT_QPA_PLATFORM", "xcb"}, {"DISPLAY", std::nullopt}, {"WAYLAND_DISPLAY", std::nullopt}},
             {}});
    };
    // The toolkit's own options are left to it, with their values.
    for (const auto& args : std::vector<std::vector<std::string>>{{"--version"},
                                                                  {"-v"},
                                                                  {"-platform", "offscreen", "--version"},
                                                                  {"--style=fusion", "-reverse", "-v"}}) {
        const auto version = run(args);
        EXPECT_EQ(version.status, 0) << args[0];
        EXPECT_EQ(version.out, "ParlomarClient " PARLOMAR_PROJECT_VERSION "\n") << args[0];
    }
    const auto help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("-v, --version"), std::string::npos) << help.out;
    EXPECT_NE(help.out.find((program.dir.Path() / "ParlomarClient.ini").string()), std::string::npos)
        << help.out;
    EXPECT_NE(help.out.find("activity.log"), std::string::npos) << help.out;
    EXPECT_NE(help.out.find(", 20"), std::string::npos) << help.out; // the version's date
    EXPECT_EQ(help.err, "");

    for (const auto& [args, message] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"--bogus"}, "unknown option '--bogus'"},
             {{"-style"}, "option '-style' needs a value"},
             {{"-platformx", "offscreen"}, "unknown option '-platformx'"},
             {{"accounts.txt"}, "unexpected argument 'accounts.txt'"},
             {{"--version", "now"}, "unexpected argument 'now'"}}) {
        const auto refused = run(args);
        EXPECT_EQ(refused.status, 2) << args[0];
        EXPECT_EQ(refused.out, "") << args[0];
        EXPECT_NE(refused.err.find(message), std::string::npos) << refused.err;
        EXPECT_NE(refused.err.find("--help"), std::string::npos) << refused.err;
    }
    EXPECT_FALSE(fs::exists(program.dir.Path() / "ParlomarClient.ini")); // nothing was started
}
