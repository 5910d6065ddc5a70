#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

namespace parlomar {

// The commands of a scripted run, one a line on standard input ("sign-in HOST PORT USER PASSWORD",
// "list-accounts", "search TEXT", "tab packages" ...). The words are separated by single blanks:
// the command is the text before the first one, its argument text the rest; for sign-in the host,
// port and user are the next three words and the password everything after them.
struct TScriptCommand {
    std::string command;
    std::string rest;
    std::string host, port, user, password; // sign-in only
};
TScriptCommand ParseScriptCommand(std::string_view line);

// The input collected into lines: blanks around a line dropped, a line of more than kMaxLine bytes
// dropped whole (so that input without line ends never takes more than that).
class TScriptLines {
public:
    static constexpr std::size_t kMaxLine = 64 * 1024;
    void Append(std::string_view bytes);
    // The next whole line, or nothing until one has arrived.
    std::optional<std::string> Next();

private:
    std::deque<std::string> lines_; // whole lines not taken yet
    std::string partial_;           // the line still arriving
    bool skipping_ = false;         // within a line that is too long, until its end
};

} // namespace parlomar
