#include "core/accounts/DetailsView.h"

#include "core/settings/IniFile.h"
#include "core/settings/Localization.h"
#include "core/settings/Paths.h"
#include "settings/SettingsTestFolder.h"

#include <gtest/gtest.h>

using namespace parlomar;
using parlomar::test::SettingsTestFolder;

namespace {

const std::filesystem::path kSourceDir = PARLOMAR_SOURCE_DIR;

// The shape of the stand-in server's accountsummary reply.
std::string Summary(const std::string& diskused = "172M", const std::string& disklimit = "1000M") {
    return "<?xml version=\"1.0\" "
           "?><accountsummary><acct><user>alice</user><domain>alice.example.com</domain>"
           "<suspended>0</suspended><diskused>" +
           diskused + "</diskused><disklimit>" + disklimit +
           "</disklimit><email>alice@mail.example.com</email><ip>198.51.100.7</ip><owner>root</owner>"
           "<partition>home</partition><plan>silver</plan><startdate>25 Jan 01 10:00</startdate>"
           "<unix_startdate>1737799200</unix_startdate><theme>x3</theme><shell>/bin/bash</shell>"
           "<suspendreason>not suspended</suspendreason><suspendtime></suspendtime><maxftp>10</maxftp>"
           "<maxsql>4</maxsql><maxpop>20</maxpop><maxlst>0</maxlst><maxsub>unlimited</maxsub>"
           "<maxparked>3</maxparked><maxaddons>2</maxaddons></acct><status>1</status>"
           "<statusmsg>Ok</statusmsg></accountsummary>";
}

const std::string kPackage =
    "<package><name>silver</name><QUOTA>500</QUOTA><BWLIMIT>5000</BWLIMIT><CGI>y</CGI>"
    "<CPMOD>x3</CPMOD><FEATURELIST>default</FEATURELIST><FRONTPAGE>n</FRONTPAGE>"
    "<HASSHELL>n</HASSHELL><IP>n</IP><LANG>en</LANG><MAXADDON>2</MAXADDON>"
    "<MAXFTP>10</MAXFTP><MAXLST>1</MAXLST><MAXPARK>3</MAXPARK><MAXPOP>20</MAXPOP>"
    "<MAXSQL>4</MAXSQL><MAXSUB>unlimited</MAXSUB></package>";

// A program folder holding the shipped settings and language files.
class DetailsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetLanguageGlobals();
        Settings(SettingsTestFolder::Read(kSourceDir / "data/ParlomarClient.ini"));
        SettingsTestFolder::Write(LanguageFile(),
                                  SettingsTestFolder::Read(kSourceDir / "data/Localization/English.lng"));
        LoadLanguageGlobals();
    }
    void TearDown() override { ResetLanguageGlobals(); }
    void Settings(std::string_view text) { SettingsTestFolder::Write(SettingsFile(), text); }

    static std::vector<std::string> Column(const TDetailsTable& t, int col) {
        std::vector<std::string> out;
        for (int r = 0; r < t.RowCount(); ++r) {
            out.emplace_back(t.Grid().Cell(col, r));
        }
        return out;
    }
    static std::vector<int> Hidden(const TDetailsTable& t) {
        std::vector<int> out;
        for (int r = 0; r < t.RowCount(); ++r) {
            if (!t.Grid().RowVisible(r)) {
                out.push_back(r);
            }
        }
        return out;
    }

    SettingsTestFolder folder_;
};

using Strings = std::vector<std::string>;

} // namespace

TEST_F(DetailsTest, ShippedAccountViewOfAStandInReply) {
    TDetailsTable t(kAccountDetails);
    t.ReadSpecialRows();
    EXPECT_EQ(t.SpecialRows(), (DetailsSpecialRows{7, 5, 8, 3, 4}));
    t.Fill(Summary());
    ASSERT_FALSE(t.ShowsTextPanel());
    EXPECT_EQ(Column(t, 0), (Strings{"Account",         "Domain",         "Package",
                                     "Disk used",       "Disk limit",     "Sign-in details",
                                     "User name",       "Password",       "More information",
                                     "Contact email",   "Suspended",      "Suspension reason",
                                     "Suspended since", "IP address",     "Owner",
                                     "Created",         "Theme",          "Shell",
                                     "FTP accounts",    "Databases",      "Email accounts",
                                     "Subdomains",      "Parked domains", "Addon domains"}));
    EXPECT_EQ(Column(t, 1), (Strings{"",       "alice.example.com",
                                     "silver", "172M",
                                     "1000M",  "",
                                     "alice",  "Change password",
                                     "",       "alice@mail.example.com",
                                     "0",      "not suspended",
                                     "",       "198.51.100.7",
                                     "root",   "25 Jan 01 10:00",
                                     "x3",     "/bin/bash",
                                     "10",     "4",
                                     "20",     "unlimited",
                                     "3",      "2"}));
    EXPECT_EQ(Hidden(t), (std::vector<int>{4}));
    for (int header : {0, 5, 8}) {
        EXPECT_TRUE(t.IsGroupHeader(header));
        EXPECT_TRUE(t.IsGroupOpen(header));
        EXPECT_EQ(t.Grid().RowHeight(header), 29);
        EXPECT_TRUE(t.DrawsNothing(1, header));
        EXPECT_FALSE(t.DrawsNothing(0, header));
    }
    EXPECT_FALSE(t.IsGroupHeader(7));
    EXPECT_EQ(t.Grid().RowHeight(1), 24);

    EXPECT_TRUE(t.IsPasswordLink(1, 7));
    EXPECT_TRUE(t.IsLinkCell(1, 7));
    EXPECT_FALSE(t.IsPasswordLink(0, 7));
    EXPECT_TRUE(t.IsLinkCell(1, 1)); // the domain
    EXPECT_FALSE(t.IsLinkCell(1, 2));
    EXPECT_EQ(t.DisplayText(1, 10), "No");
    EXPECT_EQ(t.DisplayText(0, 10), "Suspended");
    EXPECT_EQ(t.DisplayText(1, 18), "10");

    EXPECT_TRUE(t.IsUsageBar(1, 3));
    EXPECT_FALSE(t.IsUsageBar(0, 3));
    EXPECT_FALSE(t.IsUsageBar(1, 4));
    const DiskUsage usage = t.Usage();
    EXPECT_EQ(usage.Percent(), 17);
    EXPECT_EQ(usage.UsedWidth(200), 34);
    EXPECT_EQ(t.UsageHint(), "Disk limit=1000M, Disk used=172M");

    // 24 rows, one hidden: 20*25 + 3*30 + 0 = 590 pixels of rows.
    EXPECT_EQ(t.ColumnWidths(376, 600), (DetailsColumnWidths{150, 222}));
    EXPECT_EQ(t.ColumnWidths(376, 580), (DetailsColumnWidths{150, 206}));

    EXPECT_EQ(DetailsTitle("alice.example.com"), "alice.example.com - ParlomarClient");
    EXPECT_EQ(DetailsHeading(kAccountDetails), "Account details");
}

TEST_F(DetailsTest, GroupsCollapseAndExpandKeepingViewHiddenRowsHidden) {
    TDetailsTable t(kAccountDetails);
    t.ReadSpecialRows();
    t.Fill(Summary());
    const int last = t.RowCount() - 1;

    EXPECT_FALSE(t.ToggleGroup(1));
    EXPECT_FALSE(t.ToggleGroup(7));
    EXPECT_TRUE(t.ToggleGroup(0));
    EXPECT_FALSE(t.IsGroupOpen(0));
    EXPECT_EQ(t.Grid().Object(0, 0), kClosedGroupMarker);
    EXPECT_EQ(Hidden(t), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_TRUE(t.ToggleGroup(8));
    EXPECT_EQ(static_cast<int>(Hidden(t).size()), 4 + (last - 8));
    EXPECT_TRUE(t.Grid().RowVisible(8));
    EXPECT_TRUE(t.ToggleGroup(5));
    EXPECT_FALSE(t.Grid().RowVisible(6));
    EXPECT_FALSE(t.Grid().RowVisible(7));

    // Opening again: default height, except the disk limit row that the view section hides.
    EXPECT_TRUE(t.ToggleGroup(0));
    EXPECT_TRUE(t.ToggleGroup(5));
    EXPECT_TRUE(t.ToggleGroup(8));
    EXPECT_EQ(Hidden(t), (std::vector<int>{4}));
    EXPECT_EQ(t.Grid().RowHeight(1), 24);
    EXPECT_EQ(t.Grid().RowHeight(last), 24);
    // The hidden limit still feeds the bar.
    EXPECT_EQ(t.UsageHint(), "Disk limit=1000M, Disk used=172M");

    // Windows keep their own tables: filling another leaves this one alone.
    t.ToggleGroup(0);
    TDetailsTable other(kAccountDetails);
    other.ReadSpecialRows();
    other.Fill(Summary("5M", "10M"));
    EXPECT_FALSE(t.IsGroupOpen(0));
    EXPECT_TRUE(other.IsGroupOpen(0));
    EXPECT_EQ(t.Grid().Cell(1, 3), "172M");
    EXPECT_EQ(other.Usage().Percent(), 50);
}

TEST_F(DetailsTest, ViewConfigurationRules) {
    // Without view sections every named row is removed: only the empty-named rows remain.
    Settings("[ViewSummaryOrder]\na=\nb=domain\nc=\n");
    TDetailsTable t(kAccountDetails);
    t.ReadSpecialRows(); // missing keys read "0": every special row is row 0
    EXPECT_EQ(t.SpecialRows(), (DetailsSpecialRows{0, 0, 0, 0, 0}));
    t.Fill(Summary());
    ASSERT_EQ(t.RowCount(), 2);
    // Row 0 is every header (the third one names it last) and also the password row, whose link is
    // not drawn in a header.
    EXPECT_EQ(t.Grid().Cell(0, 0), "More information");
    EXPECT_EQ(t.Grid().Cell(1, 0), "Change password");
    EXPECT_TRUE(t.IsGroupHeader(0));
    EXPECT_FALSE(t.IsPasswordLink(1, 0));
    EXPECT_TRUE(t.ToggleGroup(0)); // an empty group
    EXPECT_TRUE(Hidden(t).empty());

    Settings("[ViewSummaryOrder]\nh=\n1=domain\n2=nosuch\n3=user\n4=email\n5=ip\nx=\n"
             "[ViewSummary]\ndomain=2\nnosuch=1\nuser=1\nemail=0\nip=-2\nowner=1\n"
             "[ViewSummaryRows]\npswrow=x\ncredrow=\notherrow=5\ndiskusedrow=-1\ndisklimitrow=99\n");
    t.ReadSpecialRows();
    EXPECT_EQ(t.SpecialRows(), (DetailsSpecialRows{7, 5, 5, -1, 99}));
    t.Fill(Summary());
    // nosuch: named but absent, empty value; owner: not named, absent; email: removed; the last
    // row is the third header, so it is dropped.
    EXPECT_EQ(Column(t, 0), (Strings{"Account", "Domain", "nosuch", "User name", "IP address"}));
    EXPECT_EQ(Column(t, 1), (Strings{"", "alice.example.com", "", "alice", "198.51.100.7"}));
    EXPECT_EQ(Hidden(t), (std::vector<int>{4}));
    EXPECT_FALSE(t.IsUsageBar(1, -1));
    EXPECT_EQ(t.Usage().Percent(), 0);
    EXPECT_TRUE(t.ToggleGroup(0));
    EXPECT_EQ(Hidden(t), (std::vector<int>{1, 2, 3, 4}));
    t.ToggleGroup(0);
    EXPECT_EQ(Hidden(t), (std::vector<int>{4}));

    // A reply without a record shows the text panel with the server's message.
    t.Fill("<?xml version=\"1.0\" ?><accountsummary><status>0</status>"
           "<statusmsg>Account does not exist</statusmsg></accountsummary>");
    EXPECT_TRUE(t.ShowsTextPanel());
    EXPECT_EQ(t.PanelText(), "Account does not exist");
    EXPECT_EQ(t.RowCount(), 0);
    t.Fill("");
    EXPECT_EQ(t.PanelText(), "The server did not carry out the request.");
}

TEST_F(DetailsTest, ShippedPackageView) {
    TDetailsTable t(kPackageDetails);
    t.Fill(kPackage);
    ASSERT_FALSE(t.ShowsTextPanel());
    EXPECT_EQ(Column(t, 0), (Strings{"Package name", "Disk quota (MB)", "Bandwidth (MB)", "FTP accounts",
                                     "Databases", "Email accounts", "Mailing lists", "Subdomains",
                                     "Parked domains", "Addon domains", "Shell access", "CGI access",
                                     "Dedicated IP address", "Panel theme", "Feature list", "Language"}));
    EXPECT_EQ(t.DisplayText(1, 10), "No");
    EXPECT_EQ(t.DisplayText(1, 11), "Yes");
    EXPECT_EQ(t.DisplayText(1, 6), "Yes"); // MAXLST 1: shown as the true word
    EXPECT_TRUE(Hidden(t).empty());
    for (int r = 0; r < t.RowCount(); ++r) {
        EXPECT_FALSE(t.IsGroupHeader(r));
        EXPECT_FALSE(t.IsUsageBar(1, r));
        EXPECT_FALSE(t.IsPasswordLink(1, r));
    }
    EXPECT_FALSE(t.ToggleGroup(0));
    EXPECT_EQ(DetailsHeading(kPackageDetails), "Package details");
}

TEST(DiskUsage, NumbersOfTheBar) {
    auto u = MakeDiskUsage("172M", "unlimited");
    EXPECT_FALSE(u.HasLimit()); // no digits: no limit, so no share of one is used up
    EXPECT_EQ(u.Percent(), 0);
    EXPECT_EQ(u.UsedWidth(100), 0);
    EXPECT_EQ(u.limitText, "unlimited");
    u = MakeDiskUsage("2,500M", "1,000M"); // over the limit: clipped to the cell
    EXPECT_DOUBLE_EQ(u.used, 2500);
    EXPECT_EQ(u.UsedWidth(80), 80);
    u = MakeDiskUsage("none", "100M");
    EXPECT_EQ(u.Percent(), 0);
    EXPECT_EQ(u.UsedWidth(-5), 0);
    u = MakeDiskUsage(std::string(5000, '9'), std::string(4000, '9'));
    EXPECT_EQ(u.Percent(), 100);
    EXPECT_EQ(MakeDiskUsage("1M", "3M").UsedWidth(100), 33);
    EXPECT_EQ(SpecialRowNumber(" 12 ", 3), 12);
    EXPECT_EQ(SpecialRowNumber("12a", 3), 3);
    EXPECT_EQ(SpecialRowNumber("99999999999", 3), 3);
}

TEST(SuspendButtons, FollowTheServersAnswer) {
    EXPECT_EQ(ButtonsFor(true), (SuspendButtons{true, false, true}));
    EXPECT_EQ(ButtonsFor(false), (SuspendButtons{false, true, false}));
    // Unsuspending: success makes the account active; a refusal keeps it suspended.
    EXPECT_EQ(ButtonsAfterSuspendReply(true, "1"), ButtonsFor(false));
    EXPECT_EQ(ButtonsAfterSuspendReply(true, "0"), ButtonsFor(true));
    EXPECT_EQ(ButtonsAfterSuspendReply(true, "relogin"), ButtonsFor(true));
    // Suspending.
    EXPECT_EQ(ButtonsAfterSuspendReply(false, "1"), ButtonsFor(true));
    EXPECT_EQ(ButtonsAfterSuspendReply(false, ""), ButtonsFor(false));
    EXPECT_EQ(SuspendFunction(true), "unsuspendacct");
    EXPECT_EQ(SuspendFunction(false), "suspendacct");
}

TEST_F(DetailsTest, AFieldUnderAnotherNameFillsTheRowOfItsShippedName) {
    auto reasonOf = [](const std::string& summary) {
        TDetailsTable t(kAccountDetails);
        t.ReadSpecialRows();
        t.Fill(summary);
        return std::string(t.Grid().Cell(1, 11)); // the "Suspension reason" row
    };
    auto with = [](const std::string& fields) {
        std::string s = Summary();
        const std::string own = "<suspendreason>not suspended</suspendreason>";
        return s.replace(s.find(own), own.size(), fields);
    };
    EXPECT_EQ(reasonOf(with("<suspendedreason>Payment overdue</suspendedreason>")), "Payment overdue");
    // Both present: the row's own name first, unless it is empty.
    EXPECT_EQ(reasonOf(with("<suspendedreason>b</suspendedreason><suspendreason>a</suspendreason>")), "a");
    EXPECT_EQ(reasonOf(with("<suspendreason></suspendreason><suspendedreason>b</suspendedreason>")), "b");
    EXPECT_EQ(reasonOf(with("<suspendedreasonx>c</suspendedreasonx>")), "") << "no look-alike";
    EXPECT_TRUE(IsSameDetailsField("maxparked", "MAXPARK"));
    EXPECT_FALSE(IsSameDetailsField("maxparked", "maxaddons"));
    EXPECT_FALSE(IsSameDetailsField("", "suspendreason"));
}

TEST_F(DetailsTest, UnixTimesShowAsLocalDatesWithTheValueAsHint) {
    const char* zone = std::getenv("TZ");
    const std::string savedZone = zone ? zone : "";
    ::setenv("TZ", "EST5", 1); // five hours behind UTC, all year
    ::tzset();
    std::string ini = SettingsTestFolder::Read(kSourceDir / "data/ParlomarClient.ini");
    ini.replace(ini.find("unix_startdate=0"), 16, "unix_startdate=1");
    Settings(ini);
    TDetailsTable t(kAccountDetails);
    t.ReadSpecialRows();
    auto fill = [&](const std::string& suspendTime) {
        std::string reply = Summary();
        reply.replace(reply.find("<suspendtime></suspendtime>"), 27,
                      "<suspendtime>" + suspendTime + "</suspendtime>");
        t.Fill(reply);
    };
    auto row = [&](const std::string& label) {
        for (int r = 0; r < t.RowCount(); ++r)
            if (t.Grid().Cell(0, r) == label)
                return r;
        return -1;
    };
    fill("1467223711");
    const int unixStart = row("Created (Unix time)"), suspended = row("Suspended since"),
              start = row("Created");
    ASSERT_TRUE(unixStart > 0 && suspended > 0 && start > 0);
    EXPECT_EQ(t.DisplayText(1, unixStart), "January 25, 2025 05:00");
    EXPECT_EQ(t.ValueHint(1, unixStart), "1737799200");
    EXPECT_EQ(t.DisplayText(1, suspended), "June 29, 2016 13:08");
    EXPECT_EQ(t.Grid().Cell(1, suspended), "1467223711"); // the value itself stays as received
    EXPECT_EQ(t.DisplayText(1, start), "25 Jan 01 10:00");
    EXPECT_EQ(t.ValueHint(1, start), "");
    // Values that are no Unix time show as they are, without a hint.
    for (const std::string value : {"12ab", "-5", "0017", "1e9", "99999999999999", ""}) {
        fill(value);
        EXPECT_EQ(t.DisplayText(1, suspended), value);
        EXPECT_EQ(t.ValueHint(1, suspended), "") << value;
    }
    if (zone)
        ::setenv("TZ", savedZone.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
}
