#pragma once
// Small text rules shared across the core: ASCII letter case (the server's names, settings keys and
// file names are ASCII; other bytes are left as they are) and trimming.

#include <string>
#include <string_view>

namespace parlomar {

constexpr char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string LowerAscii(std::string_view text);
bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b);
bool LessIgnoringAsciiCase(std::string_view a, std::string_view b);

inline constexpr std::string_view kBlanks = " \t";
inline constexpr std::string_view kWhitespace = " \t\r\n\v\f";

// The text without the leading and trailing characters for which isBlank holds.
template <class IsBlank>
constexpr std::string_view TrimmedBy(std::string_view text, IsBlank isBlank) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// The text without leading and trailing blanks (by default spaces and tabs).
constexpr std::string_view Trimmed(std::string_view text, std::string_view blanks = kBlanks) {
    return TrimmedBy(text, [blanks](char c) { return blanks.find(c) != std::string_view::npos; });
}

} // namespace parlomar
