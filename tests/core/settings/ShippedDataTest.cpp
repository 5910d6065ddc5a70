// Checks of the shipped language file and default settings file against the program's use of them.

#include "core/accounts/DetailsView.h"
#include "core/settings/IniFile.h"
#include "settings/SettingsTestFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <regex>
#include <set>

using namespace parlomar;
using parlomar::test::SettingsTestFolder;

namespace {

const std::filesystem::path kSourceDir = PARLOMAR_SOURCE_DIR;

std::string LanguageText() {
    return SettingsTestFolder::Read(kSourceDir / "data/Localization/English.lng");
}
std::string SettingsText() {
    return SettingsTestFolder::Read(kSourceDir / "data/ParlomarClient.ini");
}

struct UsedText {
    int number;
    const char* use;
};

// Every status text the program shows, with where it is used.
const UsedText kStatusTexts[] = {
    {0, "status bar: request being sent"},
    {1, "status bar: reply being received, followed by progress dots"},
    {2, "status bar: reply received"},
    {3, "status bar: request failed / list message shown"},
    {4, "status bar: results view reset (sign-in, sign-out)"},
    {5, "status bar: signed in"},
    {6, "status bar: please sign in"},
    {8, "account menu: suspend"},
    {9, "account menu: unsuspend"},
    {10, "server information: version not available"},
    {11, "status bar: credentials refused"},
    {12, "status bar: accounts listed, followed by the count"},
    {15, "main window: create account button"},
    {16, "details: first group header"},
    {17, "status bar: local filter matches, followed by the count"},
    {19, "question: suspend the account <domain>?"},
    {20, "question: unsuspend the account <domain>?"},
    {21, "details: account title"},
    {22, "details: package title"},
    {23, "input dialog: password copied"},
    {24, "details: password row name"},
    {25, "details: password change link"},
    {26, "lists: running number header"},
    {27, "account list: user header"},
    {28, "account list: domain header"},
    {29, "account list: control panel header"},
    {30, "main window: connected hint"},
    {31, "main window: not connected hint"},
    {32, "details: sign-in details group header"},
    {33, "details: other information group header"},
    {34, "input dialog: passwords differ"},
    {35, "main window: search box hint"},
    {36, "editor: title suffix when editing a package"},
    {37, "package list: name header"},
    {38, "package list: quota header"},
    {39, "package list: bandwidth header"},
    {40, "status bar: packages listed, followed by the count"},
    {41, "settings dialog: title"},
    {42, "server information: title"},
    {46, "editor: new package title"},
    {47, "editor: new account title"},
    {48, "details: disk limit hint"},
    {49, "details: disk used hint"},
    {50, "editor: plan list item without a package"},
    {51, "question: delete <noun> <item>?"},
    {52, "noun: package"},
    {53, "noun: account"},
    {54, "message: <noun> <item> has been deleted"},
    {55, "main window: list button after a search"},
    {57, "editor: invalid domain"},
    {58, "account list: control panel hint"},
    {60, "tab: accounts"},
    {61, "tab: packages"},
    {63, "main window: create package button"},
    {64, "filter bar: all"},
    {65, "filter bar and status bar: active"},
    {66, "filter bar and status bar: suspended"},
    {68, "main window: refresh list button"},
    {69, "message: no route traced to <host>! (joined without a blank)"},
    {71, "traceroute title: <text><host> (<address>) (joined without a blank)"},
    {72, "traceroute title suffix"},
    {73, "message: not a host name that can be traced: \"<host>\""},
    {74, "input dialog: empty new password"},
    {80, "skin not used: package missing, followed by its name"},
    {81, "skin not used: package not a ZIP archive, followed by its name"},
    {82, "skin not used: package damaged, followed by its name"},
    {83, "skin not used: package without its settings file, followed by its name"},
    {100, "account menu, several rows: suspend %1 accounts"},
    {101, "account menu, several rows: unsuspend %1 accounts"},
    {102, "account menu, several rows: delete %1 accounts"},
    {103, "question: suspend %1 accounts?"},
    {104, "question: unsuspend %1 accounts?"},
    {105, "question: delete %1 accounts?"},
    {106, "question: and %1 more (names)"},
    {107, "question: %1 suspended already, skipped"},
    {108, "question: %1 active already, skipped"},
    {109, "several accounts: heading, suspend"},
    {110, "several accounts: heading, unsuspend"},
    {111, "several accounts: heading, delete"},
    {112, "several accounts: progress %1 of %2"},
    {113, "several accounts: outcome done"},
    {114, "several accounts: outcome skipped (suspended)"},
    {115, "several accounts: outcome skipped (active)"},
    {116, "several accounts: outcome refused: %1"},
    {117, "several accounts: outcome failed: %1"},
    {118, "several accounts: outcome not sent"},
    {119, "several accounts: summary counts"},
    {120, "several accounts: outcome heading"},
    {121, "several accounts: progress while stopping"},
    {122, "status bar: %1 rows written to %2 (export)"},
    {130, "message: the activity log could not be written, followed by why"},
};

// Every error text: transport statuses 1-10, program codes 11 (general failure) and 12 (no account),
// and the transport's platform error numbers.
const UsedText kErrorTexts[] = {
    {1, "certificate question declined"},
    {2, "request not opened or aborted"},
    {3, "connection not opened or aborted"},
    {4, "request not completed"},
    {5, "empty search box"},
    {6, "host part too short"},
    {7, "path part too short"},
    {8, "proxy text too short"},
    {9, "proxy without port"},
    {10, "scheme neither https nor http"},
    {11, "request answered without success; fallback text"},
    {12, "account list reply holds no account"},
    {14, "changing request refused on a read-only server"},
    {12002, "time-out"},
    {12004, "any other transport failure"},
    {12007, "name not resolved"},
    {12029, "cannot connect"},
    {12030, "connection aborted"},
    {12031, "connection reset"},
    {12037, "certificate date invalid"},
    {12038, "certificate name invalid"},
    {12045, "untrusted certificate"},
    {12152, "invalid server response"},
    {12157, "secure channel failure"},
};

// Numbers passed as literals to StatusText(...) and ErrorText(...) anywhere in the sources.
std::map<std::string, std::set<int>> NumbersUsedInSources() {
    std::map<std::string, std::set<int>> used;
    const std::regex call(R"(\b(StatusText|ErrorText)\s*\(\s*([0-9]+)\s*\))");
    for (auto& entry : std::filesystem::recursive_directory_iterator(kSourceDir / "src")) {
        auto ext = entry.path().extension();
        if (!entry.is_regular_file() || (ext != ".cpp" && ext != ".h")) {
            continue;
        }
        auto text = SettingsTestFolder::Read(entry.path());
        for (std::sregex_iterator it(text.begin(), text.end(), call), end; it != end; ++it) {
            used[(*it)[1]].insert(std::stoi((*it)[2]));
        }
    }
    return used;
}

bool IsText(const std::optional<std::string>& value) {
    return value && value->size() >= 2 && *value != "0";
}

// The field names of an order section, in row order (empty for an empty row).
std::vector<std::string> OrderNames(const std::string& ini, const char* section) {
    std::vector<std::string> names;
    for (auto& line : IniSectionLines(ini, section)) {
        names.push_back(line.substr(line.find('=') + 1));
    }
    return names;
}

// The rows the details window keeps: rows with an empty name, and rows whose view value is 1, 2 or
// -2 (as read, after the operator may have changed switchable values to `switched`).
std::vector<std::string> VisibleRows(const std::string& ini, const std::vector<std::string>& names,
                                     const char* viewSection, const char* switched) {
    std::vector<std::string> rows;
    for (auto& name : names) {
        std::string view = name.empty() ? "" : IniLookup(ini, viewSection, name);
        if (*switched != '\0' && (view == "1" || view == "0")) {
            view = switched;
        }
        if (name.empty() || view == "1" || view == "2" || view == "-2") {
            rows.push_back(name);
        }
    }
    return rows;
}

} // namespace

TEST(ShippedLanguageFile, HoldsEveryUsedStatusAndErrorText) {
    const auto lng = LanguageText();
    std::set<int> statusListed;
    std::set<int> errorListed;
    for (auto& t : kStatusTexts) {
        statusListed.insert(t.number);
        EXPECT_TRUE(IsText(IniFindValue(lng, "StatusList", "Sta" + std::to_string(t.number))))
            << "status text " << t.number << " (" << t.use << ")";
    }
    for (auto& t : kErrorTexts) {
        errorListed.insert(t.number);
        EXPECT_TRUE(IsText(IniFindValue(lng, "ErrorMess", "Err" + std::to_string(t.number))))
            << "error text " << t.number << " (" << t.use << ")";
    }
    // Texts joined to a name without a blank must end with one (kept by the quotes).
    for (int n : {69, 71, 73}) {
        auto text = IniLookup(lng, "StatusList", "Sta" + std::to_string(n));
        EXPECT_TRUE(!text.empty() && text.back() == ' ') << "status text " << n;
    }

    auto used = NumbersUsedInSources();
    for (int n : used["StatusText"]) {
        EXPECT_TRUE(IsText(IniFindValue(lng, "StatusList", "Sta" + std::to_string(n))))
            << "StatusText(" << n << ") is used in src but has no text";
        EXPECT_TRUE(statusListed.count(n))
            << "StatusText(" << n << ") is used in src; add it to kStatusTexts";
    }
    for (int n : used["ErrorText"]) {
        EXPECT_TRUE(IsText(IniFindValue(lng, "ErrorMess", "Err" + std::to_string(n))))
            << "ErrorText(" << n << ") is used in src but has no text";
    }

    EXPECT_EQ(IniLookup(lng, "APPLICATION", "NAME"), "ParlomarClient");
    EXPECT_EQ(IniLookup(lng, "BoolList", "Bool0"), "No");
    EXPECT_EQ(IniLookup(lng, "BoolList", "Bool1"), "Yes");
}

TEST(ShippedLanguageFile, ReplacesTheMisspeltBuiltInCaptions) {
    const auto lng = LanguageText();
    // Built-in captions that read badly, each with the window section and component that show it.
    const struct {
        const char* section;
        const char* key;
        const char* builtIn;
    } misspelt[] = {
        {"AddForm", "Bwlimit1ditLabel", "Alowed bandwith"},
        {"AddForm", "Quota1ditLabel", "Disk space quota,MB"},
        {"AddForm", "QuotaEditLabel", "Disk space quota,MB"},
        {"AddForm", "MaxListsEditLabel", "maxlists"},
        {"CustForm", "ProxyAdrLabel", "Http/Https proxy adress"},
        {"CustForm", "Label2", "Socks 5  proxy adress"},
        {"CustForm", "InstalledSkinsLabel", "Inslalled skins"},
        {"InputForm", "Val1Label", "Enter new band width (in megabytes)"},
        {"AboutForm", "AboutLabel", "Parlomar Client for Windows"},
    };
    for (auto& m : misspelt) {
        const auto value = IniFindValue(lng, m.section, m.key);
        EXPECT_TRUE(IsText(value) && value->size() <= 50)
            << m.section << "/" << m.key << " replaces " << m.builtIn;
    }
    for (const char* wrong :
         {"Alowed", "bandwith", "adress", "band width", "  ", ",MB", "Inslalled", "for Windows"}) {
        EXPECT_EQ(lng.find(wrong), std::string::npos) << wrong;
    }
}

TEST(ShippedSettingsFile, GeneralValues) {
    const auto ini = SettingsText();
    EXPECT_EQ(IniLookup(ini, "General", "StayOnTop"), "0");
    EXPECT_EQ(IniLookup(ini, "General", "ShowTray"), "1");
    EXPECT_EQ(IniLookup(ini, "General", "TaskBar"), "1");
    EXPECT_EQ(IniLookup(ini, "General", "UntrustedCert"), "1");
    EXPECT_EQ(IniLookup(ini, "Proxy", "Use"), "0");
    EXPECT_EQ(IniLookup(ini, "SKINS", "Current"), "\\1");
}

TEST(ShippedSettingsFile, ViewSectionsAreConsistentWithRecordsAndLabels) {
    const auto ini = SettingsText();
    const auto lng = LanguageText();
    struct Kind {
        const char* order;
        const char* view;
        const char* labels;
        std::vector<std::string> record; // the elements the stand-in server sends, in reply order
    };
    const Kind kinds[] = {
        {"ViewSummaryOrder",
         "ViewSummary",
         "Details",
         {"user",   "domain", "suspended",       "diskused",    "disklimit", "email",
          "ip",     "owner",  "partition",       "plan",        "startdate", "unix_startdate",
          "theme",  "shell",  "suspendedreason", "suspendtime", "maxftp",    "maxsql",
          "maxpop", "maxlst", "maxsub",          "maxparked",   "maxaddons"}},
        {"ViewpackageOrder",
         "ViewPackage",
         "Package",
         {"name", "QUOTA", "BWLIMIT", "CGI", "CPMOD", "FEATURELIST", "FRONTPAGE", "HASSHELL", "IP", "LANG",
          "MAXADDON", "MAXFTP", "MAXLST", "MAXPARK", "MAXPOP", "MAXSQL", "MAXSUB"}},
    };
    for (auto& kind : kinds) {
        SCOPED_TRACE(kind.order);
        auto names = OrderNames(ini, kind.order);
        std::set<std::string> named;
        for (auto& name : names) {
            if (name.empty()) {
                continue;
            }
            EXPECT_TRUE(named.insert(name).second) << name << " is named twice";
            auto view = IniFindValue(ini, kind.view, name);
            EXPECT_TRUE(view && (*view == "1" || *view == "0" || *view == "2" || *view == "-2"))
                << name << " has no view value";
            EXPECT_TRUE(IsText(IniFindValue(lng, kind.labels, name))) << name << " has no label";
            EXPECT_TRUE(std::any_of(kind.record.begin(), kind.record.end(),
                                    [&](const std::string& tag) { return IsSameDetailsField(name, tag); }))
                << name << " is not in the record";
        }
        for (auto& field : kind.record) {
            EXPECT_TRUE(std::any_of(named.begin(), named.end(),
                                    [&](const std::string& row) { return IsSameDetailsField(row, field); }))
                << field << " has no row";
        }
        for (auto& line : IniSectionLines(ini, kind.view)) {
            EXPECT_TRUE(named.count(line.substr(0, line.find('=')))) << line << " names no row";
        }
    }
}

TEST(ShippedSettingsFile, SpecialRowsPointAtTheirRowsWhateverTheOperatorSwitches) {
    const auto ini = SettingsText();
    auto names = OrderNames(ini, "ViewSummaryOrder");
    auto row = [&](const char* key) { return std::stoi(IniLookup(ini, "ViewSummaryRows", key)); };
    const int psw = row("pswrow"), cred = row("credrow"), other = row("otherrow");
    const int used = row("diskusedrow"), limit = row("disklimitrow");
    EXPECT_TRUE(0 < used && used < cred && 0 < limit && limit < cred);
    EXPECT_TRUE(cred < psw && psw < other);

    // As shipped, with every switchable row switched off, and with every one switched on.
    for (const char* switched : {"", "0", "1"}) {
        SCOPED_TRACE(std::string("switchable rows: ") + switched);
        auto rows = VisibleRows(ini, names, "ViewSummary", switched);
        ASSERT_GT(static_cast<int>(rows.size()), other);
        EXPECT_EQ(rows[0], "");     // first group header
        EXPECT_EQ(rows[cred], "");  // second group header
        EXPECT_EQ(rows[psw], "");   // password change row
        EXPECT_EQ(rows[other], ""); // third group header
        EXPECT_EQ(rows[used], "diskused");
        EXPECT_EQ(rows[limit], "disklimit");
        EXPECT_EQ(IniLookup(ini, "ViewSummary", "disklimit"), "-2");
        // No empty row apart from the four special ones.
        EXPECT_EQ(std::count(rows.begin(), rows.end(), ""), 4);
        // Every row above the third header is fixed (2 or -2), so switching never moves them.
        for (int i = 0; i < other; ++i) {
            if (!rows[i].empty()) {
                auto view = IniLookup(ini, "ViewSummary", rows[i]);
                EXPECT_TRUE(view == "2" || view == "-2") << rows[i];
            }
        }
    }
}
