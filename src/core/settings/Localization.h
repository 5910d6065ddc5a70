#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <string_view>

namespace parlomar {

// Language globals, loaded once at start and touched on the GUI thread only.
inline constexpr std::string_view kBuiltInAppName = "ParlomarClient "; // with one trailing blank
inline constexpr std::size_t kAppNameWidth = 255;
inline constexpr std::size_t kVersionTextWidth = 10;
inline constexpr std::size_t kBoolNameWidth = 10;
inline constexpr std::size_t kCaptionWidth = 50;

extern std::string AppName;                  // first part of every window title
extern std::string VersionText;              // second part of every window title; " " until computed
extern std::array<std::string, 2> BoolNames; // words shown for false and true

// Puts the three globals back to their built-in values.
void ResetLanguageGlobals();

// Cuts text to at most max characters (UTF-8 sequences count as one character; other bytes as one
// each) without splitting a character.
std::string CutChars(std::string_view text, std::size_t max);

// The language value of section/key when usable (two characters or more), with leading and trailing
// blanks and control characters removed and cut to 50 characters; else the default, cut to 255.
std::string ReadCaption(std::string_view defaultText, std::string_view section, std::string_view key);

// Reads AppName (APPLICATION/NAME) and BoolNames (BoolList/Bool0, Bool1) from the language file; a
// value shorter than two characters keeps the built-in one.
void LoadLanguageGlobals();

// Writes AppName and BoolNames to the language file. Throws Error("Unable to write to ...").
void SaveLanguageGlobals();

// The text of a program or transport code: key "Err" + code of section "ErrorMess", falling back to
// key "Err11" when the key is missing. "0" when neither exists.
std::string ErrorText(int code);

// A status, prompt or label text: key "Sta" + n of section "StatusList". "0" when missing.
std::string StatusText(int n);

// The modification time of a file in local time as "mmmm dd, yyyy hh:nn" with the full English month
// name ("December 09, 2026 14:05"). The empty text when the file does not exist.
std::string FileDateText(const std::filesystem::path& path);
// A Unix time (seconds since 1970 UTC) in local time, written as FileDateText writes it. The empty
// text when the time cannot be shown (before year 1 or after year 9999).
std::string LocalDateText(long long unixTime);

// The four-part program version "major.minor.patch.tweak", compiled in from the project version.
std::string ProgramVersion();

// Sets VersionText to the first 10 characters of ProgramVersion() + " " + VersionText and returns
// it. (The version is compiled in, so there is no missing version resource to fail on.)
const std::string& ComputeVersionText();

} // namespace parlomar
