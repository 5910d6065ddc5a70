// The main window's side of "Find on every server...": the window, and an account found there
// shown in the list of its server.

#include "gui/app/MainUnit.h"

#include "core/accounts/FindAll.h"
#include "core/server/TransportUi.h"
#include "gui/accounts/FindAllUnit.h"
#include "gui/settings/Captions.h"
#include "gui/skins/ButtonEdit.h"
#include "gui/skins/Controls.h"

#include <QPointer>

namespace parlomar {

void TParlomarClientMainForm::Findall1Click() {
    if (!FindAllForm) {
        FindAllForm = new TFindAllForm(this);
        FindAllForm->SetStayOnTop(Alwaysontop1->isChecked());
        FindAllForm->ShowAccount = [this](const SavedServer& server, const std::string& user) {
            ShowFoundAccount(server, user);
        };
        FindAllForm->Finished = [this](const FindAllResult& result) {
            Report(FindSummaryText(result).c_str());
        };
    }
    FindAllForm->show();
    FindAllForm->raise();
    FindAllForm->activateWindow();
}

void TParlomarClientMainForm::FindAllCommand(const std::string& text) {
    Findall1Click();
    FindAllForm->TextEdit->setText(Q(text));
    FindAllForm->FindButtonClick();
}

void TParlomarClientMainForm::ShowFoundAccount(const SavedServer& server, const std::string& user) {
    if (destroyed_ || exitRequested_ || RequestRunning() || user.empty())
        return; // a sign-in on its way is not taken over
    show();
    raise();
    activateWindow();
    if (const SessionPtr signedIn = SignedIn() ? Session() : nullptr) {
        SavedServer current;
        current.address = signedIn->Address();
        current.port = signedIn->Port();
        current.userName = signedIn->UserName();
        if (SameServer(current, server)) {
            QueryEdit->setText(Q(user));
            QueryEditClickButton();
            return;
        }
        QPointer<TParlomarClientMainForm> self(this);
        const bool leave = AskQuestionText("Signed in to " + FindServerLabel(current) +
                                           ". Sign out and sign in to " + FindServerLabel(server) + "?");
        if (!self || !leave || destroyed_ || exitRequested_ || RequestRunning())
            return;
        if (SignedIn())
            Signout1Click();
    }
    ChooseSavedServer(server);
    if (server.port == 0 || !server.savePassword || server.encipheredPassword.empty())
        return; // the panel asks for what is missing
    showAfterSignIn_ = user;
    SignIn();
}

} // namespace parlomar
