// parlomar-cli against two stand-ins: A saved twice (writable as 127.0.0.1, read-only as localhost),
// B with a pinned certificate that is not the one it shows. Every run is the real binary in a program
// folder of its own, without a terminal; the stand-ins' request logs say what reached them.

#include "StandinProcess.h"
#include "TestSupport.h"
#include "core/server/PasswordCipher.h"
#include "core/settings/IniFile.h"
#include "core/settings/Paths.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

namespace fs = std::filesystem;
using parlomar::test::CommandOutput;
using standin_test::StandinProcess;

namespace {

std::size_t Lines(const fs::path& file) {
    std::ifstream in(file);
    std::size_t count = 0;
    for (std::string line; std::getline(in, line);)
        ++count;
    return count;
}

std::string Text(const fs::path& file) {
    std::ifstream in(file);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class Cli : public ::testing::Test {
protected:
    void SetUp() override {
        fs::copy_file(PARLOMAR_CLI_BIN, program.Path() / "parlomar-cli");
        parlomar::SetProgramFolder(program.Path());
        Save(1, "127.0.0.1", *a, false);
        Save(2, "localhost", *a, true);
        Save(3, "127.0.0.1", *b, false);
        Pin("127.0.0.1", *a, parlomar::test::CertificateFingerprint(a->CertFile()));
        Pin("localhost", *a, parlomar::test::CertificateFingerprint(a->CertFile()));
        Pin("127.0.0.1", *b,
            parlomar::test::CertificateFingerprint(a->CertFile())); // not B's own: B's certificate "changed"
    }

    void Save(int number, const std::string& address, const StandinProcess& server, bool readOnly) {
        const std::string section = "Server" + std::to_string(number);
        Set(section, "IP", address);
        Set(section, "Port", std::to_string(server.Port()));
        Set(section, "Login", standin_test::kUser);
        Set(section, "ReadOnly", readOnly ? "1" : "0");
    }
    void Pin(const std::string& address, const StandinProcess& server, const std::string& fingerprint) {
        Set("Certificates", address + ":" + std::to_string(server.Port()), fingerprint);
    }
    static void Set(const std::string& section, const std::string& key, const std::string& value) {
        parlomar::WriteIniValue(section, key, value, parlomar::kSettingsTarget);
    }

    CommandOutput Run(std::vector<std::string> args, const std::string& input = {},
                      const std::string& password = standin_test::kPassword) {
        args.insert(args.begin(), (program.Path() / "parlomar-cli").string());
        return parlomar::test::RunCapturing(args, input,
                                            {{"PARLOMAR_PASSWORD", password},
                                             {"XDG_DATA_HOME", (program.Path() / "data").string()},
                                             {"XDG_CONFIG_HOME", (program.Path() / "config").string()}});
    }

    parlomar::test::TempDir program;
    parlomar::test::TempDir dirs;
    fs::path aLog = dirs.Path() / "a.log";
    fs::path bLog = dirs.Path() / "b.log";
    std::unique_ptr<StandinProcess> a = std::make_unique<StandinProcess>(
        dirs.Path() / "a", std::vector<std::string>{"--seed", "demo", "--request-log", aLog.string()});
    std::unique_ptr<StandinProcess> b = std::make_unique<StandinProcess>(
        dirs.Path() / "b", std::vector<std::string>{"--seed", "demo", "--request-log", bLog.string()});
};

TEST_F(Cli, ServersAndTheListFormatsShowDecodedValues) {
    const CommandOutput servers = Run({"servers", "--format", "csv"});
    EXPECT_EQ(servers.status, 0);
    EXPECT_NE(servers.out.find("2,localhost," + std::to_string(a->Port()) + ",operator,yes,yes,no\r\n"),
              std::string::npos)
        << servers.out;

    // A suspension reason with markup and a formula's look, stored by the server escaped.
    ASSERT_EQ(Run({"suspend", "alpinebk", "--reason", "=1+2 <late> & \"due\""}).status, 0);
    const std::vector<std::string> query = {"--search", "^alpinebk$", "--by",
                                            "user",     "--columns",  "user,suspendreason"};
    std::vector<std::string> csv = {"accounts", "--format", "csv"};
    csv.insert(csv.end(), query.begin(), query.end());
    const CommandOutput asCsv = Run(csv);
    EXPECT_EQ(asCsv.status, 0) << asCsv.err;
    EXPECT_EQ(asCsv.out, "user,suspendreason\r\nalpinebk,\"'=1+2 <late> & \"\"due\"\"\"\r\n");

    std::vector<std::string> json = {"accounts", "--format", "json"};
    json.insert(json.end(), query.begin(), query.end());
    const CommandOutput asJson = Run(json);
    EXPECT_NE(asJson.out.find(R"("suspendreason": "=1+2 <late> & \"due\"")"), std::string::npos)
        << asJson.out;

    // The table cuts nothing and aligns the columns; the state filter and the sort apply.
    const CommandOutput table =
        Run({"accounts", "--state", "suspended", "--sort", "-user", "--columns", "user,diskused"});
    EXPECT_EQ(table.status, 0);
    EXPECT_EQ(table.out.substr(0, table.out.find('\n', table.out.find('\n') + 1)),
              "user       diskused\ntidewater  9021M");
    EXPECT_EQ(table.out.find("amberwood"), std::string::npos); // active

    const CommandOutput shown = Run({"show", "alpinebk", "--format", "json"});
    EXPECT_NE(shown.out.find(R"("domain": "alpine-bakery.com")"), std::string::npos) << shown.out;
    EXPECT_EQ(Run({"show", "nosuch"}).status, 1);
    EXPECT_EQ(Run({"accounts", "--search", "x["}).status, 1); // the server refuses the expression
}

TEST_F(Cli, RefusalsSendNothingAndSayWhyByTheirStatus) {
    const std::size_t before = Lines(aLog);
    // Read-only: exit 4, also for a rehearsal.
    EXPECT_EQ(Run({"suspend", "-s", "2", "alpinebk"}).status, 4);
    EXPECT_EQ(Run({"limitbw", "-s", "localhost", "alpinebk", "10", "--dry-run"}).status, 4);
    // A rehearsal sends nothing.
    const CommandOutput dry = Run({"delete", "-s", "1", "alpinebk", "--dry-run"});
    EXPECT_EQ(dry.status, 0);
    EXPECT_NE(dry.out.find("/xml-api/removeacct?user=alpinebk"), std::string::npos);
    // Delete wants --yes without a terminal; no password, no terminal; an unknown server.
    EXPECT_EQ(Run({"delete", "alpinebk"}).status, 2);
    EXPECT_EQ(Run({"accounts"}, "", "").status, 2);
    EXPECT_EQ(Run({"accounts", "-s", "otherhost"}).status, 2);
    EXPECT_EQ(Lines(aLog), before);

    // The changed certificate: exit 3, nothing reaches B; an unpinned one likewise.
    const CommandOutput changed = Run({"accounts", "-s", "3"});
    EXPECT_EQ(changed.status, 3);
    EXPECT_NE(changed.err.find("differs from the pinned one"), std::string::npos) << changed.err;
    Set("Certificates", "127.0.0.1:" + std::to_string(b->Port()), "");
    EXPECT_EQ(Run({"packages", "-s", "3"}).status, 3);
    EXPECT_EQ(Lines(bLog), 0u);

    // Trust pins only the fingerprint given; then B answers.
    EXPECT_EQ(
        Run({"trust", "3", "--fingerprint", parlomar::test::CertificateFingerprint(a->CertFile())}).status,
        3);
    EXPECT_EQ(Run({"trust", "3"}).status, 2); // no terminal to ask on
    EXPECT_EQ(
        Run({"trust", "3", "--fingerprint", parlomar::test::CertificateFingerprint(b->CertFile())}).status,
        0);
    EXPECT_EQ(Run({"packages", "-s", "3"}).status, 0);

    // A wrong password: exit 5.
    EXPECT_EQ(Run({"packages"}, "", "wrong").status, 5);
}

TEST_F(Cli, ChangesSkipTheAccountsInTheWantedStateAndTakePasswordsFromInput) {
    // copperpot is suspended already; nosuch does not exist: the rest is still done, exit 1.
    const CommandOutput run = Run({"suspend", "copperpot", "--from", "-"}, "alpinebk\n\nnosuch\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("copperpot\tskipped"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("alpinebk\tdone"), std::string::npos);
    EXPECT_NE(run.err.find("nosuch"), std::string::npos);
    const std::string log = Text(aLog);
    EXPECT_EQ(log.find("suspendacct\tuser=copperpot"), std::string::npos);
    EXPECT_NE(log.find("suspendacct\tuser=alpinebk"), std::string::npos);

    // The sign-in password from the environment, the new one from standard input.
    const CommandOutput passwd = Run({"passwd", "alpinebk"}, "n3w P&ss\n");
    EXPECT_EQ(passwd.status, 0) << passwd.err;
    EXPECT_NE(Text(aLog).find("passwd\tuser=alpinebk"), std::string::npos);
    EXPECT_EQ(Run({"passwd", "alpinebk"}, "").status, 2);
    EXPECT_EQ(Run({"limitbw", "alpinebk", "ten"}).status, 2);

    // The changes are in the activity log, as the window writes it; the new password is not.
    const std::string activity = Text(program.Path() / "data" / "ParlomarClient" / "activity.log");
    EXPECT_NE(activity.find("\"function\":\"suspendacct\""), std::string::npos);
    EXPECT_EQ(activity.find("n3w"), std::string::npos);
}

TEST_F(Cli, FindSearchesEveryServerAndNamesTheOneThatFails) {
    const CommandOutput found = Run({"find", "^a", "--by", "user", "--format", "csv", "--columns", "user"});
    EXPECT_EQ(found.status, 1);
    const std::string a1 = "operator@127.0.0.1:" + std::to_string(a->Port());
    const std::string a2 = "operator@localhost:" + std::to_string(a->Port());
    EXPECT_NE(found.out.find(a1 + ",alpinebk\r\n"), std::string::npos) << found.out;
    EXPECT_NE(found.out.find(a2 + ",amberwood\r\n"), std::string::npos);
    EXPECT_EQ(found.out.find(std::to_string(b->Port())), std::string::npos);
    EXPECT_NE(found.err.find("operator@127.0.0.1:" + std::to_string(b->Port())), std::string::npos)
        << found.err;
}

} // namespace
