#include "core/settings/SettingsDialog.h"

#include "core/Error.h"
#include "core/settings/IniFile.h"
#include "core/settings/Paths.h"
#include "settings/SettingsTestFolder.h"

#include <gtest/gtest.h>

using namespace parlomar;
using parlomar::test::SettingsTestFolder;

namespace {

const std::filesystem::path kSourceDir = PARLOMAR_SOURCE_DIR;

class SettingsDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        SettingsTestFolder::Write(LanguageFile(),
                                  SettingsTestFolder::Read(kSourceDir / "data/Localization/English.lng"));
    }
    void Settings(std::string_view text) { SettingsTestFolder::Write(SettingsFile(), text); }
    void ShippedSettings() { Settings(SettingsTestFolder::Read(kSourceDir / "data/ParlomarClient.ini")); }

    SettingsTestFolder folder_;
};

std::vector<std::string> Keys(const std::vector<ViewCheckBox>& boxes) {
    std::vector<std::string> keys;
    for (const auto& b : boxes) {
        keys.push_back(b.key);
    }
    return keys;
}

using Strings = std::vector<std::string>;

} // namespace

TEST_F(SettingsDialogTest, ViewPageOffersTheSwitchableRowsOfTheShippedFile) {
    ShippedSettings();
    const auto summary = SummaryViewCheckBoxes(73);
    EXPECT_EQ(Keys(summary), (Strings{"email", "suspended", "suspendreason", "suspendtime", "ip", "owner",
                                      "startdate", "unix_startdate", "partition", "theme", "shell", "maxftp",
                                      "maxsql", "maxpop", "maxlst", "maxsub", "maxparked", "maxaddons"}));
    EXPECT_EQ(summary[0], (ViewCheckBox{"email", "Contact email", true, 4, 4}));
    EXPECT_EQ(summary[7], (ViewCheckBox{"unix_startdate", "Created (Unix time)", false, 244, 24}));
    EXPECT_EQ(summary[17].left, 5 * 120 + 4);
    EXPECT_EQ(summary[17].top, 44);

    const auto package = PackageViewCheckBoxes(300);
    ASSERT_EQ(package.size(), 16u); // every field but the name (2)
    EXPECT_EQ(package[0], (ViewCheckBox{"QUOTA", "Disk quota (MB)", true, 4, 4}));
    const auto frontpage = package[11];
    EXPECT_EQ(frontpage.key, "FRONTPAGE");
    EXPECT_FALSE(frontpage.checked);
    // 300 - 28 = 272: tops 4 .. 264 fit, 14 boxes per column.
    EXPECT_EQ(package[13].top, 264);
    EXPECT_EQ(package[14].left, 124);
    EXPECT_EQ(package[14].top, 4);
}

TEST_F(SettingsDialogTest, ViewBoxesLayoutCaptionsAndOddSections) {
    Settings("[ViewSummary]\ndomain=1\nip=2\nemail=0\nDomain=0\nowner=\"1\"\nfixed=-2\nweird=x\n=1\n"
             "[ViewPackage]\n");
    const auto boxes = SummaryViewCheckBoxes(73);
    // The second "Domain" is the same key as "domain": offered once, as it reads.
    EXPECT_EQ(Keys(boxes), (Strings{"domain", "email", "owner", "weird"}));
    EXPECT_TRUE(boxes[0].checked);
    EXPECT_EQ(boxes[0].caption, "Domain");
    EXPECT_FALSE(boxes[1].checked);
    EXPECT_TRUE(boxes[2].checked);        // quoted value, read unquoted
    EXPECT_EQ(boxes[3].caption, "weird"); // no label: the key
    EXPECT_FALSE(boxes[3].checked);
    EXPECT_TRUE(PackageViewCheckBoxes(73).empty());

    // Eleven boxes in a panel 73 high: columns of three, tops 4, 24, 44, 120 pixels apart.
    std::string eleven = "[ViewPackage]\n";
    for (int i = 0; i < 11; ++i) {
        eleven += "k" + std::to_string(i) + "=1\n";
    }
    Settings(eleven);
    const auto laid = PackageViewCheckBoxes(73);
    ASSERT_EQ(laid.size(), 11u);
    for (size_t i = 0; i < laid.size(); ++i) {
        EXPECT_EQ(laid[i].top, 4 + 20 * static_cast<int>(i % 3)) << i;
        EXPECT_EQ(laid[i].left, 4 + 120 * static_cast<int>(i / 3)) << i;
    }
    // A panel too low for even one box still gives every box a place.
    const auto tiny = PackageViewCheckBoxes(0);
    EXPECT_EQ(tiny[0].left, 4 + 120);
    EXPECT_EQ(tiny[10].left, 4 + 120 * 11);
}

TEST_F(SettingsDialogTest, OkWritesInOrderAndClosesTheConnectionOnlyForProxyChanges) {
    Settings("[General]\nShowTray=1\nTaskBar=1\nStayOnTop=0\nUntrustedCert=1\n"
             "[proxy]\nuse=0\nAddr=\nPort=\nSocksAddr=\n"
             "[ViewSummary]\ndomain=1\nip=2\nemail=0\n");
    auto values = ReadSettingsDialogValues();
    EXPECT_TRUE(values.showTray);
    EXPECT_FALSE(values.stayOnTop);
    EXPECT_EQ(values.proxyAddr, "");
    EXPECT_EQ(values.proxyUser, "0"); // missing keys show as read
    EXPECT_EQ(values.socksPort, "0");
    auto boxes = SummaryViewCheckBoxes(73);
    ASSERT_EQ(Keys(boxes), (Strings{"domain", "email"}));

    // Unchanged: nothing to close; every value written back as it was.
    auto plan = PlanSettingsOk(values, boxes, {});
    EXPECT_FALSE(plan.closeConnection);
    ASSERT_EQ(plan.writes.size(), 13u);
    const Strings order{"Use",      "Addr",    "SocksAddr", "SocksPort",     "Port",   "USER", "PSW",
                        "ShowTray", "TaskBar", "StayOnTop", "UntrustedCert", "domain", "email"};
    for (size_t i = 0; i < order.size(); ++i) {
        EXPECT_EQ(plan.writes[i].key, order[i]);
    }
    EXPECT_EQ(plan.writes[0], (SettingsWrite{"Proxy", "Use", "0"}));
    EXPECT_EQ(plan.writes[11], (SettingsWrite{"ViewSummary", "domain", "1"}));
    int closes = 0;
    ApplySettingsOk(plan, [&] { ++closes; });
    EXPECT_EQ(closes, 0);
    EXPECT_EQ(ReadIniValue("ViewSummary", "domain", kSettingsTarget), "1");
    EXPECT_EQ(ReadIniValue("ViewSummary", "ip", kSettingsTarget), "2");
    EXPECT_EQ(ReadIniValue("ViewSummary", "email", kSettingsTarget), "0");
    EXPECT_EQ(ReadSettingsDialogValues(), values);

    // Non-proxy changes do not close the connection; each proxy setting does.
    values.showTray = false;
    values.socksAddr = "socks.example";
    EXPECT_FALSE(PlanSettingsOk(values, boxes, {}).closeConnection);
    for (int change = 0; change < 5; ++change) {
        auto changed = ReadSettingsDialogValues();
        switch (change) {
        case 0:
            changed.useProxy = true;
            break;
        case 1:
            changed.proxyAddr = "proxy.example";
            break;
        case 2:
            changed.proxyPort = "3128";
            break;
        case 3:
            changed.proxyUser = "me";
            break;
        default:
            changed.proxyPassword = "c2VjcmV0";
            break;
        }
        EXPECT_TRUE(PlanSettingsOk(changed, {}, {}).closeConnection) << change;
    }

    boxes[1].checked = true;
    values.useProxy = true;
    values.proxyAddr = "127.0.0.1";
    ApplySettingsOk(PlanSettingsOk(values, boxes, {}), [&] { ++closes; });
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(ReadSettingsDialogValues(), values);
    EXPECT_EQ(ReadIniValue("ViewSummary", "email", kSettingsTarget), "1");
    EXPECT_FALSE(ProxySettingsChanged(values));
}

TEST_F(SettingsDialogTest, AFailedWriteStopsOk) {
    // A folder in place of the settings file cannot be replaced, even by root.
    std::filesystem::create_directories(SettingsFile());
    auto plan = PlanSettingsOk(SettingsDialogValues{}, {}, {});
    int closes = 0;
    try {
        ApplySettingsOk(plan, [&] { ++closes; });
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + SettingsFile().string());
    }
    EXPECT_EQ(closes, 1); // the proxy texts differ from the missing ones ("0")
    EXPECT_TRUE(std::filesystem::is_directory(SettingsFile()));
}

TEST_F(SettingsDialogTest, Title) {
    EXPECT_EQ(SettingsDialogTitle("Options"), "Settings - Options");
}
