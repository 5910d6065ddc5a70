#include "core/tools/TraceRewriter.h"

#include <charconv>
#include <cmath>
#include <vector>

namespace parlomar {

namespace {

constexpr int kMaxHop = 255;
constexpr long kMaxShownMs = 999999; // "999999 ms" still fits a 9-character field
constexpr size_t kProbesShown = 3;

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::vector<std::string_view> Tokens(std::string_view line) {
    std::vector<std::string_view> tokens;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && IsBlank(line[i])) {
            ++i;
        }
        const size_t start = i;
        while (i < line.size() && !IsBlank(line[i])) {
            ++i;
        }
        if (i > start) {
            tokens.push_back(line.substr(start, i - start));
        }
    }
    return tokens;
}

// A probe time such as "0.412" or "11,02" (a locale may print a decimal comma).
std::optional<double> ParseTime(std::string_view token) {
    if (token.empty() || token.size() > 32 || !IsDigit(token.front())) {
        return std::nullopt;
    }
    std::string text(token);
    for (char& c : text) {
        if (c == ',') {
            c = '.';
        } else if (!IsDigit(c) && c != '.') {
            return std::nullopt;
        }
    }
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::string RightAligned(std::string text, size_t width) {
    if (text.size() < width) {
        text.insert(0, width - text.size(), ' ');
    }
    return text;
}

std::string TimeField(std::optional<double> ms) {
    if (!ms) {
        return RightAligned("*", 9);
    }
    if (*ms < 1.0) {
        return RightAligned("<1 ms", 9);
    }
    const long rounded = *ms >= static_cast<double>(kMaxShownMs) ? kMaxShownMs : std::lround(*ms);
    return RightAligned(std::to_string(rounded) + " ms", 9);
}

} // namespace

std::optional<std::string> RewriteTraceLine(std::string_view line) {
    const std::vector<std::string_view> tokens = Tokens(line);
    if (tokens.empty() || !IsDigit(tokens.front().front())) {
        return std::string(line);
    }
    int hop = 0;
    {
        const std::string_view first = tokens.front();
        const auto [end, ec] = std::from_chars(first.data(), first.data() + first.size(), hop);
        if (ec != std::errc() || end != first.data() + first.size() || hop < 0 || hop > kMaxHop) {
            return std::nullopt;
        }
    }

    // Each probe: a time in ms, or nullopt for "*".
    std::vector<std::optional<double>> probes;
    std::string host;
    std::vector<std::string_view> notes;
    bool anyHost = false;
    for (size_t i = 1; i < tokens.size(); ++i) {
        const std::string_view t = tokens[i];
        if (t == "*") {
            probes.emplace_back(std::nullopt);
            continue;
        }
        if (i + 1 < tokens.size() && tokens[i + 1] == "ms") {
            if (const auto ms = ParseTime(t)) {
                probes.emplace_back(*ms);
                ++i;
                continue;
            }
            return std::nullopt;
        }
        if (t.front() == '!') {
            bool seen = false;
            for (std::string_view n : notes) {
                seen = seen || n == t;
            }
            if (!seen) {
                notes.push_back(t);
            }
            continue;
        }
        if (t.front() == '(' || t.front() == '[' || t.front() == '<') {
            // An address already taken with its name, an AS number or a TCP flag note.
            continue;
        }
        // A host: "name (address)" or, with numeric output, the address alone.
        std::string_view name = t;
        std::string_view address;
        if (i + 1 < tokens.size() && tokens[i + 1].size() > 2 && tokens[i + 1].front() == '(' &&
            tokens[i + 1].back() == ')') {
            address = tokens[i + 1].substr(1, tokens[i + 1].size() - 2);
            ++i;
        }
        if (!anyHost) {
            anyHost = true;
            host = address.empty() || address == name ? std::string(address.empty() ? name : address)
                                                      : std::string(name) + " [" + std::string(address) + "]";
        }
    }
    if (probes.empty()) {
        return std::nullopt;
    }

    std::string out = RightAligned(std::to_string(hop), 3);
    for (size_t p = 0; p < kProbesShown; ++p) {
        out += p < probes.size() ? TimeField(probes[p]) : std::string(9, ' ');
    }
    out += "  ";
    out += anyHost ? host : std::string("Request timed out.");
    for (std::string_view n : notes) {
        out += ' ';
        out += n;
    }
    return out;
}

void TraceOutputRewriter::AppendLine(std::string& out, std::string_view line) {
    if (const auto rewritten = RewriteTraceLine(line)) {
        out += *rewritten;
        out += '\n';
    }
}

std::string TraceOutputRewriter::Feed(std::string_view chunk) {
    std::string out;
    if (afterCR_ && !chunk.empty() && chunk.front() == '\n') {
        chunk.remove_prefix(1); // the LF of a CR LF cut between two pieces
    }
    afterCR_ = false;
    while (!chunk.empty()) {
        const size_t end = chunk.find_first_of("\r\n");
        if (end == std::string_view::npos) {
            const size_t room = kMaxPendingLine - pending_.size();
            if (chunk.size() <= room) {
                pending_.append(chunk);
                break;
            }
            pending_.append(chunk.substr(0, room));
            chunk.remove_prefix(room);
            AppendLine(out, pending_);
            pending_.clear();
            continue;
        }
        if (pending_.empty()) {
            AppendLine(out, chunk.substr(0, end));
        } else {
            pending_.append(chunk.substr(0, end));
            AppendLine(out, pending_);
            pending_.clear();
        }
        const bool cr = chunk[end] == '\r';
        chunk.remove_prefix(end + 1);
        if (cr) {
            if (chunk.empty()) {
                afterCR_ = true;
            } else if (chunk.front() == '\n') {
                chunk.remove_prefix(1);
            }
        }
    }
    return out;
}

std::string TraceOutputRewriter::Finish() {
    std::string out;
    afterCR_ = false;
    if (!pending_.empty()) {
        AppendLine(out, pending_);
        pending_.clear();
    }
    return out;
}

} // namespace parlomar
