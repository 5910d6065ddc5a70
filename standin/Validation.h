#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace parlomar::standin {

// Labels of letters, digits and inner hyphens (1 to 63 characters), at least two labels,
// the last one letters only; at most 253 characters in all.
bool IsValidDomain(std::string_view domain);

// A lower-case letter, then lower-case letters and digits; at most 16 characters.
bool IsValidUserName(std::string_view user);

// Dotted-quad IPv4 address with four fields of 0 to 255.
bool IsIPv4Address(std::string_view text);

// local@domain with a valid domain and a local part of printable characters.
bool IsValidEmail(std::string_view email);

// 1 to 64 printable characters without "/" or control characters.
bool IsValidPackageName(std::string_view name);

// A numeric limit: digits (at most 12) or "unlimited" in any letter case. Gives the stored form
// (leading zeros dropped, "unlimited" in lower case), or nothing for anything else.
std::optional<std::string> NormalizeLimit(std::string_view value);

// A yes/no switch: "1", "y", "yes" or "0", "n", "no" in any letter case.
std::optional<bool> ParseFlag(std::string_view value);

std::string ToLower(std::string_view text);

} // namespace parlomar::standin
