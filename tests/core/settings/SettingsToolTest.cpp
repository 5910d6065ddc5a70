// The parlomar-settings tool run as a script runs it: what it writes is what the program reads.

#include "core/server/PasswordCipher.h"
#include "core/settings/IniFile.h"
#include "settings/SettingsTestFolder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/wait.h>

using namespace parlomar;
using parlomar::test::SettingsTestFolder;

namespace {

struct ToolRun {
    int status = -1;
    std::string out;
};

// Runs the tool with the arguments (already quoted for the shell), standard input from `input`.
ToolRun Tool(const std::string& args, const std::string& input = "") {
    const std::string command =
        "printf '%s' '" + input + "' | '" PARLOMAR_SETTINGS_TOOL "' " + args + " 2>&1";
    ToolRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return run;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe))
        run.out += buffer;
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

} // namespace

TEST(SettingsTool, SetGetPasswordAndUsageErrors) {
    SettingsTestFolder folder;
    const std::string at = "--folder '" + folder.Path().string() + "' ";

    EXPECT_EQ(Tool(at + "set Proxy Addr 'proxy.example = x'").status, 0);
    EXPECT_EQ(ReadIniValue("Proxy", "Addr", kSettingsTarget), "proxy.example = x");
    const ToolRun got = Tool(at + "get proxy addr"); // names match without regard to case
    EXPECT_EQ(got.status, 0);
    EXPECT_EQ(got.out, "proxy.example = x\n");
    EXPECT_EQ(Tool(at + "get Proxy Missing").out, "0\n"); // a missing key reads "0"

    // The password from standard input, stored enciphered; the program's decipher gives it back.
    EXPECT_EQ(Tool(at + "set-password USERS Psw", "p4ss word\r\n").status, 0);
    const std::string stored = ReadIniValue("USERS", "Psw", kSettingsTarget);
    EXPECT_NE(stored, "p4ss word");
    EXPECT_EQ(DecipherPassword(stored), "p4ss word");

    for (const char* wrong : {"", "set Proxy Addr", "get Proxy", "set-password USERS", "frobnicate a b"}) {
        const ToolRun run = Tool(at + wrong);
        EXPECT_EQ(run.status, 2) << wrong;
        EXPECT_EQ(run.out.rfind("usage: parlomar-settings", 0), 0u) << wrong << ": " << run.out;
    }
    EXPECT_EQ(ReadIniValue("Proxy", "Addr", kSettingsTarget), "proxy.example = x"); // untouched
}
