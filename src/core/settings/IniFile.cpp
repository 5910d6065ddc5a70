#include "core/settings/IniFile.h"

#include "core/Error.h"
#include "core/Files.h"
#include "core/Text.h"
#include "core/settings/Paths.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace parlomar {

namespace {

// Files larger than this are not INI files of this program; reading them gives no keys and writing
// them is refused, so a stray huge file never makes us allocate without bound.
constexpr std::size_t kMaxFileSize = 64u * 1024u * 1024u;

constexpr std::string_view kBom = "\xEF\xBB\xBF";

// A name or value as handed to a write: cut at the first line break (a line break would split the
// entry and could inject other keys), then to the length limit.
std::string_view WriteText(std::string_view s) {
    auto br = s.find_first_of("\r\n");
    if (br != std::string_view::npos) {
        s = s.substr(0, br);
    }
    return CutBytes(s, kIniMaxNameLength);
}

enum class LineKind { Other, Section, Entry };

struct Line {
    std::size_t begin = 0;      // offset of the first byte
    std::size_t contentEnd = 0; // offset of the line terminator (or end of text)
    std::size_t end = 0;        // offset after the terminator
    LineKind kind = LineKind::Other;
    std::string_view name;  // section name or key name, trimmed
    std::string_view value; // entry value, trimmed
};

// Walks the lines of an INI text one by one.
class LineReader {
public:
    explicit LineReader(std::string_view text) : text_(text) {
        if (text_.substr(0, kBom.size()) == kBom) {
            pos_ = kBom.size();
        }
    }

    bool Next(Line& line) {
        if (pos_ >= text_.size()) {
            return false;
        }
        line = Line{};
        line.begin = pos_;
        auto nl = text_.find('\n', pos_);
        line.end = nl == std::string_view::npos ? text_.size() : nl + 1;
        line.contentEnd = nl == std::string_view::npos ? text_.size() : nl;
        if (line.contentEnd > line.begin && text_[line.contentEnd - 1] == '\r') {
            --line.contentEnd;
        }
        pos_ = line.end;
        Classify(line);
        return true;
    }

    std::size_t BodyBegin() const { return text_.substr(0, kBom.size()) == kBom ? kBom.size() : 0; }

private:
    void Classify(Line& line) const {
        auto content = Trimmed(text_.substr(line.begin, line.contentEnd - line.begin), kWhitespace);
        if (content.empty() || content.front() == ';') {
            return;
        }
        if (content.front() == '[') {
            auto close = content.rfind(']');
            if (close != std::string_view::npos) {
                line.kind = LineKind::Section;
                line.name = Trimmed(content.substr(1, close - 1), kWhitespace);
                return;
            }
        }
        auto eq = content.find('=');
        if (eq == std::string_view::npos) {
            return;
        }
        line.kind = LineKind::Entry;
        line.name = Trimmed(content.substr(0, eq), kWhitespace);
        line.value = Trimmed(content.substr(eq + 1), kWhitespace);
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

// Calls fn(line) for every entry line of the first section named `section`.
template <typename Fn>
void ForEachEntry(std::string_view text, std::string_view section, Fn fn) {
    LineReader reader(text);
    Line line;
    bool inSection = false;
    bool seen = false;
    while (reader.Next(line)) {
        if (line.kind == LineKind::Section) {
            if (inSection) {
                return; // only the first matching section counts
            }
            inSection = !seen && EqualIgnoringAsciiCase(line.name, section);
            seen = seen || inSection;
        } else if (line.kind == LineKind::Entry && inSection) {
            if (!fn(line)) {
                return;
            }
        }
    }
}

std::string_view Unquote(std::string_view v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        return v.substr(1, v.size() - 2);
    }
    return v;
}

// Reads a whole file; nothing when it is missing, unreadable, not a regular file or too big. Opened
// without waiting, so a FIFO or a device in the file's place gives nothing instead of a hang.
std::optional<std::string> ReadFileText(const std::filesystem::path& path) {
    return ReadRegularFile(path, kMaxFileSize);
}

// Replaces the file with `text` atomically: a temporary file in the same folder is written, flushed
// to disk and renamed over the original. On any failure the original is untouched and false is
// returned.
bool ReplaceFile(const std::filesystem::path& path, std::string_view text, mode_t mode) {
    std::string tmp = path.string() + ".XXXXXX";
    int fd = ::mkstemp(tmp.data());
    if (fd < 0) {
        return false;
    }
    bool ok = ::fchmod(fd, mode) == 0 && WriteAll(fd, text) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok && ::rename(tmp.c_str(), path.c_str()) == 0) {
        int dir =
            ::open(path.parent_path().empty() ? "." : path.parent_path().c_str(), O_RDONLY | O_DIRECTORY);
        if (dir >= 0) {
            ::fsync(dir);
            ::close(dir);
        }
        return true;
    }
    ::unlink(tmp.c_str());
    return false;
}

[[noreturn]] void ThrowUnableToWrite(const std::filesystem::path& path) {
    throw Error("Unable to write to " + path.string());
}

} // namespace

std::string_view CutBytes(std::string_view text, std::size_t max) {
    if (text.size() <= max) {
        return text;
    }
    std::size_t cut = max;
    // Back off over UTF-8 continuation bytes so that no character is split (at most three).
    for (int i = 0; i < 3 && cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80; ++i) {
        --cut;
    }
    if ((static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
        cut = max; // not UTF-8: a plain byte cut
    }
    return text.substr(0, cut);
}

std::filesystem::path IniTargetFile(IniTarget target) {
    switch (target) {
    case kSettingsTarget:
        return SettingsFile();
    case kLanguageTarget:
        return LanguageFile();
    default:
        return {};
    }
}

std::optional<std::string> IniFindValue(std::string_view text, std::string_view section,
                                        std::string_view key) {
    std::optional<std::string> result;
    ForEachEntry(text, section, [&](const Line& line) {
        if (EqualIgnoringAsciiCase(line.name, key)) {
            result = std::string(line.value);
            return false;
        }
        return true;
    });
    return result;
}

std::string IniLookup(std::string_view text, std::string_view section, std::string_view key) {
    auto raw = IniFindValue(text, CutBytes(section, kIniMaxNameLength), CutBytes(key, kIniMaxNameLength));
    if (!raw) {
        return "0";
    }
    return std::string(CutBytes(Unquote(*raw), kIniMaxValueLength));
}

std::vector<std::string> IniSectionLines(std::string_view text, std::string_view section) {
    std::vector<std::string> lines;
    ForEachEntry(text, CutBytes(section, kIniMaxNameLength), [&](const Line& line) {
        std::string entry(line.name);
        entry += '=';
        entry += CutBytes(line.value, kIniMaxValueLength);
        lines.push_back(std::move(entry));
        return true;
    });
    return lines;
}

std::string IniSetValue(std::string_view text, std::string_view section, std::string_view key,
                        std::string_view value) {
    // Blanks around names mean nothing to a reader, so they are not written either.
    section = Trimmed(WriteText(section), kWhitespace);
    key = Trimmed(WriteText(key), kWhitespace);
    value = WriteText(value);
    if (section.empty() || key.empty()) {
        return std::string(text);
    }

    LineReader reader(text);
    Line line;
    // The line ending of the file: that of its first line, LF when it has none.
    std::string_view eol = "\n";
    {
        auto nl = text.find('\n');
        if (nl != std::string_view::npos && nl > 0 && text[nl - 1] == '\r') {
            eol = "\r\n";
        }
    }

    bool inSection = false;
    bool found = false;
    std::optional<Line> keyLine;
    Line lastOfSection; // the header or the last entry of the section
    bool lastLineBlank = true;
    while (reader.Next(line)) {
        lastLineBlank = Trimmed(text.substr(line.begin, line.contentEnd - line.begin), kWhitespace).empty();
        if (line.kind == LineKind::Section) {
            if (inSection) {
                break;
            }
            if (!found && EqualIgnoringAsciiCase(line.name, section)) {
                inSection = found = true;
                lastOfSection = line;
            }
        } else if (line.kind == LineKind::Entry && inSection) {
            if (EqualIgnoringAsciiCase(line.name, key)) {
                keyLine = line;
                break;
            }
            lastOfSection = line;
        }
    }

    std::string out;
    out.reserve(text.size() + section.size() + key.size() + value.size() + 8);
    if (keyLine) {
        // Replace the entry, keeping its key's spelling and its line terminator.
        out.append(text.substr(0, keyLine->begin));
        out.append(keyLine->name);
        out += '=';
        out.append(value);
        out.append(text.substr(keyLine->contentEnd));
        return out;
    }
    if (found) {
        // The new entry follows the section's last entry (or its header).
        const std::size_t insertAfter = lastOfSection.end;
        const bool lastHasTerminator = text[insertAfter - 1] == '\n';
        out.append(text.substr(0, insertAfter));
        if (!lastHasTerminator) {
            out.append(eol); // the new line follows a last line that had no terminator
        }
        out.append(key);
        out += '=';
        out.append(value);
        if (lastHasTerminator) {
            out.append(eol);
        }
        out.append(text.substr(insertAfter));
        return out;
    }
    // A new section at the end, set off from the text before it by a blank line.
    out.append(text);
    if (text.size() > reader.BodyBegin()) {
        if (text.back() != '\n') {
            out.append(eol);
        }
        if (!lastLineBlank) {
            out.append(eol);
        }
    }
    out += '[';
    out.append(section);
    out += ']';
    out.append(eol);
    out.append(key);
    out += '=';
    out.append(value);
    out.append(eol);
    return out;
}

std::string IniRemoveSection(std::string_view text, std::string_view section) {
    section = Trimmed(WriteText(section), kWhitespace);
    std::string out;
    out.reserve(text.size());
    LineReader reader(text);
    out.append(text.substr(0, reader.BodyBegin()));
    Line line;
    bool removing = false;
    while (reader.Next(line)) {
        if (line.kind == LineKind::Section) {
            removing = EqualIgnoringAsciiCase(line.name, section);
        }
        if (!removing) {
            out.append(text.substr(line.begin, line.end - line.begin));
        }
    }
    return out;
}

std::string ReadIniValue(std::string_view section, std::string_view key, IniTarget target) {
    if (section.empty() || key.empty()) {
        return "";
    }
    auto path = IniTargetFile(target);
    if (path.empty()) {
        return "";
    }
    auto text = ReadFileText(path);
    if (!text) {
        return "0";
    }
    return IniLookup(*text, section, key);
}

namespace {

// A key that holds a password (USERS/Psw, Proxy/PSW, the saved servers' Psw).
bool IsPasswordKey(std::string_view key) {
    return EqualIgnoringAsciiCase(key, "Psw") || EqualIgnoringAsciiCase(key, "Password");
}

// Every read-change-write of a file, in this process (the GUI thread and the transport's workers
// write the settings file) and across processes: a mutex, and an advisory lock on a companion file
// "<file>.lock" beside it, so that no writer's change is lost to another's. Without a companion file
// (a folder that cannot be written, a link in its place) only the mutex holds; the write itself
// then reports what is wrong.
class TFileEditLock {
public:
    explicit TFileEditLock(const std::filesystem::path& path) : guard_(Mutex()) {
        const std::string lock = path.string() + ".lock";
        fd_ = UniqueFd(::open(lock.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (fd_) {
            while (::flock(fd_.Get(), LOCK_EX) != 0 && errno == EINTR) {
            }
        }
    }
    TFileEditLock(const TFileEditLock&) = delete;
    TFileEditLock& operator=(const TFileEditLock&) = delete;

private:
    static std::mutex& Mutex() {
        static std::mutex mutex;
        return mutex;
    }
    std::lock_guard<std::mutex> guard_;
    UniqueFd fd_; // closing it releases the lock
};

// Reads the file of target, hands its text to edit and writes the result back atomically, keeping
// the file's mode; the settings file becomes readable by its owner only when a password goes into
// it. Throws Error("Unable to write to <full path>") when the file cannot be written.
template <typename Edit>
void RewriteIniFile(IniTarget target, bool passwordWritten, Edit edit) {
    // An installed program writes the language file as the user's own copy.
    auto path = target == kLanguageTarget ? LanguageFileForWriting() : IniTargetFile(target);
    if (path.empty()) {
        return;
    }
    const TFileEditLock lock(path);
    // The file is always replaced by rename: a symbolic link in its place is replaced by the new file
    // rather than written through (a link planted there cannot redirect the settings, passwords
    // included, into a file of someone else's choosing). The settings file is created private and
    // made private again whenever a password goes into it; other files keep their mode.
    const bool settings = target == kSettingsTarget;
    mode_t mode = settings ? 0600 : 0644;
    std::string text;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) {
        if (S_ISLNK(st.st_mode)) {
            // The text of the file the link names is kept when it is a readable regular file.
            // The copy is never readable by more users than the original was.
            struct stat target_st {};
            if (::stat(path.c_str(), &target_st) == 0 && S_ISREG(target_st.st_mode)) {
                if (auto old = ReadFileText(path)) {
                    text = std::move(*old);
                    mode &= (target_st.st_mode & 0777) | S_IRUSR | S_IWUSR;
                }
            }
        } else {
            // An existing file must be a writable regular file that we can read whole.
            if (!S_ISREG(st.st_mode) || ::access(path.c_str(), W_OK) != 0) {
                ThrowUnableToWrite(path);
            }
            auto old = ReadFileText(path);
            if (!old) {
                ThrowUnableToWrite(path);
            }
            text = std::move(*old);
            mode = st.st_mode & 07777;
        }
    } else if (errno != ENOENT) {
        ThrowUnableToWrite(path);
    }
    if (target == kSettingsTarget && passwordWritten) {
        mode = 0600;
    }
    if (!ReplaceFile(path, edit(std::move(text)), mode)) {
        ThrowUnableToWrite(path);
    }
}

} // namespace

void WriteIniValue(std::string_view section, std::string_view key, std::string_view value, IniTarget target) {
    if (section.empty() || key.empty()) {
        return;
    }
    RewriteIniFile(target, IsPasswordKey(key),
                   [&](std::string text) { return IniSetValue(text, section, key, value); });
}

void WriteIniChanges(const std::vector<std::string>& removedSections, const std::vector<IniValue>& values,
                     IniTarget target) {
    bool passwordWritten = false;
    for (const IniValue& value : values) {
        passwordWritten = passwordWritten || IsPasswordKey(value.key);
    }
    RewriteIniFile(target, passwordWritten, [&](std::string text) {
        for (const std::string& section : removedSections) {
            text = IniRemoveSection(text, section);
        }
        for (const IniValue& value : values) {
            text = IniSetValue(text, value.section, value.key, value.value);
        }
        return text;
    });
}

void WriteIniBool(std::string_view section, std::string_view key, bool flag, IniTarget target) {
    WriteIniValue(section, key, flag ? "1" : "0", target);
}

std::string ReadIniText(IniTarget target) {
    auto path = IniTargetFile(target);
    if (path.empty()) {
        return "";
    }
    auto text = ReadFileText(path);
    return text ? std::move(*text) : std::string();
}

void ReadIniSection(std::string_view section, IniTarget target, std::vector<std::string>& list) {
    list.clear();
    if (section.empty()) {
        return;
    }
    auto path = IniTargetFile(target);
    if (path.empty()) {
        return;
    }
    if (auto text = ReadFileText(path)) {
        list = IniSectionLines(*text, section);
    }
}

bool IniFlag(std::string_view text) {
    text = Trimmed(text, kWhitespace);
    if (text.empty()) {
        return false;
    }
    double number = 0;
    std::string_view digits = text;
    if (digits.front() == '+') {
        digits.remove_prefix(1);
    }
    std::string_view unsigned_part = digits.substr(!digits.empty() && digits.front() == '-' ? 1 : 0);
    bool numeric =
        !unsigned_part.empty() &&
        ((unsigned_part.front() >= '0' && unsigned_part.front() <= '9') || unsigned_part.front() == '.');
    if (!numeric) {
        return EqualIgnoringAsciiCase(text, "true") || EqualIgnoringAsciiCase(text, "yes") ||
               EqualIgnoringAsciiCase(text, "on");
    }
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (ec == std::errc() && end == digits.data() + digits.size()) {
        return number != 0;
    }
    // A number too large or too small to hold is still not zero; "1x" and the like are not numbers.
    return ec == std::errc::result_out_of_range;
}

bool WriteFileAtomically(const std::filesystem::path& path, std::string_view text, unsigned permissions) {
    return ReplaceFile(path, text, static_cast<mode_t>(permissions));
}

} // namespace parlomar
