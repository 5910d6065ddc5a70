#include "Validation.h"

#include <arpa/inet.h>

namespace parlomar::standin {

namespace {

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

std::string ToLower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

bool IsValidDomain(std::string_view domain) {
    if (domain.empty() || domain.size() > 253) {
        return false;
    }
    size_t labels = 0;
    size_t start = 0;
    while (true) {
        size_t dot = domain.find('.', start);
        std::string_view label = domain.substr(start, dot == std::string_view::npos ? dot : dot - start);
        if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-') {
            return false;
        }
        bool last = dot == std::string_view::npos;
        // A last label is letters only, or an internationalised "xn--" label.
        const bool international = last && label.size() > 4 && (label[0] == 'x' || label[0] == 'X') &&
                                   (label[1] == 'n' || label[1] == 'N') && label.substr(2, 2) == "--";
        for (char c : label) {
            bool ok =
                last && !international ? IsAsciiLetter(c) : (IsAsciiLetter(c) || IsAsciiDigit(c) || c == '-');
            if (!ok) {
                return false;
            }
        }
        ++labels;
        if (last) {
            return labels >= 2 && label.size() >= 2;
        }
        start = dot + 1;
    }
}

bool IsValidUserName(std::string_view user) {
    if (user.empty() || user.size() > 16 || !(user[0] >= 'a' && user[0] <= 'z')) {
        return false;
    }
    for (char c : user) {
        if (!((c >= 'a' && c <= 'z') || IsAsciiDigit(c))) {
            return false;
        }
    }
    return true;
}

bool IsIPv4Address(std::string_view text) {
    if (text.size() > 15) {
        return false;
    }
    // inet_pton accepts exactly the dotted-quad form with decimal fields of 0 to 255.
    std::string copy(text);
    in_addr address{};
    return inet_pton(AF_INET, copy.c_str(), &address) == 1;
}

bool IsValidEmail(std::string_view email) {
    size_t at = email.find('@');
    if (at == std::string_view::npos || at == 0 || email.size() > 254 || at > 64) {
        return false;
    }
    for (char c : email.substr(0, at)) {
        if (c <= ' ' || c >= 127 || c == '@' || c == '<' || c == '>' || c == '"') {
            return false;
        }
    }
    return IsValidDomain(email.substr(at + 1));
}

bool IsValidPackageName(std::string_view name) {
    if (name.empty() || name.size() > 64 || name.front() == ' ' || name.back() == ' ') {
        return false;
    }
    for (char c : name) {
        auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f || c == '/') {
            return false;
        }
    }
    return true;
}

std::optional<std::string> NormalizeLimit(std::string_view value) {
    if (ToLower(value) == "unlimited") {
        return std::string("unlimited");
    }
    if (value.empty() || value.size() > 12) {
        return std::nullopt;
    }
    for (char c : value) {
        if (!IsAsciiDigit(c)) {
            return std::nullopt;
        }
    }
    size_t first = value.find_first_not_of('0');
    return first == std::string_view::npos ? std::string("0") : std::string(value.substr(first));
}

std::optional<bool> ParseFlag(std::string_view value) {
    std::string lower = ToLower(value);
    if (lower == "1" || lower == "y" || lower == "yes") {
        return true;
    }
    if (lower == "0" || lower == "n" || lower == "no") {
        return false;
    }
    return std::nullopt;
}

} // namespace parlomar::standin
