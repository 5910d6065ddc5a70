#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace parlomar {

// The settings dialog ("CustForm") without its widgets: the view page's check boxes as built from
// the settings file, the values the General and Proxy pages show, and what OK writes.

// Pages, in the order of the page list.
inline constexpr int kGeneralPage = 0;
inline constexpr int kProxyPage = 1;
inline constexpr int kViewPage = 2;
inline constexpr int kSkinsPage = 3;

// Layout of the view check boxes inside their panel: a column holds as many boxes as fit above the
// panel's bottom margin, further columns are 120 pixels to the right.
inline constexpr int kViewBoxMargin = 4;
inline constexpr int kViewBoxStep = 20;
inline constexpr int kViewColumnStep = 120;

struct ViewCheckBox {
    std::string key;     // the field name: the view section's key and the box's name
    std::string caption; // its label from the language file, else the key
    bool checked = false;
    int left = 0; // position inside the panel
    int top = 0;
    friend bool operator==(const ViewCheckBox&, const ViewCheckBox&) = default;
};

// One box per key of the view section (settings file) in file order whose value is neither "2" nor
// "-2" (those rows cannot be switched); ticked when the value is a non-zero number. A key that
// occurs again (in any letter case) is offered once, as a reader sees it: the first one.
std::vector<ViewCheckBox> BuildViewCheckBoxes(std::string_view viewSection, std::string_view labelSection,
                                              int panelHeight);
// The account view's boxes (ViewSummary, labels from Details) and the package view's (ViewPackage,
// labels from Package).
inline std::vector<ViewCheckBox> SummaryViewCheckBoxes(int panelHeight) {
    return BuildViewCheckBoxes("ViewSummary", "Details", panelHeight);
}
inline std::vector<ViewCheckBox> PackageViewCheckBoxes(int panelHeight) {
    return BuildViewCheckBoxes("ViewPackage", "Package", panelHeight);
}

// What the General and Proxy pages show and edit. Texts are shown as read ("0" for a missing key);
// proxyPassword is the enciphered form, as stored.
struct SettingsDialogValues {
    bool useProxy = false;
    std::string proxyAddr;
    std::string proxyPort;
    std::string proxyUser;
    std::string proxyPassword;
    std::string socksAddr;
    std::string socksPort;
    bool showTray = false;
    bool taskBar = false;
    bool stayOnTop = false;
    bool untrustedCert = false;
    friend bool operator==(const SettingsDialogValues&, const SettingsDialogValues&) = default;
};
SettingsDialogValues ReadSettingsDialogValues();

// True when a setting the shared connection was opened with differs from the settings file: the
// proxy flag, address, port, user or enciphered password.
bool ProxySettingsChanged(const SettingsDialogValues& values);

struct SettingsWrite {
    std::string section;
    std::string key;
    std::string value;
    friend bool operator==(const SettingsWrite&, const SettingsWrite&) = default;
};
struct SettingsOkPlan {
    bool closeConnection = false;
    std::vector<SettingsWrite> writes; // in the order they are made
};

// What OK does: closes the shared connection when a proxy setting changed; then writes Proxy Use,
// Addr, SocksAddr, SocksPort, Port, USER, PSW, General ShowTray, TaskBar, StayOnTop, UntrustedCert,
// then every offered ViewSummary box, then every offered ViewPackage box ("1" ticked, "0" not).
SettingsOkPlan PlanSettingsOk(const SettingsDialogValues& values,
                              const std::vector<ViewCheckBox>& summaryBoxes,
                              const std::vector<ViewCheckBox>& packageBoxes);
// Carries the plan out. A write that fails throws Error("Unable to write to <file>"): the writes
// before it stay made, the ones after it are not made, and the window stays open.
void ApplySettingsOk(const SettingsOkPlan& plan, const std::function<void()>& closeConnection =
                                                     nullptr /* the session's CloseConnection */);

// The dialog's title: status text 41 + " - " + the title from the language file.
std::string SettingsDialogTitle(std::string_view captionTitle);

} // namespace parlomar
