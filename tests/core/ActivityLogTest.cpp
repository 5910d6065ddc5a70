// Which requests change something, and the activity log's file: lines read back whatever the file
// holds, pairs of lines joined, rotation, the file private.

#include "core/server/ActivityLog.h"
#include "core/Error.h"
#include "core/server/ApiFunctions.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <sys/stat.h>

using namespace parlomar;

namespace {

// A temporary XDG_DATA_HOME for one test.
class DataHome {
public:
    DataHome() {
        std::random_device rd;
        path_ = std::filesystem::temp_directory_path() / ("parlomar-data-" + std::to_string(rd()));
        const char* old = std::getenv("XDG_DATA_HOME");
        if (old)
            previous_ = old;
        hadPrevious_ = old != nullptr;
        ::setenv("XDG_DATA_HOME", path_.c_str(), 1);
    }
    ~DataHome() {
        SetActivityLogLimit(0);
        if (hadPrevious_)
            ::setenv("XDG_DATA_HOME", previous_.c_str(), 1);
        else
            ::unsetenv("XDG_DATA_HOME");
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
    std::string previous_;
    bool hadPrevious_ = false;
};

ActivityRecord Record(const std::string& entry, const std::string& phase, const std::string& target) {
    ActivityRecord record;
    record.time = "2025-03-01T12:00:00.000Z";
    record.entry = entry;
    record.phase = phase;
    record.server = "203.0.113.5";
    record.port = 2087;
    record.user = "root";
    record.function = "suspendacct";
    record.target = target;
    record.parameters = {{"user", target}};
    return record;
}

unsigned ModeOf(const std::filesystem::path& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 0777;
}

std::string FileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

TEST(RequestEffect, OnlyListingAndViewingRequestsChangeNothing) {
    const std::string base = "https://host.example";
    for (const char* viewing : {"/xml-api/version", "/xml-api/listaccts?searchtype=user&search=",
                                "/xml-api/listpkgs", "/xml-api/accountsummary?user=bob", "/?logout"})
        EXPECT_FALSE(ChangesServer(base + viewing)) << viewing;
    // Every other function, any spelling that is not exactly a viewing one, and unknown paths.
    for (const char* changing :
         {"/xml-api/suspendacct?user=bob", "/xml-api/createacct?username=a", "/xml-api/killpkg?pkg=p",
          "/xml-api/LISTACCTS", "/xml-api/listaccts/../removeacct?user=bob", "/xml-api/list%61ccts",
          "//xml-api/listpkgs", "/json-api/listaccts", "/?logout&x=1", "/xml-api/", "/anything"})
        EXPECT_TRUE(ChangesServer(base + changing)) << changing;
    EXPECT_EQ(ApiFunctionOf(base + "/xml-api/passwd?user=a&pass=b"), "passwd");

    const QueryFields query = RequestQuery(base + "/xml-api/passwd?user=a%26b&pass=p%3D1+2&&flag");
    ASSERT_EQ(query.size(), 3u);
    EXPECT_EQ(query[0], (std::pair<std::string, std::string>{"user", "a&b"}));
    EXPECT_EQ(query[1].second, "p=1+2");
    EXPECT_EQ(query[2], (std::pair<std::string, std::string>{"flag", ""}));
    EXPECT_EQ(RequestTarget(query), "a&b");
    EXPECT_EQ(RequestTarget(RequestQuery(base + "/xml-api/killpkg?pkg=gold")), "gold");
    for (const char* key : {"pass", "password", "PassWord", "newpass", "PSW"})
        EXPECT_TRUE(IsPasswordParameter(key)) << key;
    EXPECT_FALSE(IsPasswordParameter("user"));
}

TEST(ActivityLogText, LinesReadBackWhateverTheFileHolds) {
    ActivityRecord outcome = Record("r-1", "outcome", "bob");
    outcome.transportStatus = 0;
    outcome.httpStatus = 200;
    outcome.serverStatus = "1";
    outcome.message = "bob suspended\n\"quoted\" \xFF byte";
    const std::string line = ActivityLine(outcome);
    ASSERT_EQ(line.back(), '\n');
    EXPECT_EQ(line.find('\n'), line.size() - 1); // one line, whatever the message holds
    const std::optional<ActivityRecord> back = ParseActivityLine(line.substr(0, line.size() - 1));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->message, "bob suspended\n\"quoted\" \xEF\xBF\xBD byte");
    EXPECT_EQ(back->parameters, outcome.parameters);
    EXPECT_EQ(back->port, 2087u);

    // Malformed lines are skipped; an outcome is joined to its request across files; a request
    // without an outcome stays, marked unknown; newest first.
    std::string older = ActivityLine(Record("a-1", "sending", "first")) + "{not json\n" + "[1,2]\n" +
                        "{\"entry\":\"x\",\"phase\":\"other\"}\n" +
                        "{\"entry\":7,\"phase\":\"sending\",\"port\":\"2087\"}\n" +
                        "{\"entry\":\"t\",\"phase\":\"sending\",\"port\":99999,\"httpStatus\":1e99,\"user\":["
                        "],\"parameters\":[[1,2],\"x\"]}\n" +
                        ActivityLine(Record("a-2", "sending", "second"));
    older.pop_back(); // the last line of a file cut short
    const std::string newer = "\n" + ActivityLine(Record("a-1", "outcome", "first")) + std::string(2, '\0') +
                              "\n" + ActivityLine(Record("a-3", "outcome", "refused"));
    const std::vector<ActivityEntry> entries = ActivityEntriesOf({older, newer});
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].record.target, "refused");
    EXPECT_TRUE(entries[0].outcomeKnown);
    EXPECT_EQ(entries[1].record.target, "second");
    EXPECT_FALSE(entries[1].outcomeKnown);
    EXPECT_EQ(entries[2].record.entry, "t"); // a usable line with unusable fields: empty values
    EXPECT_EQ(entries[2].record.port, 65535u);
    EXPECT_TRUE(entries[2].record.parameters.empty());
    EXPECT_EQ(entries[3].record.target, "first");
    EXPECT_TRUE(entries[3].outcomeKnown);

    EXPECT_EQ(ActivityLocalTime("not a time"), "not a time");
    EXPECT_EQ(ActivityLocalTime("2025-13-01T00:00:00.000Z"), "2025-13-01T00:00:00.000Z");
}

TEST(ActivityLogFile, RotatesKeepingThreeFilesAllPrivate) {
    DataHome home;
    const std::filesystem::path file = home.Path() / "ParlomarClient" / "activity.log";
    EXPECT_EQ(ActivityLogFile(), file);
    const std::size_t lineSize = ActivityLine(Record("e-10", "sending", "user10")).size();
    SetActivityLogLimit(3 * lineSize + 1); // three lines a file
    for (int i = 10; i < 20; ++i)
        AppendActivity(Record("e-" + std::to_string(i), "sending", "user" + std::to_string(i)));
    // 10 lines: 3 + 3 in the rotated files, 1 in the current; the oldest 3 are gone.
    EXPECT_TRUE(std::filesystem::exists(file.string() + ".2"));
    EXPECT_FALSE(std::filesystem::exists(file.string() + ".3"));
    EXPECT_EQ(FileText(file), ActivityLine(Record("e-19", "sending", "user19")));
    std::vector<ActivityEntry> entries = ReadActivityLog();
    ASSERT_EQ(entries.size(), 7u);
    EXPECT_EQ(entries.front().record.target, "user19");
    EXPECT_EQ(entries.back().record.target, "user13");
    for (const char* name : {"activity.log", "activity.log.1", "activity.log.2"})
        EXPECT_EQ(ModeOf(file.parent_path() / name), 0600u) << name;
    EXPECT_EQ(ModeOf(file.parent_path()), 0700u);

    // A file opened up by hand is made private again; a line cut short is ended first.
    ::chmod(file.c_str(), 0644);
    std::ofstream(file, std::ios::app) << "{\"entry\":\"cut";
    AppendActivity(Record("e-20", "sending", "user20"));
    EXPECT_EQ(ModeOf(file), 0600u);
    entries = ReadActivityLog();
    EXPECT_EQ(entries.front().record.target, "user20");

    // A symbolic link in the file's place is not written through.
    std::filesystem::remove(file);
    const std::filesystem::path elsewhere = home.Path() / "elsewhere";
    std::ofstream(elsewhere) << "";
    std::filesystem::create_symlink(elsewhere, file);
    EXPECT_THROW(AppendActivity(Record("e-21", "sending", "user21")), Error);
    EXPECT_EQ(FileText(elsewhere), "");
}

TEST(ActivityLog, LocalTimeFollowsTheTimeZone) {
    const char* before = std::getenv("TZ");
    const std::string saved = before ? before : "";
    auto in = [](const char* zone, const char* time) {
        ::setenv("TZ", zone, 1);
        ::tzset();
        return ActivityLocalTime(time);
    };
    EXPECT_EQ(in("UTC0", "2025-03-01T12:00:00.000Z"), "2025-03-01 12:00:00"); // no offset
    EXPECT_EQ(in("EST5", "2025-03-01T02:00:05.250Z"), "2025-02-28 21:00:05"); // back over a month's end
    EXPECT_EQ(in("<+1030>-10:30", "2024-02-29T20:00:00.000Z"), "2024-03-01 06:30:00");
    EXPECT_EQ(in("<+1030>-10:30", "2025-12-31T13:30:00.000Z"), "2026-01-01 00:00:00");
    if (before)
        ::setenv("TZ", saved.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
}
