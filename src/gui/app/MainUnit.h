#pragma once

#include "accounts/KeyFilters.h"
#include "server/GetXMLThreadUnit.h"
#include "skins/SkinnedForm.h"

#include <QList>
#include <QPixmap>

#include <cstdint>
#include <memory>
#include <string>

class QLabel;
class QMenu;
class QStatusBar;
class QSystemTrayIcon;
class QTabBar;
class QTimer;
class QWidget;

namespace parlomar {

class TBitCheckBox;
class TButtonEdit;
class TEdit;
class TImage;
class TLabel;
class TMenuItem;
class TPanel;
class TShape;
class TSkinButton;
class TToolButton;

// The main window: the sign-in panel while signed out, the results area afterwards, the menu strip,
// the status display and the tray icon. It owns the sign-in state and the stored list replies.
class TParlomarClientMainForm : public TSkinnedForm {
    Q_OBJECT
public:
    explicit TParlomarClientMainForm(QWidget* parent = nullptr);
    ~TParlomarClientMainForm() override;

    // Shows the window the way the settings say (taskbar button), then the window itself.
    void ShowMainWindow();

    // ---- Operations used by other parts of the program ----
    // Status text n, a blank and the suffix into slot 0; slots 1 and 2 cleared.
    void ShowRequestStatus(int n, const std::string& suffix);
    // A status slot's text (0 general, 1 list count, 2 selected domain).
    QString StatusSlot(int slot) const;
    void SetStatusSlot(int slot, const QString& text);
    void ShowListMessage(int code);
    void LockListControls();
    void UnlockListControls();
    void LayoutResults();
    void StartListFetch(const std::string& url, std::uint8_t kind);
    void OpenSettings(int page);

    // ---- Sign-in ----
    void SignIn();
    void SignOut();
    void ReturnToSignIn();
    void ResetResultsView();
    void LoginButtonClick();
    void Signout1Click();
    bool SignedIn() const { return signedIn_; }
    bool RequestRunning() const { return requestRunning_; }
    bool FetchRunning() const { return fetch_ != nullptr; }

    // ---- Window-level commands ----
    void Alwaysontop1Click();
    void About1Click();
    void Exit1Click();
    void Open1Click();
    void Savecaptions1Click();
    bool TrayIconShown() const;
    bool ExitRequested() const { return exitRequested_; }

    std::uint8_t ListMode = 0;
    std::string AccountListReply; // the stored reply of the last listaccts
    std::string PackageListReply; // the stored reply of the last listpkgs

    // Controls (component names are their member names).
    TImage* TitlePicture;
    TPanel* MenuPanel;
    TImage *GrayDotImage, *GreenDotImage;
    TLabel *ServerLabel, *SignOutLabel;
    QWidget* MenuBar;
    TToolButton *ServerButton, *SettingsButton, *HelpButton;
    TPanel* SearchPanel;
    TButtonEdit* QueryEdit;
    TPanel* ResultsPanel;
    TShape* ResultShape;
    TPanel* MessPanel;
    TLabel* MessLabel;
    TPanel* FilterPanel;
    TSkinButton *GetListButton, *AddButton;
    QTabBar* TabSet;
    QWidget* TabsPaintBox;
    TPanel* LoginPanel;
    TShape* LoginShape;
    TLabel *IPLabel, *PortLabel, *Label1, *Label2;
    TEdit *IPEdit, *PortEdit, *LoginEdit, *PswEdit;
    TBitCheckBox* RememberCheck;
    TSkinButton* LoginButton;
    TImage *StatusImage, *StatusIconImage;
    TLabel *StatusLabel1, *StatusLabel2;
    QStatusBar* StatusBar;
    QLabel* StatusPanels[3];
    QSystemTrayIcon* TrayIcon;
    QMenu *PopupMenu, *ServerMenu, *HelpMenu;
    TMenuItem *Open1, *Alwaysontop1, *Settings1, *Signout1, *About1, *Exit1, *Saveskinattributes1,
        *Savecaptions1;
    TMenuItem *Viewserverinformation1, *Listaccounts1, *Createaccounts1, *Listpakages1, *Createpackage1,
        *est1;
    TMenuItem* About2;
    QTimer* Timer;
    QList<QPixmap> CheckBoxImageList;

    // The window's minimum size at this screen's resolution.
    static QSize MinimumWindowSize(double dotsPerInch);

protected:
    bool FormKeyDown(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    void FormDestroy();
    void BuildMenus();
    void BuildMenuPanel();
    void BuildLoginPanel();
    void BuildResultsArea();
    void BuildStatusDisplay();
    void FetchDone(std::uint8_t kind, const HttpReply& reply);
    void UpdateSignInValues();
    bool FilterKey(TEdit* edit, QKeyEvent* event, KeyFilterResult (*filter)(int));
    void Report(const char* line) const;

    bool exitRequested_ = false;
    bool destroyed_ = false;
    bool signedIn_ = false;
    bool requestRunning_ = false;
    bool formShown_ = false;
    std::unique_ptr<TGetXMLThread> fetch_;
};

} // namespace parlomar
