#include "core/settings/SettingsDialog.h"

#include "core/server/HttpTransport.h"
#include "core/settings/IniFile.h"
#include "core/settings/Localization.h"

#include <algorithm>

namespace parlomar {

namespace {

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

std::string Flag(bool value) {
    return value ? "1" : "0";
}

std::string Setting(std::string_view section, std::string_view key) {
    return ReadIniValue(section, key, kSettingsTarget);
}

void AddViewWrites(std::vector<SettingsWrite>& writes, const char* section,
                   const std::vector<ViewCheckBox>& boxes) {
    for (const auto& box : boxes) {
        writes.push_back({section, box.key, Flag(box.checked)});
    }
}

} // namespace

std::vector<ViewCheckBox> BuildViewCheckBoxes(std::string_view viewSection, std::string_view labelSection,
                                              int panelHeight) {
    std::vector<std::string> lines;
    ReadIniSection(viewSection, kSettingsTarget, lines);
    std::vector<ViewCheckBox> boxes;
    int r = 0;
    int c = 0;
    for (const auto& line : lines) {
        std::string key = line.substr(0, line.find('='));
        if (key.empty() || std::any_of(boxes.begin(), boxes.end(),
                                       [&](const ViewCheckBox& b) { return SameIgnoringCase(b.key, key); })) {
            continue;
        }
        // The value as every reader sees it (the first such key, unquoted).
        const std::string value = ReadIniValue(viewSection, key, kSettingsTarget);
        if (value == "2" || value == "-2") {
            continue;
        }
        ViewCheckBox box;
        box.top = kViewBoxStep * r + kViewBoxMargin;
        if (panelHeight - 8 - kViewBoxStep < box.top) {
            r = 0;
            ++c;
            box.top = kViewBoxMargin;
        }
        box.left = kViewColumnStep * c + kViewBoxMargin;
        std::string label = ReadIniValue(labelSection, key, kLanguageTarget);
        box.caption = (label.empty() || label == "0") ? key : std::move(label);
        box.checked = IniFlag(value);
        box.key = std::move(key);
        boxes.push_back(std::move(box));
        ++r;
    }
    return boxes;
}

SettingsDialogValues ReadSettingsDialogValues() {
    SettingsDialogValues v;
    v.useProxy = IniFlag(Setting("Proxy", "Use"));
    v.showTray = IniFlag(Setting("General", "ShowTray"));
    v.taskBar = IniFlag(Setting("General", "TaskBar"));
    v.stayOnTop = IniFlag(Setting("General", "StayOnTop"));
    v.proxyAddr = Setting("Proxy", "Addr");
    v.proxyPort = Setting("Proxy", "Port");
    v.proxyUser = Setting("Proxy", "User");
    v.proxyPassword = Setting("Proxy", "PSW");
    v.untrustedCert = IniFlag(Setting("General", "UntrustedCert"));
    v.socksAddr = Setting("Proxy", "SocksAddr");
    v.socksPort = Setting("Proxy", "SocksPort");
    return v;
}

bool ProxySettingsChanged(const SettingsDialogValues& values) {
    return values.useProxy != IniFlag(Setting("Proxy", "Use")) ||
           values.proxyAddr != Setting("Proxy", "Addr") || values.proxyPort != Setting("Proxy", "Port") ||
           values.proxyUser != Setting("Proxy", "USER") || values.proxyPassword != Setting("Proxy", "PSW");
}

SettingsOkPlan PlanSettingsOk(const SettingsDialogValues& values,
                              const std::vector<ViewCheckBox>& summaryBoxes,
                              const std::vector<ViewCheckBox>& packageBoxes) {
    SettingsOkPlan plan;
    plan.closeConnection = ProxySettingsChanged(values);
    plan.writes = {
        {"Proxy", "Use", Flag(values.useProxy)},
        {"Proxy", "Addr", values.proxyAddr},
        {"Proxy", "SocksAddr", values.socksAddr},
        {"Proxy", "SocksPort", values.socksPort},
        {"Proxy", "Port", values.proxyPort},
        {"Proxy", "USER", values.proxyUser},
        {"Proxy", "PSW", values.proxyPassword},
        {"General", "ShowTray", Flag(values.showTray)},
        {"General", "TaskBar", Flag(values.taskBar)},
        {"General", "StayOnTop", Flag(values.stayOnTop)},
        {"General", "UntrustedCert", Flag(values.untrustedCert)},
    };
    AddViewWrites(plan.writes, "ViewSummary", summaryBoxes);
    AddViewWrites(plan.writes, "ViewPackage", packageBoxes);
    return plan;
}

void ApplySettingsOk(const SettingsOkPlan& plan, const std::function<void()>& closeConnection) {
    if (plan.closeConnection && closeConnection)
        closeConnection();
    for (const auto& write : plan.writes) {
        WriteIniValue(write.section, write.key, write.value, kSettingsTarget);
    }
}

std::string SettingsDialogTitle(std::string_view captionTitle) {
    return StatusText(41) + " - " + std::string(captionTitle);
}

} // namespace parlomar
