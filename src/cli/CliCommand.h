#pragma once

// The small base of parlomar-cli's subcommands: a name, a description, its options and its run, the
// exit statuses, and what every subcommand uses to talk to the person at the terminal.

#include <CLI/CLI.hpp>

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace parlomar::cli {

inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;        // a server or an action failed; the rest was done
inline constexpr int kExitUsage = 2;         // the command line (or its input) cannot be carried out
inline constexpr int kExitUntrusted = 3;     // the server's certificate is not pinned, or changed
inline constexpr int kExitReadOnly = 4;      // a change against a read-only saved server
inline constexpr int kExitSignInRefused = 5; // the server refused the user name or password

// Ends a subcommand with an exit status and a message for standard error.
class Failure : public std::runtime_error {
public:
    Failure(int status, const std::string& message) : std::runtime_error(message), status_(status) {}
    int Status() const { return status_; }

private:
    int status_;
};

class Command {
public:
    Command(std::string name, std::string description)
        : name_(std::move(name)), description_(std::move(description)) {}
    virtual ~Command() = default;
    Command(const Command&) = delete;
    Command& operator=(const Command&) = delete;

    const std::string& Name() const { return name_; }
    const std::string& Description() const { return description_; }
    // Declares the subcommand's options and arguments on its own CLI11 app.
    virtual void AddOptions(CLI::App& app) = 0;
    // Carries the subcommand out; returns the exit status (or throws Failure).
    virtual int Run() = 0;

private:
    std::string name_;
    std::string description_;
};

// Every subcommand, in the order the help lists them.
std::vector<std::unique_ptr<Command>> MakeCommands();

// The terminal, when standard input (and error) belong to one.
bool InputIsTerminal();
bool ErrorIsTerminal();
// A progress line on standard error, only when that is a terminal (output stays clean for pipes).
void Progress(std::string_view text);
// A line on standard error: "parlomar-cli: text".
void Complain(std::string_view text);
// Asks a yes/no question on the terminal; false without one.
bool AskYes(const std::string& question);
// Reads one line from the terminal without echo after a prompt; nothing when there is no terminal.
std::optional<std::string> ReadSecret(const std::string& prompt);
// One line from standard input, without its line end; nothing at its end.
std::optional<std::string> ReadInputLine();

// The account names of a subcommand: those given, then one a line from a file ("-" standard input),
// blank lines and blanks around names left out. Throws Failure (usage) when the file cannot be read
// or no account is named.
std::vector<std::string> AccountNames(const std::vector<std::string>& given, const std::string& fromFile);

} // namespace parlomar::cli
