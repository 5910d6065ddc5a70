#include "core/ScriptCommand.h"

namespace parlomar {

namespace {

std::string_view Trimmed(std::string_view text) {
    constexpr std::string_view blanks = " \t\r\n\v\f";
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// The text before the first blank, and the rest after it.
std::pair<std::string_view, std::string_view> SplitWord(std::string_view text) {
    const std::size_t blank = text.find(' ');
    if (blank == std::string_view::npos)
        return {text, {}};
    return {text.substr(0, blank), text.substr(blank + 1)};
}

} // namespace

TScriptCommand ParseScriptCommand(std::string_view line) {
    TScriptCommand result;
    const auto [command, rest] = SplitWord(line);
    result.command = command;
    result.rest = rest;
    if (result.command == "sign-in") {
        auto [host, afterHost] = SplitWord(rest);
        auto [port, afterPort] = SplitWord(afterHost);
        auto [user, password] = SplitWord(afterPort);
        result.host = host;
        result.port = port;
        result.user = user;
        result.password = password;
    }
    return result;
}

void TScriptLines::Append(std::string_view bytes) {
    while (!bytes.empty()) {
        const std::size_t end = bytes.find('\n');
        const bool ends = end != std::string_view::npos;
        const std::string_view piece = bytes.substr(0, end);
        if (skipping_) {
            skipping_ = !ends;
        } else if (partial_.size() + piece.size() > kMaxLine) {
            partial_.clear();
            skipping_ = !ends;
        } else {
            partial_.append(piece);
            if (ends) {
                lines_.emplace_back(Trimmed(partial_));
                partial_.clear();
            }
        }
        bytes = ends ? bytes.substr(end + 1) : std::string_view();
    }
}

std::optional<std::string> TScriptLines::Next() {
    if (lines_.empty())
        return std::nullopt;
    std::string line = std::move(lines_.front());
    lines_.pop_front();
    return line;
}

} // namespace parlomar
