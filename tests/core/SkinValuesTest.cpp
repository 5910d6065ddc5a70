#include "core/skins/SkinValues.h"

#include <gtest/gtest.h>

using namespace parlomar;

TEST(SkinValues, ColourTextsReadAndWrite) {
    // Identifiers in any letter case, decimal and "$" numbers, system colours.
    EXPECT_EQ(ColorFromText("clRed"), 0x0000FFu);
    EXPECT_EQ(ColorFromText("CLSKYBLUE"), 0xF0CAA6u);
    EXPECT_EQ(ColorFromText("clbtnface"), 0xFF00000Fu);
    EXPECT_EQ(ColorFromText("16711680"), 0xFF0000u);
    EXPECT_EQ(ColorFromText("$00EFECEC"), 0xEFECECu);
    EXPECT_EQ(ColorFromText("-16777201"), 0xFF00000Fu);
    EXPECT_EQ(ColorFromText("$FF000005"), 0xFF000005u);
    for (const char* bad : {"", "red", "#FF0000", "12px", "$", "$1FFFFFFFF", "2147483648", "cl Red"})
        EXPECT_FALSE(ColorFromText(bad).has_value()) << bad;

    // Written back as the identifier when there is one, else as 8 hexadecimal digits.
    EXPECT_EQ(ColorToText(0x0000FF), "clRed");
    EXPECT_EQ(ColorToText(0xFF000000 + 15), "clBtnFace");
    EXPECT_EQ(ColorToText(0x1FFFFFFF), "clNone");
    EXPECT_EQ(ColorToText(0xEFECEC), "$00EFECEC");
    for (TColor colour : {0x000000u, 0xC0DCC0u, 0x123456u, 0xFF00001Eu, 0x20000000u})
        EXPECT_EQ(ColorFromText(ColorToText(colour)), colour);
    // Opacity is written as a colour text: 255 reads back from "clRed", 0 from "clBlack".
    EXPECT_EQ(ColorToText(255), "clRed");
    EXPECT_EQ(ColorToText(0), "clBlack");
}

TEST(SkinValues, IntegersFlagsAndFontStyles) {
    EXPECT_EQ(SkinInteger("7"), 7);
    EXPECT_EQ(SkinInteger("  -12"), -12);
    EXPECT_EQ(SkinInteger("$10"), 16);
    EXPECT_EQ(SkinInteger("0x1f"), 31);
    EXPECT_EQ(SkinInteger("$FFFFFFFF"), -1);
    for (const char* bad : {"", " ", "7 ", "1.5", "ten", "-", "99999999999"})
        EXPECT_FALSE(SkinInteger(bad).has_value()) << bad;

    EXPECT_EQ(SkinFlag("1"), true);
    EXPECT_EQ(SkinFlag("-1"), true);
    EXPECT_EQ(SkinFlag("0"), false);
    EXPECT_EQ(SkinFlag("TRUE"), true);
    EXPECT_EQ(SkinFlag("false"), false);
    EXPECT_FALSE(SkinFlag("yes").has_value());
    EXPECT_FALSE(SkinFlag("").has_value());

    // Styles are found anywhere in the text, with or without separators.
    EXPECT_EQ(FontStyleFromText("fsBoldfsItalic"), (TFontStyle{true, true, false, false}));
    EXPECT_EQ(FontStyleFromText("[fsUnderline, fsStrikeOut]"), (TFontStyle{false, false, true, true}));
    EXPECT_EQ(FontStyleFromText("bold"), TFontStyle{});
    EXPECT_EQ(FontStyleToText({true, true, true, true}), "fsBold,fsUnderline,fsStrikeOut,fsItalic");
    EXPECT_EQ(FontStyleToText({false, true, false, false}), "fsItalic");
    EXPECT_EQ(FontStyleToText({}), "");
}
