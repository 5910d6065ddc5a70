#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace parlomar {

// A colour as skin settings hold it: 0x00BBGGRR (red in the lowest byte), a system colour
// kSystemColor + index, or one of the two marks clNone and clDefault.
using TColor = std::uint32_t;
inline constexpr TColor kSystemColor = 0xFF000000;
inline constexpr TColor clNone = 0x1FFFFFFF;
inline constexpr TColor clDefault = 0x20000000;
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clTeal = 0x808000;
inline constexpr TColor clWindow = kSystemColor + 5;
inline constexpr TColor clBtnFace = kSystemColor + 15;

// An integer of a skin setting: optional leading blanks, an optional sign, then decimal digits or
// "$" (or "0x") and hexadecimal digits, and nothing after them. Decimal values must fit 32 signed
// bits; hexadecimal ones 32 bits (so "$FFFFFFFF" is -1). Nothing for any other text.
std::optional<std::int32_t> SkinInteger(std::string_view text);

// A colour text: one of the colour identifiers (clBlack ... clMenuBar, clNone, clDefault; any
// letter case) or an integer as SkinInteger reads it. Nothing for the empty text and for any other
// text.
std::optional<TColor> ColorFromText(std::string_view text);

// The identifier of a colour that has one, else "$" and 8 upper-case hexadecimal digits.
std::string ColorToText(TColor color);

// A flag text: any number (non-zero is true) or the words "True" and "False" in any letter case.
// Nothing for any other text.
std::optional<bool> SkinFlag(std::string_view text);

struct TFontStyle {
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    bool operator==(const TFontStyle&) const = default;
};

// The styles named anywhere in the text ("fsBold", "fsItalic", "fsUnderline", "fsStrikeOut").
TFontStyle FontStyleFromText(std::string_view text);
// The set styles joined by "," in the order fsBold, fsUnderline, fsStrikeOut, fsItalic.
std::string FontStyleToText(const TFontStyle& style);

} // namespace parlomar
