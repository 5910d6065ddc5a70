// The list fetches of the main window: one per list, the newest replacing a running one, the list
// asked for last shown and the other stored, Escape and the stop control ending them.
#include "gui/app/ListController.h"
#include "gui/app/MainUnit.h"
#include "gui/app/MainUnitPrivate.h"
#include "gui/app/SessionController.h"

#include "core/server/GetXMLThreadUnit.h"
#include "core/server/Global.h"
#include "core/settings/Localization.h"
#include "gui/settings/Captions.h"
#include "gui/skins/ButtonEdit.h"
#include "gui/skins/Controls.h"
#include "gui/skins/SkinedStringGrid.h"

#include <QSignalBlocker>

namespace parlomar {

void TParlomarClientMainForm::StartListFetch(const std::string& url, std::uint8_t kind) {
    if (!SignedIn() || (kind != kFetchAccounts && kind != kFetchPackages))
        return;
    focusListWhenShown_ = true; // the list asked for takes the focus when it comes
    if (kind == kFetchPackages) {
        PackageListReply.clear();
        ListState.packageReplyStored = false;
    }
    lists_->Fetch(sessions_->Current(), url, kind);
    UpdateListControls();
}

void TParlomarClientMainForm::StopListFetches() {
    if (!lists_->Running())
        return;
    const std::uint8_t asked = lists_->Asked();
    lists_->StopAll();
    // The first list of a sign-in stopped before anything was shown: the results area takes that
    // list's tab, so that its controls (the refresh and add buttons) act on it.
    if (ListMode() == 0 && SignedIn() && (asked == kFetchAccounts || asked == kFetchPackages))
        TabSetChange(asked == kFetchAccounts ? 0 : 1);
    // The results area keeps what it shows, and that is the list asked for now.
    SetWantedList(ListMode());
    UpdateListControls();
    if (ListMode() == kListModeAccounts && AccList->isVisible())
        FilterPanel->show();
    SetStatusSlot(0, Q(ErrorText(kStatusRequestNotOpened)));
}

void TParlomarClientMainForm::SetWantedList(std::uint8_t kind) {
    lists_->Ask(kind);
}

bool TParlomarClientMainForm::FetchRunning() const {
    return lists_->Running();
}

std::uint8_t TParlomarClientMainForm::ListMode() const {
    return lists_->Mode();
}

void TParlomarClientMainForm::FetchDone(std::uint8_t kind, const HttpReply& reply,
                                        std::shared_ptr<const TAccountValues> accounts, bool show) {
    if (!SignedIn()) {
        UpdateListControls();
        return;
    }
    if (reply.status == kStatusOk &&
        (accounts ? accounts->SignedOut(reply.httpStatus) : IsSignedOutReply(reply.text, reply.httpStatus))) {
        ReturnToSignIn();
        return;
    }
    if (show) {                                // a reply of the other list is only stored
        const QSignalBlocker quiet(QueryEdit); // emptying the box is no filter change
        settingQuery_ = true;
        QueryEdit->clear();
        settingQuery_ = false;
    }
    if (kind == kFetchPackages) {
        PackageListReply = reply.text;
        ListState.packageReplyStored = reply.status == kStatusOk && !reply.text.empty();
        Report("packages stored");
        if (show) {
            ShowTab(1);
            ShowPackageList(reply.status, PackageListReply);
        }
    } else {
        accountReply_ = std::move(accounts); // the previous list's values go now
        ListState.suspendedSince.clear();    // the new reply holds the states as they are now
        ListState.deletedSince.clear();
        Report("accounts stored");
        if (show) {
            ShowTab(0);
            ShowAccountList(reply.status, accountReply_);
        }
    }
    UpdateListControls();
    SettleRequestStatus();
}

void TParlomarClientMainForm::SettleRequestStatus() {
    // "Sending request" of a list that went quiet (the other tab was chosen) or ended unseen.
    if (lists_->Running(lists_->Asked() == kFetchPackages ? kFetchPackages : kFetchAccounts) ||
        RequestRunning())
        return;
    const std::string sending = StatusText(0);
    if (sending.empty() || sending == "0") // no status texts: nothing to tell apart
        return;
    if (StatusSlot(0).startsWith(Q(sending)))
        SetStatusSlot(0, Q(StatusText(4)));
}

} // namespace parlomar
