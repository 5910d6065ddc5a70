// The real program: started offscreen in a program folder of its own (a copy of the binary), with its
// own temporary folder for the single-instance lock. It reports its state on standard output when
// PARLOMAR_REPORT is set.

#include "StandinProcess.h"
#include "server/PasswordCipher.h"
#include "settings/IniFile.h"
#include "settings/Paths.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// The client started from a program folder, its standard output read line by line.
class Client {
public:
    Client(const fs::path& folder, const fs::path& tempFolder) {
        int out[2];
        if (pipe(out) != 0)
            throw std::runtime_error("pipe");
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], STDOUT_FILENO);
            close(out[0]);
            close(out[1]);
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
            setenv("PARLOMAR_REPORT", "1", 1);
            setenv("TMPDIR", tempFolder.c_str(), 1);
            const std::string program = (folder / "ParlomarClient").string();
            execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(out[1]);
        fd_ = out[0];
    }
    ~Client() {
        Stop(SIGTERM);
        close(fd_);
    }
    // Reads output until a line equal to marker arrives; false when the time is up or output ends.
    bool WaitFor(const std::string& marker, std::chrono::seconds limit = std::chrono::seconds(30)) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < end) {
            for (size_t at; (at = buffer_.find('\n')) != std::string::npos;) {
                const std::string line = buffer_.substr(0, at);
                buffer_.erase(0, at + 1);
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
    std::string buffer_;
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
