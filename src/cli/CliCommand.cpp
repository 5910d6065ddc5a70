#include "cli/CliCommand.h"

#include "core/Text.h"

#include <cstdio>
#include <fstream>
#include <iostream>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace parlomar::cli {

namespace {

// The controlling terminal, opened for one question.
class Terminal {
public:
    Terminal() : fd_(::open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY)) {}
    ~Terminal() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;
    bool Open() const { return fd_ >= 0; }

    void Write(std::string_view text) const {
        while (!text.empty()) {
            const ssize_t n = ::write(fd_, text.data(), text.size());
            if (n <= 0)
                return;
            text.remove_prefix(static_cast<std::size_t>(n));
        }
    }
    std::optional<std::string> ReadLine(bool echo) const {
        termios saved{};
        const bool terminal = ::tcgetattr(fd_, &saved) == 0;
        if (terminal && !echo) {
            termios quiet = saved;
            quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
            ::tcsetattr(fd_, TCSAFLUSH, &quiet);
        }
        std::string line;
        bool ended = false;
        for (char c = 0;;) {
            const ssize_t n = ::read(fd_, &c, 1);
            if (n <= 0) {
                ended = line.empty();
                break;
            }
            if (c == '\n')
                break;
            if (line.size() < 4096)
                line += c;
        }
        if (terminal && !echo) {
            ::tcsetattr(fd_, TCSAFLUSH, &saved);
            Write("\n");
        }
        if (ended)
            return std::nullopt;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        return line;
    }

private:
    int fd_;
};

} // namespace

bool InputIsTerminal() {
    return ::isatty(STDIN_FILENO) == 1;
}
bool ErrorIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

void Progress(std::string_view text) {
    if (ErrorIsTerminal())
        std::cerr << text << std::endl;
}

void Complain(std::string_view text) {
    std::cerr << "parlomar-cli: " << text << std::endl;
}

bool AskYes(const std::string& question) {
    if (!InputIsTerminal())
        return false;
    Terminal terminal;
    if (!terminal.Open())
        return false;
    terminal.Write(question + " [y/N] ");
    const auto answer = terminal.ReadLine(true);
    if (!answer)
        return false;
    const std::string word = LowerAscii(Trimmed(*answer));
    return word == "y" || word == "yes";
}

std::optional<std::string> ReadSecret(const std::string& prompt) {
    Terminal terminal;
    if (!terminal.Open())
        return std::nullopt;
    terminal.Write(prompt);
    return terminal.ReadLine(false);
}

std::optional<std::string> ReadInputLine() {
    std::string line;
    if (!std::getline(std::cin, line))
        return std::nullopt;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

std::vector<std::string> AccountNames(const std::vector<std::string>& given, const std::string& fromFile) {
    std::vector<std::string> names;
    for (const std::string& name : given)
        if (!Trimmed(name).empty())
            names.emplace_back(Trimmed(name));
    if (!fromFile.empty()) {
        std::ifstream file;
        std::istream* in = &std::cin;
        if (fromFile != "-") {
            file.open(fromFile);
            if (!file)
                throw Failure(kExitUsage, "cannot read " + fromFile);
            in = &file;
        }
        for (std::string line; std::getline(*in, line);) {
            const std::string name(Trimmed(line, " \t\r"));
            if (!name.empty())
                names.push_back(name);
        }
    }
    if (names.empty())
        throw Failure(kExitUsage, "no account named (give them as arguments or with --from)");
    return names;
}

} // namespace parlomar::cli
