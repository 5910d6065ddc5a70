#include "core/accounts/PasswordGenerator.h"

#include <random>

namespace parlomar {

bool IsPasswordCharacter(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u == '!' || (u >= '#' && u <= '%') || (u >= '0' && u <= '9') || (u >= '@' && u <= 'Z') ||
           (u >= '[' && u <= '`') || (u >= 'a' && u <= 'z');
}

std::string GeneratePassword(int n) {
    std::string password;
    if (n <= 0) {
        return password;
    }
    password.reserve(static_cast<size_t>(n));
    std::random_device source;
    std::uniform_int_distribution<int> draw(0, 254);
    while (password.size() < static_cast<size_t>(n)) {
        const char c = static_cast<char>(draw(source));
        if (IsPasswordCharacter(c)) {
            password += c;
        }
    }
    return password;
}

} // namespace parlomar
