#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace e2e {

// How a program is started: its arguments, changes to the environment (nothing = unset) and, for a
// test running as root, the user to run it as.
struct StartOptions {
    std::vector<std::string> args;
    std::vector<std::pair<std::string, std::optional<std::string>>> environment;
    std::optional<uid_t> user;
};

// The client started offscreen with PARLOMAR_REPORT set, its standard output read line by line;
// commands go to its standard input.
class Client {
public:
    Client(const std::filesystem::path& program, const StartOptions& options);
    // The client of a program folder, with tempFolder as its temporary folder and no runtime folder.
    Client(const std::filesystem::path& folder, const std::filesystem::path& tempFolder);
    ~Client();
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    void Send(const std::string& command);
    // Every line read so far.
    const std::vector<std::string>& Lines() const { return lines_; }
    // Reads output until a line equal to marker arrives; false when the time is up or output ends.
    bool WaitFor(const std::string& marker, std::chrono::seconds limit = std::chrono::seconds(30));
    // Waits for the process to end by itself; its exit status, or -1 when it did not end in time.
    int WaitExit(std::chrono::seconds limit = std::chrono::seconds(20));
    bool Running() const;
    void Stop(int signal);

private:
    pid_t pid_ = -1;
    int fd_ = -1;
    int commands_ = -1;
    std::string buffer_;
    std::vector<std::string> lines_;
};

struct Finished {
    int status = -1; // exit status, 128 + signal, or -1 when it did not end within 30 s
    std::string out;
    std::string err;
};

// Runs a program to its end, collecting both of its outputs.
Finished RunToEnd(const std::filesystem::path& program, const StartOptions& options);

} // namespace e2e
