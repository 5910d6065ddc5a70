#include "gui/app/ListController.h"
#include "gui/app/MainUnit.h"
#include "gui/app/MainUnitPrivate.h"
#include "gui/app/SessionController.h"

#include "core/Error.h"
#include "core/accounts/PackageList.h"
#include "core/server/ApiRequests.h"
#include "core/server/Global.h"
#include "core/server/HttpTransport.h"
#include "core/server/PasswordCipher.h"
#include "core/server/RequestGuard.h"
#include "core/server/TransportUi.h"
#include "core/server/XMLParser.h"
#include "core/settings/IniFile.h"
#include "core/settings/Localization.h"
#include "core/skins/SkinPackage.h"
#include "gui/accounts/AddUnit.h"
#include "gui/accounts/FilterPaintBox.h"
#include "gui/accounts/InputUnit.h"
#include "gui/accounts/SummaryUnit.h"
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
#include <QRegularExpression>
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
#include <utility>

namespace parlomar {

namespace {

// 0 for a text that is not a port from 1 to 65535: nothing is signed in to with it.
std::uint16_t PortOf(const QString& text) {
    return ServerPortOf(text.toStdString());
}

// The longest address the field keeps (a pasted web address may be longer until it is taken apart).
constexpr int kAddressLength = 64;
constexpr int kPortLength = 5;

// Why a character does not go into a sign-in field, said at the field.
constexpr char kAddressKeyRefusal[] = "Only letters, digits and \".\" can be typed into the address; a name "
                                      "with \"-\" or an IPv6 address can be pasted.";
constexpr char kPortRefusal[] = "Only digits go into the port field, at most five of them.";

// Whether after holds characters that before did not (something was typed, pasted or dropped in),
// rather than only fewer of them.
bool SomethingInserted(const QString& before, const QString& after) {
    qsizetype start = 0;
    while (start < after.size() && start < before.size() && after.at(start) == before.at(start))
        ++start;
    qsizetype end = 0;
    while (end < after.size() - start && end < before.size() - start &&
           after.at(after.size() - 1 - end) == before.at(before.size() - 1 - end))
        ++end;
    return start + end < after.size();
}

// A pasted web address ("https://host:port/...") or "host:port": the host and the port (empty when
// it names none). False for anything else, which stays as it was typed.
bool TakeHostAndPort(const QString& pasted, QString* host, QString* port) {
    const QString text = pasted.trimmed();
    if (!text.contains(QStringLiteral("://"))) {
        static const QRegularExpression hostAndPort(QStringLiteral("^([^:/\\s]+):([0-9]{1,5})/?$"));
        const QRegularExpressionMatch match = hostAndPort.match(text);
        if (!match.hasMatch())
            return false;
        *host = match.captured(1);
        *port = match.captured(2);
        return true;
    }
    const QUrl url(text, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() ||
        (scheme != QLatin1String("https") && scheme != QLatin1String("http")))
        return false; // the address check says what is wrong with it
    *host = url.host();
    *port = url.port() > 0 ? QString::number(url.port()) : QString();
    return true;
}

} // namespace

// A server address that is more than a host name or an address is refused before anything is sent
// or stored, with a message saying why; so is an empty port. The field at fault takes the focus.
bool TParlomarClientMainForm::SignInFieldsAccepted() {
    const std::string problem = ServerAddressProblem(S(IPEdit->text()));
    if (!problem.empty()) {
        ShowMessageText(problem);
        FocusSignInField(IPEdit);
        return false;
    }
    if (const std::string portProblem = ServerPortProblem(S(PortEdit->text())); !portProblem.empty()) {
        ShowMessageText(portProblem);
        FocusSignInField(PortEdit);
        return false;
    }
    return true;
}

void TParlomarClientMainForm::FocusSignInField(TEdit* field) {
    if (!field) {
        // The first field still empty; with all of them filled in, the button.
        for (TEdit* edit : {IPEdit, PortEdit, LoginEdit, PswEdit}) {
            if (edit->text().isEmpty()) {
                field = edit;
                break;
            }
        }
    }
    if (!LoginPanel->isVisible() && isVisible())
        return;
    if (!field) {
        LoginButton->setFocus(Qt::OtherFocusReason);
        return;
    }
    field->setFocus(Qt::OtherFocusReason);
    field->selectAll();
}

void TParlomarClientMainForm::IPEditEdited(const QString& text) {
    // textEdited comes before textChanged: addressBefore_ still holds the text before this edit.
    const QString before = addressBefore_;
    QString host, port;
    const bool taken = TakeHostAndPort(text, &host, &port);
    const QString address = taken ? host : text;
    // The address check judges what went in, not the key filter: a pasted host name with "-" or an
    // IPv6 address is an address, though neither can be typed. A problem the text had already is
    // left to the check at sign-in.
    if (SomethingInserted(before, text)) {
        std::string problem = ServerAddressProblem(S(address));
        if (problem.empty() && address.trimmed().size() > kAddressLength)
            problem = "A server address is at most " + std::to_string(kAddressLength) + " characters long.";
        if (!problem.empty() && problem != ServerAddressProblem(S(before))) {
            IPEdit->setText(before);
            ShowFieldRefusal(IPEdit, Q(problem));
            return;
        }
    }
    if (taken) {
        IPEdit->setText(host.left(kAddressLength));
        if (!port.isEmpty())
            PortEdit->setText(port);
    } else if (text.size() > kAddressLength) {
        IPEdit->setText(text.left(kAddressLength));
    }
}

namespace {} // namespace

void TParlomarClientMainForm::BuildLoginPanel() {
    LoginPanel = Named(new TPanel(this), "LoginPanel");
    auto* outer = new QVBoxLayout(LoginPanel);
    outer->setContentsMargins(8, 4, 8, 8);
    LoginShape = Named(new TShape(LoginPanel), "LoginShape", kTagLargeBold);
    outer->addWidget(LoginShape);
    MoveWindowOnPress(LoginShape);

    auto* centre = new QGridLayout(LoginShape);
    centre->setRowStretch(0, 1);
    centre->setRowStretch(2, 2);
    centre->setColumnStretch(0, 1);
    centre->setColumnStretch(2, 1);
    auto* form = new QGridLayout();
    form->setHorizontalSpacing(10);
    form->setVerticalSpacing(8);
    centre->addLayout(form, 1, 1);

    auto field = [&](TLabel*& label, const char* labelName, const char* caption, TEdit*& edit,
                     const char* editName, int maxLength, int row) {
        label = Named(new TLabel(QString::fromUtf8(caption), LoginShape), labelName);
        edit = Named(new TEdit(LoginShape), editName);
        edit->setMaxLength(maxLength);
        edit->setMinimumWidth(170);
        edit->installEventFilter(this);
        label->setBuddy(edit);
        form->addWidget(label, row, 0, Qt::AlignRight);
        form->addWidget(edit, row, 1);
    };
    field(IPLabel, "IPLabel", "IP", IPEdit, "IPEdit", 255, 0); // kept to 64 once a paste is taken apart
    // The port field takes more than its five digits so that a longer paste is refused whole, not cut.
    field(PortLabel, "PortLabel", "Port", PortEdit, "PortEdit", 255, 1);
    field(Label1, "Label1", "Username", LoginEdit, "LoginEdit", 64, 2);
    field(Label2, "Label2", "Password", PswEdit, "PswEdit", 64, 3);
    PswEdit->setEchoMode(QLineEdit::Password);
    IPEdit->setPlaceholderText(QStringLiteral("host name or IP address"));
    IPEdit->setToolTip(
        QStringLiteral("The server's host name or IP address; a pasted https://host:port/ fills in "
                       "both fields"));
    RememberCheck =
        Named(new TBitCheckBox(QStringLiteral("remember my password"), LoginShape), "RememberCheck");
    RememberCheck->SetChecked(true);
    form->addWidget(RememberCheck, 4, 1);
    ReadOnlyCheck = Named(new TBitCheckBox(QStringLiteral("read-only server"), LoginShape), "ReadOnlyCheck");
    ReadOnlyCheck->setToolTip(QStringLiteral("Only lists and details: every change is switched off"));
    form->addWidget(ReadOnlyCheck, 5, 1);
    LoginButton = Named(new TSkinButton(QStringLiteral("Sign in"), LoginShape), "LoginButton");
    // Enter on the button signs in too: it has the focus once a saved server with its password is
    // chosen (outside a dialog a push button takes only the space bar unless told otherwise).
    LoginButton->setAutoDefault(true);
    form->addWidget(LoginButton, 6, 1, Qt::AlignRight);
    LoginMessLabel = Named(new TLabel(LoginShape), "LoginMessLabel", kTagNoCaption);
    LoginMessLabel->setTextFormat(Qt::PlainText);
    LoginMessLabel->setWordWrap(true);
    LoginMessLabel->setAlignment(Qt::AlignCenter);
    SetTextColour(LoginMessLabel, QColor(0xB0, 0x30, 0x30));
    LoginMessLabel->hide();
    centre->addWidget(LoginMessLabel, 2, 0, 1, 3, Qt::AlignTop);

    connect(IPEdit, &QLineEdit::textEdited, this, &TParlomarClientMainForm::IPEditEdited);
    GuardEditedText(
        PortEdit,
        [this](int key, const QString&) {
            KeyFilterResult result = PortEditKeyPress(key);
            result.accept = result.accept && PortEdit->text().size() <= kPortLength; // the text as edited
            return result;
        },
        QString::fromUtf8(kPortRefusal));
    connect(IPEdit, &QLineEdit::textChanged, this, &TParlomarClientMainForm::IPEditChange);
    addressBefore_ = IPEdit->text();
    connect(PortEdit, &QLineEdit::textChanged, this, &TParlomarClientMainForm::PortEditChange);
    connect(LoginEdit, &QLineEdit::textChanged, this, &TParlomarClientMainForm::LoginEditChange);
    connect(PswEdit, &QLineEdit::textChanged, this, &TParlomarClientMainForm::PswEditChange);
    connect(LoginButton, &QPushButton::clicked, this, &TParlomarClientMainForm::LoginButtonClick);
    BuildSavedServers();
}

// ---- Sign-in ----

void TParlomarClientMainForm::IPEditChange() {
    addressBefore_ = IPEdit->text();
    UpdateSignInValues();
}

void TParlomarClientMainForm::PortEditChange() {
    UpdateSignInValues();
}

void TParlomarClientMainForm::LoginEditChange() {
    UpdateSignInValues();
}

void TParlomarClientMainForm::PswEditChange() {
    UpdateSignInValues();
}

void TParlomarClientMainForm::UpdateSignInValues() {
    SignInValues& values = signInValues_;
    values.serverAddress = CutChars(S(IPEdit->text()), 255);
    values.port = PortOf(PortEdit->text());
    values.userName = CutChars(S(LoginEdit->text()), 255);
    if (sender() == PswEdit)
        values.encipheredPassword = CutChars(EncipherPassword(S(PswEdit->text())), 255);
}

bool TParlomarClientMainForm::FilterSignInKey(TEdit* edit, QKeyEvent* key) {
    if (edit == IPEdit)
        return FilterTypedKey(edit, key, IPEditKeyPress, QString::fromUtf8(kAddressKeyRefusal));
    if (edit == PortEdit)
        return FilterTypedKey(edit, key, PortEditKeyPress, QString::fromUtf8(kPortRefusal));
    return FilterTypedKey(edit, key, LoginEditKeyPress);
}

void TParlomarClientMainForm::LoginButtonClick() {
    if (RequestRunning() || SignedIn())
        return;
    if (!SignInFieldsAccepted())
        return;
    try {
        const std::string section = "USERS";
        WriteIniValue(section, "login", S(LoginEdit->text()), kSettingsTarget);
        if (RememberCheck->Checked()) {
            WriteIniValue(section, "Psw", signInValues_.encipheredPassword, kSettingsTarget);
            WriteIniValue(section, "IP", S(IPEdit->text()), kSettingsTarget);
            WriteIniValue(section, "Port", std::to_string(PortOf(PortEdit->text())), kSettingsTarget);
        } else {
            WriteIniValue(section, "Psw", "", kSettingsTarget);
        }
        WriteIniBool(section, "SavePsw", RememberCheck->Checked(), kSettingsTarget);
    } catch (const Error& error) {
        ShowMessageText(error.what());
        return;
    }
    SignIn();
}

void TParlomarClientMainForm::SignIn() {
    if (RequestRunning() || SignedIn())
        return;
    if (!SignInFieldsAccepted())
        return;
    // The version request runs on a worker; the sign-in goes on in SignInDone, on the GUI thread.
    if (!sessions_->SignIn(signInValues_, ReadOnlyCheck->Checked()))
        return;
    ShowSignInFailure(QString());
    LoginButton->setEnabled(false);
}

void TParlomarClientMainForm::SignInDone(const HttpReply& reply) {
    if (destroyed_)
        return;
    LoginButton->setEnabled(true);
    QPointer<TParlomarClientMainForm> self(this);
    if (reply.status != kStatusOk) {
        showAfterSignIn_.clear();
        sessions_->Fail(); // a failed sign-in leaves no connection behind
        // What was tried goes with the failure: a typing error in the address or the port shows.
        const std::string tried = ErrorText(reply.status) + " (" + S(IPEdit->text().trimmed()) + ", port " +
                                  std::to_string(PortOf(PortEdit->text())) + ")";
        const QString text = Q(tried);
        ShowMessageText(tried);
        if (!self || destroyed_)
            return;
        ShowRequestStatus(3, "");
        ShowSignInFailure(text);
        FocusSignInField(IPEdit); // the server did not answer as one: its address (or port) first
        return;
    }
    if (IsSignedOutReply(reply.text, reply.httpStatus)) {
        ReturnToSignIn();
        return;
    }
    sessions_->Accept();
    setWindowTitle(Q(AppName + " - " + ProgramVersion()) + QString::fromUtf8(kMakerCredit));
    ServerLabel->setText(IPEdit->text());
    ResetResultsView();
    if (SkinActive())
        TabsPaintBox->show();
    else
        TabSet->show();
    LoginPanel->hide();
    ResultsPanel->show();
    Signout1->setVisible(true);
    SignOutLabel->show();
    GreenDotImage->show();
    GrayDotImage->hide();
    SearchPanel->show();
    QueryEdit->setEnabled(true);
    QueryEdit->setFocus(Qt::OtherFocusReason); // until the first list comes and takes it
    AddButton->setText(Q(StatusText(15)));
    ServerButton->show();
    ShowRequestStatus(5, "");
    ApplyReadOnly();
    Report("signed in");
    FetchPackageList();
    RememberServer();
    if (!showAfterSignIn_.empty()) { // an account found on this server
        QueryEdit->setText(Q(std::exchange(showAfterSignIn_, std::string())));
        QueryEditClickButton();
    }
}

void TParlomarClientMainForm::SignOut() {
    showAfterSignIn_.clear();
    StopTraceAndWindow();
    if (RequestRunning())
        LoginButton->setEnabled(true);
    // Ends a sign-in still waiting for its reply, or the session with its sign-out request.
    const bool wasSignedIn = sessions_->SignOut();
    lists_->Reset(); // a list that arrives after the sign-out is neither sent nor shown
    CloseSessionWindows();
    ForgetSessionLists();
    UnlockListControls();
    ServerButton->hide();
    ResultsPanel->hide();
    LoginPanel->show();
    FocusSignInField();
    GrayDotImage->show();
    GreenDotImage->hide();
    Signout1->setVisible(false);
    SignOutLabel->hide();
    QueryEdit->setEnabled(false);
    SearchPanel->hide();
    TabsPaintBox->hide();
    TabSet->hide();
    ServerLabel->clear();
    ApplyReadOnly();
    if (wasSignedIn)
        Report("signed out");
}

void TParlomarClientMainForm::CloseSessionWindows() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto* details = qobject_cast<TSummaryForm*>(window)) {
            details->close();
            details->deleteLater(); // it may be inside one of its own handlers
        } else if (qobject_cast<TAddForm*>(window) || qobject_cast<TInputForm*>(window) ||
                   qobject_cast<TCustForm*>(window)) {
            if (window->isVisible())
                static_cast<QDialog*>(window)->done(QDialog::Rejected);
        } else if (auto* message = qobject_cast<TMessageForm*>(window)) {
            // The server information view and an open question; plain messages stay.
            if (message->isVisible() && message->MessageKind != kMessageText)
                message->done(QDialog::Rejected);
        }
    }
    SettingsButton->hide(); // resets its pressed look
    SettingsButton->show();
}

void TParlomarClientMainForm::ForgetSessionLists() {
    ++buildGeneration_; // an account list still being built is not shown
    accountReply_ = std::make_shared<const TAccountValues>();
    PackageListReply.clear();
    const int rowHeight = AccList->Data().DefaultRowHeight();
    DisposeGrid(std::move(AccList->Data()));
    AccList->Data() = TStringGridData();
    AccList->Data().SetDefaultRowHeight(rowHeight);
    AccList->ShownList = 0;
    AccList->RowsChanged();
    TListState fresh; // the order the operator chose for each list is a view setting: it stays
    fresh.accountSort = ListState.accountSort;
    fresh.packageSort = ListState.packageSort;
    ListState = std::move(fresh);
    FilterPaintBox->FilterMode = ListState.filterMode;
    FilterPaintBox->SetHoveredItem(ListState.filterMode);
}

void TParlomarClientMainForm::ShowSignInFailure(const QString& text) {
    LoginMessLabel->setText(text);
    LoginMessLabel->setVisible(!text.isEmpty());
}

void TParlomarClientMainForm::ReturnToSignIn() {
    SignOut();
    ShowRequestStatus(11, "");
    ShowSignInFailure(Q(StatusText(11)));
    LoginPanel->show();
    FocusSignInField(PswEdit); // the credentials were refused
}

void TParlomarClientMainForm::ResetResultsView() {
    FilterPanel->hide();
    ShowRequestStatus(4, "");
    MessLabel->setText(Q(ErrorText(12)));
    AccList->hide();
    MessPanel->show();
    if (ListMode() == kFetchAccounts)
        accountReply_ = std::make_shared<const TAccountValues>();
    else if (ListMode() == kFetchPackages)
        PackageListReply.clear();
}

void TParlomarClientMainForm::Signout1Click() {
    if (!SignedIn())
        return;
    SignOut();
    ResetResultsView();
    ShowRequestStatus(6, "");
}

} // namespace parlomar
