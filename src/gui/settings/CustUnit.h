#pragma once

#include "core/server/ServerSession.h"
#include "core/settings/SettingsDialog.h"
#include "gui/skins/SkinnedForm.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QListWidgetItem;
class QModelIndex;
class QPainter;
class QStyleOptionViewItem;

namespace parlomar {

class TBitCheckBox;
class TButtonEdit;
class TImage;
class TLabel;
class TListBox;
class TMemo;
class TPanel;
class TSkinButton;

// What the settings dialog changes on the main window at once. The opener fills these in.
struct CustCalls {
    std::function<void(bool)> showTray;
    std::function<void(bool)> showTaskBarButton;
    std::function<void(bool)> stayOnTop;
    // A skin was chosen or skins were switched off (CurrentSkin holds the new choice).
    std::function<void()> skinChanged;
};

// The modal settings dialog ("CustForm"): General, Proxy, View and Skins pages chosen in the list on
// the left. OK writes everything (closing the shared connection only when a proxy setting changed);
// Cancel and Escape write nothing. Tray, taskbar, always-on-top and the skin act at once.
class TCustForm : public TSkinnedForm {
    Q_OBJECT
public:
    explicit TCustForm(QWidget* owner = nullptr, int page = kGeneralPage);

    int CurrentPage = kGeneralPage;
    CustCalls Calls;
    // The current sign-in: a changed proxy setting closes its connection (the next request opens one
    // with the new setting).
    SessionPtr Session;
    // The proxy password as stored: the enciphered form.
    std::string EncipheredProxyPassword;

    TListBox* CustListBox;
    TPanel *GeneralPanel, *NetworkPanel, *ViewPanel, *OkCancelPanel;
    TLabel *Generallabel, *NetworkLabel, *Label1;
    TBitCheckBox *TrayCheck, *TaskBarCheck, *OnTopCheck, *CertCheck, *ProxyCheck;
    TLabel *ProxyAdrLabel, *ProxyPortLabel, *ProxyUserLabel, *ProxyPswLabel, *Label2, *Label3;
    TButtonEdit *ProxyAdrEdit, *ProxyPortEdit, *ProxyUserEdit, *ProxyPSWEdit, *SocksProxyAddrEdit,
        *SocksProxyPortEdit;
    TLabel *LimitDomainViewLabel, *LimitPackageViewLabel;
    TPanel *CheckBoxPanel1, *CheckBoxPanel2;
    TPanel* SkinsPanel;
    TLabel *SkinsLabel, *InstalledSkinsLabel, *CurSkinInfoLabel;
    TBitCheckBox* EnableSkinsCheck;
    TListBox* SkinsCombo; // one item per package; the item's data is the skin name
    TMemo* SkinInfoMemo;
    TSkinButton *OKButton, *CancelButton;
    TImage* FooterImage;

    // The view check boxes of a panel, in creation order.
    QList<TBitCheckBox*> ViewBoxes(TPanel* panel) const;

    void FormShow();
    void CustListBoxClick(int page);
    void ProxyCheckClick();
    // The immediate actions: tray icon, taskbar button, stay on top.
    void TrayCheckClick();
    void TaskBarCheckClick();
    void OnTopCheckClick();
    // The typed proxy password becomes the stored (enciphered) one.
    void ProxyPSWEditChange();
    void OKButtonClick();
    void CancelButtonClick();
    // The skin of the selected item becomes the active skin at once (written to the settings).
    void SkinsComboClick();
    // Skins on (the package the settings name, else the first usable one of the list) or off.
    void EnableSkinsCheckClick();
    // One row of the list of skins.
    void SkinsComboDrawItem(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const;

    // The designed width; the dialog is wider when the view boxes' captions need it (FitViewPage).
    static constexpr int kClientWidth = 522;
    static constexpr int kClientHeight = 405;

protected:
    bool FormKeyDown(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // A key typed into a proxy edit passes its filter (true: the key is swallowed); no value when
    // the object is none of the proxy edits.
    std::optional<bool> NetworkEditKeyDown(QObject* watched, QKeyEvent* key);
    void BuildViewBoxes(TPanel* panel, const std::vector<ViewCheckBox>& boxes);
    void BuildSkinsPage();
    // The packages of the skins folder, the current one selected; the information of the current.
    void FillSkinsList();
    QListWidgetItem* FirstUsableSkin() const;
    // The window's look after a skin change: skin, frame, view boxes and proxy fields.
    void ApplyDialogSkin();
    void RestyleViewBoxes();
    // The widest caption of each column of a panel's view boxes.
    std::vector<int> ViewColumnWidths(TPanel* panel) const;
    // Places the view boxes' columns by their captions and sizes the pages and the dialog to them.
    void FitViewPage();
    std::vector<ViewCheckBox> ViewBoxValues(TPanel* panel) const;
    SettingsDialogValues Values() const;
    bool shown_ = false;
    // The check boxes as wide as their page.
    QList<TBitCheckBox*> pageWide_;
};

} // namespace parlomar
