#include "StandinProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <thread>

namespace standin_test {

namespace {

pid_t Spawn(const std::vector<std::string>& args, int stdoutFd) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(PARLOMAR_STANDIN_BIN));
    for (const auto& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM); // never outlive a crashed test binary
        if (stdoutFd >= 0) {
            dup2(stdoutFd, STDOUT_FILENO);
        } else {
            int null = open("/dev/null", O_WRONLY);
            dup2(null, STDOUT_FILENO);
            dup2(null, STDERR_FILENO);
        }
        execv(PARLOMAR_STANDIN_BIN, argv.data());
        _exit(127);
    }
    return pid;
}

// waitpid with a time limit; returns the exit status, or -2 when the time ran out.
int WaitFor(pid_t pid, int timeoutMs) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        int status = 0;
        pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (std::chrono::steady_clock::now() > end) {
            return -2;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

size_t AppendTo(char* data, size_t size, size_t count, void* target) {
    static_cast<std::string*>(target)->append(data, size * count);
    return size * count;
}

} // namespace

StandinProcess::StandinProcess(const std::filesystem::path& dataDir, std::vector<std::string> extraArgs)
    : dataDir_(dataDir) {
    std::vector<std::string> args = {"--listen", "127.0.0.1:0", "--data",     dataDir.string(),
                                     "--user",   kUser,         "--password", kPassword};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    int fds[2];
    if (pipe(fds) != 0) {
        throw std::runtime_error("pipe failed");
    }
    pid_ = Spawn(args, fds[1]);
    close(fds[1]);
    std::string line;
    pollfd pfd{fds[0], POLLIN, 0};
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < end) {
        if (poll(&pfd, 1, 100) > 0) {
            char buffer[256];
            ssize_t n = read(fds[0], buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            line.append(buffer, static_cast<size_t>(n));
        }
    }
    close(fds[0]);
    const std::string prefix = "listening on 127.0.0.1:";
    if (line.rfind(prefix, 0) != 0) {
        Stop(2000);
        throw std::runtime_error("the server did not start: \"" + line + "\"");
    }
    port_ = std::atoi(line.c_str() + prefix.size());
}

StandinProcess::~StandinProcess() {
    Stop();
}

int StandinProcess::Stop(int timeoutMs) {
    if (pid_ <= 0) {
        return -1;
    }
    kill(pid_, SIGTERM);
    int status = WaitFor(pid_, timeoutMs);
    if (status == -2) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        status = -1;
    }
    pid_ = -1;
    return status;
}

std::string StandinProcess::Url(const std::string& path, bool https) const {
    return (https ? "https://127.0.0.1:" : "http://127.0.0.1:") + std::to_string(port_) + path;
}

int RunToEnd(const std::vector<std::string>& args) {
    pid_t pid = Spawn(args, -1);
    return WaitFor(pid, 30000);
}

Reply Get(const std::string& url, const RequestOptions& options) {
    CURL* curl = options.reuse ? options.reuse : curl_easy_init();
    Reply reply;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, AppendTo);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply.body);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, AppendTo);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &reply.headers);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, options.timeoutMs);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    if (options.credentials) {
        curl_easy_setopt(curl, CURLOPT_HTTPAUTH, CURLAUTH_BASIC);
        curl_easy_setopt(curl, CURLOPT_USERNAME, options.user.c_str());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, options.password.c_str());
    }
    if (options.caFile.empty()) {
        curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 0L);
        curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 0L);
    } else {
        curl_easy_setopt(curl, CURLOPT_CAINFO, options.caFile.c_str());
    }
    curl_easy_setopt(curl, CURLOPT_HTTP_VERSION,
                     options.http10 ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1);
    auto start = std::chrono::steady_clock::now();
    reply.code = curl_easy_perform(curl);
    reply.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply.status);
    curl_easy_getinfo(curl, CURLINFO_NUM_CONNECTS, &reply.connects);
    if (!options.reuse) {
        curl_easy_cleanup(curl);
    }
    return reply;
}

std::string Encode(const std::string& value) {
    char* escaped = curl_easy_escape(nullptr, value.c_str(), static_cast<int>(value.size()));
    std::string out = escaped ? escaped : "";
    curl_free(escaped);
    return out;
}

size_t Count(const std::string& text, const std::string& needle) {
    size_t count = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + needle.size())) {
        ++count;
    }
    return count;
}

std::string Tag(const std::string& xml, const std::string& tag) {
    size_t start = xml.find("<" + tag + ">");
    if (start == std::string::npos) {
        return {};
    }
    start += tag.size() + 2;
    size_t end = xml.find("</" + tag + ">", start);
    return end == std::string::npos ? std::string() : xml.substr(start, end - start);
}

} // namespace standin_test
