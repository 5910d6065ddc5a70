#include "core/tools/TraceCommand.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace parlomar {

namespace {

constexpr size_t kReadChunk = 4096;
constexpr size_t kMaxReadPerCall = 64 * 1024;

bool IsExecutableFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

void WaitForExit(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

} // namespace

TraceCommand::~TraceCommand() {
    Terminate();
    CloseReadEnd();
}

namespace {

std::mutex gFoldersMutex;
std::vector<std::string> gSystemFolders; // empty: the system's own

} // namespace

void TraceCommand::SetSystemFolders(std::vector<std::string> folders) {
    const std::lock_guard<std::mutex> lock(gFoldersMutex);
    gSystemFolders = std::move(folders);
}

std::string TraceCommand::FindTraceroute() {
    // The system's folders come first, so that a "traceroute" in a folder that happens to be on
    // PATH (one of the user's own, one that others may write) is not run in its place.
    std::vector<std::string> folders;
    {
        const std::lock_guard<std::mutex> lock(gFoldersMutex);
        folders = gSystemFolders;
    }
    if (folders.empty()) {
        folders = {"/usr/sbin", "/usr/bin", "/sbin", "/bin"};
    }
    for (const std::string& folder : folders) {
        std::string candidate = folder + "/traceroute";
        if (IsExecutableFile(candidate)) {
            return candidate;
        }
    }
    if (const char* path = std::getenv("PATH")) {
        std::string_view rest = path;
        while (true) {
            const size_t colon = rest.find(':');
            const std::string_view dir = rest.substr(0, colon);
            // An empty entry means the current folder; it is not searched for this program.
            if (!dir.empty() && dir.front() == '/') {
                std::string candidate = std::string(dir) + "/traceroute";
                if (IsExecutableFile(candidate)) {
                    return candidate;
                }
            }
            if (colon == std::string_view::npos) {
                break;
            }
            rest.remove_prefix(colon + 1);
        }
    }
    return {};
}

bool TraceCommand::IsAcceptableHost(std::string_view host) {
    if (host.empty() || host.front() == '-') {
        return false;
    }
    if (host.size() > kMaxHostLength + (host.back() == '.' ? 1 : 0)) {
        return false;
    }
    for (char c : host) {
        if (static_cast<unsigned char>(c) <= ' ' || c == 0x7f) {
            return false;
        }
    }
    return true;
}

std::vector<std::string> TraceCommand::TraceArguments(const std::string& host) {
    return {"-m", std::to_string(kMaxHops), "-q", "3", "-w", std::to_string(kProbeWaitSeconds), "--", host};
}

bool TraceCommand::Start(const std::string& host) {
    if (!IsAcceptableHost(host)) {
        return false;
    }
    const std::string program = FindTraceroute();
    if (program.empty()) {
        return false;
    }
    return StartProgram(program, TraceArguments(host));
}

bool TraceCommand::StartProgram(const std::string& program, const std::vector<std::string>& args) {
    if (pid_ > 0) {
        return false;
    }
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        return false;
    }
    // Only our end is non-blocking: the command writes its output with ordinary blocking writes.
    fcntl(fds[0], F_SETFL, fcntl(fds[0], F_GETFL) | O_NONBLOCK);

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attr);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    // The child starts with no blocked signals and default handling of the usual ones, whatever
    // the calling thread had set up.
    sigset_t none;
    sigset_t defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (int sig : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGCHLD, SIGALRM}) {
        sigaddset(&defaults, sig);
    }
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setpgroup(&attr, 0); // a group of its own, led by the command
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);

    pid_t pid = -1;
    const int rc = posix_spawn(&pid, program.c_str(), &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    close(fds[1]);
    if (rc != 0) {
        close(fds[0]);
        return false;
    }
    readFd_ = fds[0];
    std::lock_guard lock(mutex_);
    pid_ = pid;
    reaped_ = false;
    return true;
}

std::string TraceCommand::ReadTraceOutput() {
    if (readFd_ < 0) {
        return {};
    }
    std::string raw;
    bool ended = false;
    char buffer[kReadChunk];
    while (raw.size() < kMaxReadPerCall) {
        const ssize_t n = read(readFd_, buffer, sizeof buffer);
        if (n > 0) {
            raw.append(buffer, static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        // 0: every writer has closed the pipe. EAGAIN: nothing more waiting. Anything else: the
        // pipe is unusable, which ends the output as well.
        ended = n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
        break;
    }
    std::string out = rewriter_.Feed(raw);
    if (ended) {
        out += rewriter_.Finish();
        CloseReadEnd();
    }
    return out;
}

void TraceCommand::Wait() {
    std::unique_lock lock(mutex_);
    if (reaped_) {
        return;
    }
    if (waiting_) {
        reapedCondition_.wait(lock, [this] { return reaped_; });
        return;
    }
    waiting_ = true;
    const pid_t pid = pid_;
    lock.unlock();
    // Wait for the end without reaping, so that the process id stays ours (and Terminate can still
    // signal it safely) until it is reaped below under the lock.
    siginfo_t info{};
    while (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT) < 0 && errno == EINTR) {
    }
    lock.lock();
    WaitForExit(pid);
    reaped_ = true;
    waiting_ = false;
    reapedCondition_.notify_all();
}

void TraceCommand::Terminate() {
    std::unique_lock lock(mutex_);
    if (reaped_) {
        return;
    }
    // The command is not reaped yet, so its process id, and with it the group id, is still ours.
    kill(-pid_, SIGKILL);
    kill(pid_, SIGKILL);
    if (waiting_) {
        // The waiting thread reaps it; the kill makes that immediate.
        reapedCondition_.wait(lock, [this] { return reaped_; });
        return;
    }
    WaitForExit(pid_);
    reaped_ = true;
    reapedCondition_.notify_all();
}

void TraceCommand::CloseReadEnd() {
    if (readFd_ >= 0) {
        close(readFd_);
        readFd_ = -1;
    }
}

} // namespace parlomar
