// The real program: started offscreen in a program folder of its own (a copy of the binary), with its
// own temporary folder for the single-instance lock. It reports its state on standard output when
// PARLOMAR_REPORT is set.

#include "StandinProcess.h"
#include "server/PasswordCipher.h"
#include "settings/IniFile.h"
#include "settings/Paths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The client started from a program folder, its standard output read line by line; commands go to
// its standard input.
class Client {
public:
    Client(const fs::path& folder, const fs::path& tempFolder) {
        int out[2];
        int in[2];
        if (pipe(out) != 0 || pipe(in) != 0)
            throw std::runtime_error("pipe");
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], STDOUT_FILENO);
            dup2(in[0], STDIN_FILENO);
            close(out[0]);
            close(out[1]);
            close(in[0]);
            close(in[1]);
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
            setenv("PARLOMAR_REPORT", "1", 1);
            setenv("TMPDIR", tempFolder.c_str(), 1);
            const std::string program = (folder / "ParlomarClient").string();
            execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(out[1]);
        close(in[0]);
        fd_ = out[0];
        commands_ = in[1];
    }
    ~Client() {
        Stop(SIGTERM);
        close(fd_);
        close(commands_);
    }
    void Send(const std::string& command) {
        const std::string line = command + "\n";
        if (write(commands_, line.data(), line.size()) != static_cast<ssize_t>(line.size()))
            throw std::runtime_error("write");
    }
    // Every line read so far.
    const std::vector<std::string>& Lines() const { return lines_; }
    // Reads output until a line equal to marker arrives; false when the time is up or output ends.
    bool WaitFor(const std::string& marker, std::chrono::seconds limit = std::chrono::seconds(30)) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < end) {
            for (size_t at; (at = buffer_.find('\n')) != std::string::npos;) {
                const std::string line = buffer_.substr(0, at);
                buffer_.erase(0, at + 1);
                lines_.push_back(line);
                if (line == marker)
                    return true;
            }
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 200) > 0) {
                char chunk[512];
                const ssize_t n = read(fd_, chunk, sizeof chunk);
                if (n <= 0)
                    return false;
                buffer_.append(chunk, static_cast<size_t>(n));
            }
        }
        return false;
    }
    // Waits for the process to end by itself; its exit status, or -1 when it did not end in time.
    int WaitExit(std::chrono::seconds limit = std::chrono::seconds(20)) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < end) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            usleep(20000);
        }
        return -1;
    }
    bool Running() const { return pid_ > 0 && kill(pid_, 0) == 0; }
    void Stop(int signal) {
        if (pid_ <= 0)
            return;
        kill(pid_, signal);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    int fd_ = -1;
    int commands_ = -1;
    std::string buffer_;
    std::vector<std::string> lines_;
};

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

std::string Fingerprint(const fs::path& cert) {
    const std::string command = "openssl x509 -noout -fingerprint -sha256 -in '" + cert.string() + "'";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    char line[512] = {};
    if (!pipe || !fgets(line, sizeof line, pipe.get()))
        return {};
    std::string text(line);
    text = text.substr(text.find('=') + 1);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

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
    const std::string fingerprint = Fingerprint(server.CertFile());
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

    Client second(program.dir.Path(), program.Temp());
    EXPECT_TRUE(second.WaitFor("already running"));
    EXPECT_EQ(second.WaitExit(), 0);
    EXPECT_TRUE(first.Running()); // the first is untouched

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
                    Fingerprint(server->CertFile()));
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

    // The second server saw its own sign-in and nothing else, the sign-out at exit last (a request
    // without credentials is only the authentication challenge of the one after it).
    const auto seen = RequestLog(secondLog);
    std::vector<std::string> paths;
    for (const auto& row : seen) {
        ASSERT_EQ(row.size(), 4u);
        if (row[3] == standin_test::kUser)
            paths.push_back(row[1]);
    }
    EXPECT_EQ(paths,
              (std::vector<std::string>{"/xml-api/version", "/xml-api/listpkgs", "/xml-api/listaccts", "/"}));
    // Everything the first server saw came before the switch, its sign-out request included.
    const auto before = RequestLog(firstLog);
    ASSERT_FALSE(before.empty() || seen.empty());
    EXPECT_EQ(before.back()[1], "/");
    EXPECT_LE(before.back()[0], seen.front()[0]);
}
