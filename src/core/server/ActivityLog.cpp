#include "core/server/ActivityLog.h"

#include "core/Error.h"
#include "core/Files.h"
#include "core/settings/Paths.h"

#include <nlohmann/json.hpp>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace parlomar {

namespace {

using Json = nlohmann::ordered_json;

constexpr std::size_t kMaxLine = 1024u * 1024u;
constexpr std::uint64_t kMaxRead = 32u * 1024u * 1024u;
constexpr const char* kFileName = "activity.log";

std::mutex gAppendMutex;
std::atomic<std::uint64_t> gLimit{kActivityLogLimit};

std::string TextOf(const Json& object, const char* key) {
    const auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

long long NumberOf(const Json& object, const char* key, long long low, long long high) {
    const auto it = object.find(key);
    if (it == object.end() || !it->is_number_integer())
        return 0;
    const long long value = it->is_number_unsigned() && it->get<unsigned long long>() > 0x7FFFFFFFFFFFFFFFull
                                ? high
                                : it->get<long long>();
    return value < low ? low : value > high ? high : value;
}

[[noreturn]] void Fail(const std::filesystem::path& path, int error) {
    throw Error("Unable to write to " + path.string() + ": " + std::strerror(error));
}

// The folder and the folders above it, those created now readable by this user only.
void MakeFolder(const std::filesystem::path& folder) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) == 0) {
        if (!S_ISDIR(st.st_mode))
            Fail(folder, ENOTDIR);
        return;
    }
    if (folder.has_parent_path() && folder.parent_path() != folder)
        MakeFolder(folder.parent_path());
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        Fail(folder, errno);
}

// The file opened for appending and locked (an advisory lock that every instance of the program
// takes, so that the lines of two instances never interleave and one rotates alone).
int OpenForAppend(const std::filesystem::path& file) {
    for (int attempt = 0;; ++attempt) {
        const int fd = ::open(
            file.c_str(), O_RDWR | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0600);
        if (fd < 0)
            Fail(file, errno);
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            Fail(file, EINVAL);
        }
        int locked;
        while ((locked = ::flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
        }
        if (locked != 0) {
            const int error = errno;
            ::close(fd);
            Fail(file, error);
        }
        // Another instance may have rotated the file while this one waited: then the name is
        // opened again.
        struct stat now {};
        if (attempt >= 3 ||
            (::stat(file.c_str(), &now) == 0 && now.st_dev == st.st_dev && now.st_ino == st.st_ino))
            return fd;
        ::close(fd);
    }
}

std::filesystem::path Rotated(const std::filesystem::path& file, int n) {
    return file.string() + "." + std::to_string(n);
}

void Rotate(const std::filesystem::path& file) {
    for (int n = kActivityLogFiles - 2; n >= 1; --n)
        if (::rename(Rotated(file, n).c_str(), Rotated(file, n + 1).c_str()) != 0 && errno != ENOENT)
            Fail(Rotated(file, n), errno);
    if (kActivityLogFiles > 1) {
        if (::rename(file.c_str(), Rotated(file, 1).c_str()) != 0 && errno != ENOENT)
            Fail(file, errno);
    } else if (::unlink(file.c_str()) != 0 && errno != ENOENT) {
        Fail(file, errno);
    }
}

std::string ReadTail(const std::filesystem::path& path) {
    const UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!file)
        return {};
    const int fd = file.Get();
    std::string text;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        const auto size = static_cast<std::uint64_t>(st.st_size);
        const bool cut = size > kMaxRead;
        if (cut)
            ::lseek(fd, static_cast<off_t>(size - kMaxRead), SEEK_SET);
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0 || text.size() + static_cast<std::size_t>(n) > kMaxRead)
                break;
            text.append(buffer, static_cast<std::size_t>(n));
        }
        if (cut) // the first line read is only the end of one
            text.erase(0, text.find('\n') == std::string::npos ? text.size() : text.find('\n') + 1);
    }
    return text;
}

} // namespace

std::string ActivityLine(const ActivityRecord& record) {
    Json line = Json::object();
    line["time"] = record.time;
    line["entry"] = record.entry;
    line["phase"] = record.phase;
    line["server"] = record.server;
    line["port"] = record.port;
    line["user"] = record.user;
    line["function"] = record.function;
    line["target"] = record.target;
    Json parameters = Json::array();
    for (const auto& [key, value] : record.parameters)
        parameters.push_back(Json::array({key, value}));
    line["parameters"] = std::move(parameters);
    if (record.phase == "outcome") {
        line["transportStatus"] = record.transportStatus;
        if (record.sentNoReply)
            line["sentNoReply"] = true;
        line["httpStatus"] = record.httpStatus;
        line["serverStatus"] = record.serverStatus;
        line["message"] = record.message;
    }
    return line.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::optional<ActivityRecord> ParseActivityLine(std::string_view line) {
    if (line.size() > kMaxLine)
        return std::nullopt;
    const Json object = Json::parse(line, nullptr, false);
    if (object.is_discarded() || !object.is_object())
        return std::nullopt;
    ActivityRecord record;
    record.entry = TextOf(object, "entry");
    record.phase = TextOf(object, "phase");
    if (record.entry.empty() || (record.phase != "sending" && record.phase != "outcome"))
        return std::nullopt;
    record.time = TextOf(object, "time");
    record.server = TextOf(object, "server");
    record.port = static_cast<unsigned>(NumberOf(object, "port", 0, 65535));
    record.user = TextOf(object, "user");
    record.function = TextOf(object, "function");
    record.target = TextOf(object, "target");
    if (const auto it = object.find("parameters"); it != object.end() && it->is_array()) {
        for (const Json& pair : *it)
            if (pair.is_array() && pair.size() == 2 && pair[0].is_string() && pair[1].is_string())
                record.parameters.emplace_back(pair[0].get<std::string>(), pair[1].get<std::string>());
    }
    if (record.phase != "outcome")
        return record; // a request has no outcome before it is sent
    record.transportStatus = static_cast<int>(NumberOf(object, "transportStatus", INT32_MIN, INT32_MAX));
    if (const auto it = object.find("sentNoReply"); it != object.end() && it->is_boolean())
        record.sentNoReply = it->get<bool>() && record.transportStatus != 0;
    record.httpStatus = static_cast<long>(NumberOf(object, "httpStatus", 0, 999));
    record.serverStatus = TextOf(object, "serverStatus");
    record.message = TextOf(object, "message");
    return record;
}

std::vector<ActivityEntry> ActivityEntriesOf(const std::vector<std::string>& texts) {
    std::vector<ActivityEntry> entries;
    std::map<std::string, std::size_t> waiting; // entry number -> entry still without its outcome
    for (const std::string& text : texts) {
        std::string_view rest = text;
        while (!rest.empty()) {
            const std::size_t end = rest.find('\n');
            const std::string_view line = rest.substr(0, end);
            rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
            std::optional<ActivityRecord> record = ParseActivityLine(line);
            if (!record)
                continue;
            if (record->phase == "sending") {
                waiting[record->entry] = entries.size();
                entries.push_back({std::move(*record), false, {}});
                continue;
            }
            const auto it = waiting.find(record->entry);
            if (it == waiting.end()) { // its sending line is gone (rotated away), or it was never sent
                ActivityEntry entry{*record, true, record->time};
                entries.push_back(std::move(entry));
                continue;
            }
            ActivityEntry& entry = entries[it->second];
            waiting.erase(it);
            const std::string sent = entry.record.time;
            entry.record = std::move(*record);
            entry.outcomeTime = entry.record.time;
            entry.record.time = sent;
            entry.outcomeKnown = true;
        }
    }
    return {entries.rbegin(), entries.rend()};
}

std::string ActivityTimeNow() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm tm{};
    ::gmtime_r(&seconds, &tm);
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<int>(millis));
    return text;
}

std::string ActivityLocalTime(std::string_view time) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    const std::string text(time.substr(0, 19));
    if (time.size() < 20 ||
        std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d", &year, &month, &day, &hour, &minute, &second) !=
            6 ||
        year < 1970 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 ||
        minute > 59 || second > 60)
        return std::string(time);
    if (time.back() != 'Z')
        return std::string(time);
    std::tm utc{};
    utc.tm_year = year - 1900;
    utc.tm_mon = month - 1;
    utc.tm_mday = day;
    utc.tm_hour = hour;
    utc.tm_min = minute;
    utc.tm_sec = second;
    const std::time_t seconds = ::timegm(&utc);
    std::tm local{};
    if (seconds == static_cast<std::time_t>(-1) || ::localtime_r(&seconds, &local) == nullptr)
        return std::string(time);
    char out[96];
    std::snprintf(out, sizeof out, "%04d-%02d-%02d %02d:%02d:%02d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return out;
}

std::string NewActivityEntry() {
    static const std::string run = [] {
        std::random_device device;
        char text[24];
        std::snprintf(text, sizeof text, "%08x%08x", device(), device());
        return std::string(text);
    }();
    static std::atomic<std::uint64_t> counter{0};
    return run + "-" + std::to_string(++counter);
}

std::filesystem::path ActivityLogFolder() {
    return UserFolders().data; // the user's data folder, in portable use too
}

std::filesystem::path ActivityLogFile() {
    const std::filesystem::path folder = ActivityLogFolder();
    return folder.empty() ? folder : folder / kFileName;
}

void SetActivityLogLimit(std::uint64_t bytes) {
    gLimit = bytes == 0 ? kActivityLogLimit : bytes;
}

void AppendActivity(const ActivityRecord& record) {
    const std::string line = ActivityLine(record);
    const std::lock_guard<std::mutex> lock(gAppendMutex);
    const std::filesystem::path file = ActivityLogFile();
    if (file.empty())
        throw Error("Unable to write to the activity log: no home folder");
    MakeFolder(file.parent_path());
    int fd = OpenForAppend(file);
    struct stat st {};
    ::fstat(fd, &st);
    if (st.st_size > 0 && static_cast<std::uint64_t>(st.st_size) + line.size() > gLimit.load()) {
        ::close(fd);
        Rotate(file);
        fd = OpenForAppend(file);
        ::fstat(fd, &st);
    }
    if ((st.st_mode & 07777) != 0600)
        ::fchmod(fd, 0600); // a file made by hand or by an older program
    // A line cut short by an earlier failed write is ended first, so that this one stays readable.
    std::string text;
    char last = '\n';
    if (st.st_size > 0 && ::pread(fd, &last, 1, st.st_size - 1) == 1 && last != '\n')
        text = "\n";
    text += line;
    // One write for the whole line: it is in the file whole or not at all (a piece that a full disk
    // let through is taken away again).
    ssize_t n;
    while ((n = ::write(fd, text.data(), text.size())) < 0 && errno == EINTR) {
    }
    if (n != static_cast<ssize_t>(text.size())) {
        const int error = n < 0 ? errno : ENOSPC;
        if (n > 0 && ::ftruncate(fd, st.st_size) != 0) {
            // nothing more to do: the next line starts on a line of its own
        }
        ::close(fd);
        Fail(file, error);
    }
    // On disk before the request goes out, so that even a crash of the machine leaves the line.
    const bool synced = ::fdatasync(fd) == 0;
    const int error = errno;
    ::close(fd);
    if (!synced && error != EINVAL && error != EROFS)
        Fail(file, error);
}

std::vector<ActivityEntry> ReadActivityLog() {
    const std::filesystem::path file = ActivityLogFile();
    if (file.empty())
        return {};
    std::vector<std::string> texts;
    for (int n = kActivityLogFiles - 1; n >= 1; --n)
        texts.push_back(ReadTail(Rotated(file, n)));
    texts.push_back(ReadTail(file));
    return ActivityEntriesOf(texts);
}

} // namespace parlomar
