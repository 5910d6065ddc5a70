#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace parlomar {

// Selects the file an INI operation works on: 1 = the settings file, 2 = the language file. Any
// other value makes a read return the empty text and a write do nothing.
using IniTarget = unsigned char;
inline constexpr IniTarget kSettingsTarget = 1;
inline constexpr IniTarget kLanguageTarget = 2;

// Length limits of the private-profile rules: names and values handed to a write are cut to
// kIniMaxNameLength bytes, a value read is cut to kIniMaxValueLength bytes. A cut never splits a
// UTF-8 sequence.
inline constexpr std::size_t kIniMaxNameLength = 255;
inline constexpr std::size_t kIniMaxValueLength = 2047;

// The file selected by a target, or an empty path for an unknown target.
std::filesystem::path IniTargetFile(IniTarget target);

// ---- File operations. Every call opens the file, does its one operation and closes it again. ----

// The value of section/key. "" when section or key is empty or the target is unknown (no file is
// touched); "0" when the file or the key does not exist, or is not a regular file (a FIFO or a
// device is never waited on); "" for a key present with an empty value.
std::string ReadIniValue(std::string_view section, std::string_view key, IniTarget target);

// Writes section/key = value, creating the file and the section when missing. The file is edited in
// place (every other line kept byte for byte) and replaced atomically. Throws
// Error("Unable to write to <full path>") when the file cannot be written; the original stays as it
// was. Does nothing for an empty section or key or an unknown target. A symbolic link in the file's
// place is replaced by a file (with the text of the file it named), never written through. A new
// settings file is readable by its owner only (0600), and so is the settings file after a password
// key (Psw, Password) has been written into it; otherwise an existing file keeps its mode.
void WriteIniValue(std::string_view section, std::string_view key, std::string_view value, IniTarget target);

// One value of a batch write.
struct IniValue {
    std::string section;
    std::string key;
    std::string value;
};

// Several changes in one atomic write: every section named in removedSections is taken out whole
// (each time it occurs), then each value is set in order as WriteIniValue sets it. The same file
// rules and errors as WriteIniValue.
void WriteIniChanges(const std::vector<std::string>& removedSections, const std::vector<IniValue>& values,
                     IniTarget target);

// Writes "1" for true and "0" for false, as WriteIniValue.
void WriteIniBool(std::string_view section, std::string_view key, bool flag, IniTarget target);

// The whole text of the file of target; "" when it is missing, unreadable or no regular file.
std::string ReadIniText(IniTarget target);

// Replaces the contents of list with one "key=value" line per key of the section, in file order.
// A missing file or section gives an empty list.
void ReadIniSection(std::string_view section, IniTarget target, std::vector<std::string>& list);

// Replaces the file at path with text atomically (a temporary file beside it, flushed and renamed
// over it; a symbolic link there is replaced, never written through), with the given permission
// bits. On any failure the file stays as it was, no temporary file is left, and false is returned.
bool WriteFileAtomically(const std::filesystem::path& path, std::string_view text, unsigned permissions);

// A flag as read from a file: "0" is false, any other number ("1", "-1", "2.5") is true; the words
// "true", "yes" and "on" (any letter case) are true; every other text, the empty one included, is
// false.
bool IniFlag(std::string_view text);

// ---- The pure INI layer: functions over the text of a whole file. ----
//
// Rules: a line whose first non-blank character is "[" and which holds a "]" is a section header
// (the name is between "[" and the last "]", blanks trimmed). A line holding "=" is an entry of the
// section above it: name before the first "=", value after it, blanks trimmed on both. Lines starting
// with ";" are comments; blank lines, comments and other lines are ignored by reads and kept by
// writes. Names match without regard to ASCII letter case; the first matching section and, in it,
// the first matching key win. Lines end with LF or CRLF; a UTF-8 byte order mark at the start is
// ignored.

// The raw (trimmed, still quoted) value of section/key, or nothing when the key is not there.
std::optional<std::string> IniFindValue(std::string_view text, std::string_view section,
                                        std::string_view key);

// The value as ReadIniValue gives it: unquoted when enclosed in matching double or single quotes,
// cut to kIniMaxValueLength, "0" when missing.
std::string IniLookup(std::string_view text, std::string_view section, std::string_view key);

// The "key=value" lines of a section, in file order.
std::vector<std::string> IniSectionLines(std::string_view text, std::string_view section);

// The text with section/key set to value: the key's line is replaced when present; otherwise a line
// is added after the section's last entry, or a new section is appended at the end. Every other
// byte is kept; new lines take the file's line ending (CRLF when its first line ends so, else LF).
// Names and value are cut to kIniMaxNameLength and at the first line break; blanks around the names
// are dropped, and an empty section or key leaves the text unchanged.
std::string IniSetValue(std::string_view text, std::string_view section, std::string_view key,
                        std::string_view value);

// The text without the section: its header line and every line up to the next section header, for
// each section of that name (letter case ignored). Every other byte is kept.
std::string IniRemoveSection(std::string_view text, std::string_view section);

// Cuts text to at most max bytes without splitting a UTF-8 sequence.
std::string_view CutBytes(std::string_view text, std::size_t max);

} // namespace parlomar
