#include "ClientProcess.h"

#include <grp.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <stdexcept>

namespace e2e {

namespace {

// In the child: the environment and user of options, then the program. Never returns.
[[noreturn]] void Exec(const std::filesystem::path& program, const StartOptions& options) {
    for (const auto& [name, value] : options.environment) {
        if (value)
            setenv(name.c_str(), value->c_str(), 1);
        else
            unsetenv(name.c_str());
    }
    if (options.user &&
        (setgroups(0, nullptr) != 0 || setgid(*options.user) != 0 || setuid(*options.user) != 0))
        _exit(126);
    std::vector<std::string> words{program.string()};
    words.insert(words.end(), options.args.begin(), options.args.end());
    std::vector<char*> argv;
    for (auto& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
}

int StatusOf(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace

Client::Client(const std::filesystem::path& program, const StartOptions& options) {
    int out[2];
    int in[2];
    if (pipe(out) != 0 || pipe(in) != 0)
        throw std::runtime_error("pipe");
    pid_ = fork();
    if (pid_ == 0) {
        dup2(out[1], STDOUT_FILENO);
        dup2(in[0], STDIN_FILENO);
        for (int fd : {out[0], out[1], in[0], in[1]})
            close(fd);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        setenv("PARLOMAR_REPORT", "1", 1);
        Exec(program, options);
    }
    close(out[1]);
    close(in[0]);
    fd_ = out[0];
    commands_ = in[1];
}

Client::Client(const std::filesystem::path& folder, const std::filesystem::path& tempFolder)
    : Client(folder / "ParlomarClient",
             StartOptions{{}, {{"TMPDIR", tempFolder.string()}, {"XDG_RUNTIME_DIR", std::nullopt}}, {}}) {}

Client::~Client() {
    Stop(SIGTERM);
    close(fd_);
    close(commands_);
}

void Client::Send(const std::string& command) {
    const std::string line = command + "\n";
    if (write(commands_, line.data(), line.size()) != static_cast<ssize_t>(line.size()))
        throw std::runtime_error("write");
}

bool Client::WaitFor(const std::string& marker, std::chrono::seconds limit) {
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

int Client::WaitExit(std::chrono::seconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return StatusOf(status);
        }
        usleep(20000);
    }
    return -1;
}

bool Client::Running() const {
    return pid_ > 0 && kill(pid_, 0) == 0;
}

void Client::Stop(int signal) {
    if (pid_ <= 0)
        return;
    kill(pid_, signal);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

Finished RunToEnd(const std::filesystem::path& program, const StartOptions& options) {
    int out[2], err[2];
    if (pipe(out) != 0 || pipe(err) != 0)
        throw std::runtime_error("pipe");
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        dup2(err[1], STDERR_FILENO);
        for (int fd : {out[0], out[1], err[0], err[1]})
            close(fd);
        Exec(program, options);
    }
    close(out[1]);
    close(err[1]);
    Finished result;
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string* texts[2] = {&result.out, &result.err};
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    int open = 2;
    while (open > 0 && std::chrono::steady_clock::now() < end) {
        if (poll(fds, 2, 200) <= 0)
            continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP)))
                continue;
            char chunk[4096];
            const ssize_t n = read(fds[i].fd, chunk, sizeof chunk);
            if (n > 0) {
                texts[i]->append(chunk, static_cast<size_t>(n));
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    for (const auto& p : fds)
        if (p.fd >= 0)
            close(p.fd);
    if (open > 0)
        kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    result.status = open > 0 ? -1 : StatusOf(status);
    return result;
}

} // namespace e2e
