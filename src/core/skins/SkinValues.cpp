#include "core/skins/SkinValues.h"

#include "core/Text.h"

#include <array>
#include <cstdio>
#include <utility>

namespace parlomar {

namespace {

struct NamedColor {
    std::string_view name;
    TColor value;
};

constexpr std::array<NamedColor, 52> kColors{{
    {"clBlack", 0x000000},
    {"clMaroon", 0x000080},
    {"clGreen", 0x008000},
    {"clOlive", 0x008080},
    {"clNavy", 0x800000},
    {"clPurple", 0x800080},
    {"clTeal", 0x808000},
    {"clGray", 0x808080},
    {"clSilver", 0xC0C0C0},
    {"clRed", 0x0000FF},
    {"clLime", 0x00FF00},
    {"clYellow", 0x00FFFF},
    {"clBlue", 0xFF0000},
    {"clFuchsia", 0xFF00FF},
    {"clAqua", 0xFFFF00},
    {"clWhite", 0xFFFFFF},
    {"clMoneyGreen", 0xC0DCC0},
    {"clSkyBlue", 0xF0CAA6},
    {"clCream", 0xF0FBFF},
    {"clMedGray", 0xA4A0A0},
    {"clScrollBar", kSystemColor + 0},
    {"clBackground", kSystemColor + 1},
    {"clActiveCaption", kSystemColor + 2},
    {"clInactiveCaption", kSystemColor + 3},
    {"clMenu", kSystemColor + 4},
    {"clWindow", kSystemColor + 5},
    {"clWindowFrame", kSystemColor + 6},
    {"clMenuText", kSystemColor + 7},
    {"clWindowText", kSystemColor + 8},
    {"clCaptionText", kSystemColor + 9},
    {"clActiveBorder", kSystemColor + 10},
    {"clInactiveBorder", kSystemColor + 11},
    {"clAppWorkSpace", kSystemColor + 12},
    {"clHighlight", kSystemColor + 13},
    {"clHighlightText", kSystemColor + 14},
    {"clBtnFace", kSystemColor + 15},
    {"clBtnShadow", kSystemColor + 16},
    {"clGrayText", kSystemColor + 17},
    {"clBtnText", kSystemColor + 18},
    {"clInactiveCaptionText", kSystemColor + 19},
    {"clBtnHighlight", kSystemColor + 20},
    {"cl3DDkShadow", kSystemColor + 21},
    {"cl3DLight", kSystemColor + 22},
    {"clInfoText", kSystemColor + 23},
    {"clInfoBk", kSystemColor + 24},
    {"clHotLight", kSystemColor + 26},
    {"clGradientActiveCaption", kSystemColor + 27},
    {"clGradientInactiveCaption", kSystemColor + 28},
    {"clMenuHighlight", kSystemColor + 29},
    {"clMenuBar", kSystemColor + 30},
    {"clNone", clNone},
    {"clDefault", clDefault},
}};

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    c = LowerAscii(c);
    return (c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
}

} // namespace

std::optional<std::int32_t> SkinInteger(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    bool hex = false;
    if (i < text.size() && text[i] == '$') {
        hex = true;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' && LowerAscii(text[i + 1]) == 'x') {
        hex = true;
        i += 2;
    }
    if (i >= text.size()) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (; i < text.size(); ++i) {
        const int digit = hex ? HexDigit(text[i]) : (text[i] >= '0' && text[i] <= '9' ? text[i] - '0' : -1);
        if (digit < 0) {
            return std::nullopt;
        }
        value = value * (hex ? 16 : 10) + static_cast<std::uint64_t>(digit);
        if (value > 0xFFFFFFFFull) {
            return std::nullopt;
        }
    }
    if (!hex && value > (negative ? 0x80000000ull : 0x7FFFFFFFull)) {
        return std::nullopt;
    }
    const auto bits = static_cast<std::uint32_t>(negative ? (0 - value) : value);
    return static_cast<std::int32_t>(bits);
}

std::optional<TColor> ColorFromText(std::string_view text) {
    for (const NamedColor& color : kColors) {
        if (EqualIgnoringAsciiCase(text, color.name)) {
            return color.value;
        }
    }
    if (const auto number = SkinInteger(text)) {
        return static_cast<TColor>(*number);
    }
    return std::nullopt;
}

std::string ColorToText(TColor color) {
    for (const NamedColor& named : kColors) {
        if (named.value == color) {
            return std::string(named.name);
        }
    }
    char text[16];
    std::snprintf(text, sizeof text, "$%08X", color);
    return text;
}

std::optional<bool> SkinFlag(std::string_view text) {
    if (EqualIgnoringAsciiCase(text, "true")) {
        return true;
    }
    if (EqualIgnoringAsciiCase(text, "false")) {
        return false;
    }
    if (const auto number = SkinInteger(text)) {
        return *number != 0;
    }
    return std::nullopt;
}

TFontStyle FontStyleFromText(std::string_view text) {
    auto has = [text](std::string_view name) { return text.find(name) != std::string_view::npos; };
    return {has("fsBold"), has("fsItalic"), has("fsUnderline"), has("fsStrikeOut")};
}

std::string FontStyleToText(const TFontStyle& style) {
    std::string text;
    for (const auto& [set, name] :
         {std::pair{style.bold, "fsBold"}, std::pair{style.underline, "fsUnderline"},
          std::pair{style.strikeOut, "fsStrikeOut"}, std::pair{style.italic, "fsItalic"}}) {
        if (set) {
            text += text.empty() ? "" : ",";
            text += name;
        }
    }
    return text;
}

} // namespace parlomar
