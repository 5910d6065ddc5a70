#include "gui/app/WindowOpeners.h"

#include "core/accounts/GridSort.h"
#include "core/server/Global.h"
#include "core/server/HttpTransport.h"
#include "core/server/TransportUi.h"
#include "core/server/XMLParser.h"
#include "core/settings/Localization.h"
#include "gui/accounts/AddUnit.h"
#include "gui/accounts/SummaryUnit.h"
#include "gui/app/AsyncRequest.h"
#include "gui/app/MainUnit.h"
#include "gui/settings/Captions.h"
#include "gui/settings/CustUnit.h"
#include "gui/skins/Controls.h"

#include <QPointer>
#include <QSystemTrayIcon>

namespace parlomar {

namespace {

// The main window's list refetches after a window changed something on the server.
void RefetchAccounts(TParlomarClientMainForm* main) {
    main->RefetchLastSearch();
}
void RefetchPackages(TParlomarClientMainForm* main) {
    main->FetchPackageList();
}

bool StayOnTop(const TParlomarClientMainForm* main) {
    return main->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
}

void OpenEditor(TParlomarClientMainForm* main, int kind, int action, const std::string& packageName) {
    QPointer<TParlomarClientMainForm> owner(main);
    const SessionPtr session = main->Session();
    QPointer<TAddForm> editor = new TAddForm(main);
    editor->Session = session;
    editor->ReadOnly = main->ReadOnly();
    editor->EditorKind = kind;
    editor->PackageAction = action;
    editor->PackageListText = main->PackageListReply;
    editor->PackageName = packageName;
    editor->SetStayOnTop(StayOnTop(main));
    editor->ShowModal();
    if (!editor || !owner)
        return; // the main window went away meanwhile, and its windows with it
    const bool changed = !editor->ResultQuery().empty() && editor->result() == QDialog::Accepted;
    const bool signedOut = editor->SignedOut();
    delete editor.data();
    if (!owner->SessionCurrent(session))
        return; // signed out meanwhile: nothing of this sign-in goes on
    if (signedOut) {
        owner->ReturnToSignIn();
        return;
    }
    if (changed) {
        if (kind == kAccountEditor)
            RefetchAccounts(owner);
        else
            RefetchPackages(owner);
    }
}

// Details windows closed by the operator are only hidden; they are destroyed at the next opening.
void ForgetClosedDetailsWindows() {
    for (TSummaryForm* window : OpenDetailsWindows())
        if (!window->isVisible())
            window->deleteLater();
}

TSummaryForm* NewDetailsWindow(TParlomarClientMainForm* main, int kind) {
    ForgetClosedDetailsWindows();
    auto* window = new TSummaryForm(main);
    const SessionPtr session = main->Session();
    window->Session = session;
    window->ReadOnly = main->ReadOnly();
    window->DetailsKind = kind;
    window->SetStayOnTop(StayOnTop(main));
    QPointer<TParlomarClientMainForm> owner(main);
    window->Calls.refetchList = [owner, kind, session] {
        if (owner && owner->SessionCurrent(session)) {
            if (kind == kAccountDetails && owner->ListMode() == kListModeAccounts)
                RefetchAccounts(owner);
            else if (kind == kPackageDetails && owner->ListMode() == kListModePackages)
                RefetchPackages(owner);
        }
    };
    window->Calls.changePassword = [owner, session](const std::string& user) {
        if (owner && owner->SessionCurrent(session))
            owner->ChangeAccountPassword(user);
    };
    window->Calls.configureView = [owner, session] {
        if (owner && owner->SessionCurrent(session))
            OpenSettingsDialog(owner, kViewPage);
    };
    window->Calls.signedOut = [owner, session] {
        if (owner && owner->SessionCurrent(session))
            owner->ReturnToSignIn();
    };
    return window;
}

} // namespace

void OpenAccountEditor(TParlomarClientMainForm* main) {
    OpenEditor(main, kAccountEditor, kNoPackageAction, {});
}

void OpenPackageEditor(TParlomarClientMainForm* main) {
    OpenEditor(main, kPackageEditor, kCreatePackage, {});
}

void OpenPackageEditorFor(TParlomarClientMainForm* main, const std::string& packageName) {
    OpenEditor(main, kPackageEditor, kEditPackage, packageName);
}

void OpenAccountDetails(TParlomarClientMainForm* main, const std::string& userName) {
    const SessionPtr session = main->Session();
    // The window opens with the account's summary, once it has come.
    StartRequest(main, session, AccountSummaryUrl(BaseUrlOf(session), userName),
                 [main, session, userName](const HttpReply& reply) {
                     QPointer<TParlomarClientMainForm> owner(main);
                     if (!main->SessionCurrent(session))
                         return;
                     if (IsSignedOutReply(reply.text, reply.httpStatus)) {
                         main->ReturnToSignIn();
                         return;
                     }
                     if (reply.status != kStatusOk) {
                         ShowMessageText(ErrorText(reply.status));
                         return;
                     }
                     if (!owner)
                         return;
                     TSummaryForm* window = NewDetailsWindow(owner, kAccountDetails);
                     window->RecordText = reply.text;
                     window->UserName = userName;
                     window->ItemName = XmlExtract(reply.text, "acct", "domain", kXmlLastValue);
                     window->Suspended = SuspendedStateOf(reply.text) == 1;
                     window->show();
                 });
}

void OpenPackageDetails(TParlomarClientMainForm* main, const std::string& packageName) {
    TSummaryForm* window = NewDetailsWindow(main, kPackageDetails);
    window->RecordText = XmlFindElement(main->PackageListReply, "package", "name", packageName);
    window->ItemName = packageName;
    window->show();
}

void OpenSettingsDialog(TParlomarClientMainForm* main, int page) {
    QPointer<TParlomarClientMainForm> owner(main);
    QPointer<TCustForm> dialog = new TCustForm(main, page);
    dialog->Session = main->Session();
    dialog->SetStayOnTop(StayOnTop(main));
    dialog->Calls.showTray = [owner](bool on) {
        if (owner)
            owner->TrayIcon->setVisible(on && QSystemTrayIcon::isSystemTrayAvailable());
    };
    dialog->Calls.showTaskBarButton = [owner](bool on) {
        if (!owner)
            return;
        // Best effort: a tool window has no taskbar button on most desktops.
        const bool visible = owner->isVisible();
        owner->setWindowFlag(Qt::Tool, !on);
        if (visible)
            owner->show();
    };
    dialog->Calls.stayOnTop = [owner](bool on) {
        if (!owner)
            return;
        owner->Alwaysontop1->setChecked(on);
        owner->SetStayOnTop(on);
    };
    dialog->Calls.skinChanged = [owner] {
        if (owner)
            owner->SkinChanged();
    };
    dialog->ShowModal();
    delete dialog.data();
}

} // namespace parlomar
