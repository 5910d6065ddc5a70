#include "core/server/PasswordCipher.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

using namespace parlomar;

namespace {

struct Vector {
    std::string plain;
    std::string enciphered;
};

std::string FromHex(const std::string& hex) {
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    return out;
}

// tests/data/cipher/vectors.txt, made by make-vectors.py beside it with an independent Blowfish.
std::vector<Vector> LoadVectors() {
    std::ifstream in(std::string(PARLOMAR_TEST_DATA_DIR) + "/cipher/vectors.txt");
    std::vector<Vector> vectors;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string plain;
        std::string enciphered;
        fields >> plain >> enciphered;
        if (plain.rfind("plain=", 0) != 0 || enciphered.rfind("enciphered=", 0) != 0) {
            continue;
        }
        vectors.push_back({FromHex(plain.substr(6)), enciphered.substr(11)});
    }
    return vectors;
}

} // namespace

TEST(PasswordCipher, MatchesIndependentlyMadeVectors) {
    const std::vector<Vector> vectors = LoadVectors();
    ASSERT_GE(vectors.size(), 10u);
    for (const Vector& v : vectors) {
        SCOPED_TRACE("enciphered " + v.enciphered);
        EXPECT_EQ(EncipherPassword(v.plain), v.enciphered);
        EXPECT_EQ(DecipherPassword(v.enciphered), v.plain);
    }
}

TEST(PasswordCipher, FormOfTheTextAndRoundTrips) {
    EXPECT_EQ(EncipherPassword(""), "");
    EXPECT_EQ(DecipherPassword(""), "");
    const std::string one = EncipherPassword("x");
    const std::string two = EncipherPassword("xy");
    const std::string three = EncipherPassword("xyz");
    EXPECT_EQ(one.size(), 4u);
    EXPECT_EQ(one.substr(2), "==");
    EXPECT_EQ(two.size(), 4u);
    EXPECT_EQ(two[3], '=');
    EXPECT_NE(two[2], '=');
    EXPECT_EQ(three.size(), 4u);
    EXPECT_EQ(three.find('='), std::string::npos);

    // Same input, same text; any bytes survive the round trip; lengths follow 4 * ceil(n / 3).
    std::mt19937 rng(7);
    for (size_t n = 0; n < 200; ++n) {
        std::string plain(n, '\0');
        for (char& c : plain) {
            c = static_cast<char>(rng() & 0xFF);
        }
        const std::string text = EncipherPassword(plain);
        ASSERT_EQ(text.size(), 4 * ((n + 2) / 3));
        ASSERT_EQ(EncipherPassword(plain), text);
        ASSERT_EQ(DecipherPassword(text), plain);
    }

    // 8-bit feedback: a shared beginning gives shared cipher bytes, and nothing after it.
    const std::string ta = EncipherPassword("common-prefix-A1");
    const std::string tb = EncipherPassword("common-prefix-B1");
    EXPECT_EQ(ta.substr(0, 16), tb.substr(0, 16)); // 16 characters hold the first 12 of 14 equal bytes
    EXPECT_NE(ta, tb);
}

TEST(PasswordCipher, DamagedTextGivesBytesWithoutFailing) {
    const std::string abc = EncipherPassword("abc");
    // Decoding stops at the first character that cannot continue the text.
    EXPECT_EQ(DecipherPassword(abc + "!!!"), "abc");
    EXPECT_EQ(DecipherPassword(abc.substr(0, 2) + "#" + abc.substr(2)), "a");
    EXPECT_EQ(DecipherPassword("!" + abc), "");
    // Unfinished groups give the whole bytes they hold; blanks and line breaks are skipped.
    EXPECT_EQ(DecipherPassword(abc.substr(0, 3)), "ab");
    EXPECT_EQ(DecipherPassword(abc.substr(0, 2) + " \r\n" + abc.substr(2)), "abc");
    // Filling in the middle ends the text.
    EXPECT_EQ(DecipherPassword(EncipherPassword("a") + abc).size(), 1u);
    EXPECT_EQ(DecipherPassword("===="), "");

    std::mt19937 rng(99);
    for (int round = 0; round < 2000; ++round) {
        std::string text(rng() % 64, '\0');
        for (char& c : text) {
            c = static_cast<char>(rng() & 0xFF);
        }
        EXPECT_LE(DecipherPassword(text).size(), text.size());
    }
}
