#include "gui/app/MainUnit.h"
#include "gui/app/MainUnitPrivate.h"

#include "core/Error.h"
#include "core/accounts/PackageList.h"
#include "core/server/ApiRequests.h"
#include "core/server/Global.h"
#include "core/server/HttpTransport.h"
#include "core/server/PasswordCipher.h"
#include "core/server/TransportUi.h"
#include "core/server/XMLParser.h"
#include "core/settings/IniFile.h"
#include "core/settings/Localization.h"
#include "core/skins/SkinPackage.h"
#include "gui/accounts/AddUnit.h"
#include "gui/accounts/FilterPaintBox.h"
#include "gui/accounts/InputUnit.h"
#include "gui/accounts/SummaryUnit.h"
#include "gui/app/AsyncRequest.h"
#include "gui/app/WindowOpeners.h"
#include "gui/info/AboutUnit.h"
#include "gui/info/MessageUnit.h"
#include "gui/settings/Captions.h"
#include "gui/settings/CustUnit.h"
#include "gui/skins/BitCheckBox.h"
#include "gui/skins/ButtonEdit.h"
#include "gui/skins/Controls.h"
#include "gui/skins/SkinButton.h"
#include "gui/skins/SkinedStringGrid.h"
#include "gui/skins/Skins.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTabBar>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>

namespace parlomar {

void TParlomarClientMainForm::BuildListMenus() {
    ListPopupMenu = Named(new QMenu(this), "ListPopupMenu");
    CopyToClipboard1 = Item(ListPopupMenu, "CopyToClipboard1", "Copy to clipboard");
    CopyToClipboard1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    Suspend1 = Item(ListPopupMenu, "Suspend1", "Suspend");
    Suspend1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_U));
    LimitBandWidth1 = Item(ListPopupMenu, "LimitBandWidth1", "Limit bandwidth");
    Changepassword1 = Item(ListPopupMenu, "Changepassword1", "Change password");
    Viewsummary1 = Item(ListPopupMenu, "Viewsummary1", "View details");
    ListPopupMenu->addSeparator();
    Deleteaccount1 = Item(ListPopupMenu, "Deleteaccount1", "Delete account");
    DetectIP1 = Item(ListPopupMenu, "DetectIP1", "Detect IP");
    Viewwhoisinfo1 = Item(ListPopupMenu, "Viewwhoisinfo1", "View whois info");
    Traceroute1 = Item(ListPopupMenu, "Traceroute1", "Traceroute...");
    for (TMenuItem* hidden : {DetectIP1, Viewwhoisinfo1})
        hidden->setVisible(false);
    // The short cuts are handled by the window's key preview while the grid has the focus.
    for (TMenuItem* item : {CopyToClipboard1, Suspend1})
        item->setShortcutContext(Qt::WidgetShortcut);

    PackageMenu = Named(new QMenu(this), "PackageMenu");
    Copytoclipboard2 = Item(PackageMenu, "Copytoclipboard2", "Copy to clipboard");
    Copytoclipboard2->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    Copytoclipboard2->setShortcutContext(Qt::WidgetShortcut);
    Edit1 = Item(PackageMenu, "Edit1", "Edit...");
    Delete1 = Item(PackageMenu, "Delete1", "Delete...");

    connect(CopyToClipboard1, &QAction::triggered, this, &TParlomarClientMainForm::CopyToClipboard1Click);
    connect(Suspend1, &QAction::triggered, this, &TParlomarClientMainForm::Suspend1Click);
    connect(LimitBandWidth1, &QAction::triggered, this, &TParlomarClientMainForm::LimitBandWidth1Click);
    connect(Changepassword1, &QAction::triggered, this, &TParlomarClientMainForm::Changepassword1Click);
    connect(Viewsummary1, &QAction::triggered, this, &TParlomarClientMainForm::Viewsummary1Click);
    connect(Deleteaccount1, &QAction::triggered, this, &TParlomarClientMainForm::Deleteaccount1Click);
    connect(Copytoclipboard2, &QAction::triggered, this, &TParlomarClientMainForm::Copytoclipboard2Click);
    connect(Edit1, &QAction::triggered, this, &TParlomarClientMainForm::Edit1Click);
    connect(Delete1, &QAction::triggered, this, &TParlomarClientMainForm::Delete1Click);
    BuildBulkMenus();
}

void TParlomarClientMainForm::CopyToClipboard1Click() {
    const int row = AccList->CurrentDataRow();
    if (row < 1 || AccList->ShownList != kListModeAccounts)
        return;
    // Several rows selected: one line each.
    const std::vector<int> selected = AccList->SelectedDataRows();
    std::string text = AccountCopyText(AccList->Data(), selected.size() > 1 ? selected.front() : row);
    for (std::size_t i = 1; selected.size() > 1 && i < selected.size(); ++i) {
        text += '\n';
        text += AccountCopyText(AccList->Data(), selected[i]);
    }
    CopyTextToClipboard(Q(text));
}

void TParlomarClientMainForm::Copytoclipboard2Click() {
    if (const int row = AccList->CurrentDataRow(); row > 0 && AccList->ShownList == kListModePackages)
        CopyTextToClipboard(Q(PackageCopyText(AccList->Data(), row)));
}

void TParlomarClientMainForm::ListPopupMenuPopup(std::function<void()> then) {
    const int row = AccList->CurrentDataRow();
    if (row < 1 || AccList->ShownList != kListModeAccounts || PrepareRowMenu()) {
        if (then)
            then(); // several rows: the actions for all of them
        return;
    }
    auto showCaption = [this, then](int at) {
        const int caption = at > 0 ? SuspendMenuCaption(AccList->Data(), at) : 0;
        Suspend1->setEnabled(caption != 0 && ChangeAllowed("suspendacct"));
        if (caption)
            Suspend1->setText(Q(StatusText(caption)));
        if (then)
            then();
    };
    if (SuspendMenuCaption(AccList->Data(), row) != 0) {
        showCaption(row);
        return;
    }
    // The account's state is asked first; the menu follows with the answer.
    const std::string user(AccList->Data().Cell(kAccUserCol, row));
    const SessionPtr session = Session();
    StartRequest(this, session, AccountSummaryUrl(BaseUrlOf(session), user),
                 [this, session, row, user, showCaption](const HttpReply& reply) {
                     if (!SessionCurrent(session))
                         return;
                     const int at = RowOfUser(row, user);
                     if (at < 1)
                         return;
                     StoreQueriedSuspended(AccList->Data(), at, SuspendedOfReply(reply));
                     AccList->CellsChanged();
                     showCaption(at);
                 });
}

void TParlomarClientMainForm::Suspend1Click() {
    const int row = AccList->CurrentDataRow();
    if (row < 1 || AccList->ShownList != kListModeAccounts)
        return;
    if (AccList->SelectedDataRows().size() > 1) { // Ctrl+U on several rows: all of them
        AccountActionKey(BulkKind::Suspend);
        return;
    }
    if (!ChangeAllowed("suspendacct"))
        return;
    const SuspendAction action = SuspendActionOf(AccList->Data(), row);
    if (action == SuspendAction::Unsuspend)
        UnsuspendAccount();
    else if (action == SuspendAction::Suspend)
        SuspendAccount();
}

namespace {
struct SuspendRequest {
    const char* function;
    int question;
    bool suspended;
};
} // namespace

static void RunSuspend(TParlomarClientMainForm* form, const SuspendRequest& request) {
    TSkinedStringGrid* grid = form->AccList;
    const int row = grid->CurrentDataRow();
    if (row < 1 || form->AccountActionRunning())
        return;
    const std::string user(grid->Data().Cell(kAccUserCol, row));
    const std::string domain(grid->Data().Cell(kAccDomainCol, row));
    QPointer<TParlomarClientMainForm> self(form);
    const SessionPtr session = form->Session();
    if (!AskQuestionText(StatusText(request.question) + " " + domain + "?"))
        return;
    if (!self || !form->SessionCurrent(session))
        return;
    form->Signout1->setEnabled(false);
    const bool suspended = request.suspended;
    StartRequest(form, session,
                 ApiItemUrl(BaseUrlOf(session), std::string(request.function) + "?user=", user),
                 [form, self, session, row, user, suspended,
                  busy = form->HoldAccountAction()](const HttpReply& reply) {
                     if (!form->SessionCurrent(session))
                         return;
                     form->Signout1->setEnabled(!form->FetchRunning());
                     std::string status;
                     std::string message;
                     ReadUserCallReply(reply, status, message);
                     if (!self || (status.empty() && message.empty()))
                         return; // a failed transfer, already reported
                     ShowMessageText(message.empty() ? ErrorText(11) : message);
                     if (!self)
                         return;
                     // Find the row again: the list may have been rebuilt while the request waited.
                     TSkinedStringGrid* list = form->AccList;
                     const TStringGridData& data = list->Data();
                     int at = 0;
                     if (list->ShownList == kListModeAccounts) {
                         if (row < data.RowCount() && data.Cell(kAccUserCol, row) == user)
                             at = row;
                         for (int r = 1; at == 0 && r < data.RowCount(); ++r)
                             if (data.Cell(kAccUserCol, r) == user)
                                 at = r;
                     }
                     if (at > 0 && ApplySuspendAnswer(list->Data(), at, suspended, status, message).changed)
                         form->KeepFilterBarTrue(at);
                     list->CellsChanged();
                 });
}

void TParlomarClientMainForm::SuspendAccount() {
    RunSuspend(this, {"suspendacct", 19, true});
}

void TParlomarClientMainForm::UnsuspendAccount() {
    RunSuspend(this, {"unsuspendacct", 20, false});
}

void TParlomarClientMainForm::ShowInputImages(TInputForm* input) const {
    // With a skin the dialog's link labels get their pictures from the shared icons.
    if (SkinActive()) {
        input->GenerateImage->setPixmap(ImageList->Image(13));
        input->CopyImage->setPixmap(ImageList->Image(14));
    }
}

void TParlomarClientMainForm::LimitBandWidth1Click() {
    const int row = AccList->CurrentDataRow();
    if (row < 1 || AccList->ShownList != kListModeAccounts || !ChangeAllowed("limitbw") ||
        AccountActionRunning())
        return;
    const std::string user(AccList->Data().Cell(kAccUserCol, row));
    QPointer<TParlomarClientMainForm> self(this);
    const SessionPtr session = Session();
    QPointer<TInputForm> input = new TInputForm(this);
    input->SetStayOnTop(Alwaysontop1->isChecked());
    input->BandWidthPanel->show();
    input->ReadOnly = ReadOnly();
    input->AccountName = user;
    ShowInputImages(input);
    input->InputValue = AccList->Data().Cell(kAccBandwidthCol, row);
    input->ShowModal();
    const bool accepted = input && input->Accepted;
    const std::string value = input ? input->InputValue : std::string();
    delete input.data();
    if (!self || !accepted || !SessionCurrent(session))
        return;
    StartRequest(this, session, LimitBandwidthUrl(BaseUrlOf(session), user, value),
                 [this, session, row, user, value, busy = HoldAccountAction()](const HttpReply& reply) {
                     BandwidthDone(session, row, user, value, reply);
                 });
}

void TParlomarClientMainForm::BandwidthDone(const SessionPtr& session, int row, const std::string& user,
                                            const std::string& value, const HttpReply& reply) {
    QPointer<TParlomarClientMainForm> self(this);
    if (!SessionCurrent(session))
        return;
    const bool signedOut = IsSignedOutReply(reply.text, reply.httpStatus);
    bool applied = reply.status == kStatusOk;
    if (!signedOut && reply.status != kStatusOk) {
        ShowMessageText(ErrorText(reply.status));
    } else if (!signedOut) {
        // A limit the server refused is not shown as set.
        const ApiResult result = ReadApiResult(reply.text);
        if (result.status != "1") {
            applied = false;
            ShowMessageText(result.statusmsg.empty() ? ErrorText(11) : result.statusmsg);
        }
    }
    if (!self || !SessionCurrent(session))
        return;
    row = RowOfUser(row, user);
    if (ApplyBandwidthAnswer(AccList->Data(), row, value, applied && row > 0, reply.status, signedOut)) {
        ReturnToSignIn();
        return;
    }
    AccList->CellsChanged();
}

void TParlomarClientMainForm::Changepassword1Click() {
    const std::string user(CurrentCell(kAccUserCol));
    if (!user.empty() && AccList->ShownList == kListModeAccounts)
        ChangeAccountPassword(user);
}

void TParlomarClientMainForm::ChangeAccountPassword(const std::string& userName) {
    if (!ChangeAllowed("passwd") || AccountActionRunning())
        return;
    QPointer<TParlomarClientMainForm> self(this);
    const SessionPtr session = Session();
    QPointer<TInputForm> input = new TInputForm(this);
    input->SetStayOnTop(Alwaysontop1->isChecked());
    input->ChangePasswordPanel->show();
    input->ReadOnly = ReadOnly();
    input->AccountName = userName;
    ShowInputImages(input);
    input->ShowModal();
    const bool accepted = input && input->Accepted;
    const std::string password = input ? input->InputValue : std::string();
    delete input.data();
    if (!self || !accepted || !SessionCurrent(session))
        return;
    StartRequest(this, session, PasswdUrl(BaseUrlOf(session), userName, password),
                 [this, session, busy = HoldAccountAction()](const HttpReply& reply) {
                     if (!SessionCurrent(session))
                         return;
                     if (reply.status != kStatusOk) {
                         ShowMessageText(
                             ErrorText(reply.status)); // a failed transfer, not an empty server message
                         return;
                     }
                     if (IsSignedOutReply(reply.text, reply.httpStatus)) {
                         ReturnToSignIn();
                         return;
                     }
                     ShowMessageText(StatusMessageOf(reply.text));
                 });
}

void TParlomarClientMainForm::Viewsummary1Click() {
    const int row = AccList->CurrentDataRow();
    if (row < 1)
        return;
    if (AccList->ShownList == kListModeAccounts)
        OpenAccountDetails(this, std::string(AccList->Data().Cell(kAccUserCol, row)));
    else if (AccList->ShownList == kListModePackages)
        OpenPackageDetails(this, std::string(AccList->Data().Cell(kPkgNameCol, row)));
}

void TParlomarClientMainForm::Deleteaccount1Click() {
    const std::string user(CurrentCell(kAccUserCol));
    if (user.empty() || AccList->ShownList != kListModeAccounts || !ChangeAllowed("removeacct") ||
        AccountActionRunning())
        return;
    StartDelete("removeacct?user=", user, StatusText(53), true);
}

// The confirmation first, then the request on a worker; what follows the answer comes with it.
void TParlomarClientMainForm::StartDelete(const std::string& functionWithKey, const std::string& item,
                                          const std::string& noun, bool account) {
    QPointer<TParlomarClientMainForm> self(this);
    const SessionPtr session = Session();
    const bool accepted = AskQuestionText(CallQuestion(StatusText(51), noun, item));
    if (!self || !SessionCurrent(session))
        return;
    if (!accepted) {
        DeleteDone(session, kCallDeclined, account);
        return;
    }
    StartRequest(this, session, ApiItemUrl(BaseUrlOf(session), functionWithKey, item),
                 [this, session, item, noun, account, busy = HoldAccountAction()](const HttpReply& reply) {
                     if (SessionCurrent(session))
                         DeleteDone(session, CallOutcome(reply, noun, item, StatusText(54)), account);
                 });
}

void TParlomarClientMainForm::DeleteDone(const SessionPtr& session, int result, bool account) {
    QPointer<TParlomarClientMainForm> self(this);
    if (!SessionCurrent(session))
        return;
    const AfterDelete after =
        account ? AfterAccountDelete(result, ListMode()) : AfterPackageDelete(result, ListMode());
    if (after.showTransportError)
        ShowMessageText(ErrorText(result));
    if (!self || !SessionCurrent(session))
        return;
    if (after.refetchAccounts)
        RefetchLastSearch();
    if (after.packageFetches > 0) // a second fetch would only replace the first
        FetchPackageList();
}

void TParlomarClientMainForm::Createaccounts1Click() {
    if (SignedIn() && ChangeAllowed("createacct"))
        OpenAccountEditor(this);
}

void TParlomarClientMainForm::Createpackage1Click() {
    if (SignedIn() && ChangeAllowed("addpkg"))
        OpenPackageEditor(this);
}

void TParlomarClientMainForm::Edit1Click() {
    const int row = AccList->CurrentDataRow();
    if (row > 0 && AccList->ShownList == kListModePackages && ChangeAllowed("editpkg"))
        OpenPackageEditorFor(this, std::string(AccList->Data().Cell(kPkgNameCol, row)));
}

void TParlomarClientMainForm::Delete1Click() {
    const int row = AccList->CurrentDataRow();
    if (row < 1 || AccList->ShownList != kListModePackages || !ChangeAllowed("killpkg") ||
        AccountActionRunning())
        return;
    StartDelete("killpkg?pkg=", std::string(AccList->Data().Cell(kPkgNameCol, row)), StatusText(52), false);
}

void TParlomarClientMainForm::Viewserverinformation1Click() {
    if (!SignedIn())
        return;
    ShowServerInformation(this, PackageListReply, ListState.serverAccountCount, Alwaysontop1->isChecked(),
                          Session());
}

} // namespace parlomar
