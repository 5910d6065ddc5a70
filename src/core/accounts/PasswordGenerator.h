#pragma once

#include <string>
#include <string_view>

namespace parlomar {

// The 73 characters a generated password is made of: "!#$%", the digits, "@", the capital letters,
// the six characters between "Z" and "a" ("[\]^_`") and the small letters.
bool IsPasswordCharacter(char c);

// A new random password of n characters (empty for n <= 0). Codes are drawn uniformly from 0 to
// 254 and kept when they are in the password alphabet, until n characters are drawn. The draws
// come from the operating system's random source, so every call gives an independent password,
// however quickly calls follow each other.
std::string GeneratePassword(int n);

} // namespace parlomar
