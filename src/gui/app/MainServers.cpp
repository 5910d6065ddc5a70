// The main window's saved servers (the list under the address field), the read-only switch of a
// sign-in and the activity log window.

#include "gui/app/MainUnit.h"
#include "gui/app/MainUnitPrivate.h"

#include "core/Error.h"
#include "core/accounts/BulkAction.h"
#include "core/server/ApiFunctions.h"
#include "core/server/Global.h"
#include "core/server/HttpTransport.h"
#include "core/server/TransportUi.h"
#include "core/settings/Localization.h"
#include "core/skins/SkinPackage.h"
#include "gui/app/ServerList.h"
#include "gui/info/ActivityUnit.h"
#include "gui/settings/Captions.h"
#include "gui/skins/BitCheckBox.h"
#include "gui/skins/Controls.h"
#include "gui/skins/SkinButton.h"
#include "gui/skins/Skins.h"

#include <QAction>
#include <QBoxLayout>
#include <QGridLayout>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

namespace parlomar {

namespace {

QIcon DropDownIcon() {
    QIcon icon;
    // At 1x and 2x: the icon takes the one that suits the screen.
    for (const qreal density : {1.0, 2.0}) {
        QPixmap pixmap = PlainCanvas(12, 12, density);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0x50, 0x50, 0x50));
        const QPointF arrow[3] = {QPointF(2, 4), QPointF(10, 4), QPointF(6, 9)};
        painter.drawPolygon(arrow, 3);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

// The sign-in the panel holds now, as a saved entry.
SavedServer TypedServer(const TParlomarClientMainForm& form) {
    SavedServer server;
    server.address = S(form.IPEdit->text());
    server.port = ServerPortOf(S(form.PortEdit->text()));
    server.userName = S(form.LoginEdit->text());
    return server;
}

} // namespace

void TParlomarClientMainForm::BuildSavedServers() {
    ServersAction = new QAction(DropDownIcon(), QStringLiteral("Saved servers (Alt+Down)"), IPEdit);
    ServersAction->setObjectName(QStringLiteral("ServersAction"));
    IPEdit->addAction(ServersAction, QLineEdit::TrailingPosition);
    connect(ServersAction, &QAction::triggered, this, &TParlomarClientMainForm::ShowSavedServers);
    for (TEdit* edit : {IPEdit, PortEdit, LoginEdit})
        connect(edit, &QLineEdit::textChanged, this, &TParlomarClientMainForm::SyncReadOnlyCheck);
    ServersAction->setVisible(!ReadSavedServers().empty());
}

void TParlomarClientMainForm::ShowSavedServers() {
    if (SignedIn() || RequestRunning())
        return;
    const std::vector<SavedServer> servers = ReadSavedServers();
    ServersAction->setVisible(!servers.empty());
    if (servers.empty())
        return;
    if (!ServerList) {
        ServerList = new TServerList(this);
        ServerList->Chosen = [this](const SavedServer& server) { ChooseSavedServer(server); };
        ServerList->Removed = [this](const SavedServer& server) { RemoveSavedServer(server); };
    }
    ServerList->Open(servers, IPEdit);
}

void TParlomarClientMainForm::ChooseSavedServer(const SavedServer& server) {
    if (SignedIn() || RequestRunning())
        return;
    ShowSignInFailure(QString()); // what an earlier attempt said is not about this server
    IPEdit->setText(Q(server.address));
    PortEdit->setText(server.port != 0 ? QString::number(server.port) : QString());
    LoginEdit->setText(Q(server.userName));
    RememberCheck->SetChecked(server.savePassword);
    ReadOnlyCheck->SetChecked(server.readOnly);
    // The stored form is what the field shows and what the transport deciphers, as at start.
    PswEdit->setText(server.savePassword ? Q(server.encipheredPassword) : QString());
    signInValues_.encipheredPassword =
        server.savePassword ? CutChars(server.encipheredPassword, 255) : std::string();
    if (server.port == 0) { // a hand-edited entry: nothing is signed in to until a port is typed
        ShowSignInFailure(QStringLiteral("The port saved for this server is not a number from 1 to 65535: "
                                         "type its port."));
        PortEdit->setFocus();
    } else if (server.savePassword && !server.encipheredPassword.empty()) {
        LoginButton->setFocus();
    } else {
        PswEdit->setFocus();
    }
}

void TParlomarClientMainForm::RemoveSavedServer(const SavedServer& server) {
    try {
        std::vector<SavedServer> before = ReadSavedServers();
        const std::vector<SavedServer> servers = WithoutServer(before, server);
        WriteSavedServers(servers);
        ServersAction->setVisible(!servers.empty());
        // The removal can be undone for a while: the list goes back as it was.
        removedServers_ = std::move(before);
        if (!UndoRemoveButton) {
            UndoRemoveButton = Named(new QPushButton(LoginShape), "UndoRemoveButton", kTagNoCaption);
            UndoRemoveButton->setFlat(true);
            UndoRemoveButton->setCursor(Qt::PointingHandCursor);
            static_cast<QGridLayout*>(LoginShape->layout())
                ->addWidget(UndoRemoveButton, 3, 0, 1, 3, Qt::AlignCenter);
            connect(UndoRemoveButton, &QPushButton::clicked, this, &TParlomarClientMainForm::UndoRemoveClick);
            undoTimer_ = new QTimer(this);
            undoTimer_->setSingleShot(true);
            connect(undoTimer_, &QTimer::timeout, this, [this] {
                UndoRemoveButton->hide();
                removedServers_.clear();
            });
        }
        const std::string shown = server.address + ":" + std::to_string(server.port) +
                                  (server.userName.empty() ? std::string() : " (" + server.userName + ")");
        UndoRemoveButton->setText(QStringLiteral("Removed ") + Q(shown) + QStringLiteral(" - Undo"));
        UndoRemoveButton->show();
        undoTimer_->start(kUndoRemoveMs);
    } catch (const Error& error) {
        ShowMessageText(error.what());
    }
}

void TParlomarClientMainForm::UndoRemoveClick() {
    if (removedServers_.empty())
        return;
    try {
        WriteSavedServers(removedServers_);
        ServersAction->setVisible(true);
    } catch (const Error& error) {
        ShowMessageText(error.what());
    }
    removedServers_.clear();
    undoTimer_->stop();
    UndoRemoveButton->hide();
}

void TParlomarClientMainForm::SyncReadOnlyCheck() {
    const SavedServer typed = TypedServer(*this);
    for (const SavedServer& server : ReadSavedServers()) {
        if (SameServer(server, typed)) {
            ReadOnlyCheck->SetChecked(server.readOnly);
            return;
        }
    }
}

void TParlomarClientMainForm::RememberServer() {
    SavedServer server = TypedServer(*this);
    server.savePassword = RememberCheck->Checked();
    if (server.savePassword)
        server.encipheredPassword = signInValues_.encipheredPassword;
    server.readOnly = ReadOnly();
    try {
        WriteSavedServers(WithServerFirst(ReadSavedServers(), server));
        ServersAction->setVisible(true);
    } catch (const Error& error) {
        ShowMessageText(error.what());
    }
}

bool TParlomarClientMainForm::ChangeAllowed(std::string_view function) const {
    return !ReadOnly() || IsViewingFunction(function);
}

bool TParlomarClientMainForm::BulkAllowed(BulkKind kind) const {
    // The function is the one the run sends.
    return ChangeAllowed(ApiFunctionOf(BulkRequestUrl("https://server", kind, "user")));
}

void TParlomarClientMainForm::ApplyReadOnly() {
    // Every action with the XML API function it sends.
    const std::pair<QAction*, const char*> actions[] = {
        {Createaccounts1, "createacct"},
        {Createpackage1, "addpkg"},
        {Suspend1, "suspendacct"},
        {LimitBandWidth1, "limitbw"},
        {Changepassword1, "passwd"},
        {Deleteaccount1, "removeacct"},
        {Edit1, "editpkg"},
        {Delete1, "killpkg"},
    };
    for (const auto& [action, function] : actions)
        action->setEnabled(ChangeAllowed(function));
    const std::pair<QAction*, BulkKind> bulk[] = {
        {Suspendselected1, BulkKind::Suspend},
        {Unsuspendselected1, BulkKind::Unsuspend},
        {Deleteselected1, BulkKind::Delete},
    };
    for (const auto& [action, kind] : bulk)
        action->setEnabled(!BulkRunning() && BulkAllowed(kind));
    AddButton->setEnabled(ChangeAllowed("createacct") && ChangeAllowed("addpkg"));
    // "read-only" in the status display: in the status bar, or with a skin in the status strip.
    auto* strip = static_cast<QBoxLayout*>(StatusImage->layout());
    if (SkinActive() && ReadOnlyLabel->parentWidget() != StatusImage) {
        StatusBar->removeWidget(ReadOnlyLabel);
        strip->insertWidget(2, ReadOnlyLabel);
    } else if (!SkinActive() && ReadOnlyLabel->parentWidget() != StatusBar) {
        strip->removeWidget(ReadOnlyLabel);
        StatusBar->insertPermanentWidget(1, ReadOnlyLabel);
    }
    ReadOnlyLabel->setVisible(ReadOnly());
}

void TParlomarClientMainForm::Activitylog1Click() {
    if (!ActivityForm) {
        ActivityForm = new TActivityForm(this);
        ActivityForm->SetStayOnTop(Alwaysontop1->isChecked());
    }
    ActivityForm->show();
    ActivityForm->raise();
    ActivityForm->activateWindow();
    ActivityForm->Refresh();
}

} // namespace parlomar
