#include "core/accounts/PasswordGenerator.h"

#include <set>

#include <gtest/gtest.h>

namespace parlomar {
namespace {

TEST(PasswordGenerator, AlphabetHasTheSeventyThreeCharacters) {
    const std::string expected = "!#$%0123456789@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`abcdefghijklmnopqrstuvwxyz";
    ASSERT_EQ(expected.size(), 73u);
    std::string actual;
    for (int c = 0; c < 256; ++c) {
        if (IsPasswordCharacter(static_cast<char>(c))) {
            actual += static_cast<char>(c);
        }
    }
    EXPECT_EQ(actual, expected);
}

TEST(PasswordGenerator, LengthAlphabetAndIndependence) {
    EXPECT_EQ(GeneratePassword(0), "");
    EXPECT_EQ(GeneratePassword(-5), "");
    EXPECT_EQ(GeneratePassword(1).size(), 1u);
    EXPECT_EQ(GeneratePassword(12).size(), 12u);

    // Calls in quick succession give different passwords.
    std::set<std::string> seen;
    for (int i = 0; i < 50; ++i) {
        seen.insert(GeneratePassword(12));
    }
    EXPECT_EQ(seen.size(), 50u);

    // Every drawn character is in the alphabet, and every alphabet character gets drawn.
    const std::string many = GeneratePassword(20000);
    ASSERT_EQ(many.size(), 20000u);
    std::set<char> used;
    for (char c : many) {
        EXPECT_TRUE(IsPasswordCharacter(c)) << int(static_cast<unsigned char>(c));
        used.insert(c);
    }
    EXPECT_EQ(used.size(), 73u);
}

} // namespace
} // namespace parlomar
