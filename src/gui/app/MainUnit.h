#pragma once

#include "core/accounts/AccountList.h"
#include "core/accounts/BulkRun.h"
#include "core/accounts/KeyFilters.h"
#include "core/server/GetXMLThreadUnit.h"
#include "core/settings/SavedServers.h"
#include "gui/app/AsyncRequest.h"
#include "gui/skins/SkinnedForm.h"
#include "gui/tools/TracertThreadUnit.h"

#include <QList>
#include <QPixmap>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QPoint;
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
class TImageList;
class TLabel;
class TMenuItem;
class TPanel;
class TFilterPaintBox;
class TActivityForm;
class TFindAllForm;
class TInputForm;
class TServerList;
class TShape;
class TSkinButton;
class TSkinedStringGrid;
class TTabsPaintBox;
class TBulkForm;
class TToolButton;
class TTracertForm;
class TTraceController;
class TSessionController;
class TListController;
class TBulkController;

// The main window: the sign-in panel while signed out, the results area afterwards, the menu strip,
// the status display and the tray icon. It owns the sign-in state and the stored list replies.
class TParlomarClientMainForm : public TSkinnedForm {
    Q_OBJECT
public:
    explicit TParlomarClientMainForm(QWidget* parent = nullptr);
    ~TParlomarClientMainForm() override;

    // Shows the window the way the settings say (taskbar button), then the window itself.
    void ShowMainWindow();
    // A second start of the program asked for the window: shown (from the tray or minimised),
    // raised and made active.
    void BringToFront();

    // ---- Operations used by other parts of the program ----
    // Status text n, a blank and the suffix into slot 0; slots 1 and 2 cleared.
    void ShowRequestStatus(int n, const std::string& suffix);
    // A status slot's text (0 general, 1 list count, 2 selected domain).
    QString StatusSlot(int slot) const;
    void SetStatusSlot(int slot, const QString& text);
    void ShowListMessage(int code);
    // The status slot says "Ready" in place of "Sending request" once the list it spoke of is no
    // longer on its way (or no longer the one asked for).
    void SettleRequestStatus();
    // The tab of a list still on its way says that the list is loading.
    void ShowListLoading();
    void LockListControls();
    void UnlockListControls();
    // Locks the list controls while a list fetch runs, unlocks them when none does.
    void UpdateListControls();
    void LayoutResults();
    // Starts the fetch of a list (kind 1 accounts, 2 packages). A fetch of the same list that still
    // runs is replaced: it is stopped and its reply never shown. The list asked for last is the one
    // the grid ends up showing; a reply of the other list is stored without being shown.
    void StartListFetch(const std::string& url, std::uint8_t kind);
    // Stops every running list fetch (Escape, the stop control): the list controls come back at once
    // and the grid keeps what it showed.
    void StopListFetches();
    // The list asked for last is now kind: only its fetch shows its progress in the status display,
    // the other one arrives quietly.
    void SetWantedList(std::uint8_t kind);
    void OpenSettings(int page);

    // ---- Lists (for the menus here and for the editor and details windows) ----
    // A server search: the search type follows the text (domain, IPv4 address, else user name);
    // list mode 1; the account list fetch starts. An empty text lists every account.
    void SearchAccounts(const std::string& text);
    // The search the operator was looking at, fetched again (after a create or a delete).
    void RefetchLastSearch();
    // The package list fetch (list controls locked until it arrives).
    void FetchPackageList();
    // Builds the account list from a reply (the parse and sort run off the GUI thread; the grid is
    // handed over when done) or shows the failure over the results area. With the reader that read
    // the reply while it arrived, its values are used instead of reading the text again.
    void ShowAccountList(int status, std::shared_ptr<const TAccountValues> accounts);
    void ShowPackageList(int status, const std::string& reply);
    // True while an account list is being built off the GUI thread.
    bool ListBuildRunning() const { return !builds_.empty(); }
    // The number of accounts of the last full listing (0: none yet).
    int ServerAccountCount() const { return ListState.serverAccountCount; }
    // A cell of the grid's current row ("" when there is none).
    std::string CurrentCell(int col) const;
    // The new-password dialog and the passwd request for a user (also used by the details window).
    void ChangeAccountPassword(const std::string& userName);

    // ---- Handlers of the results area ----
    void Listaccounts1Click();
    void Listpakages1Click();
    void GetListButtonClick();
    void AddButtonClick();
    void QueryEditClickButton();
    void QueryEditChange();
    void TabSetChange(int tab);
    void FilterPaintBoxMouseDown(int item);
    void AccListHeaderClick(int col);
    void AccListSelectCell(int dataRow);
    void AccListLinkClick(const QString& text);
    void AccListRowMenu(const QPoint& globalPos);
    // Enter on a row: an account's details, a package's editor.
    void AccListRowEntered();
    void CopyToClipboard1Click();
    // The row menu's items for the current row; an account whose state is not known yet is asked
    // about first, and then runs once the items are set (not for several rows).
    void ListPopupMenuPopup(std::function<void()> then = {});
    void Suspend1Click();
    void SuspendAccount();
    void UnsuspendAccount();
    // After a suspend or unsuspend changed a row: a row the filter bar no longer admits leaves the
    // shown rows, and the counts follow.
    void KeepFilterBarTrue(int row);
    void LimitBandWidth1Click();
    void Changepassword1Click();
    void Viewsummary1Click();
    void Deleteaccount1Click();
    void Createaccounts1Click();
    void Createpackage1Click();
    void Edit1Click();
    void Delete1Click();
    void Copytoclipboard2Click();
    void Viewserverinformation1Click();

    // ---- Several accounts at once, export, traceroute of an account ----
    // With several rows of the account list selected the row menu offers these for all of them.
    void Suspendselected1Click();
    void Unsuspendselected1Click();
    void Deleteselected1Click();
    // One question naming how many accounts (and the first few), then the requests one after another
    // on a worker, shown in the progress window, which becomes the summary. Accounts in the wanted
    // state already are skipped. The run belongs to this sign-in: a sign-out ends it. One at a time.
    void StartBulkAction(BulkKind kind);
    // The keys of the account actions (Ctrl+U suspend, Ctrl+Shift+U unsuspend, Delete): with several
    // rows selected they act on all of them like the row menu's items, else on the current row.
    void AccountActionKey(BulkKind kind);
    void BuildAccountKeys(); // Ctrl+Shift+U and Delete on the grid
    // Stop in the progress window: nothing more is sent; a request in flight has 2 s to finish.
    void StopBulkRun();
    bool BulkRunning() const;
    // The progress and summary window of the current (or last) run.
    QPointer<TBulkForm> BulkForm;
    // "Export list...": the shown rows in shown order, the shown columns with their headings, as a
    // CSV file chosen in a save dialog.
    void Exportlist1Click();
    // The save dialog: the path chosen, "" when cancelled. Tests replace it.
    std::function<QString(const QString& suggested)> ExportPathChooser;
    // "Traceroute...": a trace of the current account's domain.
    void Traceroute1Click();

    // Opens a link address (http, https and mailto only); tests replace it with a recorder.
    std::function<void(const QString& address)> LinkOpener;

    // ---- Saved servers, read-only servers, the activity log ----
    // The saved servers under the address field (its drop-down button, Alt+Down); nothing when none.
    void ShowSavedServers();
    // Fills the sign-in fields from a saved server: address, port, user, the remembered password
    // (else an empty password field), "remember my password" and the read-only switch.
    void ChooseSavedServer(const SavedServer& server);
    void RemoveSavedServer(const SavedServer& server);
    // For some seconds after a saved server was removed: puts the list back as it was.
    void UndoRemoveClick();
    QPushButton* UndoRemoveButton = nullptr;
    // Signed in to a server marked read-only: every action that changes something is disabled.
    bool ReadOnly() const;
    // Whether an action sending this XML API function may run now.
    bool ChangeAllowed(std::string_view function) const;
    // The same for an action on several accounts.
    bool BulkAllowed(BulkKind kind) const;
    // "Activity log...": the log window, opened or brought to the front.
    void Activitylog1Click();
    QPointer<TServerList> ServerList;
    QPointer<TActivityForm> ActivityForm;

    // ---- Find on every server ----
    // "Find on every server..." (Ctrl+Shift+F): the window, opened or brought to the front.
    void Findall1Click();
    QPointer<TFindAllForm> FindAllForm;
    // An account found on a saved server: signed in to that server (after a question when signed in
    // to another one), then a server search for its user name shows it in the list.
    void ShowFoundAccount(const SavedServer& server, const std::string& user);
    // The command channel's "find-all TEXT": the search in the window; its end is reported.
    void FindAllCommand(const std::string& text);

    // ---- Sign-in ----
    void SignIn();
    void SignOut();
    void ReturnToSignIn();
    void ResetResultsView();
    void LoginButtonClick();
    void Signout1Click();
    void Settings1Click();
    // A press on a tab of the skinned tab strip (tabs counted from 1) switches the list.
    void TabsPaintBoxMouseDown(int tab);
    // A double click (or Enter) on a row opens its details.
    void AccListDblClick();
    // The "Sign out" link of the menu strip: hover colour and cursor, and the sign-out itself.
    void SignOutLabelClick();
    void SignOutLabelMouseEnter();
    void SignOutLabelMouseLeave();
    bool SignedIn() const;
    // A sign-in waits for its reply.
    bool RequestRunning() const;
    // A row action's request (suspend, bandwidth, password, delete) runs: another is not started.
    bool AccountActionRunning() const { return accountAction_.Busy(); }
    std::shared_ptr<void> HoldAccountAction() { return accountAction_.Hold(); }
    bool FetchRunning() const;
    // The session of this sign-in (none while signed out). Windows of the sign-in take it when they
    // open and send their requests for it, so that nothing of theirs reaches a server once it has
    // ended (a sign-out or a switch of server ends it).
    SessionPtr Session() const;
    // Tests of the other windows without a sign-in of this window: the session they send for.
    void SetWindowsSession(SessionPtr session);
    // Whether the sign-in state a window or an action started in (its Session()) is still the
    // current one: the same sign-in, or still signed out for none.
    bool SessionCurrent(const SessionPtr& session) const { return session == Session(); }
    // The sign-in values as the panel's fields hold them (the password in its stored form).
    const SignInValues& TypedSignInValues() const { return signInValues_; }

    // ---- Traceroute ----
    // "Test": a trace of TestHost() unless one runs.
    void est1Click();
    // Starts a trace of host unless one runs. A host that is no host name (empty, an option, blanks
    // or control characters, too long) gives a message and starts nothing. The window shows once
    // the first hop arrives. True when the trace started.
    bool StartTrace(const std::string& host);
    // Every 500 ms while a trace runs: the output collected (TraceCollected shows it).
    void TimerTimer();
    // Stops a running trace at once and closes the traceroute windows (sign-out, exit).
    void StopTraceAndWindow();
    // The host "Test" traces: the signed-in server's address, else "localhost".
    std::string TestHost() const;
    bool TraceRunning() const;
    TTracertThread* Tracert() const;
    const std::string& TraceOutput() const;
    // The window of the current (or last) trace.
    QPointer<TTracertForm> TracertForm;
    // The host lookup of the next trace (TraceAddress when empty); tests replace it.
    TTracertThread::Lookup TraceLookup;

    // ---- Window-level commands ----
    void Alwaysontop1Click();
    void About1Click();
    void Exit1Click();
    void Open1Click();
    void Savecaptions1Click();
    // "Save skin attributes": the look of every window written out as the skin CurrentSkin.
    void Saveskinattributes1Click();
    // After the settings dialog chose a skin or switched skins off: the window takes the new look
    // and frame at once, the details and traceroute windows close (they open with it next time).
    void SkinChanged();
    // The parts that differ with and without a skin: status strip, tab strip, frame, pictures the
    // grid, the tray icon and the other windows take from here.
    void RefreshSkinLayout();
    bool TrayIconShown() const;
    bool ExitRequested() const { return exitRequested_; }

    // The list the results area is on (0 none, kListModeAccounts, kListModePackages).
    std::uint8_t ListMode() const;
    // The stored reply of the last listaccts (shared with a list build running off the GUI thread).
    const TAccountValues& AccountListReply() const { return *accountReply_; }
    std::string PackageListReply; // the stored reply of the last listpkgs (emptied when one starts)
    // The other list values: last search text, listed in full, server account count, FilterMode,
    // last selected row.
    TListState ListState;

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
    TTabsPaintBox* TabsPaintBox;
    TFilterPaintBox* FilterPaintBox;
    TSkinedStringGrid* AccList;
    QWidget* ButtonsPanel;
    TPanel* LoginPanel;
    TShape* LoginShape;
    TLabel *IPLabel, *PortLabel, *Label1, *Label2;
    TEdit *IPEdit, *PortEdit, *LoginEdit, *PswEdit;
    TBitCheckBox* RememberCheck;
    TBitCheckBox* ReadOnlyCheck; // the server is read-only: saved with its entry
    QAction* ServersAction;      // the drop-down button at the end of IPEdit
    TSkinButton* LoginButton;
    TLabel* LoginMessLabel; // why the last sign-in failed, in full
    TImage *StatusImage, *StatusIconImage;
    TLabel *StatusLabel1, *StatusLabel2;
    QStatusBar* StatusBar;
    TLabel* StatusPanels[3];
    TLabel* ReadOnlyLabel;   // "read-only" in the status display while signed in to such a server
    TToolButton* StopButton; // next to the progress display while a list fetch runs
    QSystemTrayIcon* TrayIcon;
    QMenu *PopupMenu, *ServerMenu, *HelpMenu;
    TMenuItem *Open1, *Alwaysontop1, *Settings1, *Signout1, *About1, *Exit1, *Saveskinattributes1,
        *Savecaptions1;
    TMenuItem *Viewserverinformation1, *Listaccounts1, *Createaccounts1, *Listpakages1, *Createpackage1,
        *Activitylog1, *Findall1, *est1;
    TMenuItem* About2;
    QMenu *ListPopupMenu, *PackageMenu;
    TMenuItem *CopyToClipboard1, *Suspend1, *LimitBandWidth1, *Changepassword1, *Viewsummary1,
        *Deleteaccount1, *DetectIP1, *Viewwhoisinfo1, *Traceroute1;
    TMenuItem *Copytoclipboard2, *Edit1, *Delete1;
    TMenuItem *Suspendselected1, *Unsuspendselected1, *Deleteselected1;
    TMenuItem *Exportlist1, *Exportlist2, *Exportlist3; // row menu, server menu, package menu
    // Shared icons: 0 and 1 sort arrows, 2 and 3 tray icons, 4 and 5 tab icons, 6 and 7 row icons, 8
    // and 9 open and closed groups, 10 to 12 editor groups, 13 generate, 14 copy, 15 control panel,
    // 16 cancel.
    TImageList* ImageList;
    QTimer* Timer; // the trace's collection timer
    // Checked, unchecked and greyed check box pictures of a skin; caption close button (normal,
    // hover, pressed); skinned tab strip (chosen tab, other tab, strip).
    TImageList *CheckBoxImageList, *CloseBImageList, *TabsImageList;
    // The picture stretched behind the grid's heading cells.
    TImage* FixedImage;

    // The window's minimum size at this screen's resolution.
    static QSize MinimumWindowSize(double dotsPerInch);

protected:
    bool FormKeyDown(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // The list columns follow the window's size.
    void FormResize();
    void showEvent(QShowEvent* event) override;

private:
    std::vector<SavedServer> removedServers_; // the saved servers before the last removal
    QTimer* undoTimer_ = nullptr;
    static constexpr int kUndoRemoveMs = 10000;
    void FormCreate();
    void FormShow();
    void FormDestroy();
    void BuildSkinComponents();
    void BuildMenus();
    void BuildMenuPanel();
    void BuildLoginPanel();
    void BuildResultsArea();
    void BuildStatusDisplay();
    // Accessible names of the controls that show no text of their own.
    void NameControls();
    // A list arrived: stored, and shown when it is the one asked for last.
    void FetchDone(std::uint8_t kind, const HttpReply& reply, std::shared_ptr<const TAccountValues> accounts,
                   bool show);
    // The end of a trace: its last output, then the window kept (hops) or removed (none).
    void TraceEnded(bool cancelled);
    // Output collected while the trace runs: into the window, the progress bar stepped.
    void TraceCollected();
    // The collected output into the traceroute window, with its title; shows it at the first hop.
    void ShowTrace();
    // Sign-out: every window of the sign-in closed, its lists and list state forgotten.
    void CloseSessionWindows();
    void ForgetSessionLists();
    void ShowSignInFailure(const QString& text);
    // The reply of the sign-in's version request, on the GUI thread.
    void SignInDone(const HttpReply& reply);
    void BandwidthDone(const SessionPtr& session, int row, const std::string& user, const std::string& value,
                       const HttpReply& reply);
    void StartDelete(const std::string& functionWithKey, const std::string& item, const std::string& noun,
                     bool account);
    void DeleteDone(const SessionPtr& session, int result, bool account);
    void BuildListMenus();
    void BuildBulkMenus();
    // The row menu for the selection: true (and the items for all of them) when several rows are
    // selected, else the items of the current row.
    bool PrepareRowMenu();
    // The run's reports: an outcome into the progress window, changed accounts into the grid, the
    // end into the summary (and a refetch where the run cannot tell what the server did).
    void BulkStep(std::size_t index, const BulkEntry& entry);
    void BulkChanges();
    void BulkFinished(const std::vector<BulkEntry>& entries, bool stopped, const SessionPtr& session);
    // The accounts changed since the last call, into the grid in one pass.
    void ApplyBulkOutcomes();
    void ShowInputImages(TInputForm* input) const;
    // Keys of the search box (Enter searches, Ctrl+A selects all) and of the grid (Ctrl+C, Ctrl+U).
    bool ListKeyDown(QObject* target, QKeyEvent* event);
    void AccountListBuilt(std::uint64_t generation, AccountListView view, TStringGridData grid,
                          int serverAccountCount, const std::string& boxText, const TListSort& sorted,
                          std::uint64_t listChanges);
    void ApplyAccountView(const AccountListView& view);
    void DisposeGrid(TStringGridData&& grid);
    void ShowTab(int tab);
    // The grid row of the account with this user name ("row" when it still holds it), 0 if gone.
    int RowOfUser(int row, const std::string& user) const;
    // Each sign-in field's change updates the sign-in values.
    void IPEditChange();
    void PortEditChange();
    void LoginEditChange();
    void PswEditChange();
    void UpdateSignInValues();
    void BuildSavedServers();
    // The read-only switch follows the saved entry of the server in the fields (typed, or set by the
    // program), when there is one.
    void SyncReadOnlyCheck();
    // After a sign-in: the server first in the saved list, with what the panel holds.
    void RememberServer();
    // Enables or disables the changing actions and shows "read-only" as ReadOnly() says.
    void ApplyReadOnly();
    // A key typed into a sign-in field, through the field's filter: a refused character shows why at
    // the field. True when the field must not see the key.
    bool FilterSignInKey(TEdit* edit, QKeyEvent* key);
    // The address check and the port's presence before a sign-in; the field at fault takes the focus.
    bool SignInFieldsAccepted();
    // The focus into a field of the sign-in panel (its text selected); without one, the first empty
    // field, else the sign-in button.
    void FocusSignInField(TEdit* field = nullptr);
    // Typed or pasted into the address field: a web address gives its host and port to the fields;
    // what would make the address more than a host name or an address is refused whole, with the
    // reason shown at the field.
    void IPEditEdited(const QString& text);
    // A fetched list is shown: the grid takes the focus on its current (first) row, unless the
    // operator went on typing in the search box or works in a control that chose the list.
    void FocusShownList();
    void Report(const char* line) const;

    bool exitRequested_ = false;
    bool destroyed_ = false;
    RequestBusy accountAction_;
    QString addressBefore_; // the address field's text before the edit in progress
    bool formShown_ = false;
    TSessionController* sessions_; // the sign-in in progress or signed in, and the sign-out
    SignInValues signInValues_;    // what the sign-in panel holds
    std::string showAfterSignIn_;  // a found account's user, searched for once the sign-in is done
    TListController* lists_;       // the list fetches and the list mode
    bool settingQuery_ = false;
    bool focusListWhenShown_ = false; // a fetch was asked for: its list takes the focus when shown
    std::uint64_t buildGeneration_ = 0;
    std::shared_ptr<const TAccountValues> accountReply_ = std::make_shared<const TAccountValues>();
    std::map<std::uint64_t, std::thread> builds_; // account list builds by generation
    std::thread disposer_;                        // frees a replaced list grid off the GUI thread
    TTraceController* trace_;                     // the traceroute of "Test" and of an account's domain
    TBulkController* bulk_ = nullptr;             // the run of an action on several accounts
};

} // namespace parlomar
